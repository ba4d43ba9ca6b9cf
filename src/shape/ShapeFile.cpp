#include "shape/ShapeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gdal.h>
#include <gdal_priv.h>

#include <OpenEXR/ImfChannelList.h>
#include <OpenEXR/ImfFrameBuffer.h>
#include <OpenEXR/ImfHeader.h>
#include <OpenEXR/ImfInputFile.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

#include "cli/CommandLineText.h"
#include "shape/GdalShapeReading.h"
#include "shape/ShapeGround.h"
#include "shape/ShapeSources.h"
#include "terrain/ShapeGrid.h"

namespace {

const char kAccepted[] =
    "a raster GDAL reads (PNG, GeoTIFF, JPEG, ENVI, VRT, EXR, ...) of 2 to 16385 samples a side, or builtin:continent";

std::string Named(const std::string& file) { return "--shape '" + OneLine(file) + "'"; }

// GDAL's last message, one line, or a fallback.
std::string GdalMessage(const char* fallback)
{
    const char* message = CPLGetLastErrorMsg();
    return OneLine(message != nullptr && *message != '\0' ? message : fallback);
}

// The value of height 1 for an integer type: its largest value.
double IntegerTop(GDALDataType type)
{
    const int bits = GDALGetDataTypeSizeBits(type);
    return GDALDataTypeIsSigned(type) ? std::ldexp(1.0, bits - 1) - 1.0 : std::ldexp(1.0, bits) - 1.0;
}

struct DatasetCloser {
    void operator()(void* dataset) const { GDALClose(dataset); }
};

// "heights-fnv1a64:" and, in hex, FNV-1a (64-bit) of the side (u32) and
// every height as used (f32, grid row 0 first, x fastest), little-endian:
// the data that makes the map, however the file holds it.
std::string HeightsChecksum(const ShapeGrid& shape)
{
    uint64_t hash = 0xcbf29ce484222325ull;
    const auto add = [&hash](uint32_t word) {
        for (int i = 0; i < 4; ++i) {
            hash = (hash ^ ((word >> (8 * i)) & 0xffu)) * 0x100000001b3ull;
        }
    };
    add(shape.cells);
    for (const float height : shape.heights) {
        uint32_t bits = 0;
        std::memcpy(&bits, &height, sizeof bits);
        add(bits);
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return std::string("heights-fnv1a64:") + hex;
}

std::string RangeText(double low, double high)
{
    char text[80];
    std::snprintf(text, sizeof text, "%.17g,%.17g", low, high);
    return text;
}


// Samples as read: the centred square, raster rows (north first), and what
// the scale needs to know of them.
struct RawSamples {
    int side = 0;
    int x0 = 0;  // where the square starts in the raster
    int y0 = 0;
    std::vector<float> samples;
    bool integer = false;
    double integerTop = 0.0;  // height 1 of an integer type
    bool hasNoData = false;
    double noData = 0.0;
    std::string notOpened;  // GDAL's word when no driver opened the file
    ShapeGround ground;     // where the square lies, when the raster says
};

// Whether band 1 is 8-bit signed though GDAL's type is Byte: GDAL before
// 3.7 has no 8-bit signed type and marks such a band with PIXELTYPE.
bool SignedByte(GDALRasterBandH band, GDALDataType type)
{
#if GDAL_VERSION_NUM >= GDAL_COMPUTE_VERSION(3, 7, 0)
    // From GDAL 3.7 signed bytes are a type of their own, GDT_Int8, which
    // GDAL reads signed; asking for the old metadata item there only draws a
    // warning, which would refuse the shape.
    (void)band;
    (void)type;
    return false;
#else
    const char* pixelType = GDALGetMetadataItem(band, "PIXELTYPE", "IMAGE_STRUCTURE");
    return type == GDT_Byte && pixelType != nullptr && std::strcmp(pixelType, "SIGNEDBYTE") == 0;
#endif
}

// A double sample as the float it is held in: a finite sample beyond float's
// range is the largest float of its sign (its height is clamped to 0 or 1
// anyway), not an infinity.
float HeldAsFloat(double sample)
{
    if (std::isfinite(sample) && std::fabs(sample) > double(std::numeric_limits<float>::max())) {
        return float(std::copysign(double(std::numeric_limits<float>::max()), sample));
    }
    return float(sample);
}

// Band 1's centred square into raw.samples: floats read as floats, doubles
// a block of rows at a time through HeldAsFloat, signed bytes as signed.
bool ReadSquare(GDALRasterBandH band, GDALDataType type, RawSamples& raw)
{
    const int side = raw.side;
    std::vector<float>& samples = raw.samples;
    samples.resize(size_t(side) * size_t(side));
    if (type != GDT_Float64) {
        if (GDALRasterIO(band, GF_Read, raw.x0, raw.y0, side, side, samples.data(), side, side, GDT_Float32, 0, 0) !=
            CE_None) {
            return false;
        }
        if (SignedByte(band, type)) {
            for (float& sample : samples) {
                sample = sample > 127.5f ? sample - 256.0f : sample;
            }
        }
        return true;
    }
    constexpr int kRows = 64;
    std::vector<double> block(size_t(side) * kRows);
    for (int r = 0; r < side; r += kRows) {
        const int rows = std::min(kRows, side - r);
        if (GDALRasterIO(band, GF_Read, raw.x0, raw.y0 + r, side, rows, block.data(), side, rows, GDT_Float64, 0,
                         0) != CE_None) {
            return false;
        }
        std::transform(block.begin(), block.begin() + ptrdiff_t(side) * rows, &samples[size_t(r) * size_t(side)],
                       HeldAsFloat);
    }
    return true;
}

const char kWhole[] = "; accepted: a raster whose files hold every sample its header claims";

// The centred square of band 1 as GDAL reads it, under `reading`'s rules.
// Unreadable with raw.notOpened set (and error untouched) when no accepted
// driver opens the file.
ShapeLoad ReadWithGdal(GdalShapeReading& reading, const std::string& file, RawSamples& raw,
                       std::string& error)
{
    const std::string path = GdalPlainPath(file);
    std::unique_ptr<void, DatasetCloser> dataset(reading.Open(path));
    if (dataset == nullptr || !reading.Refused().empty()) {
        if (!reading.Refused().empty()) {
            error = "cannot read " + Named(file) + ": " + reading.Refused() +
                    "; accepted: regular files named by plain paths";
            return ShapeLoad::Unreadable;
        }
        raw.notOpened = GdalMessage("no driver recognises it");
        return ShapeLoad::Unreadable;
    }
    // The header's size first: a raster past the limits is refused before
    // a sample is read.
    const int width = GDALGetRasterXSize(dataset.get());
    const int height = GDALGetRasterYSize(dataset.get());
    if (width < 2 || height < 2 || width > int(kLargestShapeSide) || height > int(kLargestShapeSide) ||
        GDALGetRasterCount(dataset.get()) < 1) {
        error = Named(file) + " has " + std::to_string(width) + " x " + std::to_string(height) + " samples in " +
                std::to_string(GDALGetRasterCount(dataset.get())) + " bands; accepted: " + kAccepted;
        return ShapeLoad::Unusable;
    }
    std::string why;
    if (!ShapeSamplesInFiles(reading, path, dataset.get(), why)) {
        error = "cannot read " + Named(file) + ": " + why +
                (reading.Refused().empty() ? kWhole : "; accepted: regular files named by plain paths");
        return ShapeLoad::Unreadable;
    }
    GDALRasterBandH band = GDALGetRasterBand(dataset.get(), 1);
    const GDALDataType type = GDALGetRasterDataType(band);
    if (GDALDataTypeIsComplex(type)) {
        error = Named(file) + " holds complex samples; accepted: real samples, integer or float";
        return ShapeLoad::Unusable;
    }

    // The centred square of the shorter side.
    raw.side = std::min(width, height);
    raw.x0 = (width - raw.side) / 2;
    raw.y0 = (height - raw.side) / 2;
    // Whatever GDAL warns of while it decodes (libjpeg's "Premature end of
    // JPEG file", a short strip) means samples it made up: refused.
    reading.ClearMessages();
    const bool read = ReadSquare(band, type, raw);
    if (!read || !reading.Refused().empty() || !reading.Messages().empty()) {
        const std::string said = !reading.Refused().empty()     ? reading.Refused()
                                 : !reading.Messages().empty() ? reading.Messages().front()
                                                               : GdalMessage("the read failed");
        error = "cannot read the samples of " + Named(file) + ": " + said + kWhole;
        return ShapeLoad::Unreadable;
    }

    raw.ground = ReadShapeGround(dataset.get(), raw.x0, raw.y0, raw.side);
    raw.integer = GDALDataTypeIsInteger(type) != 0;
    raw.integerTop = !raw.integer ? 0.0 : SignedByte(band, type) ? 127.0 : IntegerTop(type);
    int hasNoData = 0;
    raw.noData = GDALGetRasterNoDataValue(band, &hasNoData);
    raw.hasNoData = hasNoData != 0;
    return ShapeLoad::Loaded;
}

// The file opened without waiting, when it is a regular file that starts
// with OpenEXR's magic number; -1 otherwise. The image is read through this
// descriptor (/proc/self/fd), so what was checked is what is read.
int OpenIfExr(const std::string& file)
{
    unsigned char magic[4] = {};
    const int descriptor = open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat found {};
    const bool read = descriptor >= 0 && fstat(descriptor, &found) == 0 && S_ISREG(found.st_mode) &&
                      ::read(descriptor, magic, 4) == 4;
    if (read && magic[0] == 0x76 && magic[1] == 0x2f && magic[2] == 0x31 && magic[3] == 0x01) {
        return descriptor;
    }
    if (descriptor >= 0) {
        close(descriptor);
    }
    return -1;
}

// An OpenEXR image's centred square: channel Y, else R, else the first the
// file lists, as floats (a UINT channel as integers to 2^32 - 1).
ShapeLoad ReadExrSamples(int descriptor, const std::string& file, RawSamples& raw, std::string& error)
{
    try {
        Imf::InputFile input(SameFilePath(descriptor, file).c_str());
        const Imath::Box2i window = input.header().dataWindow();
        const int64_t width = int64_t(window.max.x) - window.min.x + 1;
        const int64_t height = int64_t(window.max.y) - window.min.y + 1;
        const Imf::ChannelList& channels = input.header().channels();
        if (width < 2 || height < 2 || width > kLargestShapeSide || height > kLargestShapeSide ||
            channels.begin() == channels.end()) {
            error = Named(file) + " has " + std::to_string(width) + " x " + std::to_string(height) +
                    " samples; accepted: " + kAccepted;
            return ShapeLoad::Unusable;
        }
        const char* name = channels.findChannel("Y") != nullptr   ? "Y"
                           : channels.findChannel("R") != nullptr ? "R"
                                                                  : channels.begin().name();
        std::vector<float> all(size_t(width) * size_t(height));
        Imf::FrameBuffer frame;
        frame.insert(name, Imf::Slice::Make(Imf::FLOAT, all.data(), window, sizeof(float), sizeof(float) * width));
        input.setFrameBuffer(frame);
        input.readPixels(window.min.y, window.max.y);
        raw.side = int(std::min(width, height));
        raw.x0 = int(width - raw.side) / 2;
        raw.y0 = int(height - raw.side) / 2;
        raw.samples.resize(size_t(raw.side) * size_t(raw.side));
        for (int r = 0; r < raw.side; ++r) {
            std::copy_n(&all[size_t(raw.y0 + r) * size_t(width) + size_t(raw.x0)], raw.side,
                        &raw.samples[size_t(r) * size_t(raw.side)]);
        }
        raw.integer = channels.findChannel(name)->type == Imf::UINT;
        raw.integerTop = 4294967295.0;
    } catch (const std::exception& failure) {
        error = "cannot read the samples of " + Named(file) + ": " + OneLine(failure.what()) +
                "; accepted: a complete OpenEXR image";
        return ShapeLoad::Unreadable;
    }
    return ShapeLoad::Loaded;
}

}  // namespace

ShapeLoad LoadShape(TerrainParameters& parameters, double relief, std::string& error, ShapeGround* ground)
{
    const std::string& file = parameters.shapeFile;
    const std::string builtin = "builtin:";
    if (file.compare(0, builtin.size(), builtin) == 0) {
        parameters.shape = BuiltInShape(file.substr(builtin.size()));
        if (parameters.shape == nullptr) {
            error = Named(file) + " is no built-in shape; accepted: " + BuiltInShapeNames() +
                    " (write ./" + OneLine(file) + " for a file of that name)";
            return ShapeLoad::Unusable;
        }
        return ShapeLoad::Loaded;
    }

    if (file.compare(0, 4, "/vsi") == 0) {
        error = Named(file) + " is a name GDAL reads as one of its virtual file systems; accepted: " + kAccepted +
                ", named by a plain path";
        return ShapeLoad::Unreadable;
    }
    struct stat found {};
    if (stat(file.c_str(), &found) != 0) {
        error = "cannot read " + Named(file) + ": " + std::strerror(errno) + "; accepted: " + kAccepted;
        return ShapeLoad::Unreadable;
    }
    if (!S_ISREG(found.st_mode)) {
        error = Named(file) + " is " + (S_ISDIR(found.st_mode) ? "a directory" : "not a regular file") +
                "; accepted: " + kAccepted;
        return ShapeLoad::Unreadable;
    }

    RawSamples raw;
    ShapeLoad read = ShapeLoad::Unreadable;
    {
        GdalShapeReading reading;
        read = ReadWithGdal(reading, file, raw, error);
    }
    if (read != ShapeLoad::Loaded && !raw.notOpened.empty()) {
        // Debian's GDAL has no OpenEXR driver: the format's own library
        // reads it, the tool's exr among them.
        const int exr = OpenIfExr(file);
        if (exr < 0) {
            error = Named(file) + " is not a raster of the formats GDAL reads here (" + raw.notOpened +
                    "); accepted: " + kAccepted;
            return ShapeLoad::Unreadable;
        }
        read = ReadExrSamples(exr, file, raw, error);
        close(exr);
    }
    if (read != ShapeLoad::Loaded) {
        return read;
    }
    const int side = raw.side;
    const int x0 = raw.x0;
    const int y0 = raw.y0;
    auto shape = std::make_shared<ShapeGrid>();
    shape->cells = uint32_t(side);
    // Scaled in place, then flipped north to south: one copy of the
    // samples, 1 GB at the largest.
    shape->heights = std::move(raw.samples);
    std::vector<float>& samples = shape->heights;

    const float noDataSample = float(raw.noData);
    const bool noDataIsNan = raw.hasNoData && std::isnan(raw.noData);
    const auto isNoData = [&](float v) { return (raw.hasNoData && v == noDataSample) || (noDataIsNan && std::isnan(v)); };
    if (ground != nullptr) {
        const bool fromRange = ground->reliefFromRange;
        *ground = raw.ground;
        ground->reliefFromRange = fromRange;
        // A georeferenced float shape is in metres: its highest ground is
        // height 1, so the map's metres are the shape's.
        if (fromRange && raw.ground.frame.Present() && !raw.integer && !parameters.shapeRangeGiven) {
            float top = 0.0f;
            for (const float v : samples) {
                if (!isNoData(v) && std::isfinite(v)) {
                    top = std::max(top, v);
                }
            }
            if (top > 0.0f) {
                relief = top;
                ground->relief = top;
            }
        }
    }
    double low = 0.0;
    double high = raw.integer ? raw.integerTop : relief;
    if (parameters.shapeRangeGiven) {
        low = parameters.shapeLow;
        high = parameters.shapeHigh;
    }
    size_t noDataCount = 0;
    for (int r = 0; r < side; ++r) {
        float* row = &samples[size_t(r) * side];
        for (int c = 0; c < side; ++c) {
            const float v = row[c];
            if (isNoData(v)) {
                row[c] = 0.0f;
                ++noDataCount;
                continue;
            }
            if (!std::isfinite(v)) {
                error = Named(file) + " has a NaN or infinite sample at column " + std::to_string(x0 + c) +
                        ", row " + std::to_string(y0 + r) + "; accepted: finite samples (mark holes as no-data)";
                return ShapeLoad::Unusable;
            }
            const double h = (double(v) - low) / (high - low);
            row[c] = float(std::min(std::max(h, 0.0), 1.0));
        }
    }
    for (int r = 0; r < side / 2; ++r) {  // the file's row 0 is north, the grid's south
        std::swap_ranges(&samples[size_t(r) * side], &samples[size_t(r) * side] + side,
                         &samples[size_t(side - 1 - r) * side]);
    }
    if (noDataCount == samples.size()) {
        error = Named(file) + " is all no-data; accepted: a raster with at least one sample of ground";
        return ShapeLoad::Unusable;
    }
    shape->checksum = HeightsChecksum(*shape);
    shape->range = RangeText(low, high);
    shape->identity = shape->checksum + " range:" + shape->range;
    parameters.shape = std::move(shape);
    return ShapeLoad::Loaded;
}
