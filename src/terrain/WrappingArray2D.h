#pragma once

#include <cassert>
#include <cstdint>
#include <vector>

#include "terrain/Matrix2DInterface.h"

// Grid whose coordinates wrap at every edge, so it tiles: -1 is the last
// column or row and the width is column 0 again. It never throws.
template <typename T>
class WrappingArray2D : public Matrix2DInterface<T> {
public:
    WrappingArray2D(uint32_t width, uint32_t height) : _data_x_l(width), _data_y_l(height)
    {
        assert(_data_x_l != 0);
        assert(_data_y_l != 0);
        data.assign(_DataBlockSize(), T(0));
    }

    T& At(int x, int y) override { return data[Element(x, y)]; }
    const T& At(int x, int y) const override { return data[Element(x, y)]; }
    unsigned GetWidth() const override { return _data_x_l; }
    unsigned GetHeight() const override { return _data_y_l; }

    void Fill(const T& value) override
    {
        data.clear();
        data.insert(data.end(), _DataBlockSize(), value);
    }

private:
    uint32_t _DataBlockSize() const { return _data_x_l * _data_y_l; }

    // Least non-negative remainder, done in 64 bits so that no int overflows.
    static int64_t Wrap(int value, uint32_t extent)
    {
        const int64_t r = static_cast<int64_t>(value) % extent;
        return r < 0 ? r + extent : r;
    }

    size_t Element(int x, int y) const
    {
        const size_t element =
            static_cast<size_t>(Wrap(x, _data_x_l) + static_cast<int64_t>(_data_x_l) * Wrap(y, _data_y_l));
        assert(element < _DataBlockSize());
        assert(element < data.size());
        return element;
    }

    uint32_t _data_x_l;
    uint32_t _data_y_l;
    std::vector<T> data;
};
