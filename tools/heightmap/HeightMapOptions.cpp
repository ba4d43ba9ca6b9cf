#include "HeightMapOptions.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

const char kHeightMapUsage[] =
    "usage: orvandel-heightmap [--roughness R] [--falloff E] [--format tga|pgm16|f32] --out FILE\n"
    "Generates the viewer's 129 x 129 heightmap, without a window, and writes it to FILE.\n"
    "  --roughness R  roughness of the generation, a positive number (default 0.5)\n"
    "  --falloff E    exponent of the radial falloff, a positive number (default 1.0)\n"
    "  --format F     tga   24-bit grey TGA, as the viewer's G key writes it (default)\n"
    "                 pgm16 binary PGM, maxval 65535, top row of the picture first\n"
    "                 f32   little-endian 32-bit floats, row y = 0 first, x fastest, no header\n"
    "  --out FILE     the file to write; an existing file is replaced\n"
    "  --help         print this text\n";

namespace {

// The whole text must be a finite number above zero, read as a 32-bit float.
bool ParsePositiveFloat(const char* text, float& value)
{
    char* end = nullptr;
    const float parsed = strtof(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(parsed) || !(parsed > 0.0f)) {
        return false;
    }
    value = parsed;
    return true;
}

bool ParseFormat(const char* text, HeightMapFormat& format)
{
    if (strcmp(text, "tga") == 0) {
        format = HeightMapFormat::Tga;
    } else if (strcmp(text, "pgm16") == 0) {
        format = HeightMapFormat::Pgm16;
    } else if (strcmp(text, "f32") == 0) {
        format = HeightMapFormat::F32;
    } else {
        return false;
    }
    return true;
}

}  // namespace

ParseOutcome ParseHeightMapOptions(int argc, char** argv, HeightMapOptions& options, std::string& error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help") {
            return ParseOutcome::Help;
        }
        const bool takesValue =
            option == "--roughness" || option == "--falloff" || option == "--format" || option == "--out";
        if (!takesValue) {
            error = "unknown option '" + option + "' (see --help)";
            return ParseOutcome::Refused;
        }
        if (i + 1 >= argc) {
            error = option + " needs a value (see --help)";
            return ParseOutcome::Refused;
        }
        const char* value = argv[++i];
        bool accepted = true;
        if (option == "--roughness") {
            accepted = ParsePositiveFloat(value, options.roughness);
        } else if (option == "--falloff") {
            accepted = ParsePositiveFloat(value, options.falloff);
        } else if (option == "--format") {
            accepted = ParseFormat(value, options.format);
        } else {
            options.out = value;
            accepted = !options.out.empty();
        }
        if (!accepted) {
            const char* wanted = option == "--format" ? "tga, pgm16 or f32"
                                 : option == "--out"  ? "a file name"
                                                      : "a finite positive number";
            error = option + " needs " + wanted + ", not '" + value + "'";
            return ParseOutcome::Refused;
        }
    }
    if (options.out.empty()) {
        error = "--out FILE is required (see --help)";
        return ParseOutcome::Refused;
    }
    return ParseOutcome::Run;
}
