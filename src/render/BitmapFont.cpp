#include "render/BitmapFont.h"

#include <GL/gl.h>
#include <unistd.h>

#include <string>

#include "render/Render.h"
#include "render/TgaTexture.h"

namespace {

const char* const fontFileName = "font.tga";
GLuint fontTexture = 0;
bool fontLoaded = false;

// The grid of glyph cells: 8 columns of 1/8 of the texture's width, 16 rows
// of 1/16 of its height. Row 0 is at t = 0 and rows run toward negative t,
// which the texture's repeat wrap maps to the top of the picture downward.
constexpr int glyphColumns = 8;
constexpr float cellS = 0.125f;
constexpr float cellT = -0.0625f;
constexpr float glyphZ = 0.01f;

}  // namespace

bool LoadFont(const std::vector<std::string>& installedDirectories)
{
    if (fontLoaded) {
        return true;
    }
    // A font in the working directory wins, so a build tree (or a user's own
    // image) is used before the installed one.
    std::string path = fontFileName;
    for (size_t next = 0; access(path.c_str(), F_OK) != 0 && next < installedDirectories.size(); ++next) {
        path = installedDirectories[next] + "/" + fontFileName;
    }
    fontLoaded = LoadTGATexture(path.c_str(), &fontTexture);
    return fontLoaded;
}

void UnloadFont()
{
    if (fontLoaded) {
        glDeleteTextures(1, &fontTexture);
        fontTexture = 0;
    }
    fontLoaded = false;
}

void DrawString(const char* text, float x, float y, float width, float height, ColourRGBA colour,
                float advance, float lineSpacing)
{
    if (!fontLoaded || text[0] == '\0') {
        return;
    }
    const float step = advance * width;
    const float lineStep = lineSpacing * height;
    const GLfloat rgba[4] = {colour.r, colour.g, colour.b, colour.a};
    float left = x;
    float right = x + width;
    float top = y;
    float bottom = y - height;

    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, fontTexture);
    glBegin(GL_QUADS);
    for (const char* c = text; *c != '\0'; ++c) {
        const unsigned char byte = static_cast<unsigned char>(*c);
        if (byte == '\n' || byte == '\r') {
            left = x;
            right = x + width;
            top -= lineStep;
            bottom -= lineStep;
            continue;
        }
        const int glyph = GlyphIndex(byte);
        if (glyph != noGlyph) {
            const int column = glyph % glyphColumns;
            const int row = glyph / glyphColumns;
            const float s0 = column * cellS;
            const float s1 = (column + 1) * cellS;
            const float t0 = row * cellT;
            const float t1 = (row + 1) * cellT;
            glColor4fv(rgba);
            glTexCoord2d(s0, t0);
            glVertex3f(left, top, glyphZ);
            glTexCoord2d(s1, t0);
            glVertex3f(right, top, glyphZ);
            glTexCoord2d(s1, t1);
            glVertex3f(right, bottom, glyphZ);
            glTexCoord2d(s0, t1);
            glVertex3f(left, bottom, glyphZ);
        }
        left += step;
        right += step;
    }
    glEnd();
}
