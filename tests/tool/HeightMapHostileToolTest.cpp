// The heightmap tool's files under hostile conditions, run as a program:
// descriptors a shell handed over, a failing or refused description, and the
// longest paths. One table a fault class.

#include <OpenEXR/ImfHeader.h>
#include <OpenEXR/ImfInputFile.h>
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ScratchDirectory.h"
#include "ToolChild.h"
#include "ToolRun.h"

namespace {

// What GDAL, which shares no code with the tool, says of a file; empty when
// it cannot read it.
std::string GdalInfo(const std::string& path)
{
    FILE* pipe = popen(("gdalinfo '" + path + "' 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) {
        return "";
    }
    std::string said;
    char chunk[512];
    size_t got = 0;
    while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0) {
        said.append(chunk, got);
    }
    return pclose(pipe) == 0 ? said : "";
}

bool ExrReadable(const std::string& path, int side)
{
    try {
        Imf::InputFile file(path.c_str());
        const Imath::Box2i window = file.header().dataWindow();
        return window.max.x == side - 1 && window.max.y == side - 1;
    } catch (const std::exception&) {
        return false;
    }
}

// Seeking formats wherever the shell's descriptor stands: after bytes already
// written the file is written from there on, its offsets counted from there,
// exactly as it would stand alone; an appending descriptor is refused before
// anything is written, leaving the file as it was.
TEST(HeightMapToolHostile, SeekingFormatsWhereTheDescriptorStands)
{
    struct Case {
        const char* name;
        const char* format;
        std::string before;
        bool appending;
        int status;
    };
    const Case cases[] = {
        {"exr appended to an empty file", "exr", "", true, 1},
        {"tif32 appended to an empty file", "tif32", "", true, 1},
        {"tif32 appended after a header", "tif32", "hdr\n", true, 1},
        {"exr after a header", "exr", "hdr\n", false, 0},
        {"tif32 after a header", "tif32", "hdr\n", false, 0},
        {"tif32 from the start", "tif32", "", false, 0},
    };
    for (const Case& c : cases) {
        ScratchDirectory dir;
        const std::string alone = std::string("alone.") + c.format;
        ASSERT_EQ(RunTool(dir, {"--format", c.format, "--out", alone}).status, 0) << c.name;
        WriteText(dir.File("target"), c.before);
        ToolChild child = StartToolChild(dir, {"--format", c.format, "--out", "/dev/stdout"}, [&] {
            const int file = open("target", O_WRONLY | (c.appending ? O_APPEND : 0));
            lseek(file, 0, SEEK_END);
            dup2(file, 1);
        });
        const int status = WaitForToolChild(child);
        const std::string err = ChildError(dir);
        EXPECT_EQ(ExitCode(status), c.status) << c.name << ": " << err;
        EXPECT_EQ(LineCount(err), c.status == 0 ? 0 : 1) << c.name << ": " << err;
        const std::string written = ReadText(dir.File("target"));
        if (c.status != 0) {
            EXPECT_EQ(written, c.before) << c.name;
            continue;
        }
        ASSERT_EQ(written.substr(0, c.before.size()), c.before) << c.name;
        const std::string file = written.substr(c.before.size());
        EXPECT_EQ(file, ReadText(dir.File(alone))) << c.name;
        const std::string cut = dir.File(std::string("cut.") + c.format);
        WriteText(cut, file);
        if (std::string(c.format) == "exr") {
            EXPECT_TRUE(ExrReadable(cut, 129)) << c.name;
        } else {
            EXPECT_NE(GdalInfo(cut).find("Size is 129, 129"), std::string::npos) << c.name;
        }
    }
}

// The map and its --meta description are one unit: a description that cannot
// be written leaves the older map and description as they were, and an
// --out that is not replaced whole is refused before anything is created.
TEST(HeightMapToolHostile, MapAndDescriptionAreOneUnit)
{
    struct Case {
        const char* name;
        std::function<std::string(const ScratchDirectory&)> prepare;  // returns --out
        int status;
    };
    const auto oldPair = [](const ScratchDirectory& dir, const std::string& map) {
        WriteText(dir.File(map), "old map");
        WriteText(dir.File(map + ".json"), "old description");
    };
    const std::string longName(251, 'm');  // 256 bytes with ".json", one past the limit
    const Case cases[] = {
        {"description's name is a directory",
         [&](const ScratchDirectory& dir) {
             WriteText(dir.File("map.tga"), "old map");
             std::filesystem::create_directory(dir.File("map.tga.json"));
             return std::string("map.tga");
         },
         1},
        {"description's name too long",
         [&](const ScratchDirectory& dir) {
             WriteText(dir.File(longName), "old map");
             return longName;
         },
         1},
        {"description's name is a link to itself",
         [&](const ScratchDirectory& dir) {
             oldPair(dir, "map.tga");
             std::filesystem::remove(dir.File("map.tga.json"));
             symlink("map.tga.json", dir.File("map.tga.json").c_str());
             return std::string("map.tga");
         },
         1},
        {"standard output sent to a file", [&](const ScratchDirectory&) { return std::string("/dev/stdout"); }, 2},
        {"a descriptor under /proc", [&](const ScratchDirectory&) { return std::string("/proc/self/fd/1"); }, 2},
        {"a device", [&](const ScratchDirectory&) { return std::string("/dev/null"); }, 2},
        {"a FIFO",
         [&](const ScratchDirectory& dir) {
             mkfifo(dir.File("fifo").c_str(), 0600);
             return std::string("fifo");
         },
         2},
        {"description's name is a FIFO",
         [&](const ScratchDirectory& dir) {
             WriteText(dir.File("map.tga"), "old map");
             mkfifo(dir.File("map.tga.json").c_str(), 0600);
             return std::string("map.tga");
         },
         2},
        {"description's name links to a device",
         [&](const ScratchDirectory& dir) {
             WriteText(dir.File("map.tga"), "old map");
             symlink("/dev/null", dir.File("map.tga.json").c_str());
             return std::string("map.tga");
         },
         2},
    };
    for (const Case& c : cases) {
        ScratchDirectory dir;
        const std::string out = c.prepare(dir);
        const std::map<std::string, std::string> before = Snapshot(dir);
        ToolChild child = StartToolChild(dir, {"--meta", "--out", out});
        const int status = WaitForToolChild(child);
        const std::string err = ChildError(dir);
        EXPECT_EQ(ExitCode(status), c.status) << c.name << ": " << err;
        EXPECT_EQ(LineCount(err), 1) << c.name << ": " << err;
        EXPECT_EQ(Snapshot(dir), before) << c.name;
        EXPECT_TRUE(ReadFileBytes(dir.File(".stdout")).empty()) << c.name;
    }
    EXPECT_NE(access("/dev/null.json", F_OK), 0);
    EXPECT_NE(access("/dev/stdout.json", F_OK), 0);
}

// A disk that fills while the description is written: the new map is
// complete by then, and must not have replaced the older one. A memory file
// system just large enough for the old pair and the new map's temporary,
// mounted in this test's own mount namespace.
TEST(HeightMapToolHostile, DiskFullWhileTheDescriptionIsWrittenKeepsTheOlderMap)
{
    ScratchDirectory dir;
    const std::string small = dir.File("small");
    std::filesystem::create_directory(small);
    // A 65 x 65 f32 map is 16,900 bytes: five pages. Old map and description,
    // then the new map: eleven pages; the new description needs a twelfth.
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", small.c_str(), "tmpfs", 0, "size=45056") != 0) {
        GTEST_SKIP() << "cannot mount a small file system here";
    }
    const std::string oldMap(65 * 65 * 4, 'o');
    WriteText(small + "/map.f32", oldMap);
    WriteText(small + "/map.f32.json", "old description");
    const ToolRun run = RunTool(dir, {"--size", "65", "--format", "f32", "--meta", "--out", "small/map.f32"});
    const std::vector<std::string> left = [&] {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(small)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }();
    const std::string mapAfter = ReadText(small + "/map.f32");
    const std::string descriptionAfter = ReadText(small + "/map.f32.json");
    umount2(small.c_str(), MNT_DETACH);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(LineCount(run.err), 1) << run.err;
    EXPECT_NE(run.err.find("map.f32.json"), std::string::npos) << run.err;
    EXPECT_EQ(mapAfter, oldMap);
    EXPECT_EQ(descriptionAfter, "old description");
    EXPECT_EQ(left, (std::vector<std::string>{"map.f32", "map.f32.json"}));
}
// Any path the system accepts, up to 4095 bytes, is written, its temporary
// made under a short name beside it; FILE.json one byte past the limit is
// refused before generation, leaving nothing.
TEST(HeightMapToolHostile, LongestPathsTheSystemAcceptsAreWritten)
{
    ScratchDirectory dir;
    std::string deep = dir.Path();
    while (deep.size() < 3900) {
        deep += "/" + std::string(200, 'd');
    }
    std::filesystem::create_directories(deep);
    struct Case {
        size_t length;
        bool meta;
        int status;
    };
    for (const Case c : {Case{4088, false, 0}, Case{4095, false, 0}, Case{4090, true, 0}, Case{4091, true, 1}}) {
        const std::string out = deep + "/" + std::string(c.length - deep.size() - 1, 'f');
        ASSERT_EQ(out.size(), c.length);
        std::vector<std::string> arguments = {"--size", "33", "--out", out};
        if (c.meta) {
            arguments.push_back("--meta");
        }
        const ToolRun run = RunTool(dir, arguments);
        EXPECT_EQ(run.status, c.status) << c.length << ": " << run.err;
        struct stat status {};
        EXPECT_EQ(stat(out.c_str(), &status) == 0, c.status == 0) << c.length;
        if (c.status == 0) {
            EXPECT_EQ(status.st_size, 18 + 3 * 33 * 33) << c.length;
        } else {
            EXPECT_EQ(LineCount(run.err), 1) << run.err;
        }
        unlink(out.c_str());
        if (c.meta && c.status == 0) {
            unlink((out + ".json").c_str());
        }
        EXPECT_TRUE(std::filesystem::is_empty(deep)) << c.length;
    }
}

}  // namespace
