// The frame body against scripted input and the recording OpenGL stand-in:
// every SDL read and OpenGL call of a frame, in order, and what the controls,
// the camera and the drawing see of each other within one frame.

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "FakeGenerator.h"
#include "FakeInput.h"
#include "GlRecorder.h"
#include "app/FrameLoop.h"
#include "render/Render.h"
#include "terrain/HeightMapGenerator.h"

namespace {

// SDL reads and buffer swaps, each with the number of OpenGL calls recorded
// before it, so the two logs merge into one timeline.
struct SdlStep {
    size_t glCallsBefore;
    std::string name;
};
std::vector<SdlStep> sdlSteps;
// Runs at each pump, that is once per frame, before the frame's events are
// read: the script of a multi-frame run.
std::function<void(int frame)> atEachPump;
int pumps = 0;

void Log(const char* name) { sdlSteps.push_back({GlRecorder::Calls().size(), name}); }

void LoggedPump()
{
    Log("pump");
    if (atEachPump) {
        atEachPump(pumps);
    }
    ++pumps;
    FakePump();
}
int LoggedPoll(SDL_Event* event)
{
    Log("poll");
    return FakePoll(event);
}
Uint8* LoggedKeyState(int* count)
{
    Log("keys");
    return FakeKeyState(count);
}
Uint8 LoggedMouse(int* x, int* y)
{
    Log("mouse");
    return FakeMouse(x, y);
}
// Without a scripted clock each read is a frame's length after the last, so
// every wait ends at its first read.
bool scriptedClock = false;
Uint32 runningClock = 0;
Uint32 LoggedTicks()
{
    Log("ticks");
    return scriptedClock ? FakeTicks() : (runningClock += 16);
}
void LoggedSwap() { Log("swap"); }

// The mesh's per-vertex calls, left out of the timeline.
bool IsVertexStream(const std::string& name)
{
    return name == "glNormal3fv" || name == "glColor4fv" || name == "glVertex3fv";
}

// Both logs merged, in the order the calls were made, without the mesh's
// vertex stream.
std::vector<std::string> Timeline()
{
    std::vector<std::string> timeline;
    const std::vector<GlCall>& gl = GlRecorder::Calls();
    size_t step = 0;
    for (size_t call = 0; call <= gl.size(); ++call) {
        for (; step < sdlSteps.size() && sdlSteps[step].glCallsBefore == call; ++step) {
            timeline.push_back(sdlSteps[step].name);
        }
        if (call < gl.size() && !IsVertexStream(gl[call].name)) {
            timeline.push_back(gl[call].name);
        }
    }
    return timeline;
}

// One frame with no font loaded, no events and a clock that ends the wait
// after the given number of reads.
std::vector<std::string> ExpectedFrame(int waitReads, int polls = 1)
{
    std::vector<std::string> frame = {"ticks", "pump"};
    frame.insert(frame.end(), polls, "poll");
    const std::vector<std::string> rest = {
        "keys", "mouse",
        // projection and view
        "glMatrixMode", "glLoadIdentity", "gluPerspective", "glMatrixMode", "glLoadIdentity", "glLoadMatrixf",
        "glLightfv", "glClear",
        // terrain mesh
        "glEnable", "glDepthMask", "glPolygonMode", "glDisable", "glBindTexture", "glBegin", "glEnd",
        // status overlay (without a font: its state changes only)
        "glMatrixMode", "glLoadIdentity", "gluOrtho2D", "glMatrixMode", "glLoadIdentity", "glDisable", "glEnable",
        "glBlendFunc", "glBindTexture", "glDisable",
        "swap"};
    frame.insert(frame.end(), rest.begin(), rest.end());
    frame.insert(frame.end(), waitReads, "ticks");
    return frame;
}

std::string Joined(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names) {
        text += name + " ";
    }
    return text;
}

class FrameLoopTest : public FakeInputTest {
protected:
    void SetUp() override
    {
        FakeInputTest::SetUp();
        inputSource = {LoggedPump, LoggedPoll, LoggedKeyState, LoggedMouse, LoggedTicks};
        UnloadFont();
        GlRecorder::Clear();
        sdlSteps.clear();
        atEachPump = nullptr;
        pumps = 0;
        scriptedClock = false;
        generationCalls.clear();
        falloffExponent = 1.0f;
        heightMap.Fill(0.5f);
        fakeSdl.mouseX = 400;
        fakeSdl.mouseY = 300;
    }
    void TearDown() override
    {
        atEachPump = nullptr;
        GlRecorder::Clear();
        FakeInputTest::TearDown();
    }

    // Starts the controls as the entry does; the start-up reads are not part
    // of any frame.
    void Start()
    {
        controls.emplace(StartControls(heightMap, roughness, viewFrame, targetFrame));
        loop.emplace(heightMap, viewFrame, targetFrame, *controls, LoggedSwap);
        sdlSteps.clear();
    }

    void SetKeysDown(std::initializer_list<int> down)
    {
        std::fill(fakeSdl.keys.begin(), fakeSdl.keys.end(), 0);
        for (int key : down) {
            fakeSdl.keys[key] = 1;
        }
    }

    // The first mesh vertex's grey, which is the height of cell (0, 0).
    double FirstMeshGrey()
    {
        const std::vector<GlCall> colours = GlRecorder::CallsNamed("glColor4fv");
        return colours.empty() ? -1.0 : colours[0].args[0];
    }

    Array2D<float> heightMap{heightMapCells, heightMapCells};
    float roughness = 0.5f;
    CameraFrame viewFrame = StartFrame();
    CameraFrame targetFrame = StartFrame();
    std::optional<ControlState> controls;
    std::optional<FrameLoop> loop;
};

TEST_F(FrameLoopTest, AFrameRunsEveryStepInOrderAndWaitsOutItsFifteenMilliseconds)
{
    Start();
    // Stamped at 1000; the wait reads 1003 and 1014, and ends at 1015.
    fakeSdl.ticks = {1000, 1003, 1014, 1015, 5000};
    scriptedClock = true;
    loop->RunFrame();

    EXPECT_EQ(Joined(Timeline()), Joined(ExpectedFrame(3)));
    EXPECT_EQ(fakeSdl.tickReads, 4u) << "the wait went on past 15 ms";
    EXPECT_EQ(frameStartTicks, 1000u);
    EXPECT_FALSE(loop->QuitRequested());

    const std::vector<GlCall> perspective = GlRecorder::CallsNamed("gluPerspective");
    ASSERT_EQ(perspective.size(), 1u);
    EXPECT_EQ(perspective[0].args,
              (std::vector<double>{37.0, double(1.3333334f), double(0.01f), double(300.01f)}));
    const std::vector<GlCall> clear = GlRecorder::CallsNamed("glClear");
    ASSERT_EQ(clear.size(), 1u);
    EXPECT_EQ(clear[0].args, (std::vector<double>{GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT}));
    const std::vector<GlCall> light = GlRecorder::CallsNamed("glLightfv");
    ASSERT_EQ(light.size(), 1u);
    EXPECT_EQ(light[0].args, (std::vector<double>{GL_LIGHT0, GL_POSITION, 0, 0, 0, 1}));
    EXPECT_EQ(GlRecorder::CallsNamed("glVertex3fv").size(), 128u * 128u * 6u);
}

// The first frame squares up the target and eases the view a fifth of the
// way towards it; the view matrix is built from that eased frame: rows
// lateral (0.9285, 0, 0), up (0, 0.8305, -0.4152) and -at (0, 0.4472,
// 0.8944), after a shift by -(0, 0.5, 1).
TEST_F(FrameLoopTest, TheViewMatrixIsTheEasedFrameOfThisFrame)
{
    Start();
    loop->RunFrame();
    const std::vector<GlCall> loads = GlRecorder::CallsNamed("glLoadMatrixf");
    ASSERT_EQ(loads.size(), 1u);
    const std::vector<double>& m = loads[0].args;
    const double expected[16] = {0.9285, 0, 0, 0, 0, 0.8305, 0.4472, 0, 0, -0.4152, 0.8944, 0,
                                 0, 0.8305 * -0.5 + 0.4152, -(0.4472 * 0.5 + 0.8944), 1};
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(m[i], expected[i], 2e-4) << "index " << i;
    }
    EXPECT_NEAR(targetFrame.up.y, 0.8, 1e-6) << "the target was not squared up";
    EXPECT_NEAR(viewFrame.up.y, 0.8305, 1e-4);
}

// Keys act before the camera and the drawing of the same frame: the
// regenerated map is the one drawn, and the moved target is already eased
// towards.
TEST_F(FrameLoopTest, ControlsActBeforeTheCameraAndTheDrawingOfTheirFrame)
{
    Start();
    loop->RunFrame();
    loop->RunFrame();  // settled: view and target agree
    const CameraFrame settled = viewFrame;

    GlRecorder::Clear();
    SetKeysDown({SDLK_j, SDLK_w});
    loop->RunFrame();
    ASSERT_EQ(generationCalls.size(), 1u);
    EXPECT_EQ(FirstMeshGrey(), double(0.5f * 1.01f)) << "the mesh drew the map from before the regeneration";
    EXPECT_LT(targetFrame.position.z, settled.position.z);
    const float eased = viewFrame.position.z;
    EXPECT_LT(eased, settled.position.z) << "the view did not move towards the moved target this frame";
    EXPECT_GT(eased, targetFrame.position.z);
    const std::vector<GlCall> loads = GlRecorder::CallsNamed("glLoadMatrixf");
    ASSERT_EQ(loads.size(), 1u);
    const Matrix4 view = ViewMatrix(viewFrame);
    EXPECT_EQ(loads[0].args, std::vector<double>(view.m, view.m + 16));
}

// A window close still runs the rest of its frame: the controls, the drawing,
// the swap and the wait; only then does the loop stop.
TEST_F(FrameLoopTest, TheFrameThatSeesAWindowCloseRunsToItsEnd)
{
    Start();
    fakeSdl.events.push_back(EventOfType(SDL_QUIT));
    fakeSdl.events.push_back(EventOfType(SDL_MOUSEMOTION));
    SetKeysDown({SDLK_j, SDLK_w});
    fakeSdl.ticks = {200, 216};
    scriptedClock = true;
    const Vector3 before = targetFrame.position;
    loop->RunFrame();

    EXPECT_TRUE(loop->QuitRequested());
    EXPECT_EQ(Joined(Timeline()), Joined(ExpectedFrame(1, 3)));
    EXPECT_EQ(generationCalls.size(), 1u) << "the generation keys did not act";
    EXPECT_NE(targetFrame.position.z, before.z) << "the movement keys did not act";
}

TEST_F(FrameLoopTest, EscapeEndsTheLoopAfterItsFrame)
{
    Start();
    // Escape goes down in the third frame.
    atEachPump = [this](int frame) {
        if (frame == 2) {
            SetKeysDown({SDLK_ESCAPE, SDLK_m});
        }
    };
    loop->Run();
    const std::vector<std::string> timeline = Timeline();
    EXPECT_EQ(std::count(timeline.begin(), timeline.end(), "swap"), 3);
    EXPECT_EQ(timeline.back(), "ticks") << "the last frame was not paced";
    EXPECT_EQ(pumps, 3);
    ASSERT_EQ(generationCalls.size(), 1u);
    EXPECT_EQ(generationCalls[0].falloffExponent, 1.0f * 1.01f);
}

TEST_F(FrameLoopTest, AnEscapeStateOtherThanDownDoesNotQuit)
{
    Start();
    fakeSdl.keys[SDLK_ESCAPE] = 2;
    loop->RunFrame();
    EXPECT_FALSE(loop->QuitRequested());
    fakeSdl.keys[SDLK_ESCAPE] = 1;
    loop->RunFrame();
    EXPECT_TRUE(loop->QuitRequested());
}

// An event of a type other than SDL_QUIT, or a quit in an earlier frame's
// queue only, does not end the loop.
TEST_F(FrameLoopTest, OnlyAQuitEventPolledThisFrameQuits)
{
    Start();
    fakeSdl.events.push_back(EventOfType(SDL_KEYDOWN));
    fakeSdl.events.push_back(EventOfType(SDL_ACTIVEEVENT));
    loop->RunFrame();
    EXPECT_FALSE(loop->QuitRequested());
    atEachPump = [](int frame) {
        if (frame == 4) {
            fakeSdl.events.push_back(EventOfType(SDL_QUIT));
        }
    };
    loop->Run();
    EXPECT_EQ(pumps, 5);
}

}  // namespace
