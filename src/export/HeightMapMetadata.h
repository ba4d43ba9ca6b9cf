#pragma once

#include <string>
#include <utility>
#include <vector>

#include "export/HeightMapFormat.h"
#include "export/RowOrder.h"
#include "terrain/TerrainParameters.h"

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
std::string HeightMapMetadataJson(const HeightMapFormat& format, RowOrder rows, unsigned size,
                                  const TerrainParameters& parameters, const TerrainNumbers& numbers,
                                  const std::string& version);

// Writes HeightMapMetadataJson to path through its own OutputFile, whose
// failure line starts with label. rows is the order the map was written in
// (ignored by formats with a fixed order).
bool WriteHeightMapMetadata(const std::string& path, const std::string& label, const HeightMapFormat& format,
                            RowOrder rows, unsigned size, const TerrainParameters& parameters,
                            const TerrainNumbers& numbers, const std::string& version);
