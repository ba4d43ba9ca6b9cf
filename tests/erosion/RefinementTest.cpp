#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "hydrology/FlowRouting.h"
#include "hydrology/MultipleFlow.h"
#include "erosion/Refinement.h"

namespace {

// The refinement between levels: coarse cells kept, cubics reproduced
// inside the lattice and quadratics up to its edges, so a smooth slope
// gains no crease from being refined.
TEST(Refinement, KeepsCoarseCellsAndReproducesPolynomials)
{
    const int64_t coarse = 9;
    struct Case {
        const char* name;
        double (*f)(double, double);
        bool edges;  // reproduced up to the lattice's edges too
    };
    const Case cases[] = {
        {"plane", [](double x, double y) { return 0.3 + 0.02 * x - 0.01 * y; }, true},
        {"quadratic", [](double x, double y) { return 0.5 + 0.01 * x * x - 0.004 * x * y + 0.002 * y * y; }, true},
        {"cubic", [](double x, double y) { return 0.4 + 0.001 * x * x * x - 0.0005 * y * y * y + 0.002 * x * y; },
         false},
    };
    for (const Case& c : cases) {
        std::vector<float> values(coarse * coarse);
        for (int64_t y = 0; y < coarse; ++y) {
            for (int64_t x = 0; x < coarse; ++x) {
                values[y * coarse + x] = static_cast<float>(c.f(double(x), double(y)));
            }
        }
        const auto at = [&](int64_t x, int64_t y) { return values[y * coarse + x]; };
        const int64_t fine = 2 * coarse - 1;
        for (int64_t y = 0; y < fine; ++y) {
            for (int64_t x = 0; x < fine; ++x) {
                const bool inner = x >= 2 && y >= 2 && x <= fine - 3 && y <= fine - 3;
                if (!c.edges && !inner) {
                    continue;
                }
                const float got = RefineFromCoarser(x, y, coarse, at);
                if (((x | y) & 1) == 0) {
                    EXPECT_EQ(got, at(x / 2, y / 2)) << c.name << " at " << x << "," << y;
                } else {
                    EXPECT_NEAR(got, c.f(x / 2.0, y / 2.0), 2e-6) << c.name << " at " << x << "," << y;
                }
            }
        }
    }
}

// Multiple-flow area on a cone spreads as water on a cone does: the same
// at every angle, where steepest descent gathers it onto the eight
// directions of the lattice. Nothing is lost on the way to the border.
TEST(MultipleFlow, AreaOnAConeIsTheSameInEveryDirectionAndAllOfItArrives)
{
    const int n = 257;
    const double c = (n - 1) / 2.0;
    std::vector<float> h(size_t(n) * n);
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            h[size_t(y) * n + x] = static_cast<float>(0.9 - 0.8 * std::hypot(x - c, y - c) / c);
        }
    }
    FillToDrain(h.data(), n);
    std::vector<uint32_t> order;
    std::vector<uint64_t> keys;
    AscendingOrder(h.data(), h.size(), order, keys);
    for (size_t k = 1; k < order.size(); ++k) {
        ASSERT_TRUE(h[order[k - 1]] < h[order[k]] || (h[order[k - 1]] == h[order[k]] && order[k - 1] < order[k]));
    }
    FlowShareGrid shares;
    ComputeFlowShares(h.data(), n, shares, 0);
    std::vector<float> area;
    MultipleFlowArea(shares, n, order, area);

    // Mean area per sector of 22.5 degrees, on the ring of radius 90 to 110.
    double sum[16] = {};
    int count[16] = {};
    double arrived = 0.0;
    int outlets = 0;
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const size_t i = size_t(y) * n + x;
            if (IsOutlet(h.data(), n, x, y)) {
                ++outlets;
                continue;
            }
            const double r = std::hypot(x - c, y - c);
            if (r >= 90 && r < 110) {
                const double a = std::atan2(y - c, x - c) + M_PI;
                const int s = std::min(15, static_cast<int>(a / (M_PI / 8)));
                sum[s] += area[i];
                ++count[s];
            }
        }
    }
    double lowest = INFINITY;
    double highest = 0.0;
    for (int s = 0; s < 16; ++s) {
        const double mean = sum[s] / count[s];
        lowest = std::min(lowest, mean);
        highest = std::max(highest, mean);
    }
    EXPECT_LT(highest / lowest, 1.15) << "multiple-flow area prefers some directions";

    // What reaches the outlets is every non-outlet cell's area once.
    const double dx = 1.0 / (n - 1);
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            if (!IsOutlet(h.data(), n, x, y)) {
                continue;
            }
            arrived += area[size_t(y) * n + x] - dx * dx;
        }
    }
    const double land = (double(n) * n - outlets) * dx * dx;
    EXPECT_NEAR(arrived / land, 1.0, 1e-3);
}

}  // namespace
