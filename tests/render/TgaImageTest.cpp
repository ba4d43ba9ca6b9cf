#include "render/TgaImage.h"
#include "render/TgaMemorySource.h"

#include "AllocationSpy.h"
#include "TgaBytes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

using TgaBytes::Bytes;
using TgaBytes::Concat;
using TgaBytes::Header;

namespace {

bool Decode(const Bytes& file, TgaImage& image)
{
    TgaMemorySource source(file.data(), file.size());
    return DecodeTGA(source, image);
}

bool Decodes(const Bytes& file)
{
    TgaImage image;
    return Decode(file, image);
}

TEST(TgaImage, UncompressedSwapsBlueAndRed)
{
    TgaImage image;
    ASSERT_TRUE(Decode(Concat(Header(2, 2, 1, 24), {1, 2, 3, 4, 5, 6}), image));
    EXPECT_EQ(image.width, 2u);
    EXPECT_EQ(image.height, 1u);
    EXPECT_EQ(image.bytesPerPixel, 3u);
    EXPECT_EQ(image.pixels, (Bytes{3, 2, 1, 6, 5, 4}));
}

TEST(TgaImage, ThirtyTwoBitKeepsAlphaInPlace)
{
    TgaImage image;
    ASSERT_TRUE(Decode(Concat(Header(2, 1, 2, 32), {1, 2, 3, 4, 5, 6, 7, 8}), image));
    EXPECT_EQ(image.bytesPerPixel, 4u);
    EXPECT_EQ(image.pixels, (Bytes{3, 2, 1, 4, 7, 6, 5, 8}));
}

TEST(TgaImage, RunPacketRepeatsOnePixel)
{
    TgaImage image;
    ASSERT_TRUE(Decode(Concat(Header(10, 4, 1, 24), {0x83, 10, 20, 30}), image));
    EXPECT_EQ(image.pixels, (Bytes{30, 20, 10, 30, 20, 10, 30, 20, 10, 30, 20, 10}));
}

TEST(TgaImage, PacketHeaderLimits)
{
    // 0x7F: raw of 128, 0xFF: run of 128, 0x80: run of 1.
    Bytes data{0x7F};
    for (int i = 0; i < 128; ++i) data.insert(data.end(), {0, 0, (unsigned char)i});
    data.insert(data.end(), {0xFF, 0, 0, 200, 0x80, 0, 0, 201});
    TgaImage image;
    ASSERT_TRUE(Decode(Concat(Header(10, 257, 1, 24), data), image));
    ASSERT_EQ(image.pixels.size(), 257u * 3);
    for (int i = 0; i < 257; ++i) {
        int expected = i < 128 ? i : (i < 256 ? 200 : 201);
        ASSERT_EQ(image.pixels[i * 3], expected) << "pixel " << i;
    }
}

TEST(TgaImage, RunCrossesRowEnd)
{
    // 3 x 2: a raw packet of two pixels, then a run of four fills the rest.
    TgaImage image;
    ASSERT_TRUE(Decode(Concat(Header(10, 3, 2, 24), {0x01, 1, 1, 1, 2, 2, 2, 0x83, 9, 8, 7}), image));
    EXPECT_EQ(image.pixels, (Bytes{1, 1, 1, 2, 2, 2, 7, 8, 9, 7, 8, 9, 7, 8, 9, 7, 8, 9}));
}

TEST(TgaImage, RejectsHeadersOutsideTheSubset)
{
    const Bytes valid = Concat(Header(2, 1, 1, 24), {1, 2, 3});
    ASSERT_TRUE(Decodes(valid));
    // ID length, colour-map type, image types 3 and 11, colour-map length,
    // x origin, y origin.
    const std::pair<size_t, unsigned char> changes[] = {{0, 1}, {1, 1}, {2, 3}, {2, 11}, {5, 1}, {8, 1}, {11, 1}};
    for (auto [offset, value] : changes) {
        Bytes file = valid;
        file[offset] = value;
        EXPECT_FALSE(Decodes(file)) << "byte " << offset << " = " << int(value);
    }
}

TEST(TgaImage, RejectsUnsupportedDepthAndEmptySize)
{
    for (unsigned char depth : {0, 8, 15, 16, 31, 33}) {
        EXPECT_FALSE(Decodes(Concat(Header(2, 1, 1, depth), Bytes(8, 0)))) << "depth " << int(depth);
    }
    EXPECT_FALSE(Decodes(Concat(Header(2, 0, 1, 24), Bytes(3, 0))));
    EXPECT_FALSE(Decodes(Concat(Header(10, 1, 0, 24), {0x80, 1, 2, 3})));
}

TEST(TgaImage, DescriptorIsIgnored)
{
    // Top-left origin bit and alpha bits set: rows stay in file order.
    TgaImage image;
    ASSERT_TRUE(Decode(Concat(Header(2, 1, 2, 24, 0x28), {1, 1, 1, 2, 2, 2}), image));
    EXPECT_EQ(image.pixels, (Bytes{1, 1, 1, 2, 2, 2}));
}

TEST(TgaImage, EveryTruncationFails)
{
    const Bytes files[] = {
        Concat(Header(2, 2, 2, 24), Bytes(12, 7)),
        // Raw packet, then a run packet whose pixel is cut.
        Concat(Header(10, 4, 1, 32), {0x01, 1, 2, 3, 4, 5, 6, 7, 8, 0x81, 9, 9, 9, 9}),
    };
    for (const Bytes& file : files) {
        ASSERT_TRUE(Decodes(file));
        for (size_t length = 0; length < file.size(); ++length) {
            EXPECT_FALSE(Decodes(Bytes(file.begin(), file.begin() + length))) << "length " << length;
        }
    }
}

TEST(TgaImage, PacketsPastTheImageEndFail)
{
    // A 2 x 1 image given a run of 3, or a raw packet of 3.
    EXPECT_FALSE(Decodes(Concat(Header(10, 2, 1, 24), {0x82, 1, 2, 3})));
    EXPECT_FALSE(Decodes(Concat(Header(10, 2, 1, 24), {0x02, 1, 1, 1, 2, 2, 2, 3, 3, 3})));
    // The last packet may end exactly at the image end.
    EXPECT_TRUE(Decodes(Concat(Header(10, 2, 1, 24), {0x00, 1, 1, 1, 0x80, 2, 2, 2})));
}

TEST(TgaImage, HugeHeaderWithoutDataAllocatesNothingLarge)
{
    for (unsigned char type : {2, 10}) {
        AllocationSpy::Reset();
        EXPECT_FALSE(Decodes(Header(type, 65535, 65535, 32)));
        EXPECT_LT(AllocationSpy::Largest(), size_t(1) << 20) << "type " << int(type);
    }
    // 2 run packets can stand for 256 pixels, never 257.
    EXPECT_TRUE(Decodes(Concat(Header(10, 256, 1, 24), {0xFF, 1, 2, 3, 0xFF, 4, 5, 6})));
    AllocationSpy::Reset();
    EXPECT_FALSE(Decodes(Concat(Header(10, 257, 1, 24), {0xFF, 1, 2, 3, 0xFF, 4, 5, 6})));
    EXPECT_LT(AllocationSpy::Largest(), size_t(257 * 3));
}

TEST(TgaImage, AcceptsTheExportedHeightmapLayout)
{
    // What the heightmap export writes: 129 x 129 grey, bottom-left origin.
    Bytes file = Header(2, 129, 129, 24);
    for (int i = 0; i < 129 * 129; ++i) file.insert(file.end(), 3, (unsigned char)(i % 256));
    ASSERT_EQ(file.size(), 49941u);
    TgaImage image;
    ASSERT_TRUE(Decode(file, image));
    EXPECT_EQ(image.width, 129u);
    EXPECT_EQ(image.height, 129u);
    EXPECT_EQ(image.pixels, Bytes(file.begin() + 18, file.end()));
}

// Each file's name says what the reader must do with it: "reject-" or
// "accept-".
TEST(TgaImage, RegressionInputsGetTheirRecordedOutcome)
{
    int replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(TGA_REGRESSIONS_DIR)) {
        const std::string name = entry.path().filename().string();
        const bool accept = name.rfind("accept-", 0) == 0;
        ASSERT_TRUE(accept || name.rfind("reject-", 0) == 0) << name << " records no outcome";
        std::ifstream in(entry.path(), std::ios::binary);
        Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        TgaImage image;
        EXPECT_EQ(Decode(file, image), accept) << name;
        if (accept) {
            EXPECT_EQ(image.pixels.size(), size_t(image.width) * image.height * image.bytesPerPixel) << name;
        }
        ++replayed;
    }
    EXPECT_GT(replayed, 0);
}

}  // namespace
