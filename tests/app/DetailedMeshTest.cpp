// The detailed map the viewer draws is orvandel-heightmap's map of that
// size, cell for cell and bit for bit: the tool's f32 file against the
// points sent to the recording stand-in for OpenGL.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "GlRecorder.h"
#include "app/TerrainView.h"
#include "terrain/HeightMapGenerator.h"

namespace {

std::vector<float> ToolMap(unsigned size, const std::string& options)
{
    char directory[] = "/tmp/orvandel-detail-XXXXXX";
    if (mkdtemp(directory) == nullptr) {
        return {};
    }
    const std::string path = std::string(directory) + "/map.f32";
    const std::string command = std::string(HEIGHTMAP_TOOL) + " --size " + std::to_string(size) + " " + options +
                                " --format f32 --out " + path;
    std::vector<float> cells;
    if (std::system(command.c_str()) == 0) {
        cells.resize(size_t(size) * size);
        FILE* file = std::fopen(path.c_str(), "rb");
        const size_t read = file ? std::fread(cells.data(), sizeof(float), cells.size(), file) : 0;
        if (file) std::fclose(file);
        if (read != cells.size()) cells.clear();
    }
    std::remove(path.c_str());
    rmdir(directory);
    return cells;
}

TEST(DetailedMeshTest, EveryPointOfTheDetailedMeshIsTheToolsCell)
{
    constexpr unsigned size = 257;
    const std::vector<float> tool = ToolMap(size, "--roughness 0.62 --sharpness 0.25 --erosion 1");
    ASSERT_EQ(tool.size(), size_t(size) * size);

    TerrainParameters parameters;
    parameters.roughness = 0.62f;
    parameters.sharpness = 0.25f;
    parameters.erosion = 1.0f;
    Array2D<float> heightMap(heightMapCells, heightMapCells);
    TerrainView view(heightMap, ViewMode::Colour, size, GenerateDetail);
    view.WaitForDetail(parameters);
    ASSERT_NE(view.Detailed(), nullptr);

    // High above the middle, looking down: the whole map in view, every
    // chunk drawn whole.
    CameraFrame above;
    above.position = Vector3(0.0f, 3.0f, 0.0f);
    above.at = Vector3(0.0f, -1.0f, 0.0f);
    above.up = Vector3(0.0f, 0.0f, -1.0f);
    Orthonormalise(above);
    view.pixelError = 0.0f;
    GlRecorder::Clear();
    view.Draw(above);

    std::vector<bool> seen(tool.size(), false);
    const float c = (size - 1) / 2.0f;
    for (const GlRecorder::DrawnVertex& vertex : GlRecorder::LastDrawnVertices()) {
        const float gx = vertex.x * (size - 1) + c;
        const float gy = vertex.z * (size - 1) + c;
        ASSERT_EQ(gx, std::floor(gx));
        ASSERT_EQ(gy, std::floor(gy));
        const size_t cell = size_t(gy) * size + size_t(gx);
        ASSERT_EQ(vertex.y, 0.2f * tool[cell]) << "cell " << gx << ", " << gy;
        seen[cell] = true;
    }
    EXPECT_EQ(std::count(seen.begin(), seen.end(), true), long(tool.size())) << "cells not drawn";
    GlRecorder::Clear();
}

}  // namespace
