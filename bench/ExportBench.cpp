#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "export/HeightMapExport.h"
#include "terrain/Array2D.h"

// One G press: the viewer's 129 x 129 map written to a file, open to close.
static void BM_SaveHeightMapTGA(benchmark::State& state)
{
    Array2D<float> map(129, 129);
    for (int y = 0; y < 129; ++y) {
        for (int x = 0; x < 129; ++x) {
            map.At(x, y) = float((x * 7 + y * 13) % 256) / 255.0f;
        }
    }
    char path[] = "/tmp/orvandel-bench-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) {
        state.SkipWithError("cannot make a temporary file");
        return;
    }
    close(fd);
    std::string error;
    for (auto _ : state) {
        SaveHeightMapTGA(map, path, error);
    }
    std::remove(path);
}
BENCHMARK(BM_SaveHeightMapTGA)->Unit(benchmark::kMicrosecond)->Repetitions(10)->ReportAggregatesOnly(true);
