#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export/RowOrder.h"
#include "world/TileSelection.h"

// The command line's tile options: a world written as tiles instead of one
// file, how they are laid out, and which of them this run writes.
struct TileOptions {
    bool tiled = false;  // --tile-size given
    uint32_t tileSize = 0;
    std::string layout;  // --layout; empty: the default naming
    TileRequest request;
    bool printSlurm = false;
    bool stageOnly = false;  // --stage-only: the eroded world's stage file, no tile
    bool remakeSet = false;  // --remake-set: remove the set made with other options first
    // argv positions of the options that name this run's own tiles (and
    // --print-slurm, --stage-only, --remake-set): left out of the job script's command.
    std::vector<int> runOnly;
};

enum class TileOptionRead { NotMine, Read, Refused };

// Reads argv[i] when it is a tile option (moving i onto its value);
// NotMine for any other, which the caller reads.
TileOptionRead ReadTileOption(int argc, char** argv, int& i, TileOptions& tiles, std::string& error);

// The checks across options. With a layout, sets format (and rows) to the
// layout's. False, with error one line, for: tile options without
// --tile-size, a tile larger than the world, a world too large for one file
// without tiles, a --format or --rows the layout does not store, both --tile
// and --tile-index, --tile or --tile-index with --stage-only, an option that
// needs the whole map.
bool TileOptionsConsistent(const TileOptions& tiles, uint32_t size, bool formatGiven, std::string& format,
                           bool rowsGiven, RowOrder& rows, std::string& error);
