#include <OpenEXR/ImfChannelList.h>
#include <OpenEXR/ImfFrameBuffer.h>
#include <OpenEXR/ImfHeader.h>
#include <OpenEXR/ImfInputFile.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FormatTestSupport.h"
#include "ScratchDirectory.h"
#include "export/ExrWriter.h"

namespace {

TEST(ExrFormat, ThreeFloatChannelsHoldEveryCellBitForBitTopRowFirst)
{
    ScratchDirectory dir;
    const std::string path = dir.File("map.exr");
    // Taller than one block of lines, and not square.
    const Array2D<float> map = MakeTestMap(37, 150);
    ASSERT_TRUE(WriteThroughOutputFile(path, [&](OutputFile& out) { return WriteHeightMapExr(map, out); }));

    Imf::InputFile file(path.c_str());
    const Imf::Header& header = file.header();
    EXPECT_EQ(header.compression(), Imf::ZIP_COMPRESSION);
    const Imath::Box2i window = header.dataWindow();
    ASSERT_EQ(window.min, Imath::V2i(0, 0));
    ASSERT_EQ(window.max, Imath::V2i(36, 149));
    std::vector<std::string> names;
    for (auto channel = header.channels().begin(); channel != header.channels().end(); ++channel) {
        names.push_back(channel.name());
        EXPECT_EQ(channel.channel().type, Imf::FLOAT) << channel.name();
    }
    EXPECT_EQ(names, (std::vector<std::string>{"B", "G", "R"}));

    const size_t cells = 37 * 150;
    std::vector<float> red(cells), green(cells), blue(cells);
    Imf::FrameBuffer frame;
    frame.insert("R", Imf::Slice(Imf::FLOAT, reinterpret_cast<char*>(red.data()), sizeof(float), sizeof(float) * 37));
    frame.insert("G", Imf::Slice(Imf::FLOAT, reinterpret_cast<char*>(green.data()), sizeof(float), sizeof(float) * 37));
    frame.insert("B", Imf::Slice(Imf::FLOAT, reinterpret_cast<char*>(blue.data()), sizeof(float), sizeof(float) * 37));
    file.setFrameBuffer(frame);
    file.readPixels(0, 149);
    for (int line = 0; line < 150; ++line) {
        for (int x = 0; x < 37; ++x) {
            const uint32_t cell = Bits(map.At(x, 149 - line));
            const size_t at = size_t(line) * 37 + x;
            ASSERT_EQ(Bits(red[at]), cell) << "line " << line << ", x " << x;
            ASSERT_EQ(Bits(green[at]), cell);
            ASSERT_EQ(Bits(blue[at]), cell);
        }
    }
}

TEST(ExrFormat, FailuresLeaveNoFileAndPrintOneLine)
{
    ScratchDirectory dir;
    const Array2D<float> map = MakeTestMap(129, 129);
    std::string errors;
    {
        FileSizeLimit limit(4096);
        EXPECT_FALSE(WriteThroughOutputFile(dir.File("full.exr"),
                                            [&](OutputFile& out) { return WriteHeightMapExr(map, out); }, &errors));
    }
    EXPECT_EQ(CountLines(errors), 1) << errors;
    EXPECT_TRUE(dir.Entries().empty());

    // OpenEXR throws on an empty data window.
    const Array2D<float> empty(0, 0);
    EXPECT_FALSE(WriteThroughOutputFile(dir.File("empty.exr"),
                                        [&](OutputFile& out) { return WriteHeightMapExr(empty, out); }, &errors));
    EXPECT_EQ(CountLines(errors), 1) << errors;
    EXPECT_TRUE(dir.Entries().empty());

    EXPECT_FALSE(WriteThroughOutputFile("/dev/full", [&](OutputFile& out) { return WriteHeightMapExr(map, out); },
                                        &errors));
    EXPECT_EQ(CountLines(errors), 1) << errors;
}

TEST(ExrFormat, APipeIsRefusedWithOneLineBeforeAnyByte)
{
    // The format seeks back to finish the file, which a pipe cannot do.
    NamedPipe pipe;
    const Array2D<float> map = MakeTestMap(9, 9);
    std::string errors;
    EXPECT_FALSE(WriteThroughOutputFile(pipe.Path(), [&](OutputFile& out) { return WriteHeightMapExr(map, out); }, &errors));
    EXPECT_EQ(CountLines(errors), 1) << errors;
    EXPECT_NE(errors.find("seek"), std::string::npos) << errors;
    EXPECT_EQ(pipe.Pending(), 0u);
}

}  // namespace
