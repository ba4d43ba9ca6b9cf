// An eroded world made tile by tile through the tool: the stage file the
// tasks share, and every tile and its maps the one-file eroded map's window,
// read back as plain bytes and by GDAL. Each check runs on a world of 513
// cells in tiles of 129 (the stage the whole world, as up to 4097) and again,
// in a "Large" suite, on the 2049 world in tiles of 513 (CMakeLists.txt).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "ScratchDirectory.h"
#include "ToolRun.h"

namespace {

// The world's terrain and its sides: tile (x, y) starts (tile - 1) * x
// cells east of the world's corner, its edges shared with its neighbours.
struct ErodedWorld {
    int cells;
    int tile;

    std::vector<std::string> With(std::vector<std::string> arguments, const char* erosion = "1") const
    {
        const std::vector<std::string> terrain = {"--seed", "tiles", "--roughness", "0.7", "--falloff", "1.3",
                                                  "--size", std::to_string(cells), "--erosion", erosion,
                                                  "--sharpness", "0.25"};
        arguments.insert(arguments.begin(), terrain.begin(), terrain.end());
        return arguments;
    }
};

const ErodedWorld kSmall = {513, 129};
const ErodedWorld kLarge = {2049, 513};

// The first task makes the stage file, later ones reuse it, and each tile is
// the one-file eroded map's window. A stage file made with other options, or
// cut short, is refused by name with nothing written.
void ExpectTilesShareTheStageFile(const ErodedWorld& world)
{
    ScratchDirectory dir;
    ASSERT_EQ(RunTool(dir, world.With({"--format", "f32", "--out", "whole.f32"})).status, 0);
    const std::string tileSize = std::to_string(world.tile);
    auto tile = [&](const std::string& x, const std::string& y, const char* erosion) {
        const std::vector<std::string> where = {"--tile-size", tileSize, "--tile", x + "," + y, "--format", "f32",
                                                "--out", "w"};
        return RunTool(dir, world.With(where, erosion));
    };
    ASSERT_EQ(tile("1", "2", "1").status, 0);
    const std::vector<uint8_t> stage = ReadFileBytes(dir.File("w.stage"));
    ASSERT_FALSE(stage.empty());
    ASSERT_EQ(tile("3", "0", "1").status, 0);
    EXPECT_EQ(ReadFileBytes(dir.File("w.stage")), stage);

    const size_t n = world.cells;
    const size_t t = world.tile;
    const std::vector<uint8_t> map = ReadFileBytes(dir.File("whole.f32"));
    ASSERT_EQ(map.size(), n * n * 4u);
    int mismatches = 0;
    for (const auto& [x, y, name] : {std::tuple{1u, 2u, "w_1_2.f32"}, std::tuple{3u, 0u, "w_3_0.f32"}}) {
        const std::vector<uint8_t> bytes = ReadFileBytes(dir.File(name));
        ASSERT_EQ(bytes.size(), t * t * 4u) << name;
        for (size_t row = 0; row < t; ++row) {
            mismatches += !std::equal(bytes.begin() + row * t * 4, bytes.begin() + (row + 1) * t * 4,
                                      map.begin() + ((y * (t - 1) + row) * n + x * (t - 1)) * 4);
        }
    }
    EXPECT_EQ(mismatches, 0);

    const ToolRun other = tile("0", "0", "2");
    EXPECT_EQ(other.status, 1);
    // The set's record refuses another world before its stage file is read.
    EXPECT_NE(other.err.find("tile set 'w' was made with --erosion 1, not 2"), std::string::npos) << other.err;
    EXPECT_EQ(std::count(other.err.begin(), other.err.end(), '\n'), 1) << other.err;
    FILE* cut = fopen(dir.File("w.stage").c_str(), "wb");
    ASSERT_NE(cut, nullptr);
    fwrite(stage.data(), 1, stage.size() / 2, cut);
    fclose(cut);
    const ToolRun shortened = tile("0", "0", "1");
    EXPECT_EQ(shortened.status, 1);
    EXPECT_NE(shortened.err.find("'w.stage' is cut short"), std::string::npos) << shortened.err;
    std::vector<std::string> names = dir.Entries();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"w.set", "w.stage", "w_1_2.f32", "w_3_0.f32", "whole.f32"}));
}

// Each tile's maps, beside it and named after it, are the same window of the
// whole eroded map's maps, read back by GDAL: tiles in the middle and on the
// world's west and east borders (their halo one-sided), Unreal's naming.
void ExpectTileMapsAreTheWholeMapsCut(const ErodedWorld& world)
{
    ScratchDirectory dir;
    const std::vector<std::string> maps = {"--maps", "normal,slope,flow,rivers,splat,shade,flow-d8,flowdir,"
                                           "wear,deposition,water,depth"};
    std::vector<std::string> whole = world.With({"--format", "png16", "--out", "whole.png"});
    whole.insert(whole.end(), maps.begin(), maps.end());
    ASSERT_EQ(RunTool(dir, whole).status, 0);
    // Task 2 of 3 tiles each: tiles 6, 7, 8, which Unreal names (2, 1), (3, 1), (0, 2).
    std::vector<std::string> tiles = world.With({"--tile-size", std::to_string(world.tile), "--layout", "unreal",
                                                 "--tiles-per-task", "3", "--tile-index", "2", "--out", "w"});
    tiles.insert(tiles.end(), maps.begin(), maps.end());
    const ToolRun run = RunTool(dir, tiles);
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string cd = "cd '" + dir.Path() + "' && ";
    const int step = world.tile - 1;
    for (const char* kind :
         {"normal", "slope", "flow", "rivers", "splat", "shade", "flow-d8", "flowdir", "wear", "deposition", "water",
          "depth"}) {
        for (const auto& [x, y] : {std::pair{2, 1}, std::pair{3, 1}, std::pair{0, 2}}) {
            const std::string tile = "w_x" + std::to_string(x) + "_y" + std::to_string(y) + "." + kind + ".png";
            // Y counts from the north, as the PNG's rows do.
            const std::string window = std::to_string(x * step) + " " + std::to_string(y * step) + " " +
                                       std::to_string(world.tile) + " " + std::to_string(world.tile);
            EXPECT_EQ(ShellOutput(cd + "gdal_translate -q -of ENVI -srcwin " + window + " whole." + kind +
                                  ".png cut.raw && gdal_translate -q -of ENVI " + tile + " tile.raw && cmp cut.raw "
                                  "tile.raw && echo same"),
                      "same\n")
                << tile;
        }
    }
}

TEST(ErodedTileTool, TilesShareTheStageFileAndHoldTheWholeErodedMap)
{
    ExpectTilesShareTheStageFile(kSmall);
}

TEST(ErodedTileToolLarge, TilesShareTheStageFileAndHoldTheWholeErodedMap)
{
    ExpectTilesShareTheStageFile(kLarge);
}

TEST(ErodedTileTool, TileMapsAreTheWholeMapsMapsCutAtTheTile)
{
    ExpectTileMapsAreTheWholeMapsCut(kSmall);
}

TEST(ErodedTileToolLarge, TileMapsAreTheWholeMapsMapsCutAtTheTile)
{
    ExpectTileMapsAreTheWholeMapsCut(kLarge);
}

}  // namespace
