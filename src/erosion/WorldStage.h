#pragma once

#include <cstdint>
#include <functional>

#include "terrain/Array2D.h"
#include "terrain/TerrainParameters.h"

// The world-wide stage of a terrain: its cells on the largest lattice one
// machine erodes whole (the whole world up to kWholeWorldCells, the
// kStageCells lattice of a larger one), with the upstream area of every
// stage cell. Everything finer is
// a pure function of the stage and a few cells around it (WorldWindows.h),
// so a world of any size is made window by window, each window the same
// bits as the whole map.
//
// A world of N = (kStageCells - 1) 2^k + 1 cells has k levels below its
// stage. On an eroded world each level keeps a guaranteed drop between
// every land cell and the cell its water goes to: 2^-23 on the world's own
// cells, and DrainGap(k) on the stage's, each coarser level's at least
// twice the finer's plus a float step at 1, so that the finer level can fit
// a cell strictly between a coarse cell and its receiver however the floats
// round.
constexpr uint32_t kStageCells = 4097;

// A world of up to this side is its own stage, eroded whole: every level of
// it eroded at its own grain (an 8193 map takes about 25 s and 3.9 GB on 2
// cores). Made from a 4097 stage, the level below kept the stage's valleys
// under white detail: at 8193 the fine spectrum's slope was -0.76, the
// lattice classes spread 1.15 and the curvature skewness 0.21; eroded whole,
// -2.87, 1.03 and -0.07. Larger worlds keep the 4097 stage, so that one of
// their tiles is made alone in 2 GB.
constexpr uint32_t kWholeWorldCells = 8193;

// The number of this definition of a world's terrain (the stage and the
// levels below it): raised whenever any of their bits change, so that a
// stage file kept from another definition is refused, not reused.
constexpr uint32_t kWorldDefinition = 10;

// The stage's side for a world: the world itself up to largestStage, the
// largestStage lattice above it; with largestStage 0 (the tool's), the
// world itself up to kWholeWorldCells, the kStageCells lattice above it.
uint32_t StageCellsOf(uint32_t worldCells, uint32_t largestStage = 0);

// The levels between a stage and its world: 0 when they are the same.
int LevelsBelowStage(uint32_t worldCells, uint32_t stageCells);

// The drop kept at a level with `levelsBelow` finer levels still to come:
// (2^(levelsBelow + 1) - 1) * 2^-23.
double DrainGap(int levelsBelow);

struct WorldStage {
    uint32_t worldCells = 0;
    uint32_t cells = 0;  // the stage lattice's side
    bool eroded = false;
    // The world's cells on the stage lattice: the map of `cells` cells
    // (GenerateTerrain), eroded worlds larger than it also filled to drain
    // with DrainGap. Row 0 is the world's first row.
    Array2D<float> heights{1, 1};
    // The heights water is routed over: `heights` on an eroded world, a copy
    // filled to drain one float step at a time on a raw one.
    Array2D<float> routed{1, 1};
    // The upstream area of each stage cell, in stage cells, by the one
    // routing (RouteStage).
    Array2D<float> upstream{1, 1};
    // With --lakes on a world larger than its stage: the stage before that
    // fill, its lakes' beds kept (WorldLakes.h). A stage file holds these
    // heights then, and its reader fills them again (StageWithLakes).
    bool lakes = false;
    Array2D<float> unfilled{1, 1};

    int LevelsBelow() const { return LevelsBelowStage(worldCells, cells); }
    // The smallest drop to a receiver the routing accepts on the stage.
    double MinimumDrop() const { return eroded && cells < worldCells ? DrainGap(LevelsBelow()) : 0.0; }
};

// Computes the stage of a world of worldCells cells a side (heights and
// upstream), its side StageCellsOf(worldCells, largestStage). The bits
// depend on the parameters, worldCells and largestStage only. `progress`
// hears the fraction done.
WorldStage ComputeWorldStage(const TerrainParameters& parameters, uint32_t worldCells, unsigned threads = 0,
                             const std::function<void(double)>& progress = {},
                             uint32_t largestStage = 0);

// Whether a world of these parameters larger than its stage keeps lakes.
bool StageKeepsLakes(const TerrainParameters& parameters, uint32_t worldCells, uint32_t stageCells);

// Takes `unfilled` (the eroded stage with its lakes) as the stage's lake
// beds and fills the heights from it with the kept drop, as ComputeWorldStage
// does: for a stage read back from a file.
void StageWithLakes(WorldStage& stage, Array2D<float> unfilled);

// Fills stage.routed and stage.upstream from stage.heights: steepest descent over cells that
// drop at least MinimumDrop (over a copy filled to drain, one float step at
// a time, where the world is not eroded), each cell counting 1 and passing
// its area to its receiver. For a stage read back from a file.
void RouteStage(WorldStage& stage);
