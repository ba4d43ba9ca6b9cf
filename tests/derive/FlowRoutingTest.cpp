#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "derive/FlowRouting.h"

namespace {

size_t Downstream(const FlowNetwork& network, unsigned width, size_t cell)
{
    const uint8_t k = network.downstream.Row(0)[cell];
    return size_t(long(cell) + kNeighbourDy[k] * long(width) + kNeighbourDx[k]);
}

// Noise at a sea level that leaves land full of pits and lakes, islands and
// land on the edge.
Array2D<float> PittedMap(unsigned side, uint32_t seed)
{
    Array2D<float> map(side, side);
    std::mt19937 random(seed);
    for (unsigned y = 0; y < side; ++y) {
        for (unsigned x = 0; x < side; ++x) {
            // Smooth hills plus noise: many pits, a few basins.
            const double hills = 0.5 + 0.3 * std::sin(x * 0.3) * std::cos(y * 0.23);
            map.At(int(x), int(y)) = float(hills + 0.2 * (random() / 4294967296.0 - 0.5));
        }
    }
    return map;
}

TEST(FlowRouting, EveryLandCellReachesTheSeaOrTheEdgeAndAreaIsConserved)
{
    const unsigned side = 65;
    const float sea = 0.35f;
    const Array2D<float> map = PittedMap(side, 9);
    const FlowNetwork network = RouteFlow(map, sea);
    const float* heights = map.Row(0);
    const uint8_t* downstream = network.downstream.Row(0);
    const uint32_t* upstream = network.upstream.Row(0);
    const size_t cells = size_t(side) * side;

    size_t land = 0;
    size_t pits = 0;
    uint64_t arriving = 0;  // land cells' worth of water leaving the land
    std::vector<uint64_t> inflow(cells, 0);
    for (size_t i = 0; i < cells; ++i) {
        const unsigned x = unsigned(i % side);
        const unsigned y = unsigned(i / side);
        const bool edge = x == 0 || y == 0 || x == side - 1 || y == side - 1;
        if (heights[i] <= sea) {
            ASSERT_EQ(upstream[i], 0u);
            ASSERT_EQ(downstream[i], FlowNetwork::kNowhere);
            continue;
        }
        ++land;
        if (edge) {
            ASSERT_EQ(downstream[i], FlowNetwork::kNowhere) << "land on the edge drains off the map";
            arriving += upstream[i];
            continue;
        }
        ASSERT_LT(downstream[i], 8) << i;
        const size_t next = Downstream(network, side, i);
        bool lowerNeighbour = false;
        for (int k = 0; k < 8; ++k) {
            lowerNeighbour = lowerNeighbour || heights[i + kNeighbourDy[k] * long(side) + kNeighbourDx[k]] < heights[i];
        }
        pits += !lowerNeighbour;
        if (heights[next] <= sea) {
            arriving += upstream[i];
        } else {
            inflow[next] += upstream[i];
        }
        // Following the water from here ends on the sea or the edge, within
        // as many steps as there are cells (so without a loop).
        size_t at = i;
        size_t steps = 0;
        while (heights[at] > sea && downstream[at] != FlowNetwork::kNowhere && steps <= cells) {
            at = Downstream(network, side, at);
            ++steps;
        }
        ASSERT_LE(steps, cells) << "water from " << i << " loops";
    }
    EXPECT_GT(pits, 20u) << "the map must have pits for this test to mean anything";
    EXPECT_EQ(arriving, land);
    for (size_t i = 0; i < cells; ++i) {
        if (heights[i] > sea) {
            ASSERT_EQ(upstream[i], 1 + inflow[i]) << "cell " << i << " passes on its own and what flows in";
        }
    }
}

TEST(FlowRouting, WaterRunsDownTheSteepestWayToTheSea)
{
    // A plane falling 0.1 a cell eastwards into a sea column: every inner
    // cell sends its water east, so cell x gathers columns 1 to x (column 0
    // is edge land, draining off the map).
    const unsigned width = 9;
    const unsigned height = 5;
    Array2D<float> map(width, height);
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            map.At(int(x), int(y)) = x == width - 1 ? 0.0f : float(0.9 - 0.1 * x);
        }
    }
    const FlowNetwork network = RouteFlow(map, 0.05f);
    for (unsigned y = 1; y + 1 < height; ++y) {
        for (unsigned x = 1; x + 1 < width; ++x) {
            EXPECT_EQ(network.downstream.At(int(x), int(y)), 0) << x << ", " << y;
            EXPECT_EQ(network.upstream.At(int(x), int(y)), x) << x << ", " << y;
        }
    }
    const Raster16 flow = FlowMap(network);
    EXPECT_EQ(flow.AtCell(8, 2)[0], 0) << "the sea";
    EXPECT_EQ(flow.AtCell(1, 2)[0], 1) << "a cell draining only itself";
    EXPECT_EQ(flow.AtCell(4, 2)[0], 1 + 2 * 2048) << "four cells: 2^2";
    const Raster8 rivers = RiverMap(network, 100.0, 500.0);
    EXPECT_EQ(rivers.AtCell(5, 2)[0], 0) << "500 m2 is not more than 500";
    EXPECT_EQ(rivers.AtCell(6, 2)[0], 255);
}

TEST(FlowRouting, APitDrainsOverItsLowestRimAndTheSameBitsEveryRun)
{
    const Array2D<float> map = PittedMap(65, 21);
    const FlowNetwork first = RouteFlow(map, 0.35f);
    const FlowNetwork second = RouteFlow(map, 0.35f);
    for (unsigned y = 0; y < 65; ++y) {
        for (unsigned x = 0; x < 65; ++x) {
            ASSERT_EQ(first.downstream.At(int(x), int(y)), second.downstream.At(int(x), int(y)));
            ASSERT_EQ(first.upstream.At(int(x), int(y)), second.upstream.At(int(x), int(y)));
        }
    }

    // One pit in a slope falling east: its water climbs out over its lowest
    // rim, the column east of it, and on down to the sea.
    Array2D<float> slope(7, 5);
    for (unsigned y = 0; y < 5; ++y) {
        for (unsigned x = 0; x < 7; ++x) {
            slope.At(int(x), int(y)) = x == 6 ? 0.0f : float(0.9 - 0.1 * x);
        }
    }
    slope.At(3, 2) = 0.2f;  // below its neighbours at 0.5, 0.6 and 0.7
    const FlowNetwork network = RouteFlow(slope, 0.05f);
    const size_t pit = 2 * 7 + 3;
    EXPECT_EQ(slope.Row(0)[Downstream(network, 7, pit)], 0.5f) << "out over the lowest rim";
    uint32_t reachingSea = 0;
    for (unsigned y = 1; y < 4; ++y) {
        reachingSea += network.upstream.At(5, int(y));
    }
    EXPECT_EQ(reachingSea, 3u * 5u) << "the three inner rows' five inner columns, the pit's water included";
}

}  // namespace
