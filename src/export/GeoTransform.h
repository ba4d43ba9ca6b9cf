#pragma once

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
