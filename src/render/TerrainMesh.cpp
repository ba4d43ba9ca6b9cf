#include <GL/gl.h>

#include <cassert>

#include "math/Vector3.h"
#include "render/ColourRGBA.h"
#include "render/MeshState.h"
#include "render/Render.h"

namespace {

// The mesh covers the 129 x 129 height map: 128 x 128 cells, each 1/128 wide
// in x and z, with grid point (64, 64) at the origin.
constexpr int cellCount = 128;
constexpr int gridCentre = 64;
constexpr float cellSize = 0.0078125f;  // 1/128
constexpr float heightScale = 0.2f;

// One grid point as the mesh sends it: its world position and a grey equal to
// its unscaled height.
struct MeshVertex {
    Vector3 position;
    ColourRGBA colour;
};

// Grey equal to the height unless the caller gives the colours.
MeshVertex VertexAt(int gridX, int gridY, float height, const ColourRGBA* colours, unsigned width)
{
    const ColourRGBA colour = colours ? colours[size_t(gridY) * width + size_t(gridX)]
                                      : ColourRGBA{height, height, height, 1.0f};
    return MeshVertex{Vector3((gridX - gridCentre) * cellSize, heightScale * height,
                              (gridY - gridCentre) * cellSize),
                      colour};
}

void SendNormal(const Vector3& normal)
{
    const GLfloat components[3] = {normal.x, normal.y, normal.z};
    glNormal3fv(components);
}

void SendVertex(const MeshVertex& vertex)
{
    const GLfloat colour[4] = {vertex.colour.r, vertex.colour.g, vertex.colour.b, vertex.colour.a};
    glColor4fv(colour);
    const GLfloat position[3] = {vertex.position.x, vertex.position.y, vertex.position.z};
    glVertex3fv(position);
}

}  // namespace

void BeginTerrainState()
{
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glDisable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, 0);
}

void DrawTerrainMesh(Array2D<float>& heightMap, const ColourRGBA* colours)
{
    assert(heightMap.GetWidth() > unsigned(cellCount) && heightMap.GetHeight() > unsigned(cellCount));
    const unsigned width = heightMap.GetWidth();

    BeginTerrainState();
    glBegin(GL_TRIANGLES);
    for (int i = 0; i < cellCount; ++i) {
        // Walking along j, a cell's far edge (j + 1) is the next cell's near
        // edge, so each grid point is read once per column pair.
        MeshVertex p00 = VertexAt(i, 0, heightMap.At(i, 0), colours, width);
        MeshVertex p10 = VertexAt(i + 1, 0, heightMap.At(i + 1, 0), colours, width);
        for (int j = 0; j < cellCount; ++j) {
            const MeshVertex p01 = VertexAt(i, j + 1, heightMap.At(i, j + 1), colours, width);
            const MeshVertex p11 = VertexAt(i + 1, j + 1, heightMap.At(i + 1, j + 1), colours, width);

            // Split along the P00-P11 diagonal; both halves wind the same way.
            SendNormal(TriangleNormal(p00.position, p10.position, p11.position));
            SendVertex(p00);
            SendVertex(p10);
            SendVertex(p11);
            SendNormal(TriangleNormal(p00.position, p11.position, p01.position));
            SendVertex(p00);
            SendVertex(p11);
            SendVertex(p01);

            p00 = p01;
            p10 = p11;
        }
    }
    glEnd();
}
