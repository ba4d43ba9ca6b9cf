#pragma once

#include <functional>
#include <vector>

#include "derive/MapScale.h"
#include "terrain/Array2D.h"

// The surface's gradient along one grid row by Horn's method, as GIS tools
// compute slope and hillshade: for the 3 x 3 cells around (x, y),
//
//     a b c     row y + 1 (north)
//     d e f     row y
//     g h i     row y - 1 (south)
//
//     east  = ((c + 2f + i) - (a + 2d + g)) * relief / (8 * cellSize)
//     north = ((a + 2b + c) - (g + 2h + i)) * relief / (8 * cellSize)
//
// in metres of height per metre. Neighbours past the map's edge are
// extrapolated linearly, rows first and then columns: the row below row 0
// is 2 * row 0 - row 1, the column left of column 0 is 2 * column 0 -
// column 1 (of the rows so extended), and likewise at the other edges. So a
// plane keeps its exact gradient up to the edge, and every cell but the four
// corners gets what GDAL's gdaldem gives with -compute_edges (its corners
// take the edge column itself as the missing one). Maps of at least 2 x 2.
class HornGradient {
public:
    HornGradient(const Array2D<float>& map, const MapScale& scale);

    // Fills east[x] and north[x] for every x of grid row y.
    void Row(unsigned y, double* east, double* north);

private:
    void Extend(int y, std::vector<double>& row) const;

    const Array2D<float>& map;
    double factor;
    std::vector<double> below, here, above;
};

// Runs visit(y, east, north) for every grid row y, with that row's Horn
// gradient, on up to `threads` threads (0: every core). Rows are visited in
// no particular order, each once; visit must only write what belongs to its
// row, so the result does not depend on the thread count.
void ForEachGradientRow(const Array2D<float>& map, const MapScale& scale, unsigned threads,
                        const std::function<void(unsigned y, const double* east, const double* north)>& visit);
