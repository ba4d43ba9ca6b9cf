#include "HeightMapFormats.h"

#include <cmath>
#include <cstring>
#include <string>

uint16_t HeightToSample16(float value)
{
    if (!(value > 0.0f)) {
        return 0;
    }
    if (value >= 1.0f) {
        return 65535;
    }
    return static_cast<uint16_t>(std::lround(static_cast<double>(value) * 65535.0));
}

std::vector<uint8_t> HeightMapPGM16Bytes(const Matrix2DInterface<float>& grid)
{
    const int width = static_cast<int>(grid.GetWidth());
    const int height = static_cast<int>(grid.GetHeight());
    const std::string header = "P5\n" + std::to_string(width) + " " + std::to_string(height) + "\n65535\n";
    std::vector<uint8_t> bytes(header.begin(), header.end());
    bytes.reserve(header.size() + 2 * size_t(width) * height);
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const uint16_t sample = HeightToSample16(grid.At(x, y));
            bytes.push_back(static_cast<uint8_t>(sample >> 8));
            bytes.push_back(static_cast<uint8_t>(sample & 0xFF));
        }
    }
    return bytes;
}

std::vector<uint8_t> HeightMapF32Bytes(const Matrix2DInterface<float>& grid)
{
    const int width = static_cast<int>(grid.GetWidth());
    const int height = static_cast<int>(grid.GetHeight());
    std::vector<uint8_t> bytes;
    bytes.reserve(4 * size_t(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint32_t bits = 0;
            const float cell = grid.At(x, y);
            memcpy(&bits, &cell, sizeof bits);
            for (int shift = 0; shift < 32; shift += 8) {
                bytes.push_back(static_cast<uint8_t>(bits >> shift));
            }
        }
    }
    return bytes;
}
