#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "terrain/Matrix2DInterface.h"

// Bounded grid: a coordinate outside it throws int 0, which callers (the
// generator) catch to skip points whose neighbours fall off the edge.
template <typename T>
class Array2D : public Matrix2DInterface<T> {
public:
    Array2D(uint32_t width, uint32_t height)
        : _data_x_l(width), _data_y_l(height), data(_DataBlockSize(), T(0))
    {
    }

    T& At(int x, int y) override { return data[Element(x, y)]; }
    const T& At(int x, int y) const override { return data[Element(x, y)]; }
    unsigned GetWidth() const override { return _data_x_l; }
    unsigned GetHeight() const override { return _data_y_l; }

    // A row's cells, x = 0 first: for passes over large maps that would
    // otherwise pay the bounds check and the dispatch on every cell.
    T* Row(uint32_t y)
    {
        assert(y < _data_y_l);
        return data.data() + static_cast<size_t>(y) * _data_x_l;
    }
    const T* Row(uint32_t y) const
    {
        assert(y < _data_y_l);
        return data.data() + static_cast<size_t>(y) * _data_x_l;
    }

    void Fill(const T& value) override
    {
        data.clear();
        data.insert(data.end(), _DataBlockSize(), value);
    }

private:
    uint32_t _DataBlockSize() const { return _data_x_l * _data_y_l; }

    size_t Element(int x, int y) const
    {
        if (x < 0 || y < 0 || static_cast<uint32_t>(x) >= _data_x_l ||
            static_cast<uint32_t>(y) >= _data_y_l) {
            throw 0;
        }
        const size_t element = static_cast<size_t>(x) + static_cast<size_t>(y) * _data_x_l;
        assert(element < _DataBlockSize());
        assert(element < data.size());
        return element;
    }

    uint32_t _data_x_l;
    uint32_t _data_y_l;
    std::vector<T> data;
};
