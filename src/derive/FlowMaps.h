#pragma once

#include "export/Raster.h"
#include "terrain/Array2D.h"

// The maps of where water goes, from each cell's upstream area in cells (the
// one routing's: hydrology/MapRouting.h on a map held whole, carried down a
// world's levels by erosion/WorldWindows.h). Rasters top row (grid row
// N - 1) first, as every derived map.

// 16-bit grey: 0 on the sea (heights at or below seaLevel); on land
// 1 + round(2048 * log2(upstream cells)), at most 65535, so a cell draining
// only itself is 1 and the upstream area in square metres is
// cellSize^2 * 2^((sample - 1) / 2048) up to 2^32 cells.
Raster16 FlowMap(const Array2D<float>& heights, const Array2D<float>& upstream, float seaLevel);

// Rivers as wide as their water: a cell on land whose steepest-descent
// upstream area A (upstream cells * cellSize^2 square metres) exceeds
// riverArea is on a river's line, and the river there is
//     w = max(cellSize, W sqrt(A / 1 km^2)) metres
// wide, hydraulic geometry's w = a Q^b with b = 1/2 (Leopold and Maddock
// 1953) and, with uniform rain, Q in proportion to A; W (--river-width) is
// the width of a river draining 1 km^2. Every land cell within w / 2 of a
// line cell (centre to centre, in cells, at most kRiverRadiusCells) is river.
// A river's line cells drain each to the next, their areas never shrinking
// downstream, so the mask is connected, ends at the sea or the border, never
// narrows downstream, and is at a confluence as wide as its widest
// tributary at least. A line cell's own cell is always in.
struct RiverRule {
    double cellSize = 1;
    double riverArea = 2e4;
    double widthAt1km2 = 10;
};
// The widest half-width, in cells: the reach a window's rivers need around
// it (wider rivers are held at this, which keeps every rule above).
constexpr unsigned kRiverRadiusCells = 32;
double RiverRadiusCells(double upstreamCells, const RiverRule& rule);

// 8-bit grey: 255 on the rivers, 0 elsewhere (the sea included), over a
// window of `width` x `height` cells that lies at (west, south) in the
// rectangle of `heights` and `upstream` (the window and the line cells
// around it within kRiverRadiusCells, or the map's border).
Raster8 RiverMap(const Array2D<float>& heights, const Array2D<float>& upstream, unsigned west, unsigned south,
                 unsigned width, unsigned height, float seaLevel, const RiverRule& rule);

// The water of a map as erosion's last round spreads it: each cell sends its
// water to every lower neighbour by the multiple-flow shares of
// hydrology/MultipleFlow.h (Freeman 1991, Holmgren's p = 4), the very
// FlowShares, ComputeFlowShares and MultipleFlowArea erosion routes by,
// over the heights filled to drain (FillToDrain: the finished eroded map is
// already, so it is routed as it is), with uniform rain. Sizes of 2^k + 1
// cells only, so that the area in map units converts to cells exactly.
struct MultipleFlowField {
    Array2D<float> area{1, 1};   // upstream cells, each cell counting 1
    Array2D<float> east{1, 1};   // the mean direction of the water leaving
    Array2D<float> north{1, 1};  // the cell: sum over k of share_k * unit_k
};
MultipleFlowField RouteMultipleFlow(const Array2D<float>& heights, unsigned threads);

// 16-bit RGB flow directions, as engines' flow maps take them: red
// round(65535 (1 + east) / 2), green the same of north (up the picture),
// blue 0. Zero (the sea, the border, a cell sending nowhere) is 32768 in
// both. The vector is the share-weighted mean of the unit vectors to the
// receiving neighbours, so its length is 1 where all the water goes one way
// and less where it spreads.
Raster16 FlowDirectionMap(const Array2D<float>& heights, const MultipleFlowField& flow, float seaLevel);
