#pragma once

#include <cstdint>
#include <vector>

#include "hydrology/FlowRouting.h"

// Lakes: the depressions of a grid (row-major n x n heights, outlets as
// IsOutlet) large and deep enough to keep their water instead of being
// filled. A depression is a connected set of cells (8 neighbours) whose water
// level, the plain priority flood's (FillFlat), lies above their ground; its
// level is one value, the spill height, because two neighbours below water
// stand in the same water. A depression is a lake when it has at least
// leastCells cells and its deepest cell lies at least leastDepth below its
// level; every other depression is filled as pits always are (FillToDrain),
// so there are no pocket lakes.

// The least depth of a lake, in the heightmap's units (1 is full scale):
// 2^-12, a quarter of a metre under the default 1000 m of relief, so that
// a flat the fill left a float step low is not a lake.
constexpr float kLakeLeastDepth = 1.0f / 4096.0f;

struct LakeRule {
    double leastCells = 0.0;  // 0: no lakes
    float leastDepth = kLakeLeastDepth;
    bool On() const { return leastCells > 0.0; }
};

// The rule on an n x n grid for lakes of at least `leastShare` of the
// map's area (the least area in m^2 over the map's area in m^2).
LakeRule LakeRuleOf(double leastShare, int n);

// What a search marks each cell: dry land (or sea), a lake's, or a lake's
// sill: a dry cell beside a lake no higher than its surface, where it spills.
constexpr uint8_t kDry = 0;
constexpr uint8_t kInLake = 1;
constexpr uint8_t kSill = 2;

// What a search found: each cell's mark (inLake), and the water level of
// every cell (FillFlat of the heights).
struct LakeCells {
    std::vector<uint8_t> mark;
    std::vector<float> level;
    std::vector<uint32_t> queue;  // the search's, kept between calls
};

// Finds the lakes of h by `rule` into `found` (every cell set).
void FindLakes(const float* h, int n, const LakeRule& rule, FillWork& work, LakeCells& found);

// Drains h as FillToDrain does (one float step at a time), but leaves the
// ground of every lake as it is: afterwards every cell that is neither an
// outlet nor in a lake has a strictly lower neighbour, so steepest descent
// from any land cell ends in the sea, on the border or in a lake, and the
// map's depressions (what LakeSurface finds) are its lakes, each with at
// least the rule's cells. Without a rule it is FillToDrain.
void DrainKeepingLakes(float* h, int n, const LakeRule& rule, FillWork& work, LakeCells& found);
void DrainKeepingLakes(float* h, int n, const LakeRule& rule);

// The water surface of every depression of a drained map's heights (its
// lakes): the flat flood's level where it lies above the ground, 0 off the
// lakes. `surface` gets n x n values.
void LakeSurface(const float* h, int n, std::vector<float>& surface);
