#pragma once

#include <cstdint>
#include <functional>

#include "terrain/Array2D.h"
#include "terrain/TerrainParameters.h"

// The viewer's terrain at any size N = 2^k + 1 from 33 to 8193 cells a side.
// The 129 map is the viewer's own; a smaller map samples it every
// 128 / (N - 1) cells; a larger one holds the 129 map's cells, bit for bit,
// at every s-th cell (s = (N - 1) / 128) and continues diamond-square below
// them, one more roughness factor per level, with the random numbers of
// FineLevelRandom. The falloff is centred on the middle of the map with
// radius (N - 1) / 2, and the remap is the viewer's.
constexpr uint32_t minMapCells = 33;
constexpr uint32_t maxMapCells = 8193;

// True for 33, 65, 129, ..., 8193.
bool IsMapCells(uint32_t cells);

// Fills `map`, which must be square with IsMapCells(width). `threads` as for
// ParallelRows (0: every core); the bits do not depend on it. `progress`, if
// given, is called now and then on the calling thread with the fraction done.
void GenerateHeightMapOfSize(Array2D<float>& map, const TerrainParameters& parameters, unsigned threads = 0,
                             const std::function<void(double)>& progress = {});
