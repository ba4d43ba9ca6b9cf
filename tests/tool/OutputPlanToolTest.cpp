// Every file a run writes is checked before a cell is computed: outputs that
// are one file, or that the system refuses, stop the run with one line and
// leave every file as it was; side files land with the map or not at all;
// tile sets need a name; the job script is one Slurm reads as written.

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "ScratchDirectory.h"
#include "ToolChild.h"
#include "ToolRun.h"

namespace {

// Refused before anything is generated: each row prepares older files, runs
// the tool, and expects its status, one line naming the file, and every file
// in the directory as it was (nothing replaced, nothing new).
TEST(OutputPlanTool, ConflictingAndBlockedOutputsChangeNothing)
{
    struct Case {
        const char* name;
        std::function<void(const ScratchDirectory&)> prepare;
        std::vector<std::string> arguments;
        int status;
        const char* named;  // in the line
    };
    const auto oldMap = [](const ScratchDirectory& dir) {
        WriteText(dir.File("a.png"), "old map");
        WriteText(dir.File("a.png.json"), "old description");
        WriteText(dir.File("a.normal.png"), "old normal map");
    };
    const std::vector<std::string> gis = {"--size", "129", "--tile-size", "65", "--layout", "gis", "--out", "w"};
    const auto oldWorld = [](const ScratchDirectory& dir) {
        for (const char* tile : {"w_0_0.tif", "w_1_0.tif", "w_0_1.tif", "w_1_1.tif"}) {
            WriteText(dir.File(tile), std::string("old ") + tile);
        }
        WriteText(dir.File("w.tiles.json"), "old manifest");
    };
    const Case cases[] = {
        {"preview is the map", oldMap, {"--out", "a.png", "--preview", "a.png"}, 2, "\"a.png\""},
        {"preview is the description", oldMap, {"--meta", "--out", "a.png", "--preview", "a.png.json"}, 2,
         "a.png.json"},
        {"preview is a derived map", oldMap, {"--maps", "normal", "--out", "a.png", "--preview", "a.normal.png"}, 2,
         "a.normal.png"},
        {"preview links to the map",
         [&](const ScratchDirectory& dir) {
             oldMap(dir);
             symlink("a.png", dir.File("p.png").c_str());
         },
         {"--out", "a.png", "--preview", "p.png"}, 2, "p.png"},
        {"preview in a missing directory", oldMap, {"--meta", "--out", "a.png", "--preview", "no/p.png"}, 1,
         "no/p.png"},
        {"a derived map's name is a directory",
         [&](const ScratchDirectory& dir) {
             oldMap(dir);
             std::filesystem::create_directory(dir.File("a.slope.png"));
         },
         {"--maps", "normal,slope", "--out", "a.png"}, 1, "a.slope.png"},
        {"preview is a FIFO with no reader",
         [&](const ScratchDirectory& dir) {
             oldMap(dir);
             mkfifo(dir.File("p.png").c_str(), 0600);
         },
         {"--out", "a.png", "--preview", "p.png"}, 1, "p.png"},
        {"the VRT's name is a directory",
         [&](const ScratchDirectory& dir) {
             oldWorld(dir);
             std::filesystem::create_directory(dir.File("w.vrt"));
         },
         gis, 1, "w.vrt"},
        {"the manifest is a FIFO with no reader",
         [&](const ScratchDirectory& dir) {
             oldWorld(dir);
             std::filesystem::remove(dir.File("w.tiles.json"));
             mkfifo(dir.File("w.tiles.json").c_str(), 0600);
         },
         gis, 1, "w.tiles.json"},
        {"the last tile's name is a directory",
         [&](const ScratchDirectory& dir) {
             oldWorld(dir);
             std::filesystem::remove(dir.File("w_1_1.tif"));
             std::filesystem::create_directory(dir.File("w_1_1.tif"));
         },
         gis, 1, "w_1_1.tif"},
        {"one tile links to another",
         [&](const ScratchDirectory& dir) {
             oldWorld(dir);
             std::filesystem::remove(dir.File("w_1_1.tif"));
             symlink("w_0_0.tif", dir.File("w_1_1.tif").c_str());
         },
         gis, 2, "w_1_1.tif"},
        {"the preview of one task links to another task's tile",
         [&](const ScratchDirectory& dir) {
             oldWorld(dir);
             symlink("w_1_1.tif", dir.File("p.png").c_str());
         },
         {"--size", "129", "--tile-size", "65", "--layout", "gis", "--tile", "0,0", "--preview", "p.png", "--out",
          "w"},
         2, "is a link to './w_1_1.tif', which is a file of the tile set 'w'"},
        {"a tile links to a tile of another set, kept by its record",
         [&](const ScratchDirectory& dir) {
             oldWorld(dir);
             WriteText(dir.File("w.set"), "a record");
             symlink("w_1_1.tif", dir.File("v_0_0.tif").c_str());
         },
         {"--size", "129", "--tile-size", "65", "--layout", "gis", "--tile", "0,0", "--out", "v"}, 2,
         "tile 0,0 'v_0_0.tif' is a link to './w_1_1.tif', which is a file of the tile set 'w'"},
        {"a one-file map links to a tile of a set",
         [&](const ScratchDirectory& dir) {
             oldWorld(dir);
             WriteText(dir.File("w.set"), "a record");
             symlink("w_1_1.tif", dir.File("m.tif").c_str());
         },
         {"--size", "65", "--out", "m.tif"}, 2, "the map (--out) 'm.tif' is a link to './w_1_1.tif'"},
        {"a one-file map's description takes a set's manifest",
         [&](const ScratchDirectory& dir) {
             oldWorld(dir);
             WriteText(dir.File("w.set"), "a record");
         },
         {"--size", "65", "--meta", "--out", "w.tiles"}, 2, "'w.tiles.json' is a file of the tile set 'w'"},
        {"the preview of one task takes another task's tile", oldWorld,
         {"--size", "129", "--tile-size", "65", "--layout", "gis", "--tile", "0,0", "--preview", "./w_1_1.tif",
          "--out", "w"},
         2, "w_1_1.tif"},
    };
    for (const Case& c : cases) {
        ScratchDirectory dir;
        c.prepare(dir);
        const std::map<std::string, std::string> before = Snapshot(dir);
        const ToolRun run = RunTool(dir, c.arguments);
        EXPECT_EQ(run.status, c.status) << c.name << ": " << run.err;
        EXPECT_EQ(LineCount(run.err), 1) << c.name << ": " << run.err;
        EXPECT_NE(run.err.find(c.named), std::string::npos) << c.name << ": " << run.err;
        EXPECT_EQ(Snapshot(dir), before) << c.name;
    }
}

// A set needs a NAME, and its job script keeps to what Slurm reads as
// written: the name made safe in the #SBATCH lines, a log a task, a missing
// directory refused, arrays past Slurm's limits said or refused.
TEST(OutputPlanTool, SetNamesAndJobScripts)
{
    ScratchDirectory dir;
    std::filesystem::create_directory(dir.File("d"));
    for (const char* out : {"d/", "d/.", "d/..", "/"}) {
        const ToolRun run = RunTool(dir, {"--size", "65", "--tile-size", "33", "--out", out});
        EXPECT_EQ(run.status, 2) << out << ": " << run.err;
        EXPECT_EQ(LineCount(run.err), 1) << out << ": " << run.err;
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.File("d")));

    const std::string hostile = "it's #1\tw%j\xC3\xA9";
    const ToolRun job = RunTool(dir, {"--size", "1025", "--tile-size", "257", "--out", "d/" + hostile, "--print-slurm"});
    EXPECT_EQ(job.status, 0) << job.err;
    EXPECT_EQ(job.err, "");
    std::istringstream lines(job.out);
    std::vector<std::string> directives;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("#SBATCH", 0) == 0) {
            directives.push_back(line);
            EXPECT_TRUE(std::regex_match(line, std::regex("#SBATCH --[a-z-]+=[A-Za-z0-9._%-]+"))) << line;
        }
    }
    ASSERT_EQ(directives.size(), 6u) << job.out;
    EXPECT_EQ(directives[0], "#SBATCH --job-name=orvandel-it_s__1_w_j__");
    EXPECT_EQ(directives[5], "#SBATCH --output=orvandel-it_s__1_w_j__-%A_%a.log");

    // A name the manifest or the VRT cannot hold is refused before a tile is
    // made, by a run and by --print-slurm alike, as a usage error.
    const std::vector<std::pair<std::vector<std::string>, std::string>> unstorable = {
        {{"--layout", "gis", "--out", "d/lat\xE9"}, "is not UTF-8"},
        {{"--layout", "unreal", "--out", "d/lat\xE9"}, "is not UTF-8"},
        {{"--out", "d/lat\xE9", "--print-slurm"}, "is not UTF-8"},
        {{"--layout", "gis", "--out", "d/bell\x07", "--print-slurm"}, "control character"},
    };
    for (const auto& [arguments, said] : unstorable) {
        std::vector<std::string> run = {"--size", "129", "--tile-size", "65"};
        run.insert(run.end(), arguments.begin(), arguments.end());
        const ToolRun refused = RunTool(dir, run);
        EXPECT_EQ(refused.status, 2) << said;
        EXPECT_EQ(LineCount(refused.err), 1) << refused.err;
        EXPECT_NE(refused.err.find(said), std::string::npos) << refused.err;
        EXPECT_EQ(refused.out, "");
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.File("d")));

    const ToolRun missing = RunTool(dir, {"--size", "1025", "--tile-size", "257", "--out", "no/w", "--print-slurm"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_NE(missing.err.find("\"no/w.set\": No such file or directory"), std::string::npos) << missing.err;

    // 16384 tasks: one line, naming the tiles a task that fit in 1001 tasks;
    // with that many there is nothing to say.
    const std::vector<std::string> big = {"--size", "131073", "--tile-size", "1025", "--out", "d/w", "--print-slurm"};
    const ToolRun many = RunTool(dir, big);
    EXPECT_EQ(many.status, 0);
    EXPECT_EQ(LineCount(many.err), 1) << many.err;
    EXPECT_NE(many.err.find("--tiles-per-task 17,"), std::string::npos) << many.err;
    std::vector<std::string> fitting = big;
    fitting.insert(fitting.end(), {"--tiles-per-task", "17"});
    const ToolRun fits = RunTool(dir, fitting);
    EXPECT_EQ(fits.err, "");
    EXPECT_NE(fits.out.find("#SBATCH --array=0-963\n"), std::string::npos);

    // 16,777,216 tasks: refused, naming the 5 tiles a task that fit.
    const ToolRun tooMany = RunTool(dir, {"--size", "131073", "--tile-size", "33", "--out", "d/w", "--print-slurm"});
    EXPECT_EQ(tooMany.status, 2);
    EXPECT_EQ(tooMany.out, "");
    EXPECT_NE(tooMany.err.find("--tiles-per-task 5 or more"), std::string::npos) << tooMany.err;
    EXPECT_TRUE(std::filesystem::is_empty(dir.File("d")));
}

// A disk that fills while the preview, the last of the side files, is
// written: the new map and description are complete by then and must not
// have replaced the older ones. A memory file system of thirteen pages:
// the old map (five), description and preview (one each), then the new
// map's temporary and the description's; the preview needs one more.
TEST(OutputPlanTool, DiskFullWhileThePreviewIsWrittenKeepsEveryOlderFile)
{
    ScratchDirectory dir;
    const std::string small = dir.File("small");
    std::filesystem::create_directory(small);
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", small.c_str(), "tmpfs", 0, "size=53248") != 0) {
        GTEST_SKIP() << "cannot mount a small file system here";
    }
    const std::string oldMap(65 * 65 * 4, 'o');
    WriteText(small + "/map.f32", oldMap);
    WriteText(small + "/map.f32.json", "old description");
    WriteText(small + "/p.png", "old preview");
    const ToolRun run = RunTool(dir, {"--size", "65", "--format", "f32", "--meta", "--out", "small/map.f32",
                                      "--preview", "small/p.png"});
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(small)) {
        left.push_back(entry.path().filename().string());
    }
    std::sort(left.begin(), left.end());
    const std::string mapAfter = ReadText(small + "/map.f32");
    const std::string descriptionAfter = ReadText(small + "/map.f32.json");
    const std::string previewAfter = ReadText(small + "/p.png");
    umount2(small.c_str(), MNT_DETACH);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(LineCount(run.err), 1) << run.err;
    EXPECT_NE(run.err.find("small/p.png\" failed: No space left on device"), std::string::npos) << run.err;
    EXPECT_EQ(mapAfter, oldMap);
    EXPECT_EQ(descriptionAfter, "old description");
    EXPECT_EQ(previewAfter, "old preview");
    EXPECT_EQ(left, (std::vector<std::string>{"map.f32", "map.f32.json", "p.png"}));
}

}  // namespace
