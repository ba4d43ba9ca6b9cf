#include "erosion/LevelDetail.h"

#include <algorithm>

#include "erosion/Erosion.h"
#include "erosion/ErosionSteps.h"
#include "hydrology/FlowRouting.h"
#include "terrain/Array2D.h"
#include "terrain/ParallelRows.h"

namespace world_levels {

namespace {

// A level's passes (LevelPasses.h) at erosion `amount` on a level of `cells`
// a side: each pass's stream power as strong as a round of the one-machine
// erosion's finer levels (ErosionSteps.cpp's plan, its step shrinking with
// the cell, Erosion.cpp), and creep of kLevelCreep a pass. Measured on a
// 2049 world of a 1025 stage (tests/realism/WorldLevelsMap.cpp), centre
// 1025 cells: with 4 passes and creep 0.025, straight 8-step runs 2.5 %,
// mean same-direction runs 1.92 steps, curvature skewness 0.27 (one pass
// of creep 0.3 and no passes: 9.1 %, 2.36, -0.02). More creep a pass
// fills the valleys' sides while the kept-drop rule holds their floors, a
// cell wide: at 0.05, 4.1 %, 2.06 and 0.60; at 0.15, 11 %, 2.69 and 1.75.
// Less (0) leaves the fine band rough and the curvature alternating cell
// to cell (fine slope -1.0, neighbour correlation -0.31).
constexpr double kLevelCreep = 0.025;

// Stream power a pass, per cell: f = K dt kLevelIncision sqrt(A) with A in
// the level's cells, the same on every level, so that each level's own
// channels are cut as fast as the one above's were, in its cells: valleys
// born at every level. (The one-machine erosion's step, which shrinks with
// the cell, left the finest levels of a 32769 world nearly uncut: straight
// runs 54 % three levels below the stage.) 128/2048: the one-machine step
// of a 2049 map.
constexpr double kLevelIncision = 128.0 / 2048.0;

}  // namespace

LevelPassPlan PassPlan(float amount, int64_t)
{
    const ErosionPlan plan = PlanErosion(amount);
    return {plan.streamPower * kLevelIncision, kLevelCreep, kGentleCreepGain, kGentleSlope};
}

LevelDetail MakeDetail(const LevelCells& coarse, const HeightMapWindows& rawLevel, const Rect& rect, int64_t cells,
                       float limit, bool keepRaw, const LevelPassPlan& passes, unsigned threads)
{
    LevelDetail level;
    level.rect = rect;
    level.cells = cells;
    const size_t width = size_t(rect.Width());
    // Two arrays of the level's size at a time (the raw window and its copy,
    // then the copy and the detail; a third for the first heights where the
    // raw terrain is kept for the next level), since a level of a tile is as
    // large as the tile: the raw terrain, scaled as erosion scales it...
    {
        Array2D<float> raw(uint32_t(rect.Width()), uint32_t(rect.Height()));
        rawLevel.Generate(raw, uint32_t(rect.x0), uint32_t(rect.y0), threads);
        level.raw.resize(width * size_t(rect.Height()));
        ParallelRows(static_cast<int>(rect.Height()), threads, [&](int begin, int end) {
            for (int64_t y = rect.y0 + begin; y < rect.y0 + end; ++y) {
                const float* row = raw.Row(uint32_t(y - rect.y0));
                for (int64_t x = rect.x0; x <= rect.x1; ++x) {
                    level.raw[level.Index(x, y)] = row[x - rect.x0] * kErosionHeadroom;
                }
            }
        });
    }
    // ...and its detail.
    level.detail.assign(level.raw.size(), 0.0f);
    ParallelRows(static_cast<int>(rect.Height()), threads, [&](int begin, int end) {
        for (int64_t y = rect.y0 + begin; y < rect.y0 + end; ++y) {
            for (int64_t x = rect.x0; x <= rect.x1; ++x) {
                if (((x | y) & 1) != 0) {
                    const size_t i = level.Index(x, y);
                    level.detail[i] = level.raw[i] - Refined(coarse, coarse.raw, x, y);
                }
            }
        }
    });
    // The first heights, then the level's passes over them (LevelPasses.h):
    // its own channels, cut where its detail leads the water the coarser
    // level brings, and creep, which also evens out the refinement's
    // smoother cells between coarser ones. A cell's first height reads its
    // own raw height and its block's detail only, so when the raw terrain
    // is not kept the heights take its place, cell by cell.
    std::vector<float> free;
    if (keepRaw) {
        free.resize(level.raw.size());
    }
    float* freeOut = keepRaw ? free.data() : level.raw.data();
    ParallelRows(static_cast<int>(rect.Height()), threads, [&](int begin, int end) {
        for (int64_t y = rect.y0 + begin; y < rect.y0 + end; ++y) {
            for (int64_t x = rect.x0; x <= rect.x1; ++x) {
                const size_t i = level.Index(x, y);
                const float refined = Refined(coarse, coarse.height, x, y);
                freeOut[i] = std::clamp(refined + level.Added(x, y, limit) * SeabedDetailShare(refined), 0.0f,
                                        kErosionHeadroom);
            }
        }
    });
    std::vector<float>().swap(level.detail);
    if (keepRaw) {
        level.free = std::move(free);
    } else {
        level.free.swap(level.raw);
    }
    // The area the coarser level brings, a band of rows at a time.
    const auto brought = [&](int64_t row0, int64_t rows, float* out) {
        ParallelRows(static_cast<int>(rows), threads, [&](int begin, int end) {
            for (int64_t r = begin; r < end; ++r) {
                const int64_t y = rect.y0 + row0 + r;
                float* row = out + size_t(r) * size_t(rect.Width());
                for (int64_t x = rect.x0; x <= rect.x1; ++x) {
                    row[x - rect.x0] = std::max(1.0f, 4.0f * Refined(coarse, coarse.upstream, x, y));
                }
            }
        });
    };
    ErodeLevel(level.free, brought, {rect.x0, rect.y0, rect.Width(), rect.Height(), cells}, passes, threads);
    return level;
}

}  // namespace world_levels
