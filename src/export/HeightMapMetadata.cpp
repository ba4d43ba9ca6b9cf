#include "export/HeightMapMetadata.h"

#include <cmath>
#include <cstdio>

#include "export/OutputFile.h"

std::string JsonString(const std::string& bytes)
{
    std::string json = "\"";
    for (const char c : bytes) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte == '"' || byte == '\\') {
            json += '\\';
            json += c;
        } else if (byte < 0x20 || byte >= 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            json += escape;
        } else {
            json += c;
        }
    }
    return json + "\"";
}

namespace {

std::string JsonFloat(float value)
{
    if (!std::isfinite(value)) {
        return "null";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    return text;
}

}  // namespace

std::string HeightMapMetadataJson(const HeightMapFormat& format, RowOrder rows, unsigned size,
                                  const TerrainParameters& parameters, const std::string& version)
{
    if (!format.acceptsRowOrder) {
        rows = format.defaultRows;
    }
    std::string rowOrder = "\"none\"";
    std::string firstRow = "null";
    if (format.hasRows) {
        rowOrder = rows == RowOrder::TopFirst ? "\"top_first\"" : "\"bottom_first\"";
        firstRow = std::to_string(rows == RowOrder::TopFirst && size > 0 ? size - 1 : 0);
    }
    const std::string side = std::to_string(size);
    std::string json = "{\n";
    const auto field = [&json](const char* key, const std::string& value, bool last = false) {
        json += std::string("  \"") + key + "\": " + value + (last ? "\n" : ",\n");
    };
    field("format", JsonString(format.name));
    field("width", side);
    field("height", side);
    field("sample_type", JsonString(format.sampleType));
    field("byte_order", JsonString(format.byteOrder));
    field("row_order", rowOrder);
    field("first_row", firstRow);
    field("value_min", format.valueMinimum);
    field("value_max", format.valueMaximum);
    field("value_meaning", JsonString(format.valueMeaning));
    field("size", side);
    field("seed", JsonString(parameters.seed.Text()));
    field("roughness", JsonFloat(parameters.roughness));
    field("falloff", JsonFloat(parameters.falloffExponent));
    field("version", JsonString(version), true);
    return json + "}\n";
}

bool WriteHeightMapMetadata(const std::string& path, const std::string& label, const HeightMapFormat& format,
                            RowOrder rows, unsigned size, const TerrainParameters& parameters,
                            const std::string& version)
{
    const std::string json = HeightMapMetadataJson(format, rows, size, parameters, version);
    OutputFile out(label);
    return out.Open(path) && out.Write(json.data(), json.size()) && out.Commit();
}
