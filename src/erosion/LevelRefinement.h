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

// How far the second level below the stage eases each coarser cell, as it
// moves, towards the binomial mean of the free heights around it. Its
// coarser cells are the first level's, whose finest octave that level's
// passes leave white (the fine spectrum's slope -1.2 one level below a
// stage), so on the second level they stood out of the smoother cells
// between them: their curvature spread 13 % above the mean of the four
// lattice classes, the classes 1.14 apart on a tile of a 16385 world
// (real land: within 1.10). Eased 0.12 of the way, 1.05. The stage's
// cells, eroded at their own grain, are no rougher than the cells between
// them, and easing the first level raised its spread (1.09 to 1.19 on a
// 2049 world of a 1025 stage); the third level's coarser cells are the
// second's, whose finest octave falls off, and easing them too (by 0.15)
// raised a 32769 tile's from 1.15 to 1.21. So only the second level eases.
constexpr double kSecondLevelEase = 0.12;

// The ease MoveLattice gives the coarser cells of level j below the stage.
constexpr double MoveEase(int j) { return j == 2 ? kSecondLevelEase : 0.0; }

// The receiver of every cell of `level` inside `inner` (which lies at least
// one cell inside the level's rectangle, or on the world's border).
void RouteLevel(LevelCells& level, const Rect& inner, double minDrop, unsigned threads = 0);

// Moves every coarser cell of `m` above the sea and off the border by the
// finer level's detail at it, lowered by no more than MoveRoom of its drop
// to its receiver and raised by no more than MoveRoom of the drop to it of
// every cell draining to it: the coarser level then still drains with its
// drop, and the finer level's cells on the coarser lattice carry its detail
// as every other cell does, so that no class of cells is smoother than
// another. With `ease` > 0 a cell moves towards its free height eased that
// share of the way to the binomial 3 x 3 mean of the free heights around it
// (MoveEase, above). The sea and the border stay.
void MoveLattice(LevelCells& coarse, const Rect& m, const LevelDetail& fine, double drop, float limit, double ease,
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
