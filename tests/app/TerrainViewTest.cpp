// The views, the detailed map's worker and the timedemo, through the frame
// loop with scripted input, the recording generator and the recording
// stand-in for OpenGL.

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "FakeGenerator.h"
#include "FakeInput.h"
#include "GlRecorder.h"
#include "app/FrameLoop.h"
#include "app/Timedemo.h"
#include "render/Render.h"
#include "terrain/HeightMapGenerator.h"

namespace {

using namespace std::chrono_literals;

void NoSwap() {}
// Each read a frame's length after the last, so every wait ends at once.
Uint32 runningClock = 0;
Uint32 RunningTicks() { return runningClock += 16; }

class TerrainViewTest : public FakeInputTest {
protected:
    void SetUp() override
    {
        FakeInputTest::SetUp();
        inputSource.getTicks = RunningTicks;
        UnloadFont();
        GlRecorder::Clear();
        generationCalls.clear();
        heightMap.Fill(0.5f);
    }
    void TearDown() override
    {
        GlRecorder::Clear();
        FakeInputTest::TearDown();
    }

    void Start(TerrainView* view)
    {
        controls.emplace(StartControls(heightMap, roughness, viewFrame, targetFrame));
        loop.emplace(heightMap, viewFrame, targetFrame, *controls, NoSwap, view);
    }
    void Frame(std::initializer_list<int> down = {})
    {
        SetKeysDown(down);
        GlRecorder::ClearCalls();
        loop->RunFrame();
    }
    void SetKeysDown(std::initializer_list<int> down)
    {
        std::fill(fakeSdl.keys.begin(), fakeSdl.keys.end(), 0);
        for (int key : down) {
            fakeSdl.keys[key] = 1;
        }
    }
    std::vector<double> FirstColour()
    {
        const std::vector<GlCall> colours = GlRecorder::CallsNamed("glColor4fv");
        return colours.empty() ? std::vector<double>{} : colours[0].args;
    }

    Array2D<float> heightMap{heightMapCells, heightMapCells};
    float roughness = 0.5f;
    CameraFrame viewFrame = StartFrame();
    CameraFrame targetFrame = StartFrame();
    std::optional<ControlState> controls;
    std::optional<FrameLoop> loop;
};

// The viewer always draws through its terrain view; in the height view at
// 129 that must be the very calls of the mesh drawn directly.
TEST_F(TerrainViewTest, TheDefaultViewSendsExactlyTheCallsOfTheGreyMesh)
{
    Start(nullptr);
    Frame();
    const std::vector<GlCall> plain = GlRecorder::Calls();
    TerrainView view(heightMap, ViewMode::Height, heightMapCells, nullptr);
    viewFrame = targetFrame = StartFrame();
    Start(&view);
    Frame();
    const std::vector<GlCall>& viewed = GlRecorder::Calls();
    ASSERT_EQ(viewed.size(), plain.size());
    for (size_t i = 0; i < plain.size(); ++i) {
        ASSERT_EQ(viewed[i].name, plain[i].name) << "call " << i;
        ASSERT_EQ(viewed[i].args, plain[i].args) << "call " << i << " " << plain[i].name;
    }
}

// V, once a press, goes height, shaded, colour, height. The map is flat at
// 0.5: shaded, it is lit as the shade map lights flat ground (sin 45
// degrees); coloured, it is grass (980 m above the sea, no slope), lit so.
TEST_F(TerrainViewTest, VCyclesTheViewsOncePerPress)
{
    TerrainView view(heightMap, ViewMode::Height, heightMapCells, nullptr);
    Start(&view);
    Frame();
    EXPECT_EQ(FirstColour(), (std::vector<double>{0.5, 0.5, 0.5, 1}));

    Frame({SDLK_v});
    EXPECT_EQ(view.Mode(), ViewMode::Shaded);
    const double lit = float(std::sqrt(0.5));
    EXPECT_EQ(FirstColour(), (std::vector<double>{lit, lit, lit, 1}));
    Frame({SDLK_v});
    EXPECT_EQ(view.Mode(), ViewMode::Shaded) << "a held V is one press";

    Frame();
    Frame({SDLK_v});
    EXPECT_EQ(view.Mode(), ViewMode::Colour);
    const std::vector<double> grass = FirstColour();
    ASSERT_EQ(grass.size(), 4u);
    EXPECT_GT(grass[1], grass[0]);
    EXPECT_GT(grass[0], grass[2]);
    EXPECT_LT(grass[1], lit) << "not lit";
    EXPECT_EQ(GlRecorder::CallsNamed("glVertex3fv").size(), 128u * 128u * 6u);

    Frame();
    Frame({SDLK_v});
    EXPECT_EQ(view.Mode(), ViewMode::Height);
    EXPECT_EQ(FirstColour(), (std::vector<double>{0.5, 0.5, 0.5, 1}));
}

// A stand-in for the detailed map's generator that holds each map until the
// test lets it go, and fills it with the roughness it was asked for.
class HeldGenerator {
public:
    void operator()(Array2D<float>& map, const TerrainParameters& parameters,
                    const std::function<void(double)>& progress)
    {
        ++started;
        {
            std::unique_lock<std::mutex> lock(mutex);
            // Bounded, so a frame that did wait for it ends the test as a
            // failure instead of hanging it.
            released.wait_for(lock, 20s, [&] { return letGo; });
        }
        progress(0.5);
        map.Fill(parameters.roughness);
        ++finished;
    }
    void LetGo()
    {
        std::lock_guard<std::mutex> lock(mutex);
        letGo = true;
        released.notify_all();
    }

    std::atomic<int> started{0};
    std::atomic<int> finished{0};

private:
    std::mutex mutex;
    std::condition_variable released;
    bool letGo = false;
};

// Frames until the view shows its detailed map, at most 10 s of them.
bool FramesUntilDetailed(const TerrainView& view, const std::function<void()>& frame)
{
    for (int i = 0; i < 2000 && !view.Detailed(); ++i) {
        frame();
        std::this_thread::sleep_for(5ms);
    }
    return view.Detailed() != nullptr;
}

TEST_F(TerrainViewTest, FramesNeverWaitForTheDetailedMapAndHeldKeysDrawThe129Map)
{
    HeldGenerator generator;
    TerrainView view(heightMap, ViewMode::Height, 257,
                     [&](Array2D<float>& map, const TerrainParameters& parameters,
                         const std::function<void(double)>& progress) { generator(map, parameters, progress); });
    Start(&view);
    for (int i = 0; i < 5; ++i) {
        Frame();
        EXPECT_EQ(GlRecorder::CallsNamed("glBegin").size(), 1u) << "the 129 map is drawn meanwhile";
    }
    EXPECT_EQ(generator.finished, 0) << "a frame waited for the worker";
    EXPECT_EQ(view.Detailed(), nullptr);

    generator.LetGo();
    ASSERT_TRUE(FramesUntilDetailed(view, [&] { Frame(); }));
    Frame();
    ASSERT_EQ(GlRecorder::CallsNamed("glDrawRangeElements").size(), 1u);
    EXPECT_EQ(GlRecorder::CallsNamed("glBegin").size(), 0u);
    for (const GlRecorder::DrawnVertex& vertex : GlRecorder::LastDrawnVertices()) {
        ASSERT_EQ(vertex.y, 0.2f * 0.5f);
    }
    EXPECT_EQ(generator.started, 1);

    // A held key regenerates and draws the 129 map; once let go, the
    // detailed map of the new roughness follows.
    Frame({SDLK_j});
    EXPECT_EQ(view.Detailed(), nullptr);
    EXPECT_EQ(GlRecorder::CallsNamed("glBegin").size(), 1u);
    EXPECT_EQ(generationCalls.size(), 1u);
    ASSERT_TRUE(FramesUntilDetailed(view, [&] { Frame(); }));
    EXPECT_EQ(generator.started, 2);
    Frame();
    ASSERT_FALSE(GlRecorder::LastDrawnVertices().empty());
    EXPECT_EQ(GlRecorder::LastDrawnVertices()[0].y, 0.2f * (0.5f * 1.01f));
}

// The timedemo's frames run unpaced on its path, and its line reports them.
TEST_F(TerrainViewTest, TheTimedemoFliesItsPathUnpacedAndReportsItsFrames)
{
    TerrainView view(heightMap, ViewMode::Height, heightMapCells, nullptr);
    Start(&view);
    const size_t readsBefore = size_t(runningClock);
    const std::vector<double> times = RunTimedemo(*loop, viewFrame, targetFrame, 3);
    ASSERT_EQ(times.size(), 3u);
    EXPECT_EQ((runningClock - readsBefore) / 16, 3u) << "one clock read a frame: the frame stamp, no wait";
    const CameraFrame last = TimedemoCamera(2, 3);
    EXPECT_EQ(viewFrame.position.x, last.position.x);
    EXPECT_EQ(viewFrame.position.z, last.position.z);

    EXPECT_EQ(TimedemoReport({4, 1, 3, 2}), "frames 4, mean 2.50 ms, p95 4.00 ms");
    std::vector<double> twenty;
    for (int i = 20; i >= 1; --i) {
        twenty.push_back(i);
    }
    EXPECT_EQ(TimedemoReport(twenty), "frames 20, mean 10.50 ms, p95 19.00 ms");

    // Only every frame run is a result; fewer say how many ran, status 1.
    const TimedemoOutcome finished = TimedemoResult({4, 1, 3, 2}, 4);
    EXPECT_TRUE(finished.finished);
    EXPECT_EQ(finished.line, "frames 4, mean 2.50 ms, p95 4.00 ms");
    EXPECT_EQ(finished.status, 0);
    const TimedemoOutcome cut = TimedemoResult({4, 1, 3}, 300);
    EXPECT_FALSE(cut.finished);
    EXPECT_EQ(cut.line, "timedemo interrupted after 3 of 300 frames; no result");
    EXPECT_EQ(cut.status, 1);
}

}  // namespace
