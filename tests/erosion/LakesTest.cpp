// Lakes: which depressions stay, at what surface, and that the rest of the
// land still drains; erosion keeping them gives the same bits on any number
// of threads.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "erosion/Erosion.h"
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
