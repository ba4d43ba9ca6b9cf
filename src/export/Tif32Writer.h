#pragma once

#include "export/GeoTransform.h"
#include "landing/OutputFile.h"
#include "terrain/Matrix2DInterface.h"

// Little-endian TIFF through libtiff: one 32-bit IEEE float sample a pixel
// (SampleFormat 3, min-is-black), the cells' own bits, in strips compressed
// with Deflate and the floating-point predictor (3). Rows from the top of the
// picture (grid row N - 1) down, orientation top-left. The file must be
// seekable.
//
// With a placement, the file is also a GeoTIFF (through libgeotiff): a
// ModelTiepoint putting the top-left sample at the placement's origin, a
// ModelPixelScale of its pixel size, and one GeoKey, GTRasterTypeGeoKey =
// RasterPixelIsPoint. No model type or coordinate system key is written, so
// GIS tools place the map without being told a projection it does not have.
bool WriteHeightMapTif32(const Matrix2DInterface<float>& map, OutputFile& out,
                         const GeoTransform* placement = nullptr);
