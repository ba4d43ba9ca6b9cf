#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "../support/HeightMapTgaBytes.h"
#include "ScratchDirectory.h"
#include "export/HeightMapExport.h"
#include "export/HeightSamples.h"
#include "render/TgaFileSource.h"
#include "render/TgaImage.h"
#include "terrain/Array2D.h"

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInfinity = std::numeric_limits<float>::infinity();

// Every cell distinct, so a misplaced pixel shows.
Array2D<float> Gradient(uint32_t width, uint32_t height)
{
    Array2D<float> grid(width, height);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            grid.At(int(x), int(y)) = float(x + y * width) / float(width * height);
        }
    }
    return grid;
}

TEST(HeightToByte, ClampsThenTruncates)
{
    EXPECT_EQ(HeightToByte(1.0f), 0xFF);
    EXPECT_EQ(HeightToByte(0.5f), 0x7F);   // 127.5
    EXPECT_EQ(HeightToByte(0.25f), 0x3F);  // 63.75
    EXPECT_EQ(HeightToByte(0.0f), 0x00);
    EXPECT_EQ(HeightToByte(0.999f), 254);
    EXPECT_EQ(HeightToByte(1.5f), 0xFF);
    EXPECT_EQ(HeightToByte(kInfinity), 0xFF);
    EXPECT_EQ(HeightToByte(-0.5f), 0x00);
    EXPECT_EQ(HeightToByte(-kInfinity), 0x00);
    EXPECT_EQ(HeightToByte(kNaN), 0x00);
}

// A wide grid shows width and height in their places, little-endian.
TEST(HeightMapTGABytes, HeaderIsUncompressedGreyBottomLeft)
{
    const std::vector<uint8_t> bytes = HeightMapTGABytes(Gradient(300, 2));
    const std::vector<uint8_t> header(bytes.begin(), bytes.begin() + kTgaHeaderSize);
    const std::vector<uint8_t> expected = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x2C, 0x01, 2, 0, 24, 0};
    EXPECT_EQ(header, expected);
    EXPECT_EQ(bytes.size(), 18u + 3u * 300u * 2u);

    const std::vector<uint8_t> map = HeightMapTGABytes(Array2D<float>(129, 129));
    ASSERT_EQ(map.size(), 49941u);
    EXPECT_EQ(std::vector<uint8_t>(map.begin() + 12, map.begin() + 16), (std::vector<uint8_t>{0x81, 0, 0x81, 0}));
}

TEST(HeightMapTGABytes, CellLandsAtItsOffsetAsThreeEqualBytes)
{
    const uint32_t width = 5;
    const uint32_t height = 3;
    // Cell i holds i/16, exact in float, so its byte is 255·i/16 truncated;
    // three cells are replaced by values out of range.
    Array2D<float> grid(width, height);
    std::vector<unsigned> expected(width * height);
    for (uint32_t i = 0; i < width * height; ++i) {
        grid.At(int(i % width), int(i / width)) = float(i) / 16.0f;
        expected[i] = 255 * i / 16;
    }
    grid.At(1, 0) = kNaN;
    expected[1] = 0x00;
    grid.At(2, 0) = 2.0f;
    expected[2] = 0xFF;
    grid.At(3, 0) = -1.0f;
    expected[3] = 0x00;
    const std::vector<uint8_t> bytes = HeightMapTGABytes(grid);
    ASSERT_EQ(bytes.size(), 18u + 3u * width * height);
    for (uint32_t i = 0; i < width * height; ++i) {
        const size_t at = 18 + 3 * i;
        EXPECT_EQ(bytes[at], expected[i]) << i;
        EXPECT_EQ(bytes[at + 1], expected[i]) << i;
        EXPECT_EQ(bytes[at + 2], expected[i]) << i;
    }
}

TEST(HeightMapFileName, DateAndTimeOfTheGivenMoment)
{
    std::tm moment{};
    moment.tm_year = 2024 - 1900;
    moment.tm_mon = 2;
    moment.tm_mday = 5;
    moment.tm_hour = 14;
    moment.tm_min = 7;
    moment.tm_sec = 9;
    EXPECT_EQ(HeightMapFileName(moment), "2024-03-05 14-07-09 heightmap.tga");
}

TEST(SaveHeightMapTGA, ExplicitPathIsUsedUnchangedAndReplacesAnOlderFile)
{
    ScratchDirectory dir;
    const std::string path = dir.File("my map.tga");
    std::ofstream(path) << std::string(100000, 'x');
    const Array2D<float> grid = Gradient(7, 4);
    std::string written;
    std::string error;
    EXPECT_TRUE(SaveHeightMapTGA(grid, path.c_str(), error, &written));
    EXPECT_EQ(written, path);
    EXPECT_EQ(ReadFileBytes(path), HeightMapTGABytes(grid));
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"my map.tga"});
}

TEST(SaveHeightMapTGA, WrittenFileIsAcceptedByTheViewersReader)
{
    ScratchDirectory dir;
    const std::string path = dir.File("map.tga");
    const Array2D<float> grid = Gradient(5, 3);
    std::string error;
    ASSERT_TRUE(SaveHeightMapTGA(grid, path.c_str(), error));
    TgaFileSource file(path.c_str());
    TgaImage image;
    ASSERT_TRUE(DecodeTGA(file, image));
    EXPECT_EQ(image.width, 5u);
    EXPECT_EQ(image.height, 3u);
    ASSERT_EQ(image.bytesPerPixel, 3u);
    const std::vector<uint8_t> bytes = HeightMapTGABytes(grid);
    ASSERT_EQ(image.pixels.size(), bytes.size() - kTgaHeaderSize);
    EXPECT_TRUE(std::equal(image.pixels.begin(), image.pixels.end(), bytes.begin() + kTgaHeaderSize));
}

TEST(SaveHeightMapTGA, NullPathWritesTheDatedNameInTheWorkingDirectory)
{
    ScratchDirectory dir;
    WorkingDirectoryScope inside(dir.Path());
    const Array2D<float> grid = Gradient(3, 3);
    const time_t before = time(nullptr);
    std::string written;
    std::string error;
    EXPECT_TRUE(SaveHeightMapTGA(grid, nullptr, error, &written));
    const time_t after = time(nullptr);

    const std::vector<std::string> entries = dir.Entries();
    ASSERT_EQ(entries.size(), 1u);
    std::tm local{};
    const std::string early = HeightMapFileName(*localtime_r(&before, &local));
    const std::string late = HeightMapFileName(*localtime_r(&after, &local));
    EXPECT_TRUE(entries[0] == early || entries[0] == late) << entries[0];
    EXPECT_EQ(written, entries[0]);
    EXPECT_EQ(ReadFileBytes(entries[0]), HeightMapTGABytes(grid));
}

TEST(SaveHeightMapTGA, UnopenableFileIsSkippedWithOneSentence)
{
    ScratchDirectory dir;
    const std::string missing = dir.File("no such dir/map.tga");
    std::string error;
    EXPECT_FALSE(SaveHeightMapTGA(Gradient(3, 3), missing.c_str(), error));
    EXPECT_EQ(error, "cannot open \"" + missing + "\": No such file or directory");
    EXPECT_FALSE(SaveHeightMapTGA(Gradient(3, 3), dir.Path().c_str(), error));  // a directory
    EXPECT_EQ(error, "cannot open \"" + dir.Path() + "\": Is a directory");
    EXPECT_TRUE(dir.Entries().empty());
}

TEST(SaveHeightMapTGA, FullDeviceIsReportedAndLeftInPlace)
{
    struct stat device {};
    if (stat("/dev/full", &device) != 0) {
        GTEST_SKIP() << "no /dev/full here";
    }
    std::string error;
    EXPECT_FALSE(SaveHeightMapTGA(Gradient(129, 129), "/dev/full", error));
    EXPECT_EQ(error, "writing \"/dev/full\" failed: No space left on device");
    struct stat after {};
    ASSERT_EQ(stat("/dev/full", &after), 0);
    EXPECT_TRUE(S_ISCHR(after.st_mode));
}

// A file size limit makes the write fail part way on a regular file; the
// death test's child process keeps the limit away from the other tests.
void ExportUnderFileSizeLimit(const std::string& path, const std::vector<uint8_t>& older)
{
    signal(SIGXFSZ, SIG_IGN);
    rlimit small{};
    small.rlim_cur = 1000;
    small.rlim_max = RLIM_INFINITY;
    setrlimit(RLIMIT_FSIZE, &small);
    std::string error;
    const bool written = SaveHeightMapTGA(Array2D<float>(129, 129), path.c_str(), error);
    const bool said = error.find("writing \"" + path + "\" failed: File too large") == 0;
    std::exit(!written && said && ReadFileBytes(path) == older ? 0 : 1);
}

TEST(SaveHeightMapTGADeathTest, WriteFailureLeavesTheOlderFileWhole)
{
    ScratchDirectory dir;
    const std::string path = dir.File("cut.tga");
    const std::vector<uint8_t> older = HeightMapTGABytes(Gradient(9, 9));
    std::string error;
    ASSERT_TRUE(SaveHeightMapTGA(Gradient(9, 9), path.c_str(), error));
    EXPECT_EXIT(ExportUnderFileSizeLimit(path, older), testing::ExitedWithCode(0), "^$");
    EXPECT_EQ(ReadFileBytes(path), older);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"cut.tga"});
}

}  // namespace
