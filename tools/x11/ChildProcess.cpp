#include "ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace orvandel::x11 {

namespace {

std::vector<std::string> MergedEnvironment(const Environment& changes)
{
    std::map<std::string, std::string> merged;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::size_t equals = text.find('=');
        if (equals != std::string::npos) {
            merged[text.substr(0, equals)] = text.substr(equals + 1);
        }
    }
    for (const auto& [name, value] : changes) {
        if (value) {
            merged[name] = *value;
        } else {
            merged.erase(name);
        }
    }
    std::vector<std::string> result;
    for (const auto& [name, value] : merged) {
        result.push_back(name + "=" + value);
    }
    return result;
}

std::vector<char*> Pointers(std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    for (std::string& s : strings) {
        pointers.push_back(s.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

// An unnamed file for captured output: it is unlinked at once, so nothing
// is left behind even if this process dies.
int CaptureFile()
{
    char path[] = "/tmp/orvandel-capture-XXXXXX";
    const int fd = mkostemp(path, O_CLOEXEC);
    if (fd < 0) {
        throw std::runtime_error("cannot create a capture file: " + std::string(std::strerror(errno)));
    }
    unlink(path);
    return fd;
}

std::string ReadWhole(int fd)
{
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t got = pread(fd, buffer, sizeof buffer, static_cast<off_t>(text.size()));
        if (got <= 0) {
            return text;
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
}

}  // namespace

ChildProcess::ChildProcess(const LaunchOptions& launch)
{
    if (launch.argv.empty()) {
        throw std::invalid_argument("no program to launch");
    }
    stdoutFd_ = CaptureFile();
    stderrFd_ = CaptureFile();
    try {
        Start(launch);
    } catch (...) {
        close(stdoutFd_);
        close(stderrFd_);
        throw;
    }
}

void ChildProcess::Start(const LaunchOptions& launch)
{
    // Everything the child needs is prepared here: after fork only
    // async-signal-safe calls are allowed.
    std::vector<std::string> argv = launch.argv;
    std::vector<std::string> envp = MergedEnvironment(launch.environment);
    std::vector<char*> argvPointers = Pointers(argv);
    std::vector<char*> envpPointers = Pointers(envp);
    const int nullFd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    int report[2];  // carries errno back if exec fails; closes on success
    if (nullFd < 0 || pipe2(report, O_CLOEXEC) != 0) {
        if (nullFd >= 0) {
            close(nullFd);
        }
        throw std::runtime_error("cannot prepare the child's files");
    }
    const pid_t parent = getpid();

    pid_ = fork();
    if (pid_ == 0) {
        setpgid(0, 0);
        // A test that crashes must not leave its programs behind.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) {
            _exit(127);
        }
        dup2(nullFd, 0);
        dup2(stdoutFd_, 1);
        dup2(stderrFd_, 2);
        if (launch.inheritedFd > 2) {
            fcntl(launch.inheritedFd, F_SETFD, 0);
        }
        int error = 0;
        if (!launch.workingDirectory.empty() && chdir(launch.workingDirectory.c_str()) != 0) {
            error = errno;
        } else {
            execvpe(argvPointers[0], argvPointers.data(), envpPointers.data());
            error = errno;
        }
        ssize_t ignored = write(report[1], &error, sizeof error);
        (void)ignored;
        _exit(127);
    }
    close(nullFd);
    close(report[1]);
    if (pid_ < 0) {
        close(report[0]);
        throw std::runtime_error("fork failed: " + std::string(std::strerror(errno)));
    }
    setpgid(pid_, pid_);  // also from here, so the group exists before we may signal it

    int childError = 0;
    ssize_t got;
    do {
        got = read(report[0], &childError, sizeof childError);
    } while (got < 0 && errno == EINTR);
    close(report[0]);
    if (got == static_cast<ssize_t>(sizeof childError)) {
        int status = 0;
        waitpid(pid_, &status, 0);
        Reaped(status);
        throw std::runtime_error("cannot start " + launch.argv[0] + " in '" + launch.workingDirectory +
                                 "': " + std::strerror(childError));
    }
}

ChildProcess::~ChildProcess()
{
    Kill();
    close(stdoutFd_);
    close(stderrFd_);
}

void ChildProcess::Reaped(int status)
{
    exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    // Whatever the program left running in its group goes with it.
    kill(-pid_, SIGKILL);
}

bool ChildProcess::Running()
{
    if (exitCode_) {
        return false;
    }
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
        Reaped(status);
        return false;
    }
    return true;
}

std::optional<int> ChildProcess::WaitForExit(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (Running()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return exitCode_;
}

void ChildProcess::Kill()
{
    if (pid_ <= 0 || !Running()) {
        return;
    }
    kill(-pid_, SIGTERM);
    if (!WaitForExit(std::chrono::milliseconds(2000))) {
        kill(-pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
        Reaped(status);
    }
}

std::string ChildProcess::Stdout() const { return ReadWhole(stdoutFd_); }
std::string ChildProcess::Stderr() const { return ReadWhole(stderrFd_); }

}  // namespace orvandel::x11
