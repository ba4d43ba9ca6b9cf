// The window, the frame loop's picture, and the two ways to quit.

#include <gtest/gtest.h>

#include <thread>

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

// With no input the camera settles within two frames and stays still.
TEST_F(ViewerWindow, StillSceneGivesIdenticalScreenshotsASecondApart)
{
    ViewerRun viewer(server);
    ASSERT_NE(viewer.window, 0u) << viewer.Diagnostics();
    viewer.FirstFrame();
    std::this_thread::sleep_for(200ms);  // a dozen frames at most; two are enough to settle
    const Image first = viewer.X().Capture(viewer.window);
    std::this_thread::sleep_for(1000ms);
    const Image second = viewer.X().Capture(viewer.window);

    long drawn = 0;  // the terrain must be there, or the check says little
    for (int y = 0; y < first.Height(); ++y) {
        for (int x = 0; x < first.Width(); ++x) {
            drawn += !IsClearColour(first.At(x, y));
        }
    }
    EXPECT_GT(drawn, 10000);
    const ImageDifference difference = Compare(first, second);
    EXPECT_TRUE(difference.Identical()) << difference.differingPixels << " pixels differ, by up to "
                                        << difference.largestDistance;
}

}  // namespace
}  // namespace e2e
