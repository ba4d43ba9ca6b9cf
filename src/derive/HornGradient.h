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
// Rise per metre east and north at one cell.
struct Gradient {
    double east;
    double north;
};

// Horn's gradient at the middle cell of a 3 x 3 neighbourhood: above, here
// and below point at the western cell of the three in the rows north of,
// through and south of it; factor is relief / (8 * cellSize). Every map and
// the viewer's shading take their gradient from this one function.
inline Gradient HornGradientAt(const double* above, const double* here, const double* below, double factor)
{
    const double westSum = above[0] + 2 * here[0] + below[0];
    const double eastSum = above[2] + 2 * here[2] + below[2];
    const double northSum = above[0] + 2 * above[1] + above[2];
    const double southSum = below[0] + 2 * below[1] + below[2];
    return Gradient{(eastSum - westSum) * factor, (northSum - southSum) * factor};
}

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
