#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FormatTestSupport.h"
#include "ScratchDirectory.h"
#include "export/HeightMapFormat.h"

namespace {

TEST(HeightMapFormatRegistry, NineFormatsTgaFirstFoundByName)
{
    std::vector<std::string> names;
    for (const HeightMapFormat& format : AllHeightMapFormats()) {
        names.push_back(format.name);
        EXPECT_EQ(FindHeightMapFormat(format.name), &format);
        EXPECT_NE(std::string(format.description), "");
        EXPECT_NE(format.write, nullptr);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"tga", "pgm16", "f32", "png16", "r16", "exr", "tif32", "obj", "stl"}));
    EXPECT_EQ(HeightMapFormatNames("|"), "tga|pgm16|f32|png16|r16|exr|tif32|obj|stl");
    EXPECT_EQ(FindHeightMapFormat("PNG16"), nullptr);
    EXPECT_EQ(FindHeightMapFormat("png"), nullptr);
    EXPECT_EQ(FindHeightMapFormat(""), nullptr);
}

TEST(HeightMapFormatRegistry, FileNameExtensionNamesAFormatOrNone)
{
    const std::pair<const char*, const char*> cases[] = {
        {"map.png", "png16"},    {"a/b.PNG", "png16"},  {"map.exr", "exr"},       {"map.tif", "tif32"},
        {"map.TIFF", "tif32"},   {"map.r16", "r16"},    {"map.Raw", "r16"},       {"map.pgm", "pgm16"},
        {"map.tga", "tga"},      {"map.f32", "f32"},    {"map.obj", "obj"},       {"map.stl", "stl"},
        {"map", nullptr},        {"map.", nullptr},     {"map.jpg", nullptr},     {"map.png16", nullptr},
        {".png", nullptr},       {"d/.png", nullptr},   {"d.png/map", nullptr},   {"/dev/stdout", nullptr},
        {"map.png.tmp", nullptr}, {"", nullptr},
    };
    for (const auto& [name, format] : cases) {
        const HeightMapFormat* found = HeightMapFormatForFileName(name);
        EXPECT_EQ(found ? found->name : "none", std::string(format ? format : "none")) << name;
    }
}

TEST(HeightMapFormatRegistry, RowsOnlyForTheRawFormatsAndSmallerMeshes)
{
    for (const HeightMapFormat& format : AllHeightMapFormats()) {
        const std::string name = format.name;
        EXPECT_EQ(format.acceptsRowOrder, name == "r16" || name == "f32") << name;
        const bool mesh = name == "obj" || name == "stl";
        EXPECT_EQ(format.hasRows, !mesh) << name;
        EXPECT_EQ(format.largestSize, mesh ? 4097u : 16385u) << name;
    }
    EXPECT_EQ(FindHeightMapFormat("r16")->defaultRows, RowOrder::BottomFirst);
    EXPECT_EQ(FindHeightMapFormat("f32")->defaultRows, RowOrder::BottomFirst);
    EXPECT_EQ(FindHeightMapFormat("png16")->defaultRows, RowOrder::TopFirst);
    EXPECT_EQ(FindHeightMapFormat("pgm16")->defaultRows, RowOrder::TopFirst);
}

TEST(HeightMapFormatRegistry, WritesThroughTheChosenWriter)
{
    ScratchDirectory dir;
    const Array2D<float> map = MakeTestMap(9, 9);
    const auto write = [&](const char* name, const std::string& path, RowOrder rows) {
        return WriteThroughOutputFile(
            path, [&](OutputFile& out) { return WriteHeightMapAs(*FindHeightMapFormat(name), map, rows, out); });
    };
    ASSERT_TRUE(write("png16", dir.File("a.png"), RowOrder::BottomFirst));
    const std::vector<uint8_t> png = ReadFileBytes(dir.File("a.png"));
    ASSERT_GE(png.size(), 8u);
    EXPECT_EQ(std::vector<uint8_t>(png.begin(), png.begin() + 4), (std::vector<uint8_t>{0x89, 'P', 'N', 'G'}));

    // r16 takes the order it is given: grid row 0 holds 0, 1, 0.5 at its start.
    ASSERT_TRUE(write("r16", dir.File("bottom.r16"), RowOrder::BottomFirst));
    ASSERT_TRUE(write("r16", dir.File("top.r16"), RowOrder::TopFirst));
    const std::vector<uint8_t> bottom = ReadFileBytes(dir.File("bottom.r16"));
    const std::vector<uint8_t> top = ReadFileBytes(dir.File("top.r16"));
    ASSERT_EQ(bottom.size(), 162u);
    ASSERT_EQ(top.size(), 162u);
    EXPECT_EQ(std::vector<uint8_t>(bottom.begin(), bottom.begin() + 6),
              (std::vector<uint8_t>{0x00, 0x00, 0xFF, 0xFF, 0x00, 0x80}));
    EXPECT_EQ(std::vector<uint8_t>(top.end() - 18, top.end() - 12),
              (std::vector<uint8_t>{0x00, 0x00, 0xFF, 0xFF, 0x00, 0x80}));

    // f32 takes it too; tga keeps its one order whatever is asked.
    ASSERT_TRUE(write("f32", dir.File("top.f32"), RowOrder::TopFirst));
    const std::vector<uint8_t> f32 = ReadFileBytes(dir.File("top.f32"));
    ASSERT_EQ(f32.size(), 4u * 81);
    EXPECT_EQ(uint32_t(f32[0] | f32[1] << 8 | f32[2] << 16 | uint32_t(f32[3]) << 24), Bits(map.At(0, 8)));
    ASSERT_TRUE(write("tga", dir.File("a.tga"), RowOrder::TopFirst));
    const std::vector<uint8_t> tga = ReadFileBytes(dir.File("a.tga"));
    ASSERT_EQ(tga.size(), 18u + 3 * 81);
    EXPECT_EQ(tga[18], 0x00);  // cell (0, 0) first: 0
    EXPECT_EQ(tga[21], 0xFF);  // then cell (1, 0): 1

    ASSERT_TRUE(write("stl", dir.File("a.stl"), RowOrder::TopFirst));
    EXPECT_EQ(ReadFileBytes(dir.File("a.stl")).size(), 84u + 50u * (2 * 8 * 8 + 3 * 32));
}

TEST(HeightMapFormatRegistry, AMapLargerThanTheFormatTakesFailsWithOneLine)
{
    ScratchDirectory dir;
    const Array2D<float> map(4098, 2);
    std::string errors;
    EXPECT_FALSE(WriteThroughOutputFile(
        dir.File("big.obj"),
        [&](OutputFile& out) { return WriteHeightMapAs(*FindHeightMapFormat("obj"), map, RowOrder::BottomFirst, out); },
        &errors));
    EXPECT_EQ(CountLines(errors), 1) << errors;
    EXPECT_NE(errors.find("4097"), std::string::npos) << errors;
    EXPECT_TRUE(dir.Entries().empty());
}

}  // namespace
