#include "export/HeightMapMetadata.h"

#include "terrain/ShapeGrid.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include <nlohmann/json.hpp>

#include "export/MetaNumbers.h"
#include "landing/OutputFile.h"
#include "terrain/ShapeGrid.h"

namespace {

using Json = nlohmann::ordered_json;

std::string LowercaseHex(const std::string& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(2 * bytes.size());
    for (const char c : bytes) {
        const unsigned char byte = static_cast<unsigned char>(c);
        hex += digits[byte >> 4];
        hex += digits[byte & 0x0F];
    }
    return hex;
}

// The characters U+0000 to U+00FF matching bytes one for one, as UTF-8:
// written with every non-ASCII character escaped, each byte from 0x80 up
// becomes one \u00XX.
std::string EachByteAsCharacter(const std::string& bytes)
{
    std::string text;
    for (const char c : bytes) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            text += c;
        } else {
            text += static_cast<char>(0xC0 | (byte >> 6));
            text += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return text;
}

}  // namespace

std::vector<std::pair<std::string, double>> HeightMapFrameFigures(const HeightMapGround& ground)
{
    const MapFrame& frame = ground.frame;
    std::vector<std::pair<std::string, double>> figures;
    if (frame.epsg > 0) {
        figures.push_back({"crs_epsg", frame.epsg});
    }
    figures.push_back({"crs_origin_x", frame.originX});
    figures.push_back({"crs_origin_y", frame.originY});
    figures.push_back({"crs_cell_size", ground.cellSize * frame.unitsPerMetre});
    return figures;
}

std::vector<std::pair<std::string, double>> HeightMapGroundFigures(const HeightMapGround& ground, unsigned size)
{
    const double extent = ground.cellSize * (size > 0 ? size - 1 : 0);
    return {
        {"cell_size_m", ground.cellSize},
        {"extent_m", extent},
        {"relief_m", ground.relief},
        {"origin_x_m", ground.originX},
        {"origin_y_m", ground.originY},
        {"unreal_scale_x", ground.cellSize * 100},
        {"unreal_scale_y", ground.cellSize * 100},
        {"unreal_scale_z", ground.relief * 100 / 512},
        {"unreal_location_z_cm", ground.relief * 50},
        {"unity_width_m", extent},
        {"unity_length_m", extent},
        {"unity_height_m", ground.relief},
    };
}

std::string HeightMapMetadataJson(const HeightMapFormat& format, RowOrder rows, unsigned size,
                                  const TerrainParameters& parameters, const TerrainNumbers& numbers,
                                  const std::string& version, const HeightMapGround* ground,
                                  const MapFigures* mapFigures)
{
    if (!format.acceptsRowOrder) {
        rows = format.defaultRows;
    }
    Json rowOrder = "none";
    Json firstRow = nullptr;
    if (format.hasRows) {
        rowOrder = rows == RowOrder::TopFirst ? "top_first" : "bottom_first";
        firstRow = rows == RowOrder::TopFirst && size > 0 ? size - 1 : 0;
    }
    const std::string& seed = parameters.seed.Text();
    Json json;
    json["format"] = format.name;
    json["width"] = size;
    json["height"] = size;
    json["sample_type"] = format.sampleType;
    json["byte_order"] = format.byteOrder;
    json["row_order"] = rowOrder;
    json["first_row"] = firstRow;
    json["value_min"] = Json::parse(format.valueMinimum);
    json["value_max"] = Json::parse(format.valueMaximum);
    json["value_meaning"] = format.valueMeaning;
    json["size"] = size;
    json["seed"] = seed;
    json["seed_hex"] = LowercaseHex(seed);
    for (const auto& [key, value] : numbers) {
        json[key] = MetaFloat(value);
    }
    if (parameters.shape != nullptr) {
        json["shape"] = parameters.shapeFile;
        json["shape_checksum"] = parameters.shape->identity;
        // Where the shape's own relief is trusted: "auto" or samples.
        json["shape_trust"] = parameters.shapeTrust > 0.0f ? MetaFloat(parameters.shapeTrust) : Json("auto");
    }
    if (ground != nullptr) {
        for (const auto& [key, value] : HeightMapGroundFigures(*ground, size)) {
            json[key] = MetaMetres(value);
        }
        if (ground->frame.Present()) {
            json["crs"] = ground->frame.wkt;
            for (const auto& [key, value] : HeightMapFrameFigures(*ground)) {
                json[key] = MetaMetres(value);
            }
        }
    }
    if (mapFigures != nullptr) {
        for (const auto& [key, value] : *mapFigures) {
            json[key] = MetaMetres(value);
        }
    }
    json["version"] = version;
    try {
        return json.dump(2) + "\n";
    } catch (const Json::type_error&) {
        // Only the seed can be other than UTF-8: every other string is the
        // program's own ASCII.
        json["seed"] = EachByteAsCharacter(seed);
        if (parameters.shape != nullptr) {
            json["shape"] = EachByteAsCharacter(parameters.shapeFile);
        }
        return json.dump(2, ' ', true) + "\n";
    }
}

bool WriteHeightMapMetadata(const std::string& path, std::string& error, const HeightMapFormat& format,
                            RowOrder rows, unsigned size, const TerrainParameters& parameters,
                            const TerrainNumbers& numbers, const std::string& version,
                            const HeightMapGround* ground)
{
    const std::string json = HeightMapMetadataJson(format, rows, size, parameters, numbers, version, ground);
    OutputFile out;
    if (out.Open(path) && out.Write(json.data(), json.size()) && out.Commit()) {
        return true;
    }
    error = out.Error();
    return false;
}
