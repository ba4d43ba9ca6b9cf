#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "TerrainChecks.h"
#include "erosion/ErosionSteps.h"
#include "erosion/LevelPasses.h"
#include "hydrology/FlowRouting.h"
#include "hydrology/MultipleFlow.h"
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

// The passes as the README states them, plainly on one thread, for a
// brought area the same on every cell (which the spread keeps): each
// pass's shares, three sweeps of the area, stream power, then creep (on
// gentle ground faster), every step from a copy of the heights before it.
std::vector<float> ReferencePasses(std::vector<float> h, float brought, const LevelRectangle& r,
                                   const LevelPassPlan& plan)
{
    const int64_t w = r.width;
    const auto at = [w](int64_t x, int64_t y) { return size_t(y * w + x); };
    const auto inner = [&](int64_t x, int64_t y) {
        return x > 0 && y > 0 && x < w - 1 && y < r.height - 1 && r.x0 + x > 0 && r.x0 + x < r.cells - 1 &&
               r.y0 + y > 0 && r.y0 + y < r.cells - 1;
    };
    for (int pass = 0; pass < kLevelPasses; ++pass) {
        const std::vector<float> before = h;
        std::vector<float> share(8 * h.size(), 0.0f), area(h.size(), brought);
        for (int64_t y = 0; y < r.height; ++y) {
            for (int64_t x = 0; x < w; ++x) {
                if (inner(x, y) && before[at(x, y)] > seaLevel) {
                    float s[8];
                    if (SharesAround(&before[at(x, y)], w, s)) {
                        std::copy(s, s + 8, share.begin() + 8 * at(x, y));
                    }
                }
            }
        }
        for (int sweep = 0; sweep < kLevelAreaSweeps; ++sweep) {
            std::vector<float> next = area;
            for (int64_t y = 1; y < r.height - 1; ++y) {
                for (int64_t x = 1; x < w - 1; ++x) {
                    float sum = 1.0f;
                    for (int k = 0; k < 8; ++k) {
                        const size_t j = at(x + neighbourSteps[k].dx, y + neighbourSteps[k].dy);
                        sum += share[8 * j + ((k + 4) & 7)] * area[j];
                    }
                    next[at(x, y)] = sum;
                }
            }
            area = next;
        }
        for (size_t i = 0; i < h.size(); ++i) {
            double weights = 0.0, pulled = 0.0;
            for (int k = 0; k < 8; ++k) {
                if (share[8 * i + k] > 0.0f) {
                    const double d = neighbourSteps[k].inverseDistance;
                    const double fk = plan.incision * std::sqrt(double(area[i])) * share[8 * i + k] * d * d;
                    weights += fk;
                    pulled += fk * before[i + size_t(neighbourSteps[k].dy * w + neighbourSteps[k].dx)];
                }
            }
            h[i] = weights > 0.0 ? float((double(before[i]) + pulled) / (1.0 + weights)) : h[i];
        }
        const std::vector<float> cut = h;
        const double perGentle = double(r.cells - 1) / (2.0 * plan.gentleSlope);
        for (int64_t y = 0; y < r.height; ++y) {
            for (int64_t x = 0; x < w; ++x) {
                const float* p = &cut[at(x, y)];
                if (inner(x, y) && p[0] > seaLevel) {
                    const double sx = (double(p[1]) - p[-1]) * perGentle, sy = (double(p[w]) - p[-w]) * perGentle;
                    const double gain = 1.0 + plan.gentleCreepGain / (1.0 + sx * sx + sy * sy);
                    h[at(x, y)] = CreepStep(p, w, plan.creep * gain);
                }
            }
        }
    }
    return h;
}

// The passes on every core are the plain reference's bits, in one band and
// in bands of rows (a rectangle taller than a band).
TEST(LevelPasses, AreThePlainReferencesBits)
{
    const Strip strip;
    const LevelPassPlan plan{0.375 * 128.0 / 2048.0, 0.025, kGentleCreepGain, kGentleSlope};
    for (const int64_t rows : {int64_t{300}, Strip::height}) {
        std::vector<float> made(strip.heights.begin(), strip.heights.begin() + rows * Strip::width);
        const LevelRectangle rect{0, 512, Strip::width, rows, 4097};
        const std::vector<float> expected = ReferencePasses(made, 40.0f, rect, plan);
        ErodeLevel(made, std::vector<float>(made.size(), 40.0f), rect, plan, 2);
        EXPECT_EQ(0, std::memcmp(made.data(), expected.data(), made.size() * sizeof(float))) << rows << " rows";
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
