#include "render/ChunkTriangles.h"

#include <cassert>
#include <cstddef>

namespace {

// A point on an edge whose neighbour is `coarser` levels coarser moves back
// to the nearest point the neighbour has: a multiple of 2^coarser steps.
unsigned Snapped(unsigned along, unsigned coarser) { return along >> coarser << coarser; }

}  // namespace

std::vector<uint32_t> ChunkTriangles(unsigned cells, unsigned stride, unsigned level, const unsigned coarser[4])
{
    const unsigned step = 1u << level;
    assert(step <= cells && cells % step == 0);
    const unsigned quads = cells / step;

    // Lattice point (i, j), 0 to quads along each axis, as a grid index.
    const auto point = [&](unsigned i, unsigned j) {
        if (j == 0) {
            i = Snapped(i, coarser[kSouthEdge]);
        } else if (j == quads) {
            i = Snapped(i, coarser[kNorthEdge]);
        }
        if (i == 0) {
            j = Snapped(j, coarser[kWestEdge]);
        } else if (i == quads) {
            j = Snapped(j, coarser[kEastEdge]);
        }
        return uint32_t(j * step * stride + i * step);
    };

    std::vector<uint32_t> indices;
    indices.reserve(size_t(quads) * quads * 6);
    const auto triangle = [&](uint32_t a, uint32_t b, uint32_t c) {
        if (a != b && b != c && a != c) {
            indices.insert(indices.end(), {a, b, c});
        }
    };
    for (unsigned j = 0; j < quads; ++j) {
        for (unsigned i = 0; i < quads; ++i) {
            const uint32_t p00 = point(i, j);
            const uint32_t p10 = point(i + 1, j);
            const uint32_t p11 = point(i + 1, j + 1);
            const uint32_t p01 = point(i, j + 1);
            triangle(p00, p10, p11);
            triangle(p00, p11, p01);
        }
    }
    return indices;
}
