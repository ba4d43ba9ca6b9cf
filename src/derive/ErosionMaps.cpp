#include "derive/ErosionMaps.h"

#include <algorithm>
#include <cassert>
#include <cmath>

double ErosionTraceFullScaleMetres(const MapScale& scale) { return scale.relief; }

Array2D<float> ErosionTraceMetres(const Array2D<float>& heights, const Array2D<float>& uneroded, ErosionTrace trace,
                                  double relief)
{
    const unsigned width = heights.GetWidth();
    const unsigned height = heights.GetHeight();
    assert(uneroded.GetWidth() == width && uneroded.GetHeight() == height);
    Array2D<float> metres(width, height);
    for (unsigned y = 0; y < height; ++y) {
        const float* after = heights.Row(y);
        const float* before = uneroded.Row(y);
        float* out = metres.Row(y);
        for (unsigned x = 0; x < width; ++x) {
            const double change = (double(after[x]) - double(before[x])) * relief;
            out[x] = float(std::max(0.0, trace == ErosionTrace::Wear ? -change : change));
        }
    }
    return metres;
}
