#pragma once

#include "render/TgaByteSource.h"

#include <vector>

// A decoded true-colour TGA: rows in file order (the first stored row first),
// each pixel red, green, blue and, for 4 bytes per pixel, alpha.
struct TgaImage {
    unsigned width = 0;
    unsigned height = 0;
    unsigned bytesPerPixel = 0;  // 3 or 4
    std::vector<unsigned char> pixels;
};

// Reads an uncompressed (type 2) or run-length encoded (type 10) 24- or
// 32-bit TGA with no image ID, no colour map and a zero origin. Returns false,
// leaving `image` untouched, for anything else or for data that ends early or
// would not fit the image.
bool DecodeTGA(TgaByteSource& source, TgaImage& image);
