#include "terrain/TerrainParameters.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace {

float Clamp(float value, float low, float high)
{
    if (value < low) {
        return low;
    }
    if (value > high) {
        return high;
    }
    return value;
}

}  // namespace

bool ParseBoundedFloat(const std::string& text, const char* option, const char* range, float low, float high,
                       float& value, std::string& error)
{
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const float parsed = std::strtof(begin, &end);
    const bool number = !text.empty() && end != begin && *end == '\0' && !std::isspace(static_cast<unsigned char>(*begin));
    if (!number || !std::isfinite(parsed) || parsed < low || parsed > high) {
        error = std::string(option) + " needs a number in " + range + ", not '" + text + "'";
        return false;
    }
    value = parsed;
    return true;
}

float ClampRoughness(float roughness) { return Clamp(roughness, minRoughness, maxRoughness); }

float ClampFalloffExponent(float exponent) { return Clamp(exponent, minFalloffExponent, maxFalloffExponent); }

float ClampSharpness(float sharpness) { return Clamp(sharpness, minSharpness, maxSharpness); }

bool ParseRoughness(const std::string& text, float& roughness, std::string& error)
{
    return ParseBoundedFloat(text, "--roughness", "[2^-16, 2^9] (0.0000152587890625 to 512)", minRoughness,
                        maxRoughness, roughness, error);
}

bool ParseFalloffExponent(const std::string& text, float& exponent, std::string& error)
{
    return ParseBoundedFloat(text, "--falloff", "[2^-16, 2^16] (0.0000152587890625 to 65536)", minFalloffExponent,
                        maxFalloffExponent, exponent, error);
}

bool ParseSeed(const std::string& text, TerrainSeed& seed, std::string& error)
{
    if (!TerrainSeed::FromText(text, seed)) {
        error = "--seed needs a text of 1 to 256 bytes, not one of " + std::to_string(text.size()) + " bytes";
        return false;
    }
    return true;
}

bool ReadValuedOption(int argc, const char* const* argv, int& i, const std::vector<std::string>& names,
                      std::string& name, std::string& value, std::string& error)
{
    name = argv[i];
    const size_t equals = name.find('=');
    const bool inlineValue = name.rfind("--", 0) == 0 && equals != std::string::npos;
    if (inlineValue) {
        value = name.substr(equals + 1);
        name.resize(equals);
    }
    bool known = false;
    for (const std::string& candidate : names) {
        known = known || name == candidate;
    }
    if (!known) {
        error = "unknown option '" + std::string(argv[i]) + "' (see --help)";
        return false;
    }
    if (!inlineValue) {
        if (i + 1 >= argc) {
            error = name + " needs a value (see --help)";
            return false;
        }
        value = argv[++i];
    }
    return true;
}

double LakeLeastShare(const TerrainParameters& parameters)
{
    if (!(parameters.lakeArea > 0.0f) || !(parameters.mapMetres > 0.0)) {
        return 0.0;
    }
    return static_cast<double>(parameters.lakeArea) / (parameters.mapMetres * parameters.mapMetres);
}
