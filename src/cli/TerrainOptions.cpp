#include "cli/TerrainOptions.h"

#include <algorithm>

#include "cli/CommandLineText.h"

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
    return ParseFalloffExponent(text, parameters.falloffExponent, error);
}

bool ReadSharpness(const std::string& text, TerrainParameters& parameters, std::string& error)
{
    return ParseBoundedFloat(text, "--sharpness", "[2^-10, 2^10] (0.0009765625 to 1024)", minSharpness,
                             maxSharpness, parameters.sharpness, error);
}

bool ReadErosion(const std::string& text, TerrainParameters& parameters, std::string& error)
{
    return ParseBoundedFloat(text, "--erosion", "[0, 4]", minErosion, maxErosion, parameters.erosion, error);
}

const std::vector<TerrainOption> table = {
    {"--seed", "TEXT", "1 to 256 bytes of text (default: the viewer's seed)", nullptr, ReadSeed, SeedText,
     SeedAtDefault, nullptr},
    {"--roughness", "R", "2^-16 to 2^9, how much detail each finer level keeps (default 0.5)", "roughness",
     ReadRoughness, FloatText<&TerrainParameters::roughness>, Never, Number<&TerrainParameters::roughness>},
    {"--falloff", "E", "2^-16 to 2^16, exponent of the island's radial falloff (default 1)", "falloff",
     ReadFalloff, FloatText<&TerrainParameters::falloffExponent>, Never,
     Number<&TerrainParameters::falloffExponent>},
    {"--sharpness", "K", "2^-10 to 2^10, how steeply the remap lifts the land (default 3: a mesa; 0.25: slopes)",
     "sharpness", ReadSharpness, FloatText<&TerrainParameters::sharpness>, AtDefault<&TerrainParameters::sharpness>,
     Number<&TerrainParameters::sharpness>},
    {"--erosion", "E", "0 to 4, how long water and gravity wear the land (default 0: none; 1: natural)", "erosion",
     ReadErosion, FloatText<&TerrainParameters::erosion>, AtDefault<&TerrainParameters::erosion>,
     Number<&TerrainParameters::erosion>},
};

}  // namespace

const std::vector<TerrainOption>& TerrainOptions() { return table; }

std::vector<std::string> TerrainOptionNames()
{
    std::vector<std::string> names;
    for (const TerrainOption& option : table) {
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

std::string TerrainOptionsUsage(size_t column)
{
    std::string usage;
    for (const TerrainOption& option : table) {
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
        if (option.metaKey != nullptr) {
            numbers.emplace_back(option.metaKey, option.number(parameters));
        }
    }
    return numbers;
}
