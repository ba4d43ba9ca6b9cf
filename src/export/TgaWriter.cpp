#include "export/TgaWriter.h"

#include <cstdint>
#include <vector>

#include "export/GridRows.h"
#include "export/HeightSamples.h"

namespace {

const size_t kHeaderSize = 18;

void PutLittle16(uint8_t* at, uint16_t value)
{
    at[0] = static_cast<uint8_t>(value & 0xFF);
    at[1] = static_cast<uint8_t>(value >> 8);
}

}  // namespace

bool WriteHeightMapTga(const Matrix2DInterface<float>& map, OutputFile& out)
{
    // Width and height are taken once each and bound both the header and the
    // pixels, so the two always agree.
    const uint16_t width = static_cast<uint16_t>(map.GetWidth());
    const uint16_t height = static_cast<uint16_t>(map.GetHeight());
    uint8_t header[kHeaderSize] = {};
    header[2] = 2;  // uncompressed true-colour
    PutLittle16(&header[12], width);
    PutLittle16(&header[14], height);
    header[16] = 24;  // bits per pixel; descriptor 0: no alpha, origin bottom left
    if (!out.Write(header, sizeof header)) {
        return false;
    }

    // The grid may be wider than the 16-bit width says: read whole rows, write
    // the first width cells of each.
    std::vector<float> cells(map.GetWidth());
    std::vector<uint8_t> pixels(3 * size_t(width));
    for (unsigned y = 0; y < height; ++y) {
        CopyGridRow(map, y, cells.data());
        for (unsigned x = 0; x < width; ++x) {
            const uint8_t grey = HeightToByte(cells[x]);
            pixels[3 * x] = grey;
            pixels[3 * x + 1] = grey;
            pixels[3 * x + 2] = grey;
        }
        if (!out.Write(pixels.data(), pixels.size())) {
            return false;
        }
    }
    return true;
}
