#pragma once

#include <string>

// Where a north-up raster lies on the ground, for GIS readers. The samples
// are points (a heightmap's cells are the vertices of its surface, GeoTIFF's
// PixelIsPoint): the first sample stored, the top-left one, is at
// (originX, originY); the next one east is pixelWidth further east, the next
// row pixelHeight further south. No coordinate reference system is implied:
// the numbers are in whatever ground unit the caller means (metres here).
struct GeoTransform {
    double originX = 0;
    double originY = 0;
    double pixelWidth = 1;
    double pixelHeight = 1;  // positive: rows run north to south
    // The coordinate system the numbers are in, as an EPSG code (0: none
    // named, an unnamed local frame), and whether it is geographic (degrees)
    // rather than projected.
    int epsg = 0;
    bool geographic = false;
};

// The frame of a shape's coordinate system a map keeps when it follows a
// georeferenced shape: the system itself (WKT, and its EPSG code when it has
// one), where grid cell (0, 0) lies in its units, and how many of its units
// a metre of the map's ground is (1 for a projected system in metres; for a
// geographic one, degrees per metre at the shape's centre). Empty `wkt`: no
// frame, the map's own metres from --origin.
struct MapFrame {
    std::string wkt;
    int epsg = 0;
    bool geographic = false;
    double unitsPerMetre = 1;
    double originX = 0;  // grid cell (0, 0), the south-west sample, in the system's units
    double originY = 0;

    bool Present() const { return !wkt.empty(); }
};

// The placement of a size x size heightmap whose grid cell (0, 0), the
// south-west corner, is at (westX, southY) and whose cells are cellSize
// apart: its top-left sample is grid row size - 1.
inline GeoTransform HeightMapGeoTransform(unsigned size, double cellSize, double westX, double southY)
{
    GeoTransform placement;
    placement.originX = westX;
    placement.originY = southY + (size > 0 ? size - 1 : 0) * cellSize;
    placement.pixelWidth = cellSize;
    placement.pixelHeight = cellSize;
    return placement;
}

// The same placement in a frame's units when it has one (cellSize still in
// metres), with its coordinate system named.
inline GeoTransform FramedGeoTransform(unsigned size, double cellSize, double westX, double southY,
                                       const MapFrame& frame)
{
    if (!frame.Present()) {
        return HeightMapGeoTransform(size, cellSize, westX, southY);
    }
    GeoTransform placement = HeightMapGeoTransform(size, cellSize * frame.unitsPerMetre, frame.originX, frame.originY);
    placement.epsg = frame.epsg;
    placement.geographic = frame.geographic;
    return placement;
}
