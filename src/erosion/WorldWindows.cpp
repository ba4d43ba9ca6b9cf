#include "erosion/WorldWindows.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>

#include "erosion/Erosion.h"
#include "erosion/FlowRouting.h"
#include "erosion/Refinement.h"
#include "terrain/ParallelRows.h"

namespace {

// The steepest the first level below the stage may make a cell stand above
// or below its coarser neighbours' mean, in height per map width: half the
// talus slope erosion relaxes to (ErosionSteps.cpp). Each finer level may
// add half the slope of the one above, so the detail of every level together
// stays under the talus slope however large the world: fine detail roughens
// the eroded slopes without standing steeper than loose rock would.
constexpr double kDetailSlope = 2.0;

// An inclusive rectangle of one level's grid.
struct Rect {
    int64_t x0, y0, x1, y1;
    int64_t Width() const { return x1 - x0 + 1; }
    int64_t Height() const { return y1 - y0 + 1; }
};

// The coarser cells a rectangle of a level reads: the four-point
// refinement's, one coarser cell before and two after each fine cell's
// (which also holds the corners' neighbours, for their receivers).
Rect CoarserRect(const Rect& fine, int64_t coarserCells)
{
    return {std::max<int64_t>(0, fine.x0 / 2 - 1), std::max<int64_t>(0, fine.y0 / 2 - 1),
            std::min(coarserCells - 1, fine.x1 / 2 + 2), std::min(coarserCells - 1, fine.y1 / 2 + 2)};
}

// One level's cells over a rectangle: height (what water is routed over),
// raw (the raw terrain times the headroom, eroded worlds only) and upstream
// area.
struct LevelCells {
    Rect rect{0, 0, -1, -1};
    int64_t cells = 0;  // the level's side
    std::vector<float> height;
    std::vector<float> raw;
    std::vector<float> upstream;
    std::vector<uint8_t> receiver;

    size_t Index(int64_t x, int64_t y) const { return size_t(y - rect.y0) * size_t(rect.Width()) + size_t(x - rect.x0); }
    bool OnBorder(int64_t x, int64_t y) const { return x == 0 || y == 0 || x == cells - 1 || y == cells - 1; }
};

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

// A coarser level's values at a finer cell, refined as the one-machine
// erosion refines its levels (Refinement.h).
float Refined(const LevelCells& coarse, const std::vector<float>& values, int64_t x, int64_t y)
{
    return RefineFromCoarser(x, y, coarse.cells, [&](int64_t cx, int64_t cy) { return values[coarse.Index(cx, cy)]; });
}

struct LevelRule {
    bool eroded;
    bool wantRaw;
    bool wantUpstream;
    double drop;         // this level's kept drop (eroded worlds)
    float detailKept;    // the share of the level's own detail hillslopes keep
    float detailLimit;  // the most the level's own detail may rise or fall
};

// Makes a level's cells over `out.rect` from the coarser level, `raw`
// holding the level's raw terrain over the same rectangle. `heightsOut` and
// `upstreamOut` (the same layout) receive the heights and, when the rule
// wants them, the upstream areas; heightsOut may be `raw` itself.
void RefineLevel(const LevelCells& coarse, const LevelRule& rule, const float* raw, float* heightsOut,
                 float* upstreamOut, LevelCells& out, unsigned threads)
{
    const Rect& r = out.rect;
    const size_t width = size_t(r.Width());
    ParallelRows(static_cast<int>(r.Height()), threads, [&](int begin, int end) {
        for (int64_t y = r.y0 + begin; y < r.y0 + end; ++y) {
            for (int64_t x = r.x0; x <= r.x1; ++x) {
                const size_t i = size_t(y - r.y0) * width + size_t(x - r.x0);
                const float rawHeight = raw[i];
                if (((x | y) & 1) == 0) {
                    const size_t c = coarse.Index(x >> 1, y >> 1);
                    if (rule.eroded) {
                        heightsOut[i] = coarse.height[c];
                        if (rule.wantRaw) {
                            out.raw[i] = coarse.raw[c];
                        }
                    } else {
                        heightsOut[i] = rawHeight;
                    }
                    if (rule.wantUpstream) {
                        upstreamOut[i] = 4.0f * coarse.upstream[c];
                    }
                    continue;
                }
                const CornerRule corners = ReadCorners(coarse, x, y);
                float h = rawHeight;
                if (rule.eroded) {
                    const float scaled = rawHeight * kErosionHeadroom;
                    const float detail =
                        rule.detailKept > 0.0f
                            ? std::clamp(rule.detailKept * (scaled - Refined(coarse, coarse.raw, x, y)),
                                         -rule.detailLimit, rule.detailLimit)
                            : 0.0f;
                    h = std::max(0.0f, Refined(coarse, coarse.height, x, y) + detail);
                    const float floor =
                        FloatAtLeast(double(corners.drained ? corners.lowestReceiver : corners.lowestCorner) + rule.drop);
                    h = std::max(h, floor);
                    if (corners.drained) {
                        const float ceiling = FloatAtMost(double(corners.lowestDraining) - rule.drop);
                        assert(floor <= ceiling);
                        h = std::min(h, ceiling);
                    }
                    if (rule.wantRaw) {
                        out.raw[i] = scaled;
                    }
                }
                heightsOut[i] = h;
                if (rule.wantUpstream) {
                    upstreamOut[i] = 1.0f + corners.inflow;
                }
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
}

void WorldWindows::Generate(Array2D<float>& heights, Array2D<float>* upstream, uint32_t x0, uint32_t y0,
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

    // The rectangle each level is made over, finest last.
    std::vector<Rect> rects(levels + 1);
    rects[levels] = {x0, y0, int64_t{x0} + width - 1, int64_t{y0} + height - 1};
    for (int j = levels; j > 0; --j) {
        rects[j - 1] = CoarserRect(rects[j], ((int64_t{stage->cells} - 1) << (j - 1)) + 1);
    }

    // A level's raw terrain is made only where its detail shows: always on a
    // raw world, on an eroded one only where hillslopes keep some of it
    // (Refinement.h), which is never below a stage of 4097.
    auto levelCells = [&](int j) { return ((int64_t{stage->cells} - 1) << j) + 1; };
    auto needsRaw = [&](int j) { return !eroded || (j <= levels && DetailKept(levelCells(j)) > 0.0f); };

    // The stage's cells over its rectangle.
    LevelCells coarse;
    coarse.rect = rects[0];
    coarse.cells = stage->cells;
    {
        const Rect& r = rects[0];
        const bool stageRaw = eroded && needsRaw(1);
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
        // The coarser cells at the corners of this level's cells need their
        // receivers.
        const Rect corners{r.x0 / 2, r.y0 / 2, (r.x1 + 1) / 2, (r.y1 + 1) / 2};
        RouteLevel(coarse, corners, j == 1 ? stage->MinimumDrop() : (eroded ? DrainGap(levels - (j - 1)) : 0.0));

        LevelCells fine;
        fine.rect = r;
        fine.cells = ((int64_t{stage->cells} - 1) << j) + 1;
        const size_t count = size_t(r.Width()) * size_t(r.Height());
        const float detailLimit = static_cast<float>(std::ldexp(kDetailSlope / double(fine.cells - 1), 1 - j));
        LevelRule rule{eroded, eroded && !finest && needsRaw(j + 1), upstream != nullptr, DrainGap(levels - j),
                       DetailKept(fine.cells), detailLimit};
        if (!rule.wantUpstream) {
            coarse.upstream.clear();
        } else if (!finest) {
            fine.upstream.resize(count);
        }
        if (rule.wantRaw) {
            fine.raw.resize(count);
        }
        if (finest) {
            if (needsRaw(j)) {
                raw[j]->Generate(heights, x0, y0, threads);
            }
            RefineLevel(coarse, rule, heights.Row(0), heights.Row(0), upstream ? upstream->Row(0) : nullptr, fine,
                        threads);
            return;
        }
        Array2D<float> rawLevel(uint32_t(r.Width()), uint32_t(r.Height()));
        if (needsRaw(j)) {
            raw[j]->Generate(rawLevel, uint32_t(r.x0), uint32_t(r.y0), threads);
        }
        fine.height.resize(count);
        RefineLevel(coarse, rule, rawLevel.Row(0), fine.height.data(), fine.upstream.data(), fine, threads);
        coarse = std::move(fine);
    }
}
