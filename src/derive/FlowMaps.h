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

// 8-bit grey: 255 on land where the upstream area, upstream cells *
// cellArea square metres, exceeds riverArea; 0 elsewhere (the sea included).
Raster8 RiverMap(const Array2D<float>& heights, const Array2D<float>& upstream, float seaLevel, double cellArea,
                 double riverArea);
