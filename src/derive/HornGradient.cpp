#include "derive/HornGradient.h"

#include <cassert>

#include "terrain/ParallelRows.h"

HornGradient::HornGradient(const Array2D<float>& map, const MapScale& scale)
    : map(map),
      factor(scale.relief / (8 * scale.cellSize)),
      below(map.GetWidth() + 2),
      here(map.GetWidth() + 2),
      above(map.GetWidth() + 2)
{
    assert(map.GetWidth() >= 2 && map.GetHeight() >= 2);
}

// Row y (-1 and the height stand for the rows one past either edge) as
// doubles at [1, width], with the extrapolated columns at 0 and width + 1.
void HornGradient::Extend(int y, std::vector<double>& row) const
{
    const unsigned width = map.GetWidth();
    const int height = static_cast<int>(map.GetHeight());
    if (y >= 0 && y < height) {
        const float* cells = map.Row(static_cast<uint32_t>(y));
        for (unsigned x = 0; x < width; ++x) {
            row[x + 1] = cells[x];
        }
    } else {
        // One past an edge: 2 * the edge row - the row inside it.
        const float* edge = map.Row(y < 0 ? 0 : height - 1);
        const float* inside = map.Row(y < 0 ? 1 : height - 2);
        for (unsigned x = 0; x < width; ++x) {
            row[x + 1] = 2.0 * edge[x] - inside[x];
        }
    }
    row[0] = 2 * row[1] - row[2];
    row[width + 1] = 2 * row[width] - row[width - 1];
}

void HornGradient::Row(unsigned y, double* east, double* north)
{
    Extend(static_cast<int>(y) - 1, below);
    Extend(static_cast<int>(y), here);
    Extend(static_cast<int>(y) + 1, above);
    for (unsigned x = 0; x < map.GetWidth(); ++x) {
        // Column x of the map is x + 1 in the extended rows.
        const Gradient gradient = HornGradientAt(&above[x], &here[x], &below[x], factor);
        east[x] = gradient.east;
        north[x] = gradient.north;
    }
}

void ForEachGradientRow(const Array2D<float>& map, const MapScale& scale, unsigned threads,
                        const std::function<void(unsigned y, const double* east, const double* north)>& visit)
{
    ParallelRows(static_cast<int>(map.GetHeight()), threads, [&](int begin, int end) {
        HornGradient gradient(map, scale);
        std::vector<double> east(map.GetWidth());
        std::vector<double> north(map.GetWidth());
        for (int y = begin; y < end; ++y) {
            gradient.Row(static_cast<unsigned>(y), east.data(), north.data());
            visit(static_cast<unsigned>(y), east.data(), north.data());
        }
    });
}
