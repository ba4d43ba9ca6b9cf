#pragma once

#include "landing/OutputFile.h"
#include "export/RowOrder.h"
#include "terrain/Matrix2DInterface.h"

// Headerless 16-bit samples, two bytes each, least significant first, x
// fastest; rows in the given order. Each sample is HeightToSample16 of its
// cell.
bool WriteHeightMapR16(const Matrix2DInterface<float>& map, RowOrder rows, OutputFile& out);
