#include "erosion/WorldStage.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <utility>

#include "hydrology/FlowRouting.h"
#include "hydrology/MapRouting.h"
#include "erosion/Terrain.h"

uint32_t StageCellsOf(uint32_t worldCells, uint32_t largestStage)
{
    if (largestStage == 0) {
        return worldCells <= kWholeWorldCells ? worldCells : kStageCells;
    }
    return std::min(worldCells, largestStage);
}

int LevelsBelowStage(uint32_t worldCells, uint32_t stageCells)
{
    int levels = 0;
    while ((uint64_t{stageCells} - 1) << levels < uint64_t{worldCells} - 1) {
        ++levels;
    }
    assert(((uint64_t{stageCells} - 1) << levels) == uint64_t{worldCells} - 1);
    return levels;
}

double DrainGap(int levelsBelow)
{
    return std::ldexp(static_cast<double>((uint64_t{2} << levelsBelow) - 1), -23);
}

WorldStage ComputeWorldStage(const TerrainParameters& parameters, uint32_t worldCells, unsigned threads,
                             const std::function<void(double)>& progress, uint32_t largestStage)
{
    WorldStage stage;
    stage.worldCells = worldCells;
    stage.cells = StageCellsOf(worldCells, largestStage);
    stage.eroded = parameters.erosion > 0.0f;
    stage.heights = Array2D<float>(stage.cells, stage.cells);
    // The stage is one GenerateTerrain erodes whole, so this is the
    // one-machine erosion, and the stage of an uneroded world is its
    // lattice, bit for bit.
    GenerateTerrain(stage.heights, parameters, threads, progress);
    if (StageKeepsLakes(parameters, worldCells, stage.cells)) {
        Array2D<float> unfilled = stage.heights;
        StageWithLakes(stage, std::move(unfilled));
    } else if (stage.eroded && stage.cells < worldCells) {
        FillToDrain(stage.heights.Row(0), static_cast<int>(stage.cells), DrainGap(stage.LevelsBelow()));
    }
    RouteStage(stage);
    return stage;
}

bool StageKeepsLakes(const TerrainParameters& parameters, uint32_t worldCells, uint32_t stageCells)
{
    return parameters.erosion > 0.0f && LakeLeastShare(parameters) > 0.0 && stageCells < worldCells;
}

void StageWithLakes(WorldStage& stage, Array2D<float> unfilled)
{
    stage.heights = unfilled;
    FillToDrain(stage.heights.Row(0), static_cast<int>(stage.cells), DrainGap(stage.LevelsBelow()));
    stage.unfilled = std::move(unfilled);
    stage.lakes = true;
}

void RouteStage(WorldStage& stage)
{
    // The routing runs over the filled copy on a raw world; the finer levels
    // carry that routing on from the same heights.
    MapRouting routing = RouteMap(stage.heights, stage.MinimumDrop());
    stage.routed = std::move(routing.routed);
    stage.upstream = std::move(routing.upstream);
}
