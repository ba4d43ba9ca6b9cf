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
#include <memory>
#include <mutex>

#include "cli/CommandLineText.h"
#include "shape/ShapeGround.h"
#include "terrain/ShapeGrid.h"

namespace {

const char kAccepted[] = "a raster GDAL reads (PNG, GeoTIFF, EXR, ...) of 2 to 16385 samples a side, or builtin:continent";

std::string Named(const std::string& file) { return "--shape '" + OneLine(file) + "'"; }

// FNV-1a (64-bit) of the file's bytes: the file's identity in the world's
// records. Opened without waiting, so a FIFO swapped in cannot block.
bool FileChecksum(const std::string& file, uint64_t& hash, std::string& why)
{
    const int descriptor = open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        why = std::strerror(errno);
        return false;
    }
    hash = 0xcbf29ce484222325ull;
    std::vector<unsigned char> buffer(1 << 20);
    for (;;) {
        const ssize_t got = read(descriptor, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            why = std::strerror(errno);
            close(descriptor);
            return false;
        }
        if (got == 0) {
            break;
        }
        for (ssize_t i = 0; i < got; ++i) {
            hash = (hash ^ buffer[size_t(i)]) * 0x100000001b3ull;
        }
    }
    close(descriptor);
    return true;
}

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

// A raw layout (ENVI, EHdr, an uncompressed GeoTIFF, ...) whose header
// claims more samples than its file holds: GDAL would read the missing ones
// as zeros without a word, so the file's size is checked against the last
// sample band 1 claims.
bool HeaderClaimsMore(GDALDatasetH handle, int width, int height, std::string& why)
{
    GDALDataset::RawBinaryLayout layout;
    if (!GDALDataset::FromHandle(handle)->GetRawBinaryLayout(layout)) {
        return false;
    }
    int64_t last = 0;
    for (const int64_t y : {int64_t{0}, int64_t{height} - 1}) {
        for (const int64_t x : {int64_t{0}, int64_t{width} - 1}) {
            last = std::max<int64_t>(last, int64_t(layout.nImageOffset) + y * layout.nLineOffset +
                                               x * layout.nPixelOffset);
        }
    }
    const int64_t needed = last + GDALGetDataTypeSizeBytes(layout.eDataType);
    VSIStatBufL found;
    if (VSIStatL(layout.osRawFilename.c_str(), &found) != 0 || int64_t(found.st_size) < needed) {
        why = "its header claims " + std::to_string(width) + " x " + std::to_string(height) + " samples (" +
              std::to_string(needed) + " bytes) but '" + OneLine(layout.osRawFilename) + "' holds fewer";
        return true;
    }
    return false;
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

// The centred square of band 1 as GDAL reads it. Unreadable with
// raw.notOpened set (and error untouched) when no GDAL driver opens the file.
ShapeLoad ReadWithGdal(const std::string& file, RawSamples& raw, std::string& error)
{
    static std::once_flag registered;
    std::call_once(registered, [] { GDALAllRegister(); });
    CPLPushErrorHandler(CPLQuietErrorHandler);
    struct PopHandler {
        ~PopHandler() { CPLPopErrorHandler(); }
    } pop;
    CPLErrorReset();
    std::unique_ptr<void, DatasetCloser> dataset(
        GDALOpenEx(file.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
    if (dataset == nullptr) {
        raw.notOpened = GdalMessage("no driver recognises it");
        return ShapeLoad::Unreadable;
    }
    const int width = GDALGetRasterXSize(dataset.get());
    const int height = GDALGetRasterYSize(dataset.get());
    if (width < 2 || height < 2 || width > int(kLargestShapeSide) || height > int(kLargestShapeSide) ||
        GDALGetRasterCount(dataset.get()) < 1) {
        error = Named(file) + " has " + std::to_string(width) + " x " + std::to_string(height) + " samples in " +
                std::to_string(GDALGetRasterCount(dataset.get())) + " bands; accepted: " + kAccepted;
        return ShapeLoad::Unusable;
    }
    std::string why;
    if (HeaderClaimsMore(dataset.get(), width, height, why)) {
        error = "cannot read " + Named(file) + ": " + why +
                "; accepted: a raster whose file holds every sample its header claims";
        return ShapeLoad::Unreadable;
    }
    GDALRasterBandH band = GDALGetRasterBand(dataset.get(), 1);
    const GDALDataType type = GDALGetRasterDataType(band);
    if (GDALDataTypeIsComplex(type)) {
        error = Named(file) + " holds complex samples; accepted: real samples, integer or float";
        return ShapeLoad::Unusable;
    }

    // The centred square of the shorter side.
    const int side = std::min(width, height);
    const int x0 = (width - side) / 2;
    const int y0 = (height - side) / 2;
    raw.side = side;
    raw.x0 = x0;
    raw.y0 = y0;
    std::vector<float>& samples = raw.samples;
    samples.resize(size_t(side) * size_t(side));
    if (GDALRasterIO(band, GF_Read, x0, y0, side, side, samples.data(), side, side, GDT_Float32, 0, 0) != CE_None) {
        error = "cannot read the samples of " + Named(file) + ": " + GdalMessage("the read failed") +
                "; accepted: a raster whose file holds every sample its header claims";
        return ShapeLoad::Unreadable;
    }

    raw.ground = ReadShapeGround(dataset.get(), x0, y0, side);
    raw.integer = GDALDataTypeIsInteger(type) != 0;
    raw.integerTop = raw.integer ? IntegerTop(type) : 0.0;
    int hasNoData = 0;
    raw.noData = GDALGetRasterNoDataValue(band, &hasNoData);
    raw.hasNoData = hasNoData != 0;
    return ShapeLoad::Loaded;
}

bool StartsAsExr(const std::string& file)
{
    unsigned char magic[4] = {};
    FILE* stream = std::fopen(file.c_str(), "rb");
    const bool read = stream != nullptr && std::fread(magic, 1, 4, stream) == 4;
    if (stream != nullptr) {
        std::fclose(stream);
    }
    return read && magic[0] == 0x76 && magic[1] == 0x2f && magic[2] == 0x31 && magic[3] == 0x01;
}

// An OpenEXR image's centred square: channel Y, else R, else the first the
// file lists, as floats (a UINT channel as integers to 2^32 - 1).
ShapeLoad ReadExrSamples(const std::string& file, RawSamples& raw, std::string& error)
{
    try {
        Imf::InputFile input(file.c_str());
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
    uint64_t checksum = 0;
    std::string why;
    if (!FileChecksum(file, checksum, why)) {
        error = "cannot read " + Named(file) + ": " + why;
        return ShapeLoad::Unreadable;
    }

    RawSamples raw;
    ShapeLoad read = ReadWithGdal(file, raw, error);
    if (read != ShapeLoad::Loaded && !raw.notOpened.empty()) {
        // Debian's GDAL has no OpenEXR driver: the format's own library
        // reads it, the tool's exr among them.
        if (!StartsAsExr(file)) {
            error = Named(file) + " is not a raster GDAL reads (" + raw.notOpened + "); accepted: " + kAccepted;
            return ShapeLoad::Unreadable;
        }
        read = ReadExrSamples(file, raw, error);
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
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(checksum));
    shape->identity = std::string("fnv1a64:") + hex + " range:" + RangeText(low, high);
    parameters.shape = std::move(shape);
    return ShapeLoad::Loaded;
}
