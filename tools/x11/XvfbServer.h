#pragma once
// A private virtual X server on a display number of its own.

#include <chrono>
#include <memory>
#include <string>

#include "ChildProcess.h"
#include "X11Client.h"

namespace orvandel::x11 {

struct XvfbOptions {
    std::string screen = "1024x768x24";  // width x height x depth of screen 0
    bool glx = true;                     // false starts the server with -extension GLX
    std::chrono::milliseconds startTimeout = std::chrono::milliseconds(10000);
};

class XvfbServer {
public:
    // Starts Xvfb, which picks a free display itself and reports it
    // (-displayfd), then connects to it. Throws std::runtime_error with the
    // server's output if it does not come up in time.
    explicit XvfbServer(const XvfbOptions& options = {});
    // Closes the connection, then ends the server's process group.
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    const std::string& DisplayName() const { return displayName_; }  // e.g. ":3"
    X11Client& Client() { return *client_; }

    // What an SDL OpenGL program needs to run here: DISPLAY, SDL's X11 video
    // driver (SDL 1.2 could otherwise fall back to a text-mode driver) and
    // Mesa's software renderer.
    Environment ClientEnvironment() const;

    std::string Log() const { return process_->Stderr() + process_->Stdout(); }

private:
    std::unique_ptr<ChildProcess> process_;
    std::string displayName_;
    std::unique_ptr<X11Client> client_;
};

}  // namespace orvandel::x11
