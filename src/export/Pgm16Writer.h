#pragma once

#include "landing/OutputFile.h"
#include "terrain/Matrix2DInterface.h"

// Binary PGM, "P5\n<width> <height>\n65535\n", then two bytes per sample,
// most significant first, HeightToSample16 of the cell. Rows run from the top
// of the picture down: the TGA puts grid row 0 at the bottom, so the first
// PGM row is the grid's last and both show the same picture.
bool WriteHeightMapPgm16(const Matrix2DInterface<float>& map, OutputFile& out);
