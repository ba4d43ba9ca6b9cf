#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "export/HeightSamples.h"
#include "terrain/Matrix2DInterface.h"

// The heightmap as an uncompressed 24-bit grey TGA: an 18-byte header, then
// one pixel of three equal bytes per cell, rows y = 0 upward (origin at the
// bottom left), x fastest. Nothing follows the last pixel.

enum { kTgaHeaderSize = 18 };

// "%Y-%m-%d %H-%M-%S heightmap.tga" for the given local time.
std::string HeightMapFileName(const std::tm& localTime);

// The whole file. Width and height are taken once each, as their low 16 bits,
// and bound both the header and the pixels.
std::vector<uint8_t> HeightMapTGABytes(const Matrix2DInterface<float>& grid);

// Writes the grid to path, or, with a null path, to the dated name in the
// working directory, through OutputFile: the name ends up holding either its
// older file or the complete new image. A failure is reported as one line on
// standard error. Returns true only when the file was written and committed;
// *writtenPath, when given, is set to the name used once it is chosen.
bool SaveHeightMapTGA(const Matrix2DInterface<float>& grid, const char* path, std::string* writtenPath = nullptr);
