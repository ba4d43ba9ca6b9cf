#pragma once

#include <cmath>
#include <cstdint>

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

// Below the hillslope scale real land is smooth: hillslope diffusion wipes
// out relief whose wavelength is short next to the hillslope's length, so
// the power spectrum falls steeply there (Perron, Kirchner and Dietrich
// 2008). A level's own fractal detail, whose wavelength is about its cell,
// is therefore kept in the share exp(-(L / dx)^2) that diffusion over the
// hillslope length L leaves of it, L being kHillslopeLength of the map's
// width: at 129 cells 98 % of the detail stays, at 1025 37 %, at 2049 2 %,
// and finer levels add none, their grain being made by the erosion alone.
constexpr double kHillslopeLength = 1.0 / 1024.0;

// Shares under 2^-24 change no height in float and count as none, so finer
// levels skip making their raw detail at all.
inline float DetailKept(int64_t cells)
{
    const double ratio = kHillslopeLength * double(cells - 1);
    const double kept = std::exp(-ratio * ratio);
    return kept < 0x1p-24 ? 0.0f : static_cast<float>(kept);
}
