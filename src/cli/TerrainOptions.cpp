#include "cli/TerrainOptions.h"

#include <algorithm>
#include <cstdio>

#include "cli/CommandLineText.h"
#include "terrain/ShapeGrid.h"

namespace {

// Parameters in float fields share their reading, printing and default test.
template <float TerrainParameters::*Field>
float Number(const TerrainParameters& parameters)
{
    return parameters.*Field;
}

template <float TerrainParameters::*Field>
std::string FloatText(const TerrainParameters& parameters)
{
    return RoundTripFloatText(parameters.*Field);
}

template <float TerrainParameters::*Field>
bool AtDefault(const TerrainParameters& parameters)
{
    return parameters.*Field == TerrainParameters().*Field;
}

bool Never(const TerrainParameters&) { return false; }

bool ReadSeed(const std::string& text, TerrainParameters& parameters, std::string& error)
{
    return ParseSeed(text, parameters.seed, error);
}

std::string SeedText(const TerrainParameters& parameters) { return ShellQuoted(parameters.seed.Text()); }

bool SeedAtDefault(const TerrainParameters& parameters) { return parameters.seed.IsDefault(); }

bool ReadRoughness(const std::string& text, TerrainParameters& parameters, std::string& error)
{
    return ParseRoughness(text, parameters.roughness, error);
}

bool ReadFalloff(const std::string& text, TerrainParameters& parameters, std::string& error)
{
    parameters.shapeFalloff = true;
    return ParseFalloffExponent(text, parameters.falloffExponent, error);
}

// Under a shape the falloff applies, and is printed, only when asked for.
bool FalloffAtDefault(const TerrainParameters& parameters)
{
    return !parameters.shapeFile.empty() && !parameters.shapeFalloff;
}

// The file is only named here; the programs read it once every option is
// known (its float heights depend on --relief and --shape-range).
bool ReadShape(const std::string& text, TerrainParameters& parameters, std::string& error)
{
    if (text.empty()) {
        error = "--shape needs a raster file or builtin:continent, not an empty text";
        return false;
    }
    parameters.shapeFile = text;
    return true;
}

std::string ShapeText(const TerrainParameters& parameters) { return ShellQuoted(parameters.shapeFile); }

bool ShapeAtDefault(const TerrainParameters& parameters) { return parameters.shapeFile.empty(); }

bool ReadShapeRange(const std::string& text, TerrainParameters& parameters, std::string& error)
{
    const size_t comma = text.find(',');
    float low = 0.0f;
    float high = 0.0f;
    const char* accepted = "two numbers LOW,HIGH with LOW < HIGH";
    if (comma == std::string::npos ||
        !ParseBoundedFloat(text.substr(0, comma), "--shape-range", accepted, -3.4e38f, 3.4e38f, low, error) ||
        !ParseBoundedFloat(text.substr(comma + 1), "--shape-range", accepted, -3.4e38f, 3.4e38f, high, error) ||
        !(low < high)) {
        error = std::string("--shape-range needs ") + accepted + ", not '" + text + "'";
        return false;
    }
    parameters.shapeRangeGiven = true;
    parameters.shapeLow = low;
    parameters.shapeHigh = high;
    return true;
}

std::string ShapeRangeText(const TerrainParameters& parameters)
{
    return RoundTripFloatText(parameters.shapeLow) + "," + RoundTripFloatText(parameters.shapeHigh);
}

bool ShapeRangeAtDefault(const TerrainParameters& parameters) { return !parameters.shapeRangeGiven; }

bool ReadShapeTrust(const std::string& text, TerrainParameters& parameters, std::string& error)
{
    if (text == "auto") {
        parameters.shapeTrust = 0.0f;
        return true;
    }
    return ParseBoundedFloat(text, "--shape-trust", "[1, 16384] (samples of the shape), or auto", 1.0f, 16384.0f,
                             parameters.shapeTrust, error);
}

std::string ShapeTrustText(const TerrainParameters& parameters)
{
    return parameters.shapeTrust > 0.0f ? RoundTripFloatText(parameters.shapeTrust) : std::string("auto");
}

bool ShapeTrustAtDefault(const TerrainParameters& parameters) { return parameters.shapeTrust == 0.0f; }

bool ReadSharpness(const std::string& text, TerrainParameters& parameters, std::string& error)
{
    return ParseBoundedFloat(text, "--sharpness", "[2^-10, 2^10] (0.0009765625 to 1024)", minSharpness,
                             maxSharpness, parameters.sharpness, error);
}

bool ReadErosion(const std::string& text, TerrainParameters& parameters, std::string& error)
{
    return ParseBoundedFloat(text, "--erosion", "[0, 4]", minErosion, maxErosion, parameters.erosion, error);
}

// Metres as a text that reads back as the same double.
std::string MetresText(double metres)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", metres);
    return text;
}

// The area is read in m^2; the map's metres come from --extent later.
bool ReadLakes(const std::string& text, TerrainParameters& parameters, std::string& error)
{
    if (text == "none") {
        parameters.lakeArea = 0.0f;
        return true;
    }
    return ParseBoundedFloat(text, "--lakes", "[1, 1e12] (m^2, the least lake's area), or none", 1.0f, 1e12f,
                             parameters.lakeArea, error);
}

std::string LakesText(const TerrainParameters& parameters)
{
    return parameters.lakeArea > 0.0f ? RoundTripFloatText(parameters.lakeArea) : std::string("none");
}

bool LakesAtDefault(const TerrainParameters& parameters) { return !(parameters.lakeArea > 0.0f); }

const std::vector<TerrainOption> table = {
    {"--seed", "TEXT", "1 to 256 bytes of text (default: the viewer's seed)", nullptr, ReadSeed, SeedText,
     SeedAtDefault, nullptr},
    {"--roughness", "R", "2^-16 to 2^9, how much detail each finer level keeps (default 0.5)", "roughness",
     ReadRoughness, FloatText<&TerrainParameters::roughness>, Never, Number<&TerrainParameters::roughness>},
    {"--falloff", "E", "2^-16 to 2^16, exponent of the island's radial falloff (default 1)", "falloff",
     ReadFalloff, FloatText<&TerrainParameters::falloffExponent>, FalloffAtDefault,
     Number<&TerrainParameters::falloffExponent>},
    {"--sharpness", "K", "2^-10 to 2^10, how steeply the remap lifts the land (default 3: a mesa; 0.25: slopes)",
     "sharpness", ReadSharpness, FloatText<&TerrainParameters::sharpness>, AtDefault<&TerrainParameters::sharpness>,
     Number<&TerrainParameters::sharpness>},
    {"--erosion", "E", "0 to 4, how long water and gravity wear the land (default 0: none; 1: natural)", "erosion",
     ReadErosion, FloatText<&TerrainParameters::erosion>, AtDefault<&TerrainParameters::erosion>,
     Number<&TerrainParameters::erosion>},
    {"--shape", "FILE", "the large shape: a raster GDAL reads, or builtin:continent (default: the island)",
     nullptr, ReadShape, ShapeText, ShapeAtDefault, nullptr},
    {"--shape-range", "LOW,HIGH",
     "the shape's values at heights 0 and 1 (default: 0 to the type's largest; floats: metres over the relief)",
     nullptr, ReadShapeRange, ShapeRangeText, ShapeRangeAtDefault, nullptr},
    {"--shape-trust", "S",
     "auto, or 1 to 16384: the shape's relief is kept at wavelengths of S samples and more, the seed's added "
     "below (default auto: where the shape is smoother than land)",
     nullptr, ReadShapeTrust, ShapeTrustText, ShapeTrustAtDefault, nullptr},
    {"--lakes", "AREA",
     "1 to 1e12, or none: erosion keeps depressions of at least AREA m^2 as lakes at their spill height "
     "(default none: every pit filled; needs --erosion)",
     "lakes_min_area_m2", ReadLakes, LakesText, LakesAtDefault, Number<&TerrainParameters::lakeArea>, true},
};

}  // namespace

const std::vector<TerrainOption>& TerrainOptions() { return table; }

std::vector<std::string> TerrainOptionNames(bool forViewer)
{
    std::vector<std::string> names;
    for (const TerrainOption& option : table) {
        if (forViewer && option.heightmapOnly) {
            continue;
        }
        names.push_back(option.name);
    }
    return names;
}

const TerrainOption* FindTerrainOption(const std::string& name)
{
    for (const TerrainOption& option : table) {
        if (name == option.name) {
            return &option;
        }
    }
    return nullptr;
}

std::string TerrainOptionsUsage(size_t column, bool forViewer)
{
    std::string usage;
    for (const TerrainOption& option : table) {
        if (forViewer && option.heightmapOnly) {
            continue;
        }
        std::string line = std::string("  ") + option.name + " " + option.valueName;
        line.resize(std::max(column, line.size() + 1), ' ');
        usage += line + option.help + "\n";
    }
    return usage;
}

std::string TerrainOptionsCommand(const TerrainParameters& parameters)
{
    std::string command;
    for (const TerrainOption& option : table) {
        if (!option.atDefault(parameters)) {
            command += std::string(" ") + option.name + " " + option.text(parameters);
        }
    }
    return command;
}

std::vector<std::pair<std::string, float>> TerrainMetaNumbers(const TerrainParameters& parameters)
{
    std::vector<std::pair<std::string, float>> numbers;
    for (const TerrainOption& option : table) {
        // A shape's falloff, unless asked for, is not applied: left out, so
        // the record still rebuilds the map.
        if (option.read == ReadFalloff && FalloffAtDefault(parameters)) {
            continue;
        }
        // Maps without lakes keep the keys they always had.
        if (option.read == ReadLakes && LakesAtDefault(parameters)) {
            continue;
        }
        if (option.metaKey != nullptr) {
            numbers.emplace_back(option.metaKey, option.number(parameters));
        }
    }
    return numbers;
}

std::vector<std::pair<std::string, std::string>> TerrainWorldEntries(const TerrainParameters& parameters)
{
    const ShapeGrid* shape = parameters.shapeFile.empty() ? nullptr : parameters.shape.get();
    std::vector<std::pair<std::string, std::string>> entries;
    for (const TerrainOption& option : table) {
        // Without lakes a world is what it was before lakes were an option,
        // so records and stages made then still match.
        if (option.read == ReadLakes && LakesAtDefault(parameters)) {
            continue;
        }
        std::string value = option.text(parameters);
        if (option.read == ReadShape) {
            value = shape != nullptr ? shape->checksum : "none";
        } else if (option.read == ReadShapeRange) {
            value = shape != nullptr && !shape->range.empty() ? shape->range : "none";
        } else if (option.read == ReadFalloff && FalloffAtDefault(parameters)) {
            value = "none";
        } else if (option.read == ReadLakes) {
            // The area is of the world's ground: its metres across count too.
            value += " m^2 of " + MetresText(parameters.mapMetres) + " m across";
        }
        entries.emplace_back(option.name, OneLine(value));
    }
    return entries;
}
