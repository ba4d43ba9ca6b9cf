#include <gtest/gtest.h>

#include <cmath>

#include "derive/FlowMaps.h"

namespace {

// A plane falling east, one float step a cell being far finer than its
// drop: every inner cell sends 2/3 of its water east and 1/6 north-east and
// south-east (Holmgren's p = 4: the corners' slope is 1/sqrt 2 of the side's,
// so their weight is 1/4 of it), so the mean direction is (2/3 + 2 (1/6)
// (1/sqrt 2), 0), and the upstream area of a cell is the number of cells
// from it west to the border, which is an outlet and sends nothing on: the
// water crosses the plane and none is lost.
TEST(FlowMaps, APlaneSendsItsWaterDownhillWithHolmgrensShares)
{
    const unsigned n = 33;
    Array2D<float> plane(n, n);
    for (unsigned y = 0; y < n; ++y) {
        for (unsigned x = 0; x < n; ++x) {
            plane.At(int(x), int(y)) = 0.5f - 0.01f * float(x);
        }
    }
    const MultipleFlowField field = RouteMultipleFlow(plane, 2);
    const Raster16 direction = FlowDirectionMap(plane, field, 0.0f);
    const double east = 2.0 / 3.0 + 2.0 * (1.0 / 6.0) / std::sqrt(2.0);
    const uint16_t red = uint16_t(std::floor(65535.0 * (1.0 + east) / 2.0 + 0.5));
    for (unsigned y = 2; y + 2 < n; ++y) {
        for (unsigned x = 1; x + 1 < n; ++x) {
            ASSERT_NEAR(direction.AtCell(x, y)[0], red, 1) << x << "," << y;
            ASSERT_EQ(direction.AtCell(x, y)[1], 32768) << x << "," << y;
            ASSERT_EQ(direction.AtCell(x, y)[2], 0);
        }
    }
    // The border sends nothing on: no direction.
    EXPECT_EQ(direction.AtCell(0, 5)[0], 32768);
    // A row away from the north and south borders keeps all its water.
    for (unsigned x = 1; x + 1 < n; x += 7) {
        EXPECT_NEAR(field.area.At(int(x), 16), double(x), 1e-4 * x) << x;
    }
    // flow's encoding: 1 + round(2048 log2(cells)).
    const Raster16 flow = FlowMap(plane, field.area, 0.0f);
    EXPECT_EQ(flow.AtCell(8, 16)[0], uint16_t(1 + std::floor(2048 * std::log2(double(field.area.At(8, 16))) + 0.5)));
}

}  // namespace
