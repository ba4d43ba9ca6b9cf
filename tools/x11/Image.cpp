#include "Image.h"

#include <zlib.h>

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

void PutBigEndian32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

void PutChunk(std::vector<std::uint8_t>& out, const char type[4], const std::vector<std::uint8_t>& data)
{
    PutBigEndian32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeStart = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    const uLong crc = crc32(0L, out.data() + typeStart, static_cast<uInt>(out.size() - typeStart));
    PutBigEndian32(out, static_cast<std::uint32_t>(crc));
}

}  // namespace

bool Image::WritePng(const std::string& path) const
{
    // Every row gets filter type 0 (none): simple, and plenty for screenshots.
    std::vector<std::uint8_t> raw;
    raw.reserve(static_cast<std::size_t>(width_ * 3 + 1) * height_);
    for (int y = 0; y < height_; ++y) {
        raw.push_back(0);
        const auto row = rgb_.begin() + static_cast<std::ptrdiff_t>(y) * width_ * 3;
        raw.insert(raw.end(), row, row + width_ * 3);
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<std::uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 6) != Z_OK) {
        return false;
    }
    packed.resize(packedSize);

    std::vector<std::uint8_t> header;
    PutBigEndian32(header, static_cast<std::uint32_t>(width_));
    PutBigEndian32(header, static_cast<std::uint32_t>(height_));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, adaptive filters, no interlace

    std::vector<std::uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    PutChunk(file, "IHDR", header);
    PutChunk(file, "IDAT", packed);
    PutChunk(file, "IEND", {});

    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) {
        return false;
    }
    const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    return std::fclose(out) == 0 && written;
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
