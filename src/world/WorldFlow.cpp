#include "world/WorldFlow.h"

#include <algorithm>
#include <cassert>
#include <vector>

#include "hydrology/FlowRouting.h"
#include "hydrology/MultipleFlow.h"
#include "terrain/ParallelRows.h"

namespace {

// The neighbour index of the step (dx, dy) (FlowRouting.h's order).
int StepIndex(int dx, int dy)
{
    for (int k = 0; k < 8; ++k) {
        if (neighbourSteps[k].dx == dx && neighbourSteps[k].dy == dy) {
            return k;
        }
    }
    return -1;
}

// The shares of a cell of a rectangle of heights: FlowShares over a copy of
// the cell and its eight neighbours, so the bits are those of the whole
// map's; none on the world's border or the sea.
bool SharesAt(const Array2D<float>& h, int x, int y, bool onWorldBorder, float (&share)[8])
{
    if (onWorldBorder) {
        return false;
    }
    float patch[9];
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            patch[(dy + 1) * 3 + dx + 1] = h.Row(y + dy)[x + dx];
        }
    }
    return FlowShares(patch, 3, 1, 1, share);
}

}  // namespace

WorldFlow::WorldFlow(std::shared_ptr<const WorldStage> stageIn, unsigned threads) : stage(std::move(stageIn))
{
    stageArea = RouteMultipleFlow(stage->routed, threads).area;
    factor = (stage->worldCells - 1) / (stage->cells - 1);
}

MultipleFlowField WorldFlow::Field(const Array2D<float>& heights, uint32_t x0, uint32_t y0, unsigned threads) const
{
    const uint32_t width = heights.GetWidth();
    const uint32_t height = heights.GetHeight();
    const int64_t n = stage->worldCells;
    const int64_t s = stage->cells;
    const int64_t f = factor;
    MultipleFlowField field;
    field.area = Array2D<float>(width, height);
    field.east = Array2D<float>(width, height);
    field.north = Array2D<float>(width, height);

    // The stage cells at the corners of the window's stage squares, and
    // their shares.
    const int64_t sx0 = x0 / f;
    const int64_t sy0 = y0 / f;
    const int64_t sx1 = std::min(s - 1, (int64_t{x0} + width - 1) / f + 1);
    const int64_t sy1 = std::min(s - 1, (int64_t{y0} + height - 1) / f + 1);
    const int64_t sw = sx1 - sx0 + 1;
    std::vector<float> shares(size_t(sw) * size_t(sy1 - sy0 + 1) * 8, 0.0f);
    if (f > 1) {
        const float* routed = stage->routed.Row(0);
        for (int64_t y = sy0; y <= sy1; ++y) {
            for (int64_t x = sx0; x <= sx1; ++x) {
                float share[8];
                if (FlowShares(routed, int(s), int(x), int(y), share)) {
                    std::copy_n(share, 8, &shares[(size_t(y - sy0) * size_t(sw) + size_t(x - sx0)) * 8]);
                }
            }
        }
    }
    // The water stage cell (cx, cy) sends along its segment to (cx + dx, cy + dy).
    const auto water = [&](int64_t cx, int64_t cy, int dx, int dy) {
        const float w = shares[(size_t(cy - sy0) * size_t(sw) + size_t(cx - sx0)) * 8 + StepIndex(dx, dy)];
        return w > 0.0f ? stageArea.Row(uint32_t(cy))[cx] * w : 0.0f;
    };
    const float f2 = float(f * f);
    // Up to 8193 the routing is over the stage's routed heights themselves.
    const bool own = f == 1;
    ParallelRows(int(height), threads, [&](int begin, int end) {
        for (int wy = begin; wy < end; ++wy) {
            const int64_t y = int64_t{y0} + wy;
            for (uint32_t wx = 0; wx < width; ++wx) {
                const int64_t x = int64_t{x0} + wx;
                const int64_t cx = x / f, cy = y / f, rx = x % f, ry = y % f;
                float area;
                if (rx == 0 && ry == 0) {
                    area = f2 * stageArea.Row(uint32_t(cy))[cx];
                } else {
                    float through = 0.0f;
                    if (ry == 0) {
                        through += water(cx, cy, 1, 0) + water(cx + 1, cy, -1, 0);
                    } else if (rx == 0) {
                        through += water(cx, cy, 0, 1) + water(cx, cy + 1, 0, -1);
                    } else {
                        if (rx == ry) {
                            through += water(cx, cy, 1, 1) + water(cx + 1, cy + 1, -1, -1);
                        }
                        if (rx + ry == f) {
                            through += water(cx + 1, cy, -1, 1) + water(cx, cy + 1, 1, -1);
                        }
                    }
                    area = 1.0f + f2 * through;
                }
                field.area.Row(wy)[wx] = area;

                const bool border = x == 0 || y == 0 || x == n - 1 || y == n - 1;
                const bool inside = wx > 0 && wy > 0 && wx + 1 < width && uint32_t(wy) + 1 < height;
                float share[8];
                bool has = false;
                if (own && !border) {
                    has = FlowShares(stage->routed.Row(0), int(s), int(x), int(y), share);
                } else if (inside || border) {
                    has = SharesAt(heights, int(wx), wy, border, share);
                }
                double east = 0.0, north = 0.0;
                if (has) {
                    for (int k = 0; k < 8; ++k) {
                        east += double(share[k]) * neighbourSteps[k].dx * neighbourSteps[k].inverseDistance;
                        north += double(share[k]) * neighbourSteps[k].dy * neighbourSteps[k].inverseDistance;
                    }
                }
                field.east.Row(wy)[wx] = float(east);
                field.north.Row(wy)[wx] = float(north);
            }
        }
    });
    return field;
}
