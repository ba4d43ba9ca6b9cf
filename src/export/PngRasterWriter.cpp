#include "export/PngRasterWriter.h"

#include <png.h>

#include <cstring>
#include <string>
#include <vector>

#include "export/Png16Writer.h"

namespace {

struct PngTarget {
    OutputFile* out;
    std::string error;
};

[[noreturn]] void OnPngError(png_structp png, png_const_charp message)
{
    static_cast<PngTarget*>(png_get_error_ptr(png))->error = message;
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp)
{
}

void OnPngWrite(png_structp png, png_bytep bytes, size_t size)
{
    if (!static_cast<PngTarget*>(png_get_io_ptr(png))->out->Write(bytes, size)) {
        png_error(png, "write failed");
    }
}

void OnPngFlush(png_structp)
{
}

int ColourType(unsigned channels)
{
    switch (channels) {
    case 3:
        return PNG_COLOR_TYPE_RGB;
    case 4:
        return PNG_COLOR_TYPE_RGB_ALPHA;
    default:
        return PNG_COLOR_TYPE_GRAY;
    }
}

struct PngLayout {
    unsigned width, height, channels, bitDepth;
};

// Nothing with a destructor lives between setjmp and libpng's longjmp but in
// the caller's frame.
bool Encode(png_structp png, png_infop info, const PngLayout& layout,
            const std::function<void(unsigned, uint8_t*)>& fillRow, std::vector<png_byte>& row)
{
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_set_IHDR(png, info, layout.width, layout.height, int(layout.bitDepth), ColourType(layout.channels),
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, kPng16CompressionLevel);
    // One filter for every row: trying all five per row costs several times
    // the time for a few per cent of size. Up suits smooth terrain.
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_set_compression_buffer_size(png, 1 << 20);
    png_write_info(png, info);
    for (unsigned fileRow = 0; fileRow < layout.height; ++fileRow) {
        fillRow(fileRow, row.data());
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    return true;
}

void PackRow(const uint8_t* samples, size_t count, uint8_t* bytes)
{
    std::memcpy(bytes, samples, count);
}

void PackRow(const uint16_t* samples, size_t count, uint8_t* bytes)
{
    for (size_t i = 0; i < count; ++i) {
        bytes[2 * i] = static_cast<uint8_t>(samples[i] >> 8);
        bytes[2 * i + 1] = static_cast<uint8_t>(samples[i] & 0xFF);
    }
}

template <typename Sample>
bool WriteRaster(const Raster<Sample>& raster, OutputFile& out)
{
    const size_t count = size_t(raster.width) * raster.channels;
    return WritePngRows(raster.width, raster.height, raster.channels, 8 * sizeof(Sample),
                        [&](unsigned fileRow, uint8_t* bytes) { PackRow(raster.Row(fileRow), count, bytes); }, out);
}

}  // namespace

bool WritePngRows(unsigned width, unsigned height, unsigned channels, unsigned bitDepth,
                  const std::function<void(unsigned fileRow, uint8_t* bytes)>& fillRow, OutputFile& out)
{
    if (out.Failed()) {
        return false;
    }
    PngTarget target{&out, {}};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &target, OnPngError, OnPngWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return out.Fail("cannot start the PNG encoder");
    }
    png_set_write_fn(png, &target, OnPngWrite, OnPngFlush);
    std::vector<png_byte> row(size_t(width) * channels * bitDepth / 8);
    const bool encoded = Encode(png, info, {width, height, channels, bitDepth}, fillRow, row);
    png_destroy_write_struct(&png, &info);
    if (!encoded) {
        // A failed write has reported itself; anything else is libpng's own.
        return out.Failed() ? false : out.Fail("PNG encoder: " + target.error);
    }
    return !out.Failed();
}

bool WritePngRaster(const Raster8& raster, OutputFile& out)
{
    return WriteRaster(raster, out);
}

bool WritePngRaster(const Raster16& raster, OutputFile& out)
{
    return WriteRaster(raster, out);
}
