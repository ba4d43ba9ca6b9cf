#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A picture about to be written: width x height pixels of `channels`
// interleaved samples each, rows in file order, top (north, grid row N - 1)
// first, as PNG stores them. Sample is uint8_t or uint16_t.
template <typename Sample>
struct Raster {
    Raster() = default;
    Raster(unsigned width, unsigned height, unsigned channels)
        : width(width), height(height), channels(channels), samples(size_t(width) * height * channels)
    {
    }

    Sample* Row(unsigned fileRow) { return samples.data() + size_t(fileRow) * width * channels; }
    const Sample* Row(unsigned fileRow) const { return samples.data() + size_t(fileRow) * width * channels; }
    // The pixel of grid cell (x, y), y counted from the bottom as the map's rows are.
    Sample* AtCell(unsigned x, unsigned y) { return Row(height - 1 - y) + size_t(x) * channels; }
    const Sample* AtCell(unsigned x, unsigned y) const { return Row(height - 1 - y) + size_t(x) * channels; }

    unsigned width = 0;
    unsigned height = 0;
    unsigned channels = 1;
    std::vector<Sample> samples;
};

using Raster8 = Raster<uint8_t>;
using Raster16 = Raster<uint16_t>;
