#pragma once

#include <cstdint>
#include <string>

#include "export/HeightMapFormat.h"
#include "export/RowOrder.h"

// A world of N x N cells cut into tiles of T x T that share their border row
// and column: tile i along an axis starts at cell i * (T - 1). When N - 1 is
// not a multiple of T - 1 the world is cropped to the largest multiple, the
// cells east and north of it left out.
struct TileGrid {
    uint32_t worldCells = 0;    // N
    uint32_t tileCells = 0;     // T
    uint32_t tilesPerSide = 0;  // floor((N - 1) / (T - 1))

    static TileGrid Make(uint32_t worldCells, uint32_t tileCells);
    uint32_t Step() const { return tileCells - 1; }
    uint32_t CroppedCells() const { return tilesPerSide * Step() + 1; }
    uint64_t TileCount() const { return uint64_t{tilesPerSide} * tilesPerSide; }
};

constexpr uint32_t minTileCells = 33;
constexpr uint32_t maxTileCells = 8193;

// How a tile set is named and stored, as the engines that import tiles
// expect it. X counts tile columns from grid x = 0 (west); Y counts tile rows
// from the north (the top of the picture) or from grid row 0 (south).
struct TileLayout {
    const char* name;    // as typed after --layout; "" for the default naming
    const char* format;  // the format it stores, or null for any --format
    RowOrder rows;       // the row order, for the formats that accept --rows
    bool yFromNorth;
    const char* pattern;  // the file name, {X} {Y} {EXT} filled in
    const char* importer;  // for the manifest: who reads it this way
};

// unreal, unity, gis; null for any other name.
const TileLayout* FindTileLayout(const std::string& name);
// The layout when none is named: any format, Y from the south, NAME_X_Y.EXT.
const TileLayout& DefaultTileLayout();
// "unreal, unity, gis"
std::string TileLayoutNames();

// The file name extension of a format's tiles under the default naming.
const char* TileExtension(const HeightMapFormat& format);

// A tile as the layout names it, and where it lies in the grid.
struct TilePlace {
    uint32_t x = 0;  // the layout's X
    uint32_t y = 0;  // the layout's Y
    uint32_t gridX = 0;  // the tile's first cell, grid coordinates
    uint32_t gridY = 0;
};

// Tile index k counts row-major in the layout's own numbering: k = Y * tiles
// per side + X.
TilePlace PlaceOfTile(const TileGrid& grid, const TileLayout& layout, uint64_t index);
uint64_t IndexOfTile(const TileGrid& grid, uint32_t x, uint32_t y);

// "DIR/NAME_x3_y0.png" for out = "DIR/NAME".
std::string TileFileName(const std::string& out, const TileLayout& layout, const HeightMapFormat& format,
                         uint32_t x, uint32_t y);
// The pattern with NAME and EXT filled in, {X} and {Y} kept: for the manifest.
std::string TileNamePattern(const std::string& name, const TileLayout& layout, const HeightMapFormat& format);
