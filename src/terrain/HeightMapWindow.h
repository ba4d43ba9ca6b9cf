#pragma once

#include <cstdint>
#include <vector>

#include "terrain/Array2D.h"
#include "terrain/ShapeRelief.h"
#include "terrain/TerrainParameters.h"

// Any rectangle of the N x N map of GenerateHeightMapOfSize, bit for bit,
// without the whole map in memory: the way to maps too large for one machine
// (up to maxMapCells) and to tiles computed each on its own.
//
// A level below the viewer's reads only the previous level's lattice points
// within two of its own cells (a square point reads diamond centres, which
// read their corners), so a window of one level is a pure function of the
// previous level's window grown by one coarse step. The window is built from
// the viewer's 129 lattice down, each level over just the cells the next one
// reads: the halo is two cells of each level, a few per cent at most for
// windows of a thousand cells and more.
class HeightMapWindows {
public:
    // Makes the viewer's 129 raw lattice once (it reseeds the process's
    // MT19937 source, so construct on one thread); Generate may then run on
    // any number of threads at once.
    HeightMapWindows(uint32_t mapCells, const TerrainParameters& parameters);

    uint32_t MapCells() const { return mapCells; }

    // The coarser levels' cells, kept between windows of one size so that a
    // run of tiles allocates (and the system zeroes) them once.
    struct Scratch {
        std::vector<float> coarser;
        std::vector<float> level;
    };

    // Fills `window` with the map's cells [x0, x0 + width) x [y0, y0 + height)
    // (grid coordinates, row 0 the map's first); the rectangle must lie
    // inside the map. `threads` as for ParallelRows (0: every core); the
    // bits do not depend on it, nor on what window or scratch held before.
    void Generate(Array2D<float>& window, uint32_t x0, uint32_t y0, unsigned threads = 0,
                  Scratch* scratch = nullptr) const;

    // How many cells Generate writes, over every level, for a window of this
    // place and size: its own cells plus the halos. For the overhead figure.
    uint64_t CellsComputed(uint32_t x0, uint32_t y0, uint32_t width, uint32_t height) const;
    // The cells of the same levels that lie inside the window: what the
    // whole map computes for it. CellsComputed over this, less one, is the
    // halo's overhead.
    uint64_t CellsInside(uint32_t x0, uint32_t y0, uint32_t width, uint32_t height) const;

private:
    struct Span {
        int64_t first;
        int64_t last;  // inclusive
    };
    // The lattice-index rectangles each level is built over, finest last.
    void LevelSpans(uint32_t x0, uint32_t y0, uint32_t width, uint32_t height, std::vector<Span>& xs,
                    std::vector<Span>& ys) const;

    uint32_t mapCells;
    TerrainParameters parameters;
    // Sizes up to 129: the whole (small) finished map. Larger: the viewer's
    // raw heights, the coarsest level of every window.
    Array2D<float> base;
    // The detail's amplitude below a shape's lattice (ShapeRelief.h).
    HeightSharedAmplitude amplitude;
};
