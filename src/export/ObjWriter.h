#pragma once

#include "landing/OutputFile.h"
#include "terrain/Matrix2DInterface.h"

// Wavefront OBJ of the viewer's mesh: "v x y z" for every cell, grid row 0
// first and x fastest (so cell (i, j) is vertex j * N + i + 1), then one
// "vn" a vertex, then two triangles a grid cell, "f a//a b//b c//c", wound so
// that their normals point up (+y). Positions are MeshVertexPosition's.
bool WriteHeightMapObj(const Matrix2DInterface<float>& map, OutputFile& out);
