#include "export/MeshGeometry.h"

#include <cmath>

float MeshCoordinate(unsigned index, unsigned count)
{
    // (index - c) / (count - 1) with c = (count - 1) / 2, kept in whole
    // numbers until the one division.
    const double twice = 2.0 * index - (double(count) - 1.0);
    return static_cast<float>(twice / (2.0 * (double(count) - 1.0)));
}

MeshPoint MeshVertexPosition(const Matrix2DInterface<float>& map, unsigned i, unsigned j)
{
    const float height = map.At(static_cast<int>(i), static_cast<int>(j));
    return MeshPoint{MeshCoordinate(i, map.GetWidth()), kMeshHeightScale * height,
                     MeshCoordinate(j, map.GetHeight())};
}

MeshPoint MeshVertexNormal(const Matrix2DInterface<float>& map, unsigned i, unsigned j)
{
    const unsigned width = map.GetWidth();
    const unsigned height = map.GetHeight();
    const unsigned left = i > 0 ? i - 1 : i;
    const unsigned right = i + 1 < width ? i + 1 : i;
    const unsigned near = j > 0 ? j - 1 : j;
    const unsigned far = j + 1 < height ? j + 1 : j;
    const MeshPoint l = MeshVertexPosition(map, left, j);
    const MeshPoint r = MeshVertexPosition(map, right, j);
    const MeshPoint n = MeshVertexPosition(map, i, near);
    const MeshPoint f = MeshVertexPosition(map, i, far);
    // Tangents along x and z; their cross product z-tangent x x-tangent
    // points up because both spans are positive.
    const double dx = double(r.x) - l.x;
    const double dyAlongX = double(r.y) - l.y;
    const double dz = double(f.z) - n.z;
    const double dyAlongZ = double(f.y) - n.y;
    const double nx = -dz * dyAlongX;
    const double ny = dz * dx;
    const double nz = -dx * dyAlongZ;
    const double length = std::sqrt(nx * nx + ny * ny + nz * nz);
    if (!(length > 0.0)) {
        return MeshPoint{0.0f, 1.0f, 0.0f};
    }
    return MeshPoint{float(nx / length), float(ny / length), float(nz / length)};
}

MeshPoint MeshTriangleNormal(const MeshPoint& a, const MeshPoint& b, const MeshPoint& c)
{
    const double ux = double(b.x) - a.x, uy = double(b.y) - a.y, uz = double(b.z) - a.z;
    const double vx = double(c.x) - a.x, vy = double(c.y) - a.y, vz = double(c.z) - a.z;
    const double nx = uy * vz - uz * vy;
    const double ny = uz * vx - ux * vz;
    const double nz = ux * vy - uy * vx;
    const double length = std::sqrt(nx * nx + ny * ny + nz * nz);
    if (!(length > 0.0)) {
        return MeshPoint{0.0f, 0.0f, 0.0f};
    }
    return MeshPoint{float(nx / length), float(ny / length), float(nz / length)};
}
