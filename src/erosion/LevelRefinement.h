#pragma once

#include <cstddef>
#include <cstdint>

#include "erosion/LevelDetail.h"
#include "erosion/WorldLevelCells.h"

// The steps that make one world level below the stage from the level above
// it (WorldWindows.h): the coarser cells' receivers, their moves, and the
// finer cells between them under the kept-drop rule.
namespace world_levels {

// The steepest the first level below the stage may make a cell stand above
// or below its coarser neighbours' mean, in height per map width: half the
// talus slope erosion relaxes to (ErosionSteps.cpp). Each finer level may
// add half the slope of the one above, so the detail of every level together
// stays under the talus slope however large the world: fine detail roughens
// the eroded slopes without standing steeper than loose rock would.
constexpr double kDetailSlope = 2.0;

// The receiver of every cell of `level` inside `inner` (which lies at least
// one cell inside the level's rectangle, or on the world's border).
void RouteLevel(LevelCells& level, const Rect& inner, double minDrop, unsigned threads = 0);

// Moves every coarser cell of `m` above the sea and off the border by the
// finer level's detail at it, lowered by no more than MoveRoom of its drop
// to its receiver and raised by no more than MoveRoom of the drop to it of
// every cell draining to it: the coarser level then still drains with its
// drop, and the finer level's cells on the coarser lattice carry its detail
// as every other cell does, so that no class of cells is smoother than
// another. The sea and the border stay.
void MoveLattice(LevelCells& coarse, const Rect& m, const LevelDetail& fine, double drop, float limit,
                 unsigned threads = 0);

// What RefineLevel makes and keeps on a level.
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
                 float* heightsOut, float* upstreamOut, LevelCells& out, unsigned threads);

}  // namespace world_levels
