#pragma once

#include <string>

#include "export/GeoTransform.h"

// What a georeferenced shape says of the ground it covers, so that a map
// made from it lies where the shape lies: in its coordinate system, over
// its bounds. A shape is georeferenced when GDAL reports both a geotransform
// and a coordinate system for it; anything else (a sketch, a PNG with only
// a world file) is placed by --extent and --origin as before.
struct ShapeGround {
    // The frame of the square read: grid cell (0, 0) at the centre of its
    // south-west sample, in the system's units. Not Present() when the shape
    // is not georeferenced.
    MapFrame frame;
    // Metres from the first sample's centre to the last's, across the square
    // (its units times the system's metres a unit; for a geographic system,
    // degrees times the metres a degree spans at the square's centre
    // latitude, the mean of east-west and north-south, see the .cpp).
    double extentMetres = 0;
    // Why the frame cannot be followed, one phrase (empty when it can): a
    // rotated geotransform, cells that are not square in the system's own
    // units, a raster whose rows do not run north to south.
    std::string unplaceable;
    // In: take a float shape's relief from its range (--relief not given).
    // Out: the relief so taken, metres at height 1 (0 when not taken).
    bool reliefFromRange = false;
    double relief = 0;
};

// The ground of the side x side square at (x0, y0) of an open GDAL dataset
// (a GDALDatasetH).
ShapeGround ReadShapeGround(void* dataset, int x0, int y0, int side);
