#pragma once

#include <string>

enum class HeightMapFormat { Tga, Pgm16, F32 };

// Defaults are the viewer's start-up parameters.
struct HeightMapOptions {
    float roughness = 0.5f;
    float falloff = 1.0f;
    HeightMapFormat format = HeightMapFormat::Tga;
    std::string out;
};

enum class ParseOutcome { Run, Help, Refused };

// Reads argv into options. On Refused, error holds a one-line reason.
ParseOutcome ParseHeightMapOptions(int argc, char** argv, HeightMapOptions& options, std::string& error);

extern const char kHeightMapUsage[];
