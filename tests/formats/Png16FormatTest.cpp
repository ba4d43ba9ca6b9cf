#include <gtest/gtest.h>
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <string>
#include <vector>

#include "FormatTestSupport.h"
#include "ScratchDirectory.h"
#include "export/Png16Writer.h"

namespace {

struct PngPicture {
    bool read = false;
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colourType = 0;
    int interlace = 0;
    bool colourManaged = false;  // a gAMA, sRGB or iCCP chunk was read
    std::vector<std::vector<uint16_t>> rows;  // as stored, first row first
};

// libpng's own reader, row by row, with no transformations asked for.
PngPicture ReadPng(const std::string& path)
{
    PngPicture picture;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return picture;
    }
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_byte> row;
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_read_info(png, info);
        png_get_IHDR(png, info, &picture.width, &picture.height, &picture.bitDepth, &picture.colourType,
                     &picture.interlace, nullptr, nullptr);
        picture.colourManaged = png_get_valid(png, info, PNG_INFO_gAMA | PNG_INFO_sRGB | PNG_INFO_iCCP) != 0;
        row.resize(png_get_rowbytes(png, info));
        for (png_uint_32 y = 0; y < picture.height; ++y) {
            png_read_row(png, row.data(), nullptr);
            std::vector<uint16_t> samples(picture.width);
            for (png_uint_32 x = 0; x < picture.width; ++x) {
                samples[x] = static_cast<uint16_t>(row[2 * x] << 8 | row[2 * x + 1]);
            }
            picture.rows.push_back(samples);
        }
        png_read_end(png, info);
        picture.read = true;
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return picture;
}

// The chunk types in file order, walked from the raw bytes.
std::vector<std::string> ChunkTypes(const std::vector<uint8_t>& bytes)
{
    std::vector<std::string> types;
    size_t at = 8;
    while (at + 12 <= bytes.size()) {
        const size_t length = size_t(bytes[at]) << 24 | size_t(bytes[at + 1]) << 16 | size_t(bytes[at + 2]) << 8 |
                              bytes[at + 3];
        types.emplace_back(reinterpret_cast<const char*>(&bytes[at + 4]), 4);
        at += 12 + length;
    }
    return types;
}

TEST(Png16Format, EverySampleIsTheRoundedCellWithTheTopRowFirst)
{
    ScratchDirectory dir;
    const std::string path = dir.File("map.png");
    const Array2D<float> map = MakeTestMap(37, 23);
    ASSERT_TRUE(WriteThroughOutputFile(path, [&](OutputFile& out) { return WriteHeightMapPng16(map, out); }));

    const PngPicture picture = ReadPng(path);
    ASSERT_TRUE(picture.read);
    EXPECT_EQ(picture.width, 37u);
    EXPECT_EQ(picture.height, 23u);
    EXPECT_EQ(picture.bitDepth, 16);
    EXPECT_EQ(picture.colourType, PNG_COLOR_TYPE_GRAY);
    EXPECT_EQ(picture.interlace, PNG_INTERLACE_NONE);
    EXPECT_FALSE(picture.colourManaged);
    for (unsigned fileRow = 0; fileRow < 23; ++fileRow) {
        const int gridRow = 22 - int(fileRow);
        for (int x = 0; x < 37; ++x) {
            ASSERT_EQ(picture.rows[fileRow][x], ExpectedSample16(map.At(x, gridRow)))
                << "file row " << fileRow << ", x " << x;
        }
    }
    // The planted edges: 0, 1, and 0.5 rounded up from 32767.5.
    EXPECT_EQ(picture.rows[22][0], 0);
    EXPECT_EQ(picture.rows[22][1], 65535);
    EXPECT_EQ(picture.rows[22][2], 32768);
}

TEST(Png16Format, HoldsOneImageStreamAndNoColourManagementChunk)
{
    ScratchDirectory dir;
    const std::string path = dir.File("map.png");
    const Array2D<float> map = MakeTestMap(513, 513);
    ASSERT_TRUE(WriteThroughOutputFile(path, [&](OutputFile& out) { return WriteHeightMapPng16(map, out); }));

    const std::vector<std::string> types = ChunkTypes(ReadFileBytes(path));
    ASSERT_GE(types.size(), 3u);
    EXPECT_EQ(types.front(), "IHDR");
    EXPECT_EQ(types.back(), "IEND");
    size_t firstData = types.size(), lastData = 0, dataChunks = 0;
    for (size_t k = 0; k < types.size(); ++k) {
        EXPECT_NE(types[k], "gAMA");
        EXPECT_NE(types[k], "sRGB");
        EXPECT_NE(types[k], "iCCP");
        if (types[k] == "IDAT") {
            firstData = std::min(firstData, k);
            lastData = k;
            ++dataChunks;
        }
    }
    ASSERT_GT(dataChunks, 0u);
    EXPECT_EQ(lastData - firstData + 1, dataChunks) << "IDAT chunks must follow one another";
}

TEST(Png16Format, FailuresLeaveNoFileAndPrintOneLine)
{
    ScratchDirectory dir;
    const Array2D<float> map = MakeTestMap(129, 129);
    std::string errors;
    {
        // A disk that fills part way through.
        FileSizeLimit limit(4096);
        EXPECT_FALSE(WriteThroughOutputFile(dir.File("full.png"),
                                            [&](OutputFile& out) { return WriteHeightMapPng16(map, out); }, &errors));
    }
    EXPECT_EQ(CountLines(errors), 1) << errors;
    EXPECT_TRUE(dir.Entries().empty());

    // libpng refuses an empty picture through its error longjmp.
    const Array2D<float> empty(0, 0);
    EXPECT_FALSE(WriteThroughOutputFile(dir.File("empty.png"),
                                        [&](OutputFile& out) { return WriteHeightMapPng16(empty, out); }, &errors));
    EXPECT_EQ(CountLines(errors), 1) << errors;
    EXPECT_NE(errors.find("PNG"), std::string::npos) << errors;
    EXPECT_TRUE(dir.Entries().empty());
}

TEST(Png16Format, WritingToAFullDeviceFails)
{
    std::string errors;
    const Array2D<float> map = MakeTestMap(129, 129);
    EXPECT_FALSE(WriteThroughOutputFile("/dev/full", [&](OutputFile& out) { return WriteHeightMapPng16(map, out); },
                                        &errors));
    EXPECT_EQ(CountLines(errors), 1) << errors;
}

}  // namespace
