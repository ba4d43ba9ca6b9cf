#include "export/Png16Writer.h"

#include <png.h>

#include <cstdint>
#include <string>
#include <vector>

#include "export/GridRows.h"
#include "export/HeightSamples.h"

namespace {

// What libpng's callbacks reach: the file, and the text of libpng's error.
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
    // Nothing the tool writes draws a warning; none may reach standard error.
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

// Grid row y as big-endian 16-bit samples, the byte order PNG stores.
void FillRow(const Matrix2DInterface<float>& map, unsigned y, std::vector<float>& cells, std::vector<png_byte>& row)
{
    CopyGridRow(map, y, cells.data());
    for (size_t x = 0; x < cells.size(); ++x) {
        const uint16_t sample = HeightToSample16(cells[x]);
        row[2 * x] = static_cast<png_byte>(sample >> 8);
        row[2 * x + 1] = static_cast<png_byte>(sample & 0xFF);
    }
}

// Everything between setjmp and the end lives in this frame or in libpng, so
// libpng's longjmp skips no destructor.
bool Encode(png_structp png, png_infop info, const Matrix2DInterface<float>& map, std::vector<float>& cells,
            std::vector<png_byte>& row)
{
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    const unsigned width = map.GetWidth();
    const unsigned height = map.GetHeight();
    png_set_IHDR(png, info, width, height, 16, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, kPng16CompressionLevel);
    // One filter for every row: trying all five per row costs several times
    // the time for a few per cent of size. Up suits smooth terrain.
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_set_compression_buffer_size(png, 1 << 20);
    png_write_info(png, info);
    for (unsigned fileRow = 0; fileRow < height; ++fileRow) {
        FillRow(map, GridRowAt(fileRow, height, RowOrder::TopFirst), cells, row);
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    return true;
}

}  // namespace

bool WriteHeightMapPng16(const Matrix2DInterface<float>& map, OutputFile& out)
{
    if (out.Failed()) {
        return false;
    }
    PngTarget target{&out, {}};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &target, OnPngError, OnPngWarning);
    if (png == nullptr) {
        return out.Fail("cannot start the PNG encoder");
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return out.Fail("cannot start the PNG encoder");
    }
    png_set_write_fn(png, &target, OnPngWrite, OnPngFlush);

    std::vector<float> cells(map.GetWidth());
    std::vector<png_byte> row(2 * size_t(map.GetWidth()));
    const bool encoded = Encode(png, info, map, cells, row);
    png_destroy_write_struct(&png, &info);
    if (!encoded) {
        // A failed write has reported itself; anything else is libpng's own.
        return out.Failed() ? false : out.Fail("PNG encoder: " + target.error);
    }
    return !out.Failed();
}
