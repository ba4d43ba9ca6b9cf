#pragma once

#include <cstdint>

#include "terrain/Array2D.h"

// What a person would check of a map's land: does the water find the sea,
// and is the land shaped in slopes? Land is every cell above seaLevel; the
// map is one unit across and heights are scaled by 0.2, as the viewer draws
// them.
struct TerrainStats {
    uint64_t landCells = 0;
    uint64_t drainingCells = 0;  // steepest descent reaches a sea cell or the border
    uint64_t pits = 0;           // land cells off the border with no lower neighbour
    uint64_t flatCells = 0;      // land cells whose eight neighbours all equal them
    uint64_t slopedCells = 0;    // land cells sloped 5 to 45 degrees (Horn's gradient)

    double DrainingShare() const { return landCells ? double(drainingCells) / landCells : 1.0; }
    double PitsPerMillion() const { return landCells ? 1e6 * double(pits) / landCells : 0.0; }
    double FlatShare() const { return landCells ? double(flatCells) / landCells : 0.0; }
    double SlopedShare() const { return landCells ? double(slopedCells) / landCells : 0.0; }
};

TerrainStats MeasureTerrain(const Array2D<float>& map);
