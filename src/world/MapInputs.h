#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "derive/DerivedMapFiles.h"
#include "derive/FlowMaps.h"
#include "terrain/Array2D.h"
#include "terrain/HeightMapWindow.h"
#include "terrain/TerrainParameters.h"
#include "world/WorldFlow.h"

// What the maps read beyond the heights and the steepest-descent areas: the
// multiple-flow routing (flow, flowdir) and the uneroded terrain (wear,
// deposition), for a map held whole and for any window of a world.
// The multiple-flow routing comes from the map's stage (WorldFlow.h), so a
// map and each tile of the same world have the same bits.

struct MapInputs {
    std::shared_ptr<const MultipleFlowField> flow;  // the whole map's
    std::unique_ptr<Array2D<float>> uneroded;       // the map's cells
    std::unique_ptr<Array2D<float>> lakeSurface;    // the map's cells, with --lakes
    // When only a centred window of the map is written, the whole map and
    // its steepest-descent areas, for the rivers crossing the window's edge
    // (rivers, water, depth), the window at (riverOffset, riverOffset).
    std::unique_ptr<Array2D<float>> riverHeights;
    std::unique_ptr<Array2D<float>> riverUpstream;
    unsigned riverOffset = 0;
};

// The inputs `kinds` read, for the map `map` (the terrain of `parameters`
// at map's size, square, 2^k + 1, made from `stage`, which flow and flowdir
// need): the routing, and the map of the same parameters with no erosion
// times kErosionHeadroom.
MapInputs ComputeMapInputs(const Array2D<float>& map, const std::shared_ptr<const WorldStage>& stage,
                           const TerrainParameters& parameters, const std::vector<DerivedMapKind>& kinds,
                           unsigned threads);

// The lake surface of a whole map's cells (LakeSurface, Lakes.h).
Array2D<float> LakeSurfaceOf(const Array2D<float>& map);

// Replaces the map, its steepest-descent areas (when there are any) and the
// inputs by their centred window of `size` cells, (map - size) / 2 in from
// each edge, keeping the whole map for the rivers when `kinds` read them.
void TakeCentredWindow(uint32_t size, const std::vector<DerivedMapKind>& kinds, Array2D<float>& map,
                       std::unique_ptr<Array2D<float>>& upstream, MapInputs& inputs);

// The cells [x0, x0 + width) x [y0, y0 + height) of a whole map's field.
MultipleFlowField WindowOfFlow(const MultipleFlowField& whole, uint32_t x0, uint32_t y0, uint32_t width,
                               uint32_t height);

// The uneroded terrain of a window of a world (the raw generator of the
// world's size), times kErosionHeadroom as erosion scales it.
void UnerodedWindow(const HeightMapWindows& raw, Array2D<float>& window, uint32_t x0, uint32_t y0, unsigned threads);

// False, with one line in error, when `kinds` cannot be made for a map or a
// world with this erosion: wear and deposition without
// erosion.
bool MapKindsAccepted(const std::vector<DerivedMapKind>& kinds, bool eroded, std::string& error);
