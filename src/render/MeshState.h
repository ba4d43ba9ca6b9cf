#pragma once

// The state both terrain drawings need, set at the start of each: the
// overlay of the previous frame leaves depth testing off and, with a font,
// texturing on; the terrain needs opaque, depth-tested, untextured fill.
void BeginTerrainState();
