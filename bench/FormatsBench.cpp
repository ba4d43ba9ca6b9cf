#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "export/HeightMapFormat.h"
#include "landing/OutputFile.h"
#include "terrain/Array2D.h"
#include "terrain/HeightMapOfSize.h"

namespace {

// An 8193 map (the size the README's write figures are for), generated once
// for every format.
const Array2D<float>& LargestMap()
{
    static const Array2D<float> map = [] {
        Array2D<float> generated(8193, 8193);
        GenerateHeightMapOfSize(generated, TerrainParameters{});
        return generated;
    }();
    return map;
}

// One --format run's writing: open, write, fsync and rename into /tmp.
void WriteFormat(benchmark::State& state, const char* name)
{
    const HeightMapFormat* format = FindHeightMapFormat(name);
    const Array2D<float>& map = LargestMap();
    const std::string path = "/tmp/orvandel-bench-" + std::to_string(getpid()) + "." + name;
    for (auto _ : state) {
        OutputFile out;
        if (!out.Open(path) || !WriteHeightMapAs(*format, map, format->defaultRows, out) || !out.Commit()) {
            state.SkipWithError("write failed");
            break;
        }
    }
    std::remove(path.c_str());
}

}  // namespace

BENCHMARK_CAPTURE(WriteFormat, png16, "png16")->Name("BM_WriteFormat/png16")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(WriteFormat, exr, "exr")->Name("BM_WriteFormat/exr")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(WriteFormat, tif32, "tif32")->Name("BM_WriteFormat/tif32")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(WriteFormat, r16, "r16")->Name("BM_WriteFormat/r16")->Unit(benchmark::kMillisecond)->Iterations(3);
