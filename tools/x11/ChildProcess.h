#pragma once
// A program started in its own process group, with its output captured.

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace orvandel::x11 {

// Changes to this process's environment for a child: a value sets the
// variable, std::nullopt removes it.
using Environment = std::map<std::string, std::optional<std::string>>;

struct LaunchOptions {
    std::vector<std::string> argv;     // argv[0] is looked up on PATH if it has no slash
    std::string workingDirectory;      // empty: this process's working directory
    Environment environment;
    int inheritedFd = -1;              // a descriptor the child keeps, under the same number
};

class ChildProcess {
public:
    // Throws std::runtime_error if the program cannot be started at all.
    explicit ChildProcess(const LaunchOptions& launch);
    // Kills the whole process group if it is still running.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t Pid() const { return pid_; }

    // True until the program has exited (reaps it without blocking).
    bool Running();

    // The exit code, or 128 + signal number for a program that was killed;
    // std::nullopt if it is still running after the timeout.
    std::optional<int> WaitForExit(std::chrono::milliseconds timeout);
    std::optional<int> ExitCode() const { return exitCode_; }

    // SIGTERM to the process group, then SIGKILL if it lingers; reaps it.
    void Kill();

    // Everything written so far to standard output / standard error.
    std::string Stdout() const;
    std::string Stderr() const;

private:
    void Start(const LaunchOptions& launch);
    void Reaped(int status);

    pid_t pid_ = -1;
    std::optional<int> exitCode_;
    int stdoutFd_ = -1;  // unnamed capture files, read from offset 0
    int stderrFd_ = -1;
};

}  // namespace orvandel::x11
