#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "erosion/LevelPassRows.h"
#include "hydrology/FlowRouting.h"
#include "hydrology/MultipleFlow.h"

namespace {

// Three rows across two chunk boundaries, on ground the world levels rarely
// give whole: sea, flats of equal heights, pits and peaks. Each row step is
// the one-cell law's bits there: SharesAround (0 where it finds no lower
// neighbour or the cell is sea), the sweep's sum in k order and stream
// power's sums over the sides with shares only.
TEST(LevelPassRows, AreTheOneCellLawsBitsOnSeaFlatsAndPits)
{
    constexpr int64_t width = 600;
    std::mt19937 random(7);
    std::vector<float> h(3 * width), area(3 * width);
    for (size_t i = 0; i < h.size(); ++i) {
        const int kind = int(random() % 4);  // sea, a flat at 0.5, a few levels, or any height
        const float levels = 0.25f * float(random() % 4);
        h[i] = kind == 0 ? 0.005f : kind == 1 ? 0.5f : kind == 2 ? levels : float(random() % 1000) / 999;
        area[i] = 1.0f + float(random() % 5000);
    }
    std::vector<float> planes(8 * h.size(), -1.0f);
    const auto at = [&](int64_t row) {
        level_rows::SharePlanes p;
        for (int k = 0; k < 8; ++k) {
            p.plane[k] = planes.data() + size_t(k) * h.size() + size_t(row * width);
        }
        return p;
    };
    for (int64_t row = 0; row < 3; row += 2) {  // the edge rows send nothing
        for (float* plane : at(row).plane) {
            std::fill(plane, plane + width, 0.0f);
        }
    }
    level_rows::Shares(&h[width], width, width, at(1));
    std::vector<float> swept(width), cut(width);
    level_rows::AreaSweep(&area[width], width, width, at(1), swept.data());
    level_rows::StreamPower(&h[width], width, width, &area[width], at(1), 0.02, cut.data());
    for (int64_t x = 1; x < width - 1; ++x) {
        const size_t i = size_t(width + x);
        float expected[8] = {};
        if (!(h[i] <= seaLevel) && !SharesAround(&h[i], width, expected)) {
            std::fill(expected, expected + 8, 0.0f);
        }
        double weights = 0.0, pulled = 0.0;
        float sum = 1.0f;
        for (int k = 0; k < 8; ++k) {
            ASSERT_EQ(0, std::memcmp(&expected[k], &at(1).plane[k][x], sizeof(float))) << "cell " << x << " side " << k;
            const NeighbourStep& s = neighbourSteps[k];
            const size_t j = i + size_t(s.dy * width + s.dx);
            const int64_t row = 1 + s.dy;
            sum += at(row).plane[(k + 4) & 7][x + s.dx] * area[j];
            if (expected[k] > 0.0f) {
                const double f = 0.02 * std::sqrt(double(area[i]));
                const double fk = f * expected[k] * s.inverseDistance * s.inverseDistance;
                weights += fk;
                pulled += fk * h[j];
            }
        }
        const float height = weights > 0.0 ? float((double(h[i]) + pulled) / (1.0 + weights)) : h[i];
        ASSERT_EQ(0, std::memcmp(&sum, &swept[size_t(x)], sizeof(float))) << "cell " << x;
        ASSERT_EQ(0, std::memcmp(&height, &cut[size_t(x)], sizeof(float))) << "cell " << x;
    }
}

}  // namespace
