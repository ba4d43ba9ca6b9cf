// Writes the viewer's font image: the glyphs of GlyphShapes.h on a grid of
// 8 x 16 square cells, white opaque ink on a transparent background, as an
// uncompressed 32-bit TGA.

#include <cstdio>
#include <vector>

#include "GlyphShapes.h"

namespace {

constexpr int gridColumns = 8;
constexpr int gridRows = 16;
constexpr int cellPixels = 32;
constexpr int imageWidth = gridColumns * cellPixels;
constexpr int imageHeight = gridRows * cellPixels;

// Each dot is a square of 4 x 4 pixels, so a glyph is 20 x 28 pixels,
// centred across its cell and 2 pixels below its top. The empty border keeps
// linear filtering from pulling in the neighbouring cells (or, through the
// repeat wrap, the far edge of the picture).
constexpr int dotPixels = 4;
constexpr int glyphLeft = (cellPixels - glyphDotsWide * dotPixels) / 2;
constexpr int glyphTop = (cellPixels - glyphDotsHigh * dotPixels) / 2;
static_assert(glyphLeft >= 2 && glyphTop >= 2, "glyphs need a margin inside their cells");

// Ink per pixel, row 0 at the top of the picture.
std::vector<bool> DrawGlyphs()
{
    std::vector<bool> ink(imageWidth * imageHeight, false);
    for (int glyph = 0; glyph < glyphCount; ++glyph) {
        const int cellX = (glyph % gridColumns) * cellPixels + glyphLeft;
        const int cellY = (glyph / gridColumns) * cellPixels + glyphTop;
        for (int dy = 0; dy < glyphDotsHigh; ++dy) {
            for (int dx = 0; dx < glyphDotsWide; ++dx) {
                if (glyphShapes[glyph][dy][dx] != '#') {
                    continue;
                }
                for (int py = 0; py < dotPixels; ++py) {
                    for (int px = 0; px < dotPixels; ++px) {
                        const int x = cellX + dx * dotPixels + px;
                        const int y = cellY + dy * dotPixels + py;
                        ink[y * imageWidth + x] = true;
                    }
                }
            }
        }
    }
    return ink;
}

void PutLittleEndian16(unsigned char* at, int value)
{
    at[0] = static_cast<unsigned char>(value & 0xFF);
    at[1] = static_cast<unsigned char>((value >> 8) & 0xFF);
}

// Ordinary bottom-up TGA: the last picture row is stored first.
bool WriteTga(const char* path, const std::vector<bool>& ink)
{
    unsigned char header[18] = {0};
    header[2] = 2;  // uncompressed true-colour
    PutLittleEndian16(header + 12, imageWidth);
    PutLittleEndian16(header + 14, imageHeight);
    header[16] = 32;
    header[17] = 8;  // eight alpha bits, bottom-left origin

    std::vector<unsigned char> pixels;
    pixels.reserve(imageWidth * imageHeight * 4);
    for (int y = imageHeight - 1; y >= 0; --y) {
        for (int x = 0; x < imageWidth; ++x) {
            const unsigned char value = ink[y * imageWidth + x] ? 255 : 0;
            pixels.insert(pixels.end(), 4, value);  // blue, green, red, alpha
        }
    }

    FILE* file = std::fopen(path, "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(header, sizeof header, 1, file) == 1 &&
                         std::fwrite(pixels.data(), pixels.size(), 1, file) == 1;
    return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.tga\n", argv[0]);
        return 2;
    }
    if (!WriteTga(argv[1], DrawGlyphs())) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
