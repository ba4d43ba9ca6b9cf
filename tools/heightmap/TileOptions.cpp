#include "TileOptions.h"

#include <cstring>

#include "cli/CommandLineText.h"
#include "export/HeightMapFormat.h"
#include "terrain/HeightMapOfSize.h"
#include "terrain/TerrainParameters.h"
#include "world/TileLayout.h"

namespace {

bool ParseCount(const std::string& text, uint64_t lowest, uint64_t highest, uint64_t& value)
{
    if (text.empty() || text.size() > 12 || text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    value = std::stoull(text);
    return value >= lowest && value <= highest;
}

bool ParseTilePair(const std::string& text, uint32_t& x, uint32_t& y)
{
    const size_t comma = text.find(',');
    uint64_t a = 0;
    uint64_t b = 0;
    if (comma == std::string::npos || !ParseCount(text.substr(0, comma), 0, UINT32_MAX, a) ||
        !ParseCount(text.substr(comma + 1), 0, UINT32_MAX, b)) {
        return false;
    }
    x = uint32_t(a);
    y = uint32_t(b);
    return true;
}

bool ReadValue(const std::string& option, const std::string& value, TileOptions& tiles, std::string& error)
{
    uint64_t number = 0;
    if (option == "--tile-size") {
        if (!ParseCount(value, minTileCells, maxTileCells, number)) {
            error = "--tile-size needs a whole number from " + std::to_string(minTileCells) + " to " +
                    std::to_string(maxTileCells) + ", not '" + value + "'";
            return false;
        }
        tiles.tiled = true;
        tiles.tileSize = uint32_t(number);
    } else if (option == "--layout") {
        if (FindTileLayout(value) == nullptr) {
            error = "--layout needs one of " + TileLayoutNames() + ", not '" + value + "'";
            return false;
        }
        tiles.layout = value;
    } else if (option == "--tile") {
        if (!ParseTilePair(value, tiles.request.tileX, tiles.request.tileY)) {
            error = "--tile needs X,Y, two whole numbers, not '" + value + "'";
            return false;
        }
        tiles.request.tileGiven = true;
    } else if (option == "--tile-index") {
        if (!ParseCount(value, 0, UINT32_MAX, tiles.request.index)) {
            error = "--tile-index needs a whole number from 0, not '" + value + "'";
            return false;
        }
        tiles.request.indexGiven = true;
    } else {
        if (!ParseCount(value, 1, UINT32_MAX, tiles.request.tilesPerTask)) {
            error = "--tiles-per-task needs a whole number from 1, not '" + value + "'";
            return false;
        }
    }
    return true;
}

}  // namespace

TileOptionRead ReadTileOption(int argc, char** argv, int& i, TileOptions& tiles, std::string& error)
{
    const std::string word = argv[i];
    if (word == "--print-slurm" || word == "--stage-only" || word == "--remake-set") {
        (word == "--print-slurm" ? tiles.printSlurm : word == "--stage-only" ? tiles.stageOnly : tiles.remakeSet) =
            true;
        tiles.runOnly.push_back(i);
        return TileOptionRead::Read;
    }
    static const char* const names[] = {"--tile-size", "--layout", "--tile", "--tile-index", "--tiles-per-task"};
    bool mine = false;
    for (const char* name : names) {
        const size_t length = std::strlen(name);
        mine = mine || word == name || (word.compare(0, length, name) == 0 && word.size() > length &&
                                        word[length] == '=');
    }
    if (!mine) {
        return TileOptionRead::NotMine;
    }
    const int first = i;
    std::string option;
    std::string value;
    if (!ReadValuedOption(argc, argv, i,
                          {"--tile-size", "--layout", "--tile", "--tile-index", "--tiles-per-task"}, option,
                          value, error) ||
        !ReadValue(option, value, tiles, error)) {
        error = OneLine(error);
        return TileOptionRead::Refused;
    }
    if (option == "--tile" || option == "--tile-index") {
        for (int at = first; at <= i; ++at) {
            tiles.runOnly.push_back(at);
        }
    }
    return TileOptionRead::Read;
}

bool TileOptionsConsistent(const TileOptions& tiles, uint32_t size, bool formatGiven, std::string& format,
                           bool rowsGiven, RowOrder& rows, std::string& error)
{
    if (!tiles.tiled) {
        const char* tileOnly = tiles.request.tileGiven      ? "--tile"
                               : tiles.request.indexGiven   ? "--tile-index"
                               : tiles.printSlurm           ? "--print-slurm"
                               : tiles.stageOnly            ? "--stage-only"
                               : tiles.remakeSet            ? "--remake-set"
                               : !tiles.layout.empty()      ? "--layout"
                               : tiles.request.tilesPerTask != 1 ? "--tiles-per-task"
                                                                 : nullptr;
        if (tileOnly != nullptr) {
            error = std::string(tileOnly) + " needs --tile-size T (the world made as tiles)";
            return false;
        }
        if (size > maxWholeMapCells) {
            error = "--size " + std::to_string(size) + " is made only as tiles: add --tile-size T (33 to 8193); " +
                    "one file takes 33, 65, 129, 257, 513, 1025, 2049, 4097, 8193 or 16385";
            return false;
        }
        return true;
    }
    if (tiles.tileSize > size) {
        error = "--tile-size " + std::to_string(tiles.tileSize) + " is larger than the world (--size " +
                std::to_string(size) + ")";
        return false;
    }
    // A tile named for a run that writes none would be ignored, unchecked;
    // the job script leaves them out of the stage's command.
    if (tiles.stageOnly && (tiles.request.tileGiven || tiles.request.indexGiven)) {
        error = std::string("--stage-only writes no tile; leave out ") +
                (tiles.request.tileGiven ? "--tile" : "--tile-index");
        return false;
    }
    // The script's tasks would each remove the others' tiles: the set is
    // remade once, by a run of its own, before the jobs are printed.
    if (tiles.remakeSet && tiles.printSlurm) {
        error = "--remake-set removes the old set now, which --print-slurm does not do: run the command once with "
                "--remake-set --stage-only, then --print-slurm without it";
        return false;
    }
    if (tiles.request.tileGiven && tiles.request.indexGiven) {
        error = "--tile and --tile-index both name a tile; give one";
        return false;
    }
    if (!tiles.layout.empty()) {
        const TileLayout& layout = *FindTileLayout(tiles.layout);
        if (formatGiven && format != layout.format) {
            error = "--layout " + tiles.layout + " stores " + layout.format + ", not --format " + format;
            return false;
        }
        const bool rowsAccepted = FindHeightMapFormat(layout.format)->acceptsRowOrder;
        if (rowsGiven && (!rowsAccepted || rows != layout.rows)) {
            error = "--layout " + tiles.layout + " fixes the row order; leave out --rows";
            return false;
        }
        format = layout.format;
        rows = layout.rows;
    }
    return true;
}
