#pragma once

#include "hydrology/FlowRouting.h"

// FillToDrain's guarantee (every cell but an outlet has a neighbour strictly
// lower), with deep depressions cut open instead of filled.

// Priority-Flood with carving (Soille 2004, Water Resources Research 40;
// breaching, Lindsay 2016, Hydrological Processes 30): FillToDrain's flood,
// step for step, but at a cell it reaches no higher than the cell c it came
// from that lies in a deep depression, one whose water (the plain flood's,
// FillFlat) would stand at least `fillDepth` deep at some cell: a lake of
// the rule {1 cell, fillDepth} (Lakes.h). Such a
// cell keeps its height, and the way the flood came, from c back to an
// outlet, is cut down below it:
// falling evenly to the first cell on the way that is lower (to the sea's
// level where that is the sea), at least a float step a cell; a way that
// reaches the map's border with no lower cell cuts the border cell too.
// Where a cut would reach the sea, or the floats between the cell and the
// lower one leave no fall for every cell on the way, the cell is lifted
// instead. With no deep depression, these are FillToDrain's bits. Then,
// with `wallSlope` > 0 (height a cell across, many float steps), the cut's
// walls are laid back to that slope as far as they stand in the cut
// (OpenCut in the .cpp). So a deep basin drains through a gorge in its rim
// and keeps its floor, where a fill would bury it under a flat as wide as
// itself.
void BreachToDrain(float* h, int n, double fillDepth, double wallSlope, FillWork& work);
