#pragma once

#include <string>
#include <vector>

#include "export/GeoTransform.h"
#include "landing/OutputFile.h"
#include "export/RowOrder.h"
#include "terrain/Matrix2DInterface.h"

// One file format the heightmap can be written in: how it is named and
// described on the command line, what it accepts, what an importer needs to
// know about it, and its writer.
struct HeightMapFormat {
    const char* name;         // as typed after --format
    const char* description;  // one line for --help

    bool acceptsRowOrder;  // --rows top|bottom
    RowOrder defaultRows;  // the order written when --rows is not given
    bool hasRows;          // false for meshes, which store no rows
    unsigned largestSize;  // the largest N of an N x N map it accepts

    // What an importer needs, as the --meta JSON states it.
    const char* sampleType;   // "uint8", "uint16", "float32", "text"
    const char* byteOrder;    // "little-endian", "big-endian", "none"
    const char* valueMinimum;  // JSON number: the stored value of height 0
    const char* valueMaximum;  // JSON number: the stored value of height 1
    const char* valueMeaning;

    // Writes the map into an opened OutputFile; rows is used only by formats
    // that accept --rows, the others store their own fixed order. False
    // after any failure, which the OutputFile has reported.
    bool (*write)(const Matrix2DInterface<float>& map, RowOrder rows, OutputFile& out);

    // Goes back to fill in what it wrote earlier (offset tables, a TIFF
    // directory): needs an output that can seek and does not append.
    bool seeksBack = false;
    // For formats that can say where the map lies on the ground (tif32's
    // GeoTIFF tags): writes the map with that placement. Null for the others.
    bool (*writePlaced)(const Matrix2DInterface<float>& map, const GeoTransform& placement, OutputFile& out) = nullptr;
};

// Largest sizes: every raster format (one file; larger worlds are tiles), and
// the meshes (a 4097 mesh is already about 17 million vertices).
constexpr unsigned kLargestRasterSize = 16385;
constexpr unsigned kLargestMeshSize = 4097;

// Every format, the default (tga) first.
const std::vector<HeightMapFormat>& AllHeightMapFormats();

// The format typed as name, or null.
const HeightMapFormat* FindHeightMapFormat(const std::string& name);

// The format a file name's extension stands for (.png png16, .exr exr,
// .tif and .tiff tif32, .r16 and .raw r16, .pgm pgm16, .tga, .f32, .obj,
// .stl, in any case), or null for any other name: no extension, an unknown
// one, a directory's dot or a hidden file's leading one.
const HeightMapFormat* HeightMapFormatForFileName(const std::string& path);

// The names joined by separator, in the order of AllHeightMapFormats: for the
// usage text ("|") and error lines (", ").
std::string HeightMapFormatNames(const char* separator);

// Writes the map in the format. The caller opens out before and commits it
// after; rows is ignored by formats that do not accept --rows, placement by
// formats that cannot store one.
bool WriteHeightMapAs(const HeightMapFormat& format, const Matrix2DInterface<float>& map, RowOrder rows,
                      OutputFile& out, const GeoTransform* placement = nullptr);
