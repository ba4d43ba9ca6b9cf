#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "app/Controls.h"
#include "derive/MapScale.h"
#include "erosion/Erosion.h"
#include "erosion/ErosionSteps.h"
#include "erosion/LevelPasses.h"
#include "erosion/Terrain.h"
#include "erosion/TerrainStats.h"
#include "hydrology/Lakes.h"
#include "terrain/HeightMapGenerator.h"
#include "terrain/HeightMapOfSize.h"
#include "terrain/ShapeGrid.h"
#include "terrain/ParallelRows.h"

namespace {

// The recommended settings for a natural island.
TerrainParameters Recommended()
{
    TerrainParameters parameters;
    parameters.roughness = 0.62f;
    parameters.sharpness = 0.25f;
    parameters.erosion = 1.0f;
    return parameters;
}

// The viewer's whole regeneration with erosion on: what each frame costs
// while a generation key is held.
void BM_ViewerMapWithErosion(benchmark::State& state)
{
    Array2D<float> heightMap(heightMapCells, heightMapCells);
    const TerrainParameters parameters = Recommended();
    falloffExponent = parameters.falloffExponent;
    terrainSharpness = parameters.sharpness;
    viewerErosion = parameters.erosion;
    for (auto _ : state) {
        RegenerateViewerMap(heightMap, parameters.roughness);
        benchmark::DoNotOptimize(heightMap.Row(64));
        benchmark::ClobberMemory();
    }
    terrainSharpness = 3.0f;
    viewerErosion = 0.0f;
}
BENCHMARK(BM_ViewerMapWithErosion)->Unit(benchmark::kMillisecond);

// What the eroded land is like: the share of land draining to the sea,
// closed pits per million land cells, the flat and the 5-45 degree shares.
void CountLand(benchmark::State& state, const Array2D<float>& raw, const Array2D<float>& map)
{
    const TerrainStats before = MeasureTerrain(raw);
    const TerrainStats after = MeasureTerrain(map);
    state.counters["threads"] = EffectiveThreads(0);
    state.counters["drains_before_%"] = 100.0 * before.DrainingShare();
    state.counters["drains_%"] = 100.0 * after.DrainingShare();
    state.counters["pits_per_M_before"] = before.PitsPerMillion();
    state.counters["pits_per_M"] = after.PitsPerMillion();
    state.counters["flat_%"] = 100.0 * after.FlatShare();
    state.counters["sloped_before_%"] = 100.0 * before.SlopedShare();
    state.counters["sloped_%"] = 100.0 * after.SlopedShare();
}

// Erosion alone of the recommended map of the benchmark's size held whole,
// timed, with lakes of at least `lakeShare` of its area kept: the map made
// and its raw heights.
Array2D<float> TimedErosion(benchmark::State& state, double lakeShare, Array2D<float>& raw)
{
    const auto side = static_cast<uint32_t>(state.range(0));
    const TerrainParameters parameters = Recommended();
    raw = Array2D<float>(side, side);
    GenerateHeightMapOfSize(raw, parameters);
    Array2D<float> map = raw;
    for (auto _ : state) {
        state.PauseTiming();
        map = raw;
        state.ResumeTiming();
        ErodeHeightMap(map, parameters.erosion, 0, {}, lakeShare);
        benchmark::ClobberMemory();
    }
    return map;
}

// The stage's way, up to 4097.
void BM_ErodeHeightMap(benchmark::State& state)
{
    Array2D<float> raw(1, 1);
    const Array2D<float> map = TimedErosion(state, 0.0, raw);
    CountLand(state, raw, map);
}
BENCHMARK(BM_ErodeHeightMap)->Arg(129)->Arg(1025)->Arg(4097)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// The same with --lakes 20000 over the default 10 km: what looking for
// lakes in every round costs, and how many cells stay lakes.
void BM_ErodeHeightMapWithLakes(benchmark::State& state)
{
    Array2D<float> raw(1, 1);
    const Array2D<float> map = TimedErosion(state, 20000.0 / (kDefaultExtentMetres * kDefaultExtentMetres), raw);
    std::vector<float> surface;
    LakeSurface(map.Row(0), int(map.GetWidth()), surface);
    state.counters["lake_cells"] = double(std::count_if(surface.begin(), surface.end(), [](float v) { return v > 0.0f; }));
}
BENCHMARK(BM_ErodeHeightMapWithLakes)->Arg(2049)->Arg(4097)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// One round of erosion on one level of N cells a side (the fill, the
// multiple-flow routing, stream power, deposition, relaxation and creep):
// the cost of each level of the one-machine erosion, which runs I_c rounds
// on the 129 lattice and I_f on each finer one.
void BM_ErosionRound(benchmark::State& state)
{
    const auto side = static_cast<uint32_t>(state.range(0));
    const TerrainParameters parameters = Recommended();
    Array2D<float> raw(side, side);
    GenerateHeightMapOfSize(raw, parameters);
    const ErosionPlan plan = PlanErosion(parameters.erosion);
    ErosionWork work;
    for (auto _ : state) {
        state.PauseTiming();
        Array2D<float> map = raw;
        state.ResumeTiming();
        ErodeCells(map.Row(0), static_cast<int>(side), plan, 1, 0, work);
        benchmark::ClobberMemory();
    }
    state.counters["cells_per_s"] = benchmark::Counter(double(side) * side, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ErosionRound)->Arg(129)->Arg(1025)->Arg(2049)->Arg(4097)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// The same round on 1 and on 2 threads (the bits are the same): the fill
// and the bands' set-up on one core, the passes that follow the water in
// bands on each (FlowBands.h), the rest row-parallel. Range(1) threads,
// range(2) bands at most (ErosionWork::bandThreads).
void BM_ErosionRoundOnThreads(benchmark::State& state)
{
    const auto side = static_cast<uint32_t>(state.range(0));
    const auto threads = static_cast<unsigned>(state.range(1));
    const TerrainParameters parameters = Recommended();
    Array2D<float> raw(side, side);
    GenerateHeightMapOfSize(raw, parameters);
    const ErosionPlan plan = PlanErosion(parameters.erosion);
    ErosionWork work;
    work.bandThreads = static_cast<unsigned>(state.range(2));
    Array2D<float> map = raw;
    ErodeCells(map.Row(0), static_cast<int>(side), plan, 1, threads, work);  // the arrays, once
    for (auto _ : state) {
        state.PauseTiming();
        map = raw;
        state.ResumeTiming();
        ErodeCells(map.Row(0), static_cast<int>(side), plan, 1, threads, work);
        benchmark::ClobberMemory();
    }
    state.counters["bands"] = static_cast<double>(work.bands.BandCount());
}
BENCHMARK(BM_ErosionRoundOnThreads)
    ->Args({4097, 1, 1})
    ->Args({4097, 2, 1})
    ->Args({4097, 2, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

// A world level's passes (LevelPasses.h) over an N x N rectangle of the
// eroded N map, with its own area brought down: what each level below the
// stage adds to a world's time, in bands of 512 rows.
void BM_LevelPasses(benchmark::State& state)
{
    const auto side = static_cast<uint32_t>(state.range(0));
    const TerrainParameters parameters = Recommended();
    Array2D<float> eroded(side, side);
    GenerateTerrain(eroded, parameters);
    const std::vector<float> start(eroded.Row(0), eroded.Row(0) + size_t(side) * side);
    const std::vector<float> area(start.size(), 16.0f);
    const LevelPassPlan plan{PlanErosion(1.0f).streamPower * 128.0 / (side - 1), 0.05};
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<float> heights = start;
        state.ResumeTiming();
        ErodeLevel(heights, area, {0, 0, side, side, side}, plan, 0);
        benchmark::ClobberMemory();
    }
    state.counters["cells_per_s"] = benchmark::Counter(double(side) * side, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_LevelPasses)->Arg(2049)->Arg(4097)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// The whole eroded terrain of an N map, generation included: above 4097 a
// world's stage and its finer levels, as the tool makes it.
void BM_ErodedTerrain(benchmark::State& state)
{
    const auto side = static_cast<uint32_t>(state.range(0));
    const TerrainParameters parameters = Recommended();
    Array2D<float> map(side, side);
    for (auto _ : state) {
        GenerateTerrain(map, parameters);
        benchmark::ClobberMemory();
    }
    Array2D<float> raw(side, side);
    GenerateHeightMapOfSize(raw, parameters);
    CountLand(state, raw, map);
}
BENCHMARK(BM_ErodedTerrain)->Arg(1025)->Arg(4097)->Arg(8193)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// The built-in continent (`--shape builtin:continent`, 89 % land) eroded at
// N, generation included: the most land a map can have to erode.
void BM_ErodedContinent(benchmark::State& state)
{
    const auto side = static_cast<uint32_t>(state.range(0));
    TerrainParameters parameters = Recommended();
    parameters.shapeFile = "builtin:continent";
    parameters.shape = BuiltInShape("continent");
    Array2D<float> map(side, side);
    for (auto _ : state) {
        GenerateTerrain(map, parameters);
        benchmark::ClobberMemory();
    }
    state.counters["threads"] = EffectiveThreads(0);
}
BENCHMARK(BM_ErodedContinent)->Arg(4097)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace
