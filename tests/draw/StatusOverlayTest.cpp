#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "GlRecorder.h"
#include "TestFont.h"
#include "render/Render.h"
#include "render/StatusOverlay.h"

namespace {

CameraFrame SampleFrame()
{
    CameraFrame frame;
    frame.position = Vector3(0.0f, 0.5f, 1.0f);
    frame.at = Vector3(-1234.5f, 0.004f, 1000.0f);
    frame.lateral = Vector3(0.25f, -0.125f, -99.99f);
    frame.up = Vector3(0.0f, 1.0f, 0.0f);
    return frame;
}

std::string Slot(const char* block, int line) { return std::string(block + line * statusSlotSize); }

// The calls the overlay makes around its text, whether or not a font exists.
void ExpectFramingCalls(const std::vector<GlCall>& calls)
{
    const std::vector<GlCall> before = {
        {"glMatrixMode", {GL_PROJECTION}},
        {"glLoadIdentity", {}},
        {"gluOrtho2D", {-4, 4, -3, 3}},
        {"glMatrixMode", {GL_MODELVIEW}},
        {"glLoadIdentity", {}},
        {"glDisable", {GL_DEPTH_TEST}},
        {"glEnable", {GL_BLEND}},
        {"glBlendFunc", {GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA}},
    };
    const std::vector<GlCall> after = {
        {"glBindTexture", {GL_TEXTURE_2D, 0}},
        {"glDisable", {GL_BLEND}},
    };
    ASSERT_GE(calls.size(), before.size() + after.size());
    for (size_t k = 0; k < before.size(); ++k) {
        EXPECT_EQ(calls[k].name, before[k].name) << k;
        EXPECT_EQ(calls[k].args, before[k].args) << k;
    }
    for (size_t k = 0; k < after.size(); ++k) {
        const GlCall& call = calls[calls.size() - after.size() + k];
        EXPECT_EQ(call.name, after[k].name) << k;
        EXPECT_EQ(call.args, after[k].args) << k;
    }
}

}  // namespace

TEST(StatusOverlayTest, FormatsFourLinesIntoTheirSlots)
{
    char block[statusBlockSize];
    std::memset(block, 'x', sizeof block);
    FormatStatusLines(SampleFrame(), block);
    EXPECT_EQ(Slot(block, 0), "P:   0.00,   0.50,   1.00");
    // Wide values push the rest of the line right rather than being cut.
    EXPECT_EQ(Slot(block, 1), "A: -1234.50,   0.00, 1000.00");
    EXPECT_EQ(Slot(block, 2), "L:   0.25,  -0.12, -99.99");
    EXPECT_EQ(Slot(block, 3), "U:   0.00,   1.00,   0.00");
    EXPECT_EQ(block[4 * statusSlotSize], 'x');
}

TEST(StatusOverlayTest, WithoutAFontStillSetsUpItsProjectionAndState)
{
    UnloadFont();
    GlRecorder::Clear();
    DrawStatusOverlay(SampleFrame());
    EXPECT_EQ(GlRecorder::Calls().size(), 10u);
    ExpectFramingCalls(GlRecorder::Calls());
    GlRecorder::Clear();
}

TEST(StatusOverlayTest, DrawsEachLineInItsTintDownFromTheTop)
{
    TestFont font;
    ASSERT_TRUE(font.Load());
    CameraFrame frame = SampleFrame();
    frame.at = Vector3(0.0f, -0.5f, -1.0f);
    frame.lateral = Vector3(1.0f, 0.0f, 0.0f);
    DrawStatusOverlay(frame);
    const std::vector<GlCall>& calls = GlRecorder::Calls();
    ExpectFramingCalls(calls);
    ASSERT_EQ(GlRecorder::CallsNamed("glBegin").size(), 4u);

    const float tint = 155.0f / 255.0f;
    const std::vector<std::vector<double>> tints = {{1, 1, 1, 1}, {tint, 1, 1, 1}, {1, tint, 1, 1}, {1, 1, tint, 1}};
    const float tops[4] = {3.0f, 2.78f, 2.56f, 2.34f};
    int line = -1;
    std::vector<double> firstCorner;  // of the current line
    int corners = 0;
    double lastRight = 0;
    for (size_t k = 0; k < calls.size(); ++k) {
        if (calls[k].name == "glBegin") {
            ++line;
            firstCorner.clear();
            corners = 0;
        } else if (calls[k].name == "glColor4fv") {
            EXPECT_EQ(calls[k].args, tints[line]) << "line " << line;
        } else if (calls[k].name == "glVertex3f") {
            if (firstCorner.empty()) firstCorner = calls[k].args;
            if (corners++ % 4 == 1) lastRight = calls[k].args[0];  // the top-right corner
        } else if (calls[k].name == "glEnd") {
            ASSERT_EQ(firstCorner.size(), 3u);
            EXPECT_FLOAT_EQ(firstCorner[0], -4.0f) << "line " << line;
            EXPECT_FLOAT_EQ(firstCorner[1], tops[line]) << "line " << line;
            // 25 characters: the last cell ends 24 x 0.17 + 0.2 from the left edge.
            EXPECT_NEAR(lastRight, -4.0 + 4.28, 1e-5) << "line " << line;
        }
    }
    EXPECT_EQ(line, 3);
    // One colour per glyph, none for spaces: "A:   0.00,  -0.50,  -1.00" has 18
    // glyphs, the other three lines 16.
    EXPECT_EQ(GlRecorder::CallsNamed("glColor4fv").size(), 16u + 18u + 16u + 16u);
    GlRecorder::Clear();
}
