#include "export/Pgm16Writer.h"

#include <cstdint>
#include <string>
#include <vector>

#include "export/GridRows.h"
#include "export/HeightSamples.h"

bool WriteHeightMapPgm16(const Matrix2DInterface<float>& map, OutputFile& out)
{
    const unsigned width = map.GetWidth();
    const unsigned height = map.GetHeight();
    const std::string header = "P5\n" + std::to_string(width) + " " + std::to_string(height) + "\n65535\n";
    if (!out.Write(header.data(), header.size())) {
        return false;
    }
    std::vector<float> cells(width);
    std::vector<uint8_t> bytes(2 * size_t(width));
    for (unsigned fileRow = 0; fileRow < height; ++fileRow) {
        CopyGridRow(map, GridRowAt(fileRow, height, RowOrder::TopFirst), cells.data());
        for (unsigned x = 0; x < width; ++x) {
            const uint16_t sample = HeightToSample16(cells[x]);
            bytes[2 * x] = static_cast<uint8_t>(sample >> 8);
            bytes[2 * x + 1] = static_cast<uint8_t>(sample & 0xFF);
        }
        if (!out.Write(bytes.data(), bytes.size())) {
            return false;
        }
    }
    return true;
}
