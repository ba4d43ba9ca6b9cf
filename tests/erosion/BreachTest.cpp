// Draining by cutting: deep depressions keep their floors and drain through
// a cut in their rims; shallow ones are filled; every cell drains.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "hydrology/FlowRouting.h"

namespace {

// Every cell but an outlet has a neighbour strictly lower: the guarantee
// the erosion's routing relies on.
bool EveryCellDrains(const std::vector<float>& h, int n)
{
    for (int y = 1; y + 1 < n; ++y) {
        for (int x = 1; x + 1 < n; ++x) {
            const size_t i = size_t(y) * n + x;
            if (h[i] <= seaLevel) {
                continue;
            }
            bool down = false;
            for (const NeighbourStep& s : neighbourSteps) {
                down |= h[i + s.dy * ptrdiff_t(n) + s.dx] < h[i];
            }
            if (!down) {
                return false;
            }
        }
    }
    return true;
}

// A bowl: floor 0.2 at the centre, a rim of 0.6 at radius 10, falling to
// the sea beyond it; with `wall`, the rim runs on to the map's top border,
// which stands at 0.8, and the sea lies only below.
std::vector<float> Bowl(int n, bool wall)
{
    std::vector<float> h(size_t(n) * n);
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const double r = std::hypot(x - n / 2, y - n / 2);
            double v = r < 10 ? 0.2 + 0.04 * r : std::max(0.0, 0.6 - 0.05 * (r - 10));
            if (wall && y > n / 2) {
                v = std::max(v, 0.6);
            }
            h[size_t(y) * n + x] = float(v);
        }
    }
    return h;
}

}  // namespace

TEST(BreachToDrain, EveryCellDrainsOnNoiseBowlsAndAgainAsTheSameBits)
{
    const int n = 41;
    std::mt19937 random(11);
    std::uniform_real_distribution<float> height(0.0f, 1.0f);
    std::vector<float> noise(size_t(n) * n);
    for (float& v : noise) {
        v = height(random);
    }
    FillWork work;
    for (const std::vector<float>& grid : {noise, Bowl(n, false), Bowl(n, true)}) {
        for (const double depth : {0.0, 0.05, 2.0}) {
            std::vector<float> once = grid;
            BreachToDrain(once.data(), n, depth, 0.03, work);
            EXPECT_TRUE(EveryCellDrains(once, n)) << depth;
            std::vector<float> again = grid;
            FillWork fresh;
            BreachToDrain(again.data(), n, depth, 0.03, fresh);
            EXPECT_EQ(0, std::memcmp(once.data(), again.data(), once.size() * sizeof(float)));
        }
    }
}

TEST(BreachToDrain, ShallowDepressionsAreFilledAndNothingIsCut)
{
    const int n = 41;
    const std::vector<float> bowl = Bowl(n, false);
    std::vector<float> h = bowl;
    FillWork work;
    BreachToDrain(h.data(), n, 1.0, 0.03, work);  // no depression is a whole height deep
    for (size_t i = 0; i < h.size(); ++i) {
        ASSERT_GE(h[i], bowl[i]) << i;
    }
    const size_t centre = size_t(n / 2) * n + n / 2;
    EXPECT_GT(h[centre], 0.55f);  // the bowl holds water to its lowest rim cell
}

TEST(BreachToDrain, ADeepBowlKeepsItsFloorAndDrainsThroughItsRim)
{
    const int n = 41;
    for (const bool wall : {false, true}) {
        const std::vector<float> bowl = Bowl(n, wall);
        std::vector<float> h = bowl;
        FillWork work;
        BreachToDrain(h.data(), n, 0.05, 0.03, work);
        const size_t centre = size_t(n / 2) * n + n / 2;
        EXPECT_EQ(bowl[centre], h[centre]) << wall;
        float lift = 0.0f;
        int below = 0;
        for (size_t i = 0; i < h.size(); ++i) {
            lift = std::max(lift, h[i] - bowl[i]);
            below += bowl[i] > seaLevel && h[i] <= seaLevel;
        }
        EXPECT_LE(lift, 0.05f + 1e-6f) << wall;  // filled at most the shallow depth
        EXPECT_EQ(0, below) << wall;             // no land cut down into the sea
        // Water from the floor leaves the map: down the steepest way from the
        // centre, to the sea or (with the wall) to the top border.
        size_t c = centre;
        for (int step = 0; step < 4 * n && h[c] > seaLevel && c / n != size_t(n - 1); ++step) {
            size_t next = c;
            for (const NeighbourStep& s : neighbourSteps) {
                const size_t j = c + s.dy * ptrdiff_t(n) + s.dx;
                next = h[j] < h[next] ? j : next;
            }
            ASSERT_NE(next, c) << wall;
            c = next;
        }
        EXPECT_TRUE(h[c] <= seaLevel || c / n == size_t(n - 1)) << wall;
        if (wall) {
            EXPECT_LT(h[c], bowl[centre]);  // the border cell on the way is cut too
        }
    }
}
