#include "export/Pgm16Writer.h"

#include <cstdint>
#include <string>

#include "export/GridRows.h"
#include "export/HeightSamples.h"

bool WriteHeightMapPgm16(const Matrix2DInterface<float>& map, OutputFile& out)
{
    const std::string header =
        "P5\n" + std::to_string(map.GetWidth()) + " " + std::to_string(map.GetHeight()) + "\n65535\n";
    if (!out.Write(header.data(), header.size())) {
        return false;
    }
    return WriteGridRows<2>(map, RowOrder::TopFirst, out, [](float cell, uint8_t* bytes) {
        const uint16_t sample = HeightToSample16(cell);
        bytes[0] = static_cast<uint8_t>(sample >> 8);
        bytes[1] = static_cast<uint8_t>(sample & 0xFF);
    });
}
