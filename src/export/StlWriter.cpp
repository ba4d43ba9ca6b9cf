#include "export/StlWriter.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "export/MeshGeometry.h"

namespace {

constexpr size_t kHeaderSize = 80;
constexpr size_t kFacetSize = 50;  // normal, three corners, attribute count
constexpr size_t kFacetsPerBlock = 1 << 14;

// Facets are packed little-endian into one block and written when it fills.
class StlFacets {
public:
    explicit StlFacets(OutputFile& out) : out(out), block(kFacetSize * kFacetsPerBlock) {}

    bool Add(const MeshPoint& a, const MeshPoint& b, const MeshPoint& c)
    {
        if (used == block.size() && !Flush()) {
            return false;
        }
        uint8_t* facet = block.data() + used;
        const MeshPoint normal = MeshTriangleNormal(a, b, c);
        const MeshPoint* points[4] = {&normal, &a, &b, &c};
        for (int k = 0; k < 4; ++k) {
            PutFloat(facet + 12 * k, points[k]->x);
            PutFloat(facet + 12 * k + 4, points[k]->y);
            PutFloat(facet + 12 * k + 8, points[k]->z);
        }
        facet[48] = 0;
        facet[49] = 0;
        used += kFacetSize;
        return true;
    }

    bool Flush()
    {
        const bool written = out.Write(block.data(), used);
        used = 0;
        return written;
    }

private:
    static void PutFloat(uint8_t* at, float value)
    {
        uint32_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        for (int k = 0; k < 4; ++k) {
            at[k] = static_cast<uint8_t>(bits >> (8 * k));
        }
    }

    OutputFile& out;
    std::vector<uint8_t> block;
    size_t used = 0;
};

MeshPoint Below(const MeshPoint& top)
{
    return MeshPoint{top.x, kMeshBaseY, top.z};
}

// The wall under the border edge a -> b of a surface facet, and the base
// facet under it. The wall takes the edge the other way round, b -> a, and
// its bottom edge Ba -> Bb; the base takes Bb -> Ba; so every edge is met
// once in each direction.
bool AddWallAndBase(StlFacets& facets, const MeshPoint& a, const MeshPoint& b, const MeshPoint& baseCentre)
{
    const MeshPoint belowA = Below(a);
    const MeshPoint belowB = Below(b);
    return facets.Add(b, a, belowA) && facets.Add(b, belowA, belowB) && facets.Add(baseCentre, belowB, belowA);
}

}  // namespace

bool WriteHeightMapStl(const Matrix2DInterface<float>& map, OutputFile& out)
{
    const unsigned width = map.GetWidth();
    const unsigned height = map.GetHeight();
    if (width < 2 || height < 2) {
        return out.Fail("a mesh needs at least 2 x 2 cells");
    }
    const uint64_t surface = 2ull * (width - 1) * (height - 1);
    const uint64_t border = 2ull * (width - 1) + 2ull * (height - 1);
    const uint64_t count = surface + 3 * border;  // a wall quad and a base facet per border edge
    if (count > UINT32_MAX) {
        return out.Fail("the mesh has too many facets for STL");
    }

    uint8_t header[kHeaderSize + 4] = {};
    const char title[] = "orvandel heightmap: binary STL, y up";  // must not start with "solid"
    std::memcpy(header, title, sizeof title - 1);
    for (int k = 0; k < 4; ++k) {
        header[kHeaderSize + k] = static_cast<uint8_t>(count >> (8 * k));
    }
    if (!out.Write(header, sizeof header)) {
        return false;
    }

    StlFacets facets(out);
    // Surface: the OBJ's triangles, p00 p11 p10 and p00 p01 p11, facing up.
    for (unsigned j = 0; j + 1 < height; ++j) {
        MeshPoint p00 = MeshVertexPosition(map, 0, j);
        MeshPoint p01 = MeshVertexPosition(map, 0, j + 1);
        for (unsigned i = 0; i + 1 < width; ++i) {
            const MeshPoint p10 = MeshVertexPosition(map, i + 1, j);
            const MeshPoint p11 = MeshVertexPosition(map, i + 1, j + 1);
            if (!facets.Add(p00, p11, p10) || !facets.Add(p00, p01, p11)) {
                return false;
            }
            p00 = p10;
            p01 = p11;
        }
    }

    // The surface's border edges, each in the direction its facet runs it.
    const MeshPoint centre{0.0f, kMeshBaseY, 0.0f};
    const unsigned lastI = width - 1;
    const unsigned lastJ = height - 1;
    for (unsigned i = 0; i < lastI; ++i) {
        // j = 0: p10 -> p00.   j = N - 1: p01 -> p11.
        if (!AddWallAndBase(facets, MeshVertexPosition(map, i + 1, 0), MeshVertexPosition(map, i, 0), centre) ||
            !AddWallAndBase(facets, MeshVertexPosition(map, i, lastJ), MeshVertexPosition(map, i + 1, lastJ),
                            centre)) {
            return false;
        }
    }
    for (unsigned j = 0; j < lastJ; ++j) {
        // i = 0: p00 -> p01.   i = N - 1: p11 -> p10.
        if (!AddWallAndBase(facets, MeshVertexPosition(map, 0, j), MeshVertexPosition(map, 0, j + 1), centre) ||
            !AddWallAndBase(facets, MeshVertexPosition(map, lastI, j + 1), MeshVertexPosition(map, lastI, j),
                            centre)) {
            return false;
        }
    }
    return facets.Flush();
}
