#include <benchmark/benchmark.h>

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

}  // namespace
