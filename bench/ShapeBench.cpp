#include <benchmark/benchmark.h>

#include <gdal.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "shape/ShapeFile.h"
#include "terrain/Array2D.h"
#include "terrain/HeightMapOfSize.h"

namespace {

// A 4096 x 4096 shape written once through GDAL, 16-bit PNG (the slowest to
// decode of the usual formats) or float GeoTIFF: a few long waves, so the
// compressor has the work of a real sketch.
std::string ShapeFileOf(const char* driverName, GDALDataType type)
{
    constexpr int side = 4096;
    const std::string path = std::string("/tmp/orvandel-bench-shape-") + driverName + (type == GDT_UInt16 ? ".png" : ".tif");
    GDALAllRegister();
    std::vector<float> samples(size_t(side) * side);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            samples[size_t(y) * side + x] =
                float(0.5 + 0.25 * std::sin(x * 0.003) * std::cos(y * 0.002) + 0.1 * std::sin((x + y) * 0.05));
        }
    }
    GDALDatasetH memory = GDALCreate(GDALGetDriverByName("MEM"), "", side, side, 1, type, nullptr);
    const double scale = type == GDT_UInt16 ? 65535.0 : 2000.0;
    for (float& sample : samples) {
        sample = float(sample * scale);
    }
    if (GDALRasterIO(GDALGetRasterBand(memory, 1), GF_Write, 0, 0, side, side, samples.data(), side, side,
                     GDT_Float32, 0, 0) != CE_None) {
        std::abort();
    }
    GDALClose(GDALCreateCopy(GDALGetDriverByName(driverName), path.c_str(), memory, FALSE, nullptr, nullptr,
                             nullptr));
    GDALClose(memory);
    return path;
}

// Reading a 4096^2 shape: its checksum, GDAL's decoding, the scaling.
void BM_ShapeLoad(benchmark::State& state, const char* driverName, GDALDataType type)
{
    TerrainParameters parameters;
    parameters.shapeFile = ShapeFileOf(driverName, type);
    for (auto _ : state) {
        std::string error;
        if (LoadShape(parameters, 2000.0, error) != ShapeLoad::Loaded) {
            state.SkipWithError(error.c_str());
            break;
        }
        benchmark::DoNotOptimize(parameters.shape.get());
    }
}
BENCHMARK_CAPTURE(BM_ShapeLoad, png16, "PNG", GDT_UInt16)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ShapeLoad, tif32, "GTiff", GDT_Float32)->Unit(benchmark::kMillisecond);

// The 4097 map on two threads with the 4096^2 shape (resampled onto its
// 4097 lattice, no level below) and without (the island): what a shape
// changes in generation.
void BM_MapOfSize4097(benchmark::State& state)
{
    TerrainParameters parameters;
    if (state.range(0) != 0) {
        parameters.shapeFile = ShapeFileOf("PNG", GDT_UInt16);
        std::string error;
        if (LoadShape(parameters, 2000.0, error) != ShapeLoad::Loaded) {
            state.SkipWithError(error.c_str());
            return;
        }
    }
    Array2D<float> map(4097, 4097);
    for (auto _ : state) {
        GenerateHeightMapOfSize(map, parameters, 2);
        benchmark::DoNotOptimize(map.Row(2048));
    }
}
BENCHMARK(BM_MapOfSize4097)->ArgName("shaped")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
