#include "erosion/WorldWindows.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>

#include "erosion/Erosion.h"
#include "erosion/ErosionSteps.h"
#include "erosion/LevelDetail.h"
#include "erosion/LevelPasses.h"
#include "erosion/LevelRefinement.h"
#include "erosion/WorldLevelCells.h"
#include "hydrology/FlowRouting.h"
#include "hydrology/Lakes.h"
#include "erosion/Refinement.h"
#include "terrain/ParallelRows.h"

using namespace world_levels;

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
    if (stage->LevelsBelow() == 0 && stage->eroded && LakeLeastShare(parameters) > 0.0) {
        const uint32_t n = stage->cells;
        std::call_once(stageLakesFound, [&] { ::LakeSurface(stage->heights.Row(0), int(n), stageLakes); });
        for (uint32_t y = 0; y < surface.GetHeight(); ++y) {
            std::copy_n(stageLakes.data() + size_t(y0 + y) * n + x0, surface.GetWidth(), surface.Row(y));
        }
        return;
    }
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
            RouteLevel(coarse, Grown(moved, 1, 1, coarse.cells), coarseDrop, threads);
            const LevelDetail detail =
                MakeDetail(coarse, *raw[j], DetailRect(r, coarse.cells, fine.cells), fine.cells, detailLimit,
                           rule.wantRaw, PassPlan(parameters.erosion, fine.cells), threads);
            MoveLattice(coarse, moved, detail, coarseDrop, detailLimit, MoveEase(j), threads);
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
            RouteLevel(coarse, {r.x0 / 2, r.y0 / 2, (r.x1 + 1) / 2, (r.y1 + 1) / 2}, coarseDrop, threads);
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
