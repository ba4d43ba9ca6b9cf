#include "erosion/TerrainStats.h"

#include <cstddef>
#include <cmath>
#include <vector>

#include "hydrology/FlowRouting.h"

namespace {

constexpr double kViewerHeightScale = 0.2;

double SlopeDegrees(const float* h, int n, int x, int y)
{
    auto z = [&](int dx, int dy) { return double(h[static_cast<size_t>(y + dy) * n + x + dx]) * kViewerHeightScale; };
    const double cell = 1.0 / (n - 1);
    const double gx = ((z(1, -1) + 2 * z(1, 0) + z(1, 1)) - (z(-1, -1) + 2 * z(-1, 0) + z(-1, 1))) / (8 * cell);
    const double gy = ((z(-1, 1) + 2 * z(0, 1) + z(1, 1)) - (z(-1, -1) + 2 * z(0, -1) + z(1, -1))) / (8 * cell);
    return std::atan(std::sqrt(gx * gx + gy * gy)) * 180.0 / M_PI;
}

}  // namespace

TerrainStats MeasureTerrain(const Array2D<float>& map)
{
    const int n = static_cast<int>(map.GetWidth());
    const float* h = map.Row(0);
    std::vector<uint8_t> receiver;
    SteepestDescent(h, n, receiver, 0);
    std::vector<uint32_t> order;
    DownstreamOrder(receiver, n, order);
    // Downstream order puts each cell after the one it drains to, so whether a
    // cell reaches the sea is known from its receiver's answer.
    std::vector<uint8_t> reachesSea(receiver.size(), 0);
    TerrainStats stats;
    for (const uint32_t i : order) {
        const int x = static_cast<int>(i % n);
        const int y = static_cast<int>(i / n);
        if (receiver[i] == noReceiver) {
            reachesSea[i] = IsOutlet(h, n, x, y);
        } else {
            reachesSea[i] = reachesSea[ReceiverOf(i, receiver[i], n)];
        }
        if (h[i] <= seaLevel) {
            continue;
        }
        ++stats.landCells;
        stats.drainingCells += reachesSea[i];
        if (x == 0 || y == 0 || x == n - 1 || y == n - 1) {
            continue;
        }
        stats.pits += receiver[i] == noReceiver;
        bool flat = true;
        for (const NeighbourStep& s : neighbourSteps) {
            flat = flat && h[i + s.dy * static_cast<ptrdiff_t>(n) + s.dx] == h[i];
        }
        stats.flatCells += flat;
        const double slope = SlopeDegrees(h, n, x, y);
        stats.slopedCells += slope >= 5.0 && slope <= 45.0;
    }
    return stats;
}
