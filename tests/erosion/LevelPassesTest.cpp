#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "TerrainChecks.h"
#include "erosion/LevelPasses.h"
#include "hydrology/FlowRouting.h"
#include "terrain/HeightMapOfSize.h"

namespace {

// A level's rectangle of rough land with sea around it: the raw 1025 map's
// rows 0 to 1199 of a 1025-wide strip (taller than a band of the passes, so
// the whole is made in bands and the windows below in one).
struct Strip {
    static constexpr int64_t width = 1025;
    static constexpr int64_t height = 1200;
    std::vector<float> heights;
    std::vector<float> area;
    Strip()
    {
        Array2D<float> raw(2049, 2049);
        GenerateHeightMapOfSize(raw, Eroded(0.62f, 0.25f, 0.0f));
        for (int64_t y = 0; y < height; ++y) {
            heights.insert(heights.end(), raw.Row(uint32_t(y + 400)) + 512, raw.Row(uint32_t(y + 400)) + 512 + width);
            for (int64_t x = 0; x < width; ++x) {
                area.push_back(1.0f + float((x * 7 + y * 3) % 400));  // what a coarser level brought
            }
        }
    }
};

const LevelPassPlan kPlan{0.375 * 128.0 / 2048.0, 0.025};

// A window made alone over the reach more around it is the whole
// rectangle's cells, on any thread count: what makes a world's tiles its
// whole map's bits.
TEST(LevelPasses, AWindowOverItsReachIsTheWholesCells)
{
    const Strip strip;
    std::vector<float> whole = strip.heights;
    ErodeLevel(whole, strip.area, {400, 512, Strip::width, Strip::height, 4097}, kPlan, 2);
    const int64_t reach = LevelPassReach();
    struct Window {
        int64_t x0, y0, width, height;
    };
    for (const Window& w : {Window{300, 500, 64, 80}, Window{0, 0, 100, 100}, Window{900, 1100, 125, 100}}) {
        for (const unsigned threads : {1u, 3u}) {
            const int64_t x0 = std::max<int64_t>(0, w.x0 - reach), y0 = std::max<int64_t>(0, w.y0 - reach);
            const int64_t x1 = std::min(Strip::width, w.x0 + w.width + reach);
            const int64_t y1 = std::min(Strip::height, w.y0 + w.height + reach);
            std::vector<float> part, area;
            for (int64_t y = y0; y < y1; ++y) {
                const size_t row = size_t(y) * Strip::width;
                part.insert(part.end(), strip.heights.begin() + row + x0, strip.heights.begin() + row + x1);
                area.insert(area.end(), strip.area.begin() + row + x0, strip.area.begin() + row + x1);
            }
            ErodeLevel(part, area, {400 + x0, 512 + y0, x1 - x0, y1 - y0, 4097}, kPlan, threads);
            for (int64_t y = w.y0; y < w.y0 + w.height; ++y) {
                ASSERT_EQ(std::memcmp(&part[size_t(y - y0) * size_t(x1 - x0) + size_t(w.x0 - x0)],
                                      &whole[size_t(y) * Strip::width + size_t(w.x0)], size_t(w.width) * 4),
                          0)
                    << "window at " << w.x0 << "," << w.y0 << ", row " << y << ", " << threads << " threads";
            }
        }
    }
}

// The passes cut the land and leave the sea and the world's border as they
// were.
TEST(LevelPasses, CutTheLandAndKeepTheSeaAndTheBorder)
{
    const Strip strip;
    std::vector<float> heights = strip.heights;
    // The rectangle's first column is the world's border.
    ErodeLevel(heights, strip.area, {0, 512, Strip::width, Strip::height, 4097}, kPlan, 0);
    int lowered = 0;
    for (size_t i = 0; i < heights.size(); ++i) {
        if (strip.heights[i] <= seaLevel || i % Strip::width == 0) {
            ASSERT_EQ(heights[i], strip.heights[i]) << "cell " << i;
        }
        lowered += heights[i] < strip.heights[i];
    }
    EXPECT_GT(lowered, int(heights.size() / 4));
}

}  // namespace
