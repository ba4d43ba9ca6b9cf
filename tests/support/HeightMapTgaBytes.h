#pragma once

// The heightmap TGA built in memory straight from the file's layout, as the
// oracle the TGA writer's output is compared with; it shares no code with
// the writer.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "export/HeightSamples.h"
#include "terrain/Matrix2DInterface.h"

enum { kTgaHeaderSize = 18 };

// The whole file: the 18-byte header of an uncompressed 24-bit true-colour
// image with its origin at the bottom left, then one pixel of three equal
// bytes, HeightToByte of the cell, per cell, rows y = 0 upward, x fastest.
// Width and height are the grid's low 16 bits, as the header holds them.
inline std::vector<uint8_t> HeightMapTGABytes(const Matrix2DInterface<float>& grid)
{
    const unsigned width = grid.GetWidth() & 0xFFFF;
    const unsigned height = grid.GetHeight() & 0xFFFF;
    std::vector<uint8_t> bytes = {
        0,  // no image ID
        0,  // no colour map
        2,  // uncompressed true-colour
        0, 0, 0, 0, 0,  // colour map fields, unused
        0, 0, 0, 0,     // x and y origin
        static_cast<uint8_t>(width & 0xFF), static_cast<uint8_t>(width >> 8),
        static_cast<uint8_t>(height & 0xFF), static_cast<uint8_t>(height >> 8),
        24,  // bits per pixel
        0,   // descriptor: no alpha bits, origin bottom left
    };
    bytes.reserve(kTgaHeaderSize + 3 * size_t(width) * height);
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            const uint8_t grey = HeightToByte(grid.At(static_cast<int>(x), static_cast<int>(y)));
            bytes.insert(bytes.end(), 3, grey);
        }
    }
    return bytes;
}
