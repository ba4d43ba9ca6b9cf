// Vertex buffers are OpenGL 1.5; the system's libGL exports their entry
// points, as it does those of 1.1.
#define GL_GLEXT_PROTOTYPES
#include "render/TerrainChunks.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cassert>
#include <cmath>

#include "render/ChunkTriangles.h"
#include "render/MeshState.h"

namespace {

constexpr unsigned kChunksPerSide = 16;
constexpr float kHeightScale = 0.2f;
constexpr float kNearPlane = 0.01f;
// Cells narrower on screen than this many pixels show little but aliasing
// that a coarser level does not: under llvmpipe every triangle costs, and a
// 1025 map seen whole would otherwise send more triangles than pixels.
constexpr float kNarrowestCellPixels = 2.0f;

unsigned Log2(unsigned value)
{
    unsigned log = 0;
    while ((1u << (log + 1)) <= value) {
        ++log;
    }
    return log;
}

// The largest difference between a value over the full grid and the value
// interpolated through every step-th point, over the chunk of `cells` cells
// from (x0, y0); value(x, y) is read at grid points. The coarse quads split
// along the same diagonal as the fine ones.
template <typename Value>
float CoarseningError(const Value& value, unsigned x0, unsigned y0, unsigned cells, unsigned step)
{
    float worst = 0.0f;
    for (unsigned qy = y0; qy < y0 + cells; qy += step) {
        for (unsigned qx = x0; qx < x0 + cells; qx += step) {
            const float h00 = value(qx, qy);
            const float h10 = value(qx + step, qy);
            const float h11 = value(qx + step, qy + step);
            const float h01 = value(qx, qy + step);
            for (unsigned j = 0; j <= step; ++j) {
                for (unsigned i = 0; i <= step; ++i) {
                    const float u = float(i) / step;
                    const float v = float(j) / step;
                    const float coarse = i >= j ? h00 + u * (h10 - h00) + v * (h11 - h10)
                                                : h00 + v * (h01 - h00) + u * (h11 - h01);
                    worst = std::max(worst, std::fabs(value(qx + i, qy + j) - coarse));
                }
            }
        }
    }
    return worst;
}

}  // namespace

TerrainChunks::TerrainChunks(unsigned cells, const float* heights, std::vector<VertexColours> colourings)
    : cells(cells),
      chunkCells((cells - 1) / kChunksPerSide),
      levels(Log2(chunkCells) + 1),
      colourings(std::move(colourings))
{
    assert(cells >= 33 && ((cells - 1) & (cells - 2)) == 0);
    const int centre = int(cells - 1) / 2;
    const float spacing = 1.0f / float(cells - 1);  // a power of two: exact
    positions.resize(size_t(cells) * cells * 3);
    std::vector<float> worldHeights(size_t(cells) * cells);
    for (unsigned y = 0; y < cells; ++y) {
        for (unsigned x = 0; x < cells; ++x) {
            const size_t i = size_t(y) * cells + x;
            worldHeights[i] = kHeightScale * heights[i];
            positions[3 * i] = float(int(x) - centre) * spacing;
            positions[3 * i + 1] = worldHeights[i];
            positions[3 * i + 2] = float(int(y) - centre) * spacing;
        }
    }
    for (unsigned cy = 0; cy < kChunksPerSide; ++cy) {
        for (unsigned cx = 0; cx < kChunksPerSide; ++cx) {
            chunks.push_back(Measure(cx * chunkCells, cy * chunkCells, worldHeights));
        }
    }
}

TerrainChunks::Chunk TerrainChunks::Measure(unsigned x0, unsigned y0, const std::vector<float>& worldHeights) const
{
    const float spacing = 1.0f / float(cells - 1);
    Chunk chunk;
    chunk.low[0] = positions[3 * x0];
    chunk.high[0] = positions[3 * (x0 + chunkCells)];
    chunk.low[2] = positions[3 * size_t(y0) * cells + 2];
    chunk.high[2] = positions[3 * size_t(y0 + chunkCells) * cells + 2];
    chunk.low[1] = chunk.high[1] = worldHeights[size_t(y0) * cells + x0];
    for (unsigned y = y0; y <= y0 + chunkCells; ++y) {
        for (unsigned x = x0; x <= x0 + chunkCells; ++x) {
            chunk.low[1] = std::min(chunk.low[1], worldHeights[size_t(y) * cells + x]);
            chunk.high[1] = std::max(chunk.high[1], worldHeights[size_t(y) * cells + x]);
        }
    }
    std::vector<float> heightErrors(levels, 0.0f);
    for (unsigned level = 1; level < levels; ++level) {
        heightErrors[level] = CoarseningError(
            [&](unsigned x, unsigned y) { return worldHeights[size_t(y) * cells + x]; }, x0, y0, chunkCells,
            1u << level);
    }
    // A colour smeared over a coarse cell counts as a move of the surface by
    // the colour's change (0 to 1) times the cell's width: a coast drawn
    // coarse would otherwise spread sand over the sea.
    for (const VertexColours& colours : colourings) {
        std::vector<float> errors(1, 0.0f);
        for (unsigned level = 1; level < levels; ++level) {
            const unsigned step = 1u << level;
            float error = heightErrors[level];
            for (int channel = 0; channel < 3; ++channel) {
                const float colourError = CoarseningError(
                    [&](unsigned x, unsigned y) { return colours[4 * (size_t(y) * cells + x) + channel] * (1.0f / 255); },
                    x0, y0, chunkCells, step);
                error = std::max(error, colourError * step * spacing);
            }
            // A coarser level never counts as closer than a finer one.
            errors.push_back(std::max(error, errors.back()));
        }
        chunk.errors.push_back(std::move(errors));
    }
    return chunk;
}

TerrainChunks::~TerrainChunks()
{
    if (!buffers.empty()) {
        glDeleteBuffers(GLsizei(buffers.size()), buffers.data());
    }
}

void TerrainChunks::Upload()
{
    buffers.resize(1 + colourings.size());
    glGenBuffers(GLsizei(buffers.size()), buffers.data());
    glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(positions.size() * sizeof(float)), positions.data(), GL_STATIC_DRAW);
    for (size_t k = 0; k < colourings.size(); ++k) {
        glBindBuffer(GL_ARRAY_BUFFER, buffers[1 + k]);
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(colourings[k].size()), colourings[k].data(), GL_STATIC_DRAW);
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    // The buffers hold them now.
    positions = std::vector<float>();
    colourings = std::vector<VertexColours>();
}

bool TerrainChunks::Visible(const Chunk& chunk, const ChunkView& view) const
{
    const float* m = view.view.m;
    const float tanX = view.tanHalfFovY * view.aspect;
    const float tanY = view.tanHalfFovY;
    // Outside when all eight corners lie beyond one plane of the frustum
    // (near, left, right, bottom, top), in the camera's space.
    bool beyond[5] = {true, true, true, true, true};
    for (int corner = 0; corner < 8; ++corner) {
        const float x = (corner & 1) ? chunk.high[0] : chunk.low[0];
        const float y = (corner & 2) ? chunk.high[1] : chunk.low[1];
        const float z = (corner & 4) ? chunk.high[2] : chunk.low[2];
        const float cx = m[0] * x + m[4] * y + m[8] * z + m[12];
        const float cy = m[1] * x + m[5] * y + m[9] * z + m[13];
        const float depth = -(m[2] * x + m[6] * y + m[10] * z + m[14]);
        beyond[0] = beyond[0] && depth < kNearPlane;
        beyond[1] = beyond[1] && cx < -depth * tanX;
        beyond[2] = beyond[2] && cx > depth * tanX;
        beyond[3] = beyond[3] && cy < -depth * tanY;
        beyond[4] = beyond[4] && cy > depth * tanY;
    }
    return !(beyond[0] || beyond[1] || beyond[2] || beyond[3] || beyond[4]);
}

std::vector<int> TerrainChunks::ChooseLevels(const ChunkView& view, unsigned colouring) const
{
    const float pixelsAtUnitDistance = view.viewportHeight / (2.0f * view.tanHalfFovY);
    std::vector<int> chosen(chunks.size(), 0);
    if (view.pixelError <= 0.0f) {
        return chosen;
    }
    for (size_t k = 0; k < chunks.size(); ++k) {
        const Chunk& chunk = chunks[k];
        const std::vector<float>& errors = chunk.errors[colouring];
        const float eye[3] = {view.eye.x, view.eye.y, view.eye.z};
        float squared = 0.0f;
        for (int axis = 0; axis < 3; ++axis) {
            const float outside = std::max({chunk.low[axis] - eye[axis], 0.0f, eye[axis] - chunk.high[axis]});
            squared += outside * outside;
        }
        const float distance = std::sqrt(squared);
        // A level is fine enough while it moves the surface by at most
        // pixelError on screen; and one whose cells would be narrower than
        // kNarrowestCellPixels gives way to the next.
        const float cellPixels = pixelsAtUnitDistance / float(cells - 1) / std::max(distance, 1e-6f);
        int level = 0;
        while (level + 1 < int(levels) &&
               (errors[level + 1] * pixelsAtUnitDistance <= view.pixelError * distance ||
                cellPixels * float(1u << level) < kNarrowestCellPixels)) {
            ++level;
        }
        chosen[k] = level;
    }
    return chosen;
}

const std::vector<uint32_t>& TerrainChunks::Triangles(unsigned level, const unsigned coarser[4])
{
    uint32_t key = level;
    for (int edge = 0; edge < 4; ++edge) {
        key = key * 16 + coarser[edge];
    }
    auto found = triangleCache.find(key);
    if (found == triangleCache.end()) {
        found = triangleCache.emplace(key, ChunkTriangles(chunkCells, cells, level, coarser)).first;
    }
    return found->second;
}

void TerrainChunks::Draw(const ChunkView& view, unsigned colouring)
{
    assert(colouring < chunks.front().errors.size());
    if (buffers.empty()) {
        Upload();
    }
    const std::vector<int> chosen = ChooseLevels(view, colouring);
    const int side = int(kChunksPerSide);
    const auto levelAt = [&](int cx, int cy, int otherwise) {
        return cx < 0 || cy < 0 || cx >= side || cy >= side ? otherwise : chosen[size_t(cy) * side + cx];
    };
    indices.clear();
    chunksDrawn = 0;
    uint32_t lowest = ~0u;
    uint32_t highest = 0;
    for (int cy = 0; cy < side; ++cy) {
        for (int cx = 0; cx < side; ++cx) {
            const Chunk& chunk = chunks[size_t(cy) * side + cx];
            if (!Visible(chunk, view)) {
                continue;
            }
            const int level = chosen[size_t(cy) * side + cx];
            const int neighbours[4] = {levelAt(cx, cy - 1, level), levelAt(cx + 1, cy, level),
                                       levelAt(cx, cy + 1, level), levelAt(cx - 1, cy, level)};
            unsigned coarser[4];
            for (int edge = 0; edge < 4; ++edge) {
                coarser[edge] = unsigned(std::max(0, neighbours[edge] - level));
            }
            const uint32_t base = uint32_t(cy) * chunkCells * cells + uint32_t(cx) * chunkCells;
            for (const uint32_t index : Triangles(unsigned(level), coarser)) {
                indices.push_back(base + index);
            }
            lowest = std::min(lowest, base);
            highest = std::max(highest, base + chunkCells * cells + chunkCells);
            ++chunksDrawn;
        }
    }

    BeginTerrainState();
    if (indices.empty()) {
        return;
    }
    glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
    glVertexPointer(3, GL_FLOAT, 0, nullptr);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[1 + colouring]);
    glColorPointer(4, GL_UNSIGNED_BYTE, 0, nullptr);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    // Slopes facing away from the eye are hidden behind the ones facing it:
    // they are dropped before they reach the rasteriser. The mesh winds its
    // triangles clockwise seen from above, so those are the front faces.
    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT);
    glDrawRangeElements(GL_TRIANGLES, lowest, highest, GLsizei(indices.size()), GL_UNSIGNED_INT, indices.data());
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisable(GL_CULL_FACE);
}
