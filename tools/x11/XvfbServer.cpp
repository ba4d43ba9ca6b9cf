#include "XvfbServer.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <stdexcept>

namespace orvandel::x11 {

namespace {

// Reads the display number Xvfb writes, once it accepts connections, to
// the descriptor given with -displayfd. Empty on timeout or if it died.
std::string ReadDisplayNumber(int fd, ChildProcess& server, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string number;
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, 50) > 0) {
            char c;
            const ssize_t got = read(fd, &c, 1);
            if (got == 1 && c == '\n') {
                return number;
            }
            if (got == 1) {
                number += c;
                continue;
            }
            if (got == 0) {
                return {};
            }
        }
        if (!server.Running()) {
            return {};
        }
    }
    return {};
}

}  // namespace

XvfbServer::XvfbServer(const XvfbOptions& options)
{
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        throw std::runtime_error("cannot create a pipe for Xvfb");
    }
    LaunchOptions launch;
    launch.argv = {"Xvfb", "-displayfd", std::to_string(pipeFds[1]), "-screen", "0", options.screen,
                 "-nolisten", "tcp", "-noreset"};
    if (!options.glx) {
        launch.argv.insert(launch.argv.end(), {"-extension", "GLX"});
    }
    launch.inheritedFd = pipeFds[1];
    try {
        process_ = std::make_unique<ChildProcess>(launch);
    } catch (...) {
        close(pipeFds[0]);
        close(pipeFds[1]);
        throw;
    }
    close(pipeFds[1]);
    const std::string number = ReadDisplayNumber(pipeFds[0], *process_, options.startTimeout);
    close(pipeFds[0]);
    if (number.empty()) {
        const std::string log = Log();
        process_.reset();
        throw std::runtime_error("Xvfb did not start:\n" + log);
    }
    displayName_ = ":" + number;
    client_ = std::make_unique<X11Client>(displayName_);
}

XvfbServer::~XvfbServer()
{
    // The connection goes first: Xlib ends the whole process when the
    // server vanishes under an open connection.
    client_.reset();
    process_.reset();
}

Environment XvfbServer::ClientEnvironment() const
{
    return {{"DISPLAY", displayName_}, {"SDL_VIDEODRIVER", std::string("x11")},
            {"LIBGL_ALWAYS_SOFTWARE", std::string("1")}};
}

}  // namespace orvandel::x11
