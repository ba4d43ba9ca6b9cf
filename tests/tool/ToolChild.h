#pragma once

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ScratchDirectory.h"

// The tool started in a child that first prepares what a shell would have
// (descriptors, ignored signals, limits), with standard output and error
// going to files in the scratch directory unless the preparation says
// otherwise. Hidden files ".stdout" and ".stderr" are left out of what
// VisibleEntries lists.
struct ToolChild {
    pid_t pid = -1;
    int terminal = -1;  // the terminal's side when started on a pty
};

inline ToolChild StartToolChild(const ScratchDirectory& dir, const std::vector<std::string>& arguments,
                                const std::function<void()>& prepare = nullptr, bool onTerminal = false)
{
    std::vector<std::string> words = {HEIGHTMAP_TOOL};
    words.insert(words.end(), arguments.begin(), arguments.end());
    ToolChild child;
    child.pid = onTerminal ? forkpty(&child.terminal, nullptr, nullptr, nullptr) : fork();
    if (child.pid == 0) {
        if (chdir(dir.Path().c_str()) != 0) {
            _exit(126);
        }
        const int out = open(".stdout", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(".stderr", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        if (!onTerminal) {
            dup2(err, 2);
        }
        close(out);
        close(err);
        if (prepare) {
            prepare();
        }
        std::vector<char*> argv;
        for (std::string& word : words) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return child;
}

// Waits for the child; the raw wait status.
inline int WaitForToolChild(ToolChild& child, std::string* shownOnTerminal = nullptr)
{
    if (child.terminal >= 0) {
        std::string shown;
        char chunk[512];
        ssize_t got = 0;
        while ((got = read(child.terminal, chunk, sizeof chunk)) > 0) {
            shown.append(chunk, size_t(got));
        }
        close(child.terminal);
        child.terminal = -1;
        if (shownOnTerminal != nullptr) {
            *shownOnTerminal = shown;
        }
    }
    int status = 0;
    waitpid(child.pid, &status, 0);
    return status;
}

inline std::string ChildError(const ScratchDirectory& dir)
{
    const std::vector<uint8_t> bytes = ReadFileBytes(dir.File(".stderr"));
    return std::string(bytes.begin(), bytes.end());
}

inline std::vector<std::string> VisibleEntries(const ScratchDirectory& dir)
{
    std::vector<std::string> names;
    for (const std::string& name : dir.Entries()) {
        if (name != ".stdout" && name != ".stderr") {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

inline int ExitCode(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

inline long LineCount(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

inline void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

inline std::string ReadText(const std::string& path)
{
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// Every regular file in the directory with its bytes, hidden ones included,
// the child's own captures left out.
inline std::map<std::string, std::string> Snapshot(const ScratchDirectory& dir)
{
    std::map<std::string, std::string> files;
    for (const std::string& name : VisibleEntries(dir)) {
        struct stat status {};
        const std::string path = dir.File(name);
        files[name] = lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) ? ReadText(path) : "(not a file)";
    }
    return files;
}
