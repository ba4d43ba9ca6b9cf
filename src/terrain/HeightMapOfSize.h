#pragma once

#include <cstdint>
#include <functional>

#include "terrain/Array2D.h"
#include "terrain/TerrainParameters.h"

// The viewer's terrain at any size N = 2^k + 1 from 33 to 131073 cells a side
// (up to 16385 as one map in memory; beyond, by windows: HeightMapWindow.h).
// The 129 map is the viewer's own; a smaller map samples it every
// 128 / (N - 1) cells; a larger one holds the 129 map's cells, bit for bit,
// at every s-th cell (s = (N - 1) / 128) and continues diamond-square below
// them, one more roughness factor per level, with the random numbers of
// FineLevelRandom. The falloff is centred on the middle of the map with
// radius (N - 1) / 2, and the remap is the viewer's.
constexpr uint32_t minMapCells = 33;
constexpr uint32_t maxMapCells = 131073;
// The largest map held whole: 16385^2 floats are 1.07 GB.
constexpr uint32_t maxWholeMapCells = 16385;

// True for 33, 65, 129, ..., 131073.
bool IsMapCells(uint32_t cells);

// Fills `map`, which must be square with IsMapCells(width), at most
// maxWholeMapCells. `threads` as for
// ParallelRows (0: every core); the bits do not depend on it. `progress`, if
// given, is called now and then on the calling thread with the fraction done.
void GenerateHeightMapOfSize(Array2D<float>& map, const TerrainParameters& parameters, unsigned threads = 0,
                             const std::function<void(double)>& progress = {});

// Shared with the window generator (HeightMapWindow.h), which must start from
// the same values.

// The level number of the first level below the viewer's seven (steps 128
// down to 2 on the 129 map): the finer levels are 7, 8, ...
constexpr uint32_t firstFineLevel = 7;

// The amplitude after the viewer's seven levels, rounded level by level as
// they round it.
float AmplitudeAfterViewerLevels(float roughness);

// The viewer's raw heights (before falloff and remap) for this seed. Reseeds
// the calling thread's MT19937 source.
Array2D<float> ViewerRawHeights(const TerrainParameters& parameters);
