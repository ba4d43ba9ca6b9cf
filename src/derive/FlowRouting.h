#pragma once

#include <cstdint>

#include "export/Raster.h"
#include "terrain/Array2D.h"

// Where water goes on a heightmap, by steepest descent, every land cell
// reaching the sea.
//
// The sea is every cell at or below seaLevel; land is the rest. Land cells on
// the map's edge are outlets: their water leaves the map there. Water is
// routed over a copy of the map with its pits filled, as GIS tools condition
// a terrain before routing it (a priority flood from the sea and the edge,
// lowest first, raising each cell to the lowest level at which water could
// leave it). On that copy a land cell sends its water to the neighbour (of
// its eight) that is lowest per unit of distance (diagonals sqrt 2 cells
// away), when one is strictly lower; a cell with none (a filled pit or a
// flat) sends it towards the neighbour the flood reached it from, which
// leads to the sea without climbing. Ties go to the first neighbour in the
// order E, NE, N, NW, W, SW, S, SE, and the flood takes equal levels in
// cell order, so the routing is the same on every run.
struct FlowNetwork {
    explicit FlowNetwork(unsigned width, unsigned height) : downstream(width, height), upstream(width, height) {}

    // For each cell, the neighbour its water goes to (0 to 7 in the order
    // above), or kNowhere for the sea and edge outlets.
    Array2D<uint8_t> downstream;
    // For each land cell, how many land cells' water passes through it, its
    // own included; 0 on the sea.
    Array2D<uint32_t> upstream;

    static constexpr uint8_t kNowhere = 8;
};

// The neighbour k's offset, in the order E, NE, N, NW, W, SW, S, SE (north
// is +y, the grid's row order).
constexpr int kNeighbourDx[8] = {1, 1, 0, -1, -1, -1, 0, 1};
constexpr int kNeighbourDy[8] = {0, 1, 1, 1, 0, -1, -1, -1};

FlowNetwork RouteFlow(const Array2D<float>& map, float seaLevel);

// 16-bit grey: 0 on the sea; on land 1 + round(2048 * log2(upstream
// cells)), so a cell draining only itself is 1 and the upstream area in
// square metres is cellSize^2 * 2^((sample - 1) / 2048).
Raster16 FlowMap(const FlowNetwork& network);

// 8-bit grey: 255 where the upstream area, upstream cells * cellArea square
// metres, exceeds riverArea; 0 elsewhere (the sea included).
Raster8 RiverMap(const FlowNetwork& network, double cellArea, double riverArea);
