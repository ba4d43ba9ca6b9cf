#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "derive/SurfaceMaps.h"

namespace {

// Heights in [0, 1] with a cell's worth of noise: every slope and light.
Array2D<float> RandomMap(unsigned side, uint32_t seed)
{
    Array2D<float> map(side, side);
    std::mt19937 random(seed);
    for (unsigned y = 0; y < side; ++y) {
        for (unsigned x = 0; x < side; ++x) {
            map.At(int(x), int(y)) = float(random() >> 8) / float(1 << 24);
        }
    }
    return map;
}

// z = (a x + b y) * cell / relief metres: a plane rising a metres a metre
// east and b north.
Array2D<float> Plane(unsigned side, double a, double b, const MapScale& scale)
{
    Array2D<float> map(side, side);
    for (unsigned y = 0; y < side; ++y) {
        for (unsigned x = 0; x < side; ++x) {
            map.At(int(x), int(y)) = float((a * x + b * y) * scale.cellSize / scale.relief + 0.25);
        }
    }
    return map;
}

double Decode(uint16_t sample)
{
    return sample / 65535.0 * 2 - 1;
}

TEST(NormalMap, APlaneOfKnownTiltGivesItsNormalInEveryPixelEdgesIncluded)
{
    const MapScale scale{4, 64};  // steps of a power of two keep the plane's floats exact
    const struct {
        double east, north;
    } tilts[] = {{0, 0}, {1, 0}, {0, -0.5}, {0.25, 0.75}, {-2, 1}};
    for (const auto& tilt : tilts) {
        const Array2D<float> map = Plane(17, tilt.east, tilt.north, scale);
        const Raster16 normals = NormalMap(map, scale, NormalConvention::OpenGl, 2);
        const double length = std::sqrt(1 + tilt.east * tilt.east + tilt.north * tilt.north);
        const double expected[3] = {-tilt.east / length, -tilt.north / length, 1 / length};
        for (unsigned y = 0; y < 17; ++y) {
            for (unsigned x = 0; x < 17; ++x) {
                for (int c = 0; c < 3; ++c) {
                    const uint16_t sample = normals.AtCell(x, y)[c];
                    ASSERT_EQ(sample, uint16_t(std::floor((expected[c] + 1) * 32767.5 + 0.5)))
                        << "tilt " << tilt.east << ", " << tilt.north << " at " << x << ", " << y << " c " << c;
                }
            }
        }
    }
}

TEST(NormalMap, NormalsAreUnitWithinOneStepAndDirectXGreenIsTheComplement)
{
    const Array2D<float> map = RandomMap(65, 3);
    const MapScale scale{10, 300};
    const Raster16 gl = NormalMap(map, scale, NormalConvention::OpenGl, 1);
    const Raster16 dx = NormalMap(map, scale, NormalConvention::DirectX, 3);
    for (size_t pixel = 0; pixel < gl.samples.size() / 3; ++pixel) {
        const uint16_t* n = &gl.samples[3 * pixel];
        const double length = std::sqrt(Decode(n[0]) * Decode(n[0]) + Decode(n[1]) * Decode(n[1]) +
                                         Decode(n[2]) * Decode(n[2]));
        ASSERT_NEAR(length, 1.0, std::sqrt(3.0) / 32767) << pixel;
        ASSERT_GT(n[2], 32767) << "normals point up";
        ASSERT_EQ(dx.samples[3 * pixel + 1], 65535 - n[1]) << pixel;
        ASSERT_EQ(dx.samples[3 * pixel], n[0]);
        ASSERT_EQ(dx.samples[3 * pixel + 2], n[2]);
    }
}

TEST(SurfaceMaps, TheSameBytesOnAnyNumberOfThreads)
{
    const Array2D<float> map = RandomMap(129, 11);
    const MapScale scale{5, 200};
    for (unsigned threads : {2u, 5u}) {
        EXPECT_EQ(NormalMap(map, scale, NormalConvention::OpenGl, 1).samples,
                  NormalMap(map, scale, NormalConvention::OpenGl, threads).samples);
        EXPECT_EQ(SlopeMap(map, scale, 1).samples, SlopeMap(map, scale, threads).samples);
        EXPECT_EQ(ShadeMap(map, scale, 1).samples, ShadeMap(map, scale, threads).samples);
        EXPECT_EQ(SplatMap(map, scale, 0.3f, {}, 1).samples, SplatMap(map, scale, 0.3f, {}, threads).samples);
    }
}

TEST(SplatMap, WeightsSumToExactly255InEveryPixel)
{
    const Array2D<float> map = RandomMap(65, 5);
    // A relief that puts every layer somewhere on the noise.
    const Raster8 splat = SplatMap(map, {20, 300}, 0.2f, {20, 35, 200}, 2);
    int layersSeen[4] = {};
    for (size_t pixel = 0; pixel < splat.samples.size() / 4; ++pixel) {
        const uint8_t* w = &splat.samples[4 * pixel];
        ASSERT_EQ(w[0] + w[1] + w[2] + w[3], 255) << pixel;
        for (int layer = 0; layer < 4; ++layer) {
            layersSeen[layer] += w[layer] > 0;
        }
    }
    for (int layer = 0; layer < 4; ++layer) {
        EXPECT_GT(layersSeen[layer], 0) << "layer " << layer;
    }
}

TEST(SplatMap, EachLayerWhereItsThresholdPutsIt)
{
    const MapScale scale{10, 1000};
    const SplatThresholds thresholds{20, 35, 500};
    const struct {
        const char* where;
        double height;  // of a flat map, or the mean of a sloping one
        double eastSlope;
        uint8_t expected[4];
    } cases[] = {
        {"sea floor", 0.05, 0, {255, 0, 0, 0}},
        {"beach, 10 m up", 0.11, 0, {255, 0, 0, 0}},
        {"halfway up the beach's fade, 30 m", 0.13, 0, {128, 127, 0, 0}},
        {"meadow, 200 m", 0.3, 0, {0, 255, 0, 0}},
        {"snow, 700 m", 0.8, 0, {0, 0, 0, 255}},
        {"cliff, 60 degrees", 0.5, std::tan(60 * M_PI / 180), {0, 0, 255, 0}},
    };
    for (const auto& c : cases) {
        Array2D<float> map(9, 9);
        for (unsigned y = 0; y < 9; ++y) {
            for (unsigned x = 0; x < 9; ++x) {
                map.At(int(x), int(y)) = float(c.height + c.eastSlope * (double(x) - 4) * scale.cellSize / scale.relief);
            }
        }
        const Raster8 splat = SplatMap(map, scale, 0.1f, thresholds, 1);
        const uint8_t* w = splat.AtCell(4, 4);
        EXPECT_EQ((std::vector<int>{w[0], w[1], w[2], w[3]}),
                  (std::vector<int>{c.expected[0], c.expected[1], c.expected[2], c.expected[3]}))
            << c.where;
    }
}

TEST(Downsized, KeepsProportionsWithinTheLargestSideAndAveragesByArea)
{
    Raster8 flat(2049, 1025, 1);
    std::fill(flat.samples.begin(), flat.samples.end(), uint8_t(77));
    const Raster8 small = Downsized(flat, 1024);
    EXPECT_EQ(small.width, 1024u);
    EXPECT_EQ(small.height, 512u);
    for (const uint8_t value : small.samples) {
        ASSERT_EQ(value, 77);
    }

    // Stripes of 0 and 255 a pixel wide average to the middle grey.
    Raster8 stripes(2048, 2, 1);
    for (unsigned x = 0; x < 2048; ++x) {
        stripes.Row(0)[x] = stripes.Row(1)[x] = x % 2 ? 255 : 0;
    }
    const Raster8 halved = Downsized(stripes, 1024);
    ASSERT_EQ(halved.width, 1024u);
    ASSERT_EQ(halved.height, 1u);
    for (const uint8_t value : halved.samples) {
        ASSERT_EQ(value, 128);
    }

    const Raster8 already = Downsized(Raster8(65, 65, 1), 1024);
    EXPECT_EQ(already.width, 65u);
}

}  // namespace
