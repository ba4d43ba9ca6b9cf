#include "export/F32Writer.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "export/GridRows.h"

bool WriteHeightMapF32(const Matrix2DInterface<float>& map, RowOrder rows, OutputFile& out)
{
    const unsigned width = map.GetWidth();
    const unsigned height = map.GetHeight();
    std::vector<float> cells(width);
    std::vector<uint8_t> bytes(4 * size_t(width));
    for (unsigned fileRow = 0; fileRow < height; ++fileRow) {
        CopyGridRow(map, GridRowAt(fileRow, height, rows), cells.data());
        for (unsigned x = 0; x < width; ++x) {
            uint32_t bits = 0;
            memcpy(&bits, &cells[x], sizeof bits);
            for (unsigned byte = 0; byte < 4; ++byte) {
                bytes[4 * x + byte] = static_cast<uint8_t>(bits >> (8 * byte));
            }
        }
        if (!out.Write(bytes.data(), bytes.size())) {
            return false;
        }
    }
    return true;
}
