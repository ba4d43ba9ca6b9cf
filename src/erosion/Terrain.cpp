#include "erosion/Terrain.h"

#include <memory>

#include "erosion/Erosion.h"
#include "hydrology/FlowRouting.h"
#include "hydrology/Lakes.h"
#include "erosion/WorldStage.h"
#include "erosion/WorldWindows.h"
#include "terrain/HeightMapGenerator.h"
#include "terrain/HeightMapOfSize.h"

namespace {

// Generation is quick next to erosion; it gets this share of the progress.
constexpr double generationShare = 0.1;

// The world's way: its stage (most of the time), then the map from it.
void GenerateFromStage(Array2D<float>& map, Array2D<float>* upstream, const TerrainParameters& parameters,
                       unsigned threads, const std::function<void(double)>& progress,
                       std::shared_ptr<const WorldStage>* keptStage = nullptr)
{
    constexpr double stageShare = 0.8;
    std::function<void(double)> staging;
    if (progress) {
        staging = [&](double f) { progress(stageShare * f); };
    }
    const auto stage =
        std::make_shared<const WorldStage>(ComputeWorldStage(parameters, map.GetWidth(), threads, staging));
    WorldWindows(parameters, stage).Generate(map, upstream, 0, 0, threads);
    if (keptStage) {
        *keptStage = stage;
    }
    if (progress) {
        progress(1.0);
    }
}

}  // namespace

void GenerateTerrainAndFlow(Array2D<float>& map, Array2D<float>& upstream, const TerrainParameters& parameters,
                            unsigned threads, const std::function<void(double)>& progress,
                            std::shared_ptr<const WorldStage>* keptStage)
{
    GenerateFromStage(map, &upstream, parameters, threads, progress, keptStage);
}

void GenerateTerrain(Array2D<float>& map, const TerrainParameters& parameters, unsigned threads,
                     const std::function<void(double)>& progress)
{
    if (!(parameters.erosion > 0.0f)) {
        GenerateHeightMapOfSize(map, parameters, threads, progress);
        return;
    }
    const uint32_t n = map.GetWidth();
    if (StageCellsOf(n) < n) {
        GenerateFromStage(map, nullptr, parameters, threads, progress);
        return;
    }
    if (n < heightMapCells) {
        Array2D<float> viewers(heightMapCells, heightMapCells);
        GenerateTerrain(viewers, parameters, threads);
        const uint32_t every = heightMapSize / (n - 1);
        for (uint32_t y = 0; y < n; ++y) {
            for (uint32_t x = 0; x < n; ++x) {
                map.Row(y)[x] = viewers.Row(y * every)[x * every];
            }
        }
        // Every other cell of a drained map need not drain on its own.
        DrainKeepingLakes(map.Row(0), static_cast<int>(n), LakeRuleOf(LakeLeastShare(parameters), static_cast<int>(n)));
        return;
    }
    std::function<void(double)> generating;
    std::function<void(double)> eroding;
    if (progress) {
        generating = [&](double f) { progress(generationShare * f); };
        eroding = [&](double f) { progress(generationShare + (1.0 - generationShare) * f); };
    }
    GenerateHeightMapOfSize(map, parameters, threads, generating);
    ErodeHeightMap(map, parameters.erosion, threads, eroding, LakeLeastShare(parameters));
}
