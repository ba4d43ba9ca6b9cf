#include "export/Tif32Writer.h"

#include <geotiff/geotiffio.h>
#include <geotiff/xtiffio.h>
#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "export/GridRows.h"

namespace {

// Strips of about a megabyte: libtiff compresses a strip at a time.
constexpr size_t kStripBytes = 1 << 20;
// Deflate level 1: half the time of level 6 on large maps, for 3 per cent
// more bytes.
constexpr int kDeflateLevel = 1;

// The write's file and the first message libtiff reported.
struct TiffTarget {
    OutputFile* output;
    std::string error;
};

void Record(TiffTarget& target, const char* module, const char* format, va_list arguments)
{
    if (!target.error.empty()) {
        return;
    }
    char message[512];
    vsnprintf(message, sizeof message, format, arguments);
    target.error = (module != nullptr && *module != '\0') ? std::string(module) + ": " + message : message;
}

int OnTiffError(TIFF*, void* target, const char* module, const char* format, va_list arguments)
{
    Record(*static_cast<TiffTarget*>(target), module, format, arguments);
    return 1;  // handled: libtiff's global handler must not print it too
}

int OnTiffWarning(TIFF*, void*, const char*, const char*, va_list)
{
    return 1;
}

// libtiff's process-wide handlers still hear messages raised where no handle
// is at hand. While a TIFF is written they go to that write's record; before
// and after, whoever had them gets them back.
thread_local TiffTarget* activeTarget = nullptr;

void OnGlobalTiffError(const char* module, const char* format, va_list arguments)
{
    if (activeTarget != nullptr) {
        Record(*activeTarget, module, format, arguments);
    }
}

void OnGlobalTiffWarning(const char*, const char*, va_list)
{
}

class GlobalTiffHandlers {
public:
    explicit GlobalTiffHandlers(TiffTarget& target)
        : previousError(TIFFSetErrorHandler(OnGlobalTiffError)),
          previousWarning(TIFFSetWarningHandler(OnGlobalTiffWarning))
    {
        activeTarget = &target;
    }
    ~GlobalTiffHandlers()
    {
        activeTarget = nullptr;
        TIFFSetErrorHandler(previousError);
        TIFFSetWarningHandler(previousWarning);
    }
    GlobalTiffHandlers(const GlobalTiffHandlers&) = delete;
    GlobalTiffHandlers& operator=(const GlobalTiffHandlers&) = delete;

private:
    TIFFErrorHandler previousError;
    TIFFErrorHandler previousWarning;
};

OutputFile& OutputOf(thandle_t handle)
{
    return *static_cast<TiffTarget*>(handle)->output;
}

tmsize_t ReadTiff(thandle_t handle, void* bytes, tmsize_t size)
{
    return static_cast<tmsize_t>(OutputOf(handle).Read(bytes, static_cast<size_t>(size)));
}

tmsize_t WriteTiff(thandle_t handle, void* bytes, tmsize_t size)
{
    return OutputOf(handle).Write(bytes, static_cast<size_t>(size)) ? size : -1;
}

toff_t SeekTiff(thandle_t handle, toff_t offset, int whence)
{
    OutputFile& output = OutputOf(handle);
    uint64_t target = offset;
    if (whence == SEEK_CUR) {
        target = output.Tell() + offset;
    } else if (whence == SEEK_END) {
        target = output.Size() + offset;
    }
    return output.Seek(target) ? target : static_cast<toff_t>(-1);
}

int CloseTiff(thandle_t)
{
    return 0;  // the descriptor is the OutputFile's
}

toff_t SizeOfTiff(thandle_t handle)
{
    return OutputOf(handle).Size();
}

int MapNothing(thandle_t, void**, toff_t*)
{
    return 0;
}

void UnmapNothing(thandle_t, void*, toff_t)
{
}

bool SetTags(TIFF* tiff, unsigned width, unsigned height, unsigned rowsPerStrip)
{
    return TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width) && TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height) &&
           TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1) && TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 32) &&
           TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP) &&
           TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK) &&
           TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
           TIFFSetField(tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) &&
           TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE) &&
           TIFFSetField(tiff, TIFFTAG_PREDICTOR, PREDICTOR_FLOATINGPOINT) &&
           TIFFSetField(tiff, TIFFTAG_ZIPQUALITY, kDeflateLevel) &&
           TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
}

// The tags GIS readers take the placement from, and the one key saying the
// tie point is a sample's centre rather than a pixel's corner.
bool SetPlacement(TIFF* tiff, const GeoTransform& placement)
{
    double tiePoint[6] = {0, 0, 0, placement.originX, placement.originY, 0};
    double pixelScale[3] = {placement.pixelWidth, placement.pixelHeight, 0};
    if (!TIFFSetField(tiff, TIFFTAG_GEOTIEPOINTS, 6, tiePoint) ||
        !TIFFSetField(tiff, TIFFTAG_GEOPIXELSCALE, 3, pixelScale)) {
        return false;
    }
    GTIF* keys = GTIFNew(tiff);
    if (keys == nullptr) {
        return false;
    }
    bool written = GTIFKeySet(keys, GTRasterTypeGeoKey, TYPE_SHORT, 1, RasterPixelIsPoint);
    // A named coordinate system by its EPSG code, which every GeoTIFF reader
    // resolves; without one the frame stays an unnamed local one.
    if (written && placement.epsg > 0 && placement.epsg < 65535) {
        const unsigned short code = static_cast<unsigned short>(placement.epsg);
        written = placement.geographic
                      ? GTIFKeySet(keys, GTModelTypeGeoKey, TYPE_SHORT, 1, ModelTypeGeographic) &&
                            GTIFKeySet(keys, GeographicTypeGeoKey, TYPE_SHORT, 1, code)
                      : GTIFKeySet(keys, GTModelTypeGeoKey, TYPE_SHORT, 1, ModelTypeProjected) &&
                            GTIFKeySet(keys, ProjectedCSTypeGeoKey, TYPE_SHORT, 1, code);
    }
    written = written && GTIFWriteKeys(keys);
    GTIFFree(keys);
    return written;
}

bool WriteStrips(TIFF* tiff, const Matrix2DInterface<float>& map, unsigned rowsPerStrip)
{
    const unsigned width = map.GetWidth();
    const unsigned height = map.GetHeight();
    std::vector<float> strip(size_t(width) * rowsPerStrip);
    tstrip_t index = 0;
    for (unsigned first = 0; first < height; first += rowsPerStrip, ++index) {
        const unsigned count = std::min(rowsPerStrip, height - first);
        for (unsigned row = 0; row < count; ++row) {
            CopyGridRow(map, GridRowAt(first + row, height, RowOrder::TopFirst), &strip[size_t(row) * width]);
        }
        const tmsize_t bytes = static_cast<tmsize_t>(sizeof(float) * width * count);
        if (TIFFWriteEncodedStrip(tiff, index, strip.data(), bytes) != bytes) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool WriteHeightMapTif32(const Matrix2DInterface<float>& map, OutputFile& out, const GeoTransform* placement)
{
    if (!out.RequireSeeking()) {
        return false;
    }
    TiffTarget target{&out, {}};
    GlobalTiffHandlers handlers(target);
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (options == nullptr) {
        return out.Fail("libtiff: out of memory");
    }
    if (placement != nullptr) {
        // Teaches libtiff the GeoTIFF tags; a handle opened after this knows them.
        XTIFFInitialize();
    }
    TIFFOpenOptionsSetErrorHandlerExtR(options, OnTiffError, &target);
    TIFFOpenOptionsSetWarningHandlerExtR(options, OnTiffWarning, &target);
    // "l": little-endian; "m": no memory mapping, everything goes through the
    // procedures above.
    TIFF* tiff = TIFFClientOpenExt(out.Path().c_str(), "wlm", &target, ReadTiff, WriteTiff, SeekTiff, CloseTiff,
                                   SizeOfTiff, MapNothing, UnmapNothing, options);
    TIFFOpenOptionsFree(options);
    bool written = false;
    if (tiff != nullptr) {
        const unsigned width = map.GetWidth();
        const unsigned rowsPerStrip =
            unsigned(std::max<size_t>(1, kStripBytes / (sizeof(float) * std::max(width, 1u))));
        written = SetTags(tiff, width, map.GetHeight(), rowsPerStrip) &&
                  (placement == nullptr || SetPlacement(tiff, *placement)) && WriteStrips(tiff, map, rowsPerStrip) &&
                  TIFFWriteDirectory(tiff);
        TIFFClose(tiff);
    }
    // A failed write has already made its report, which says more than
    // libtiff's account of it.
    if (out.Failed()) {
        return false;
    }
    if (!target.error.empty()) {
        return out.Fail("libtiff: " + target.error);
    }
    if (!written) {
        return out.Fail("libtiff: cannot write the image");
    }
    return true;
}
