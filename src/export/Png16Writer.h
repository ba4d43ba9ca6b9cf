#pragma once

#include "landing/OutputFile.h"
#include "terrain/Matrix2DInterface.h"

// PNG, 16-bit greyscale, through libpng: one zlib stream in consecutive IDAT
// chunks and no gAMA, sRGB or iCCP chunk, so importers take the samples as
// they are. Rows run from the top of the picture (grid row N - 1) down; each
// sample is HeightToSample16 of its cell.
bool WriteHeightMapPng16(const Matrix2DInterface<float>& map, OutputFile& out);

// The zlib level. On an 8193 x 8193 map level 2 takes about 0.6 s (the
// default terrain) to 1.4 s (roughness 16); level 6 takes 6 s on rough terrain
// for a quarter fewer bytes.
constexpr int kPng16CompressionLevel = 2;
