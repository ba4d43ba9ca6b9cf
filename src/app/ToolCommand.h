#pragma once

#include <string>

#include "terrain/TerrainParameters.h"

// The orvandel-heightmap command that makes the map of these parameters at
// any size: a size x size 16-bit PNG as printed (1025 unless the viewer
// draws a larger detail), and, with --size 129 --format tga, the very file
// the viewer's G writes. The seed is left out when it is the viewer's fixed
// one.
std::string HeightMapToolCommand(const TerrainParameters& parameters, unsigned size = 1025);

// The line the viewer prints after G has written writtenPath:
// wrote "NAME"; at any size: COMMAND
std::string ExportReport(const std::string& writtenPath, const TerrainParameters& parameters, unsigned size = 1025);
