// The driver itself: what the viewer tests rely on without checking.

#include <gtest/gtest.h>

#include <signal.h>
#include <zlib.h>

#include <fstream>
#include <iterator>
#include <thread>

#include "ViewerRun.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;

TEST(ChildProcess, RunsInItsDirectoryWithItsEnvironmentAndCapturesOutput)
{
    LaunchOptions launch;
    launch.argv = {"sh", "-c", "echo \"$GREETING\"; pwd; echo \"${HOME-unset}\"; echo oops >&2; exit 7"};
    launch.workingDirectory = "/tmp";
    launch.environment = {{"GREETING", std::string("hello")}, {"HOME", std::nullopt}};
    ChildProcess child(launch);
    EXPECT_EQ(child.WaitForExit(5s), 7);
    EXPECT_EQ(child.Stdout(), "hello\n/tmp\nunset\n");
    EXPECT_EQ(child.Stderr(), "oops\n");
}

// Running or stopped, but not a zombie waiting for init to reap it.
bool Alive(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string pidText, name, state;
    return stat >> pidText >> name >> state && state != "Z";
}

TEST(ChildProcess, KillEndsTheWholeProcessGroup)
{
    LaunchOptions launch;
    launch.argv = {"sh", "-c", "sleep 30 & echo $!; wait"};
    ChildProcess child(launch);
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (child.Stdout().empty()) {
        if (std::chrono::steady_clock::now() > deadline) {
            FAIL() << "the shell printed no pid within 10 s";
        }
        std::this_thread::sleep_for(5ms);
    }
    const pid_t grandchild = std::stoi(child.Stdout());
    ASSERT_TRUE(Alive(grandchild));
    EXPECT_EQ(child.WaitForExit(50ms), std::nullopt);
    child.Kill();
    EXPECT_EQ(child.ExitCode(), 128 + SIGTERM);
    EXPECT_FALSE(Alive(grandchild)) << "sleep outlived its group";
}

TEST(ChildProcess, ProgramThatCannotStartThrows)
{
    LaunchOptions launch;
    launch.argv = {"/nonexistent/program"};
    EXPECT_THROW(ChildProcess child(launch), std::runtime_error);
}

TEST(XvfbServer, ServersRunSideBySideOnTheirOwnDisplays)
{
    XvfbServer first;
    XvfbServer second;
    EXPECT_NE(first.DisplayName(), second.DisplayName());
    const Image screen = second.Client().CaptureRoot();
    EXPECT_EQ(screen.Width(), 1024);
    EXPECT_EQ(screen.Height(), 768);
}

TEST(Image, CompareCountsPixelsBeyondTheTolerance)
{
    Image a(3, 2), b(3, 2);
    b.Set(1, 1, Rgb{0, 2, 0});
    b.Set(2, 0, Rgb{0, 0, 9});
    EXPECT_EQ(Compare(a, b, 1).differingPixels, 2);
    EXPECT_EQ(Compare(a, b, 2).differingPixels, 1);
    EXPECT_EQ(Compare(a, b).largestDistance, 9);
    EXPECT_FALSE(Compare(a, Image(2, 3)).sameSize);
}

TEST(Image, PngHoldsTheRowsTopFirst)
{
    Image image(2, 2);
    image.Set(0, 0, Rgb{1, 2, 3});
    image.Set(1, 1, Rgb{250, 251, 252});
    TemporaryDirectory directory;
    const std::string path = directory.Path() + "/shot.png";
    ASSERT_TRUE(image.WritePng(path));

    std::ifstream in(path, std::ios::binary);
    const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(file.compare(0, 8, "\x89PNG\r\n\x1a\n"), 0);
    ASSERT_EQ(file.compare(12, 4, "IHDR"), 0);
    EXPECT_EQ(file.substr(16, 13), std::string("\0\0\0\2\0\0\0\2\x08\x02\0\0\0", 13));  // 2 × 2, 8-bit RGB
    const std::size_t idat = file.find("IDAT");
    ASSERT_NE(idat, std::string::npos);
    const auto length = static_cast<uLong>((unsigned char)file[idat - 2] << 8 | (unsigned char)file[idat - 1]);
    unsigned char rows[14];
    uLongf rowsSize = sizeof rows;
    ASSERT_EQ(uncompress(rows, &rowsSize, reinterpret_cast<const Bytef*>(file.data() + idat + 4), length), Z_OK);
    const unsigned char expected[14] = {0, 1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 250, 251, 252};
    EXPECT_EQ(rowsSize, sizeof rows);
    EXPECT_EQ(std::string(rows, rows + 14), std::string(expected, expected + 14));
}

}  // namespace
}  // namespace e2e
