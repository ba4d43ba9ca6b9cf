#include "export/F32Writer.h"

#include <cstdint>
#include <cstring>

#include "export/GridRows.h"

bool WriteHeightMapF32(const Matrix2DInterface<float>& map, RowOrder rows, OutputFile& out)
{
    return WriteGridRows<4>(map, rows, out, [](float cell, uint8_t* bytes) {
        uint32_t bits = 0;
        std::memcpy(&bits, &cell, sizeof bits);
        for (unsigned byte = 0; byte < 4; ++byte) {
            bytes[byte] = static_cast<uint8_t>(bits >> (8 * byte));
        }
    });
}
