#pragma once

#include <string>

#include "terrain/TerrainParameters.h"

// Reads the raster --shape names (through GDAL: any format it reads, band 1;
// OpenEXR, which Debian's GDAL lacks, through its own library: channel Y,
// else R, else the first) into parameters.shape, or the built-in shape
// "builtin:NAME".
//
// Heights: integer samples run from 0 to their type's largest value (255,
// 65535, ...) onto heights 0 to 1; float samples are metres, divided by
// `relief`; --shape-range LOW,HIGH sets the values of heights 0 and 1 for
// any type instead. Heights are clamped to [0, 1]; no-data samples are 0,
// the sea. A raster that is not square is cropped to its centred square of
// its shorter side (an odd extra sample falls on the right or the bottom).
// Row 0 of the raster is the north edge.
enum class ShapeLoad { Loaded, Unreadable, Unusable };

// The most samples a side read: 16385, the largest map held whole.
constexpr unsigned kLargestShapeSide = 16385;

// Unreadable (exit 1): missing, not a regular file, unreadable, not a raster
// GDAL opens, its samples not readable (truncated, a header claiming more
// than the file holds). Unusable (exit 2): fewer than 2 or more than
// kLargestShapeSide samples a side, a complex type, all no-data, NaN or
// infinite samples, an unknown built-in. error is one line naming the file.
//
// `ground`, when given, receives where a georeferenced shape lies
// (ShapeGround.h); with its reliefFromRange set, a georeferenced float shape
// (metres) takes its largest sample as the relief instead of `relief`,
// unless --shape-range was given.
struct ShapeGround;
ShapeLoad LoadShape(TerrainParameters& parameters, double relief, std::string& error, ShapeGround* ground = nullptr);
