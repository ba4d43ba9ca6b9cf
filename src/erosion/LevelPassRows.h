#pragma once

#include <cstddef>
#include <cstdint>

// One row of each step of a world level's pass (LevelPasses.h), written so
// that the compiler runs it along the row four cells at a time: no branch
// in the loop, the eight shares of the cells in eight planes, so that the
// share a neighbour sends on side k lies beside its neighbour's. Each step
// does a cell's arithmetic in the same order as the one-cell law it stands
// for (SharesAround, MultipleFlow.h; the implicit stream-power step), so
// the bits are those of that law, cell for cell.
//
// Every function works on the cells x = 1 .. width - 2 of a row that is not
// the first or last of its rectangle; `p` points at the row's first cell in
// a grid of rows of `stride` cells, and the eight planes of shares at the
// same cell of each plane.
namespace level_rows {

struct SharePlanes {
    float* plane[8];  // plane[k]: the share each cell sends its neighbour k (FlowRouting.h's order)
};

// The shares of each cell of the row over its lower neighbours (0 on every
// side of a cell at or below the sea, or with no lower neighbour).
void Shares(const float* p, ptrdiff_t stride, int64_t width, const SharePlanes& out);

// One Jacobi sweep of the area: swept = 1 + the sum over k of what
// neighbour k sends back towards the cell times its area, k in order.
void AreaSweep(const float* area, ptrdiff_t stride, int64_t width, const SharePlanes& shares, float* swept);

// One Jacobi step of the implicit stream power from the heights `before`:
// h = (h' + sum F_k h'_k) / (1 + sum F_k), F_k = incision sqrt(A) share_k
// / d_k^2, in double. A cell with no shares keeps its height.
void StreamPower(const float* before, ptrdiff_t stride, int64_t width, const float* area, const SharePlanes& shares,
                 double incision, float* heights);

}  // namespace level_rows
