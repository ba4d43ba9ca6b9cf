#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ScratchDirectory.h"

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs orvandel-heightmap with the arguments, inside dir, capturing what it
// prints.
inline ToolRun RunTool(const ScratchDirectory& dir, const std::vector<std::string>& arguments)
{
    std::vector<std::string> words = {HEIGHTMAP_TOOL};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    const std::string outPath = dir.Path() + "/.stdout";
    const std::string errPath = dir.Path() + "/.stderr";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ToolRun run;
    pid_t child = 0;
    WorkingDirectoryScope inside(dir.Path());
    if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(child, &status, 0);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    const std::vector<uint8_t> out = ReadFileBytes(outPath);
    const std::vector<uint8_t> err = ReadFileBytes(errPath);
    run.out.assign(out.begin(), out.end());
    run.err.assign(err.begin(), err.end());
    std::remove(outPath.c_str());
    std::remove(errPath.c_str());
    return run;
}

// What a shell command prints on standard output: readers the tool shares no
// code with (GDAL's programs, cmp) run through sh.
inline std::string ShellOutput(const std::string& command)
{
    std::string text;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe != nullptr) {
        char chunk[4096];
        for (size_t got; (got = fread(chunk, 1, sizeof chunk, pipe)) > 0;) {
            text.append(chunk, got);
        }
        pclose(pipe);
    }
    return text;
}
