#pragma once

#include "landing/OutputFile.h"
#include "terrain/Matrix2DInterface.h"

// Uncompressed 24-bit grey TGA: an 18-byte header (image type 2, width and
// height as their low 16 bits, 24 bits a pixel, origin at the bottom left),
// then three equal bytes, HeightToByte of the cell, per cell; grid row 0
// first, x fastest. Nothing follows the last pixel.
bool WriteHeightMapTga(const Matrix2DInterface<float>& map, OutputFile& out);
