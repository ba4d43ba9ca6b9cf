#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "landing/OutputFile.h"
#include "export/RowOrder.h"
#include "terrain/Array2D.h"
#include "terrain/Matrix2DInterface.h"

// Row access for the writers that stream a map row by row.

// The grid row stored as file row fileRow (0 = the first the file holds).
inline unsigned GridRowAt(unsigned fileRow, unsigned height, RowOrder order)
{
    return order == RowOrder::BottomFirst ? fileRow : height - 1 - fileRow;
}

// Copies grid row y, x = 0 first, into cells (the map's width of them). The
// viewer's and the tool's maps are Array2D, whose rows are copied whole;
// any other grid goes cell by cell through At.
inline void CopyGridRow(const Matrix2DInterface<float>& map, unsigned y, float* cells)
{
    const unsigned width = map.GetWidth();
    if (const auto* array = dynamic_cast<const Array2D<float>*>(&map)) {
        if (width > 0) {
            // Array2D keeps each row's cells side by side.
            std::memcpy(cells, &array->At(0, static_cast<int>(y)), sizeof(float) * width);
        }
        return;
    }
    for (unsigned x = 0; x < width; ++x) {
        cells[x] = map.At(static_cast<int>(x), static_cast<int>(y));
    }
}

// Streams the map's rows to out in the given order, one Write a row, each
// cell turned into bytesPerCell bytes by encodeCell(cell, bytes), x first.
// The encoder is a template parameter, not a std::function, so it is inlined
// into the loop over the cells. False as soon as a Write fails.
template <size_t bytesPerCell, typename CellEncoder>
bool WriteGridRows(const Matrix2DInterface<float>& map, RowOrder order, OutputFile& out, CellEncoder encodeCell)
{
    const unsigned width = map.GetWidth();
    const unsigned height = map.GetHeight();
    std::vector<float> cells(width);
    std::vector<uint8_t> bytes(bytesPerCell * size_t(width));
    for (unsigned fileRow = 0; fileRow < height; ++fileRow) {
        CopyGridRow(map, GridRowAt(fileRow, height, order), cells.data());
        for (unsigned x = 0; x < width; ++x) {
            encodeCell(cells[x], &bytes[bytesPerCell * x]);
        }
        if (!out.Write(bytes.data(), bytes.size())) {
            return false;
        }
    }
    return true;
}
