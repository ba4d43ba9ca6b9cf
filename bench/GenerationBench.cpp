#include <benchmark/benchmark.h>

#include "terrain/Array2D.h"
#include "terrain/HeightMapGenerator.h"
#include "terrain/HeightMapOfSize.h"
#include "terrain/ParallelRows.h"

namespace {

// The whole generation the controls run each frame a key is held.
void BM_GenerateHeightMap(benchmark::State& state)
{
    Array2D<float> heightMap(129, 129);
    falloffExponent = 1.0f;
    for (auto _ : state) {
        GenerateHeightMap(heightMap, 128, 30.0f, 0.5f);
        benchmark::DoNotOptimize(&heightMap.At(64, 64));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_GenerateHeightMap)->Unit(benchmark::kMicrosecond);

// The displacement passes alone, on an N x N grid with size N - 1.
void BM_DiamondSquare(benchmark::State& state)
{
    const auto side = static_cast<uint32_t>(state.range(0));
    Array2D<float> grid(side, side);
    for (auto _ : state) {
        DiamondSquare(grid, side - 1, 30.0f, 0.5f);
        benchmark::DoNotOptimize(&grid.At(1, 1));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * (side - 2) * (side - 2));
}
BENCHMARK(BM_DiamondSquare)->Arg(129)->Arg(257)->Arg(513)->Arg(1025)->Unit(benchmark::kMicrosecond);

} // namespace

namespace {

// A whole map of N x N cells on `threads` threads (0: every core).
void GenerateMapsOfSize(benchmark::State& state, unsigned threads)
{
    const auto side = static_cast<uint32_t>(state.range(0));
    Array2D<float> map(side, side);
    const TerrainParameters parameters;
    for (auto _ : state) {
        GenerateHeightMapOfSize(map, parameters, threads);
        benchmark::DoNotOptimize(map.Row(side / 2));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * int64_t{side} * side);
    state.counters["threads"] = EffectiveThreads(threads);
}

// The heightmap tool's generation, on every core.
void BM_GenerateHeightMapOfSize(benchmark::State& state) { GenerateMapsOfSize(state, 0); }
BENCHMARK(BM_GenerateHeightMapOfSize)->Arg(129)->Arg(1025)->Arg(8193)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same on one thread, to show what the cores add.
void BM_GenerateHeightMapOfSizeOneThread(benchmark::State& state) { GenerateMapsOfSize(state, 1); }
BENCHMARK(BM_GenerateHeightMapOfSizeOneThread)->Arg(8193)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
