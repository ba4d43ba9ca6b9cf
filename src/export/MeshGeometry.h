#pragma once

#include "terrain/Matrix2DInterface.h"

// The viewer's mesh of a map, shared by the mesh formats. Vertex (i, j) is
// cell At(i, j): x = (i - c) / (N - 1) with c = (N - 1) / 2, so the map spans
// -0.5 to 0.5; y = 0.2 * v; z likewise from j.

constexpr float kMeshHeightScale = 0.2f;
// The plane the STL's walls reach down to and its base lies in.
constexpr float kMeshBaseY = -0.05f;

struct MeshPoint {
    float x;
    float y;
    float z;
};

// x (or z) of grid column (or row) index among count.
float MeshCoordinate(unsigned index, unsigned count);

MeshPoint MeshVertexPosition(const Matrix2DInterface<float>& map, unsigned i, unsigned j);

// The vertex normal from the neighbouring vertices (central differences,
// one-sided at the border); unit length, its y always positive.
MeshPoint MeshVertexNormal(const Matrix2DInterface<float>& map, unsigned i, unsigned j);

// Unit normal of the triangle a, b, c by the right-hand rule; zero for a
// degenerate one.
MeshPoint MeshTriangleNormal(const MeshPoint& a, const MeshPoint& b, const MeshPoint& c);
