#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "erosion/WorldStage.h"
#include "world/TileManifest.h"
#include "world/TileMaps.h"

// One run's share of a tile set: its tiles, generated each from its own
// window of the world and written whole (each through OutputFile, so a rerun
// replaces a tile whole and an interrupted one leaves the old file), then,
// when the share includes tile 0, the manifest (and the VRT).
struct WorldTilesJob {
    TileSetDescription set;
    std::vector<uint64_t> tiles;  // indices, as SelectTiles gives them
    unsigned threads = 0;         // 0: every core
    // The world's stage (ComputeWorldStage, or read back from the set's
    // stage file) for set.terrain and set.grid.worldCells.
    std::shared_ptr<const WorldStage> stage;
    // --maps: each tile's maps beside it. The tiles are then made one at a
    // time, each with its halo (and upstream areas), then its maps.
    TileMapsRequest maps;
};

// Generates and writes the tiles in order, each the window of the world
// WorldWindows makes from the stage: the next tile is generated on the
// threads while the last one is written, so at most two tiles (and one
// window's coarser levels) are held, whatever the world's size. Returns
// false after the first failure, with error set to its one sentence (names
// as they are). progress, if given, hears the fraction of tiles done.
bool WriteWorldTiles(const WorldTilesJob& job, std::string& error,
                     const std::function<void(double)>& progress = {});

// The memory a run holds at most for tiles of this size, in bytes: for the
// job script's request. An eroded world's windows carry each level's
// routing, so they hold more than a raw one's; maps hold more again.
// With flow or flowdir every run routes the stage by multiple flow first.
uint64_t WorldTilesMemoryBytes(uint32_t worldCells, uint32_t tileCells, bool eroded, bool maps,
                               bool multipleFlow = false);

// The memory the stage's own job (--stage-only) holds: the stage eroded
// whole, and its file's bytes.
uint64_t WorldStageJobBytes(uint32_t worldCells);
