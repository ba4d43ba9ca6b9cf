#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FormatTestSupport.h"
#include "ScratchDirectory.h"
#include "export/R16Writer.h"

namespace {

void ExpectR16(const std::string& path, const Array2D<float>& map, RowOrder rows)
{
    const int width = int(map.GetWidth());
    const int height = int(map.GetHeight());
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    ASSERT_EQ(bytes.size(), 2u * width * height);
    for (int fileRow = 0; fileRow < height; ++fileRow) {
        const int gridRow = rows == RowOrder::BottomFirst ? fileRow : height - 1 - fileRow;
        for (int x = 0; x < width; ++x) {
            const size_t at = 2 * (size_t(fileRow) * width + x);
            const uint16_t sample = uint16_t(bytes[at] | bytes[at + 1] << 8);
            ASSERT_EQ(sample, ExpectedSample16(map.At(x, gridRow))) << "file row " << fileRow << ", x " << x;
        }
    }
}

TEST(R16Format, LittleEndianSamplesInEitherRowOrder)
{
    ScratchDirectory dir;
    const Array2D<float> map = MakeTestMap(37, 23);
    for (RowOrder rows : {RowOrder::BottomFirst, RowOrder::TopFirst}) {
        const std::string path = dir.File(rows == RowOrder::BottomFirst ? "bottom.r16" : "top.r16");
        ASSERT_TRUE(WriteThroughOutputFile(path, [&](OutputFile& out) { return WriteHeightMapR16(map, rows, out); }));
        ExpectR16(path, map, rows);
    }
    // Bottom first starts with grid row 0: the planted 0, 1 and 0.5.
    const std::vector<uint8_t> bytes = ReadFileBytes(dir.File("bottom.r16"));
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 6),
              (std::vector<uint8_t>{0x00, 0x00, 0xFF, 0xFF, 0x00, 0x80}));
}

TEST(R16Format, AFailedWriteLeavesNoFile)
{
    ScratchDirectory dir;
    const Array2D<float> map = MakeTestMap(129, 129);
    std::string errors;
    {
        FileSizeLimit limit(4096);
        EXPECT_FALSE(WriteThroughOutputFile(
            dir.File("full.r16"), [&](OutputFile& out) { return WriteHeightMapR16(map, RowOrder::TopFirst, out); },
            &errors));
    }
    EXPECT_EQ(CountLines(errors), 1) << errors;
    EXPECT_TRUE(dir.Entries().empty());
}

}  // namespace
