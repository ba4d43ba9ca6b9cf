#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "../export/ScratchDirectory.h"
#include "FakeGenerator.h"
#include "FakeInput.h"
#include "app/Controls.h"
#include "terrain/HeightMapGenerator.h"

namespace {

void ExpectNear(const Vector3& v, float x, float y, float z, const char* what)
{
    EXPECT_NEAR(v.x, x, 1e-6f) << what;
    EXPECT_NEAR(v.y, y, 1e-6f) << what;
    EXPECT_NEAR(v.z, z, 1e-6f) << what;
}

void ExpectSame(const Vector3& a, const Vector3& b, const char* what)
{
    EXPECT_EQ(a.x, b.x) << what;
    EXPECT_EQ(a.y, b.y) << what;
    EXPECT_EQ(a.z, b.z) << what;
}

class ControlsTest : public FakeInputTest {
protected:
    void SetUp() override
    {
        FakeInputTest::SetUp();
        generationCalls.clear();
        falloffExponent = 1.0f;
        // The two frames differ, so each binding shows whose axes it scales.
        viewFrame = {Vector3(0, 0, -1), Vector3(0, 1, 0), Vector3(1, 0, 0), Vector3(0, 0.5f, 1)};
        // The controls do not square up the frame, so its lateral need not be
        // at right angles to its other axes.
        targetFrame = {Vector3(0, -0.6f, -0.8f), Vector3(0, 0.8f, -0.6f), Vector3(0.8f, 0, 0.6f), Vector3(2, 3, 4)};
        startTarget = targetFrame;
        fakeSdl.mouseX = 400;
        fakeSdl.mouseY = 300;
    }

    ControlState Start() { return StartControls(heightMap, roughness, viewFrame, targetFrame); }

    void Frame(ControlState& state, std::initializer_list<int> keys, Uint8 buttons = 0)
    {
        fakeSdl.buttons = buttons;
        SnapshotWithKeysDown(keys);
        ApplyControls(state);
    }

    void ExpectTargetUnchanged(const char* what)
    {
        ExpectSame(targetFrame.at, startTarget.at, what);
        ExpectSame(targetFrame.up, startTarget.up, what);
        ExpectSame(targetFrame.lateral, startTarget.lateral, what);
        ExpectSame(targetFrame.position, startTarget.position, what);
    }

    Array2D<float> heightMap{129, 129};
    float roughness = 0.5f;
    CameraFrame viewFrame;
    CameraFrame targetFrame;
    CameraFrame startTarget;
};

TEST_F(ControlsTest, EachGenerationKeyChangesItsParameterAndRegenerates)
{
    ControlState state = Start();
    Frame(state, {SDLK_h});
    EXPECT_EQ(roughness, 0.5f / 1.01f);
    Frame(state, {SDLK_j});
    const float afterJ = (0.5f / 1.01f) * 1.01f;
    EXPECT_EQ(roughness, afterJ);
    Frame(state, {SDLK_n});
    EXPECT_EQ(falloffExponent, 1.0f / 1.01f);
    Frame(state, {SDLK_m});
    EXPECT_EQ(falloffExponent, (1.0f / 1.01f) * 1.01f);
    EXPECT_EQ(roughness, afterJ);

    ASSERT_EQ(generationCalls.size(), 4u);
    const float roughnessSeen[] = {0.5f / 1.01f, afterJ, afterJ, afterJ};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(generationCalls[i].grid, &heightMap);
        EXPECT_EQ(generationCalls[i].size, 128u);
        EXPECT_EQ(generationCalls[i].amplitude, 30.0f);
        EXPECT_EQ(generationCalls[i].roughness, roughnessSeen[i]) << i;
    }
    Frame(state, {});
    EXPECT_EQ(generationCalls.size(), 4u);
    ExpectTargetUnchanged("generation keys move nothing");
}

TEST_F(ControlsTest, KeysHeldTogetherActInOrderEachRegenerating)
{
    ControlState state = Start();
    Frame(state, {SDLK_m, SDLK_j, SDLK_n, SDLK_h});
    const float afterH = 0.5f / 1.01f;
    const float afterJ = afterH * 1.01f;
    EXPECT_EQ(roughness, afterJ);
    EXPECT_EQ(falloffExponent, (1.0f / 1.01f) * 1.01f);
    ASSERT_EQ(generationCalls.size(), 4u);
    EXPECT_EQ(generationCalls[0].roughness, afterH);
    EXPECT_EQ(generationCalls[1].roughness, afterJ);
    EXPECT_EQ(generationCalls[1].falloffExponent, 1.0f);
    EXPECT_EQ(generationCalls[2].falloffExponent, 1.0f / 1.01f);
    EXPECT_EQ(generationCalls[3].falloffExponent, (1.0f / 1.01f) * 1.01f);

    Frame(state, {SDLK_j});
    Frame(state, {SDLK_j});
    EXPECT_EQ(roughness, (afterJ * 1.01f) * 1.01f);
    EXPECT_EQ(generationCalls.size(), 6u);
}

// Thousands of frames of each key: the value follows the unbounded ÷ or ×
// 1.01 steps until the next one would cross the bound, then sits exactly on
// the bound; every frame still regenerates, and one frame of the reverse key
// steps back off the bound.
TEST_F(ControlsTest, HeldGenerationKeysStopAtTheBoundsAndStillRegenerate)
{
    struct Case {
        int key;
        int reverseKey;
        float* value;
        bool up;
        float bound;
    };
    const Case cases[] = {
        {SDLK_j, SDLK_h, &roughness, true, std::ldexp(1.0f, 9)},
        {SDLK_h, SDLK_j, &roughness, false, std::ldexp(1.0f, -16)},
        {SDLK_m, SDLK_n, &falloffExponent, true, std::ldexp(1.0f, 16)},
        {SDLK_n, SDLK_m, &falloffExponent, false, std::ldexp(1.0f, -16)},
        {SDLK_l, SDLK_k, &terrainSharpness, true, std::ldexp(1.0f, 10)},
        {SDLK_k, SDLK_l, &terrainSharpness, false, std::ldexp(1.0f, -10)},
    };
    const int frames = 3000;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(1, char(c.key)));
        roughness = 0.5f;
        falloffExponent = 1.0f;
        terrainSharpness = 3.0f;
        generationCalls.clear();
        ControlState state = Start();
        float& value = *c.value;

        float expected = value;
        int framesToBound = -1;
        for (int frame = 0; frame < frames; ++frame) {
            Frame(state, {c.key});
            const float next = c.up ? expected * 1.01f : expected / 1.01f;
            const bool crosses = c.up ? next > c.bound : next < c.bound;
            if (crosses && framesToBound < 0) {
                framesToBound = frame;
            }
            expected = crosses ? c.bound : next;
            ASSERT_EQ(value, expected) << "frame " << frame;
        }
        EXPECT_GT(framesToBound, 500) << "the bound came too soon";
        EXPECT_LT(framesToBound, frames - 100) << "the bound was never reached";
        EXPECT_EQ(value, c.bound);
        ASSERT_EQ(generationCalls.size(), size_t(frames)) << "a key held at its bound stopped regenerating";
        EXPECT_EQ(generationCalls.back().roughness, roughness);
        EXPECT_EQ(generationCalls.back().falloffExponent, falloffExponent);

        Frame(state, {c.reverseKey});
        EXPECT_EQ(value, c.up ? c.bound / 1.01f : c.bound * 1.01f);
        EXPECT_EQ(generationCalls.size(), size_t(frames) + 1);
    }
    terrainSharpness = 3.0f;
}

// R switches erosion between off and the recommended amount, once per press,
// regenerating each time; G's command then carries it.
TEST_F(ControlsTest, RSwitchesErosionOnceAPress)
{
    ControlState state = Start();
    struct Step {
        bool held;
        float erosion;
        size_t generations;
    };
    const Step steps[] = {{true, 1.0f, 1}, {true, 1.0f, 1}, {false, 1.0f, 1}, {true, 0.0f, 2}};
    for (const Step& step : steps) {
        if (step.held) {
            Frame(state, {SDLK_r});
        } else {
            Frame(state, {});
        }
        EXPECT_EQ(viewerErosion, step.erosion);
        EXPECT_EQ(generationCalls.size(), step.generations);
    }
}

TEST_F(ControlsTest, GExportsOncePerPress)
{
    ScratchDirectory dir;
    WorkingDirectoryScope inside(dir.Path());
    ControlState state = Start();
    heightMap.Fill(0.25f);

    Frame(state, {SDLK_g});  // already down at the first snapshot: a press
    std::vector<std::string> files = dir.Entries();
    ASSERT_EQ(files.size(), 1u);
    const std::vector<uint8_t> bytes = ReadFileBytes(files[0]);
    ASSERT_EQ(bytes.size(), 49941u);
    EXPECT_TRUE(std::all_of(bytes.begin() + 18, bytes.end(), [](uint8_t b) { return b == 0x3F; }))
        << "0.25 is grey 0x3F";
    std::remove(files[0].c_str());

    for (int held = 0; held < 5; ++held) {
        Frame(state, {SDLK_g});
    }
    EXPECT_TRUE(dir.Entries().empty()) << "a held G exported again";
    Frame(state, {});
    Frame(state, {SDLK_g});
    EXPECT_EQ(dir.Entries().size(), 1u) << "a new press did not export";
    EXPECT_TRUE(generationCalls.empty());
}

// Each written export reports the file and the heightmap tool's command for
// the parameters the map was made with; the fixed seed is left out.
TEST_F(ControlsTest, AnExportPrintsItsFileAndTheCommandForTheSameMap)
{
    ScratchDirectory dir;
    WorkingDirectoryScope inside(dir.Path());
    ControlState state = Start();
    testing::internal::CaptureStdout();
    Frame(state, {SDLK_j, SDLK_m, SDLK_g});
    std::string out = testing::internal::GetCapturedStdout();
    std::vector<std::string> files = dir.Entries();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(out, "wrote \"" + files[0] + "\"; at any size: orvandel-heightmap --roughness 0.505 --falloff 1.01 "
                   "--size 1025 --format png16 --out heightmap.png\n");
    std::remove(files[0].c_str());

    const TerrainSeed fixed = generationSeed;
    ASSERT_TRUE(TerrainSeed::FromText("don't", generationSeed));
    testing::internal::CaptureStdout();
    Frame(state, {});
    Frame(state, {SDLK_g});
    out = testing::internal::GetCapturedStdout();
    generationSeed = fixed;
    files = dir.Entries();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(out, "wrote \"" + files[0] + "\"; at any size: orvandel-heightmap --seed 'don'\\''t' "
                   "--roughness 0.505 --falloff 1.01 --size 1025 --format png16 --out heightmap.png\n");
}

TEST_F(ControlsTest, AFailedExportPrintsNoCommand)
{
    ControlState state = Start();
    {
        // A working directory that no longer exists: the dated file cannot
        // be created.
        ScratchDirectory dir;
        WorkingDirectoryScope inside(dir.Path());
        std::filesystem::remove_all(dir.Path());
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        Frame(state, {SDLK_g});
        const std::string out = testing::internal::GetCapturedStdout();
        const std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_EQ(out, "");
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    }
}

TEST_F(ControlsTest, MovementKeysStepAlongTheTargetsOwnAxes)
{
    struct Binding {
        int key;
        Vector3 axis;
        float sign;
    };
    const Binding bindings[] = {
        {SDLK_a, startTarget.lateral, -1}, {SDLK_d, startTarget.lateral, 1}, {SDLK_w, startTarget.at, 1},
        {SDLK_s, startTarget.at, -1},      {SDLK_q, startTarget.up, 1},      {SDLK_e, startTarget.up, -1},
    };
    ControlState state = Start();
    for (const Binding& b : bindings) {
        targetFrame = startTarget;
        Frame(state, {b.key});
        const Vector3& p = startTarget.position;
        ExpectNear(targetFrame.position, p.x + b.sign * 0.01f * b.axis.x, p.y + b.sign * 0.01f * b.axis.y,
                   p.z + b.sign * 0.01f * b.axis.z, std::string(1, char(b.key)).c_str());
        ExpectSame(targetFrame.at, startTarget.at, "at");
        ExpectSame(targetFrame.up, startTarget.up, "up");
    }

    targetFrame = startTarget;
    Frame(state, {SDLK_w, SDLK_s, SDLK_a, SDLK_d, SDLK_q, SDLK_e});
    ExpectNear(targetFrame.position, 2, 3, 4, "opposite keys cancel");

    targetFrame = startTarget;
    Frame(state, {SDLK_w, SDLK_d});
    ExpectNear(targetFrame.position, 2.008f, 3 - 0.006f, 4 - 0.002f, "moves add up");
}

TEST_F(ControlsTest, LeftDragLooksAlongTheViewAxes)
{
    ControlState state = Start();
    fakeSdl.mouseX = 410;  // right 10
    fakeSdl.mouseY = 295;  // up 5
    Frame(state, {}, SDL_BUTTON(1));
    // at += view.up * 0.02, then at += view.lateral * 0.04
    ExpectNear(targetFrame.at, 0.04f, -0.58f, -0.8f, "at");
    ExpectSame(targetFrame.up, startTarget.up, "up");
    ExpectSame(targetFrame.position, startTarget.position, "position");
}

TEST_F(ControlsTest, RightDragMovesAlongTheViewDirection)
{
    ControlState state = Start();
    fakeSdl.mouseX = 377;  // sideways motion is not used
    fakeSdl.mouseY = 290;  // up 10
    Frame(state, {}, SDL_BUTTON(3));
    ExpectNear(targetFrame.position, 2, 3, 4 - 0.06f, "position");
    ExpectSame(targetFrame.at, startTarget.at, "at");
    ExpectSame(targetFrame.up, startTarget.up, "up");
}

TEST_F(ControlsTest, BothButtonsOnlyRoll)
{
    ControlState state = Start();
    fakeSdl.mouseX = 425;
    fakeSdl.mouseY = 250;
    Frame(state, {}, SDL_BUTTON(1) | SDL_BUTTON(3) | SDL_BUTTON(2));
    ExpectNear(targetFrame.up, 0.1f, 0.8f, -0.6f, "up");
    ExpectSame(targetFrame.at, startTarget.at, "at");
    ExpectSame(targetFrame.position, startTarget.position, "position");
}

TEST_F(ControlsTest, MotionWithoutADragButtonChangesNothingAndMovesTheDragOrigin)
{
    ControlState state = Start();
    Frame(state, {}, SDL_BUTTON(1));  // first frame: no motion yet, so no drag
    ExpectTargetUnchanged("first frame");

    fakeSdl.mouseX = 100;
    fakeSdl.mouseY = 100;
    Frame(state, {});
    Frame(state, {}, SDL_BUTTON(2));
    ExpectTargetUnchanged("no drag button");

    fakeSdl.mouseX = 110;
    Frame(state, {}, SDL_BUTTON(1));
    ExpectNear(targetFrame.at, 0.04f, -0.6f, -0.8f, "drag from where the pointer last was");
}

}  // namespace
