#include "erosion/WorldWindows.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>

#include "erosion/Erosion.h"
#include "erosion/ErosionSteps.h"
#include "erosion/LevelDetail.h"
#include "erosion/LevelPasses.h"
#include "erosion/WorldLevelCells.h"
#include "hydrology/FlowRouting.h"
#include "erosion/Refinement.h"
#include "terrain/ParallelRows.h"

namespace {

using namespace world_levels;

// The steepest the first level below the stage may make a cell stand above
// or below its coarser neighbours' mean, in height per map width: half the
// talus slope erosion relaxes to (ErosionSteps.cpp). Each finer level may
// add half the slope of the one above, so the detail of every level together
// stays under the talus slope however large the world: fine detail roughens
// the eroded slopes without standing steeper than loose rock would.
constexpr double kDetailSlope = 2.0;

// The receiver of every cell of `level` inside `inner` (which lies at least
// one cell inside the level's rectangle, or on the world's border).
void RouteLevel(LevelCells& level, const Rect& inner, double minDrop)
{
    level.receiver.assign(level.height.size(), noReceiver);
    for (int64_t y = inner.y0; y <= inner.y1; ++y) {
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
}

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

// Moves every coarser cell of `m` above the sea and off the border by the
// finer level's detail at it, lowered by no more than MoveRoom of its drop
// to its receiver and raised by no more than MoveRoom of the drop to it of
// every cell draining to it: the coarser level then still drains with its
// drop, and the finer level's cells on the coarser lattice carry its detail
// as every other cell does, so that no class of cells is smoother than
// another. The sea and the border stay.
void MoveLattice(LevelCells& coarse, const Rect& m, const LevelDetail& fine, double drop, float limit)
{
    std::vector<float> moved(size_t(m.Width()) * size_t(m.Height()));
    for (int64_t y = m.y0; y <= m.y1; ++y) {
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
            const double delta = std::clamp(double(fine.Free(2 * x, 2 * y)) - h, -down, up);
            out = static_cast<float>(double(h) + delta);
            if (delta > 0.0) {
                out = std::max(h, std::min(out, kErosionHeadroom));  // rises stop at the headroom
            }
        }
    }
    for (int64_t y = m.y0; y <= m.y1; ++y) {
        for (int64_t x = m.x0; x <= m.x1; ++x) {
            coarse.height[coarse.Index(x, y)] = moved[size_t(y - m.y0) * size_t(m.Width()) + size_t(x - m.x0)];
        }
    }
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

struct LevelRule {
    bool eroded;
    bool wantRaw;
    bool wantUpstream;
    double drop;         // this level's kept drop (eroded worlds)
    float detailLimit;  // the most the level's own detail may rise or fall
};

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

}  // namespace

WorldWindows::WorldWindows(const TerrainParameters& parameters, std::shared_ptr<const WorldStage> stage)
    : parameters(parameters), stage(std::move(stage))
{
    const int levels = this->stage->LevelsBelow();
    for (int j = 0; j <= levels; ++j) {
        const uint32_t cells = ((this->stage->cells - 1) << j) + 1;
        raw.push_back(std::make_unique<HeightMapWindows>(cells, parameters));
    }
    if (this->stage->lakes) {
        const double side = double(this->stage->worldCells - 1);
        lakes = std::make_unique<WorldLakes>(*this->stage, LakeLeastShare(parameters) * side * side);
    }
}

const WorldLakes* WorldWindows::Lakes(unsigned threads) const
{
    if (!lakes || lakes->Empty()) {
        return nullptr;
    }
    std::call_once(lakeLevels, [&] {
        lakes->FindLevels([&](Array2D<float>& heights, uint32_t x0, uint32_t y0) {
            GenerateDrained(heights, nullptr, x0, y0, threads);
        });
    });
    return lakes.get();
}

void WorldWindows::Generate(Array2D<float>& heights, Array2D<float>* upstream, uint32_t x0, uint32_t y0,
                            unsigned threads) const
{
    GenerateDrained(heights, upstream, x0, y0, threads);
    if (const WorldLakes* laid = Lakes(threads)) {
        laid->Lay(&heights, nullptr, x0, y0, heights.GetWidth(), heights.GetHeight());
    }
}

void WorldWindows::LakeSurface(Array2D<float>& surface, uint32_t x0, uint32_t y0, unsigned threads) const
{
    if (const WorldLakes* laid = Lakes(threads)) {
        laid->Lay(nullptr, &surface, x0, y0, surface.GetWidth(), surface.GetHeight());
    } else {
        surface.Fill(0.0f);
    }
}

void WorldWindows::GenerateDrained(Array2D<float>& heights, Array2D<float>* upstream, uint32_t x0, uint32_t y0,
                                   unsigned threads) const
{
    const uint32_t width = heights.GetWidth();
    const uint32_t height = heights.GetHeight();
    assert(!upstream || (upstream->GetWidth() == width && upstream->GetHeight() == height));
    assert(uint64_t{x0} + width <= stage->worldCells && uint64_t{y0} + height <= stage->worldCells);
    const int levels = stage->LevelsBelow();
    const bool eroded = stage->eroded;

    if (levels == 0) {
        for (uint32_t y = 0; y < height; ++y) {
            std::copy_n(stage->heights.Row(y0 + y) + x0, width, heights.Row(y));
            if (upstream) {
                std::copy_n(stage->upstream.Row(y0 + y) + x0, width, upstream->Row(y));
            }
        }
        return;
    }
    if (!eroded && !upstream) {
        raw.back()->Generate(heights, x0, y0, threads);
        return;
    }

    // The rectangle each level is made over, finest last: on an eroded
    // world each level below the stage one cell wider than what reads it,
    // since RefineLevel leaves its edge wrong.
    const Rect window{x0, y0, int64_t{x0} + width - 1, int64_t{y0} + height - 1};
    const int edge = eroded ? 1 : 0;
    std::vector<Rect> rects(levels + 1);
    rects[levels] = Grown(window, edge, edge, stage->worldCells);
    for (int j = levels; j > 0; --j) {
        const int64_t coarserCells = ((int64_t{stage->cells} - 1) << (j - 1)) + 1;
        const Rect read = CoarserRect(rects[j], coarserCells, ((int64_t{stage->cells} - 1) << j) + 1);
        rects[j - 1] = j > 1 ? Grown(read, edge, edge, coarserCells) : read;
    }

    // The stage's cells over its rectangle.
    LevelCells coarse;
    coarse.rect = rects[0];
    coarse.cells = stage->cells;
    {
        const Rect& r = rects[0];
        const bool stageRaw = eroded;
        Array2D<float> rawStage(stageRaw ? uint32_t(r.Width()) : 1, stageRaw ? uint32_t(r.Height()) : 1);
        if (stageRaw) {
            raw[0]->Generate(rawStage, uint32_t(r.x0), uint32_t(r.y0), threads);
        }
        const size_t count = size_t(r.Width()) * size_t(r.Height());
        coarse.height.resize(count);
        coarse.upstream.resize(count);
        if (stageRaw) {
            coarse.raw.resize(count);
        }
        for (int64_t y = r.y0; y <= r.y1; ++y) {
            for (int64_t x = r.x0; x <= r.x1; ++x) {
                const size_t i = coarse.Index(x, y);
                coarse.height[i] = stage->routed.Row(uint32_t(y))[x];
                coarse.upstream[i] = stage->upstream.Row(uint32_t(y))[x];
                if (stageRaw) {
                    coarse.raw[i] = rawStage.Row(uint32_t(y - r.y0))[x - r.x0] * kErosionHeadroom;
                }
            }
        }
    }

    for (int j = 1; j <= levels; ++j) {
        const bool finest = j == levels;
        const Rect& r = rects[j];
        const double coarseDrop = j == 1 ? stage->MinimumDrop() : (eroded ? DrainGap(levels - (j - 1)) : 0.0);
        LevelCells fine;
        fine.rect = r;
        fine.cells = ((int64_t{stage->cells} - 1) << j) + 1;
        const size_t count = size_t(r.Width()) * size_t(r.Height());
        const float detailLimit = static_cast<float>(std::ldexp(kDetailSlope / double(fine.cells - 1), 1 - j));
        // An eroded world's passes take the coarser level's area down every level.
        const bool carryUpstream = upstream != nullptr || eroded;
        LevelRule rule{eroded, eroded && !finest, finest ? upstream != nullptr : carryUpstream, DrainGap(levels - j),
                       detailLimit};
        if (!carryUpstream) {
            coarse.upstream.clear();
        } else if (!finest) {
            fine.upstream.resize(count);
        }
        if (rule.wantRaw) {
            fine.raw.resize(count);
        }
        // The finest level of a raw world goes straight to the output; an
        // eroded world's is made over its wider rectangle, then cut.
        const bool direct = finest && !eroded;
        if (finest && eroded && upstream) {
            fine.upstream.resize(count);
        }
        float* heightsOut = direct ? heights.Row(0) : nullptr;
        float* upstreamOut = direct ? (upstream ? upstream->Row(0) : nullptr) : fine.upstream.data();
        if (!direct) {
            fine.height.resize(count);
            heightsOut = fine.height.data();
        }
        if (eroded) {
            // The coarser cells' receivers, for their own moves (their
            // donors' too) and for the finer cells between them; then the
            // moves; then the finer cells.
            const Rect moved = MovedRect(r, coarse.cells);
            RouteLevel(coarse, Grown(moved, 1, 1, coarse.cells), coarseDrop);
            const LevelDetail detail =
                MakeDetail(coarse, *raw[j], DetailRect(r, coarse.cells, fine.cells), fine.cells, detailLimit,
                           rule.wantRaw, PassPlan(parameters.erosion, fine.cells), threads);
            MoveLattice(coarse, moved, detail, coarseDrop, detailLimit);
            RefineLevel(coarse, rule, &detail, nullptr, heightsOut, upstreamOut, fine, threads);
            if (finest) {
                for (uint32_t y = 0; y < height; ++y) {
                    const size_t i = fine.Index(x0, int64_t{y0} + y);
                    std::copy_n(fine.height.data() + i, width, heights.Row(y));
                    if (upstream) {
                        std::copy_n(fine.upstream.data() + i, width, upstream->Row(y));
                    }
                }
            }
        } else {
            // The coarser cells at the corners of this level's cells need
            // their receivers.
            RouteLevel(coarse, {r.x0 / 2, r.y0 / 2, (r.x1 + 1) / 2, (r.y1 + 1) / 2}, coarseDrop);
            Array2D<float> rawLevel(uint32_t(r.Width()), uint32_t(r.Height()));
            raw[j]->Generate(rawLevel, uint32_t(r.x0), uint32_t(r.y0), threads);
            RefineLevel(coarse, rule, nullptr, rawLevel.Row(0), heightsOut, upstreamOut, fine, threads);
        }
        if (finest) {
            return;
        }
        coarse = std::move(fine);
    }
}
