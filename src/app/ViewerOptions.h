#pragma once

#include <string>

#include "app/SurfaceColours.h"
#include "terrain/TerrainParameters.h"

// The viewer's command line: every option is optional, and without any the
// viewer starts from its fixed seed, roughness 0.5, falloff exponent 1.0,
// sharpness 3 and no erosion, in the height view at 129. The terrain options
// are the terrain options' table, read and bounded exactly as
// orvandel-heightmap reads them.

enum class ViewerStart { Run, Help, Refused };

// How the viewer shows the terrain.
struct ViewerDisplay {
    ViewMode view = ViewMode::Height;
    unsigned detail = 129;       // 129, 257, 513 or 1025 cells a side
    unsigned timedemoFrames = 0;  // 0: no timedemo
};

// Reads argv into parameters and display. Refused leaves one line (no
// newline) in error; Help means print ViewerUsage() and end.
ViewerStart ParseViewerOptions(int argc, const char* const* argv, TerrainParameters& parameters,
                               ViewerDisplay& display, std::string& error);
// The same for a caller that needs only the terrain: the display options
// are checked and left out.
ViewerStart ParseViewerOptions(int argc, const char* const* argv, TerrainParameters& parameters,
                               std::string& error);

std::string ViewerUsage();
