#include "Image.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace orvandel::x11 {

int ChannelDistance(Rgb a, Rgb b)
{
    return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
}

Image::Image(int width, int height)
    : width_(std::max(width, 0)), height_(std::max(height, 0)),
      rgb_(static_cast<std::size_t>(width_) * height_ * 3, 0)
{
}

Rgb Image::At(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        throw std::out_of_range("pixel outside the image");
    }
    const std::uint8_t* p = &rgb_[(static_cast<std::size_t>(y) * width_ + x) * 3];
    return Rgb{p[0], p[1], p[2]};
}

void Image::Set(int x, int y, Rgb colour)
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        throw std::out_of_range("pixel outside the image");
    }
    std::uint8_t* p = &rgb_[(static_cast<std::size_t>(y) * width_ + x) * 3];
    p[0] = colour.r;
    p[1] = colour.g;
    p[2] = colour.b;
}

Image Image::Crop(int x, int y, int width, int height) const
{
    const int left = std::clamp(x, 0, width_);
    const int top = std::clamp(y, 0, height_);
    const int right = std::clamp(x + width, left, width_);
    const int bottom = std::clamp(y + height, top, height_);
    Image part(right - left, bottom - top);
    for (int row = top; row < bottom; ++row) {
        for (int column = left; column < right; ++column) {
            part.Set(column - left, row - top, At(column, row));
        }
    }
    return part;
}

namespace {

[[noreturn]] void OnPngError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp)
{
}

// libpng's longjmp returns here; everything it could skip is owned outside.
bool EncodePng(png_structp png, png_infop info, std::FILE* out, int width, int height,
               const std::vector<std::uint8_t>& rgb)
{
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_init_io(png, out);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // Filter type 0 (none) on every row: simple, and plenty for screenshots.
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_compression_level(png, 6);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        png_write_row(png, rgb.data() + static_cast<std::size_t>(y) * width * 3);
    }
    png_write_end(png, nullptr);
    return true;
}

}  // namespace

bool Image::WritePng(const std::string& path) const
{
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) {
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
    png_infop info = png == nullptr ? nullptr : png_create_info_struct(png);
    const bool encoded = info != nullptr && EncodePng(png, info, out, width_, height_, rgb_);
    png_destroy_write_struct(&png, &info);
    const bool closed = std::fclose(out) == 0;
    return encoded && closed;
}

ImageDifference Compare(const Image& a, const Image& b, int tolerance)
{
    ImageDifference difference;
    difference.sameSize = a.Width() == b.Width() && a.Height() == b.Height();
    if (!difference.sameSize) {
        return difference;
    }
    for (int y = 0; y < a.Height(); ++y) {
        for (int x = 0; x < a.Width(); ++x) {
            const int distance = ChannelDistance(a.At(x, y), b.At(x, y));
            difference.largestDistance = std::max(difference.largestDistance, distance);
            if (distance > tolerance) {
                ++difference.differingPixels;
            }
        }
    }
    return difference;
}

}  // namespace orvandel::x11
