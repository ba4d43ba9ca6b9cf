// The window, the frame loop's picture, and the two ways to quit.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>
#include <vector>

#include "ViewerRun.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;

class ViewerWindow : public ::testing::Test {
protected:
    XvfbServer server;
};

TEST_F(ViewerWindow, IsTitledAndSized)
{
    ViewerRun viewer(server);
    ASSERT_NE(viewer.window, 0u) << viewer.Diagnostics();
    const WindowSize size = viewer.X().Size(viewer.window);
    EXPECT_EQ(size.width, 800);
    EXPECT_EQ(size.height, 600);
}

TEST_F(ViewerWindow, ShowsTheClearColourWhereNothingIsDrawn)
{
    ViewerRun viewer(server);
    ASSERT_NE(viewer.window, 0u) << viewer.Diagnostics();
    const Image corner = viewer.SettledCapture().Crop(700, 0, 100, 40);  // top right, away from text and terrain
    ASSERT_EQ(corner.Width(), 100);
    for (int y = 0; y < corner.Height(); ++y) {
        for (int x = 0; x < corner.Width(); ++x) {
            const Rgb p = corner.At(x, y);
            ASSERT_TRUE(IsClearColour(p)) << "at " << 700 + x << "," << y << ": " << int(p.r) << " "
                                          << int(p.g) << " " << int(p.b);
        }
    }
}

TEST_F(ViewerWindow, EscapeHeldForSomeFramesEndsWithZeroWithinTwoSeconds)
{
    ViewerRun viewer(server);
    ASSERT_NE(viewer.window, 0u) << viewer.Diagnostics();
    EXPECT_EQ(viewer.QuitWithEscape(2000ms), 0) << viewer.Diagnostics();
}

TEST_F(ViewerWindow, CloseRequestEndsWithZero)
{
    ViewerRun viewer(server);
    ASSERT_NE(viewer.window, 0u) << viewer.Diagnostics();
    viewer.X().SendDeleteWindow(viewer.window);
    EXPECT_EQ(viewer.process.WaitForExit(2000ms), 0) << viewer.Diagnostics();
}

// CPU time the process has used so far, all its threads together.
std::chrono::milliseconds CpuTime(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    const std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::istringstream fields(stat.substr(stat.rfind(')') + 1));  // the name may hold spaces
    std::string skipped;
    for (int field = 3; field < 14; ++field) {
        fields >> skipped;
    }
    long user = 0, system = 0;
    fields >> user >> system;
    return std::chrono::milliseconds((user + system) * 1000 / sysconf(_SC_CLK_TCK));
}

// With no input the camera settles within two frames and stays still: the
// first frame still shows the start frame's short axes, every later one the same.
TEST_F(ViewerWindow, StillSceneGivesIdenticalScreenshotsASecondApart)
{
    ViewerRun viewer(server);
    ASSERT_NE(viewer.window, 0u) << viewer.Diagnostics();
    // Raw pixels, polled fast: the first frame is shown only while the second is drawn.
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    const auto pollUntil = [&](auto done) {
        std::vector<char> pixels = viewer.RawRows(0, 600);
        while (!done(pixels) && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(1ms);
            pixels = viewer.RawRows(0, 600);
        }
        return done(pixels);
    };
    std::vector<char> firstSeen;
    ASSERT_TRUE(pollUntil([&](const std::vector<char>& pixels) {
        firstSeen = pixels;
        return std::any_of(pixels.begin(), pixels.end(), [](char byte) { return byte != 0; });
    })) << "no frame drawn within 20 s\n" << viewer.Diagnostics();
    // Even so the first frame can be missed; then the picture seen is
    // already the settled one and never changes. The viewer busy-waits out
    // every frame, so a second of its CPU time is many frames, however
    // loaded the machine.
    const std::chrono::milliseconds cpuAtFirstSeen = CpuTime(viewer.process.Pid());
    ASSERT_TRUE(pollUntil([&](const std::vector<char>& pixels) {
        return pixels != firstSeen || CpuTime(viewer.process.Pid()) - cpuAtFirstSeen > 1s;
    })) << "the viewer stopped before its second frame\n" << viewer.Diagnostics();
    const Image first = viewer.X().Capture(viewer.window);
    std::this_thread::sleep_for(1000ms);
    const Image second = viewer.X().Capture(viewer.window);

    long terrain = 0;  // the terrain must be there, or the check says little
    for (int y = 0; y < first.Height(); ++y) {
        for (int x = 0; x < first.Width(); ++x) {
            terrain += !IsClearColour(first.At(x, y));
        }
    }
    EXPECT_GT(terrain, 10000);
    const ImageDifference difference = Compare(first, second);
    EXPECT_TRUE(difference.Identical()) << difference.differingPixels << " pixels differ, by up to "
                                        << difference.largestDistance;
}

}  // namespace
}  // namespace e2e
