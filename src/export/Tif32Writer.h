#pragma once

#include "export/OutputFile.h"
#include "terrain/Matrix2DInterface.h"

// Little-endian TIFF through libtiff: one 32-bit IEEE float sample a pixel
// (SampleFormat 3, min-is-black), the cells' own bits, in strips compressed
// with Deflate and the floating-point predictor (3). Rows from the top of the
// picture (grid row N - 1) down, orientation top-left. The file must be
// seekable.
bool WriteHeightMapTif32(const Matrix2DInterface<float>& map, OutputFile& out);
