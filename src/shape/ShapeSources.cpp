#include "shape/ShapeSources.h"

#include <cpl_conv.h>
#include <cpl_minixml.h>
#include <gdal.h>
#include <gdal_priv.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "cli/CommandLineText.h"

namespace {

constexpr int kDeepestVrt = 8;

struct DatasetCloser {
    void operator()(void* dataset) const { GDALClose(dataset); }
};
struct XmlCloser {
    void operator()(CPLXMLNode* node) const { CPLDestroyXMLNode(node); }
};

// Whether `file` holds the last byte of a width x height layout of samples
// of `sampleBytes` at these offsets (each offset may be negative, so every
// corner is tried).
bool RawFileShort(const std::string& file, int64_t imageOffset, int64_t pixelOffset, int64_t lineOffset, int width,
                  int height, int sampleBytes, std::string& why)
{
    int64_t last = 0;
    for (const int64_t y : {int64_t{0}, int64_t{height} - 1}) {
        for (const int64_t x : {int64_t{0}, int64_t{width} - 1}) {
            last = std::max<int64_t>(last, imageOffset + y * lineOffset + x * pixelOffset);
        }
    }
    const int64_t needed = last + sampleBytes;
    VSIStatBufL found;
    if (VSIStatL(file.c_str(), &found) != 0 || int64_t(found.st_size) < needed) {
        why = "its header claims " + std::to_string(width) + " x " + std::to_string(height) + " samples (" +
              std::to_string(needed) + " bytes) but '" + OneLine(file) + "' holds fewer";
        return true;
    }
    return false;
}

// A raw layout GDAL reports for the dataset (its own file when the driver
// names none, as PNM's does).
bool LayoutShort(const std::string& path, void* dataset, std::string& why)
{
    GDALDataset::RawBinaryLayout layout;
    if (!GDALDataset::FromHandle(dataset)->GetRawBinaryLayout(layout)) {
        return false;
    }
    const std::string file = layout.osRawFilename.empty() ? path : std::string(layout.osRawFilename);
    return RawFileShort(file, int64_t(layout.nImageOffset), layout.nPixelOffset, layout.nLineOffset,
                        GDALGetRasterXSize(dataset), GDALGetRasterYSize(dataset),
                        GDALGetDataTypeSizeBytes(layout.eDataType), why);
}

bool CheckDataset(const GdalShapeReading& reading, const std::string& path, void* dataset, int depth,
                  std::string& why);

// A VRT's source named by `element` (a SourceFilename), as GDAL resolves it.
std::string SourcePath(const std::string& vrt, const CPLXMLNode* element, const char* relativeByDefault)
{
    const std::string name = CPLGetXMLValue(element, nullptr, "");
    if (!CPLTestBool(CPLGetXMLValue(element, "relativeToVRT", relativeByDefault))) {
        return name;
    }
    return CPLProjectRelativeFilename(CPLGetPath(vrt.c_str()), name.c_str());
}

// Every SourceFilename under `node`: raw bands' files checked against their
// layout, other sources opened and checked as rasters.
bool CheckVrtNode(const GdalShapeReading& reading, const std::string& vrt, const CPLXMLNode* node, int width,
                  int height, int depth, std::string& why)
{
    for (const CPLXMLNode* child = node->psChild; child != nullptr; child = child->psNext) {
        if (child->eType != CXT_Element) {
            continue;
        }
        if (EQUAL(child->pszValue, "VRTRasterBand") &&
            EQUAL(CPLGetXMLValue(child, "subClass", ""), "VRTRawRasterBand")) {
            const CPLXMLNode* file = CPLGetXMLNode(child, "SourceFilename");
            if (file == nullptr) {
                continue;  // GDAL refuses it
            }
            const std::string raw = SourcePath(vrt, file, "1");
            if (GdalWouldParse(CPLGetXMLValue(file, nullptr, ""))) {
                why = "its VRT names the raw file '" + OneLine(CPLGetXMLValue(file, nullptr, "")) +
                      "', which GDAL would not read as a plain file";
                return false;
            }
            const GDALDataType type = GDALGetDataTypeByName(CPLGetXMLValue(child, "dataType", "Byte"));
            const int bytes = GDALGetDataTypeSizeBytes(type);
            const int64_t pixel = std::atoll(CPLGetXMLValue(child, "PixelOffset", std::to_string(bytes).c_str()));
            const int64_t line =
                std::atoll(CPLGetXMLValue(child, "LineOffset", std::to_string(pixel * width).c_str()));
            const int64_t offset = std::atoll(CPLGetXMLValue(child, "ImageOffset", "0"));
            if (RawFileShort(raw, offset, pixel, line, width, height, std::max(bytes, 1), why)) {
                return false;
            }
            continue;
        }
        if (EQUAL(child->pszValue, "SourceFilename")) {
            const std::string named = CPLGetXMLValue(child, nullptr, "");
            if (GdalWouldParse(named)) {
                why = "its VRT names the source '" + OneLine(named) + "', which GDAL would not read as a plain file";
                return false;
            }
            const std::string source = GdalPlainPath(SourcePath(vrt, child, "0"));
            std::unique_ptr<void, DatasetCloser> opened(reading.Open(source));
            if (opened == nullptr) {
                why = "its VRT's source '" + OneLine(named) + "' " +
                      (reading.Refused().empty() ? "is not a raster of the formats accepted"
                                                 : "cannot be read: " + reading.Refused());
                return false;
            }
            if (!CheckDataset(reading, source, opened.get(), depth + 1, why)) {
                return false;
            }
            continue;
        }
        if (!CheckVrtNode(reading, vrt, child, width, height, depth, why)) {
            return false;
        }
    }
    return true;
}

bool CheckDataset(const GdalShapeReading& reading, const std::string& path, void* dataset, int depth,
                  std::string& why)
{
    if (depth > kDeepestVrt) {
        why = "its VRTs nest deeper than " + std::to_string(kDeepestVrt);
        return false;
    }
    if (LayoutShort(path, dataset, why)) {
        return false;
    }
    GDALDriverH driver = GDALGetDatasetDriver(dataset);
    if (driver == nullptr || !EQUAL(GDALGetDriverShortName(driver), "VRT")) {
        return true;
    }
    // The VRT as GDAL holds it, not the file read again.
    char** text = GDALGetMetadata(dataset, "xml:VRT");
    std::unique_ptr<CPLXMLNode, XmlCloser> tree(text != nullptr && text[0] != nullptr ? CPLParseXMLString(text[0])
                                                                                     : nullptr);
    const CPLXMLNode* root = tree ? CPLGetXMLNode(tree.get(), "=VRTDataset") : nullptr;
    if (root == nullptr) {
        why = "its VRT does not give back its XML";
        return false;
    }
    return CheckVrtNode(reading, path, root, GDALGetRasterXSize(dataset), GDALGetRasterYSize(dataset), depth, why);
}

}  // namespace

bool ShapeSamplesInFiles(const GdalShapeReading& reading, const std::string& path, void* dataset, std::string& why)
{
    return CheckDataset(reading, path, dataset, 0, why);
}
