#include "export/HeightMapFormat.h"

#include <cctype>
#include <utility>

#include "export/ExrWriter.h"
#include "export/F32Writer.h"
#include "export/ObjWriter.h"
#include "export/Pgm16Writer.h"
#include "export/Png16Writer.h"
#include "export/R16Writer.h"
#include "export/StlWriter.h"
#include "export/TgaWriter.h"
#include "export/Tif32Writer.h"

namespace {

using Map = Matrix2DInterface<float>;

const char kSample16Meaning[] =
    "sample = round(height * 65535), halves up: 0 is the lowest point (height 0), 65535 the highest (height 1)";
const char kFloatMeaning[] = "the heights themselves: 0 is the lowest point, 1 the highest";
const char kMeshMeaning[] = "vertex y = 0.2 * height: 0 is the lowest point (height 0), 0.2 the highest (height 1)";

std::vector<HeightMapFormat> MakeFormats()
{
    return {
        {"tga", "24-bit grey TGA, the viewer's G export; 8 bits a cell", false, RowOrder::BottomFirst, true,
         kLargestRasterSize, "uint8", "none", "0", "255",
         "byte = trunc(height * 255): 0 is the lowest point (height 0), 255 the highest (height 1)",
         [](const Map& map, RowOrder, OutputFile& out) { return WriteHeightMapTga(map, out); }},
        {"pgm16", "binary PGM, 16-bit samples, most significant byte first", false, RowOrder::TopFirst, true,
         kLargestRasterSize, "uint16", "big-endian", "0", "65535", kSample16Meaning,
         [](const Map& map, RowOrder, OutputFile& out) { return WriteHeightMapPgm16(map, out); }},
        {"f32", "headerless little-endian 32-bit floats, the cells' own bits", true, RowOrder::BottomFirst, true,
         kLargestRasterSize, "float32", "little-endian", "0", "1", kFloatMeaning,
         [](const Map& map, RowOrder rows, OutputFile& out) { return WriteHeightMapF32(map, rows, out); }},
        {"png16", "16-bit greyscale PNG", false, RowOrder::TopFirst, true, kLargestRasterSize, "uint16",
         "big-endian", "0", "65535", kSample16Meaning,
         [](const Map& map, RowOrder, OutputFile& out) { return WriteHeightMapPng16(map, out); }},
        {"r16", "headerless little-endian 16-bit samples", true, RowOrder::BottomFirst, true, kLargestRasterSize,
         "uint16", "little-endian", "0", "65535", kSample16Meaning,
         [](const Map& map, RowOrder rows, OutputFile& out) { return WriteHeightMapR16(map, rows, out); }},
        {"exr", "OpenEXR, 32-bit float R, G, B channels, ZIP compression", false, RowOrder::TopFirst, true,
         kLargestRasterSize, "float32", "little-endian", "0", "1", kFloatMeaning,
         [](const Map& map, RowOrder, OutputFile& out) { return WriteHeightMapExr(map, out); }, true},
        {"tif32", "TIFF, 32-bit float samples, Deflate with the floating-point predictor", false, RowOrder::TopFirst,
         true, kLargestRasterSize, "float32", "little-endian", "0", "1", kFloatMeaning,
         [](const Map& map, RowOrder, OutputFile& out) { return WriteHeightMapTif32(map, out); }, true,
         [](const Map& map, const GeoTransform& placement, OutputFile& out) {
             return WriteHeightMapTif32(map, out, &placement);
         }},
        {"obj", "Wavefront OBJ mesh with vertex normals, the viewer's surface", false, RowOrder::BottomFirst, false,
         kLargestMeshSize, "text", "none", "0", "0.2", kMeshMeaning,
         [](const Map& map, RowOrder, OutputFile& out) { return WriteHeightMapObj(map, out); }},
        {"stl", "binary STL, the surface closed by walls and a base at y = -0.05", false, RowOrder::BottomFirst, false,
         kLargestMeshSize, "float32", "little-endian", "0", "0.2", kMeshMeaning,
         [](const Map& map, RowOrder, OutputFile& out) { return WriteHeightMapStl(map, out); }},
    };
}

}  // namespace

const std::vector<HeightMapFormat>& AllHeightMapFormats()
{
    static const std::vector<HeightMapFormat> formats = MakeFormats();
    return formats;
}

const HeightMapFormat* FindHeightMapFormat(const std::string& name)
{
    for (const HeightMapFormat& format : AllHeightMapFormats()) {
        if (name == format.name) {
            return &format;
        }
    }
    return nullptr;
}

const HeightMapFormat* HeightMapFormatForFileName(const std::string& path)
{
    static const std::pair<const char*, const char*> extensions[] = {
        {"png", "png16"}, {"exr", "exr"}, {"tif", "tif32"}, {"tiff", "tif32"}, {"r16", "r16"}, {"raw", "r16"},
        {"pgm", "pgm16"}, {"tga", "tga"},  {"f32", "f32"},   {"obj", "obj"},    {"stl", "stl"},
    };
    const size_t slash = path.rfind('/');
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = base.rfind('.');
    if (dot == std::string::npos || dot == 0) {
        return nullptr;
    }
    std::string extension = base.substr(dot + 1);
    for (char& c : extension) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    for (const auto& [suffix, name] : extensions) {
        if (extension == suffix) {
            return FindHeightMapFormat(name);
        }
    }
    return nullptr;
}

std::string HeightMapFormatNames(const char* separator)
{
    std::string names;
    for (const HeightMapFormat& format : AllHeightMapFormats()) {
        if (!names.empty()) {
            names += separator;
        }
        names += format.name;
    }
    return names;
}

bool WriteHeightMapAs(const HeightMapFormat& format, const Matrix2DInterface<float>& map, RowOrder rows,
                      OutputFile& out, const GeoTransform* placement)
{
    if (out.Failed()) {
        return false;
    }
    if (map.GetWidth() > format.largestSize || map.GetHeight() > format.largestSize) {
        return out.Fail("the map is " + std::to_string(map.GetWidth()) + " x " + std::to_string(map.GetHeight()) +
                        "; " + format.name + " takes at most " + std::to_string(format.largestSize) + " x " +
                        std::to_string(format.largestSize));
    }
    if (placement != nullptr && format.writePlaced != nullptr) {
        return format.writePlaced(map, *placement, out);
    }
    return format.write(map, format.acceptsRowOrder ? rows : format.defaultRows, out);
}
