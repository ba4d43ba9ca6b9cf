#include "render/TgaImage.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

namespace {

const unsigned char uncompressedTemplate[12] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
const unsigned char compressedTemplate[12] = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0};

const unsigned maxPacketPixels = 128;

// Whether the bytes left could possibly hold the image: raw data needs every
// byte, while a packet of at least 1 + bpp bytes stands for at most 128 pixels.
bool DataCanFill(uint64_t pixelCount, unsigned bytesPerPixel, bool compressed, uint64_t bytesLeft)
{
    if (!compressed) {
        return pixelCount <= bytesLeft / bytesPerPixel;
    }
    uint64_t packetsNeeded = (pixelCount + maxPacketPixels - 1) / maxPacketPixels;
    return packetsNeeded <= bytesLeft / (1 + bytesPerPixel);
}

// Packets continue across row ends; a packet that would run past the last
// pixel is refused rather than cut, as no sound encoder writes one.
bool DecodePackets(TgaByteSource& source, unsigned char* pixels, size_t pixelCount, unsigned bytesPerPixel)
{
    size_t done = 0;
    while (done < pixelCount) {
        unsigned char header;
        if (!source.Read(&header, 1)) {
            return false;
        }
        size_t count = (header & 0x7F) + 1u;
        if (count > pixelCount - done) {
            return false;
        }
        unsigned char* out = pixels + done * bytesPerPixel;
        if (header < 0x80) {
            if (!source.Read(out, count * bytesPerPixel)) {
                return false;
            }
        } else {
            if (!source.Read(out, bytesPerPixel)) {
                return false;
            }
            for (size_t i = 1; i < count; ++i) {
                std::memcpy(out + i * bytesPerPixel, out, bytesPerPixel);
            }
        }
        done += count;
    }
    return true;
}

}  // namespace

bool DecodeTGA(TgaByteSource& source, TgaImage& image)
{
    unsigned char start[12];
    if (!source.Read(start, sizeof start)) {
        return false;
    }
    bool compressed;
    if (std::memcmp(start, uncompressedTemplate, sizeof start) == 0) {
        compressed = false;
    } else if (std::memcmp(start, compressedTemplate, sizeof start) == 0) {
        compressed = true;
    } else {
        return false;
    }

    unsigned char imageFields[6];
    if (!source.Read(imageFields, sizeof imageFields)) {
        return false;
    }
    // byte 5, the descriptor, is ignored: rows stay in file order.
    const unsigned width = imageFields[0] | (imageFields[1] << 8);
    const unsigned height = imageFields[2] | (imageFields[3] << 8);
    const unsigned depth = imageFields[4];
    if (depth != 24 && depth != 32) {
        return false;
    }
    if (width == 0 || height == 0) {
        return false;
    }
    const unsigned bytesPerPixel = depth / 8;
    // At most 65535 × 65535 pixels, so the counts below fit 64 bits.
    const uint64_t pixelCount = uint64_t(width) * height;
    if (!DataCanFill(pixelCount, bytesPerPixel, compressed, source.BytesLeft())) {
        return false;
    }
    const uint64_t byteCount = pixelCount * bytesPerPixel;
    if (byteCount > SIZE_MAX) {
        return false;
    }

    std::vector<unsigned char> pixels;
    try {
        pixels.resize(size_t(byteCount));
    } catch (const std::bad_alloc&) {
        return false;
    }

    bool complete = compressed ? DecodePackets(source, pixels.data(), size_t(pixelCount), bytesPerPixel)
                               : source.Read(pixels.data(), pixels.size());
    if (!complete) {
        return false;
    }

    // Stored blue, green, red (, alpha); OpenGL wants red first.
    for (size_t i = 0; i < pixels.size(); i += bytesPerPixel) {
        std::swap(pixels[i], pixels[i + 2]);
    }

    image.width = width;
    image.height = height;
    image.bytesPerPixel = bytesPerPixel;
    image.pixels = std::move(pixels);
    return true;
}
