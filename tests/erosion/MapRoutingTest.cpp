#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "hydrology/FlowRouting.h"
#include "hydrology/MapRouting.h"

namespace {

size_t Downstream(const MapRouting& routing, unsigned side, size_t cell)
{
    const NeighbourStep& s = neighbourSteps[routing.receiver.Row(0)[cell]];
    return size_t(long(cell) + s.dy * long(side) + s.dx);
}

// Smooth hills plus noise, a third of it under the sea (0.01): land full of
// pits and lakes, islands and land on the edge.
Array2D<float> PittedMap(unsigned side, uint32_t seed)
{
    Array2D<float> map(side, side);
    std::mt19937 random(seed);
    for (unsigned y = 0; y < side; ++y) {
        for (unsigned x = 0; x < side; ++x) {
            const double hills = 0.16 + 0.3 * std::sin(x * 0.3) * std::cos(y * 0.23);
            map.At(int(x), int(y)) = float(std::max(0.0, hills + 0.2 * (random() / 4294967296.0 - 0.5)));
        }
    }
    return map;
}

TEST(MapRouting, EveryLandCellReachesTheSeaOrTheEdgeAndAreaIsConserved)
{
    const unsigned side = 65;
    const Array2D<float> map = PittedMap(side, 9);
    const MapRouting routing = RouteMap(map);
    const float* heights = map.Row(0);
    const uint8_t* receiver = routing.receiver.Row(0);
    const float* upstream = routing.upstream.Row(0);
    const size_t cells = size_t(side) * side;

    size_t land = 0;
    size_t pits = 0;
    double arriving = 0;  // land cells' worth of water leaving the land
    std::vector<double> inflow(cells, 0);
    for (size_t i = 0; i < cells; ++i) {
        const unsigned x = unsigned(i % side);
        const unsigned y = unsigned(i / side);
        const bool edge = x == 0 || y == 0 || x == side - 1 || y == side - 1;
        if (heights[i] <= seaLevel) {
            ASSERT_EQ(receiver[i], noReceiver);
            continue;
        }
        ++land;
        if (edge) {
            ASSERT_EQ(receiver[i], noReceiver) << "land on the edge drains off the map";
            arriving += upstream[i];
            continue;
        }
        ASSERT_LT(receiver[i], 8) << i;
        bool lowerNeighbour = false;
        for (const NeighbourStep& s : neighbourSteps) {
            lowerNeighbour = lowerNeighbour || heights[i + s.dy * long(side) + s.dx] < heights[i];
        }
        pits += !lowerNeighbour;
        const size_t next = Downstream(routing, side, i);
        (heights[next] <= seaLevel ? arriving : inflow[next]) += upstream[i];
        // Following the water ends on the sea or the edge, within as many
        // steps as there are cells (so without a loop).
        size_t at = i;
        size_t steps = 0;
        while (receiver[at] != noReceiver && steps <= cells) {
            at = Downstream(routing, side, at);
            ++steps;
        }
        ASSERT_LE(steps, cells) << "water from " << i << " loops";
    }
    EXPECT_GT(pits, 20u) << "the map must have pits for this test to mean anything";
    EXPECT_EQ(arriving, double(land));
    for (size_t i = 0; i < cells; ++i) {
        if (heights[i] > seaLevel) {
            ASSERT_EQ(upstream[i], 1 + inflow[i]) << "cell " << i << " passes on its own and what flows in";
        }
    }
}

TEST(MapRouting, WaterRunsDownTheSteepestWayAndOutOfPitsOverTheLowestRim)
{
    // A plane falling 0.1 a cell eastwards into a sea column: every inner
    // cell sends its water east, so cell x gathers columns 1 to x (column 0
    // is edge land, draining off the map).
    const unsigned side = 9;
    Array2D<float> plane(side, side);
    for (unsigned y = 0; y < side; ++y) {
        for (unsigned x = 0; x < side; ++x) {
            plane.At(int(x), int(y)) = x == side - 1 ? 0.0f : float(0.9 - 0.1 * x);
        }
    }
    const MapRouting routing = RouteMap(plane);
    for (unsigned y = 1; y + 1 < side; ++y) {
        for (unsigned x = 1; x + 1 < side; ++x) {
            EXPECT_EQ(routing.receiver.At(int(x), int(y)), 0) << x << ", " << y;
            EXPECT_EQ(routing.upstream.At(int(x), int(y)), float(x)) << x << ", " << y;
        }
    }
    // One pit in it: its water climbs out over its lowest rim, the column
    // east of it, and on down to the sea.
    plane.At(3, 4) = 0.2f;
    const MapRouting pitted = RouteMap(plane);
    const size_t pit = 4 * side + 3;
    EXPECT_EQ(plane.Row(0)[Downstream(pitted, side, pit)], 0.5f) << "out over the lowest rim";
    float reachingSea = 0;
    for (unsigned y = 1; y + 1 < side; ++y) {
        reachingSea += pitted.upstream.At(7, int(y));
    }
    EXPECT_EQ(reachingSea, 7.0f * 7.0f) << "the inner rows' inner columns, the pit's water included";
}

}  // namespace
