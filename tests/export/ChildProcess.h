#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

// Runs body in a forked child, so that what it changes for itself (user,
// limits, mounts) stays there, and collects its exit code and what it printed.
// The two outputs are read one after the other: keep each below a pipe's
// capacity or the child blocks.
struct ChildRun {
    int status = -1;  // the exit code, or -1 when the child did not exit
    std::string out;
    std::string err;
};

inline std::string ReadAll(int descriptor)
{
    std::string text;
    char chunk[4096];
    ssize_t got = 0;
    while ((got = read(descriptor, chunk, sizeof chunk)) > 0) {
        text.append(chunk, size_t(got));
    }
    close(descriptor);
    return text;
}

inline ChildRun RunInChild(const std::function<int()>& body)
{
    ChildRun run;
    int out[2];
    int err[2];
    if (pipe(out) != 0 || pipe(err) != 0) {
        return run;
    }
    fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        dup2(out[1], 1);
        dup2(err[1], 2);
        close(out[0]);
        close(out[1]);
        close(err[0]);
        close(err[1]);
        const int code = body();
        fflush(nullptr);
        _exit(code);
    }
    close(out[1]);
    close(err[1]);
    run.out = ReadAll(out[0]);
    run.err = ReadAll(err[0]);
    int status = 0;
    if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)) {
        run.status = WEXITSTATUS(status);
    }
    return run;
}
