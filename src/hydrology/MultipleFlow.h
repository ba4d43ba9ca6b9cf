#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "hydrology/FlowRouting.h"
#include "terrain/UninitialisedVector.h"

// Water spread over every lower neighbour instead of the one steepest: the
// multiple-flow-direction routing of Freeman (1991) and Quinn et al. (1991),
// with Holmgren's (1994) exponent. A cell sends to each lower neighbour k
// the share
//     w_k = S_k^p / sum_j S_j^p,   S_k = (h - h_k) / d_k,
// d_k being 1 or sqrt 2 cells. Upstream area computed this way spreads over
// a hillslope as real water does and gathers into valleys at any angle,
// where the single steepest neighbour (D8) bends every valley into the
// lattice's eight directions (Tarboton 1997). Outlets (the sea and the
// map's border) send nothing on.
constexpr int kFlowExponent = 4;

// The shares of cell (x, y) of the n x n heights h, in neighbour order
// (FlowRouting.h); all 0 where no neighbour is lower or the cell is an
// outlet. Returns false in that case.
bool FlowShares(const float* h, int n, int x, int y, float (&share)[8]);

// The same law at the cell p points to, in rows of `stride` cells, whatever
// the cell is (the caller decides what is an outlet): slopes over the
// steepest before the power, so that the drops of a float step that draining
// leaves raise to no denormal, then over their sum. False where no
// neighbour is lower.
inline bool SharesAround(const float* p, ptrdiff_t stride, float (&share)[8])
{
    static_assert(kFlowExponent == 4, "the shares raise slopes to the fourth power");
    float slope[8];
    float steepest = 0.0f;
    for (int k = 0; k < 8; ++k) {
        const NeighbourStep& s = neighbourSteps[k];
        const float drop = p[0] - p[s.dy * stride + s.dx];
        slope[k] = drop > 0.0f ? drop * static_cast<float>(s.inverseDistance) : 0.0f;
        steepest = std::max(steepest, slope[k]);
    }
    if (!(steepest > 0.0f)) {
        return false;
    }
    const float inverseSteepest = 1.0f / steepest;
    float sum = 0.0f;
    for (int k = 0; k < 8; ++k) {
        const float r = slope[k] * inverseSteepest;
        const float squared = r * r;
        share[k] = squared * squared;
        sum += share[k];
    }
    const float inverse = 1.0f / sum;
    for (float& w : share) {
        w *= inverse;
    }
    return true;
}

// The key of the one order of the cells, lowest first: the height's bits,
// made to sort as unsigned numbers in the floats' order, above the index,
// which breaks ties.
inline uint64_t OrderKey(float height, uint32_t index)
{
    uint32_t bits;
    std::memcpy(&bits, &height, sizeof bits);
    bits = (bits & 0x80000000u) ? ~bits : bits | 0x80000000u;
    return uint64_t{bits} << 32 | index;
}

// Sorts keys of OrderKey that arrive in ascending index order, ascending:
// least significant digit first, 11 bits a stable pass over the height's 32
// bits (the index below them is already in order).
void SortOrderKeys(std::vector<uint64_t>& keys, std::vector<uint64_t>& scratch);

// Every cell index once, lowest first; equal heights by index. On a map
// filled to drain every cell's lower neighbours come before it, so walking
// this backwards visits each cell after every cell that sends it water.
void AscendingOrder(const float* h, size_t count, std::vector<uint32_t>& order,
                    std::vector<uint64_t>& scratch);

// The shares of every cell of an n x n map, eight a cell in neighbour
// order, and whether it has any: made once a round on every core, then read
// by the passes that follow the water one cell at a time (reading a cell's
// eight shares costs less than working them out again from its nine
// heights, scattered as the passes' order scatters them).
struct FlowShareGrid {
    UninitialisedVector<float> share;  // written before read: a cell's eight only where it has them
    std::vector<uint8_t> has;

    const float* Of(size_t i) const { return share.data() + 8 * i; }
};

// FlowShares of every cell of h; the bits do not depend on `threads`. A
// cell without shares (has 0) keeps whatever its eight were: read none.
void ComputeFlowShares(const float* h, int n, FlowShareGrid& grid, unsigned threads);

// Upstream area of every cell in map area (each cell dx^2, dx = 1/(n - 1)),
// summed down the multiple-flow routing of `grid`; `order` from
// AscendingOrder over the same heights.
void MultipleFlowArea(const FlowShareGrid& grid, int n, const std::vector<uint32_t>& order, std::vector<float>& area);
