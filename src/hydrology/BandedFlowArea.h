#pragma once

#include <vector>

#include "hydrology/FlowBands.h"
#include "hydrology/MultipleFlow.h"

// Upstream area by multiple flow (MultipleFlowArea, the same bits on every
// cell with shares; an outlet's is its own cell's area, since nothing it
// takes in goes on), over the bands' heights and shares.
void BandedFlowArea(FlowBands& bands, const FlowShareGrid& grid, std::vector<float>& area);
