#pragma once

#include "terrain/Matrix2DInterface.h"
#include "terrain/WrappingArray2D.h"

// Four-neighbour blur into a tiling grid. The sum is divided by 5, not 4:
// the cell itself is left out of the sum but still counted. Neighbours are
// read through the source's own At, so a bounded source throws int 0 at its
// first cell and no grid is returned.
template <typename T>
WrappingArray2D<T> Smooth(const Matrix2DInterface<T>& source)
{
    WrappingArray2D<T> result(source.GetWidth(), source.GetHeight());
    for (int x = 0; static_cast<unsigned>(x) < source.GetWidth(); ++x) {
        for (int y = 0; static_cast<unsigned>(y) < source.GetHeight(); ++y) {
            T& cell = result.At(x, y);
            const T& left = source.At(x - 1, y);
            const T& right = source.At(x + 1, y);
            const T& above = source.At(x, y - 1);
            const T& below = source.At(x, y + 1);
            T sum = right + left;
            sum = sum + above;
            sum = sum + below;
            cell = sum / T(5.0);
        }
    }
    return result;
}
