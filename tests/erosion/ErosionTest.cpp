#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "TerrainChecks.h"
#include "erosion/Terrain.h"
#include "terrain/Array2D.h"
#include "terrain/HeightMapOfSize.h"

namespace {

Array2D<float> Terrain(uint32_t n, const TerrainParameters& parameters, unsigned threads = 0)
{
    Array2D<float> map(n, n);
    GenerateTerrain(map, parameters, threads);
    return map;
}

bool SameBits(const Array2D<float>& a, const Array2D<float>& b)
{
    const size_t cells = size_t{a.GetWidth()} * a.GetHeight();
    return std::memcmp(a.Row(0), b.Row(0), cells * sizeof(float)) == 0;
}

TEST(Erosion, SameBitsOnAnyNumberOfThreadsAndEveryRun)
{
    const TerrainParameters parameters = Eroded(0.62f, 0.25f, 1.0f);
    const Array2D<float> one = Terrain(257, parameters, 1);
    for (const unsigned threads : {2u, 3u, 8u, 1u}) {
        EXPECT_TRUE(SameBits(one, Terrain(257, parameters, threads))) << threads << " threads";
    }
}

// Small maps (the eroded 129 sampled), the viewer's, and coarse-to-fine
// ones; the recommended look, the viewer's mesa, rough land eroded hardest.
TEST(Erosion, EveryLandCellDrainsAndStaysInRange)
{
    const TerrainParameters cases[] = {Eroded(0.62f, 0.25f, 1.0f), Eroded(0.5f, 3.0f, 1.0f),
                                       Eroded(2.0f, 1.0f, maxErosion), Eroded(0.62f, 0.05f, 0.1f)};
    for (const uint32_t n : {65u, 129u, 257u}) {
        for (const TerrainParameters& parameters : cases) {
            SCOPED_TRACE(testing::Message() << "n " << n << " roughness " << parameters.roughness << " K "
                                            << parameters.sharpness << " E " << parameters.erosion);
            const Array2D<float> map = Terrain(n, parameters);
            EXPECT_EQ(LandCellsWithoutAWayDown(map), 0);
            for (uint32_t y = 0; y < n; ++y) {
                for (uint32_t x = 0; x < n; ++x) {
                    const float v = map.Row(y)[x];
                    ASSERT_TRUE(std::isfinite(v) && v >= 0.0f && v <= 1.0f) << x << "," << y << ": " << v;
                }
            }
        }
    }
}

// Erosion changes the land, and the coarse valleys of the viewer's 129
// map are the big map's: sampled on its lattice, a 513 map stays close to
// the 129 one, while the two uneroded maps are equal there.
TEST(Erosion, BigMapsKeepThePreviewsValleys)
{
    const TerrainParameters parameters = Eroded(0.62f, 0.25f, 1.0f);
    const Array2D<float> preview = Terrain(129, parameters);
    TerrainParameters plain = parameters;
    plain.erosion = 0.0f;
    const Array2D<float> uneroded = Terrain(129, plain);
    const Array2D<float> big = Terrain(513, parameters);
    double differenceFromPreview = 0.0;
    double erosionDepth = 0.0;
    int land = 0;
    for (uint32_t y = 0; y < 129; ++y) {
        for (uint32_t x = 0; x < 129; ++x) {
            if (uneroded.Row(y)[x] <= 0.01f) {
                continue;
            }
            ++land;
            differenceFromPreview += std::fabs(big.Row(4 * y)[4 * x] - preview.Row(y)[x]);
            erosionDepth += std::fabs(uneroded.Row(y)[x] - preview.Row(y)[x]);
        }
    }
    ASSERT_GT(land, 1000);
    EXPECT_GT(erosionDepth / land, 0.004) << "erosion should visibly change the land";
    EXPECT_LT(differenceFromPreview / land, 0.5 * erosionDepth / land) << "the big map lost the preview's valleys";
}

// The seabed's roughness: the five-point laplacian's root mean square over
// the shallow sea floor (heights in (0.0005, 0.005]), away from the border.
double SeabedRoughness(const Array2D<float>& h)
{
    double sum = 0.0;
    size_t count = 0;
    for (uint32_t y = 1; y + 1 < h.GetHeight(); ++y) {
        for (uint32_t x = 1; x + 1 < h.GetWidth(); ++x) {
            const double c = h.Row(y)[x];
            if (c > 0.0005 && c <= 0.005) {
                const double l = double(h.Row(y)[x + 1]) + h.Row(y)[x - 1] + h.Row(y + 1)[x] + h.Row(y - 1)[x] - 4 * c;
                sum += l * l;
                ++count;
            }
        }
    }
    return count > 0 ? std::sqrt(sum / double(count)) : 0.0;
}

// Erosion stops at the sea, so the levels' detail once stayed there as raw
// grain (0.7: 1.4 times the uneroded seabed's roughness); the seabed is now
// the coarser one refined, smooth as sediment leaves it (0.3 times).
TEST(Erosion, TheSeabedSettlesSmootherThanTheRawTerrain)
{
    const TerrainParameters parameters = Eroded(0.62f, 0.25f, 1.0f);
    TerrainParameters raw = parameters;
    raw.erosion = 0.0f;
    const double eroded = SeabedRoughness(Terrain(513, parameters));
    const double uneroded = SeabedRoughness(Terrain(513, raw));
    ASSERT_GT(uneroded, 0.0);
    EXPECT_LT(eroded, 0.5 * uneroded);
}

}  // namespace
