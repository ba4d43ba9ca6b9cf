#pragma once

#include <cstdint>
#include <vector>

#include "terrain/TerrainParameters.h"

// Relief the seed adds to a shape where the shape is smoother than land.
//
// A drawn shape is smooth between its strokes' scale and its samples' grain:
// a range comes out a smooth wall and a plain flat. Real land has relief at
// every scale, its amplitude falling by the same factor an octave (the
// island's diamond-square law, ShapeDetailAmplitude). So on the lattice the
// shape is placed on, level by level of diamond-square from the coarsest
// scale at which the shape is smoother than that law down to the lattice's
// own grain, the seed adds what the shape lacks there: at each new point of
// level k, a displacement in [-a, a) with
//     a = f(h) * sqrt(max(0, g_k^2 - 3 * e^2)),
// e the spread of the shape's own detail at that level around the point
// (the shape minus the diamond-square mean of its coarser points, about its
// local mean: that mean is the shape's smooth curvature, its form), so
// ground that has its own relief (a real DEM) keeps it and gets none, and f(h) =
// clamp((h - 0.01) / 0.3, 0, 1) of the shape's height there: none on the
// sea, little on low plains, the whole law from 0.31 up; relief grows with
// height above the sea, as in Musgrave's heterogeneous terrain (Ebert et al.
// 1994, "Texturing and Modeling", ch. 9). The displacements are refined down
// the finer levels as diamond-square refines its own, and added to the
// shape.
//
// The coarsest level that takes relief is ShapeReliefStart: by default the
// first level (from level 2 on, so the land's large form is the user's) at
// which the shape's own detail over its land, as e above, has an RMS below
// half the law's (g_k / sqrt 3); with --shape-trust the first level whose wavelength,
// 2^(m - k) lattice cells for a lattice of 2^m + 1, is below that many of the
// shape's samples.
//
// `lattice` is the latticeCells x latticeCells shape as placed (row-major);
// the bits depend on it and the parameters only, not on `threads`. Returns
// whether any level took relief.
bool AddShapeRelief(std::vector<float>& lattice, uint32_t latticeCells, const TerrainParameters& parameters,
                    unsigned threads);

// The share of the law's relief a height takes (f above): 0 on the sea,
// rising to 1 at 0.31.
float ShapeHeightShare(float h);

// The amplitude of the detail below the lattice of a shape that took relief:
// the level's amplitude times the share of the height it is added to, as the
// relief above it was. With the island's law below the lattice everywhere, a
// plain given a third of the law's relief at the lattice's scales had the
// whole law at every finer one: a plain of gravel, its fine detail out of
// step with its large form, with no valleys standing out of it. Off (`on`
// false: a shape that took no relief, such as a real DEM rough at every
// scale), the level's amplitude as it is.
struct HeightSharedAmplitude {
    bool on = false;
    float operator()(float mean, float g) const { return on ? g * ShapeHeightShare(mean) : g; }
};

// The level relief starts at on that lattice (latticeCells - 1 = 2^m): from
// 2 to m, m meaning none. The bits do not depend on `threads`.
int ShapeReliefStart(const std::vector<float>& lattice, uint32_t latticeCells, const TerrainParameters& parameters,
                     unsigned threads = 1);
