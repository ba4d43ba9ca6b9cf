#pragma once

#include "derive/FlowMaps.h"
#include "terrain/Array2D.h"

// Water an engine can place: the sea and the rivers of RiverMap, as a water
// surface and a depth under it, cell by cell.
//  - The sea (heights at or below the sea level): the surface is the sea
//    level, the depth (sea level - height) * relief metres.
//  - A river cell (RiverMap's mask): its water is that of a river line cell
//    covering it: the cell itself if it is one, else the lowest line cell
//    whose width covers it (ties to the larger area, then the first in row
//    order). The surface is the line cell's height, and never above the
//    cell's own: the river runs bankfull at its line's ground, so it never
//    hangs above the land and, along a river's line, falls as the line does
//    (every line cell drains to a lower one). The depth is the channel's,
//    by hydraulic geometry's d = c Q^f with f = 0.4 (Leopold and Maddock
//    1953): d = (W / 10) (A / 1 km^2)^0.4 metres, A the line cell's area and
//    W the river width at 1 km^2, so a channel is ten times as wide as deep
//    at 1 km^2; A is held where the width is (at kRiverRadiusCells). It is
//    the depth to cut under the surface: an engine's river
//    (Unreal's water body brush) carves its bed by it.
//  - A lake cell (with --lakes; LakeSurface, Lakes.h), over a river or not:
//    the surface is the lake's, one flat value at its spill height, the
//    depth (surface - height) * relief metres.
//  - Anywhere else: surface 0, depth 0 (no water).
struct WaterField {
    Array2D<float> surface{1, 1};  // in the heightmap's units
    Array2D<float> depth{1, 1};    // metres
};

// Over a window as RiverMap takes it: the sea and the rivers (AddLakes
// adds the lakes).
WaterField ComputeWater(const Array2D<float>& heights, const Array2D<float>& upstream, unsigned west, unsigned south,
                        unsigned width, unsigned height, float seaLevel, double relief, const RiverRule& rule);

// The lakes over a computed window: `heights` and `lakeSurface` its cells
// (the surface 0 off the lakes).
void AddLakes(WaterField& water, const Array2D<float>& heights, const Array2D<float>& lakeSurface, double relief);

// The depth of a river line cell of `upstreamCells`, in metres.
double RiverDepthMetres(double upstreamCells, const RiverRule& rule);

// The metres of full scale of the 16-bit depth map: the deepest sea (the
// sea level over height 0), the deepest channel (at the widest river), with
// lakes the whole relief (the deepest a lake can be), or 1, whichever is
// most; fixed by the options alone, so every tile has the same.
double DepthFullScaleMetres(double seaLevel, double relief, const RiverRule& rule, bool lakes = false);
