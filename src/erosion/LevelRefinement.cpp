#include "erosion/LevelRefinement.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>

#include "erosion/Erosion.h"
#include "erosion/Refinement.h"
#include "hydrology/FlowRouting.h"
#include "terrain/ParallelRows.h"

namespace world_levels {

namespace {

// What one cell off the coarser lattice takes from the coarser cells at its
// corners (two on a side, four in a square's middle).
struct CornerRule {
    float lowestCorner = 0.0f;  // the lowest corner's height
    bool drained = false;       // some corner drains through the cell
    float lowestDraining = 0.0f;
    float lowestReceiver = 0.0f;
    float inflow = 0.0f;  // 4 times the area of the corners draining through it
};

CornerRule ReadCorners(const LevelCells& coarse, int64_t x, int64_t y)
{
    const int64_t cx0 = x >> 1;
    const int64_t cy0 = y >> 1;
    const int64_t cornersX[2] = {cx0, cx0 + (x & 1)};
    const int64_t cornersY[2] = {cy0, cy0 + (y & 1)};
    CornerRule rule;
    bool first = true;
    for (int j = 0; j < 2; ++j) {
        for (int i = 0; i < 2; ++i) {
            if ((i == 1 && cornersX[1] == cornersX[0]) || (j == 1 && cornersY[1] == cornersY[0])) {
                continue;
            }
            const int64_t ax = cornersX[i];
            const int64_t ay = cornersY[j];
            const size_t a = coarse.Index(ax, ay);
            const float h = coarse.height[a];
            rule.lowestCorner = first ? h : std::min(rule.lowestCorner, h);
            first = false;
            const uint8_t k = coarse.receiver[a];
            if (k == noReceiver || 2 * ax + neighbourSteps[k].dx != x || 2 * ay + neighbourSteps[k].dy != y) {
                continue;
            }
            const float below = coarse.height[coarse.Index(ax + neighbourSteps[k].dx, ay + neighbourSteps[k].dy)];
            rule.lowestDraining = rule.drained ? std::min(rule.lowestDraining, h) : h;
            rule.lowestReceiver = rule.drained ? std::min(rule.lowestReceiver, below) : below;
            rule.drained = true;
            if (!coarse.upstream.empty()) {
                rule.inflow += 4.0f * coarse.upstream[a];
            }
        }
    }
    return rule;
}

// How far a coarser cell may move while every coarser cell keeps the drop
// `drop` to its receiver: 0.45 of its slack over the drop, so that a cell
// and its receiver moving towards each other still keep it however the
// floats round (under 10^-6 of slack, none).
double MoveRoom(double slack)
{
    return slack < 1e-6 ? 0.0 : 0.45 * slack;
}

// The kept-drop rule of a cell off the coarser lattice: `h` held at least
// the drop above its lowest corner (or, when a corner drains across it, its
// lowest receiver) and at least the drop below the lowest corner draining
// across it.
float KeptDrop(const CornerRule& corners, float h, double drop)
{
    const float floor = FloatAtLeast(double(corners.drained ? corners.lowestReceiver : corners.lowestCorner) + drop);
    h = std::max(h, floor);
    if (corners.drained) {
        const float ceiling = FloatAtMost(double(corners.lowestDraining) - drop);
        assert(floor <= ceiling);
        h = std::min(h, ceiling);
    }
    return h;
}

}  // namespace

// The receiver of every cell of `level` inside `inner` (which lies at least
// one cell inside the level's rectangle, or on the world's border).
void RouteLevel(LevelCells& level, const Rect& inner, double minDrop, unsigned threads)
{
    level.receiver.assign(level.height.size(), noReceiver);
    // Each cell's receiver reads the heights alone: rows on every core.
    ParallelRows(static_cast<int>(inner.Height()), threads, [&](int begin, int end) {
        for (int64_t y = inner.y0 + begin; y < inner.y0 + end; ++y) {
            for (int64_t x = inner.x0; x <= inner.x1; ++x) {
                const size_t i = level.Index(x, y);
                const float here = level.height[i];
                if (level.OnBorder(x, y) || here <= seaLevel) {
                    continue;
                }
                float around[8];
                for (int k = 0; k < 8; ++k) {
                    around[k] = level.height[level.Index(x + neighbourSteps[k].dx, y + neighbourSteps[k].dy)];
                }
                level.receiver[i] = SteepestWayDown(here, around, minDrop);
            }
        }
    });
}

// Moves every coarser cell of `m` above the sea and off the border by the
// finer level's detail at it, lowered by no more than MoveRoom of its drop
// to its receiver and raised by no more than MoveRoom of the drop to it of
// every cell draining to it: the coarser level then still drains with its
// drop, and the finer level's cells on the coarser lattice carry its detail
// as every other cell does, so that no class of cells is smoother than
// another. The sea and the border stay.
void MoveLattice(LevelCells& coarse, const Rect& m, const LevelDetail& fine, double drop, float limit, double ease,
                 unsigned threads)
{
    // Every move reads the heights before any moved: into `moved`, rows on
    // every core, then written back.
    std::vector<float> moved(size_t(m.Width()) * size_t(m.Height()));
    ParallelRows(static_cast<int>(m.Height()), threads, [&](int begin, int end) {
        for (int64_t y = m.y0 + begin; y < m.y0 + end; ++y) {
            for (int64_t x = m.x0; x <= m.x1; ++x) {
                const size_t i = coarse.Index(x, y);
                const float h = coarse.height[i];
                float& out = moved[size_t(y - m.y0) * size_t(m.Width()) + size_t(x - m.x0)];
                out = h;
                if (coarse.OnBorder(x, y) || h <= seaLevel) {
                    continue;
                }
                double down = 0.0;
                const uint8_t k = coarse.receiver[i];
                if (k != noReceiver) {
                    const float below = coarse.height[coarse.Index(x + neighbourSteps[k].dx, y + neighbourSteps[k].dy)];
                    down = std::min(MoveRoom(double(h) - below - drop), 0.45 * (double(h) - seaLevel));
                }
                double up = limit;
                for (int d = 0; d < 8; ++d) {
                    const int64_t dx = x + neighbourSteps[d].dx;
                    const int64_t dy = y + neighbourSteps[d].dy;
                    if (coarse.receiver[coarse.Index(dx, dy)] == ((d + 4) & 7)) {
                        up = std::min(up, MoveRoom(double(coarse.height[coarse.Index(dx, dy)]) - h - drop));
                    }
                }
                // The free heights around the cell lie in the detail's
                // rectangle: it reaches a cell past every moved one.
                const int64_t fx = 2 * x;
                const int64_t fy = 2 * y;
                const auto freeAt = [&](int64_t dx, int64_t dy) { return double(fine.Free(fx + dx, fy + dy)); };
                double target = freeAt(0, 0);
                if (ease > 0.0) {
                    const double sides = freeAt(1, 0) + freeAt(-1, 0) + freeAt(0, 1) + freeAt(0, -1);
                    const double corners = freeAt(1, 1) + freeAt(-1, 1) + freeAt(1, -1) + freeAt(-1, -1);
                    const double mean = (4.0 * target + 2.0 * sides + corners) / 16.0;
                    target += ease * (mean - target);
                }
                const double delta = std::clamp(target - h, -down, up);
                out = static_cast<float>(double(h) + delta);
                if (delta > 0.0) {
                    out = std::max(h, std::min(out, kErosionHeadroom));  // rises stop at the headroom
                }
            }
        }
    });
    for (int64_t y = m.y0; y <= m.y1; ++y) {
        for (int64_t x = m.x0; x <= m.x1; ++x) {
            coarse.height[coarse.Index(x, y)] = moved[size_t(y - m.y0) * size_t(m.Width()) + size_t(x - m.x0)];
        }
    }
}

// Makes a level's cells over `out.rect` from the coarser level: an eroded
// world's from `detail` (the coarser cells already moved), a raw world's
// from `raw`, the level's raw terrain over the same rectangle. `heightsOut`
// and `upstreamOut` (the same layout) receive the heights and, when the
// rule wants them, the upstream areas; heightsOut may be `raw` itself.
void RefineLevel(const LevelCells& coarse, const LevelRule& rule, const LevelDetail* detail, const float* raw,
                 float* heightsOut, float* upstreamOut, LevelCells& out, unsigned threads)
{
    const Rect& r = out.rect;
    const size_t width = size_t(r.Width());
    // How far the kept-drop rule moved each cell from what it would be.
    std::vector<float> held(rule.eroded ? width * size_t(r.Height()) : 0, 0.0f);
    ParallelRows(static_cast<int>(r.Height()), threads, [&](int begin, int end) {
        for (int64_t y = r.y0 + begin; y < r.y0 + end; ++y) {
            for (int64_t x = r.x0; x <= r.x1; ++x) {
                const size_t i = size_t(y - r.y0) * width + size_t(x - r.x0);
                if (rule.wantRaw) {
                    out.raw[i] = detail->Raw(x, y);
                }
                if (((x | y) & 1) == 0) {
                    const size_t c = coarse.Index(x >> 1, y >> 1);
                    heightsOut[i] = rule.eroded ? coarse.height[c] : raw[i];
                    if (rule.wantUpstream) {
                        upstreamOut[i] = 4.0f * coarse.upstream[c];
                    }
                    continue;
                }
                const CornerRule corners = ReadCorners(coarse, x, y);
                float h;
                if (rule.eroded) {
                    const float wanted = detail->Free(x, y);
                    h = KeptDrop(corners, wanted, rule.drop);
                    held[i] = h - wanted;
                } else {
                    h = raw[i];
                }
                heightsOut[i] = h;
                if (rule.wantUpstream) {
                    upstreamOut[i] = 1.0f + corners.inflow;
                }
            }
        }
    });
    if (!rule.eroded) {
        return;
    }
    // The rule holds a cell alone: a link's middle cell pressed under its
    // coarser cell while the cells beside it stay, a one-cell groove. So
    // each cell between coarser ones takes the mean of what the rule did
    // around it (weights 4 at the cell, 2 at a side, 1 at a corner, over
    // 16) and is held by the rule again, which still proves the drainage.
    // The rectangle's edge, which nothing reads, stays.
    ParallelRows(static_cast<int>(r.Height()), threads, [&](int begin, int end) {
        for (int64_t y = r.y0 + begin; y < r.y0 + end; ++y) {
            if (y == r.y0 || y == r.y1) {
                continue;
            }
            for (int64_t x = r.x0 + 1; x < r.x1; ++x) {
                const size_t i = size_t(y - r.y0) * width + size_t(x - r.x0);
                if (((x | y) & 1) == 0) {
                    continue;
                }
                const float* a = held.data() + i;
                const ptrdiff_t w = ptrdiff_t(width);
                const float spread = (4.0f * a[0] + 2.0f * (a[1] + a[-1] + a[w] + a[-w]) +
                                      (a[w + 1] + a[w - 1] + a[1 - w] + a[-1 - w])) / 16.0f;
                const float wanted = heightsOut[i] - a[0];
                heightsOut[i] =
                    KeptDrop(ReadCorners(coarse, x, y), std::clamp(wanted + spread, 0.0f, kErosionHeadroom), rule.drop);
            }
        }
    });
}

}  // namespace world_levels
