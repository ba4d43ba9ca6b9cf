#pragma once

#include <string>

#include "shape/GdalShapeReading.h"

// Whether every sample the raster claims is in its files, checked before any
// sample is read, for the drivers that would otherwise read the missing ones
// as zeros without a word:
// - a raw layout (ENVI, EHdr, PNM, an uncompressed GeoTIFF): its file holds
//   the last sample band 1 claims;
// - a VRT: every source it names is a plain path (not one GDAL would parse
//   as something else, GdalWouldParse) of a raster the accepted drivers
//   open, itself checked the same way, VRTs within VRTs to a depth of 8; a
//   raw band's file holds its last sample.
// `path` is what GDAL opened `dataset` by. False, with why one phrase.
bool ShapeSamplesInFiles(const GdalShapeReading& reading, const std::string& path, void* dataset, std::string& why);
