#include "ViewerRun.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>

// Last: Xlib's macros must not reach the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace e2e {

using namespace std::chrono_literals;

bool IsClearColour(Rgb pixel)
{
    // 0.7 × 255 = 178.5 may round either way.
    return pixel.r == 0 && pixel.g == 102 && (pixel.b == 178 || pixel.b == 179);
}

bool IsScenery(Rgb pixel)
{
    return IsClearColour(pixel) || (pixel.r == pixel.g && pixel.g == pixel.b);
}

LaunchOptions ViewerLaunch(const Environment& environment, const std::string& workingDirectory,
                           const std::vector<std::string>& arguments)
{
    LaunchOptions launch;
    launch.argv = {kViewerPath};
    launch.argv.insert(launch.argv.end(), arguments.begin(), arguments.end());
    launch.workingDirectory = workingDirectory;
    launch.environment = environment;
    return launch;
}

ViewerRun::ViewerRun(XvfbServer& server, const std::string& workingDirectory,
                     const std::vector<std::string>& arguments)
    : server(server), process(ViewerLaunch(server.ClientEnvironment(), workingDirectory, arguments))
{
    window = X().WaitForWindow(kWindowTitle, 20s, &process);
    if (window != 0) {
        X().Focus(window);
    }
}

std::string ViewerRun::Diagnostics() const
{
    const std::optional<int> code = process.ExitCode();
    return "viewer " + (code ? "exited with " + std::to_string(*code) : std::string("still running")) +
           "\nstdout: " + process.Stdout() + "\nstderr: " + process.Stderr();
}

namespace {

bool AllBlack(const Image& image)
{
    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 0; x < image.Width(); ++x) {
            if (image.At(x, y) != Rgb{}) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

Image ViewerRun::FirstFrame()
{
    // The window is black until start-up is over and the first frame is swapped.
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    Image shot = X().Capture(window);
    while (shot.Empty() || AllBlack(shot)) {
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "no frame drawn within 20 s\n" << Diagnostics();
            break;
        }
        std::this_thread::sleep_for(20ms);
        shot = X().Capture(window);
    }
    return shot;
}

// The camera eases over many frames and the software renderer can be slow on
// a busy machine, so a picture counts as still once it has stayed the same
// over two whole intervals of 300 ms.
Image ViewerRun::StillCapture(Image latest)
{
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    for (int unchanged = 0; unchanged < 2;) {
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "the picture still changes after 30 s\n" << Diagnostics();
            break;
        }
        std::this_thread::sleep_for(300ms);
        Image next = X().Capture(window);
        unchanged = Compare(latest, next).Identical() ? unchanged + 1 : 0;
        latest = std::move(next);
    }
    return latest;
}

Image ViewerRun::SettledCapture() { return StillCapture(FirstFrame()); }

std::vector<char> ViewerRun::RawRows(int top, int rows)
{
    const WindowSize size = X().Size(window);
    XImage* shot = XGetImage(X().Raw(), window, 0, top, size.width, rows, AllPlanes, ZPixmap);
    if (shot == nullptr) {
        return {};
    }
    std::vector<char> bytes(shot->data, shot->data + std::size_t(shot->bytes_per_line) * shot->height);
    XDestroyImage(shot);
    return bytes;
}

std::optional<int> ViewerRun::QuitWithEscape(std::chrono::milliseconds limit)
{
    // Held until the viewer ends: on a loaded machine a frame can outlast
    // any fixed hold, and a key that goes down and up between two key
    // snapshots is never seen.
    X().KeyDown("Escape");
    const std::optional<int> code = process.WaitForExit(limit);
    X().KeyUp("Escape");
    return code;
}

TemporaryDirectory::TemporaryDirectory()
{
    std::string pattern = "/tmp/orvandel-e2e-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary directory");
    }
    path_ = pattern;
}

TemporaryDirectory::~TemporaryDirectory()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace e2e
