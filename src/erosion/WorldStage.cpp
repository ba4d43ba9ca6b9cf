#include "erosion/WorldStage.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <vector>

#include "erosion/FlowRouting.h"
#include "erosion/Terrain.h"

uint32_t StageCellsOf(uint32_t worldCells, uint32_t largestStage)
{
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
    assert(largestStage <= kStageCells);
    WorldStage stage;
    stage.worldCells = worldCells;
    stage.cells = StageCellsOf(worldCells, largestStage);
    stage.eroded = parameters.erosion > 0.0f;
    stage.heights = Array2D<float>(stage.cells, stage.cells);
    // The stage is no larger than kStageCells, so this is the one-machine
    // erosion, and the stage of an uneroded world is its lattice, bit for bit.
    GenerateTerrain(stage.heights, parameters, threads, progress);
    if (stage.eroded && stage.cells < worldCells) {
        FillToDrain(stage.heights.Row(0), static_cast<int>(stage.cells), DrainGap(stage.LevelsBelow()));
    }
    RouteStage(stage);
    return stage;
}

void RouteStage(WorldStage& stage)
{
    const int n = static_cast<int>(stage.cells);
    stage.routed = stage.heights;
    float* h = stage.routed.Row(0);
    if (!stage.eroded) {
        FillToDrain(h, n);
    }
    const double minDrop = stage.MinimumDrop();
    std::vector<uint8_t> receiver(static_cast<size_t>(n) * n, noReceiver);
    for (int y = 1; y + 1 < n; ++y) {
        for (int x = 1; x + 1 < n; ++x) {
            const size_t i = static_cast<size_t>(y) * n + x;
            if (h[i] <= seaLevel) {
                continue;
            }
            float around[8];
            for (int k = 0; k < 8; ++k) {
                around[k] = h[i + neighbourSteps[k].dy * static_cast<ptrdiff_t>(n) + neighbourSteps[k].dx];
            }
            receiver[i] = SteepestWayDown(h[i], around, minDrop);
        }
    }
    std::vector<uint32_t> order;
    DownstreamOrder(receiver, n, order);
    stage.upstream = Array2D<float>(stage.cells, stage.cells);
    float* area = stage.upstream.Row(0);
    std::fill(area, area + static_cast<size_t>(n) * n, 1.0f);
    for (size_t k = order.size(); k-- > 0;) {
        const uint32_t i = order[k];
        if (receiver[i] != noReceiver) {
            area[ReceiverOf(i, receiver[i], n)] += area[i];
        }
    }
}
