#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "erosion/WorldStage.h"
#include "terrain/Array2D.h"

// The lakes of a world larger than its stage (--lakes). The stage is eroded
// whole with its lakes kept (Erosion.h) and then filled with the kept drop,
// so that every level below it drains as before; its lakes are then laid
// back into the world's own cells, each a pure function of the stage and of
// the world's heights around it, so a tile's lakes are the whole map's:
//  - a world cell is in a lake's footprint when every stage cell at the
//    corners of the stage square holding it (one, two or four) is a cell of
//    that lake (a depression of the unfilled stage, LakeSurface);
//  - a footprint may fall apart into pieces (8 neighbours) where the stage
//    lake's cells meet only at a corner: each piece is a lake of its own,
//    kept when it has at least the least area in world cells (`leastCells`);
//  - a piece's level m is the lowest world height on its rim (the world
//    cells outside it with a neighbour in it), the heights as the levels
//    make them. The lowest rim cell's own way down never enters the piece
//    (it would leave it by a lower rim cell), so it takes the water on;
//  - every footprint cell becomes min(height, bed, the float below m), bed
//    the unfilled stage's heights at the corners interpolated bilinearly
//    (in double, then rounded once).
// Only lowering cells, this leaves every other land cell the way down it
// had, and each lake is a depression flat at m, its spill height: its rim is
// at or above m and some rim cell at it. A lake whose m is at or below the
// sea level is not laid.
class WorldLakes {
public:
    // The drained world's heights of a rectangle, as WorldWindows makes them.
    using DrainedWindow = std::function<void(Array2D<float>& heights, uint32_t x0, uint32_t y0)>;

    WorldLakes(const WorldStage& stage, double leastCells);

    bool Empty() const { return lakes.empty(); }

    // Finds every lake's level (once; `drained` makes each footprint's
    // window and its rim).
    void FindLevels(const DrainedWindow& drained);

    // For the world's cells [x0, x0 + width) x [y0, y0 + height): lowers
    // those of `heights` that lie in a lake, and sets `surface` to each
    // cell's lake surface, 0 off the lakes (either may be null; both have
    // that size). After FindLevels.
    void Lay(Array2D<float>* heights, Array2D<float>* surface, uint32_t x0, uint32_t y0, uint32_t width,
             uint32_t height) const;

private:
    struct Lake {
        uint32_t label;
        int64_t x0, y0, x1, y1;  // the footprint's bounds in world cells
        // Over the bounds, row-major: each cell's piece (1, 2, ...; 0 off
        // the footprint), and each piece's level m (0: not laid).
        std::vector<uint32_t> piece;
        std::vector<float> levels;
    };
    // The lake label of world cell (x, y)'s footprint, or 0; its bed.
    uint32_t FootprintOf(int64_t x, int64_t y) const;
    float BedOf(int64_t x, int64_t y) const;

    const WorldStage& stage;
    double leastCells;
    int64_t factor;                // world cells to a stage cell
    std::vector<uint32_t> label;   // per stage cell: its lake's label, 0 none
    std::vector<Lake> lakes;       // kept, by label order
};
