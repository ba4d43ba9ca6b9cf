#include "derive/FlowMaps.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <vector>

#include "hydrology/FlowRouting.h"
#include "hydrology/MultipleFlow.h"
#include "terrain/ParallelRows.h"

Raster16 FlowMap(const Array2D<float>& heights, const Array2D<float>& upstream, float seaLevel)
{
    const unsigned width = upstream.GetWidth();
    const unsigned height = upstream.GetHeight();
    assert(heights.GetWidth() == width && heights.GetHeight() == height);
    Raster16 raster(width, height, 1);
    for (unsigned y = 0; y < height; ++y) {
        const float* h = heights.Row(y);
        const float* area = upstream.Row(y);
        uint16_t* row = raster.AtCell(0, y);
        for (unsigned x = 0; x < width; ++x) {
            const double sample = 1 + std::floor(2048 * std::log2(double(area[x])) + 0.5);
            row[x] = h[x] <= seaLevel ? 0 : uint16_t(std::min(65535.0, sample));
        }
    }
    return raster;
}

double RiverRadiusCells(double upstreamCells, const RiverRule& rule)
{
    const double area = upstreamCells * rule.cellSize * rule.cellSize;
    const double width = std::max(rule.cellSize, rule.widthAt1km2 * std::sqrt(area / 1e6));
    return std::min(double(kRiverRadiusCells), width / (2.0 * rule.cellSize));
}

Raster8 RiverMap(const Array2D<float>& heights, const Array2D<float>& upstream, unsigned west, unsigned south,
                 unsigned width, unsigned height, float seaLevel, const RiverRule& rule)
{
    assert(heights.GetWidth() == upstream.GetWidth() && heights.GetHeight() == upstream.GetHeight());
    Raster8 raster(width, height, 1);
    const int64_t allWidth = heights.GetWidth();
    const int64_t allHeight = heights.GetHeight();
    for (int64_t cy = 0; cy < allHeight; ++cy) {
        const float* h = heights.Row(uint32_t(cy));
        const float* area = upstream.Row(uint32_t(cy));
        for (int64_t cx = 0; cx < allWidth; ++cx) {
            if (!(h[cx] > seaLevel && double(area[cx]) * rule.cellSize * rule.cellSize > rule.riverArea)) {
                continue;
            }
            const double r = RiverRadiusCells(area[cx], rule);
            const int64_t reach = int64_t(std::floor(r));
            // The disk's cells inside the window, on land.
            const int64_t yEnd = std::min<int64_t>(cy + reach, south + height - 1);
            const int64_t xEnd = std::min<int64_t>(cx + reach, west + width - 1);
            for (int64_t y = std::max<int64_t>(cy - reach, south); y <= yEnd; ++y) {
                const int64_t dy = y - cy;
                for (int64_t x = std::max<int64_t>(cx - reach, west); x <= xEnd; ++x) {
                    const int64_t dx = x - cx;
                    if (double(dx * dx + dy * dy) <= r * r && heights.Row(uint32_t(y))[x] > seaLevel) {
                        raster.AtCell(unsigned(x - west), unsigned(y - south))[0] = 255;
                    }
                }
            }
        }
    }
    return raster;
}

MultipleFlowField RouteMultipleFlow(const Array2D<float>& heights, unsigned threads)
{
    assert(heights.GetWidth() == heights.GetHeight());
    const int n = static_cast<int>(heights.GetWidth());
    const size_t count = size_t(n) * n;
    std::vector<float> drained(heights.Row(0), heights.Row(0) + count);
    FillToDrain(drained.data(), n);
    FlowShareGrid grid;
    ComputeFlowShares(drained.data(), n, grid, threads);
    std::vector<uint32_t> order;
    {
        std::vector<uint64_t> scratch;
        AscendingOrder(drained.data(), count, order, scratch);
    }
    std::vector<float> area;
    MultipleFlowArea(grid, n, order, area);
    std::vector<uint32_t>().swap(order);

    MultipleFlowField field;
    field.area = Array2D<float>(n, n);
    field.east = Array2D<float>(n, n);
    field.north = Array2D<float>(n, n);
    // Map area to cells: (n - 1)^2 is a power of two, so this is exact.
    const float cellsPerUnit = float(double(n - 1) * (n - 1));
    ParallelRows(n, threads, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            for (int x = 0; x < n; ++x) {
                const size_t i = size_t(y) * n + x;
                field.area.Row(y)[x] = area[i] * cellsPerUnit;
                double east = 0.0;
                double north = 0.0;
                if (grid.has[i]) {
                    const float* share = grid.Of(i);
                    for (int k = 0; k < 8; ++k) {
                        const NeighbourStep& s = neighbourSteps[k];
                        east += double(share[k]) * s.dx * s.inverseDistance;
                        north += double(share[k]) * s.dy * s.inverseDistance;
                    }
                }
                field.east.Row(y)[x] = float(east);
                field.north.Row(y)[x] = float(north);
            }
        }
    });
    return field;
}

Raster16 FlowDirectionMap(const Array2D<float>& heights, const MultipleFlowField& flow, float seaLevel)
{
    const unsigned width = flow.east.GetWidth();
    const unsigned height = flow.east.GetHeight();
    assert(heights.GetWidth() == width && heights.GetHeight() == height);
    const auto sample = [](double v) {
        return uint16_t(std::floor(65535.0 * (1.0 + std::clamp(v, -1.0, 1.0)) / 2.0 + 0.5));
    };
    Raster16 raster(width, height, 3);
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            uint16_t* pixel = raster.AtCell(x, y);
            const bool sea = heights.Row(y)[x] <= seaLevel;
            pixel[0] = sample(sea ? 0.0 : flow.east.Row(y)[x]);
            pixel[1] = sample(sea ? 0.0 : flow.north.Row(y)[x]);
            pixel[2] = 0;
        }
    }
    return raster;
}
