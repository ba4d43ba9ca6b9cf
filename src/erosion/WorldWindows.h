#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "erosion/WorldLakes.h"
#include "erosion/WorldStage.h"
#include "terrain/Array2D.h"
#include "terrain/HeightMapWindow.h"
#include "terrain/TerrainParameters.h"

// Any window of a world's terrain, eroded or not, and the upstream area of
// its cells, from the world's stage and a few cells around the window: the
// whole map, and each tile of it made alone, are the same bits.
//
// Each level below the stage is made from the level above it, cell by cell:
//  - every cell's free height is the coarser level refined (Refinement.h)
//    plus the level's detail, held within a slope that halves from level to
//    level, then eroded by the level's own passes of bounded reach
//    (LevelPasses.h: its channels, stream power and creep);
//  - every coarser cell's water goes to its receiver (SteepestWayDown with
//    that level's drop); a coarser cell moves towards its free height by
//    no more than about half its slack over that drop, to its receiver and
//    from each cell draining to it, so the coarser level still drains;
//  - a cell on the coarser lattice is the moved coarser cell; any other
//    cell is its free height, held strictly between the receiver and every
//    coarser cell draining through it, and any other cell at least the drop
//    above the lowest coarser cell beside it. So every fine cell above the
//    sea keeps a neighbour at least the drop lower, and every level drains
//    as the stage does, with no flood across the world.
// A raw world's heights are its raw terrain; only its upstream areas go
// through the levels.
//
// Upstream area, in cells of the world: a cell on the coarser lattice has 4
// times its coarser area; any other cell 1, plus 4 times the area of every
// coarser cell that drains through it.
class WorldWindows {
public:
    // Builds the raw generators of each level (they reseed the process's
    // MT19937 source, so construct on one thread); Generate may then run on
    // any number of threads at once.
    WorldWindows(const TerrainParameters& parameters, std::shared_ptr<const WorldStage> stage);

    // Fills `heights` with the world's cells [x0, x0 + width) x [y0, y0 +
    // height) (grid coordinates; the rectangle inside the world) and, when
    // given, `upstream` (the same size) with their upstream areas. `threads`
    // as for ParallelRows; the bits do not depend on it.
    // With lakes (WorldLakes.h, on a world larger than its stage) they are
    // laid into the heights; upstream areas are the drained world's, whose
    // water crosses each lake to its sill.
    void Generate(Array2D<float>& heights, Array2D<float>* upstream, uint32_t x0, uint32_t y0,
                  unsigned threads = 0) const;

    // The lake surface of the world's cells [x0, x0 + width) x [y0, y0 +
    // height) of `surface`: a lake's level on its cells, 0 elsewhere (all 0
    // on a world without --lakes). A world no larger than its stage keeps
    // its lakes in the stage's own heights (LakeSurface of them, found once);
    // a larger one has them laid (WorldLakes.h).
    void LakeSurface(Array2D<float>& surface, uint32_t x0, uint32_t y0, unsigned threads = 0) const;

private:
    void GenerateDrained(Array2D<float>& heights, Array2D<float>* upstream, uint32_t x0, uint32_t y0,
                         unsigned threads) const;
    // The lakes with their levels, found the first time they are needed.
    const WorldLakes* Lakes(unsigned threads) const;

    TerrainParameters parameters;
    std::shared_ptr<const WorldStage> stage;
    // The raw terrain of the stage's lattice and of each level below it,
    // finest last.
    std::vector<std::unique_ptr<HeightMapWindows>> raw;
    std::unique_ptr<WorldLakes> lakes;
    mutable std::once_flag lakeLevels;
    mutable std::vector<float> stageLakes;  // a world its own stage: its lakes' surface
    mutable std::once_flag stageLakesFound;
};
