#pragma once

#include <cstdint>
#include <memory>

#include "derive/FlowMaps.h"
#include "erosion/WorldStage.h"
#include "terrain/Array2D.h"

// The multiple-flow routing (flow, flowdir) of any window of a world, from
// its stage alone and the window's own heights, so that a tile's maps are
// the whole map's window at every size.
//
// The stage (the world itself up to 8193 cells, its 4097 lattice above) is
// routed whole by multiple flow over its routed heights (RouteMultipleFlow:
// the shares erosion uses), giving every stage cell c its upstream area A_c
// in stage cells and its shares w_ck to each neighbour k. A world of N cells
// over a stage of S has f = (N - 1) / (S - 1) world cells to a stage cell
// (a power of two), and its cells take the area the same way the
// steepest-descent area is carried down its levels (WorldWindows.h), in one
// step and with every share instead of the one receiver:
//  - a cell on the stage lattice, (f cx, f cy), has f^2 A_c;
//  - any other cell has 1 plus f^2 times the water of every stage segment
//    through it: the segment from stage cell c to its neighbour k is the
//    f - 1 world cells on the straight line between them (sides and
//    diagonals; the two diagonals of a stage square cross at its middle cell
//    when f is even), and carries A_c w_ck. At a cell the segments' water
//    is summed in float: a side's two ends, the west (south) one first; in
//    a square, the diagonal rising east (its south-west end first), then
//    the other (its south-east end first).
// So the area reads only the stage cells at the corners of the stage square
// holding a cell: any window is a pure function of the stage, and up to
// 8193 (f = 1) it is the whole map's own multiple-flow area.
//
// The direction of a cell is that of its own shares (FlowShares over the
// cell and its eight neighbours): over the stage's routed heights up to
// 8193, over the world's own heights above (which an eroded world's levels
// keep drained; a raw world's pits send nowhere and have none).
class WorldFlow {
public:
    WorldFlow(std::shared_ptr<const WorldStage> stage, unsigned threads);

    // The field of the cells of `heights`, the world's cells [x0, x0 +
    // width) x [y0, y0 + height): the area of every cell, the direction of
    // every cell on the world's border or with its eight neighbours inside
    // the rectangle (0 elsewhere: a halo's outer ring).
    MultipleFlowField Field(const Array2D<float>& heights, uint32_t x0, uint32_t y0, unsigned threads) const;

private:
    std::shared_ptr<const WorldStage> stage;
    Array2D<float> stageArea{1, 1};  // in stage cells
    uint32_t factor = 1;
};
