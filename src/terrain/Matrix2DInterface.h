#pragma once

// Abstract grid of cells addressed as At(x, y): x is the column, y the row.
// Everything that works on "some grid" (the generator, the exporter) goes
// through these virtual operations only.
template <typename T>
class Matrix2DInterface {
public:
    // Per-cell work handed to ForEach: the cell and the caller's context record.
    using ElementFunction = void (*)(T* cell, void* context);

    virtual T& At(int x, int y) = 0;
    virtual const T& At(int x, int y) const = 0;
    virtual unsigned GetWidth() const = 0;
    virtual unsigned GetHeight() const = 0;
    virtual ~Matrix2DInterface() {}
    virtual void Fill(const T& value) = 0;

    // Row by row, x fastest; At is dispatched virtually so the grid's own
    // indexing rule applies.
    virtual void ForEach(ElementFunction function, void* context)
    {
        const unsigned width = GetWidth();
        const unsigned height = GetHeight();
        for (unsigned y = 0; y < height; ++y) {
            for (unsigned x = 0; x < width; ++x) {
                function(&At(static_cast<int>(x), static_cast<int>(y)), context);
            }
        }
    }
};
