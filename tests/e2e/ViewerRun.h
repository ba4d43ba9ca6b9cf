#pragma once
// The viewer as the end-to-end tests start it: on a private Xvfb, from a
// chosen working directory, with its window found and focused.

#include <optional>
#include <string>
#include <vector>

#include "X11Driver.h"

namespace e2e {

using namespace orvandel::x11;

inline const std::string kViewerPath = ORVANDEL_VIEWER_PATH;
inline const std::string kViewerDir = ORVANDEL_VIEWER_DIR;
inline const std::string kWindowTitle = "Orvandel - SDL OpenGL";

// The clear colour (0, 0.4, 0.7) as the 24-bit screen shows it.
bool IsClearColour(Rgb pixel);
// Clear colour or the grey of the terrain mesh: anything the scene alone
// can show, as opposed to the tinted status text.
bool IsScenery(Rgb pixel);

// arguments follow the program's path in argv.
LaunchOptions ViewerLaunch(const Environment& environment, const std::string& workingDirectory = kViewerDir,
                           const std::vector<std::string>& arguments = {});

class ViewerRun {
public:
    // Starts the viewer and waits for its window; window is 0 if none came.
    explicit ViewerRun(XvfbServer& server, const std::string& workingDirectory = kViewerDir,
                       const std::vector<std::string>& arguments = {});

    X11Client& X() { return server.Client(); }
    // What the viewer printed and how it ended, for failure messages.
    std::string Diagnostics() const;

    // The first capture that shows a drawn frame (the window starts black).
    // A test failure if none comes within 20 s.
    Image FirstFrame();
    // Polls from latest until the picture stays the same over two 300 ms
    // intervals, so the camera's easing is over; the last capture. A test
    // failure if it still moves after 30 s.
    Image StillCapture(Image latest);
    // StillCapture from the first frame: the first frames and any easing are over.
    Image SettledCapture();
    // The window's rows from top on as the server stores them; empty once
    // the window is gone. Far cheaper than a capture: fit for polling
    // frame by frame.
    std::vector<char> RawRows(int top, int rows);
    // Holds Escape down until the viewer ends; its exit code if that
    // happens within limit of the key going down.
    std::optional<int> QuitWithEscape(std::chrono::milliseconds limit = std::chrono::milliseconds(2000));

    XvfbServer& server;
    ChildProcess process;
    WindowId window = 0;
};

// A fresh directory under /tmp, removed with everything in it.
class TemporaryDirectory {
public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

}  // namespace e2e
