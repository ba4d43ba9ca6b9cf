// The heightmap tool under hostile signals, terminals and bytes, run as a
// program: fatal signals, control bytes in what it quotes, and outputs
// refused before generation. One table a fault class.

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "ScratchDirectory.h"
#include "ToolChild.h"
#include "ToolRun.h"

namespace {

// Every catchable signal whose default ends the process removes both
// temporaries and then ends the process as the signal would; a signal the
// tool was started with ignored stays ignored (nohup); a file size limit is
// a write error with one line, not a death by SIGXFSZ.
TEST(HeightMapToolHostile, FatalSignalsRemoveTheTemporariesOrStayIgnored)
{
    struct Case {
        int signal;  // sent once the temporaries exist; 0 for none
        bool ignoredByParent;
        bool sizeLimit;
    };
    std::vector<Case> cases;
    for (const int signal :
         {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGUSR1, SIGUSR2, SIGXCPU, SIGALRM, SIGVTALRM, SIGPROF}) {
        cases.push_back({signal, false, false});
    }
    for (const int signal : {SIGHUP, SIGINT}) {
        cases.push_back({signal, true, false});
    }
    cases.push_back({0, false, true});

    const size_t mapBytes = size_t(4) * 2049 * 2049;
    for (const Case& c : cases) {
        const std::string name = c.sizeLimit ? "file size limit" : std::string(strsignal(c.signal)) +
                                                                       (c.ignoredByParent ? ", ignored" : "");
        ScratchDirectory dir;
        WriteText(dir.File("map.f32"), "old map");
        WriteText(dir.File("map.f32.json"), "old description");
        // Large enough to be caught while it is being generated; the size
        // limit needs no time.
        const std::string size = c.sizeLimit ? "257" : "2049";
        ToolChild child = StartToolChild(
            dir, {"--size", size, "--threads", "1", "--format", "f32", "--meta", "--out", "map.f32"}, [&] {
                // Set either way: a test run in a shell's background starts
                // with SIGINT ignored.
                if (c.signal != 0) {
                    signal(c.signal, c.ignoredByParent ? SIG_IGN : SIG_DFL);
                }
                if (c.sizeLimit) {
                    const rlimit limit{100000, RLIM_INFINITY};
                    setrlimit(RLIMIT_FSIZE, &limit);
                }
            });
        if (c.signal != 0) {
            // Both temporaries are made before the map is generated.
            bool seen = false;
            for (int tries = 0; tries < 200000 && !seen; ++tries) {
                seen = VisibleEntries(dir).size() >= 4;
                if (!seen) {
                    usleep(200);
                }
            }
            EXPECT_TRUE(seen) << name;
            kill(child.pid, c.signal);
        }
        const int status = WaitForToolChild(child);
        const std::string err = ChildError(dir);
        const std::vector<std::string> pair = {"map.f32", "map.f32.json"};
        EXPECT_EQ(VisibleEntries(dir), pair) << name;
        if (c.ignoredByParent) {
            EXPECT_EQ(ExitCode(status), 0) << name << ": " << err;
            EXPECT_EQ(ReadFileBytes(dir.File("map.f32")).size(), mapBytes) << name;
            continue;
        }
        if (c.sizeLimit) {
            EXPECT_EQ(ExitCode(status), 1) << name;
            EXPECT_EQ(LineCount(err), 1) << err;
            EXPECT_NE(err.find("File too large"), std::string::npos) << err;
        } else {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << name << ": " << status;
        }
        EXPECT_EQ(ReadText(dir.File("map.f32")), "old map") << name;
        EXPECT_EQ(ReadText(dir.File("map.f32.json")), "old description") << name;
    }
}

// The most outputs one run has in flight at once, a map with its
// description, all six maps and a preview (nine temporaries, made before a
// cell is computed), are all removed by a signal.
TEST(HeightMapToolHostile, SignalRemovesEveryTemporaryOfTheLargestRun)
{
    ScratchDirectory dir;
    ToolChild child = StartToolChild(dir,
                                     {"--size", "2049", "--threads", "1", "--format", "f32", "--meta", "--maps",
                                      "normal,slope,flow,rivers,splat,shade", "--preview", "p.png", "--out", "map.f32"},
                                     [] { signal(SIGTERM, SIG_DFL); });
    size_t seen = 0;
    for (int tries = 0; tries < 200000 && seen < 9; ++tries) {
        seen = VisibleEntries(dir).size();
        if (seen < 9) {
            usleep(200);
        }
    }
    EXPECT_EQ(seen, 9u);
    kill(child.pid, SIGTERM);
    const int status = WaitForToolChild(child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_TRUE(VisibleEntries(dir).empty()) << VisibleEntries(dir).front();
}

// Interrupted on a terminal, the tool erases its progress line before it
// ends, so the shell's prompt starts on a clean line.
TEST(HeightMapToolHostile, ProgressLineIsErasedWhenInterrupted)
{
    ScratchDirectory dir;
    ToolChild child =
        StartToolChild(dir, {"--size", "4097", "--threads", "1", "--format", "f32", "--out", "map.f32"},
                       [] { signal(SIGINT, SIG_DFL); }, true);
    std::string shown;
    char chunk[256];
    while (shown.find('%') == std::string::npos) {
        const ssize_t got = read(child.terminal, chunk, sizeof chunk);
        if (got <= 0) {
            break;
        }
        shown.append(chunk, size_t(got));
    }
    kill(child.pid, SIGINT);
    std::string rest;
    const int status = WaitForToolChild(child, &rest);
    shown += rest;
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
    const std::string erase = "\r\033[K";
    ASSERT_GE(shown.size(), erase.size()) << shown;
    EXPECT_EQ(shown.substr(shown.size() - erase.size()), erase) << shown;
    EXPECT_TRUE(VisibleEntries(dir).empty());
}

// Control bytes in option values and file names are shown escaped, so every
// message is one line and nothing in it drives the terminal.
TEST(HeightMapToolHostile, MessagesEscapeControlBytesOnOneLine)
{
    struct Case {
        std::vector<std::string> arguments;
        std::string shown;
        int status;
    };
    const Case cases[] = {
        {{"--format", "tga\x1b[31mRED", "--out", "x"}, "'tga\\x1b[31mRED'", 2},
        {{"--size", "12\t9", "--out", "x"}, "12\\t9", 2},
        {{"--rows\x07", "top", "--out", "x"}, "--rows\\x07", 2},
        {{"--out", "no\ndir/x"}, "\"no\\ndir/x\"", 1},
        {{"--out", "no\rdir\x7f/x"}, "\"no\\rdir\\x7f/x\"", 1},
        {{"--out", "back\\slash\x01/x"}, "\"back\\\\slash\\x01/x\"", 1},
        {{"--meta", "--out", "/dev/null\x1b/x"}, "/dev/null\\x1b/x", 1},
    };
    for (const Case& c : cases) {
        ScratchDirectory dir;
        const ToolRun run = RunTool(dir, c.arguments);
        EXPECT_EQ(run.status, c.status) << c.shown;
        ASSERT_FALSE(run.err.empty()) << c.shown;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
        const bool clean = std::none_of(run.err.begin(), run.err.end() - 1, [](char byte) {
            return static_cast<unsigned char>(byte) < 0x20 || byte == 0x7F;
        });
        EXPECT_TRUE(clean) << run.err;
        EXPECT_NE(run.err.find(c.shown), std::string::npos) << run.err;
        EXPECT_TRUE(dir.Entries().empty()) << c.shown;
    }
}

// What the output is (a FIFO with no reader, a pipe, a terminal, an
// appending file, a descriptor open for reading) is known before generation: refusals come before the
// first cell, which a terminal would see as a progress line, and a FIFO
// with no reader never blocks the tool.
TEST(HeightMapToolHostile, OutputsAreRefusedBeforeGeneration)
{
    struct Case {
        const char* name;
        const char* format;
        const char* out;
        std::function<void()> prepare;  // in the child, before the tool runs
        std::string said;
    };
    const Case cases[] = {
        {"FIFO with no reader", "tga", "fifo", nullptr, "no process is reading this FIFO"},
        {"FIFO with no reader, exr", "exr", "fifo", nullptr, "no process is reading this FIFO"},
        {"pipe, exr", "exr", "/dev/stdout",
         [] {
             int ends[2];
             if (pipe(ends) == 0) {
                 dup2(ends[1], 1);
             }
         },
         "cannot seek"},
        {"terminal, tif32", "tif32", "/dev/stdout", [] { dup2(2, 1); }, "cannot seek"},
        {"appending file, tif32", "tif32", "/dev/stdout",
         [] { dup2(open("log", O_WRONLY | O_CREAT | O_APPEND, 0644), 1); }, "appends"},
        {"file open for reading only", "tga", "/dev/stdout",
         [] { dup2(open("log", O_RDONLY | O_CREAT, 0644), 1); }, "Bad file descriptor"},
    };
    for (const Case& c : cases) {
        ScratchDirectory dir;
        ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
        ToolChild child =
            StartToolChild(dir, {"--size", "2049", "--format", c.format, "--out", c.out}, c.prepare, true);
        std::string shown;
        const int status = WaitForToolChild(child, &shown);
        EXPECT_EQ(ExitCode(status), 1) << c.name << ": " << shown;
        EXPECT_NE(shown.find(c.said), std::string::npos) << c.name << ": " << shown;
        EXPECT_EQ(shown.find("generating"), std::string::npos) << c.name << ": " << shown;
        EXPECT_EQ(LineCount(shown), 1) << c.name << ": " << shown;
        const std::vector<std::string> left = VisibleEntries(dir);
        EXPECT_TRUE(left == std::vector<std::string>{"fifo"} ||
                    left == (std::vector<std::string>{"fifo", "log"}))
            << c.name;
        if (access(dir.File("log").c_str(), F_OK) == 0) {
            EXPECT_TRUE(ReadFileBytes(dir.File("log")).empty()) << c.name;
        }
    }
}
}  // namespace
