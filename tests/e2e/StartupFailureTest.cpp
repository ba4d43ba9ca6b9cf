// Start-up failures print one line on standard output and end with 1.

#include <gtest/gtest.h>

#include <algorithm>

#include "ViewerRun.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;

long LineCount(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

// Drops the terminal control sequences a text-mode driver writes: escape
// sequences (CSI, OSC, character-set and keypad selections) and control
// characters other than the line feed.
std::string WithoutTerminalControls(const std::string& text)
{
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = text[i];
        if (c == 0x1B && i + 1 < text.size()) {
            const char kind = text[++i];
            if (kind == '[') {
                while (i + 1 < text.size() && !(text[i + 1] >= 0x40 && text[i + 1] <= 0x7E)) {
                    ++i;
                }
                ++i;
            } else if (kind == ']') {
                while (i + 1 < text.size() && text[i + 1] != '\a' && text[i + 1] != 0x1B) {
                    ++i;
                }
                ++i;
                if (i < text.size() && text[i] == 0x1B) {
                    ++i;  // the string terminator ESC backslash
                }
            } else if (kind == '(' || kind == ')') {
                ++i;
            }
        } else if (c == '\n' || c >= 0x20) {
            plain += static_cast<char>(c);
        }
    }
    return plain;
}

TEST(StartupFailure, NoDisplayWithTheX11DriverFailsToInitSdl)
{
    ChildProcess viewer(ViewerLaunch({{"DISPLAY", std::nullopt}, {"SDL_VIDEODRIVER", std::string("x11")}}));
    ASSERT_EQ(viewer.WaitForExit(10s), 1);
    const std::string out = viewer.Stdout();
    EXPECT_EQ(LineCount(out), 1) << out;
    EXPECT_TRUE(StartsWith(out, "Unable to init SDL: ")) << out;
    EXPECT_EQ(out.back(), '\n');
}

// With neither a display nor SDL_VIDEODRIVER, what fails depends on the SDL
// 1.2 underneath. The classic library falls back to a text-mode driver:
// SDL_Init succeeds and sets up the terminal, then the video mode fails since
// that driver has no OpenGL. The compatibility layer over SDL 2 finds no
// driver at all and SDL_Init fails. Either way the user is told in one line
// that no window can be had, and the viewer ends with 1; the text after the
// viewer's prefix is the library's own and is not checked.
TEST(StartupFailure, NoDisplayAndNoDriverChosenFailsWithOneLine)
{
    ChildProcess viewer(ViewerLaunch(
        {{"DISPLAY", std::nullopt}, {"SDL_VIDEODRIVER", std::nullopt}, {"TERM", std::string("xterm")}}));
    ASSERT_EQ(viewer.WaitForExit(10s), 1) << viewer.Stdout() << viewer.Stderr();
    const std::string out = WithoutTerminalControls(viewer.Stdout());
    EXPECT_EQ(LineCount(out), 1) << out;
    EXPECT_TRUE(StartsWith(out, "Unable to init SDL: ") || StartsWith(out, "Unable to create video output window: "))
        << out;
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.back(), '\n') << out;
}

TEST(StartupFailure, ServerWithoutGlxFailsToCreateTheWindow)
{
    XvfbOptions options;
    options.glx = false;
    XvfbServer server(options);
    ChildProcess viewer(ViewerLaunch(server.ClientEnvironment()));
    ASSERT_EQ(viewer.WaitForExit(10s), 1) << viewer.Stdout();
    const std::string out = viewer.Stdout();
    EXPECT_EQ(LineCount(out), 1) << out;
    EXPECT_TRUE(StartsWith(out, "Unable to create video output window: ")) << out;
}

}  // namespace
}  // namespace e2e
