// Feeds arbitrary bytes to the TGA decoder. The sanitizers catch any read or
// write outside the buffers; the checks below catch inconsistent results.

#include "render/TgaImage.h"
#include "render/TgaMemorySource.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TgaMemorySource source(data, size);
    TgaImage image;
    if (!DecodeTGA(source, image)) {
        if (!image.pixels.empty() || image.width != 0) {
            std::abort();  // a failed decode must leave the image alone
        }
        return 0;
    }
    const uint64_t expected = uint64_t(image.width) * image.height * image.bytesPerPixel;
    if (image.width == 0 || image.height == 0 || (image.bytesPerPixel != 3 && image.bytesPerPixel != 4) ||
        image.pixels.size() != expected) {
        std::abort();
    }
    // Raw data is never invented: an uncompressed image needs every byte.
    if (data[2] == 2 && size < 18 + expected) {
        std::abort();
    }
    return 0;
}
