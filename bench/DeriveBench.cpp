#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "derive/DerivedMapFiles.h"
#include "derive/FlowMaps.h"
#include "hydrology/MapRouting.h"
#include "landing/OutputGroup.h"
#include "terrain/Array2D.h"
#include "terrain/HeightMapOfSize.h"
#include "terrain/ParallelRows.h"

namespace {

const Array2D<float>& DefaultTerrain(uint32_t side)
{
    static Array2D<float> map(1, 1);
    if (map.GetWidth() != side) {
        map = Array2D<float>(side, side);
        GenerateHeightMapOfSize(map, TerrainParameters(), 0);
    }
    return map;
}

DerivedMapSettings SettingsFor(uint32_t side)
{
    DerivedMapSettings settings;
    settings.scale = {CellSizeOf(kDefaultExtentMetres, side), kDefaultReliefMetres};
    return settings;
}

// What --maps normal,slope,flow-d8,rivers,splat,shade adds to a run of the
// tool: every map computed on every core and written as PNG files.
void BM_WriteAllDerivedMaps(benchmark::State& state)
{
    const auto side = static_cast<uint32_t>(state.range(0));
    const Array2D<float>& map = DefaultTerrain(side);
    char directory[] = "/tmp/orvandel-bench-XXXXXX";
    if (mkdtemp(directory) == nullptr) {
        state.SkipWithError("no temporary directory");
        return;
    }
    const std::string out = std::string(directory) + "/world.png";
    std::vector<DerivedMapKind> kinds;
    std::string error;
    ParseDerivedMapList("normal,slope,flow-d8,rivers,splat,shade", kinds, error);
    const Array2D<float> upstream = RouteMap(map).upstream;
    for (auto _ : state) {
        // Opened, written and landed as the tool does.
        std::vector<std::unique_ptr<OutputFile>> files;
        std::vector<OutputFile*> opened;
        for (const DerivedMapKind kind : kinds) {
            files.push_back(std::make_unique<OutputFile>());
            files.back()->Open(DerivedMapPath(out, kind));
            opened.push_back(files.back().get());
        }
        if (!WriteDerivedMaps(map, &upstream, kinds, SettingsFor(side), opened, error) || !CommitTogether(opened, error)) {
            state.SkipWithError(error.c_str());
            break;
        }
    }
    for (const DerivedMapKind kind : kinds) {
        std::remove(DerivedMapPath(out, kind).c_str());
    }
    rmdir(directory);
    state.SetItemsProcessed(state.iterations() * int64_t{side} * side);
    state.counters["threads"] = EffectiveThreads(0);
}
BENCHMARK(BM_WriteAllDerivedMaps)->Arg(1025)->Arg(4097)->Unit(benchmark::kMillisecond)->UseRealTime();

// The one pass that runs on one core: the flood and the accumulation, on a
// map held whole (a world's stage, or any map up to its size).
void BM_RouteMap(benchmark::State& state)
{
    const auto side = static_cast<uint32_t>(state.range(0));
    const Array2D<float>& map = DefaultTerrain(side);
    for (auto _ : state) {
        const MapRouting routing = RouteMap(map);
        benchmark::DoNotOptimize(routing.upstream.Row(side / 2));
    }
    state.SetItemsProcessed(state.iterations() * int64_t{side} * side);
}
BENCHMARK(BM_RouteMap)->Arg(1025)->Unit(benchmark::kMillisecond)->UseRealTime();

// The multiple-flow routing of a map held whole (flow, flowdir): the shares
// on every core, the order and the accumulation on one.
void BM_RouteMultipleFlow(benchmark::State& state)
{
    const auto side = static_cast<uint32_t>(state.range(0));
    const Array2D<float>& map = DefaultTerrain(side);
    for (auto _ : state) {
        const MultipleFlowField field = RouteMultipleFlow(map, 0);
        benchmark::DoNotOptimize(field.area.Row(side / 2));
    }
    state.SetItemsProcessed(state.iterations() * int64_t{side} * side);
}
BENCHMARK(BM_RouteMultipleFlow)->Arg(1025)->Arg(4097)->Unit(benchmark::kMillisecond)->UseRealTime();

// The water maps from the routings: flow, flowdir, rivers, water and depth
// computed and written as PNG files (the routings made once, outside).
void BM_WriteWaterMaps(benchmark::State& state)
{
    const auto side = static_cast<uint32_t>(state.range(0));
    const Array2D<float>& map = DefaultTerrain(side);
    char directory[] = "/tmp/orvandel-bench-XXXXXX";
    if (mkdtemp(directory) == nullptr) {
        state.SkipWithError("no temporary directory");
        return;
    }
    const std::string out = std::string(directory) + "/world.png";
    std::vector<DerivedMapKind> kinds;
    std::string error;
    ParseDerivedMapList("flow,flowdir,rivers,water,depth", kinds, error);
    const Array2D<float> upstream = RouteMap(map).upstream;
    const MultipleFlowField flow = RouteMultipleFlow(map, 0);
    DerivedMapWindow window{map, &upstream};
    window.flow = &flow;
    for (auto _ : state) {
        std::vector<std::unique_ptr<OutputFile>> files;
        std::vector<OutputFile*> opened;
        for (const DerivedMapKind kind : kinds) {
            files.push_back(std::make_unique<OutputFile>());
            files.back()->Open(DerivedMapPath(out, kind));
            opened.push_back(files.back().get());
        }
        if (!WriteDerivedMapsOfWindow(window, kinds, SettingsFor(side), opened, error) ||
            !CommitTogether(opened, error)) {
            state.SkipWithError(error.c_str());
            break;
        }
    }
    for (const DerivedMapKind kind : kinds) {
        std::remove(DerivedMapPath(out, kind).c_str());
    }
    rmdir(directory);
    state.SetItemsProcessed(state.iterations() * int64_t{side} * side);
}
BENCHMARK(BM_WriteWaterMaps)->Arg(1025)->Arg(4097)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
