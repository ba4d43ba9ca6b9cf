#include "export/R16Writer.h"

#include <cstdint>
#include <vector>

#include "export/GridRows.h"
#include "export/HeightSamples.h"

bool WriteHeightMapR16(const Matrix2DInterface<float>& map, RowOrder rows, OutputFile& out)
{
    const unsigned width = map.GetWidth();
    const unsigned height = map.GetHeight();
    std::vector<float> cells(width);
    std::vector<uint8_t> bytes(2 * size_t(width));
    for (unsigned fileRow = 0; fileRow < height; ++fileRow) {
        CopyGridRow(map, GridRowAt(fileRow, height, rows), cells.data());
        for (unsigned x = 0; x < width; ++x) {
            const uint16_t sample = HeightToSample16(cells[x]);
            bytes[2 * x] = static_cast<uint8_t>(sample & 0xFF);
            bytes[2 * x + 1] = static_cast<uint8_t>(sample >> 8);
        }
        if (!out.Write(bytes.data(), bytes.size())) {
            return false;
        }
    }
    return true;
}
