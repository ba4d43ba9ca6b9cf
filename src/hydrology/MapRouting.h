#pragma once

#include <cstdint>

#include "terrain/Array2D.h"

// The one routing of water on a square map held whole: erosion's stage and
// the flow and river maps of every map up to the stage's size use it, and
// every finer level of a world carries it on (WorldWindows.h).
//
// Pits are filled on a copy first (FillToDrain, one float step at a time),
// unless the map is already drained with a kept drop (minDrop > 0). Then
// every cell above the sea and off the border sends its water to its
// steepest way down (SteepestWayDown: drop per unit of distance, diagonals
// sqrt 2 away, ties to the first of E, NE, N, NW, W, SW, S, SE, north +y),
// and a cell's upstream area is 1 (itself) plus the areas of the cells
// sending theirs to it. The sea and the border send nothing on.
struct MapRouting {
    explicit MapRouting(const Array2D<float>& heights)
        : routed(heights), receiver(heights.GetWidth(), heights.GetHeight()),
          upstream(heights.GetWidth(), heights.GetHeight())
    {
    }
    Array2D<float> routed;      // the heights routed over: the copy, filled
    Array2D<uint8_t> receiver;  // neighbour index, or noReceiver
    Array2D<float> upstream;    // in cells
};

MapRouting RouteMap(const Array2D<float>& heights, double minDrop = 0.0);
