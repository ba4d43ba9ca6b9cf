#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "erosion/LevelPasses.h"
#include "erosion/Refinement.h"

// The cells of a world's levels over rectangles, as WorldWindows makes
// them (WorldWindows.h): the rectangles each level is made over and what a
// level keeps of itself and of its detail.
namespace world_levels {

// An inclusive rectangle of one level's grid.
struct Rect {
    int64_t x0, y0, x1, y1;
    int64_t Width() const { return x1 - x0 + 1; }
    int64_t Height() const { return y1 - y0 + 1; }
};

// Grows a rectangle by `before` and `after` cells, within a level of
// `cells` cells a side.
inline Rect Grown(const Rect& r, int64_t before, int64_t after, int64_t cells)
{
    return {std::max<int64_t>(0, r.x0 - before), std::max<int64_t>(0, r.y0 - before), std::min(cells - 1, r.x1 + after),
            std::min(cells - 1, r.y1 + after)};
}

// The coarser cells whose final heights a rectangle of a level reads: the
// four-point refinement's, one coarser cell before and two after each fine
// cell's (which hold its corners and their receivers too).
inline Rect MovedRect(const Rect& fine, int64_t coarserCells)
{
    return Grown({fine.x0 / 2, fine.y0 / 2, fine.x1 / 2, fine.y1 / 2}, 1, 2, coarserCells);
}

// The cells of a level whose free heights a rectangle of it reads: its own
// cells and those on the coarser cells it reads.
inline Rect FreeRect(const Rect& fine, int64_t coarserCells, int64_t cells)
{
    const Rect m = MovedRect(fine, coarserCells);
    return Grown({2 * m.x0, 2 * m.y0, 2 * m.x1, 2 * m.y1}, 0, 1, cells);
}

// The cells of a level whose raw terrain and first heights a rectangle of
// it needs: the free heights' cells, the passes' reach around them
// (LevelPasses.h) and one more, and the 2 x 2 detail blocks (Refinement.h)
// of all of them.
inline Rect DetailRect(const Rect& fine, int64_t coarserCells, int64_t cells)
{
    const Rect g = Grown(FreeRect(fine, coarserCells, cells), LevelPassReach() + 1, LevelPassReach() + 1, cells);
    return {std::max<int64_t>(0, std::min(g.x0 & ~int64_t{1}, cells - 3)),
            std::max<int64_t>(0, std::min(g.y0 & ~int64_t{1}, cells - 3)), std::min(cells - 1, g.x1 | 1),
            std::min(cells - 1, g.y1 | 1)};
}

// The coarser cells a rectangle of a level reads: those whose final heights
// it reads and two more around them, since a coarser cell's final height
// reads its receiver and the cells draining to it, and their receivers
// read their neighbours; and those the refinement of its detail rectangle
// reads.
inline Rect CoarserRect(const Rect& fine, int64_t coarserCells, int64_t cells)
{
    const Rect a = Grown(MovedRect(fine, coarserCells), 2, 2, coarserCells);
    const Rect b = MovedRect(DetailRect(fine, coarserCells, cells), coarserCells);
    return {std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1)};
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

// A coarser level's values at a finer cell, refined as the one-machine
// erosion refines its levels (Refinement.h).
inline float Refined(const LevelCells& coarse, const std::vector<float>& values, int64_t x, int64_t y)
{
    return RefineFromCoarser(x, y, coarse.cells, [&](int64_t cx, int64_t cy) { return values[coarse.Index(cx, cy)]; });
}

// A level's raw terrain over a rectangle (RawRect), times the headroom as
// erosion scales it, and its raw detail: the raw height less the coarser
// raw heights refined, on the cells between coarser ones, 0 on the coarser
// lattice. What the level adds is made from it as the one-machine erosion
// makes it (Refinement.h): each cell the size of its block's detail times
// its own noise, held within `limit`.
struct LevelDetail {
    Rect rect{0, 0, -1, -1};
    int64_t cells = 0;
    std::vector<float> raw;     // kept while the next level needs it
    std::vector<float> detail;  // only while the free heights are made
    // What the level's cells would be were they free: the coarser heights
    // refined plus the detail, after one pass of creep.
    std::vector<float> free;

    size_t Index(int64_t x, int64_t y) const { return size_t(y - rect.y0) * size_t(rect.Width()) + size_t(x - rect.x0); }
    float Raw(int64_t x, int64_t y) const { return raw[Index(x, y)]; }
    float Free(int64_t x, int64_t y) const { return free[Index(x, y)]; }

    float Added(int64_t x, int64_t y, float limit) const
    {
        const auto rawDetail = [this](int64_t dx, int64_t dy) { return detail[Index(dx, dy)]; };
        return std::clamp(LevelDetailAt(x, y, cells, Raw(x, y), rawDetail), -limit, limit);
    }
};

}  // namespace world_levels
