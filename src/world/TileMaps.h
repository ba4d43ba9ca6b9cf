#pragma once

#include <functional>
#include <string>
#include <vector>

#include "derive/DerivedMapFiles.h"
#include "erosion/WorldWindows.h"
#include "landing/OutputFile.h"
#include "terrain/Matrix2DInterface.h"
#include "world/MapInputs.h"
#include "world/TileLayout.h"

// The maps derived from a world's tiles (--maps) and the world's preview.
struct TileMapsRequest {
    std::vector<DerivedMapKind> kinds;
    // Its scale is the world's: --extent over the world's N - 1 cells.
    DerivedMapSettings settings;
    // The world's multiple-flow routing, from its stage, for flow and
    // flowdir; the world's raw generator, for wear and deposition.
    std::shared_ptr<const WorldFlow> flow;
    std::shared_ptr<const HeightMapWindows> raw;
    // Whether lakes, water and depth read the world's lakes (--lakes), each
    // tile's from the world's windows (WorldWindows::LakeSurface).
    bool lakes = false;
};

// Sets maps.flow, maps.raw and maps.lakes as maps.kinds need them, for the world of
// `stage` (construct on one thread: the raw generator reseeds the process's
// MT19937 source).
void PrepareTileMaps(TileMapsRequest& maps, const std::shared_ptr<const WorldStage>& stage,
                     const TerrainParameters& parameters);

// Makes one tile with the one-cell halo its maps read (on each side where
// the world goes on past it: the whole map's maps see those cells too), has
// writeTile write the tile's own cells into the tile's opened file, then
// writes each map of the tile, named after tilePath (w_1_2.f32 ->
// w_1_2.KIND.png): the same window, pixel for pixel, of the whole map's maps.
// The tile and its maps land together (CommitTogether): an interrupted or
// failed run leaves the older files as they were. False, with error its one
// sentence, on the first failure.
bool WriteTileWithMaps(const WorldWindows& windows, const TileGrid& grid, const TilePlace& place,
                       const TileMapsRequest& maps, unsigned threads, const std::string& tilePath,
                       const std::function<bool(const Matrix2DInterface<float>&, OutputFile&)>& writeTile,
                       std::string& error);

// The world's shade at most kPreviewSide pixels a side, from its stage
// alone: the stage's heights are the world's cells on its lattice (every
// (N - 1)/(S - 1)-th cell), shaded at that lattice's cell size, then shrunk
// as --preview shrinks a map. `settings` carries the world's scale.
bool WriteWorldPreview(const WorldStage& stage, const DerivedMapSettings& settings, const std::string& path,
                       std::string& error);
