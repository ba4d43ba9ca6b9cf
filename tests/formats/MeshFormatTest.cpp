#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "FormatTestSupport.h"
#include "ScratchDirectory.h"
#include "export/ObjWriter.h"
#include "export/StlWriter.h"

namespace {

using Point = std::array<float, 3>;

struct ObjMesh {
    std::vector<Point> vertices;
    std::vector<Point> normals;
    std::vector<std::array<long, 3>> faces;  // vertex numbers, from 1
    bool normalsMatchVertices = true;        // every "a//b" had a == b
};

ObjMesh ReadObj(const std::string& path)
{
    ObjMesh mesh;
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    std::istringstream text(std::string(bytes.begin(), bytes.end()));
    std::string line;
    while (std::getline(text, line)) {
        std::istringstream words(line);
        std::string tag;
        words >> tag;
        if (tag == "v" || tag == "vn") {
            Point p{};
            std::string number;
            for (float& coordinate : p) {
                words >> number;
                coordinate = std::strtof(number.c_str(), nullptr);
            }
            (tag == "v" ? mesh.vertices : mesh.normals).push_back(p);
        } else if (tag == "f") {
            std::array<long, 3> face{};
            for (long& corner : face) {
                std::string word;
                words >> word;
                const size_t slashes = word.find("//");
                corner = std::atol(word.substr(0, slashes).c_str());
                if (slashes == std::string::npos || std::atol(word.substr(slashes + 2).c_str()) != corner) {
                    mesh.normalsMatchVertices = false;
                }
            }
            mesh.faces.push_back(face);
        }
    }
    return mesh;
}

struct Triangle {
    Point normal;
    std::array<Point, 3> corners;
};

// Binary STL: 80-byte header, count, then 50-byte facets, little-endian.
bool ReadStl(const std::string& path, std::vector<Triangle>& triangles)
{
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    if (bytes.size() < 84) {
        return false;
    }
    const auto word = [&bytes](size_t at) {
        return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
               uint32_t(bytes[at + 3]) << 24;
    };
    const auto real = [&word](size_t at) {
        const uint32_t bits = word(at);
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    };
    const uint32_t count = word(80);
    if (bytes.size() != 84 + 50ull * count || std::string(bytes.begin(), bytes.begin() + 5) == "solid") {
        return false;
    }
    for (uint32_t k = 0; k < count; ++k) {
        const size_t at = 84 + 50 * size_t(k);
        Triangle t{};
        for (int c = 0; c < 3; ++c) {
            t.normal[c] = real(at + 4 * c);
            for (int v = 0; v < 3; ++v) {
                t.corners[v][c] = real(at + 12 + 12 * v + 4 * c);
            }
        }
        triangles.push_back(t);
    }
    return true;
}

Point Cross(const Point& a, const Point& b, const Point& c)
{
    const double u[3] = {double(b[0]) - a[0], double(b[1]) - a[1], double(b[2]) - a[2]};
    const double v[3] = {double(c[0]) - a[0], double(c[1]) - a[1], double(c[2]) - a[2]};
    return Point{float(u[1] * v[2] - u[2] * v[1]), float(u[2] * v[0] - u[0] * v[2]), float(u[0] * v[1] - u[1] * v[0])};
}

float ExpectedCoordinate(int index, int count)
{
    const double centre = (count - 1) / 2.0;
    return float((index - centre) / (count - 1));
}

TEST(ObjFormat, OneVertexAndNormalACellAndTwoUpFacingTrianglesACell)
{
    ScratchDirectory dir;
    const std::string path = dir.File("map.obj");
    const int n = 33;
    const Array2D<float> map = MakeTestMap(n, n);
    ASSERT_TRUE(WriteThroughOutputFile(path, [&](OutputFile& out) { return WriteHeightMapObj(map, out); }));

    const ObjMesh mesh = ReadObj(path);
    ASSERT_EQ(mesh.vertices.size(), size_t(n * n));
    ASSERT_EQ(mesh.normals.size(), size_t(n * n));
    ASSERT_EQ(mesh.faces.size(), size_t(2 * (n - 1) * (n - 1)));
    EXPECT_TRUE(mesh.normalsMatchVertices);
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            const Point& v = mesh.vertices[size_t(j) * n + i];
            ASSERT_EQ(v[0], ExpectedCoordinate(i, n)) << i << ", " << j;
            ASSERT_EQ(v[2], ExpectedCoordinate(j, n)) << i << ", " << j;
            ASSERT_NEAR(v[1], 0.2 * map.At(i, j), 1e-7) << i << ", " << j;
            const Point& normal = mesh.normals[size_t(j) * n + i];
            EXPECT_GT(normal[1], 0.0f);
            EXPECT_NEAR(std::sqrt(normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2]), 1.0, 1e-5);
        }
    }
    EXPECT_EQ(mesh.vertices.front(), (Point{-0.5f, 0.0f, -0.5f}));  // cell (0, 0) holds 0
    for (const auto& face : mesh.faces) {
        for (long corner : face) {
            ASSERT_GE(corner, 1);
            ASSERT_LE(corner, long(n * n));
        }
        const Point up = Cross(mesh.vertices[face[0] - 1], mesh.vertices[face[1] - 1], mesh.vertices[face[2] - 1]);
        ASSERT_GT(up[1], 0.0f);
    }
}

TEST(ObjFormat, NormalsFollowTheSlope)
{
    // Height rises with x: the normals lean towards -x, not at all along z.
    ScratchDirectory dir;
    const std::string path = dir.File("ramp.obj");
    Array2D<float> map(9, 9);
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 9; ++x) {
            map.At(x, y) = x / 8.0f;
        }
    }
    ASSERT_TRUE(WriteThroughOutputFile(path, [&](OutputFile& out) { return WriteHeightMapObj(map, out); }));
    const ObjMesh mesh = ReadObj(path);
    ASSERT_EQ(mesh.normals.size(), 81u);
    // Slope 0.2 in y per 1 in x: the normal is (-0.2, 1, 0) made unit.
    const double length = std::sqrt(1.04);
    for (const Point& normal : mesh.normals) {
        EXPECT_NEAR(normal[0], -0.2 / length, 1e-6);
        EXPECT_NEAR(normal[1], 1.0 / length, 1e-6);
        EXPECT_NEAR(normal[2], 0.0, 1e-6);
    }
}

using Key = std::tuple<uint32_t, uint32_t, uint32_t>;
Key KeyOf(const Point& p)
{
    return Key{Bits(p[0]), Bits(p[1]), Bits(p[2])};
}

double SignedVolume(const std::vector<Triangle>& triangles)
{
    double volume = 0.0;
    for (const Triangle& t : triangles) {
        const Point& a = t.corners[0];
        const Point& b = t.corners[1];
        const Point& c = t.corners[2];
        volume += (double(a[0]) * (double(b[1]) * c[2] - double(b[2]) * c[1]) -
                   double(a[1]) * (double(b[0]) * c[2] - double(b[2]) * c[0]) +
                   double(a[2]) * (double(b[0]) * c[1] - double(b[1]) * c[0])) /
                  6.0;
    }
    return volume;
}

TEST(StlFormat, TheSurfaceClosedIntoOneOutwardFacingSolid)
{
    ScratchDirectory dir;
    const std::string path = dir.File("map.stl");
    const int n = 17;
    const Array2D<float> map = MakeTestMap(n, n);
    ASSERT_TRUE(WriteThroughOutputFile(path, [&](OutputFile& out) { return WriteHeightMapStl(map, out); }));
    std::vector<Triangle> triangles;
    ASSERT_TRUE(ReadStl(path, triangles));

    const int border = 4 * (n - 1);
    ASSERT_EQ(triangles.size(), size_t(2 * (n - 1) * (n - 1) + 3 * border));

    // Every directed edge once, and its reverse once: closed and consistently
    // wound.
    std::map<std::pair<Key, Key>, int> edges;
    for (const Triangle& t : triangles) {
        for (int k = 0; k < 3; ++k) {
            ++edges[{KeyOf(t.corners[k]), KeyOf(t.corners[(k + 1) % 3])}];
        }
    }
    for (const auto& [edge, uses] : edges) {
        ASSERT_EQ(uses, 1) << "an edge run twice the same way";
        const auto reverse = edges.find({edge.second, edge.first});
        ASSERT_NE(reverse, edges.end()) << "an open edge";
    }
    EXPECT_GT(SignedVolume(triangles), 0.0);

    // Each stored normal is the unit normal of its corners' winding.
    int surfaceFacets = 0;
    std::map<Key, int> surfaceCorners;
    for (const Triangle& t : triangles) {
        const Point cross = Cross(t.corners[0], t.corners[1], t.corners[2]);
        const double length = std::sqrt(double(cross[0]) * cross[0] + double(cross[1]) * cross[1] +
                                        double(cross[2]) * cross[2]);
        ASSERT_GT(length, 0.0) << "a degenerate facet";
        for (int c = 0; c < 3; ++c) {
            ASSERT_NEAR(t.normal[c], cross[c] / length, 1e-5);
        }
        bool onTop = true;
        for (const Point& corner : t.corners) {
            ASSERT_GE(corner[1], -0.05f);
            onTop = onTop && corner[1] >= 0.0f;
        }
        if (onTop) {
            ++surfaceFacets;
            EXPECT_GT(t.normal[1], 0.0f);
            for (const Point& corner : t.corners) {
                ++surfaceCorners[KeyOf(corner)];
            }
        }
    }
    EXPECT_EQ(surfaceFacets, 2 * (n - 1) * (n - 1));
    // The surface's corners are the OBJ's vertices.
    EXPECT_EQ(surfaceCorners.size(), size_t(n * n));
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            const Point expected{ExpectedCoordinate(i, n), 0.2f * map.At(i, j), ExpectedCoordinate(j, n)};
            EXPECT_EQ(surfaceCorners.count(KeyOf(expected)), 1u) << i << ", " << j;
        }
    }
}

TEST(StlFormat, AFlatMapIsABoxOfTheRightVolume)
{
    ScratchDirectory dir;
    const std::string path = dir.File("flat.stl");
    Array2D<float> map(5, 5);
    map.Fill(0.5f);
    ASSERT_TRUE(WriteThroughOutputFile(path, [&](OutputFile& out) { return WriteHeightMapStl(map, out); }));
    std::vector<Triangle> triangles;
    ASSERT_TRUE(ReadStl(path, triangles));
    // 1 x 1 across, from y = -0.05 to 0.1.
    EXPECT_NEAR(SignedVolume(triangles), 0.15, 1e-6);
}

TEST(MeshFormats, RefuseMapsTooSmallForACellAndLeaveNoFile)
{
    ScratchDirectory dir;
    const Array2D<float> line(1, 5);
    std::string errors;
    EXPECT_FALSE(WriteThroughOutputFile(dir.File("line.obj"),
                                        [&](OutputFile& out) { return WriteHeightMapObj(line, out); }, &errors));
    EXPECT_EQ(CountLines(errors), 1) << errors;
    EXPECT_FALSE(WriteThroughOutputFile(dir.File("line.stl"),
                                        [&](OutputFile& out) { return WriteHeightMapStl(line, out); }, &errors));
    EXPECT_EQ(CountLines(errors), 1) << errors;
    EXPECT_TRUE(dir.Entries().empty());
}

TEST(MeshFormats, AFailedWriteLeavesNoFile)
{
    ScratchDirectory dir;
    const Array2D<float> map = MakeTestMap(129, 129);
    std::string errors;
    FileSizeLimit limit(4096);
    EXPECT_FALSE(WriteThroughOutputFile(dir.File("full.obj"),
                                        [&](OutputFile& out) { return WriteHeightMapObj(map, out); }, &errors));
    EXPECT_EQ(CountLines(errors), 1) << errors;
    EXPECT_FALSE(WriteThroughOutputFile(dir.File("full.stl"),
                                        [&](OutputFile& out) { return WriteHeightMapStl(map, out); }, &errors));
    EXPECT_EQ(CountLines(errors), 1) << errors;
    EXPECT_TRUE(dir.Entries().empty());
}

}  // namespace
