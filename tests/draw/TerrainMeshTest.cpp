#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "GlRecorder.h"
#include "math/Vector3.h"
#include "render/Render.h"

namespace {

constexpr int gridSize = 129;
constexpr int cells = 128;

// Heights with no two neighbours alike, so a swapped corner or a misread
// grid point changes the recorded geometry.
void FillVaried(Array2D<float>& grid)
{
    for (int y = 0; y < gridSize; ++y) {
        for (int x = 0; x < gridSize; ++x) {
            grid.At(x, y) = 0.5f + 0.5f * std::sin(0.37f * x + 1.91f * y + 0.013f * x * y);
        }
    }
}

Vector3 Corner(Array2D<float>& grid, int x, int y)
{
    return Vector3((x - 64) / 128.0f, 0.2f * grid.At(x, y), (y - 64) / 128.0f);
}

std::vector<double> Components(const Vector3& v) { return {v.x, v.y, v.z}; }

std::vector<double> Grey(float h) { return {h, h, h, 1.0}; }

// Checks one cell's fourteen calls, starting at calls[at].
testing::AssertionResult CellMatches(const std::vector<GlCall>& calls, size_t at, Array2D<float>& grid, int i,
                                     int j)
{
    const int gx[4] = {i, i + 1, i + 1, i};
    const int gy[4] = {j, j, j + 1, j + 1};
    const Vector3 p[4] = {Corner(grid, gx[0], gy[0]), Corner(grid, gx[1], gy[1]), Corner(grid, gx[2], gy[2]),
                          Corner(grid, gx[3], gy[3])};
    // P00, P10, P11 then P00, P11, P01.
    const int triangles[2][3] = {{0, 1, 2}, {0, 2, 3}};
    for (const auto& triangle : triangles) {
        const GlCall& normal = calls[at++];
        const Vector3 expected = TriangleNormal(p[triangle[0]], p[triangle[1]], p[triangle[2]]);
        if (normal.name != "glNormal3fv" || normal.args != Components(expected)) {
            return testing::AssertionFailure() << "normal of cell " << i << "," << j;
        }
        for (int k : triangle) {
            const GlCall& colour = calls[at++];
            const GlCall& vertex = calls[at++];
            if (colour.name != "glColor4fv" || colour.args != Grey(grid.At(gx[k], gy[k]))) {
                return testing::AssertionFailure() << "colour of corner " << k << " of cell " << i << "," << j;
            }
            if (vertex.name != "glVertex3fv" || vertex.args != Components(p[k])) {
                return testing::AssertionFailure() << "corner " << k << " of cell " << i << "," << j;
            }
        }
    }
    return testing::AssertionSuccess();
}

class TerrainMeshTest : public ::testing::Test {
protected:
    void SetUp() override { GlRecorder::Clear(); }
    void TearDown() override { GlRecorder::Clear(); }

    Array2D<float> grid{gridSize, gridSize};
};

}  // namespace

TEST_F(TerrainMeshTest, RestoresItsStateThenSendsEveryCellColumnByColumn)
{
    FillVaried(grid);
    DrawTerrainMesh(grid);
    const std::vector<GlCall>& calls = GlRecorder::Calls();
    const std::vector<GlCall> state = {
        {"glEnable", {GL_DEPTH_TEST}},
        {"glDepthMask", {GL_TRUE}},
        {"glPolygonMode", {GL_FRONT_AND_BACK, GL_FILL}},
        {"glDisable", {GL_TEXTURE_2D}},
        {"glBindTexture", {GL_TEXTURE_2D, 0}},
        {"glBegin", {GL_TRIANGLES}},
    };
    // 32768 normals and 98304 coloured vertices in one batch.
    ASSERT_EQ(calls.size(), state.size() + 32768u + 98304u * 2 + 1);
    for (size_t k = 0; k < state.size(); ++k) {
        EXPECT_EQ(calls[k].name, state[k].name) << k;
        EXPECT_EQ(calls[k].args, state[k].args) << k;
    }
    EXPECT_EQ(calls.back().name, "glEnd");

    size_t at = state.size();
    for (int i = 0; i < cells; ++i) {
        for (int j = 0; j < cells; ++j, at += 14) {
            ASSERT_TRUE(CellMatches(calls, at, grid, i, j));
        }
    }
}

TEST_F(TerrainMeshTest, LevelGroundHasShortDownwardNormals)
{
    DrawTerrainMesh(grid);
    const std::vector<GlCall> normals = GlRecorder::CallsNamed("glNormal3fv");
    ASSERT_EQ(normals.size(), 32768u);
    const std::vector<double> expected = {0.0, -1.0 / 16384.0, 0.0};
    for (const GlCall& normal : normals) {
        ASSERT_EQ(normal.args, expected);
    }
    for (const GlCall& colour : GlRecorder::CallsNamed("glColor4fv")) {
        ASSERT_EQ(colour.args, Grey(0.0f));
    }
    const std::vector<GlCall> vertices = GlRecorder::CallsNamed("glVertex3fv");
    ASSERT_EQ(vertices.size(), 98304u);
    // The far corner of the square is P11 of the last cell, its second-last vertex.
    EXPECT_EQ(vertices[vertices.size() - 2].args, (std::vector<double>{0.5, 0.0, 0.5}));
}
