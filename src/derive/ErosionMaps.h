#pragma once

#include "derive/MapScale.h"
#include "export/Raster.h"
#include "terrain/Array2D.h"

// What erosion left behind, cell by cell, against the terrain it started
// from: `uneroded` is the same options' map with no erosion, times the
// headroom erosion first scales every height by (kErosionHeadroom,
// erosion/Erosion.h), so that the difference is what erosion itself moved
// (all its levels, the fill, the talus slides and the creep). With d =
// (eroded - uneroded) * relief metres, computed in double:
//     wear = max(0, -d),   deposition = max(0, d),
// so eroded - uneroded = (deposition - wear) / relief in every cell.

enum class ErosionTrace { Wear, Deposition };

// The metres of full scale of the 16-bit maps: the relief. Heights lie in
// [0, 1], so no cell can lose or gain more, and erosion does come close: on
// the recommended island at 2049 the mesa's cliffs lose up to 0.82 of the
// relief and 1 % of the cells lose more than 0.42 of it. Fixed by the relief
// alone, so every tile of a world has the same scale; a step is relief /
// 65535 (3 cm at the default 2000 m).
double ErosionTraceFullScaleMetres(const MapScale& scale);

// The metres of wear or deposition of every cell (heights and uneroded the
// same size).
Array2D<float> ErosionTraceMetres(const Array2D<float>& heights, const Array2D<float>& uneroded, ErosionTrace trace,
                                  double relief);

