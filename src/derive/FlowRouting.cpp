#include "derive/FlowRouting.h"

#include <cmath>
#include <cstring>
#include <functional>
#include <queue>
#include <vector>

namespace {

constexpr double kDistance[8] = {1, M_SQRT2, 1, M_SQRT2, 1, M_SQRT2, 1, M_SQRT2};
constexpr uint8_t kUnreached = 0xFF;

// Heights as unsigned keys in the same order, so the flood's queue compares
// one integer: the level in the high half, the cell's index breaking ties.
uint64_t FloodKey(float level, uint32_t index)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &level, sizeof bits);
    bits = (bits & 0x80000000u) ? ~bits : bits | 0x80000000u;
    return (uint64_t(bits) << 32) | index;
}

}  // namespace

FlowNetwork RouteFlow(const Array2D<float>& map, float seaLevel)
{
    const unsigned width = map.GetWidth();
    const unsigned height = map.GetHeight();
    FlowNetwork network(width, height);
    const size_t cells = size_t(width) * height;
    uint8_t* downstream = network.downstream.Row(0);
    std::memset(downstream, kUnreached, cells);

    // filled[i]: the level water at cell i stands at once every pit is full.
    std::vector<float> filled(cells);
    const float* heights = map.Row(0);
    std::priority_queue<uint64_t, std::vector<uint64_t>, std::greater<uint64_t>> flood;
    const auto isSea = [&](size_t i) { return heights[i] <= seaLevel; };
    const auto onEdge = [&](unsigned x, unsigned y) { return x == 0 || y == 0 || x + 1 == width || y + 1 == height; };

    // The flood starts from the sea cells beside land (the open sea beyond
    // them cannot matter) and from the land on the edge.
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            const size_t i = size_t(y) * width + x;
            filled[i] = heights[i];
            if (!isSea(i) && !onEdge(x, y)) {
                continue;
            }
            downstream[i] = FlowNetwork::kNowhere;
            bool seeds = !isSea(i);
            for (int k = 0; k < 8 && !seeds; ++k) {
                const int nx = int(x) + kNeighbourDx[k];
                const int ny = int(y) + kNeighbourDy[k];
                seeds = nx >= 0 && ny >= 0 && unsigned(nx) < width && unsigned(ny) < height &&
                        !isSea(size_t(ny) * width + unsigned(nx));
            }
            if (seeds) {
                flood.push(FloodKey(heights[i], uint32_t(i)));
            }
        }
    }

    // Land cells in the order the flood takes them: each one's downstream
    // neighbour was taken before it.
    std::vector<uint32_t> order;
    while (!flood.empty()) {
        const uint32_t i = uint32_t(flood.top());
        flood.pop();
        const unsigned x = i % width;
        const unsigned y = i / width;
        const bool land = !isSea(i);
        if (land && !onEdge(x, y)) {
            // Steepest strictly lower neighbour on the filled surface. The
            // flood rises, so those were all reached already; an unreached
            // one may lie lower now but will be filled to this level first.
            double steepest = 0;
            for (int k = 0; k < 8; ++k) {
                const size_t n = size_t(int(i) + kNeighbourDy[k] * int(width) + kNeighbourDx[k]);
                if (downstream[n] == kUnreached) {
                    continue;
                }
                const double drop = (double(filled[i]) - filled[n]) / kDistance[k];
                if (drop > steepest) {
                    steepest = drop;
                    downstream[i] = uint8_t(k);
                }
            }
        }
        if (land) {
            order.push_back(i);
        }
        for (int k = 0; k < 8; ++k) {
            const int nx = int(x) + kNeighbourDx[k];
            const int ny = int(y) + kNeighbourDy[k];
            if (nx < 0 || ny < 0 || unsigned(nx) >= width || unsigned(ny) >= height) {
                continue;
            }
            const size_t n = size_t(ny) * width + unsigned(nx);
            if (downstream[n] != kUnreached) {
                continue;
            }
            // Unless it finds a lower way out, n drains back the way the
            // flood came: towards i, the opposite direction.
            downstream[n] = uint8_t((k + 4) % 8);
            filled[n] = std::max(heights[n], filled[i]);
            flood.push(FloodKey(filled[n], uint32_t(n)));
        }
    }
    std::vector<float>().swap(filled);

    uint32_t* upstream = network.upstream.Row(0);
    for (size_t i = 0; i < cells; ++i) {
        upstream[i] = isSea(i) ? 0 : 1;
    }
    for (auto cell = order.rbegin(); cell != order.rend(); ++cell) {
        const uint8_t k = downstream[*cell];
        if (k == FlowNetwork::kNowhere) {
            continue;
        }
        const size_t n = size_t(int(*cell) + kNeighbourDy[k] * int(width) + kNeighbourDx[k]);
        if (!isSea(n)) {
            upstream[n] += upstream[*cell];
        }
    }
    return network;
}

Raster16 FlowMap(const FlowNetwork& network)
{
    const unsigned width = network.upstream.GetWidth();
    const unsigned height = network.upstream.GetHeight();
    Raster16 raster(width, height, 1);
    for (unsigned y = 0; y < height; ++y) {
        const uint32_t* upstream = network.upstream.Row(y);
        uint16_t* row = raster.AtCell(0, y);
        for (unsigned x = 0; x < width; ++x) {
            row[x] = upstream[x] == 0 ? 0 : uint16_t(1 + std::floor(2048 * std::log2(double(upstream[x])) + 0.5));
        }
    }
    return raster;
}

Raster8 RiverMap(const FlowNetwork& network, double cellArea, double riverArea)
{
    const unsigned width = network.upstream.GetWidth();
    const unsigned height = network.upstream.GetHeight();
    Raster8 raster(width, height, 1);
    for (unsigned y = 0; y < height; ++y) {
        const uint32_t* upstream = network.upstream.Row(y);
        uint8_t* row = raster.AtCell(0, y);
        for (unsigned x = 0; x < width; ++x) {
            row[x] = upstream[x] * cellArea > riverArea ? 255 : 0;
        }
    }
    return raster;
}
