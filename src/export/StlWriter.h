#pragma once

#include "landing/OutputFile.h"
#include "terrain/Matrix2DInterface.h"

// Binary STL of the viewer's mesh made solid: the surface triangles as in
// the OBJ, four side walls from the border vertices down to the base plane,
// and a base there, fanned from its centre to every border vertex so that
// every edge is shared by exactly two facets, in opposite directions. Facets
// face outwards; each carries its own normal.
bool WriteHeightMapStl(const Matrix2DInterface<float>& map, OutputFile& out);
