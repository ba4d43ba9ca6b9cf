#pragma once

// Builds TGA files byte by byte for the reader's tests, seeds and benchmarks.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace TgaBytes {

using Bytes = std::vector<unsigned char>;

// The 18-byte header: no image ID, no colour map, zero origin.
inline Bytes Header(unsigned char type, unsigned width, unsigned height, unsigned char depth,
                    unsigned char descriptor = 0)
{
    return Bytes{0, 0, type, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                 (unsigned char)(width & 0xFF), (unsigned char)(width >> 8),
                 (unsigned char)(height & 0xFF), (unsigned char)(height >> 8), depth, descriptor};
}

inline Bytes Concat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Run-length encodes pixels of `bpp` bytes: runs of two or more identical
// pixels become run packets, everything else raw packets; packets freely
// cross row ends, as the format allows.
inline Bytes EncodeRle(const Bytes& pixels, size_t bpp)
{
    Bytes out;
    const size_t count = pixels.size() / bpp;
    auto same = [&](size_t a, size_t b) {
        for (size_t k = 0; k < bpp; ++k)
            if (pixels[a * bpp + k] != pixels[b * bpp + k]) return false;
        return true;
    };
    size_t i = 0;
    while (i < count) {
        size_t run = 1;
        while (i + run < count && run < 128 && same(i, i + run)) ++run;
        if (run >= 2) {
            out.push_back((unsigned char)(0x80 | (run - 1)));
            out.insert(out.end(), pixels.begin() + i * bpp, pixels.begin() + (i + 1) * bpp);
            i += run;
            continue;
        }
        size_t raw = 1;
        while (i + raw < count && raw < 128 && !(i + raw + 1 < count && same(i + raw, i + raw + 1))) ++raw;
        out.push_back((unsigned char)(raw - 1));
        out.insert(out.end(), pixels.begin() + i * bpp, pixels.begin() + (i + raw) * bpp);
        i += raw;
    }
    return out;
}

// A font-like picture: opaque white strokes on transparent black.
inline Bytes GlyphPattern(unsigned width, unsigned height, size_t bpp)
{
    Bytes pixels;
    pixels.reserve(size_t(width) * height * bpp);
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            bool ink = ((x % 16) >= 3 && (x % 16) < 6) || ((y % 32) >= 10 && (y % 32) < 13 && (x % 16) < 11);
            for (size_t k = 0; k < bpp; ++k) pixels.push_back(ink ? 0xFF : 0x00);
        }
    }
    return pixels;
}

}  // namespace TgaBytes
