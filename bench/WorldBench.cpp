#include <benchmark/benchmark.h>

#include <memory>

#include "erosion/WorldWindows.h"
#include "terrain/Array2D.h"
#include "terrain/HeightMapWindow.h"
#include "terrain/ParallelRows.h"

namespace {

// One tile of T cells of the 32769 world (the tile north-east of the middle,
// whose halo reaches both sides of no border), on every core: the cost of a
// tile, whatever the world's size.
void BM_WorldTile(benchmark::State& state)
{
    const auto tile = static_cast<uint32_t>(state.range(0));
    const uint32_t world = static_cast<uint32_t>(state.range(1));
    const HeightMapWindows windows(world, TerrainParameters{});
    Array2D<float> cells(tile, tile);
    const uint32_t at = (world - 1) / 2;
    for (auto _ : state) {
        windows.Generate(cells, at, at, 0);
        benchmark::DoNotOptimize(cells.Row(tile / 2));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * int64_t{tile} * tile);
    state.counters["threads"] = EffectiveThreads(0);
    // Cells computed beyond the tile's own at each level, over the cells of
    // every level inside the tile: the halo's overhead.
    state.counters["halo_overhead_percent"] =
        100.0 * (double(windows.CellsComputed(at, at, tile, tile)) / double(windows.CellsInside(at, at, tile, tile)) -
                 1.0);
}
BENCHMARK(BM_WorldTile)
    ->Args({1025, 32769})
    ->Args({4097, 32769})
    ->Args({8193, 65537})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// One tile of T cells of an eroded world (the recommended settings), made
// from the world's stage as a task that read the stage file makes it: the
// stage is computed once, outside the timing, as the stage's job does. The
// tile lies north-east of the middle, away from the borders.
void BM_ErodedWorldTile(benchmark::State& state)
{
    const auto tile = static_cast<uint32_t>(state.range(0));
    const uint32_t world = static_cast<uint32_t>(state.range(1));
    TerrainParameters parameters;
    parameters.roughness = 0.62f;
    parameters.sharpness = 0.25f;
    parameters.erosion = 1.0f;
    const auto stage = std::make_shared<const WorldStage>(ComputeWorldStage(parameters, world, 0));
    const WorldWindows windows(parameters, stage);
    Array2D<float> cells(tile, tile);
    const uint32_t at = (world - 1) / 2;
    for (auto _ : state) {
        windows.Generate(cells, nullptr, at, at, 0);
        benchmark::DoNotOptimize(cells.Row(tile / 2));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * int64_t{tile} * tile);
    state.counters["threads"] = EffectiveThreads(0);
}
BENCHMARK(BM_ErodedWorldTile)
    ->Args({4097, 16385})
    ->Args({4097, 32769})
    ->Args({8193, 65537})
    ->Args({8193, 131073})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The world's stage of an eroded world: what the stage's job computes once.
void BM_ErodedWorldStage(benchmark::State& state)
{
    TerrainParameters parameters;
    parameters.roughness = 0.62f;
    parameters.sharpness = 0.25f;
    parameters.erosion = 1.0f;
    for (auto _ : state) {
        const WorldStage stage = ComputeWorldStage(parameters, 131073, 0);
        benchmark::DoNotOptimize(stage.upstream.Row(0));
    }
    state.counters["threads"] = EffectiveThreads(0);
}
BENCHMARK(BM_ErodedWorldStage)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace
