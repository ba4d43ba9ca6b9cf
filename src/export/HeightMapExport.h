#pragma once

#include <ctime>
#include <string>

#include "terrain/Matrix2DInterface.h"

// The viewer's heightmap export: the map as the grey TGA WriteHeightMapTga
// writes, under a dated name unless a path is given.

// "%Y-%m-%d %H-%M-%S heightmap.tga" for the given local time.
std::string HeightMapFileName(const std::tm& localTime);

// Writes the grid to path, or, with a null path, to the dated name in the
// working directory, through OutputFile: the name ends up holding either its
// older file or the complete new image. Returns true only when the file was
// written and committed; otherwise error is one sentence saying why (names as
// they are, for the caller to escape). *writtenPath, when given, is set to
// the name used once it is chosen.
bool SaveHeightMapTGA(const Matrix2DInterface<float>& grid, const char* path, std::string& error,
                      std::string* writtenPath = nullptr);
