#pragma once
// An 8-bit RGB picture as captured from the X server, top row first.

#include <cstdint>
#include <string>
#include <vector>

namespace orvandel::x11 {

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    bool operator==(const Rgb& other) const { return r == other.r && g == other.g && b == other.b; }
    bool operator!=(const Rgb& other) const { return !(*this == other); }
};

// Largest per-channel distance between two colours.
int ChannelDistance(Rgb a, Rgb b);

class Image {
public:
    Image() = default;
    Image(int width, int height);

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Empty() const { return width_ == 0 || height_ == 0; }

    // x is the column from the left, y the row from the top; both must lie inside.
    Rgb At(int x, int y) const;
    void Set(int x, int y, Rgb colour);

    // The part of the picture at (x, y) of the given size, clipped to the picture.
    Image Crop(int x, int y, int width, int height) const;

    // Writes an 8-bit RGB PNG; false if the file cannot be written.
    bool WritePng(const std::string& path) const;

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint8_t> rgb_;
};

struct ImageDifference {
    bool sameSize = false;
    long differingPixels = 0;   // pixels whose distance exceeds the tolerance
    int largestDistance = 0;    // largest ChannelDistance over all pixels
    bool Identical() const { return sameSize && largestDistance == 0; }
};

// Compares two pictures pixel by pixel; pictures of different sizes are never alike.
ImageDifference Compare(const Image& a, const Image& b, int tolerance = 0);

}  // namespace orvandel::x11
