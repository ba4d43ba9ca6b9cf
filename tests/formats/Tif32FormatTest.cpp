#include <gtest/gtest.h>
#include <tiffio.h>

#include <string>
#include <vector>

#include "FormatTestSupport.h"
#include "ScratchDirectory.h"
#include "export/Tif32Writer.h"

namespace {

template <typename T>
T Tag(TIFF* tiff, ttag_t tag)
{
    T value{};
    TIFFGetFieldDefaulted(tiff, tag, &value);
    return value;
}

TEST(Tif32Format, FloatSamplesHoldEveryCellBitForBitTopRowFirst)
{
    ScratchDirectory dir;
    const std::string path = dir.File("map.tif");
    const Array2D<float> map = MakeTestMap(37, 150);
    ASSERT_TRUE(WriteThroughOutputFile(path, [&](OutputFile& out) { return WriteHeightMapTif32(map, out); }));

    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    ASSERT_NE(tiff, nullptr);
    EXPECT_EQ(Tag<uint32_t>(tiff, TIFFTAG_IMAGEWIDTH), 37u);
    EXPECT_EQ(Tag<uint32_t>(tiff, TIFFTAG_IMAGELENGTH), 150u);
    EXPECT_EQ(Tag<uint16_t>(tiff, TIFFTAG_BITSPERSAMPLE), 32);
    EXPECT_EQ(Tag<uint16_t>(tiff, TIFFTAG_SAMPLESPERPIXEL), 1);
    EXPECT_EQ(Tag<uint16_t>(tiff, TIFFTAG_SAMPLEFORMAT), SAMPLEFORMAT_IEEEFP);
    EXPECT_EQ(Tag<uint16_t>(tiff, TIFFTAG_COMPRESSION), COMPRESSION_ADOBE_DEFLATE);
    EXPECT_EQ(Tag<uint16_t>(tiff, TIFFTAG_PREDICTOR), PREDICTOR_FLOATINGPOINT);
    EXPECT_EQ(Tag<uint16_t>(tiff, TIFFTAG_ORIENTATION), ORIENTATION_TOPLEFT);
    EXPECT_FALSE(TIFFIsBigEndian(tiff));
    ASSERT_EQ(TIFFScanlineSize(tiff), tmsize_t(37 * sizeof(float)));

    std::vector<float> line(37);
    for (uint32_t row = 0; row < 150; ++row) {
        ASSERT_EQ(TIFFReadScanline(tiff, line.data(), row, 0), 1);
        for (int x = 0; x < 37; ++x) {
            ASSERT_EQ(Bits(line[x]), Bits(map.At(x, 149 - int(row)))) << "row " << row << ", x " << x;
        }
    }
    EXPECT_FALSE(TIFFReadDirectory(tiff)) << "one image only";
    TIFFClose(tiff);
}

TEST(Tif32Format, FailuresLeaveNoFileAndPrintOneLine)
{
    ScratchDirectory dir;
    const Array2D<float> map = MakeTestMap(129, 129);
    std::string errors;
    {
        FileSizeLimit limit(4096);
        EXPECT_FALSE(WriteThroughOutputFile(dir.File("full.tif"),
                                            [&](OutputFile& out) { return WriteHeightMapTif32(map, out); }, &errors));
    }
    EXPECT_EQ(CountLines(errors), 1) << errors;
    EXPECT_TRUE(dir.Entries().empty());

    EXPECT_FALSE(WriteThroughOutputFile("/dev/full", [&](OutputFile& out) { return WriteHeightMapTif32(map, out); },
                                        &errors));
    EXPECT_EQ(CountLines(errors), 1) << errors;
}

TEST(Tif32Format, APipeIsRefusedWithOneLineBeforeAnyByte)
{
    // The format seeks back to finish the file, which a pipe cannot do.
    NamedPipe pipe;
    const Array2D<float> map = MakeTestMap(9, 9);
    std::string errors;
    EXPECT_FALSE(WriteThroughOutputFile(pipe.Path(), [&](OutputFile& out) { return WriteHeightMapTif32(map, out); }, &errors));
    EXPECT_EQ(CountLines(errors), 1) << errors;
    EXPECT_NE(errors.find("seek"), std::string::npos) << errors;
    EXPECT_EQ(pipe.Pending(), 0u);
}

}  // namespace
