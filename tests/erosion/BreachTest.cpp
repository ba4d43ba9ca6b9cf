// Draining by cutting: a deep depression keeps its floor and drains through
// a cut in its rim, a shallow one is filled, and every cell drains.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "hydrology/Breach.h"
#include "hydrology/FlowRouting.h"

namespace {

// The index of the lowest neighbour of inner cell i, or i where none is
// lower: the way water leaves it.
size_t LowestNeighbour(const std::vector<float>& h, int n, size_t i)
{
    size_t low = i;
    for (const NeighbourStep& s : neighbourSteps) {
        const size_t j = i + s.dy * ptrdiff_t(n) + s.dx;
        low = h[j] < h[low] ? j : low;
    }
    return low;
}

// A bowl, floor 0.2 at the centre and rim 0.6 at radius 10, falling to the
// sea beyond; with `wall`, rising on to the map's border instead, so that
// its way out leaves over the border.
std::vector<float> Bowl(int n, bool wall)
{
    std::vector<float> h(size_t(n) * n);
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const double r = std::hypot(x - n / 2, y - n / 2);
            const double out = wall ? 0.6 + 0.001 * (r - 10) : std::max(0.0, 0.6 - 0.05 * (r - 10));
            h[size_t(y) * n + x] = float(r < 10 ? 0.2 + 0.04 * r : out);
        }
    }
    return h;
}

bool OnBorder(size_t i, int n)
{
    const size_t x = i % n, y = i / n;
    return x == 0 || y == 0 || x + 1 == size_t(n) || y + 1 == size_t(n);
}

}  // namespace

TEST(BreachToDrain, EveryCellDrainsTheBitsRepeatAndWithNoDeepDepressionAreTheFills)
{
    const int n = 41;
    std::mt19937 random(11);
    std::vector<float> noise(size_t(n) * n);
    for (float& v : noise) {
        v = std::uniform_real_distribution<float>(0.0f, 1.0f)(random);
    }
    FillWork kept;
    for (const std::vector<float>& grid : {noise, Bowl(n, false), Bowl(n, true)}) {
        for (const double depth : {0.0, 0.05, 2.0}) {
            std::vector<float> once = grid, again = grid;
            BreachToDrain(once.data(), n, depth, 0.03, kept);
            FillWork fresh;
            BreachToDrain(again.data(), n, depth, 0.03, fresh);
            EXPECT_EQ(0, std::memcmp(once.data(), again.data(), once.size() * sizeof(float)));
            if (depth > 1.0) {  // no depression is that deep: the fill, bit for bit
                std::vector<float> filled = grid;
                FillToDrain(filled.data(), n, 0.0, fresh);
                EXPECT_EQ(0, std::memcmp(once.data(), filled.data(), once.size() * sizeof(float)));
            }
            for (int y = 1; y + 1 < n; ++y) {
                for (int x = 1; x + 1 < n; ++x) {
                    const size_t i = size_t(y) * n + x;
                    ASSERT_TRUE(once[i] <= seaLevel || LowestNeighbour(once, n, i) != i) << x << "," << y;
                }
            }
        }
    }
}

TEST(BreachToDrain, AShallowBowlIsFilledADeepOneKeepsItsFloorAndDrainsOut)
{
    const int n = 41;
    const size_t centre = size_t(n / 2) * n + n / 2;
    for (const bool wall : {false, true}) {
        const std::vector<float> bowl = Bowl(n, wall);
        std::vector<float> shallow = bowl, deep = bowl;
        FillWork work;
        BreachToDrain(shallow.data(), n, 1.0, 0.03, work);  // no depression is this deep
        EXPECT_GT(shallow[centre], 0.55f);                  // filled to its rim
        BreachToDrain(deep.data(), n, 0.05, 0.03, work);
        EXPECT_EQ(bowl[centre], deep[centre]);
        for (size_t i = 0; i < bowl.size(); ++i) {
            ASSERT_GE(shallow[i], bowl[i]) << i;                                // a fill only lifts
            ASSERT_LE(deep[i] - bowl[i], 0.05f + 1e-6f) << i;                  // lifted at most D
            ASSERT_FALSE(bowl[i] > seaLevel && deep[i] <= seaLevel) << i;      // no land cut to sea
        }
        // Water from the floor reaches the sea, or the walled bowl's border,
        // whose cell on the way is cut below the floor.
        size_t c = centre;
        while (deep[c] > seaLevel && !OnBorder(c, n)) {
            ASSERT_NE(LowestNeighbour(deep, n, c), c) << wall;
            c = LowestNeighbour(deep, n, c);
        }
        EXPECT_TRUE(wall ? deep[c] < bowl[centre] : deep[c] <= seaLevel);
    }
}
