#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "terrain/TerrainSeed.h"

// Bounds that keep every generated cell finite and in [0, 1]: past them the
// raw heights overflow (roughness) or the falloff's pow leaves the normal
// floats (exponent). The viewer's keys stop at them; the command lines refuse
// values outside them.
constexpr float minRoughness = 1.0f / 65536.0f;  // 2^-16
constexpr float maxRoughness = 512.0f;           // 2^9
constexpr float minFalloffExponent = 1.0f / 65536.0f;  // 2^-16
constexpr float maxFalloffExponent = 65536.0f;         // 2^16
// Sharpness (the remap's steepness): any value in these bounds keeps every
// cell in [0, 1]; they are where the slopes stop changing visibly.
constexpr float minSharpness = 1.0f / 1024.0f;  // 2^-10
constexpr float maxSharpness = 1024.0f;         // 2^10
constexpr float defaultSharpness = 3.0f;
// Erosion amount: 0 is off, 1 the recommended look, 4 the most it carves.
constexpr float minErosion = 0.0f;
constexpr float maxErosion = 4.0f;

struct ShapeGrid;

// What a terrain is made from; the defaults are the viewer's start-up values.
struct TerrainParameters {
    TerrainSeed seed = TerrainSeed::Default();
    float roughness = 0.5f;
    float falloffExponent = 1.0f;
    float sharpness = defaultSharpness;
    float erosion = 0.0f;

    // --shape: the file (or builtin:NAME) as given, empty for the island;
    // `shape` is what was read from it (the programs load it after parsing).
    std::string shapeFile;
    std::shared_ptr<const ShapeGrid> shape;
    // --shape-range LOW,HIGH: the raster values that become heights 0 and 1.
    bool shapeRangeGiven = false;
    float shapeLow = 0.0f;
    float shapeHigh = 1.0f;
    // A shape is not pulled in by the falloff unless --falloff was given.
    bool shapeFalloff = false;
    // Cells of the generated map on each side outside the window that is
    // written (--size 8129 is the centred window of 8193): the shape covers
    // the written window.
    uint32_t shapeMargin = 0;
    // --shape-trust S: the shape's own relief is trusted at wavelengths of
    // S of its samples and more; the seed adds relief below (ShapeRelief.h).
    // 0: from the shape's own content.
    float shapeTrust = 0.0f;
    // --lakes AREA: depressions of at least AREA m^2 are kept as lakes by
    // erosion (0: none, every pit filled). The area is measured with
    // mapMetres, the metres across the whole generated map, which the
    // heightmap tool sets from --extent.
    float lakeArea = 0.0f;
    double mapMetres = 0.0;
};

// The least lake as a share of the map's area: 0 without --lakes.
double LakeLeastShare(const TerrainParameters& parameters);

float ClampRoughness(float roughness);
float ClampFalloffExponent(float exponent);
float ClampSharpness(float sharpness);

// Command-line readers shared by the viewer and the heightmap tool. Each reads
// the whole text; on failure it returns false and sets error to one line
// naming the option, the bad value and what is accepted.
bool ParseRoughness(const std::string& text, float& roughness, std::string& error);
bool ParseFalloffExponent(const std::string& text, float& exponent, std::string& error);
bool ParseSeed(const std::string& text, TerrainSeed& seed, std::string& error);

// The whole text must be a number; it is read as a 32-bit float, so "0.62"
// means the float nearest 0.62, as in the viewer. Refused outside [low,
// high] with "OPTION needs a number in RANGE, not 'TEXT'".
bool ParseBoundedFloat(const std::string& text, const char* option, const char* range, float low, float high,
                       float& value, std::string& error);

// Reads the option at argv[i] when it is one of `names`, each taking a value
// written "--name value" or "--name=value", and moves i onto its value. False,
// with error set, for an option not among them or a missing value; the error
// quotes the argument as it is, for the caller to escape.
bool ReadValuedOption(int argc, const char* const* argv, int& i, const std::vector<std::string>& names,
                      std::string& name, std::string& value, std::string& error);
