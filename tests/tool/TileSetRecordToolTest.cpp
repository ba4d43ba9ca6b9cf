// A tile set is one world: a run into a set made with other options is
// refused before a cell is computed, naming the option; the same options
// run again (a requeued task) succeed; --remake-set leaves no file of the old
// set; two runs of different worlds racing into one empty set do not both
// succeed.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "ScratchDirectory.h"
#include "ToolChild.h"
#include "ToolRun.h"

namespace {

const std::vector<std::string> kWorld = {"--seed", "one", "--size", "129", "--tile-size", "65", "--layout", "gis",
                                         "--out", "w"};

std::vector<std::string> WorldWith(const std::vector<std::string>& extra)
{
    std::vector<std::string> arguments = kWorld;
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return arguments;
}

// Each option the set's record holds, changed on a rerun of one tile (or of
// tile 0, which writes the VRT): refused, status 1, one line naming the set
// and the option, every file as it was.
TEST(TileSetRecordTool, ARunWithOtherOptionsIsRefusedNamingTheFirstThatDiffers)
{
    struct Case {
        std::vector<std::string> arguments;  // replacing kWorld's where they repeat
        std::string named;
    };
    const Case cases[] = {
        {{"--seed", "two"}, "--seed 'one', not 'two'"},
        {{"--roughness", "0.7"}, "--roughness 0.5, not 0.7"},
        {{"--erosion", "1"}, "--erosion 0, not 1"},
        {{"--origin", "500000,4000000"}, "--origin 0,0, not 500000,4000000"},
        {{"--extent", "20000"}, "--extent 10000, not 20000"},
        {{"--relief", "300"}, "--relief 2000, not 300"},
        {{"--tile-size", "33"}, "--tile-size 65, not 33"},
        {{"--layout", "unreal"}, "--layout gis, not unreal"},
        {{"--maps", "normal"}, "--maps none, not normal"},
    };
    ScratchDirectory dir;
    ASSERT_EQ(RunTool(dir, kWorld).status, 0);
    const std::map<std::string, std::string> before = Snapshot(dir);
    ASSERT_EQ(before.count("w.set"), 1u);
    for (const Case& c : cases) {
        std::vector<std::string> arguments = WorldWith(c.arguments);
        arguments.insert(arguments.end(), {"--tile", "0,0"});
        const ToolRun run = RunTool(dir, arguments);
        EXPECT_EQ(run.status, 1) << c.named << ": " << run.err;
        EXPECT_EQ(LineCount(run.err), 1) << run.err;
        EXPECT_NE(run.err.find("tile set 'w' was made with " + c.named), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("--remake-set"), std::string::npos) << run.err;
        EXPECT_EQ(Snapshot(dir), before) << c.named;
    }
    // --print-slurm refuses as its tasks would; a requeued task of the same
    // world succeeds and changes no byte.
    const ToolRun script = RunTool(dir, WorldWith({"--seed", "two", "--print-slurm"}));
    EXPECT_EQ(script.status, 1);
    EXPECT_NE(script.err.find("--seed 'one', not 'two'"), std::string::npos) << script.err;
    EXPECT_EQ(script.out, "");
    EXPECT_EQ(RunTool(dir, WorldWith({"--tile", "1,0"})).status, 0);
    EXPECT_EQ(Snapshot(dir), before);

    // With maps, their settings are the set's too.
    ScratchDirectory mapped;
    ASSERT_EQ(RunTool(mapped, WorldWith({"--maps", "normal"})).status, 0);
    const ToolRun normals = RunTool(mapped, WorldWith({"--maps", "normal", "--normals", "dx", "--tile", "1,1"}));
    EXPECT_EQ(normals.status, 1);
    EXPECT_NE(normals.err.find("--normals gl, not dx"), std::string::npos) << normals.err;
}

// --remake-set: another tile size over the set leaves only the new set's
// files, none of the old tiles under the set's names.
TEST(TileSetRecordTool, RemakeLeavesNoFileOfTheOldSet)
{
    ScratchDirectory dir;
    ASSERT_EQ(RunTool(dir, WorldWith({"--maps", "slope"})).status, 0);
    ASSERT_EQ(VisibleEntries(dir).size(), 4u * 2 + 3);  // tiles and maps, the manifest, the VRT, the record
    const ToolRun remade = RunTool(dir, WorldWith({"--tile-size", "129", "--remake-set"}));
    ASSERT_EQ(remade.status, 0) << remade.err;
    EXPECT_EQ(VisibleEntries(dir), (std::vector<std::string>{"w.set", "w.tiles.json", "w.vrt", "w_0_0.tif"}));
    EXPECT_NE(ReadText(dir.File("w.set")).find("\n--tile-size 129\n"), std::string::npos);
    EXPECT_EQ(RunTool(dir, kWorld).status, 1);  // the set is now the new world
}

// --remake-set removes only what the set writes: without a record, an
// unreal set without erosion (no VRT, no stage file) leaves the folder's own
// w.vrt and w.stage; an eroded gis set's record has them removed.
TEST(TileSetRecordTool, RemakeRemovesOnlyWhatTheSetWrites)
{
    ScratchDirectory dir;
    WriteText(dir.File("w.vrt"), "the user's own VRT\n");
    WriteText(dir.File("w.stage"), "the user's own notes\n");
    const ToolRun unreal = RunTool(dir, WorldWith({"--layout", "unreal", "--remake-set"}));
    ASSERT_EQ(unreal.status, 0) << unreal.err;
    EXPECT_EQ(ReadText(dir.File("w.vrt")), "the user's own VRT\n");
    EXPECT_EQ(ReadText(dir.File("w.stage")), "the user's own notes\n");

    ScratchDirectory eroded;
    ASSERT_EQ(RunTool(eroded, WorldWith({"--erosion", "1"})).status, 0);
    ASSERT_EQ(VisibleEntries(eroded).size(), 4u + 4);  // the tiles, the manifest, the VRT, the stage, the record
    const ToolRun remade = RunTool(eroded, WorldWith({"--layout", "unreal", "--remake-set"}));
    ASSERT_EQ(remade.status, 0) << remade.err;
    for (const std::string& entry : VisibleEntries(eroded)) {
        EXPECT_TRUE(entry == "w.set" || entry == "w.tiles.json" || entry.find("w_x") == 0) << entry;
    }
}

// A run refused for its stage file (of another world) writes nothing, not
// even the set's record, so the command that made the stage still runs.
TEST(TileSetRecordTool, ARunRefusedByTheStageFileLandsNoRecord)
{
    ScratchDirectory dir;
    ASSERT_EQ(RunTool(dir, WorldWith({"--erosion", "1", "--stage-only"})).status, 0);
    ASSERT_EQ(unlink(dir.File("w.set").c_str()), 0);
    const std::map<std::string, std::string> before = Snapshot(dir);
    const ToolRun other = RunTool(dir, WorldWith({"--erosion", "2", "--tile", "0,0"}));
    EXPECT_EQ(other.status, 1);
    EXPECT_NE(other.err.find("stage file 'w.stage' was made with --erosion 1, not 2"), std::string::npos) << other.err;
    EXPECT_EQ(Snapshot(dir), before);
    EXPECT_EQ(RunTool(dir, WorldWith({"--erosion", "1", "--tile", "0,0"})).status, 0);
}

// Two worlds started at once into one empty set: never both succeed, and
// what is left is one world (the record's). Runs of one world at once all
// succeed.
TEST(TileSetRecordTool, RacingWorldsIntoAnEmptySetDoNotBothSucceed)
{
    for (int round = 0; round < 8; ++round) {
        ScratchDirectory dir;
        std::vector<ToolChild> children;
        for (const char* seed : {"one", "two", "one", "two"}) {
            children.push_back(StartToolChild(dir, WorldWith({"--seed", seed, "--tile", "0,0", "--threads", "1"})));
        }
        std::vector<int> codes;
        for (ToolChild& child : children) {
            codes.push_back(ExitCode(WaitForToolChild(child)));
        }
        const std::string record = ReadText(dir.File("w.set"));
        const bool one = record.find("--seed 'one'") != std::string::npos;
        const std::vector<int> winners = one ? std::vector<int>{0, 2} : std::vector<int>{1, 3};
        const std::vector<int> losers = one ? std::vector<int>{1, 3} : std::vector<int>{0, 2};
        for (const int i : winners) {
            EXPECT_EQ(codes[size_t(i)], 0) << round;
        }
        for (const int i : losers) {
            EXPECT_EQ(codes[size_t(i)], 1) << round;
        }
    }
}

}  // namespace
