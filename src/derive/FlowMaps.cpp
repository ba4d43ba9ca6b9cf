#include "derive/FlowMaps.h"

#include <algorithm>
#include <cassert>
#include <cmath>

Raster16 FlowMap(const Array2D<float>& heights, const Array2D<float>& upstream, float seaLevel)
{
    const unsigned width = upstream.GetWidth();
    const unsigned height = upstream.GetHeight();
    assert(heights.GetWidth() == width && heights.GetHeight() == height);
    Raster16 raster(width, height, 1);
    for (unsigned y = 0; y < height; ++y) {
        const float* h = heights.Row(y);
        const float* area = upstream.Row(y);
        uint16_t* row = raster.AtCell(0, y);
        for (unsigned x = 0; x < width; ++x) {
            const double sample = 1 + std::floor(2048 * std::log2(double(area[x])) + 0.5);
            row[x] = h[x] <= seaLevel ? 0 : uint16_t(std::min(65535.0, sample));
        }
    }
    return raster;
}

Raster8 RiverMap(const Array2D<float>& heights, const Array2D<float>& upstream, float seaLevel, double cellArea,
                 double riverArea)
{
    const unsigned width = upstream.GetWidth();
    const unsigned height = upstream.GetHeight();
    assert(heights.GetWidth() == width && heights.GetHeight() == height);
    Raster8 raster(width, height, 1);
    for (unsigned y = 0; y < height; ++y) {
        const float* h = heights.Row(y);
        const float* area = upstream.Row(y);
        uint8_t* row = raster.AtCell(0, y);
        for (unsigned x = 0; x < width; ++x) {
            row[x] = h[x] > seaLevel && double(area[x]) * cellArea > riverArea ? 255 : 0;
        }
    }
    return raster;
}
