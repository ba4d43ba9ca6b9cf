#include "export/R16Writer.h"

#include <cstdint>

#include "export/GridRows.h"
#include "export/HeightSamples.h"

bool WriteHeightMapR16(const Matrix2DInterface<float>& map, RowOrder rows, OutputFile& out)
{
    return WriteGridRows<2>(map, rows, out, [](float cell, uint8_t* bytes) {
        const uint16_t sample = HeightToSample16(cell);
        bytes[0] = static_cast<uint8_t>(sample & 0xFF);
        bytes[1] = static_cast<uint8_t>(sample >> 8);
    });
}
