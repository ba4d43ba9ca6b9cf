#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "math/Matrix4.h"
#include "math/Vector3.h"

// Four bytes (red, green, blue, alpha) for each grid point, grid row 0
// first, x fastest.
using VertexColours = std::vector<uint8_t>;

// The camera as the level of detail and the culling see it.
struct ChunkView {
    Matrix4 view;               // the view matrix the frame loaded
    Vector3 eye;                // the camera's position
    float tanHalfFovY = 0.0f;   // tan of half the vertical field of view
    float aspect = 1.0f;        // width / height
    float viewportHeight = 1.0f;  // pixels
    // The most, in pixels, a chunk drawn coarser may move the surface on
    // screen. 0 draws every chunk whole.
    float pixelError = 2.0f;
};

// A detailed map (33 cells a side or more, 2^k + 1) drawn as 16 x 16 chunks,
// each at its own level of detail (geomipmapping): a chunk far from the eye,
// or flat and of one colour, is drawn through fewer points, as long as that
// moves its surface (or smears its colours) by at most ChunkView::pixelError
// on screen, or its cells would be narrower than two pixels; neighbours at different levels are stitched
// (ChunkTriangles.h); chunks wholly outside the view, and the triangles
// facing away from the eye, are not drawn. The points keep the map's own heights: x = (i - c)/(N - 1),
// y = 0.2 h, z = (j - c)/(N - 1), c = (N - 1)/2, as the mesh exports place
// them. Fixed-function OpenGL with vertex buffers; no normals (the colours
// carry the light).
class TerrainChunks {
public:
    // Built on any thread, without OpenGL: heights holds cells^2 floats, each
    // colouring cells^2 VertexColours entries.
    TerrainChunks(unsigned cells, const float* heights, std::vector<VertexColours> colourings);
    // On the thread that owns the context once Draw has run.
    ~TerrainChunks();
    TerrainChunks(const TerrainChunks&) = delete;
    TerrainChunks& operator=(const TerrainChunks&) = delete;

    unsigned Cells() const { return cells; }

    // Draws with the given colouring; expects the projection and view to be
    // loaded and leaves the state as DrawTerrainMesh does. The first call
    // moves the points and colours into vertex buffers.
    void Draw(const ChunkView& view, unsigned colouring);

    // Of the last Draw: the chunks drawn and the triangles sent.
    unsigned ChunksDrawn() const { return chunksDrawn; }
    size_t TrianglesDrawn() const { return indices.size() / 3; }

private:
    struct Chunk {
        float low[3];   // the bounding box
        float high[3];
        // By colouring, then level: the largest move of the surface, world
        // units, its colours' changes counted in.
        std::vector<std::vector<float>> errors;
    };

    Chunk Measure(unsigned x0, unsigned y0, const std::vector<float>& worldHeights) const;
    void Upload();
    std::vector<int> ChooseLevels(const ChunkView& view, unsigned colouring) const;
    bool Visible(const Chunk& chunk, const ChunkView& view) const;
    const std::vector<uint32_t>& Triangles(unsigned level, const unsigned coarser[4]);

    unsigned cells;
    unsigned chunkCells;
    unsigned levels;
    std::vector<float> positions;
    std::vector<VertexColours> colourings;
    std::vector<Chunk> chunks;
    std::map<uint32_t, std::vector<uint32_t>> triangleCache;
    std::vector<uint32_t> indices;
    std::vector<unsigned> buffers;  // positions, then one per colouring
    unsigned chunksDrawn = 0;
};
