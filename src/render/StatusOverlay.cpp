#include "render/StatusOverlay.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdio>

#include "render/BitmapFont.h"
#include "render/ColourRGBA.h"
#include "render/Render.h"

const float overlayLeft = -0.5f * 8.0f;
const float overlayBottom = -0.5f * 6.0f;

namespace {

constexpr float cellSize = 0.2f;
constexpr float advance = 0.85f;
constexpr float lineSpacing = 1.1f;
constexpr float tint = 155.0f / 255.0f;

const ColourRGBA lineColours[statusLineCount] = {
    {1.0f, 1.0f, 1.0f, 1.0f},
    {tint, 1.0f, 1.0f, 1.0f},
    {1.0f, tint, 1.0f, 1.0f},
    {1.0f, 1.0f, tint, 1.0f},
};

void FormatLine(char* slot, char label, const Vector3& v)
{
    std::snprintf(slot, statusSlotSize, "%c: %6.2f, %6.2f, %6.2f", label, double(v.x), double(v.y),
                  double(v.z));
}

// Top edge of line i: the top of the space, one line pitch further down per
// line, rounded once to single precision.
float LineTop(int line) { return static_cast<float>(3.0 - line * 0.2 * 1.1); }

}  // namespace

void FormatStatusLines(const CameraFrame& frame, char (&block)[statusBlockSize])
{
    static_assert(statusLineCount * statusSlotSize <= statusBlockSize, "status lines overflow their block");
    FormatLine(block + 0 * statusSlotSize, 'P', frame.position);
    FormatLine(block + 1 * statusSlotSize, 'A', frame.at);
    FormatLine(block + 2 * statusSlotSize, 'L', frame.lateral);
    FormatLine(block + 3 * statusSlotSize, 'U', frame.up);
}

void DrawStatusOverlay(const CameraFrame& frame)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(overlayLeft, 4.0, overlayBottom, 3.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    // Drawn last and undepth-tested, the text always covers the terrain; the
    // font's alpha lets the terrain show between the glyphs.
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    char text[statusBlockSize];
    FormatStatusLines(frame, text);
    for (int line = 0; line < statusLineCount; ++line) {
        DrawString(text + line * statusSlotSize, overlayLeft, LineTop(line), cellSize, cellSize,
                   lineColours[line], advance, lineSpacing);
    }

    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_BLEND);
}
