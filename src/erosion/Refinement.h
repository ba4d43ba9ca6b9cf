#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

// How a lattice twice as fine starts from a coarser one, for the one-machine
// erosion's levels and a world's levels alike.
//
// Heights between coarse cells come from the four-point interpolatory
// scheme of Dubuc (1986) and Deslauriers and Dubuc (1989), taken along x and
// then along y: a cell halfway between coarse cells b and c of the row
// a b c d gets (-a + 9b + 9c - d) / 16, which reproduces cubics and whose
// limit surface is continuously differentiable. Bilinear interpolation, by
// contrast, leaves every fine cell between two coarse ones with no curvature
// along that line: a staircase of coarse cells on every slope, and fine
// cells whose curvature differs from the lattice's by row and column parity.
// At the lattice's edge, where a or d is missing, the quadratic through the
// three cells there takes its place ((3b + 6c - d) / 8, or its mirror); a
// lattice of two cells interpolates linearly.

// Weights of the coarse cells i - 1, i, i + 1, i + 2 for the fine cell
// halfway between coarse cells i and i + 1 on a lattice of `cells` cells.
struct MidpointWeights {
    float w[4];
};

inline MidpointWeights MidpointWeightsAt(int64_t i, int64_t cells)
{
    const bool before = i > 0;
    const bool after = i + 2 < cells;
    if (before && after) {
        return {{-1.0f / 16, 9.0f / 16, 9.0f / 16, -1.0f / 16}};
    }
    if (after) {
        return {{0.0f, 3.0f / 8, 6.0f / 8, -1.0f / 8}};
    }
    if (before) {
        return {{-1.0f / 8, 6.0f / 8, 3.0f / 8, 0.0f}};
    }
    return {{0.0f, 0.5f, 0.5f, 0.0f}};
}

// A coarser lattice's value at cell (x, y) of the lattice twice as fine
// (coarse cell i is fine cell 2i); `coarseCells` is the coarse lattice's
// side. value(cx, cy) reads the coarse lattice, and is called only for
// cells inside it, those within one coarse cell before and two after
// (x / 2, y / 2). The sums run in a fixed order, so the bits depend on the
// values alone.
template <typename CoarseValue>
float RefineFromCoarser(int64_t x, int64_t y, int64_t coarseCells, const CoarseValue& value)
{
    const int64_t cx = x / 2;
    const int64_t cy = y / 2;
    // One row of the coarse lattice at fine column x.
    auto along = [&](int64_t row) {
        if ((x & 1) == 0) {
            return value(cx, row);
        }
        const MidpointWeights m = MidpointWeightsAt(cx, coarseCells);
        float sum = 0.0f;
        for (int k = 0; k < 4; ++k) {
            if (m.w[k] != 0.0f) {
                sum += m.w[k] * value(cx - 1 + k, row);
            }
        }
        return sum;
    };
    if ((y & 1) == 0) {
        return along(cy);
    }
    const MidpointWeights m = MidpointWeightsAt(cy, coarseCells);
    float sum = 0.0f;
    for (int k = 0; k < 4; ++k) {
        if (m.w[k] != 0.0f) {
            sum += m.w[k] * along(cy - 1 + k);
        }
    }
    return sum;
}

// The fine detail a level adds, the same in law on every cell of it. The
// raw terrain's own detail (its raw height less the coarser raw heights
// refined) lives only on the cells between coarser ones, and diamond-square
// makes it differently on the diamond and the square cells: added as it is,
// it gives each lattice class of cells its own roughness. So each 2 x 2
// block of the fine lattice (the coarse cell and the three after it) takes
// the root mean square A of the raw detail of its three new cells, and
// every cell of it gets A times a noise of unit variance: the seed's detail
// in size and place, spread evenly over the cells.
//
// The noise of a cell is a function of its raw height's bits, its place and
// its level alone (so any window of a world makes the same): SplitMix64
// (Steele, Lea and Flood 2014) of those, whose two 32-bit halves u1, u2
// give (u1 + u2) / 2^32 - 1, a triangular variable on (-1, 1) of variance
// 1/6, times sqrt 6.
inline float DetailNoise(float rawHeight, int64_t x, int64_t y, int64_t cells)
{
    uint32_t bits;
    std::memcpy(&bits, &rawHeight, sizeof bits);
    uint64_t z = (uint64_t(bits) << 32) ^ (uint64_t(x) * 0x9E3779B97F4A7C15ull) ^
                 (uint64_t(y) * 0xC2B2AE3D27D4EB4Full) ^ (uint64_t(cells) * 0x165667B19E3779F9ull);
    z += 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    const double u = (double(uint32_t(z)) + double(uint32_t(z >> 32))) * 0x1p-32 - 1.0;
    return static_cast<float>(u * 2.449489742783178);
}

// The block a fine cell's detail size is taken from: the 2 x 2 block it
// lies in, or on the lattice's last row or column the one before, so that
// its three new cells lie on the lattice.
inline int64_t DetailBlockOrigin(int64_t v, int64_t cells)
{
    return std::min(v & ~int64_t{1}, cells - 3);
}

// The share of a level's detail a cell keeps under the sea, from the
// coarser heights refined there (`refined`): all of it on land, (refined /
// 0.01)^2 below the sea's 0.01, none on the open sea's floor. Erosion stops at
// the sea, so without this the shallows and the seabed kept the raw grain a
// level adds; below the sea the ground is instead the coarser seabed
// refined, smooth as sediment leaves it, and the detail comes back as the
// ground rises to the coast, continuous with the land.
inline float SeabedDetailShare(float refined)
{
    constexpr float sea = 0.01f;
    if (refined >= sea) {
        return 1.0f;
    }
    const float t = std::max(refined, 0.0f) / sea;
    return t * t;
}

// The detail a level of `cells` a side adds at (x, y): the root mean square
// of its block's raw detail times the cell's noise. rawDetail(x, y) reads the
// level's raw detail, rawHeight is the cell's raw height.
template <typename RawDetail>
float LevelDetailAt(int64_t x, int64_t y, int64_t cells, float rawHeight, const RawDetail& rawDetail)
{
    const int64_t bx = DetailBlockOrigin(x, cells);
    const int64_t by = DetailBlockOrigin(y, cells);
    const float d1 = rawDetail(bx + 1, by);
    const float d2 = rawDetail(bx, by + 1);
    const float d3 = rawDetail(bx + 1, by + 1);
    const float size = std::sqrt((d1 * d1 + d2 * d2 + d3 * d3) / 3.0f);
    return size * DetailNoise(rawHeight, x, y, cells);
}
