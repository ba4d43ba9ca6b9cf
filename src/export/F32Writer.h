#pragma once

#include "landing/OutputFile.h"
#include "export/RowOrder.h"
#include "terrain/Matrix2DInterface.h"

// The cells' own bits as little-endian 32-bit IEEE floats, x fastest, rows
// in the given order, with no header.
bool WriteHeightMapF32(const Matrix2DInterface<float>& map, RowOrder rows, OutputFile& out);
