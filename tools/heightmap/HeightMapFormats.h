#pragma once

#include <cstdint>
#include <vector>

#include "terrain/Matrix2DInterface.h"

// The formats beyond the viewer's TGA.

// clamp(value, 0, 1) * 65535, rounded to nearest; NaN gives 0.
uint16_t HeightToSample16(float value);

// Binary PGM, maxval 65535, two bytes per sample, most significant first.
// Rows run from the top of the picture down: the TGA puts grid row 0 at the
// bottom, so the first PGM row is the grid's last row and both show the same
// picture.
std::vector<uint8_t> HeightMapPGM16Bytes(const Matrix2DInterface<float>& grid);

// The cells as little-endian 32-bit IEEE floats, row y = 0 first, x fastest,
// with no header.
std::vector<uint8_t> HeightMapF32Bytes(const Matrix2DInterface<float>& grid);
