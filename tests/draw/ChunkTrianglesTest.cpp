// The chunk's triangles at every level and every mix of coarser neighbours
// tile the chunk exactly, and a stitched edge uses only its neighbour's
// points, so no crack opens between levels.

#include <gtest/gtest.h>

#include <map>
#include <utility>

#include "render/ChunkTriangles.h"

namespace {

constexpr unsigned kCells = 16;
constexpr unsigned kStride = 40;  // the chunk inside a wider grid

struct Point {
    long x, y;
};
Point At(uint32_t index) { return Point{long(index % kStride), long(index / kStride)}; }

// The points a stitched edge may use: every 2^(level + coarser)-th.
bool OnEdgeAt(Point p, int edge, unsigned spacing)
{
    switch (edge) {
    case kSouthEdge: return p.y != 0 || p.x % spacing == 0;
    case kNorthEdge: return p.y != long(kCells) || p.x % spacing == 0;
    case kWestEdge: return p.x != 0 || p.y % spacing == 0;
    default: return p.x != long(kCells) || p.y % spacing == 0;
    }
}

bool OnBoundary(Point a, Point b)
{
    const long n = kCells;
    return (a.y == b.y && (a.y == 0 || a.y == n)) || (a.x == b.x && (a.x == 0 || a.x == n));
}

TEST(ChunkTrianglesTest, EveryLevelAndStitchTilesTheChunkWithoutCracks)
{
    int checked = 0;
    for (unsigned level = 0; level <= 4; ++level) {
        const unsigned most = 4 - level;  // a neighbour is at most the coarsest level
        for (unsigned code = 0; code < (most + 1) * (most + 1) * (most + 1) * (most + 1); ++code) {
            unsigned coarser[4];
            for (unsigned e = 0, rest = code; e < 4; ++e, rest /= most + 1) {
                coarser[e] = rest % (most + 1);
            }
            const std::vector<uint32_t> indices = ChunkTriangles(kCells, kStride, level, coarser);
            ASSERT_EQ(indices.size() % 3, 0u);
            long doubledArea = 0;
            std::map<std::pair<uint32_t, uint32_t>, int> edges;
            for (size_t t = 0; t < indices.size(); t += 3) {
                const Point p[3] = {At(indices[t]), At(indices[t + 1]), At(indices[t + 2])};
                const long area = (p[1].x - p[0].x) * (p[2].y - p[0].y) - (p[1].y - p[0].y) * (p[2].x - p[0].x);
                ASSERT_GT(area, 0) << "level " << level << " code " << code << ": a triangle turned over or flat";
                doubledArea += area;
                for (int k = 0; k < 3; ++k) {
                    ASSERT_LE(p[k].x, long(kCells));
                    ASSERT_LE(p[k].y, long(kCells));
                    for (int edge = 0; edge < 4; ++edge) {
                        ASSERT_TRUE(OnEdgeAt(p[k], edge, 1u << (level + coarser[edge])))
                            << "level " << level << " code " << code << " edge " << edge << " uses (" << p[k].x
                            << ", " << p[k].y << ")";
                    }
                    ++edges[{indices[t + k], indices[t + (k + 1) % 3]}];
                }
            }
            EXPECT_EQ(doubledArea, long(2 * kCells * kCells)) << "level " << level << " code " << code;
            // Inside, each edge is shared by two triangles running it in
            // opposite directions; only the chunk's outline is used once.
            for (const auto& [edge, count] : edges) {
                ASSERT_EQ(count, 1);
                if (edges.count({edge.second, edge.first}) == 0) {
                    ASSERT_TRUE(OnBoundary(At(edge.first), At(edge.second)))
                        << "level " << level << " code " << code << ": an open edge inside the chunk";
                }
            }
            ++checked;
        }
    }
    EXPECT_EQ(checked, 625 + 256 + 81 + 16 + 1);
}

}  // namespace
