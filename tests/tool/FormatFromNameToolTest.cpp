// The tool choosing the format from --out's extension, and --format winning
// over it with one line.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ScratchDirectory.h"
#include "ToolRun.h"

namespace {

std::vector<uint8_t> Written(const ScratchDirectory& dir, std::vector<std::string> arguments, const std::string& name,
                             std::string& err)
{
    arguments.insert(arguments.begin(), {"--size", "33"});
    arguments.insert(arguments.end(), {"--out", name});
    const ToolRun run = RunTool(dir, arguments);
    EXPECT_EQ(run.status, 0) << name << ": " << run.err;
    err = run.err;
    return ReadFileBytes(dir.File(name));
}

TEST(HeightMapToolFormatFromName, ExtensionChoosesTheFormatInAnyCase)
{
    ScratchDirectory dir;
    const std::pair<const char*, const char*> cases[] = {
        {"map.png", "png16"}, {"map.EXR", "exr"}, {"map.Tif", "tif32"}, {"map.tiff", "tif32"}, {"map.r16", "r16"},
        {"map.RAW", "r16"},   {"map.pgm", "pgm16"}, {"map.tga", "tga"}, {"map.f32", "f32"},   {"map.obj", "obj"},
        {"map.STL", "stl"},   {"map", "tga"},       {"map.jpg", "tga"}, {".png", "tga"},      {"map.png.old", "tga"},
    };
    for (const auto& [name, format] : cases) {
        std::string err;
        const std::vector<uint8_t> chosen = Written(dir, {}, name, err);
        EXPECT_EQ(err, "") << name;
        const std::vector<uint8_t> asked = Written(dir, {"--format", format}, std::string("asked.") + name, err);
        EXPECT_FALSE(chosen.empty()) << name;
        EXPECT_TRUE(chosen == asked) << name << " is not " << format;
    }
    // Read by magic number, not by comparison with the tool's own output.
    std::string err;
    const std::vector<uint8_t> png = Written(dir, {}, "magic.png", err);
    ASSERT_GE(png.size(), 25u);
    EXPECT_EQ(std::vector<uint8_t>(png.begin(), png.begin() + 8),
              (std::vector<uint8_t>{0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'}));
    EXPECT_EQ(png[24], 16) << "bit depth";
    const std::vector<uint8_t> exr = Written(dir, {}, "magic.EXR", err);
    ASSERT_GE(exr.size(), 4u);
    EXPECT_EQ(std::vector<uint8_t>(exr.begin(), exr.begin() + 4), (std::vector<uint8_t>{0x76, 0x2f, 0x31, 0x01}));
}

TEST(HeightMapToolFormatFromName, FormatOptionWinsWithOneLineWhenTheyDisagree)
{
    ScratchDirectory dir;
    std::string err;
    const std::vector<uint8_t> tga = Written(dir, {"--format", "tga"}, "map.png", err);
    EXPECT_EQ(tga.size(), 18u + 3u * 33u * 33u);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("tga"), std::string::npos) << err;
    EXPECT_NE(err.find("png16"), std::string::npos) << err;

    Written(dir, {"--format", "png16"}, "agreed.PNG", err);
    EXPECT_EQ(err, "");
    // Rows follow the chosen format: png16 stores one order only.
    const ToolRun rows = RunTool(dir, {"--rows", "top", "--out", "rows.png"});
    EXPECT_EQ(rows.status, 2) << rows.err;
}

}  // namespace
