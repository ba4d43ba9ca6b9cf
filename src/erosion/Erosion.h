#pragma once

#include <cstdint>
#include <functional>

#include "terrain/Array2D.h"

// Erosion of a finished heightmap (square, 33 to 8193 cells a side, heights
// in [0, 1], the map one unit across). `amount` is 0 (nothing happens) to
// maxErosion; 1 is the recommended look. Water spreads over every lower
// neighbour and carves valleys by stream power, dropping part of what it
// carries further down; soil creeps down the slopes; steep slopes slide to
// their angle of repose; and at the end every land cell drains to the sea.
// Maps above 129 cells are eroded coarse to fine: the 129 lattice first,
// exactly as the viewer erodes its own map, then each finer lattice refined
// from the eroded one above it, given its own detail (Refinement.h) and
// eroded again at its own grain.
//
// The bits depend on the heights and the amount only, not on `threads`.
// `progress`, if given, is called on the calling thread with the fraction
// done.
// Erosion first scales every height by this, so that draining, which lifts
// cells by float steps, never passes 1; a world's finer levels scale their
// raw terrain alike.
constexpr float kErosionHeadroom = 255.0f / 256.0f;

// With lakeLeastShare > 0 the depressions of at least that share of the
// map's area are kept as lakes at every level (ErodeCells, Lakes.h), and the
// map drains to the sea or a lake.
void ErodeHeightMap(Array2D<float>& map, float amount, unsigned threads = 0,
                    const std::function<void(double)>& progress = {}, double lakeLeastShare = 0.0);
