#include "derive/WaterMaps.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

// The area in square metres at which a river reaches the widest half-width.
double WidestArea(const RiverRule& rule)
{
    const double widest = 2.0 * kRiverRadiusCells * rule.cellSize / rule.widthAt1km2;
    return widest * widest * 1e6;
}

}  // namespace

double RiverDepthMetres(double upstreamCells, const RiverRule& rule)
{
    if (!(rule.widthAt1km2 > 0.0)) {
        return 0.0;
    }
    const double area = std::min(upstreamCells * rule.cellSize * rule.cellSize, WidestArea(rule));
    return rule.widthAt1km2 / 10.0 * std::pow(area / 1e6, 0.4);
}

double DepthFullScaleMetres(double seaLevel, double relief, const RiverRule& rule, bool lakes)
{
    const double sea = seaLevel * relief;
    const double river = rule.widthAt1km2 > 0.0 ? rule.widthAt1km2 / 10.0 * std::pow(WidestArea(rule) / 1e6, 0.4) : 0.0;
    return std::max({sea, river, lakes ? relief : 0.0, 1.0});
}

void AddLakes(WaterField& water, const Array2D<float>& heights, const Array2D<float>& lakeSurface, double relief)
{
    assert(heights.GetWidth() == lakeSurface.GetWidth() && heights.GetHeight() == lakeSurface.GetHeight());
    for (unsigned y = 0; y < heights.GetHeight(); ++y) {
        const float* ground = heights.Row(y);
        const float* level = lakeSurface.Row(y);
        float* surface = water.surface.Row(y);
        float* depth = water.depth.Row(y);
        for (unsigned x = 0; x < heights.GetWidth(); ++x) {
            if (level[x] > 0.0f) {
                surface[x] = level[x];
                depth[x] = float((double(level[x]) - ground[x]) * relief);
            }
        }
    }
}

WaterField ComputeWater(const Array2D<float>& heights, const Array2D<float>& upstream, unsigned west, unsigned south,
                        unsigned width, unsigned height, float seaLevel, double relief, const RiverRule& rule)
{
    assert(heights.GetWidth() == upstream.GetWidth() && heights.GetHeight() == upstream.GetHeight());
    WaterField water;
    water.surface = Array2D<float>(width, height);
    water.depth = Array2D<float>(width, height);
    water.surface.Fill(0.0f);
    water.depth.Fill(0.0f);
    // The line cell chosen for each window cell so far: its height and area
    // (none: infinite height).
    std::vector<float> chosenHeight(size_t(width) * height, INFINITY);
    std::vector<float> chosenArea(size_t(width) * height, 0.0f);
    const auto isLine = [&](int64_t x, int64_t y) {
        return heights.Row(uint32_t(y))[x] > seaLevel &&
               double(upstream.Row(uint32_t(y))[x]) * rule.cellSize * rule.cellSize > rule.riverArea;
    };
    const int64_t allWidth = heights.GetWidth();
    const int64_t allHeight = heights.GetHeight();
    for (int64_t cy = 0; cy < allHeight; ++cy) {
        for (int64_t cx = 0; cx < allWidth; ++cx) {
            if (!isLine(cx, cy)) {
                continue;
            }
            const float h = heights.Row(uint32_t(cy))[cx];
            const float a = upstream.Row(uint32_t(cy))[cx];
            const double r = RiverRadiusCells(a, rule);
            const int64_t reach = int64_t(std::floor(r));
            const int64_t yEnd = std::min<int64_t>(cy + reach, south + height - 1);
            const int64_t xEnd = std::min<int64_t>(cx + reach, west + width - 1);
            for (int64_t y = std::max<int64_t>(cy - reach, south); y <= yEnd; ++y) {
                for (int64_t x = std::max<int64_t>(cx - reach, west); x <= xEnd; ++x) {
                    const int64_t dx = x - cx, dy = y - cy;
                    if (double(dx * dx + dy * dy) > r * r || !(heights.Row(uint32_t(y))[x] > seaLevel)) {
                        continue;
                    }
                    // A line cell keeps its own water.
                    if (isLine(x, y) && (dx != 0 || dy != 0)) {
                        continue;
                    }
                    const size_t i = size_t(y - south) * width + size_t(x - west);
                    if (h < chosenHeight[i] || (h == chosenHeight[i] && a > chosenArea[i])) {
                        chosenHeight[i] = h;
                        chosenArea[i] = a;
                    }
                }
            }
        }
    }
    for (unsigned y = 0; y < height; ++y) {
        const float* ground = heights.Row(y + south) + west;
        float* surface = water.surface.Row(y);
        float* depth = water.depth.Row(y);
        for (unsigned x = 0; x < width; ++x) {
            const size_t i = size_t(y) * width + x;
            if (ground[x] <= seaLevel) {
                surface[x] = seaLevel;
                depth[x] = float((double(seaLevel) - ground[x]) * relief);
            } else if (chosenHeight[i] < INFINITY) {
                surface[x] = std::min(chosenHeight[i], ground[x]);
                depth[x] = float(RiverDepthMetres(chosenArea[i], rule));
            }
        }
    }
    return water;
}
