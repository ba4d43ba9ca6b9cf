#pragma once

#include <string>
#include <vector>

#include "render/ColourRGBA.h"
#include "render/TerrainChunks.h"
#include "terrain/Array2D.h"

// How the viewer colours the terrain:
// - Height: grey equal to the height (the viewer's own picture);
// - Shaded: grey lit as the tool's shade map lights it (the sun at azimuth
//   315 degrees, 45 degrees up), from the same per-cell gradient;
// - Colour: the sea (at or below the tool's sea level) in one colour, the
//   land in the tool's splat weights' sand, grass, rock and snow, lit as in
//   Shaded.
// The map stands for the tool's default ground (10 km across, 2 km of
// relief) with its default splat thresholds, whatever its size.
enum class ViewMode { Height, Shaded, Colour };
constexpr int kViewModeCount = 3;

// "height", "shaded", "colour".
const char* ViewModeName(ViewMode mode);
// False, leaving mode as it was, for any other text.
bool ParseViewMode(const std::string& text, ViewMode& mode);
// Height, Shaded, Colour, then Height again.
ViewMode NextViewMode(ViewMode mode);

// The colour of every cell, grid row 0 first, x fastest, on this thread.
std::vector<ColourRGBA> SurfaceColours(const Array2D<float>& map, ViewMode mode);
// The same as bytes, each component rounded, for the vertex buffers.
VertexColours SurfaceColourBytes(const Array2D<float>& map, ViewMode mode);
