// The viewer's options and the command it prints on G: the map the viewer
// shows and exports is the map orvandel-heightmap makes from that command.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <regex>
#include <csignal>
#include <thread>

#include "ViewerKeys.h"
#include "ViewerRun.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;

long LineCount(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

// Without a display, a viewer that got as far as SDL would print SDL's
// failure on standard output and end with 1: exit 2 with nothing there means
// it stopped before any window could open.
const Environment kNoDisplay = {{"DISPLAY", std::nullopt}, {"SDL_VIDEODRIVER", std::string("x11")}};

TEST(ViewerOptions, RefusalsEndWithTwoAndOneLineBeforeAnyWindow)
{
    const std::vector<std::vector<std::string>> refused = {
        {"--size", "129"},
        {"--roughness"},
        {"--roughness", "0"},
        {"--roughness", "513"},
        {"--falloff", "70000"},
        {"--falloff", "1e-9"},
        {"--sharpness", "0"},
        {"--erosion", "5"},
        {"--seed", ""},
        {"--seed", std::string(257, 'x')},
        {"--roughness", "0.62", "extra"},
        {"--view", "sepia"},
        {"--detail", "100"},
        {"--timedemo", "0"},
    };
    for (const std::vector<std::string>& arguments : refused) {
        ChildProcess viewer(ViewerLaunch(kNoDisplay, kViewerDir, arguments));
        const std::string shown = arguments[0] + (arguments.size() > 1 ? " " + arguments[1].substr(0, 20) : "");
        EXPECT_EQ(viewer.WaitForExit(10s), 2) << shown << "\n" << viewer.Stdout() << viewer.Stderr();
        EXPECT_EQ(viewer.Stdout(), "") << shown;
        const std::string error = viewer.Stderr();
        EXPECT_EQ(LineCount(error), 1) << shown << ": " << error;
        EXPECT_EQ(error.rfind("orvandel: ", 0), 0u) << error;
    }
}

TEST(ViewerOptions, RefusalOpensNoWindowOnARealDisplay)
{
    XvfbServer server;
    ChildProcess viewer(ViewerLaunch(server.ClientEnvironment(), kViewerDir, {"--falloff", "-1"}));
    EXPECT_EQ(viewer.WaitForExit(10s), 2) << viewer.Stderr();
    EXPECT_EQ(server.Client().WaitForWindow(kWindowTitle, 500ms), 0u);
}

// The benchmark's one user path: a detailed, coloured timedemo on a real
// display prints its one line and ends by itself with 0.
TEST(ViewerOptions, TimedemoPrintsItsLineAndEndsWithZero)
{
    XvfbServer server;
    ChildProcess viewer(ViewerLaunch(server.ClientEnvironment(), kViewerDir,
                                     {"--detail", "257", "--view", "colour", "--timedemo", "20"}));
    ASSERT_EQ(viewer.WaitForExit(40s), 0) << viewer.Stdout() << viewer.Stderr();
    EXPECT_TRUE(std::regex_match(viewer.Stdout(), std::regex("frames 20, mean [0-9]+\\.[0-9]{2} ms, p95 [0-9]+\\.[0-9]{2} ms\n")))
        << viewer.Stdout();
}

// Stopped partway (SIGTERM, as a scheduler or a shell's kill sends it), the
// timedemo has no result: it says it was interrupted and after how many
// frames, on standard error, prints no result line and ends with 1.
TEST(ViewerOptions, InterruptedTimedemoSaysSoAndEndsNonZero)
{
    XvfbServer server;
    ChildProcess viewer(ViewerLaunch(server.ClientEnvironment(), kViewerDir, {"--timedemo", "1000000"}));
    ASSERT_NE(server.Client().WaitForWindow(kWindowTitle, 20s), 0u) << viewer.Stderr();
    std::this_thread::sleep_for(500ms);
    kill(viewer.Pid(), SIGTERM);
    ASSERT_EQ(viewer.WaitForExit(20s), 1) << viewer.Stdout() << viewer.Stderr();
    EXPECT_EQ(viewer.Stdout(), "");
    EXPECT_TRUE(std::regex_match(viewer.Stderr(),
                                 std::regex("orvandel: timedemo interrupted after [1-9][0-9]* of 1000000 frames; "
                                            "no result\n")))
        << viewer.Stderr();
}

TEST(ViewerOptions, HelpPrintsTheUsageAndEndsWithZero)
{
    ChildProcess viewer(ViewerLaunch(kNoDisplay, kViewerDir, {"--help"}));
    ASSERT_EQ(viewer.WaitForExit(10s), 0) << viewer.Stdout() << viewer.Stderr();
    const std::string usage = viewer.Stdout();
    for (const char* option : {"--seed", "--roughness", "--falloff", "--help"}) {
        EXPECT_NE(usage.find(option), std::string::npos) << option << " is not in\n" << usage;
    }
    EXPECT_EQ(viewer.Stderr(), "");
}

// Runs a command line through sh, as a user would paste it, with the
// heightmap tool on the PATH; its exit code.
std::optional<int> RunInShell(const std::string& command, const std::string& workingDirectory, std::string* errors)
{
    const char* path = std::getenv("PATH");
    ChildProcess shell(LaunchOptions{{"/bin/sh", "-c", command},
                                     workingDirectory,
                                     {{"PATH", kViewerDir + ":" + (path ? path : "/usr/bin:/bin")}},
                                     -1});
    const std::optional<int> code = shell.WaitForExit(60s);
    if (errors != nullptr) {
        *errors = shell.Stderr();
    }
    return code;
}

// The printed command with its size, format and output replaced.
std::string WithSizeFormatAndOut(const std::string& command, const std::string& size, const std::string& format,
                                 const std::string& out)
{
    static const std::regex tail(R"( --size \S+ --format \S+ --out \S+$)");
    return std::regex_replace(command, tail, " --size " + size + " --format " + format + " --out " + out);
}

struct ExportLine {
    std::string file;
    std::string command;
};

// wrote "NAME"; at any size: COMMAND
ExportLine ParseExportLine(const std::string& line)
{
    static const std::regex form(R"re(wrote "([^"]+)"; at any size: (orvandel-heightmap .*))re");
    std::smatch match;
    if (!std::regex_match(line, match, form)) {
        ADD_FAILURE() << "not an export line: " << line;
        return {};
    }
    return {match[1], match[2]};
}

// 32-bit floats, one per cell, of an f32 map size cells a side.
std::vector<uint32_t> FloatBits(const Bytes& file, std::size_t size)
{
    std::vector<uint32_t> bits(size * size, 0);
    if (file.size() != bits.size() * 4) {
        ADD_FAILURE() << "an f32 map of " << size << " cells a side has " << bits.size() * 4 << " bytes, not "
                      << file.size();
        return bits;
    }
    for (std::size_t i = 0; i < bits.size(); ++i) {
        const unsigned char* b = reinterpret_cast<const unsigned char*>(file.data()) + 4 * i;
        bits[i] = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    }
    return bits;
}

class ViewerExportCommand : public ::testing::Test {
protected:
    XvfbServer server;
    TemporaryDirectory dir;
    TemporaryDirectory elsewhere;
};

TEST_F(ViewerExportCommand, GPrintsACommandThatMakesTheSameMapAtAnySize)
{
    ViewerRun viewer(server, dir.Path(), {"--seed", "seventeen", "--roughness", "0.62", "--falloff", "1.7"});
    ASSERT_NE(viewer.window, 0u) << viewer.Diagnostics();

    // The start-up map is the tool's for the same options.
    viewer.X().KeyDown("g");
    const ExportLine first = ParseExportLine(WaitForOutputLine(viewer, 0));
    viewer.X().KeyUp("g");
    ASSERT_FALSE(first.file.empty()) << viewer.Diagnostics();
    EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{first.file});
    const Bytes firstMap = ReadAll(dir.Path() + "/" + first.file);
    EXPECT_EQ(firstMap.size(), kExportSize);
    const std::string reference = elsewhere.Path() + "/reference.tga";
    ChildProcess tool(LaunchOptions{
        {kToolPath, "--seed", "seventeen", "--roughness", "0.62", "--falloff", "1.7", "--out", reference}, "", {}, -1});
    ASSERT_EQ(tool.WaitForExit(30s), 0) << tool.Stderr();
    EXPECT_TRUE(firstMap == ReadAll(reference)) << "the viewer's export differs from orvandel-heightmap's";
    EXPECT_NE(first.command.find("--seed 'seventeen'"), std::string::npos) << first.command;

    // After J the roughness is a float no option was typed as; the printed
    // command still reproduces it exactly.
    std::filesystem::remove(dir.Path() + "/" + first.file);
    HoldForFrames(viewer, "j", 7);
    viewer.X().KeyDown("g");
    const ExportLine second = ParseExportLine(WaitForOutputLine(viewer, 1));
    viewer.X().KeyUp("g");
    ASSERT_FALSE(second.command.empty()) << viewer.Diagnostics();
    EXPECT_EQ(second.command.find("--roughness 0.62 "), std::string::npos) << "J did not change the roughness";
    const Bytes secondMap = ReadAll(dir.Path() + "/" + second.file);
    EXPECT_FALSE(secondMap == firstMap);

    std::string errors;
    const std::string small = WithSizeFormatAndOut(second.command, "129", "tga", "small.tga");
    ASSERT_EQ(RunInShell(small, elsewhere.Path(), &errors), 0) << small << "\n" << errors;
    EXPECT_TRUE(ReadAll(elsewhere.Path() + "/small.tga") == secondMap) << small;

    ASSERT_EQ(RunInShell(second.command, elsewhere.Path(), &errors), 0) << second.command << "\n" << errors;
    const Bytes png = ReadAll(elsewhere.Path() + "/heightmap.png");
    ASSERT_GE(png.size(), 24u);
    EXPECT_EQ(std::memcmp(png.data(), "\x89PNG\r\n\x1a\n", 8), 0);
    EXPECT_EQ(std::memcmp(png.data() + 12, "IHDR\0\0\x04\x01\0\0\x04\x01", 12), 0) << "not a 1025 x 1025 PNG";

    // The large map holds the small one on its lattice, every 8th cell.
    const std::string smallF32 = WithSizeFormatAndOut(second.command, "129", "f32", "small.f32");
    const std::string largeF32 = WithSizeFormatAndOut(second.command, "1025", "f32", "large.f32");
    ASSERT_EQ(RunInShell(smallF32, elsewhere.Path(), &errors), 0) << smallF32 << "\n" << errors;
    ASSERT_EQ(RunInShell(largeF32, elsewhere.Path(), &errors), 0) << largeF32 << "\n" << errors;
    const std::vector<uint32_t> smallCells = FloatBits(ReadAll(elsewhere.Path() + "/small.f32"), 129);
    const std::vector<uint32_t> largeCells = FloatBits(ReadAll(elsewhere.Path() + "/large.f32"), 1025);
    long mismatched = 0;
    for (std::size_t y = 0; y < 129; ++y) {
        for (std::size_t x = 0; x < 129; ++x) {
            mismatched += smallCells[y * 129 + x] != largeCells[(8 * y) * 1025 + 8 * x];
        }
    }
    EXPECT_EQ(mismatched, 0) << "lattice cells of the 1025 map that differ from the 129 map";

    EXPECT_EQ(viewer.QuitWithEscape(), 0) << viewer.Diagnostics();
}

// Sharpness from the command line, changed by L, and erosion switched on by
// R: G's command carries both, and the tool makes the very same file.
TEST_F(ViewerExportCommand, ShapeAndErosionKeysReachThePrintedCommand)
{
    ViewerRun viewer(server, dir.Path(), {"--roughness", "0.62", "--sharpness", "0.25"});
    ASSERT_NE(viewer.window, 0u) << viewer.Diagnostics();
    // Held for half a second, many frames: the frame loop reads the keys'
    // state once a frame, and R's one toggle changes the picture only once,
    // so frames cannot be counted by the picture. R acts on its press, once.
    viewer.X().KeyDown("r");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    viewer.X().KeyUp("r");
    HoldForFrames(viewer, "l", 5);
    viewer.X().KeyDown("g");
    const ExportLine line = ParseExportLine(WaitForOutputLine(viewer, 0));
    viewer.X().KeyUp("g");
    ASSERT_FALSE(line.file.empty()) << viewer.Diagnostics();
    EXPECT_NE(line.command.find(" --erosion 1 "), std::string::npos) << line.command;
    EXPECT_NE(line.command.find(" --sharpness 0.2"), std::string::npos) << line.command;
    EXPECT_EQ(line.command.find(" --sharpness 0.25 "), std::string::npos) << "L did not change the sharpness";

    std::string errors;
    const std::string small = WithSizeFormatAndOut(line.command, "129", "tga", "small.tga");
    ASSERT_EQ(RunInShell(small, elsewhere.Path(), &errors), 0) << small << "\n" << errors;
    EXPECT_TRUE(ReadAll(elsewhere.Path() + "/small.tga") == ReadAll(dir.Path() + "/" + line.file)) << small;
    EXPECT_EQ(viewer.QuitWithEscape(), 0) << viewer.Diagnostics();
}

// The fixed seed is left out of the command, and a seed a shell would split
// or expand comes through it intact.
TEST_F(ViewerExportCommand, SeedsReachTheToolThroughTheShellIntact)
{
    const std::string seed = "it's $HOME \"and\" `more` \xC3\xA6\xE6\x9D\xB1";
    ViewerRun viewer(server, dir.Path(), {"--seed", seed});
    ASSERT_NE(viewer.window, 0u) << viewer.Diagnostics();
    viewer.X().KeyDown("g");
    const ExportLine line = ParseExportLine(WaitForOutputLine(viewer, 0));
    viewer.X().KeyUp("g");
    ASSERT_FALSE(line.command.empty()) << viewer.Diagnostics();

    std::string errors;
    const std::string command = WithSizeFormatAndOut(line.command, "129", "tga", "same.tga");
    ASSERT_EQ(RunInShell(command, elsewhere.Path(), &errors), 0) << command << "\n" << errors;
    EXPECT_TRUE(ReadAll(elsewhere.Path() + "/same.tga") == ReadAll(dir.Path() + "/" + line.file)) << command;
    EXPECT_EQ(viewer.QuitWithEscape(), 0) << viewer.Diagnostics();

    ViewerRun plain(server, dir.Path());
    ASSERT_NE(plain.window, 0u) << plain.Diagnostics();
    plain.X().KeyDown("g");
    const ExportLine fixed = ParseExportLine(WaitForOutputLine(plain, 0));
    plain.X().KeyUp("g");
    EXPECT_EQ(fixed.command.find("--seed"), std::string::npos) << fixed.command;
    EXPECT_EQ(plain.QuitWithEscape(), 0) << plain.Diagnostics();
}

}  // namespace
}  // namespace e2e
