#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "GlRecorder.h"
#include "TestFont.h"
#include "render/BitmapFont.h"

namespace {

const ColourRGBA orange{1.0f, 0.5f, 0.25f, 0.75f};

// One drawn glyph: its corners in emission order with their texture
// coordinates.
struct Quad {
    double s[4], t[4], x[4], y[4], z[4];
};

// The quads of the recorded calls; each corner is a glTexCoord2d followed by
// a glVertex3f.
std::vector<Quad> RecordedQuads()
{
    std::vector<Quad> quads;
    const std::vector<GlCall>& calls = GlRecorder::Calls();
    int corner = 0;
    for (size_t i = 0; i + 1 < calls.size(); ++i) {
        if (calls[i].name != "glTexCoord2d") continue;
        EXPECT_EQ(calls[i + 1].name, "glVertex3f");
        if (corner == 0) quads.emplace_back();
        Quad& quad = quads.back();
        quad.s[corner] = calls[i].args[0];
        quad.t[corner] = calls[i].args[1];
        quad.x[corner] = calls[i + 1].args[0];
        quad.y[corner] = calls[i + 1].args[1];
        quad.z[corner] = calls[i + 1].args[2];
        corner = (corner + 1) % 4;
    }
    EXPECT_EQ(corner, 0) << "a quad with fewer than four corners";
    return quads;
}

void ExpectCell(const Quad& quad, double s0, double s1, double t0, double t1)
{
    const double s[4] = {s0, s1, s1, s0};
    const double t[4] = {t0, t0, t1, t1};
    for (int c = 0; c < 4; ++c) {
        EXPECT_DOUBLE_EQ(quad.s[c], s[c]) << "corner " << c;
        EXPECT_DOUBLE_EQ(quad.t[c], t[c]) << "corner " << c;
    }
}

void ExpectTopLeft(const Quad& quad, float left, float top)
{
    EXPECT_FLOAT_EQ(quad.x[0], left);
    EXPECT_FLOAT_EQ(quad.y[0], top);
}

class BitmapFontTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        GlRecorder::Clear();
        ASSERT_TRUE(font.Load());
    }
    void TearDown() override { GlRecorder::Clear(); }

    TestFont font;
};

}  // namespace

TEST(GlyphIndexTest, MapsBytesToTheGlyphGrid)
{
    EXPECT_EQ(GlyphIndex('A'), 0);
    EXPECT_EQ(GlyphIndex('Z'), 25);
    EXPECT_EQ(GlyphIndex('a'), 0);
    EXPECT_EQ(GlyphIndex('z'), 25);
    EXPECT_EQ(GlyphIndex('!'), 26);
    EXPECT_EQ(GlyphIndex('?'), 27);
    EXPECT_EQ(GlyphIndex('.'), 28);
    EXPECT_EQ(GlyphIndex(','), 29);
    EXPECT_EQ(GlyphIndex('0'), 30);
    EXPECT_EQ(GlyphIndex('9'), 39);
    EXPECT_EQ(GlyphIndex('"'), 40);
    EXPECT_EQ(GlyphIndex('\''), 40);
    EXPECT_EQ(GlyphIndex('-'), 41);
    EXPECT_EQ(GlyphIndex('+'), 42);
    EXPECT_EQ(GlyphIndex(':'), 43);
    EXPECT_EQ(GlyphIndex('='), 44);
    for (unsigned char byte : {'\0', ' ', '\n', '\r'}) {
        EXPECT_EQ(GlyphIndex(byte), noGlyph) << int(byte);
    }
    // Everything without a glyph of its own, including the neighbours of
    // each mapped range, draws the question mark.
    const int others[] = {1, '\t', '#', '%', '(', ')', '/', ';', '<', '>', '@', '[', '_', '`', '{', 127, 128, 255};
    for (int byte : others) {
        EXPECT_EQ(GlyphIndex(static_cast<unsigned char>(byte)), 27) << byte;
    }
}

TEST(BitmapFontUnloadedTest, DrawsNothingWithoutAFont)
{
    UnloadFont();
    GlRecorder::Clear();
    DrawString("ABC", 0, 0, 1, 1, orange, 1, 1);
    EXPECT_TRUE(GlRecorder::Calls().empty());
}

TEST(BitmapFontUnloadedTest, MissingImageLeavesTheFontUnloaded)
{
    TestFont font;
    std::remove("font.tga");
    GlRecorder::Clear();
    EXPECT_FALSE(LoadFont());
    EXPECT_TRUE(GlRecorder::CallsNamed("glGenTextures").empty());
    DrawString("A", 0, 0, 1, 1, orange, 1, 1);
    EXPECT_TRUE(GlRecorder::Calls().empty());
}

TEST(BitmapFontUnloadedTest, InstalledFontIsReadOnlyWhenTheWorkingDirectoryHasNone)
{
    TestFont font;
    std::filesystem::create_directory("installed");
    TestFont::WriteImage("installed/font.tga");
    // The working directory's image wins, even a rejected one.
    std::FILE* broken = std::fopen("font.tga", "wb");
    std::fclose(broken);
    EXPECT_FALSE(LoadFont({"installed"}));

    std::remove("font.tga");
    EXPECT_FALSE(LoadFont({"elsewhere"}));
    EXPECT_TRUE(LoadFont({"elsewhere", "installed"}));
}

TEST_F(BitmapFontTest, EmptyStringMakesNoCall)
{
    DrawString("", 0, 0, 1, 1, orange, 1, 1);
    EXPECT_TRUE(GlRecorder::Calls().empty());
}

TEST_F(BitmapFontTest, DrawsOneQuadPerGlyphInOneBatch)
{
    DrawString("A", 0, 0, 1, 1, orange, 1, 1);
    const std::vector<GlCall>& calls = GlRecorder::Calls();
    ASSERT_EQ(calls.size(), 3u + 1u + 8u + 1u);
    EXPECT_EQ(calls[0].name, "glEnable");
    EXPECT_EQ(calls[0].args, (std::vector<double>{GL_TEXTURE_2D}));
    EXPECT_EQ(calls[1].name, "glBindTexture");
    EXPECT_EQ(calls[1].args, (std::vector<double>{GL_TEXTURE_2D, TestFont::textureName}));
    EXPECT_EQ(calls[2].name, "glBegin");
    EXPECT_EQ(calls[2].args, (std::vector<double>{GL_QUADS}));
    EXPECT_EQ(calls[3].name, "glColor4fv");
    EXPECT_EQ(calls[3].args, (std::vector<double>{1.0, 0.5, 0.25, 0.75}));
    EXPECT_EQ(calls.back().name, "glEnd");

    const std::vector<Quad> quads = RecordedQuads();
    ASSERT_EQ(quads.size(), 1u);
    const double x[4] = {0, 1, 1, 0};
    const double y[4] = {0, 0, -1, -1};
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(quads[0].x[c], x[c]);
        EXPECT_EQ(quads[0].y[c], y[c]);
        EXPECT_FLOAT_EQ(quads[0].z[c], 0.01f);
    }
    ExpectCell(quads[0], 0, 0.125, 0, -0.0625);
}

TEST_F(BitmapFontTest, UnmappedBytesAndDigitsFindTheirCells)
{
    DrawString("#9", 0, 0, 1, 1, orange, 1, 1);
    const std::vector<Quad> quads = RecordedQuads();
    ASSERT_EQ(quads.size(), 2u);
    ExpectCell(quads[0], 0.375, 0.5, -0.1875, -0.25);  // question mark: column 3, row 3
    ExpectCell(quads[1], 0.875, 1.0, -0.25, -0.3125);  // glyph 39: column 7, row 4
}

TEST_F(BitmapFontTest, SpaceAdvancesThePenWithoutDrawing)
{
    DrawString("A B", 1, 0, 0.2f, 0.2f, orange, 0.85f, 1.1f);
    EXPECT_EQ(GlRecorder::CallsNamed("glColor4fv").size(), 2u);
    const std::vector<Quad> quads = RecordedQuads();
    ASSERT_EQ(quads.size(), 2u);
    ExpectTopLeft(quads[1], 1.34f, 0);
    EXPECT_FLOAT_EQ(quads[1].x[1], 1.54f);
}

TEST_F(BitmapFontTest, LineBreaksReturnToTheLeftEdgeOneLineDown)
{
    DrawString("\nAB\r\nC", 1, 3, 0.2f, 0.5f, orange, 0.85f, 1.1f);
    EXPECT_EQ(GlRecorder::CallsNamed("glBegin").size(), 1u);
    const std::vector<Quad> quads = RecordedQuads();
    ASSERT_EQ(quads.size(), 3u);
    ExpectTopLeft(quads[0], 1, 3 - 0.55f);
    EXPECT_FLOAT_EQ(quads[0].y[2], 3 - 0.55f - 0.5f);
    ExpectTopLeft(quads[1], 1.17f, 3 - 0.55f);
    // Carriage return and line feed are a break each.
    ExpectTopLeft(quads[2], 1, 3 - 3 * 0.55f);
}

TEST(BitmapFontLoadTest, LoadsOnceAndUnloadsOnce)
{
    TestFont font;
    GlRecorder::Clear();
    GlRecorder::SetNextTextureName(5);
    ASSERT_TRUE(LoadFont());
    EXPECT_EQ(GlRecorder::CallsNamed("glGenTextures").size(), 1u);

    // Already loaded: the file is not read again, even once it is gone.
    std::remove("font.tga");
    GlRecorder::Clear();
    EXPECT_TRUE(LoadFont());
    EXPECT_TRUE(GlRecorder::Calls().empty());

    UnloadFont();
    UnloadFont();
    const std::vector<GlCall> deletes = GlRecorder::CallsNamed("glDeleteTextures");
    ASSERT_EQ(deletes.size(), 1u);
    EXPECT_EQ(deletes[0].args, (std::vector<double>{1, 5}));
    EXPECT_EQ(GlRecorder::Calls().size(), 1u);

    // Unloaded again, so the next load goes back to the (now missing) file.
    EXPECT_FALSE(LoadFont());
    TestFont::WriteImage("font.tga");
    EXPECT_TRUE(LoadFont());
    GlRecorder::Clear();
}

namespace {

// The font's layout as the image shows it, row by row from the top, eight
// cells a row; written out here rather than derived from the code under test.
const char kGlyphOrder[] = "ABCDEFGH"
                           "IJKLMNOP"
                           "QRSTUVWX"
                           "YZ!?.,01"
                           "23456789"
                           "\"-+:=";

// The cell a byte draws, or -1 for space, line feed and carriage return.
int ExpectedCell(int byte)
{
    if (byte == ' ' || byte == '\n' || byte == '\r') return -1;
    if (byte == '\'') byte = '"';
    if (byte >= 'a' && byte <= 'z') byte -= 'a' - 'A';
    for (int cell = 0; kGlyphOrder[cell] != '\0'; ++cell) {
        if (kGlyphOrder[cell] == byte) return cell;
    }
    return 3 * 8 + 3;  // the question mark
}

}  // namespace

// Every byte from 1 to 255, drawn between two letters: its cell's texture
// coordinates, and the pen step it makes (the letter after it lands one
// advance on, or at the start of the next line).
TEST_F(BitmapFontTest, EveryByteDrawsItsCellAndAdvancesThePen)
{
    const float x = 2.0f, y = 1.0f, width = 0.5f, height = 0.25f, advance = 0.75f, lineSpacing = 1.5f;
    for (int byte = 1; byte <= 255; ++byte) {
        SCOPED_TRACE("byte " + std::to_string(byte));
        GlRecorder::Clear();
        const char text[] = {'E', char(byte), 'E', '\0'};
        DrawString(text, x, y, width, height, orange, advance, lineSpacing);
        const std::vector<Quad> quads = RecordedQuads();
        const int cell = ExpectedCell(byte);
        ASSERT_EQ(quads.size(), cell < 0 ? 2u : 3u);
        if (cell >= 0) {
            const int column = cell % 8, row = cell / 8;
            ExpectCell(quads[1], column / 8.0, (column + 1) / 8.0, -row / 16.0, -(row + 1) / 16.0);
            EXPECT_EQ(quads[1].x[0], x + 0.375) << "the glyph is not one advance from the first";
            EXPECT_EQ(quads[1].y[0], y);
        }
        const Quad& last = quads.back();
        ExpectCell(last, 0.5, 0.625, 0, -0.0625);  // E: column 4, row 0
        if (byte == '\n' || byte == '\r') {
            EXPECT_EQ(last.x[0], x);
            EXPECT_EQ(last.y[0], y - 0.375);
        } else {
            EXPECT_EQ(last.x[0], x + 2 * 0.375);
            EXPECT_EQ(last.y[0], y);
        }
    }
}
