#include "export/Png16Writer.h"

#include <cstdint>
#include <vector>

#include "export/GridRows.h"
#include "export/HeightSamples.h"
#include "export/PngRasterWriter.h"

bool WriteHeightMapPng16(const Matrix2DInterface<float>& map, OutputFile& out)
{
    const unsigned height = map.GetHeight();
    std::vector<float> cells(map.GetWidth());
    // Each file row is a grid row, top first, as big-endian 16-bit samples.
    return WritePngRows(map.GetWidth(), height, 1, 16,
                        [&](unsigned fileRow, uint8_t* bytes) {
                            CopyGridRow(map, GridRowAt(fileRow, height, RowOrder::TopFirst), cells.data());
                            for (size_t x = 0; x < cells.size(); ++x) {
                                const uint16_t sample = HeightToSample16(cells[x]);
                                bytes[2 * x] = static_cast<uint8_t>(sample >> 8);
                                bytes[2 * x + 1] = static_cast<uint8_t>(sample & 0xFF);
                            }
                        },
                        out);
}
