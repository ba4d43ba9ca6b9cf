// The status overlay: four tinted lines from font.tga, and no text at all
// when the font image is missing or one the reader must refuse.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "TgaBytes.h"
#include "ViewerRun.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;
using TgaBytes::Bytes;

struct TextLine {
    int top;  // first pixel row; a line is 20 rows high, lines are 22 rows apart
    Rgb tint;
};
const TextLine kLines[4] = {
    {0, {255, 255, 255}}, {22, {155, 255, 255}}, {44, {255, 155, 255}}, {66, {255, 255, 155}}};
const int kLineHeight = 20;
// A line holds 25 characters 17 pixels apart, the last cell ending at
// 24 × 17 + 20 = 428.
const int kTextRight = 430;
// Rows and columns searched: the text and a margin below and to the right.
const int kSearchBottom = 100;
const int kSearchRight = 500;

int LineOfTint(Rgb pixel)
{
    for (int line = 0; line < 4; ++line) {
        if (ChannelDistance(pixel, kLines[line].tint) <= 1) {
            return line;
        }
    }
    return -1;
}

bool InLineBand(int line, int x, int y)
{
    return x < kTextRight && y >= kLines[line].top && y < kLines[line].top + kLineHeight;
}

std::string FontPath() { return kViewerDir + "/font.tga"; }

TEST(StatusOverlay, DrawsFourLinesInTheirTintsOnTheirRows)
{
    ASSERT_TRUE(std::filesystem::exists(FontPath())) << "the build should put font.tga beside the viewer";
    XvfbServer server;
    ViewerRun viewer(server);
    ASSERT_NE(viewer.window, 0u) << viewer.Diagnostics();
    const Image shot = viewer.SettledCapture();

    long inBand[4] = {};
    long strayTint = 0;     // a line's tint outside its own band (white is left out: the terrain may be white)
    long strayText = 0;     // anything but scenery between, beside or below the lines
    for (int y = 0; y < kSearchBottom; ++y) {
        for (int x = 0; x < kSearchRight; ++x) {
            const Rgb p = shot.At(x, y);
            const int line = LineOfTint(p);
            if (line >= 0 && InLineBand(line, x, y)) {
                ++inBand[line];
            } else if (line > 0) {
                ++strayTint;
            }
            const bool inAnyBand = InLineBand(0, x, y) || InLineBand(1, x, y) || InLineBand(2, x, y) ||
                                   InLineBand(3, x, y);
            if (!inAnyBand && !IsScenery(p)) {
                ++strayText;
            }
        }
    }
    for (int line = 0; line < 4; ++line) {
        EXPECT_GT(inBand[line], 200) << "line " << line;
    }
    EXPECT_EQ(strayTint, 0);
    EXPECT_EQ(strayText, 0);
    EXPECT_EQ(viewer.QuitWithEscape(), 0) << viewer.Diagnostics();
}

Bytes Repeat(std::size_t count, unsigned char value) { return Bytes(count, value); }

Bytes TruncatedFont()
{
    std::ifstream in(FontPath(), std::ios::binary);
    Bytes font((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    font.resize(font.size() / 2);
    return font;
}

struct FontCase {
    const char* name;
    Bytes (*bytes)();  // nullptr: no font.tga at all
};

const FontCase kFontCases[] = {
    {"Missing", nullptr},
    {"Truncated", TruncatedFont},
    {"RawPacketOverrun",  // 128 pixels announced for a 4-pixel image
     [] { return TgaBytes::Concat(TgaBytes::Concat(TgaBytes::Header(10, 2, 2, 32), {0x7F}), Repeat(128 * 4, 0xFF)); }},
    {"RunPacketOverrun",  // 3 raw pixels, then a run of 128 into the last one
     [] {
         return TgaBytes::Concat(TgaBytes::Concat(TgaBytes::Header(10, 2, 2, 32), {0x02}),
                                 TgaBytes::Concat(Repeat(3 * 4, 0xFF), {0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
     }},
    {"HugeUncompressed", [] { return TgaBytes::Header(2, 65535, 65535, 32); }},
    {"HugeCompressed", [] { return TgaBytes::Concat(TgaBytes::Header(10, 65535, 65535, 32), {0xFF, 0xFF, 0xFF, 0xFF, 0xFF}); }},
    {"Depth16", [] { return TgaBytes::Concat(TgaBytes::Header(2, 64, 64, 16), Repeat(64 * 64 * 2, 0xFF)); }},
    {"ColourMap",  // true-colour pixels behind a two-entry colour map
     [] {
         Bytes header = TgaBytes::Header(2, 64, 64, 32);
         header[1] = 1;  // colour map present
         header[5] = 2;  // two entries
         header[7] = 24; // of 24 bits
         return TgaBytes::Concat(TgaBytes::Concat(header, Repeat(2 * 3, 0xFF)), Repeat(64 * 64 * 4, 0xFF));
     }},
    {"GreyscaleType3", [] { return TgaBytes::Concat(TgaBytes::Header(3, 64, 64, 8), Repeat(64 * 64, 0xFF)); }},
};

void PrintTo(const FontCase& fontCase, std::ostream* out) { *out << fontCase.name; }

class FontFallback : public ::testing::TestWithParam<FontCase> {};

TEST_P(FontFallback, ViewerRunsWithoutTextAndQuitsWithZero)
{
    TemporaryDirectory workingDirectory;
    if (GetParam().bytes != nullptr) {
        const Bytes font = GetParam().bytes();
        ASSERT_FALSE(font.empty());
        std::ofstream out(workingDirectory.Path() + "/font.tga", std::ios::binary);
        out.write(reinterpret_cast<const char*>(font.data()), static_cast<std::streamsize>(font.size()));
        ASSERT_TRUE(out.good());
    }
    XvfbServer server;
    ViewerRun viewer(server, workingDirectory.Path());
    ASSERT_NE(viewer.window, 0u) << viewer.Diagnostics();
    const Image shot = viewer.SettledCapture();

    long text = 0;
    for (int y = 0; y < kSearchBottom; ++y) {
        for (int x = 0; x < kSearchRight; ++x) {
            text += !IsScenery(shot.At(x, y));
        }
    }
    EXPECT_EQ(text, 0) << "pixels that are neither clear colour nor terrain grey";
    EXPECT_EQ(viewer.QuitWithEscape(), 0) << viewer.Diagnostics();
}

INSTANTIATE_TEST_SUITE_P(HostileFonts, FontFallback, ::testing::ValuesIn(kFontCases),
                         [](const ::testing::TestParamInfo<FontCase>& info) { return info.param.name; });

}  // namespace
}  // namespace e2e
