#pragma once

#include <string>

#include "terrain/TerrainParameters.h"

// The viewer's command line: every option is optional, and without any the
// viewer starts from its fixed seed, roughness 0.5, falloff exponent 1.0,
// sharpness 3 and no erosion. The options are the terrain options' table,
// read and bounded exactly as orvandel-heightmap reads them.

enum class ViewerStart { Run, Help, Refused };

// Reads argv into parameters. Refused leaves one line (no newline) in error;
// Help means print ViewerUsage() and end.
ViewerStart ParseViewerOptions(int argc, const char* const* argv, TerrainParameters& parameters,
                               std::string& error);

std::string ViewerUsage();
