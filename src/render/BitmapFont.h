#pragma once

// The bitmap font: one texture holding 45 glyphs on an 8 x 16 grid of cells,
// loaded from "font.tga" by LoadFont (declared in render/Render.h), and
// strings drawn with it as one textured quad per character.

#include "render/ColourRGBA.h"

// What GlyphIndex gives for a byte that draws nothing: NUL, space, line feed
// and carriage return.
constexpr int noGlyph = -1;

// The glyph a byte of text draws: 0-25 letters (either case), 26 '!', 27 '?',
// 28 '.', 29 ',', 30-39 digits, 40 '"' and '\'', 41 '-', 42 '+', 43 ':',
// 44 '='. Every other byte draws the question mark.
constexpr int GlyphIndex(unsigned char byte)
{
    if (byte >= 'A' && byte <= 'Z') return byte - 'A';
    if (byte >= 'a' && byte <= 'z') return byte - 'a';
    if (byte >= '0' && byte <= '9') return byte - '0' + 30;
    switch (byte) {
    case '\0':
    case ' ':
    case '\n':
    case '\r':
        return noGlyph;
    case '!': return 26;
    case '?': return 27;
    case '.': return 28;
    case ',': return 29;
    case '"':
    case '\'':
        return 40;
    case '-': return 41;
    case '+': return 42;
    case ':': return 43;
    case '=': return 44;
    default: return 27;
    }
}

// Draws text with its first cell's top-left corner at (x, y), each cell
// width x height, the y axis pointing up. The pen moves advance x width per
// character (spaces included); a line feed or carriage return goes back to x
// and down lineSpacing x height. Quads lie at z = 0.01 in the current
// matrices, coloured by colour times the texel. Makes no OpenGL call at all
// for an empty string or while no font is loaded; otherwise leaves
// GL_TEXTURE_2D enabled and the font texture bound.
void DrawString(const char* text, float x, float y, float width, float height, ColourRGBA colour,
                float advance, float lineSpacing);
