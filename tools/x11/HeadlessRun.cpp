// orvandel-headless: runs a windowed program on a private Xvfb, saves a
// screenshot of its window as a PNG, quits it with Escape and exits with its
// exit code. Made for machines without a display, and for the README's
// screenshot.

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <thread>

#include "X11Driver.h"

using namespace orvandel::x11;
using namespace std::chrono_literals;

namespace {

// Exit code for failures of this tool itself, as opposed to the program's.
const int kToolFailure = 125;

struct Options {
    std::string output;   // default: orvandel-screenshot.png in the working directory
    double waitSeconds = 3.0;
    std::string title = "Orvandel - SDL OpenGL";
    std::string workingDirectory;  // default: the program's folder
    std::vector<std::string> argv;
};

void Usage()
{
    std::fprintf(stderr,
                 "usage: orvandel-headless [--output PNG] [--wait SECONDS] [--title TITLE] [--workdir DIR]\n"
                 "                         PROGRAM [ARGUMENTS...]\n"
                 "Runs PROGRAM on a private Xvfb from its own folder (or DIR), waits SECONDS (3) after its\n"
                 "window titled TITLE (\"Orvandel - SDL OpenGL\") appears, saves the window as PNG\n"
                 "(DIR/orvandel-screenshot.png), holds Escape until it quits, prints the PNG's path and exits\n"
                 "with PROGRAM's exit code.\n");
}

bool Parse(int argc, char** argv, Options& options)
{
    int i = 1;
    for (; i < argc && std::strncmp(argv[i], "--", 2) == 0; ++i) {
        const std::string flag = argv[i];
        if (flag == "--") {
            ++i;
            break;
        }
        if (i + 1 >= argc) {
            return false;
        }
        const char* value = argv[++i];
        if (flag == "--output") {
            options.output = value;
        } else if (flag == "--wait") {
            char* end = nullptr;
            options.waitSeconds = std::strtod(value, &end);
            if (*end != '\0' || options.waitSeconds < 0) {
                return false;
            }
        } else if (flag == "--title") {
            options.title = value;
        } else if (flag == "--workdir") {
            options.workingDirectory = value;
        } else {
            return false;
        }
    }
    for (; i < argc; ++i) {
        options.argv.push_back(argv[i]);
    }
    return !options.argv.empty();
}

std::string Absolute(const std::string& path)
{
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

std::string Folder(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : path.substr(0, slash);
}

void PassOn(const ChildProcess& program)
{
    std::fputs(program.Stdout().c_str(), stdout);
    std::fputs(program.Stderr().c_str(), stderr);
    std::fflush(stdout);
}

int Run(const Options& options)
{
    LaunchOptions launch;
    launch.argv = options.argv;
    if (launch.argv[0].find('/') != std::string::npos) {
        launch.argv[0] = Absolute(launch.argv[0]);
    }
    launch.workingDirectory = Absolute(options.workingDirectory.empty() ? Folder(launch.argv[0]) : options.workingDirectory);
    const std::string output =
        options.output.empty() ? launch.workingDirectory + "/orvandel-screenshot.png" : options.output;

    XvfbServer server;
    launch.environment = server.ClientEnvironment();
    ChildProcess program(launch);
    X11Client& x = server.Client();

    const WindowId window = x.WaitForWindow(options.title, 30s, &program);
    if (window == 0) {
        if (program.Running()) {
            std::fprintf(stderr, "orvandel-headless: no window titled \"%s\" appeared\n", options.title.c_str());
            program.Kill();
            PassOn(program);
            return kToolFailure;
        }
        PassOn(program);
        return *program.ExitCode();
    }
    x.Focus(window);
    std::this_thread::sleep_for(std::chrono::duration<double>(options.waitSeconds));

    const Image shot = x.Capture(window);
    const bool saved = !shot.Empty() && shot.WritePng(output);

    // Escape stays down until the program ends, so even a slow frame sees it.
    x.Focus(window);
    x.KeyDown("Escape");
    std::optional<int> exitCode = program.WaitForExit(10s);
    x.KeyUp("Escape");
    if (!exitCode) {
        std::fprintf(stderr, "orvandel-headless: the program did not quit on Escape; closing its window\n");
        x.SendDeleteWindow(window);
        exitCode = program.WaitForExit(5s);
    }
    if (!exitCode) {
        std::fprintf(stderr, "orvandel-headless: the program did not quit; killing it\n");
        program.Kill();
        PassOn(program);
        return kToolFailure;
    }
    PassOn(program);
    if (!saved) {
        std::fprintf(stderr, "orvandel-headless: could not save a screenshot to %s\n", output.c_str());
        return *exitCode != 0 ? *exitCode : kToolFailure;
    }
    std::printf("%s\n", Absolute(output).c_str());
    return *exitCode;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!Parse(argc, argv, options)) {
        Usage();
        return 2;
    }
    try {
        return Run(options);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "orvandel-headless: %s\n", error.what());
        return kToolFailure;
    }
}
