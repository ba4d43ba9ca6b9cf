// Lakes: which depressions stay, at what surface, and that the rest of the
// land still drains; erosion keeping them gives the same bits on any number
// of threads.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "erosion/Erosion.h"
#include "erosion/WorldStage.h"
#include "erosion/WorldWindows.h"
#include "hydrology/Lakes.h"
#include "terrain/HeightMapOfSize.h"

namespace {

constexpr int n = 33;

float& At(std::vector<float>& h, int x, int y) { return h[size_t(y) * n + x]; }

// A dome falling to the sea at the border, with a basin of 5 x 5 cells
// 0.05 deep whose sill is one notch in its rim, and a one-cell pit.
std::vector<float> Dome()
{
    std::vector<float> h(size_t(n) * n);
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const int d = std::max(std::abs(x - 16), std::abs(y - 16));
            At(h, x, y) = 0.5f - 0.02f * d;
        }
    }
    // The basin: cells (6..10, 14..18) at 0.25, its rim raised to 0.4 but
    // for a sill at (5, 16), 0.3 high, on the side falling to the sea.
    for (int y = 13; y <= 19; ++y) {
        for (int x = 5; x <= 11; ++x) {
            const bool inside = x >= 6 && x <= 10 && y >= 14 && y <= 18;
            At(h, x, y) = inside ? 0.25f : std::max(At(h, x, y), 0.4f);
        }
    }
    At(h, 5, 16) = 0.3f;
    At(h, 24, 24) = 0.1f;  // a pit too small to be a lake
    return h;
}

}  // namespace

TEST(Lakes, TheLargeBasinStaysAtItsSillAndTheRestDrains)
{
    const std::vector<float> raw = Dome();
    std::vector<float> h = raw;
    DrainKeepingLakes(h.data(), n, LakeRule{10.0, kLakeLeastDepth});
    for (int y = 14; y <= 18; ++y) {
        for (int x = 6; x <= 10; ++x) {
            EXPECT_EQ(0.25f, At(h, x, y)) << x << "," << y;  // the bed is kept
        }
    }
    EXPECT_GT(At(h, 24, 24), 0.3f);  // the pit is filled
    std::vector<float> surface;
    LakeSurface(h.data(), n, surface);
    size_t lakeCells = 0;
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const float level = surface[size_t(y) * n + x];
            const bool basin = x >= 6 && x <= 10 && y >= 14 && y <= 18;
            EXPECT_EQ(basin ? 0.3f : 0.0f, level) << x << "," << y;
            lakeCells += level > 0.0f;
            // Every other land cell has a lower neighbour.
            if (!basin && x > 0 && y > 0 && x < n - 1 && y < n - 1 && At(h, x, y) > seaLevel) {
                bool lower = false;
                for (const NeighbourStep& s : neighbourSteps) {
                    lower = lower || At(h, x + s.dx, y + s.dy) < At(h, x, y);
                }
                EXPECT_TRUE(lower) << x << "," << y;
            }
        }
    }
    EXPECT_EQ(25u, lakeCells);
    // Too small a rule's least area, or too shallow a basin, fills it as a pit.
    h = raw;
    DrainKeepingLakes(h.data(), n, LakeRule{26.0, kLakeLeastDepth});
    LakeSurface(h.data(), n, surface);
    for (const float level : surface) {
        EXPECT_EQ(0.0f, level);
    }
}

TEST(Lakes, ErosionKeepingLakesHasTheSameBitsOnAnyThreads)
{
    TerrainParameters parameters;
    parameters.roughness = 0.62f;
    parameters.sharpness = 0.25f;
    const int size = 513;
    Array2D<float> raw(size, size);
    GenerateHeightMapOfSize(raw, parameters);
    Array2D<float> one = raw;
    Array2D<float> two = raw;
    ErodeHeightMap(one, 1.0f, 1, {}, 5e-5);
    ErodeHeightMap(two, 1.0f, 2, {}, 5e-5);
    EXPECT_EQ(0, std::memcmp(one.Row(0), two.Row(0), sizeof(float) * size * size));
    std::vector<float> surface;
    LakeSurface(one.Row(0), size, surface);
    size_t lakeCells = 0;
    for (const float level : surface) {
        lakeCells += level > 0.0f;
    }
    EXPECT_GT(lakeCells, 0u);
}

// A world larger than its stage (1025 over 257: two levels) lays the
// stage's lakes into its own cells: each is exactly a depression of the
// whole map (the plain flood finds the same cells at the same level), every
// other land cell keeps a way down, and a window's heights and lakes are the
// whole map's.
TEST(Lakes, AWorldLaysItsStagesLakesTheSameInEveryWindow)
{
    TerrainParameters parameters;
    parameters.roughness = 0.62f;
    parameters.sharpness = 0.25f;
    parameters.erosion = 1.0f;
    parameters.lakeArea = 200.0f;  // m^2 over a world 1024 m across
    parameters.mapMetres = 1024.0;
    const uint32_t size = 1025;
    const auto stage = std::make_shared<const WorldStage>(ComputeWorldStage(parameters, size, 0, {}, 257));
    ASSERT_TRUE(stage->lakes);
    const WorldWindows world(parameters, stage);
    Array2D<float> whole(size, size);
    world.Generate(whole, nullptr, 0, 0, 2);
    Array2D<float> laid(size, size);
    world.LakeSurface(laid, 0, 0);
    std::vector<float> found;
    LakeSurface(whole.Row(0), int(size), found);
    EXPECT_EQ(0, std::memcmp(found.data(), laid.Row(0), found.size() * sizeof(float)));
    size_t lakeCells = 0;
    size_t stuck = 0;
    for (uint32_t y = 1; y + 1 < size; ++y) {
        for (uint32_t x = 1; x + 1 < size; ++x) {
            const float h = whole.Row(y)[x];
            if (laid.Row(y)[x] > 0.0f) {
                ++lakeCells;
                continue;
            }
            bool lower = h <= seaLevel;
            for (const NeighbourStep& s : neighbourSteps) {
                lower = lower || whole.Row(y + s.dy)[x + s.dx] < h;
            }
            stuck += !lower;
        }
    }
    EXPECT_GT(lakeCells, 200u);
    EXPECT_EQ(0u, stuck);
    Array2D<float> heights(300, 257);
    Array2D<float> surface(300, 257);
    world.Generate(heights, nullptr, 400, 500, 1);
    world.LakeSurface(surface, 400, 500);
    for (uint32_t y = 0; y < 257; ++y) {
        EXPECT_EQ(0, std::memcmp(heights.Row(y), whole.Row(500 + y) + 400, 300 * sizeof(float))) << y;
        EXPECT_EQ(0, std::memcmp(surface.Row(y), laid.Row(500 + y) + 400, 300 * sizeof(float))) << y;
    }
}
