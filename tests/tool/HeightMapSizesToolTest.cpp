// The heightmap tool's sizes, seeds, bounds and threads, run as a program.

#include <gtest/gtest.h>

#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ScratchDirectory.h"
#include "ToolRun.h"

namespace {

long Lines(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

std::vector<float> ReadF32(const std::string& path)
{
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    std::vector<float> cells(bytes.size() / 4);
    for (size_t i = 0; i < cells.size(); ++i) {
        const uint32_t bits = bytes[4 * i] | bytes[4 * i + 1] << 8 | bytes[4 * i + 2] << 16 |
                              uint32_t(bytes[4 * i + 3]) << 24;
        std::memcpy(&cells[i], &bits, sizeof bits);
    }
    return cells;
}

uint32_t Bits(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// sha256sum is coreutils', so the digest shares nothing with the tool.
std::string Sha256(const std::string& path)
{
    const std::string command = "sha256sum '" + path + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return "";
    }
    char digest[65] = {};
    const size_t got = fread(digest, 1, 64, pipe);
    pclose(pipe);
    return std::string(digest, got);
}

TEST(HeightMapToolSizes, RefusesAnyOtherSizeSeedOrParameterWithOneLine)
{
    ScratchDirectory dir;
    const std::vector<std::vector<std::string>> refused = {
        {"--size", "100"}, {"--size", "0"}, {"--size", "1"}, {"--size", "8194"}, {"--size", "16386"},
        {"--size", "32769"}, {"--size", "262145"},
        {"--size", "abc"}, {"--size", "129x"}, {"--size", ""}, {"--size", "-129"}, {"--size=4294967425"},
        {"--seed", ""}, {"--seed", std::string(257, 's')},
        {"--roughness", "3e5"}, {"--roughness", "1e-5"}, {"--roughness", "512.1"},
        {"--falloff", "65537"}, {"--falloff", "1e-7"}, {"--falloff", "0"},
        {"--threads", "x"}, {"--threads", "-1"}, {"--threads", "100000"},
        {"--format", "png16", "--rows", "top"}, {"--format", "f32", "--rows", "middle"},
        {"--format", "obj", "--size", "8193"}, {"--format", "stl", "--size", "8193"},
    };
    for (std::vector<std::string> arguments : refused) {
        arguments.insert(arguments.end(), {"--out", "map"});
        std::string shown;
        for (const std::string& word : arguments) {
            shown += "[" + word + "]";
        }
        const ToolRun run = RunTool(dir, arguments);
        EXPECT_EQ(run.status, 2) << shown;
        EXPECT_EQ(Lines(run.err), 1) << shown << ": " << run.err;
        EXPECT_TRUE(run.out.empty()) << shown;
        if (arguments[0].rfind("--size", 0) == 0 && arguments.size() == 4) {
            EXPECT_NE(run.err.find("33, 65, 129, 257, 513, 1025, 2049, 4097, 8193"), std::string::npos) << run.err;
        }
    }
    EXPECT_TRUE(dir.Entries().empty());

    const ToolRun range = RunTool(dir, {"--roughness", "3e5", "--out", "map"});
    EXPECT_NE(range.err.find("3e5"), std::string::npos) << range.err;
    EXPECT_NE(range.err.find("512"), std::string::npos) << range.err;
}

// Each map at N holds the 129 map's cells on its lattice, and the 129 map is
// the viewer's default when no option is given.
TEST(HeightMapToolSizes, EverySizeHoldsThe129MapOnItsLattice)
{
    ScratchDirectory dir;
    const std::vector<std::string> terrain = {"--seed", "seventeen", "--roughness", "0.62", "--falloff", "1.7"};
    auto run = [&](const std::string& size) {
        std::vector<std::string> arguments = terrain;
        arguments.insert(arguments.end(), {"--size", size, "--format", "f32", "--out", size + ".f32"});
        EXPECT_EQ(RunTool(dir, arguments).status, 0) << size;
        return ReadF32(dir.File(size + ".f32"));
    };
    const std::vector<float> base = run("129");
    ASSERT_EQ(base.size(), 129u * 129u);
    for (const uint32_t n : {33u, 257u, 1025u}) {
        const std::vector<float> map = run(std::to_string(n));
        ASSERT_EQ(map.size(), size_t(n) * n);
        int mismatches = 0;
        for (uint32_t j = 0; j < 129; ++j) {
            for (uint32_t i = 0; i < 129; ++i) {
                if (n > 129) {
                    const uint32_t s = (n - 1) / 128;
                    mismatches += Bits(map[size_t(j * s) * n + i * s]) != Bits(base[j * 129 + i]);
                } else if (i % 4 == 0 && j % 4 == 0) {
                    mismatches += Bits(map[size_t(j / 4) * n + i / 4]) != Bits(base[j * 129 + i]);
                }
            }
        }
        EXPECT_EQ(mismatches, 0) << "size " << n;
    }
}

TEST(HeightMapToolSizes, SameBytesTwiceAndOnOneThreadOrManyPinnedByDigest)
{
    ScratchDirectory dir;
    const std::vector<std::string> base = {"--size", "1025", "--format", "f32"};
    auto run = [&](std::vector<std::string> extra, const std::string& name) {
        std::vector<std::string> arguments = base;
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        arguments.insert(arguments.end(), {"--out", name});
        EXPECT_EQ(RunTool(dir, arguments).status, 0) << name;
        return Sha256(dir.File(name));
    };
    const std::string single = run({"--threads", "1"}, "one.f32");
    EXPECT_EQ(run({"--threads", "2"}, "two.f32"), single);
    EXPECT_EQ(run({"--threads", "5"}, "five.f32"), single);
    EXPECT_EQ(run({}, "again.f32"), single);
    // The default seed is the viewer's first 40 bytes of seed text.
    EXPECT_EQ(run({"--seed", "Quenby Marlowtide Sprocket Lantern Gambit"}, "41.f32") == single, false);
    EXPECT_EQ(run({"--seed", "Quenby Marlowtide Sprocket Lantern Gambi"}, "40.f32"), single);

    // These pin the finer levels' random function: another program following
    // the README must produce the same files.
    EXPECT_EQ(single, "aa1a18ebaff4d2c6cfe971898bb48810e59ab9642850c124fac02067ec531753");
    EXPECT_EQ(run({"--seed", "seventeen"}, "seventeen.f32"), "34b6ac3ef0dc7e89e56e4e335f91689ae2b18f4b5c4ff5826f1ffafa385a4624");
    EXPECT_NE(run({"--seed", "eighteen"}, "eighteen.f32"), single);
}

TEST(HeightMapToolSizes, RangeCornersGiveCellsInTheUnitRange)
{
    ScratchDirectory dir;
    for (const char* roughness : {"1.52587890625e-05", "512"}) {
        for (const char* falloff : {"1.52587890625e-05", "65536"}) {
            for (const char* size : {"129", "1025"}) {
                const ToolRun run = RunTool(dir, {"--size", size, "--roughness", roughness, "--falloff", falloff,
                                                  "--format", "f32", "--out", "corner.f32"});
                ASSERT_EQ(run.status, 0) << run.err;
                const std::vector<float> cells = ReadF32(dir.File("corner.f32"));
                const long bad = std::count_if(cells.begin(), cells.end(),
                                               [](float v) { return !(std::isfinite(v) && v >= 0.0f && v <= 1.0f); });
                EXPECT_EQ(bad, 0) << roughness << " " << falloff << " " << size;
            }
        }
    }
}

// Progress is drawn on a terminal only, and erased at the end.
TEST(HeightMapToolSizes, ProgressOnlyOnATerminal)
{
    ScratchDirectory dir;
    const ToolRun piped = RunTool(dir, {"--size", "2049", "--format", "f32", "--out", "piped.f32"});
    EXPECT_EQ(piped.status, 0);
    EXPECT_TRUE(piped.err.empty()) << piped.err;

    int terminal = -1;
    const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_NE(child, -1);
    if (child == 0) {
        const std::string out = dir.File("terminal.f32");
        execl(HEIGHTMAP_TOOL, HEIGHTMAP_TOOL, "--size", "2049", "--format", "f32", "--out", out.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    std::string shown;
    char chunk[512];
    ssize_t got = 0;
    while ((got = read(terminal, chunk, sizeof chunk)) > 0) {
        shown.append(chunk, size_t(got));
    }
    close(terminal);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_NE(shown.find("100%"), std::string::npos) << shown;
    EXPECT_EQ(shown.find('\n'), std::string::npos) << shown;
    const std::string erase = "\r\033[K";
    ASSERT_GE(shown.size(), erase.size());
    EXPECT_EQ(shown.substr(shown.size() - erase.size()), erase);
    EXPECT_EQ(ReadFileBytes(dir.File("terminal.f32")), ReadFileBytes(dir.File("piped.f32")));
}

}  // namespace

namespace {

// Every format through the tool: a file on success, exit 1 with one line and
// nothing left on a full device, and the --meta description beside it.
TEST(HeightMapToolFormats, EveryFormatWritesOrFailsWithOneLine)
{
    ScratchDirectory dir;
    for (const char* format : {"tga", "pgm16", "f32", "png16", "r16", "exr", "tif32", "obj", "stl"}) {
        const std::string name = std::string("map.") + format;
        const ToolRun written = RunTool(dir, {"--size", "65", "--format", format, "--meta", "--out", name});
        EXPECT_EQ(written.status, 0) << format << ": " << written.err;
        EXPECT_FALSE(ReadFileBytes(dir.File(name)).empty()) << format;
        const std::vector<uint8_t> json = ReadFileBytes(dir.File(name + ".json"));
        const std::string text(json.begin(), json.end());
        EXPECT_NE(text.find(std::string("\"format\": \"") + format + "\""), std::string::npos) << text;

        const ToolRun full = RunTool(dir, {"--size", "65", "--format", format, "--out", "/dev/full"});
        EXPECT_EQ(full.status, 1) << format;
        EXPECT_EQ(Lines(full.err), 1) << format << ": " << full.err;
    }
    EXPECT_EQ(dir.Entries().size(), 18u);
}

}  // namespace

namespace {

TEST(HeightMapToolFiles, MetaBesideADeviceIsRefused)
{
    ScratchDirectory dir;
    const ToolRun run = RunTool(dir, {"--meta", "--out", "/dev/null"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(Lines(run.err), 1) << run.err;
    EXPECT_NE(access("/dev/null.json", F_OK), 0);
}

// An interrupted long write leaves neither a temporary nor a partial file,
// and the process still ends by the signal, as a shell expects.
TEST(HeightMapToolFiles, TerminatedDuringAWriteLeavesNothing)
{
    ScratchDirectory dir;
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        const std::string out = dir.File("big.exr");
        execl(HEIGHTMAP_TOOL, HEIGHTMAP_TOOL, "--size", "8193", "--format", "exr", "--out", out.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    // Wait for the temporary to appear, then interrupt the write.
    bool seen = false;
    for (int tries = 0; tries < 120000 && !seen; ++tries) {
        seen = !dir.Entries().empty();
        if (!seen) {
            usleep(500);
        }
    }
    kill(child, SIGTERM);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(seen) << "no temporary file appeared";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_TRUE(dir.Entries().empty());
}

}  // namespace
