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

namespace {

// What GDAL's own reader makes of a file: gdalinfo shares no code with the
// writer, and is what GIS tools place a raster by.
std::string GdalInfo(const std::string& path)
{
    FILE* pipe = popen(("gdalinfo '" + path + "' 2>&1").c_str(), "r");
    std::string text;
    if (pipe != nullptr) {
        char chunk[4096];
        size_t got = 0;
        while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0) {
            text.append(chunk, got);
        }
        pclose(pipe);
    }
    return text;
}

TEST(Tif32Format, APlacementIsReadByGdalAsAGeotransformWithNoCoordinateSystem)
{
    ScratchDirectory dir;
    const std::string path = dir.File("placed.tif");
    const Array2D<float> map = MakeTestMap(5, 4);
    GeoTransform placement;
    placement.originX = 1000.5;
    placement.originY = 2000.25;
    placement.pixelWidth = 2.5;
    placement.pixelHeight = 3;
    ASSERT_TRUE(
        WriteThroughOutputFile(path, [&](OutputFile& out) { return WriteHeightMapTif32(map, out, &placement); }));

    // The samples are points: GDAL's geotransform is the corner of the
    // top-left pixel around the first sample, half a pixel out.
    const std::string info = GdalInfo(path);
    EXPECT_NE(info.find("Size is 5, 4"), std::string::npos) << info;
    EXPECT_NE(info.find("Origin = (999.250000000000000,2001.750000000000000)"), std::string::npos) << info;
    EXPECT_NE(info.find("Pixel Size = (2.500000000000000,-3.000000000000000)"), std::string::npos) << info;
    EXPECT_NE(info.find("AREA_OR_POINT=Point"), std::string::npos) << info;
    // GDAL calls a placement without a model type an unnamed local frame;
    // no projection, datum or EPSG code may appear.
    for (const char* invented : {"EPSG", "PROJCRS", "GEOGCRS", "GEOGCS", "PROJCS", "WGS"}) {
        EXPECT_EQ(info.find(invented), std::string::npos) << invented << " in\n" << info;
    }
    EXPECT_EQ(info.find("Warning"), std::string::npos) << info;
    EXPECT_EQ(info.find("ERROR"), std::string::npos) << info;
}

TEST(Tif32Format, WithoutAPlacementGdalFindsNoGeotransform)
{
    ScratchDirectory dir;
    const std::string path = dir.File("plain.tif");
    const Array2D<float> map = MakeTestMap(5, 4);
    ASSERT_TRUE(WriteThroughOutputFile(path, [&](OutputFile& out) { return WriteHeightMapTif32(map, out); }));
    const std::string info = GdalInfo(path);
    EXPECT_NE(info.find("Size is 5, 4"), std::string::npos) << info;
    EXPECT_EQ(info.find("Origin ="), std::string::npos) << info;
}

}  // namespace
