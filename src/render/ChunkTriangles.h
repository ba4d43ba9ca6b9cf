#pragma once

#include <cstdint>
#include <vector>

// The edges of a square chunk of the grid, in the order the neighbours'
// levels are given: south is the chunk's lowest grid row (the y of its first
// corner), west its lowest column.
enum ChunkEdge { kSouthEdge = 0, kEastEdge = 1, kNorthEdge = 2, kWestEdge = 3 };

// The triangles of one chunk of `cells` x `cells` grid cells (a power of
// two) drawn at `level`, that is through every 2^level-th grid point, as
// indices of grid points counted from the chunk's first corner in a grid
// `stride` points wide. Each quad is split along the diagonal from its
// lowest corner to its highest and wound as the 129 mesh winds its cells.
//
// Where the neighbour across an edge is drawn coarser[edge] levels coarser,
// the edge's points that the neighbour skips are moved onto the neighbour's
// point before them: both chunks then meet along the same segments, so no
// crack opens between the levels. Triangles so collapsed are left out.
std::vector<uint32_t> ChunkTriangles(unsigned cells, unsigned stride, unsigned level, const unsigned coarser[4]);
