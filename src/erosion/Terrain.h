#pragma once

#include <functional>

#include "terrain/Array2D.h"
#include "terrain/TerrainParameters.h"

// The whole terrain of a parameter set at the map's size: generation, then
// erosion when parameters.erosion > 0. Without erosion this is
// GenerateHeightMapOfSize. With it, maps smaller than 129 are the eroded
// 129 map sampled on their lattice, so every size shows the viewer's
// valleys. The bits do not depend on `threads`.
void GenerateTerrain(Array2D<float>& map, const TerrainParameters& parameters, unsigned threads = 0,
                     const std::function<void(double)>& progress = {});
