#pragma once

#include "landing/OutputFile.h"
#include "terrain/Matrix2DInterface.h"

// OpenEXR scanline image with ZIP compression and three 32-bit FLOAT
// channels R, G and B, each holding the cell itself. The data window starts
// at (0, 0) and lines increase downwards, so the first line is grid row N - 1.
// OpenEXR seeks back to fill in its line offsets: the file must be seekable.
bool WriteHeightMapExr(const Matrix2DInterface<float>& map, OutputFile& out);
