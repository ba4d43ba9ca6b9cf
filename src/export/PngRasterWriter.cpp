#include "export/PngRasterWriter.h"

#include <png.h>

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

// One file row as PNG stores it: 16-bit samples most significant byte first.
void PackRow(const uint8_t* samples, size_t count, std::vector<png_byte>& row)
{
    row.assign(samples, samples + count);
}

void PackRow(const uint16_t* samples, size_t count, std::vector<png_byte>& row)
{
    row.resize(2 * count);
    for (size_t i = 0; i < count; ++i) {
        row[2 * i] = static_cast<png_byte>(samples[i] >> 8);
        row[2 * i + 1] = static_cast<png_byte>(samples[i] & 0xFF);
    }
}

// Nothing with a destructor lives between setjmp and libpng's longjmp but in
// the caller's frame.
template <typename Sample>
bool Encode(png_structp png, png_infop info, const Raster<Sample>& raster, std::vector<png_byte>& row)
{
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_set_IHDR(png, info, raster.width, raster.height, 8 * sizeof(Sample), ColourType(raster.channels),
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, kPng16CompressionLevel);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_set_compression_buffer_size(png, 1 << 20);
    png_write_info(png, info);
    const size_t count = size_t(raster.width) * raster.channels;
    for (unsigned fileRow = 0; fileRow < raster.height; ++fileRow) {
        PackRow(raster.Row(fileRow), count, row);
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    return true;
}

template <typename Sample>
bool WriteRaster(const Raster<Sample>& raster, OutputFile& out)
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
    std::vector<png_byte> row;
    const bool encoded = Encode(png, info, raster, row);
    png_destroy_write_struct(&png, &info);
    if (!encoded) {
        return out.Failed() ? false : out.Fail("PNG encoder: " + target.error);
    }
    return !out.Failed();
}

}  // namespace

bool WritePngRaster(const Raster8& raster, OutputFile& out)
{
    return WriteRaster(raster, out);
}

bool WritePngRaster(const Raster16& raster, OutputFile& out)
{
    return WriteRaster(raster, out);
}
