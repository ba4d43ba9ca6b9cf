#include "export/HeightMapMetadata.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "export/OutputFile.h"

namespace {

// The length of the well-formed UTF-8 sequence starting at bytes[at], or 0
// when there is none there: no overlong forms, no surrogates, nothing past
// U+10FFFF. The second byte's range carries all three rules; the rest are
// plain continuation bytes.
size_t Utf8SequenceLength(const std::string& bytes, size_t at)
{
    const auto byte = [&bytes](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    size_t length = 0;
    unsigned char secondLow = 0x80;
    unsigned char secondHigh = 0xBF;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) {
            secondLow = 0xA0;  // below is overlong
        } else if (lead == 0xED) {
            secondHigh = 0x9F;  // above is a surrogate
        }
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) {
            secondLow = 0x90;  // below is overlong
        } else if (lead == 0xF4) {
            secondHigh = 0x8F;  // above is past U+10FFFF
        }
    } else {
        return 0;
    }
    if (bytes.size() - at < length || byte(at + 1) < secondLow || byte(at + 1) > secondHigh) {
        return 0;
    }
    for (size_t i = 2; i < length; ++i) {
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

bool IsValidUtf8(const std::string& bytes)
{
    for (size_t at = 0; at < bytes.size();) {
        const size_t length = Utf8SequenceLength(bytes, at);
        if (length == 0) {
            return false;
        }
        at += length;
    }
    return true;
}

void AppendEscape(std::string& json, unsigned char byte)
{
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04x", byte);
    json += escape;
}

}  // namespace

std::string JsonString(const std::string& bytes)
{
    const bool keepNonAscii = IsValidUtf8(bytes);
    std::string json = "\"";
    for (const char c : bytes) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte == '"' || byte == '\\') {
            json += '\\';
            json += c;
        } else if (byte < 0x20 || byte == 0x7F || (byte >= 0x80 && !keepNonAscii)) {
            AppendEscape(json, byte);
        } else {
            json += c;
        }
    }
    return json + "\"";
}

namespace {

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

std::string JsonFloat(float value)
{
    if (!std::isfinite(value)) {
        return "null";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    return text;
}

// Ground figures in the fewest digits (15 to 17) that read back as the
// same double.
std::string JsonDouble(double value)
{
    if (!std::isfinite(value)) {
        return "null";
    }
    char text[40];
    for (int digits = 15; digits <= 17; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, value);
        if (std::strtod(text, nullptr) == value) {
            break;
        }
    }
    return text;
}

}  // namespace

std::string HeightMapMetadataJson(const HeightMapFormat& format, RowOrder rows, unsigned size,
                                  const TerrainParameters& parameters, const std::string& version,
                                  const HeightMapGround* ground)
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
    field("seed_hex", "\"" + LowercaseHex(parameters.seed.Text()) + "\"");
    field("roughness", JsonFloat(parameters.roughness));
    field("falloff", JsonFloat(parameters.falloffExponent));
    if (ground != nullptr) {
        const double extent = ground->cellSize * (size > 0 ? size - 1 : 0);
        field("cell_size_m", JsonDouble(ground->cellSize));
        field("extent_m", JsonDouble(extent));
        field("relief_m", JsonDouble(ground->relief));
        field("origin_x_m", JsonDouble(ground->originX));
        field("origin_y_m", JsonDouble(ground->originY));
        field("unreal_scale_x", JsonDouble(ground->cellSize * 100));
        field("unreal_scale_y", JsonDouble(ground->cellSize * 100));
        field("unreal_scale_z", JsonDouble(ground->relief * 100 / 512));
        field("unreal_location_z_cm", JsonDouble(ground->relief * 50));
        field("unity_width_m", JsonDouble(extent));
        field("unity_length_m", JsonDouble(extent));
        field("unity_height_m", JsonDouble(ground->relief));
    }
    field("version", JsonString(version), true);
    return json + "}\n";
}

bool WriteHeightMapMetadata(const std::string& path, const std::string& label, const HeightMapFormat& format,
                            RowOrder rows, unsigned size, const TerrainParameters& parameters,
                            const std::string& version, const HeightMapGround* ground)
{
    const std::string json = HeightMapMetadataJson(format, rows, size, parameters, version, ground);
    OutputFile out(label);
    return out.Open(path) && out.Write(json.data(), json.size()) && out.Commit();
}
