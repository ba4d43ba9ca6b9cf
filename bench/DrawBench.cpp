#include <benchmark/benchmark.h>

#include <cmath>

#include "GlRecorder.h"
#include "render/Render.h"

namespace {

// A deterministic stand-in for a generated map: heights between 0 and 1
// that vary from cell to cell.
Array2D<float> GeneratedLookingMap()
{
    Array2D<float> map(129, 129);
    for (int y = 0; y < 129; ++y) {
        for (int x = 0; x < 129; ++x) {
            const float wave = std::sin(x * 0.13f) * std::cos(y * 0.09f) + 0.3f * std::sin((x + 2 * y) * 0.41f);
            map.At(x, y) = 1.0f / (1.0f + std::exp(-2.0f * wave));
        }
    }
    return map;
}

// One frame's mesh: 16384 cells, their grid reads, normals and calls.
void BM_DrawTerrainMesh(benchmark::State& state)
{
    Array2D<float> map = GeneratedLookingMap();
    GlRecorder::SetRecording(false);
    for (auto _ : state) {
        DrawTerrainMesh(map);
        benchmark::ClobberMemory();
    }
    GlRecorder::SetRecording(true);
}
BENCHMARK(BM_DrawTerrainMesh);

}  // namespace
