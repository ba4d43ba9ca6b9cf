// The controls and the heightmap export, driven as a user would: keys and
// drags on the real viewer, files in its working directory, screenshots.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <thread>
#include <vector>

#include "ViewerRun.h"

// Last: Xlib's macros must not reach the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace e2e {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<char>;

const std::string kToolPath = kViewerDir + "/orvandel-heightmap";

Bytes ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> FilesIn(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

// The export happens inside a frame; give the viewer a moment to reach it.
std::vector<std::string> WaitForFiles(const std::string& dir)
{
    for (int attempt = 0; attempt < 40 && FilesIn(dir).empty(); ++attempt) {
        std::this_thread::sleep_for(50ms);
    }
    std::this_thread::sleep_for(200ms);
    return FilesIn(dir);
}

// The viewer reads the buttons once a frame, after all of that frame's events:
// motion in the frame that also sees the release would count as motion with
// no button down. So the buttons go down and up only while the pointer rests.
void DragSlowly(ViewerRun& viewer, const std::vector<unsigned>& buttons, std::pair<int, int> from,
                std::pair<int, int> to)
{
    X11Client& x = viewer.X();
    x.MovePointer(viewer.window, from.first, from.second);
    std::this_thread::sleep_for(300ms);
    for (unsigned button : buttons) {
        x.ButtonDown(button);
    }
    std::this_thread::sleep_for(500ms);
    const int steps = 10;
    for (int i = 1; i <= steps; ++i) {
        x.MovePointer(viewer.window, from.first + (to.first - from.first) * i / steps,
                      from.second + (to.second - from.second) * i / steps);
        std::this_thread::sleep_for(60ms);
    }
    std::this_thread::sleep_for(500ms);
    for (auto button = buttons.rbegin(); button != buttons.rend(); ++button) {
        x.ButtonUp(*button);
    }
}

// The raw pixels of a band across the window, through Xlib directly: far
// cheaper than a whole capture, so polling it sees every frame the viewer draws.
std::vector<char> Band(ViewerRun& viewer)
{
    XImage* shot = XGetImage(viewer.X().Raw(), viewer.window, 0, 100, 800, 200, AllPlanes, ZPixmap);
    if (shot == nullptr) {
        return {};
    }
    std::vector<char> bytes(shot->data, shot->data + size_t(shot->bytes_per_line) * shot->height);
    XDestroyImage(shot);
    return bytes;
}

// Holds the key until the viewer has drawn the given number of changed
// pictures with it down. Equal counts are equal holds in the viewer's own
// time, however busy the machine is.
void HoldForFrames(ViewerRun& viewer, const std::string& key, int frames)
{
    std::vector<char> previous = Band(viewer);
    viewer.X().KeyDown(key);
    const auto limit = std::chrono::steady_clock::now() + 20s;
    for (int seen = 0; seen < frames && std::chrono::steady_clock::now() < limit;) {
        std::this_thread::sleep_for(1ms);
        std::vector<char> next = Band(viewer);
        if (next != previous) {
            ++seen;
            previous = std::move(next);
        }
    }
    viewer.X().KeyUp(key);
}

long DifferingPixels(const Image& a, const Image& b) { return Compare(a, b, 16).differingPixels; }

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

    // Held across a change of second: exporting every frame would leave two names.
    viewer.X().HoldKey("g", 1300ms);
    std::vector<std::string> files = WaitForFiles(dir.Path());
    ASSERT_EQ(files.size(), 1u) << viewer.Diagnostics();
    EXPECT_TRUE(std::regex_match(files[0], std::regex(R"(\d{4}-\d\d-\d\d \d\d-\d\d-\d\d heightmap\.tga)")))
        << files[0];
    const Bytes first = ReadAll(dir.Path() + "/" + files[0]);
    EXPECT_EQ(first.size(), 49941u);

    TemporaryDirectory elsewhere;
    const std::string reference = elsewhere.Path() + "/reference.tga";
    ChildProcess tool(LaunchOptions{{kToolPath, "--out", reference}, "", {}, -1});
    ASSERT_EQ(tool.WaitForExit(10s), 0) << tool.Stderr();
    EXPECT_TRUE(first == ReadAll(reference)) << "the viewer's export differs from orvandel-heightmap's";

    std::filesystem::remove(dir.Path() + "/" + files[0]);
    HoldForFrames(viewer, "j", 3);
    viewer.X().HoldKey("g", 400ms);
    files = WaitForFiles(dir.Path());
    ASSERT_EQ(files.size(), 1u) << viewer.Diagnostics();
    const Bytes rougher = ReadAll(dir.Path() + "/" + files[0]);
    EXPECT_EQ(rougher.size(), 49941u);
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
    EXPECT_LT(returned, moved / 3) << "forward changed " << moved << " pixels";
}

TEST_F(ViewerControls, RightDragUpMovesTheView)
{
    ViewerRun viewer(server, dir.Path());
    ASSERT_NE(viewer.window, 0u) << viewer.Diagnostics();
    const Image start = viewer.SettledCapture();
    DragSlowly(viewer, {3}, {400, 350}, {400, 250});
    EXPECT_GT(DifferingPixels(start, viewer.SettledCapture()), 20000);
}

// A roll keeps the view direction, so the new picture is the old one turned
// about its centre.
TEST_F(ViewerControls, LeftAndRightDragRollsTheView)
{
    ViewerRun viewer(server, dir.Path());
    ASSERT_NE(viewer.window, 0u) << viewer.Diagnostics();
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
