// The controls and the heightmap export, driven as a user would: keys and
// drags on the real viewer, files in its working directory, screenshots.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <regex>
#include <thread>
#include <vector>

#include "ViewerKeys.h"
#include "ViewerRun.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;

// The viewer reads the buttons once a frame, after all of that frame's events:
// motion in the frame that also sees the release would count as motion with
// no button down. So the buttons go up only once the picture has followed the
// whole drag and stopped moving. Motion right after the press is safe: events
// are seen in order. The pointer must already rest at from, seen by the
// viewer (move it there before the capture that precedes the drag).
void DragSlowly(ViewerRun& viewer, const std::vector<unsigned>& buttons, std::pair<int, int> from,
                std::pair<int, int> to)
{
    X11Client& x = viewer.X();
    const Image before = x.Capture(viewer.window);
    for (unsigned button : buttons) {
        x.ButtonDown(button);
    }
    const int steps = 10;
    for (int i = 1; i <= steps; ++i) {
        x.MovePointer(viewer.window, from.first + (to.first - from.first) * i / steps,
                      from.second + (to.second - from.second) * i / steps);
        std::this_thread::sleep_for(20ms);  // a hand's pace; the viewer adds up whatever it is given
    }
    Image moved = x.Capture(viewer.window);
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (Compare(before, moved).Identical() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
        moved = x.Capture(viewer.window);
    }
    EXPECT_FALSE(Compare(before, moved).Identical()) << "the drag did not change the picture within 20 s";
    viewer.StillCapture(std::move(moved));
    for (auto button = buttons.rbegin(); button != buttons.rend(); ++button) {
        x.ButtonUp(*button);
    }
}

long DifferingPixels(const Image& a, const Image& b) { return Compare(a, b, 16).differingPixels; }

// Terrain on screen: the nearer the camera, the more of the window it fills.
long TerrainPixels(const Image& shot)
{
    long terrain = 0;
    for (int y = 0; y < shot.Height(); ++y) {
        for (int x = 0; x < shot.Width(); ++x) {
            terrain += !IsClearColour(shot.At(x, y));
        }
    }
    return terrain;
}

// Share of sampled pixels of after that do not match before turned by the
// given angle about the picture's centre.
double MismatchTurnedBy(const Image& before, const Image& after, double degrees)
{
    const double angle = degrees * M_PI / 180.0;
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    const double cx = after.Width() / 2.0;
    const double cy = after.Height() / 2.0;
    long sampled = 0;
    long mismatched = 0;
    for (int y = 0; y < after.Height(); y += 4) {
        for (int x = 0; x < after.Width(); x += 4) {
            const double dx = x - cx;
            const double dy = y - cy;
            if (dx * dx + dy * dy > 250.0 * 250.0) {
                continue;
            }
            const int sx = int(std::lround(cx + c * dx - s * dy));
            const int sy = int(std::lround(cy + s * dx + c * dy));
            if (sx < 0 || sy < 0 || sx >= before.Width() || sy >= before.Height()) {
                continue;
            }
            ++sampled;
            mismatched += ChannelDistance(after.At(x, y), before.At(sx, sy)) > 24;
        }
    }
    return sampled > 0 ? double(mismatched) / sampled : 1.0;
}

class ViewerControls : public ::testing::Test {
protected:
    XvfbServer server;
    TemporaryDirectory dir;
};

TEST_F(ViewerControls, GWritesOneDatedFilePerPressAndJChangesIt)
{
    ViewerRun viewer(server, dir.Path());
    ASSERT_NE(viewer.window, 0u) << viewer.Diagnostics();

    const std::string name = PressG(viewer, dir.Path(), true);
    ASSERT_FALSE(name.empty()) << viewer.Diagnostics();
    EXPECT_EQ(FilesIn(dir.Path()).size(), 1u) << "one press, held across a change of second";
    EXPECT_TRUE(std::regex_match(name, std::regex(R"(\d{4}-\d\d-\d\d \d\d-\d\d-\d\d heightmap\.tga)"))) << name;
    const Bytes first = ReadAll(dir.Path() + "/" + name);
    EXPECT_EQ(first.size(), kExportSize);

    TemporaryDirectory elsewhere;
    const std::string reference = elsewhere.Path() + "/reference.tga";
    ChildProcess tool(LaunchOptions{{kToolPath, "--out", reference}, "", {}, -1});
    ASSERT_EQ(tool.WaitForExit(10s), 0) << tool.Stderr();
    EXPECT_TRUE(first == ReadAll(reference)) << "the viewer's export differs from orvandel-heightmap's";

    std::filesystem::remove(dir.Path() + "/" + name);
    HoldForFrames(viewer, "j", 3);
    const std::string second = PressG(viewer, dir.Path(), false);
    ASSERT_FALSE(second.empty()) << viewer.Diagnostics();
    const Bytes rougher = ReadAll(dir.Path() + "/" + second);
    EXPECT_EQ(rougher.size(), kExportSize);
    EXPECT_FALSE(rougher == first) << "holding J did not change the exported map";

    EXPECT_EQ(viewer.QuitWithEscape(), 0) << viewer.Diagnostics();
}

TEST_F(ViewerControls, WForwardThenSBackReturnsCloseToTheStart)
{
    ViewerRun viewer(server, dir.Path());
    ASSERT_NE(viewer.window, 0u) << viewer.Diagnostics();
    const Image start = viewer.SettledCapture();
    HoldForFrames(viewer, "w", 12);
    const Image forward = viewer.SettledCapture();
    HoldForFrames(viewer, "s", 12);
    const Image back = viewer.SettledCapture();

    const long moved = DifferingPixels(start, forward);
    const long returned = DifferingPixels(start, back);
    EXPECT_GT(moved, 20000);
    EXPECT_GT(TerrainPixels(forward), TerrainPixels(start) + 10000) << "W did not bring the terrain nearer";
    EXPECT_LT(returned, moved / 3) << "forward changed " << moved << " pixels";
}

TEST_F(ViewerControls, RightDragUpMovesTheCameraForward)
{
    ViewerRun viewer(server, dir.Path());
    ASSERT_NE(viewer.window, 0u) << viewer.Diagnostics();
    viewer.X().MovePointer(viewer.window, 400, 350);
    const Image start = viewer.SettledCapture();
    DragSlowly(viewer, {3}, {400, 350}, {400, 250});
    const Image forward = viewer.SettledCapture();
    EXPECT_GT(DifferingPixels(start, forward), 20000);
    EXPECT_GT(TerrainPixels(forward), TerrainPixels(start) + 10000) << "the drag did not bring the terrain nearer";
}

// A roll keeps the view direction, so the new picture is the old one turned
// about its centre.
TEST_F(ViewerControls, LeftAndRightDragRollsTheView)
{
    ViewerRun viewer(server, dir.Path());
    ASSERT_NE(viewer.window, 0u) << viewer.Diagnostics();
    viewer.X().MovePointer(viewer.window, 300, 300);
    const Image start = viewer.SettledCapture();
    DragSlowly(viewer, {1, 3}, {300, 300}, {400, 300});
    const Image rolled = viewer.SettledCapture();

    double bestAngle = 0;
    double bestMismatch = MismatchTurnedBy(start, rolled, 0);
    const double unturned = bestMismatch;
    for (double degrees = -45; degrees <= 45; degrees += 1) {
        const double mismatch = MismatchTurnedBy(start, rolled, degrees);
        if (mismatch < bestMismatch) {
            bestMismatch = mismatch;
            bestAngle = degrees;
        }
    }
    EXPECT_GE(std::fabs(bestAngle), 10.0) << "mismatch " << bestMismatch << " unturned " << unturned;
    EXPECT_LT(bestMismatch, unturned / 3) << "best angle " << bestAngle;
}

}  // namespace
}  // namespace e2e
