// The generation keys with the real generator: however long a key is held,
// every cell of the map stays finite and between 0 and 1, and the reverse key
// brings the parameter back.

#include <gtest/gtest.h>

#include <cmath>

#include "FakeInput.h"
#include "app/Controls.h"
#include "app/ToolCommand.h"
#include "terrain/HeightMapGenerator.h"
#include "terrain/HeightMapOfSize.h"
#include "terrain/ShapeGrid.h"

namespace {

class ControlsBoundsTest : public FakeInputTest {
protected:
    void SetUp() override
    {
        FakeInputTest::SetUp();
        falloffExponent = 1.0f;
        roughness = 0.5f;
        GenerateHeightMap(heightMap, heightMapSize, heightMapAmplitude, roughness);
    }
    void TearDown() override
    {
        falloffExponent = 1.0f;
        terrainSharpness = 3.0f;
        FakeInputTest::TearDown();
    }

    // Holds the key for the given frames, checking the map every checkEvery
    // frames and after the last; the number of frames in which the
    // parameter still changed.
    int Hold(ControlState& state, int key, int frames, int checkEvery)
    {
        const float& value = ValueOf(key);
        int changed = 0;
        for (int frame = 1; frame <= frames; ++frame) {
            const float before = value;
            SnapshotWithKeysDown({key});
            ApplyControls(state);
            changed += value != before;
            if (frame % checkEvery == 0 || frame == frames) {
                ExpectEveryCellFiniteInUnitRange(frame);
            }
        }
        return changed;
    }

    const float& ValueOf(int key) const
    {
        if (key == SDLK_h || key == SDLK_j) {
            return roughness;
        }
        return key == SDLK_k || key == SDLK_l ? terrainSharpness : falloffExponent;
    }

    void ExpectEveryCellFiniteInUnitRange(int frame)
    {
        int bad = 0;
        for (uint32_t y = 0; y < heightMapCells; ++y) {
            for (uint32_t x = 0; x < heightMapCells; ++x) {
                const float v = heightMap.At(x, y);
                bad += !(std::isfinite(v) && v >= 0.0f && v <= 1.0f);
            }
        }
        EXPECT_EQ(bad, 0) << "cells not finite or outside [0, 1] after frame " << frame << ", roughness "
                          << roughness << ", falloff exponent " << falloffExponent;
    }

    Array2D<float> heightMap{heightMapCells, heightMapCells};
    float roughness = 0.5f;
    CameraFrame viewFrame = StartFrame();
    CameraFrame targetFrame = StartFrame();
};

// Each key is held well past its bound (590 to 1115 frames from the start
// values), then the reverse key for as many frames as the value moved:
// it returns to its start value to within one step, since the last step
// before the bound was cut short.
TEST_F(ControlsBoundsTest, EveryKeyHeldPastItsBoundKeepsTheMapFiniteAndTheReverseKeyReturns)
{
    struct Case {
        int key;
        int reverseKey;
    };
    const Case cases[] = {{SDLK_j, SDLK_h}, {SDLK_h, SDLK_j}, {SDLK_m, SDLK_n},
                          {SDLK_n, SDLK_m}, {SDLK_l, SDLK_k}, {SDLK_k, SDLK_l}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(1, char(c.key)));
        ControlState state = StartControls(heightMap, roughness, viewFrame, targetFrame);
        const float& value = ValueOf(c.key);
        const float start = value;

        // The farthest bound, the falloff's 2^16 from 1, is 1115 steps away.
        const int moved = Hold(state, c.key, 1300, 50);
        EXPECT_LT(moved, 1300) << "the value never stopped at a bound";
        const Array2D<float> atBound = heightMap;

        const int movedBack = Hold(state, c.reverseKey, moved, 50);
        EXPECT_EQ(movedBack, moved);
        EXPECT_NEAR(value / start, 1.0f, 0.0101f);
        EXPECT_NE(heightMap.At(40, 40), atBound.At(40, 40)) << "the map did not come back from the bound";
        roughness = 0.5f;
        falloffExponent = 1.0f;
        terrainSharpness = 3.0f;
    }
}

}  // namespace

// With --shape the viewer shows the tool's 129 map of that shape, and G's
// command carries the shape and leaves out the falloff it did not apply.
TEST(ViewerShape, ShowsTheToolsMapAndGPrintsTheShape)
{
    viewerShape.shapeFile = "builtin:continent";
    viewerShape.shape = BuiltInShape("continent");
    shapedViewerMap = GenerateShapedViewerMap;
    Array2D<float> shown(heightMapCells, heightMapCells);
    RegenerateViewerMap(shown, 0.62f);

    Array2D<float> tools(heightMapCells, heightMapCells);
    TerrainParameters parameters;
    parameters.seed = generationSeed;
    parameters.roughness = 0.62f;
    parameters.shapeFile = viewerShape.shapeFile;
    parameters.shape = viewerShape.shape;
    GenerateHeightMapOfSize(tools, parameters, 1);
    for (uint32_t y = 0; y < heightMapCells; ++y) {
        for (uint32_t x = 0; x < heightMapCells; ++x) {
            ASSERT_EQ(shown.Row(y)[x], tools.Row(y)[x]) << x << "," << y;
        }
    }

    float roughness = 0.62f;
    CameraFrame view;
    CameraFrame target;
    const ControlState state{shown, roughness, view, target, 0, 0};
    const std::string command = HeightMapToolCommand(CurrentParameters(state), 129);
    EXPECT_NE(command.find(" --shape 'builtin:continent'"), std::string::npos) << command;
    EXPECT_EQ(command.find("--falloff"), std::string::npos) << command;
    viewerShape = TerrainParameters();
    shapedViewerMap = nullptr;
}
