#pragma once

#include <cstdint>
#include <functional>

#include "landing/OutputFile.h"
#include "export/Raster.h"

// A raster as PNG through libpng: grey, RGB or RGBA by its channel count (1,
// 3 or 4), 8 or 16 bits a sample by its type, rows as the raster holds them
// (top first), not interlaced, zlib level 2 with the Up filter, and no gAMA,
// sRGB or iCCP chunk, so readers take the samples as they are. False after
// any failure, which out has reported in one line.
bool WritePngRaster(const Raster8& raster, OutputFile& out);
bool WritePngRaster(const Raster16& raster, OutputFile& out);

// The encoder beneath both, for writers that make their rows as they go:
// fillRow(fileRow, bytes) puts file row fileRow, top first, into bytes as PNG
// stores it (16-bit samples most significant byte first), width * channels
// * bitDepth / 8 of them.
bool WritePngRows(unsigned width, unsigned height, unsigned channels, unsigned bitDepth,
                  const std::function<void(unsigned fileRow, uint8_t* bytes)>& fillRow, OutputFile& out);
