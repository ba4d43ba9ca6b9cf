#pragma once

#include <functional>
#include <memory>

#include "erosion/WorldStage.h"

#include "terrain/Array2D.h"
#include "terrain/TerrainParameters.h"

// The whole terrain of a parameter set at the map's size: generation, then
// erosion when parameters.erosion > 0. Without erosion this is
// GenerateHeightMapOfSize. With it, maps smaller than 129 are the eroded
// 129 map sampled on their lattice, so every size shows the viewer's
// valleys; maps up to kWholeWorldCells (WorldStage.h) are eroded whole,
// coarse to fine (Erosion.h); larger ones are the world of that size made from its
// stage (WorldWindows.h), so that each of their tiles can be made alone.
// The bits do not depend on `threads`.
void GenerateTerrain(Array2D<float>& map, const TerrainParameters& parameters, unsigned threads = 0,
                     const std::function<void(double)>& progress = {});

// The same map, and the upstream area of each of its cells in cells (the
// one routing's, as WorldWindows defines it): what the flow and river maps
// show. `upstream` has the map's size.
// `keptStage`, when given, receives the world's stage the map was made from
// (WorldStage.h), for what else is carried down from it.
void GenerateTerrainAndFlow(Array2D<float>& map, Array2D<float>& upstream, const TerrainParameters& parameters,
                            unsigned threads = 0, const std::function<void(double)>& progress = {},
                            std::shared_ptr<const WorldStage>* keptStage = nullptr);
