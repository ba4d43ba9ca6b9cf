#pragma once

#include <cstdint>
#include <functional>
#include <vector>

// Erosion of one world level below the stage by passes of bounded reach, so
// that a window of the level is the same bits however large the rectangle
// it is made over, as long as the rectangle reaches LevelPassReach() cells
// further (the explicit, local passes of Schott et al. 2023, ACM TOG 42(5)):
// each pass reads one cell around, and the cells within the reach of the
// rectangle's edge come out wrong and are not read.
//
// A pass, every step from a copy of the heights before it:
//  1. shares: each cell's water over its lower neighbours, the multiple-flow
//     law erosion uses (Holmgren's exponent 4, MultipleFlow.h);
//  2. area: the coarser level's upstream area brought down (`broughtArea`,
//     in cells of this level) and spread across the valley floor, once for
//     all passes, by a binomial kernel of kAreaSpread cells each side along
//     each axis (below), then kLevelAreaSweeps Jacobi sweeps of the
//     multiple-flow accumulation, A <- 1 + sum over the neighbours j draining
//     to the cell of share_j A_j: each sweep moves the water one cell along
//     this level's own slopes, so channels form where this level's
//     detail leads the water, not only on the coarser level's links;
//  3. stream power, one Jacobi step of the implicit solution erosion uses
//     (ErosionSteps.cpp, Braun and Willett 2013) from the heights before it:
//     h <- (h + sum F_k h_k) / (1 + sum F_k), F_k = f share_k / d_k^2, so a
//     cell ends between its old height and its receivers' old ones;
//  4. hillslope creep, the nine-point step (CreepStep, ErosionSteps.h).
// Outlets (the sea, the world's border) and the rectangle's edge stay.

// Passes per level, Jacobi sweeps of the area per pass.
constexpr int kLevelPasses = 4;
constexpr int kLevelAreaSweeps = 3;

// The brought area's spread: the coarser level routes its water one cell
// to one cell, so the area it brings lies on a line one or two of this
// level's cells wide, and stream power cut it as a one-cell groove in the
// smooth slopes (curvature skewness 0.18 one level below a stage and 0.75
// two levels below, where real land gives -0.14 to -0.01). Spread by the
// binomial weights C(16, k) / 2^16, k = 0..16, along x and then along y
// (about a Gaussian of 2 cells), the water cuts a floor some cells wide:
// 0.05 and 0.37, with the fine band's 4-fold harmonic 0.12 -> 0.09 and
// 0.09 -> 0.06 (tests/realism/WorldLevelsMap.cpp's 2049 worlds of a 1025 and a
// 513 stage, centre 1025 cells). Half as wide (C(8, k)): 0.07 and 0.44.
constexpr int kAreaSpread = 8;

// How far the passes reach: the area's spread, then for each pass the
// area's sweeps, one more for the shares they read, one for stream power's
// neighbours and one for creep.
constexpr int LevelPassReach()
{
    return kAreaSpread + kLevelPasses * (kLevelAreaSweeps + 3);
}

struct LevelPassPlan {
    double incision;  // f / sqrt(A): K dt of a pass times sqrt of a cell's area over dx
    double creep;     // kappa of a pass
    // Creep's gain on gentle ground, as on the one-machine levels (Diffuse,
    // ErosionSteps.cpp): kappa (1 + gain / (1 + (S / gentleSlope)^2)), S
    // in height per world width from the four sides before the pass, which
    // the creep reads anyway: the reach is the same.
    double gentleCreepGain = 0.0;
    double gentleSlope = 1.0;
};

// A rectangle of a level of `cells` cells a side: its first cell (x0, y0)
// in the level's grid and its size.
struct LevelRectangle {
    int64_t x0, y0, width, height, cells;
};

// Erodes `heights` (the rectangle's cells, row-major) in place.
// `broughtArea` is the area the coarser level brings to each cell (cells of
// this level, at least 1). `threads` as for ParallelRows; the bits do not
// depend on it.
void ErodeLevel(std::vector<float>& heights, const std::vector<float>& broughtArea, const LevelRectangle& rect,
                const LevelPassPlan& plan, unsigned threads);

// The same, the brought area made a band of rows at a time: the function
// writes rows [row0, row0 + rows) of the rectangle's area, row-major, to
// `out`; so a level's area is never held whole.
using BroughtAreaRows = std::function<void(int64_t row0, int64_t rows, float* out)>;
void ErodeLevel(std::vector<float>& heights, const BroughtAreaRows& broughtArea, const LevelRectangle& rect,
                const LevelPassPlan& plan, unsigned threads);
