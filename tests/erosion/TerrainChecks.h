#pragma once

#include "terrain/Array2D.h"
#include "terrain/TerrainParameters.h"

// What the erosion tests share: a parameter set, and the drainage check made
// without the erosion's own routing.

inline TerrainParameters Eroded(float roughness, float sharpness, float erosion)
{
    TerrainParameters parameters;
    parameters.roughness = roughness;
    parameters.sharpness = sharpness;
    parameters.erosion = erosion;
    return parameters;
}

// Land cells (above 0.01) off the border without a strictly lower
// neighbour. With none, steepest descent from any land cell falls at every
// step and must end on the border or in the sea: no closed pit is left.
inline int LandCellsWithoutAWayDown(const Array2D<float>& map)
{
    const int n = static_cast<int>(map.GetWidth());
    int pits = 0;
    for (int y = 1; y + 1 < n; ++y) {
        for (int x = 1; x + 1 < n; ++x) {
            const float h = map.Row(y)[x];
            bool lower = h <= 0.01f;
            for (int k = 0; k < 9 && !lower; ++k) {
                lower = map.Row(y + k / 3 - 1)[x + k % 3 - 1] < h;
            }
            pits += !lower;
        }
    }
    return pits;
}
