#pragma once

#include <string>
#include <utility>
#include <vector>

#include "export/GeoTransform.h"
#include "export/HeightMapFormat.h"
#include "export/RowOrder.h"
#include "terrain/TerrainParameters.h"

// The ground a map stands for, as --meta states it when given: after the
// terrain numbers, before version, come cell_size_m (metres between neighbouring cells),
// extent_m ((size - 1) cells), relief_m (metres at height 1), origin_x_m and
// origin_y_m (grid cell (0, 0)); Unreal's landscape scale for a 16-bit
// heightmap, unreal_scale_x and unreal_scale_y (centimetres a cell) and
// unreal_scale_z (relief_m * 100 / 512: at 100 the 65536 steps span 512 m),
// and unreal_location_z_cm (relief_m * 50, which puts height 0 at z = 0,
// since Unreal centres sample 32768 on the landscape's origin); Unity's
// terrain size, unity_width_m, unity_length_m (both extent_m) and
// unity_height_m (relief_m). A map that keeps a shape's coordinate system
// (`frame`) adds, after those, crs (its WKT), crs_epsg (its EPSG code, when
// it has one), crs_origin_x and crs_origin_y (grid cell (0, 0) in the
// system's units) and crs_cell_size (a cell in those units); origin_x_m and
// origin_y_m are then the frame's origin when its units are metres, else 0.
struct HeightMapGround {
    double cellSize;
    double relief;
    double originX;
    double originY;
    MapFrame frame = {};
};

// The --meta description written beside a heightmap: one JSON object with
// what an importer needs, its keys always in this order: format, width,
// height, sample_type, byte_order, row_order ("bottom_first", "top_first",
// or "none" for meshes), first_row (the grid row stored first, null for
// meshes), value_min, value_max, value_meaning, size, seed, seed_hex,
// then the terrain numbers in the order given (the tool gives roughness,
// falloff, sharpness, erosion, from the terrain options' table), version.
// seed is the seed text itself when it is
// well-formed UTF-8 (escaped only as JSON requires). Otherwise, as a
// fallback that still gives valid JSON, every byte from 0x80 up is written
// as one \u00XX escape: the string then reads back as the characters U+0000
// to U+00FF matching the bytes one for one, and the whole text is ASCII.
// seed_hex is the seed's bytes as lowercase hex, two digits a byte, the exact
// key whatever the text holds. Floats are printed with nine significant
// digits, so they read back as the same 32-bit floats.
using TerrainNumbers = std::vector<std::pair<std::string, float>>;

// The ground's keys above, in their order, with their values for a map of
// `size` cells: what --meta writes and what a tile set's manifest repeats.
std::vector<std::pair<std::string, double>> HeightMapGroundFigures(const HeightMapGround& ground, unsigned size);
// The frame's numbers after crs, in their order (a ground with a frame).
std::vector<std::pair<std::string, double>> HeightMapFrameFigures(const HeightMapGround& ground);

// `mapFigures`, when given, follow the ground's keys, before version: the
// derived maps' scales (wear_full_scale_m and the like), in metres.
using MapFigures = std::vector<std::pair<std::string, double>>;
std::string HeightMapMetadataJson(const HeightMapFormat& format, RowOrder rows, unsigned size,
                                  const TerrainParameters& parameters, const TerrainNumbers& numbers,
                                  const std::string& version, const HeightMapGround* ground = nullptr,
                                  const MapFigures* mapFigures = nullptr);

// Writes HeightMapMetadataJson to path through its own OutputFile; on
// failure error is its one sentence. rows is the order the map was written
// in (ignored by formats with a fixed order).
bool WriteHeightMapMetadata(const std::string& path, std::string& error, const HeightMapFormat& format,
                            RowOrder rows, unsigned size, const TerrainParameters& parameters,
                            const TerrainNumbers& numbers, const std::string& version,
                            const HeightMapGround* ground = nullptr);
