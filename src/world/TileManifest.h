#pragma once

#include <string>

#include "derive/DerivedMapFiles.h"
#include "export/GeoTransform.h"
#include "export/HeightMapFormat.h"
#include "export/HeightMapMetadata.h"
#include "terrain/TerrainParameters.h"
#include "world/TileLayout.h"

// What a tile set is, for whoever imports it: NAME.tiles.json beside the
// tiles, written once by the run that writes tile 0.
struct TileSetDescription {
    TileGrid grid;
    const TileLayout* layout;
    const HeightMapFormat* format;
    RowOrder rows;     // as the tiles store them
    std::string out;   // DIR/NAME, as given to --out
    TerrainParameters terrain;
    // Where the world lies: its cell size (--extent over the world's N - 1
    // cells), relief and the ground position of grid cell (0, 0).
    HeightMapGround ground{1.0, 1.0, 0.0, 0.0};
    std::string version;
    // --maps beside each tile, and the convention of their normal maps.
    std::vector<DerivedMapKind> maps;
    NormalConvention normals = NormalConvention::OpenGl;
    FloatMapFormat floats = FloatMapFormat::None;  // --float-maps
};

// The manifest's JSON text, one flat object: world and tile sizes, the crop, the naming, the
// row order, the seed as --meta writes it (with seed_hex), every terrain
// option with a --meta key, from the options' table, the ground as --meta
// gives it for one tile (an engine's terrain) but extent_m the world's, the
// maps beside each tile and their normals' convention; with a float map
// among them (IsMetresMap), float_maps (png, exr or tif32), and the full
// scales of those in metres (DerivedMapFigures); and the version.
// Numbers are printed as --meta prints them.
std::string TileManifestJson(const TileSetDescription& set);

// GDAL's virtual raster over the gis layout's tiles: one Float32 band of the
// cropped world, north up, samples as points cell_size apart with grid cell
// (0, 0) at the ground's origin (the geotransform GDAL reads from the whole
// map's tif32 when the world is not cropped), each tile placed at its offset
// by its file name relative to the VRT.
std::string TileVrtXml(const TileSetDescription& set);

// "DIR/NAME.tiles.json", "DIR/NAME.vrt".
std::string TileManifestPath(const std::string& out);
std::string TileVrtPath(const std::string& out);

// Where a gis tile lies: its samples are points cell_size apart, grid cell
// (x, y) at the origin plus (x, y) cells, as the whole map places it.
GeoTransform TilePlacement(const TileGrid& grid, const TilePlace& place, const HeightMapGround& ground);

// Writes the manifest, and for the gis layout the VRT, each through its own
// OutputFile, and lands them together; on failure error is its one
// sentence and neither older file is replaced.
bool WriteTileSetFiles(const TileSetDescription& set, std::string& error);
