#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "../support/HeightMapTgaBytes.h"
#include "ScratchDirectory.h"
#include "ToolRun.h"
#include "cli/TerrainOptions.h"
#include "export/HeightMapExport.h"
#include "terrain/Array2D.h"
#include "terrain/HeightMapGenerator.h"

namespace {

const int kSide = 129;
const std::string kPgmHeader = "P5\n129 129\n65535\n";

Array2D<float> Generated(float roughness, float falloff)
{
    Array2D<float> map(kSide, kSide);
    const float saved = falloffExponent;
    falloffExponent = falloff;
    GenerateHeightMap(map, 128, 30.0f, roughness);
    falloffExponent = saved;
    return map;
}

TEST(HeightMapTool, RefusesBadArgumentsWithOneLineAndStatus2)
{
    ScratchDirectory dir;
    const std::vector<std::vector<std::string>> refused = {
        {},
        {"--out"},
        {"--roughness", "0", "--out", "map"},
        {"--roughness", "-0.5", "--out", "map"},
        {"--roughness", "inf", "--out", "map"},
        {"--roughness", "1e999", "--out", "map"},
        {"--roughness", "0.5x", "--out", "map"},
        {"--falloff", "nan", "--out", "map"},
        {"--falloff", "", "--out", "map"},
        {"--sharpness", "0", "--out", "map"},
        {"--sharpness", "2000", "--out", "map"},
        {"--erosion", "-1", "--out", "map"},
        {"--erosion=4.5", "--out", "map"},
        {"--format", "png", "--out", "map"},
        {"--out", "map", "--frobnicate"},
        {"--out", "map", "extra"},
        {"--roughness", "0.6"},
    };
    for (const auto& arguments : refused) {
        std::string shown;
        for (const std::string& word : arguments) {
            shown += "[" + word + "]";
        }
        const ToolRun run = RunTool(dir, arguments);
        EXPECT_EQ(run.status, 2) << shown;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << shown << ": " << run.err;
        EXPECT_TRUE(run.out.empty()) << shown;
    }
    EXPECT_TRUE(dir.Entries().empty());
}

// Every terrain option of the shared table is the tool's: listed in --help,
// taken with a good value, refused by name with a bad one.
TEST(HeightMapTool, TakesEveryTerrainOptionOfTheSharedTable)
{
    ScratchDirectory dir;
    const std::string usage = RunTool(dir, {"--help"}).out;
    for (const TerrainOption& option : TerrainOptions()) {
        SCOPED_TRACE(option.name);
        EXPECT_NE(usage.find(std::string("  ") + option.name + " "), std::string::npos);
        // Every number option takes 1; the shape takes a file or a built-in.
        const std::string name = option.name;
        const std::string value = name == "--shape" ? "builtin:continent" : name == "--shape-range" ? "0,1" : "1";
        // Lakes are what erosion keeps.
        const std::string erosion = name == "--lakes" ? "1" : "0";
        const ToolRun good = RunTool(dir, {name + "=" + value, "--shape", "builtin:continent", "--size", "33",
                                           "--erosion", erosion, "--out", "m.tga"});
        EXPECT_EQ(good.status, 0) << good.err;
        const ToolRun bad = RunTool(dir, {option.name, "", "--out", "m.tga"});
        EXPECT_EQ(bad.status, 2);
        EXPECT_NE(bad.err.find(option.name), std::string::npos) << bad.err;
    }
}

TEST(HeightMapTool, HelpPrintsUsage)
{
    ScratchDirectory dir;
    const ToolRun run = RunTool(dir, {"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("usage: orvandel-heightmap [--size N]", 0), 0u) << run.out;
    for (const char* option : {"--size", "--seed", "--roughness", "--falloff", "--format", "--rows", "--meta",
                               "--threads", "--out", "--help"}) {
        EXPECT_NE(run.out.find(std::string("  ") + option), std::string::npos) << option;
    }
}

TEST(HeightMapTool, TgaIsTheViewersExportOfTheSameGeneration)
{
    ScratchDirectory dir;
    ASSERT_EQ(RunTool(dir, {"--out", "default.tga"}).status, 0);
    ASSERT_EQ(RunTool(dir, {"--roughness", "0.61", "--falloff", "2.5", "--format", "tga", "--out", "tuned.tga"}).status, 0);

    const std::string viewer = dir.File("viewer.tga");
    std::string error;
    SaveHeightMapTGA(Generated(0.5f, 1.0f), viewer.c_str(), error);
    const std::vector<uint8_t> tool = ReadFileBytes(dir.File("default.tga"));
    EXPECT_EQ(tool.size(), 49941u);
    EXPECT_EQ(tool, ReadFileBytes(viewer));
    EXPECT_EQ(ReadFileBytes(dir.File("tuned.tga")), HeightMapTGABytes(Generated(0.61f, 2.5f)));
    EXPECT_NE(ReadFileBytes(dir.File("tuned.tga")), tool);
}

TEST(HeightMapTool, Pgm16RunsFromTheTopRowDownRoundedTo65535)
{
    ScratchDirectory dir;
    ASSERT_EQ(RunTool(dir, {"--format", "pgm16", "--out", "map.pgm"}).status, 0);
    const std::vector<uint8_t> bytes = ReadFileBytes(dir.File("map.pgm"));
    ASSERT_EQ(bytes.size(), kPgmHeader.size() + 2u * kSide * kSide);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + kPgmHeader.size()), kPgmHeader);

    const Array2D<float> map = Generated(0.5f, 1.0f);
    const uint8_t* samples = bytes.data() + kPgmHeader.size();
    int mismatches = 0;
    for (int row = 0; row < kSide; ++row) {
        for (int x = 0; x < kSide; ++x) {
            const double cell = std::clamp(double(map.At(x, kSide - 1 - row)), 0.0, 1.0);
            const long expected = std::lround(cell * 65535.0);
            const long got = samples[2 * (row * kSide + x)] * 256L + samples[2 * (row * kSide + x) + 1];
            mismatches += got != expected;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(HeightMapTool, F32KeepsEveryBitRowZeroFirst)
{
    ScratchDirectory dir;
    ASSERT_EQ(RunTool(dir, {"--roughness", "0.55", "--format", "f32", "--out", "map.f32"}).status, 0);
    const std::vector<uint8_t> bytes = ReadFileBytes(dir.File("map.f32"));
    ASSERT_EQ(bytes.size(), 4u * kSide * kSide);

    const Array2D<float> map = Generated(0.55f, 1.0f);
    int mismatches = 0;
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            const uint8_t* at = bytes.data() + 4 * (x + y * kSide);
            const uint32_t bits = at[0] | at[1] << 8 | at[2] << 16 | uint32_t(at[3]) << 24;
            uint32_t expected = 0;
            const float cell = map.At(x, y);
            memcpy(&expected, &cell, sizeof expected);
            mismatches += bits != expected;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(HeightMapTool, WriteFailureExitsNonZeroLeavingNoFile)
{
    ScratchDirectory dir;
    const ToolRun missing = RunTool(dir, {"--out", "absent/map.tga"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(std::count(missing.err.begin(), missing.err.end(), '\n'), 1) << missing.err;
    EXPECT_TRUE(dir.Entries().empty());

    const ToolRun full = RunTool(dir, {"--format", "f32", "--out", "/dev/full"});
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.err.find("No space left on device"), std::string::npos) << full.err;
}

}  // namespace
