#include "derive/SurfaceMaps.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "derive/HornGradient.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegrees = 180 / kPi;

uint16_t UnitToSample16(double component)
{
    return static_cast<uint16_t>(std::floor((component + 1) * 32767.5 + 0.5));
}

double Ramp(double value, double from, double to)
{
    return std::clamp((value - from) / (to - from), 0.0, 1.0);
}

uint8_t RoundTo255(double fraction)
{
    return static_cast<uint8_t>(std::floor(std::clamp(fraction, 0.0, 1.0) * 255 + 0.5));
}

// Source pixel spans [first, first + count) and their weights for each
// output pixel along one axis of a downsizing from `from` to `to` pixels.
struct Coverage {
    unsigned first;
    std::vector<double> weights;
};

std::vector<Coverage> CoverageOf(unsigned from, unsigned to)
{
    std::vector<Coverage> spans(to);
    const double step = double(from) / to;
    for (unsigned i = 0; i < to; ++i) {
        const double begin = i * step;
        const double end = (i + 1) * step;
        const unsigned first = static_cast<unsigned>(std::floor(begin));
        const unsigned last = std::min(from, static_cast<unsigned>(std::ceil(end)));
        spans[i].first = first;
        for (unsigned k = first; k < last; ++k) {
            const double covered = std::min<double>(end, k + 1) - std::max<double>(begin, k);
            spans[i].weights.push_back(covered / step);
        }
    }
    return spans;
}

}  // namespace

double SlopeDegrees(const Gradient& gradient)
{
    return std::atan(std::sqrt(gradient.east * gradient.east + gradient.north * gradient.north)) * kDegrees;
}

double Hillshade(const Gradient& gradient)
{
    static const double azimuth = 315 / kDegrees;
    static const double altitude = 45 / kDegrees;
    static const double lightEast = std::cos(altitude) * std::sin(azimuth);
    static const double lightNorth = std::cos(altitude) * std::cos(azimuth);
    static const double lightUp = std::sin(altitude);
    const double lit = (lightUp - gradient.east * lightEast - gradient.north * lightNorth) /
                       std::sqrt(1 + gradient.east * gradient.east + gradient.north * gradient.north);
    return std::max(0.0, lit);
}

SplatWeights SplatWeightsAt(float height, const Gradient& gradient, double relief, float seaLevel,
                            const SplatThresholds& thresholds)
{
    const double above = (double(height) - seaLevel) * relief;
    const double rock = Ramp(SlopeDegrees(gradient), thresholds.rockDegrees - 5, thresholds.rockDegrees + 5);
    const double snow = (1 - rock) * Ramp(above, thresholds.snowMetres - 100, thresholds.snowMetres + 100);
    const double sand = (1 - rock - snow) * (1 - Ramp(above, thresholds.beachMetres, 2 * thresholds.beachMetres));
    const double grass = 1 - rock - snow - sand;
    return SplatWeights{sand, grass, rock, snow};
}

Raster16 NormalMap(const Array2D<float>& map, const MapScale& scale, NormalConvention convention, unsigned threads)
{
    Raster16 raster(map.GetWidth(), map.GetHeight(), 3);
    ForEachGradientRow(map, scale, threads, [&](unsigned y, const double* east, const double* north) {
        for (unsigned x = 0; x < raster.width; ++x) {
            const double length = std::sqrt(1 + east[x] * east[x] + north[x] * north[x]);
            uint16_t* pixel = raster.AtCell(x, y);
            pixel[0] = UnitToSample16(-east[x] / length);
            pixel[1] = UnitToSample16(-north[x] / length);
            pixel[2] = UnitToSample16(1 / length);
            if (convention == NormalConvention::DirectX) {
                pixel[1] = static_cast<uint16_t>(65535 - pixel[1]);
            }
        }
    });
    return raster;
}

Raster16 SlopeMap(const Array2D<float>& map, const MapScale& scale, unsigned threads)
{
    Raster16 raster(map.GetWidth(), map.GetHeight(), 1);
    ForEachGradientRow(map, scale, threads, [&](unsigned y, const double* east, const double* north) {
        uint16_t* row = raster.AtCell(0, y);
        for (unsigned x = 0; x < raster.width; ++x) {
            row[x] = static_cast<uint16_t>(std::floor(SlopeDegrees(Gradient{east[x], north[x]}) * 65535 / 90 + 0.5));
        }
    });
    return raster;
}

Raster8 ShadeMap(const Array2D<float>& map, const MapScale& scale, unsigned threads)
{
    Raster8 raster(map.GetWidth(), map.GetHeight(), 1);
    ForEachGradientRow(map, scale, threads, [&](unsigned y, const double* east, const double* north) {
        uint8_t* row = raster.AtCell(0, y);
        for (unsigned x = 0; x < raster.width; ++x) {
            row[x] = static_cast<uint8_t>(1 + std::floor(254 * Hillshade(Gradient{east[x], north[x]}) + 0.5));
        }
    });
    return raster;
}

Raster8 SplatMap(const Array2D<float>& map, const MapScale& scale, float seaLevel, const SplatThresholds& thresholds,
                 unsigned threads)
{
    Raster8 raster(map.GetWidth(), map.GetHeight(), 4);
    ForEachGradientRow(map, scale, threads, [&](unsigned y, const double* east, const double* north) {
        const float* heights = map.Row(y);
        for (unsigned x = 0; x < raster.width; ++x) {
            const SplatWeights w =
                SplatWeightsAt(heights[x], Gradient{east[x], north[x]}, scale.relief, seaLevel, thresholds);
            uint8_t* pixel = raster.AtCell(x, y);
            const uint8_t upToSand = RoundTo255(w.sand);
            const uint8_t upToGrass = RoundTo255(w.sand + w.grass);
            const uint8_t upToRock = RoundTo255(w.sand + w.grass + w.rock);
            pixel[0] = upToSand;
            pixel[1] = static_cast<uint8_t>(upToGrass - upToSand);
            pixel[2] = static_cast<uint8_t>(upToRock - upToGrass);
            pixel[3] = static_cast<uint8_t>(255 - upToRock);
        }
    });
    return raster;
}

Raster8 Downsized(const Raster8& raster, unsigned largest)
{
    const unsigned side = std::max(raster.width, raster.height);
    if (side <= largest) {
        return raster;
    }
    const auto shrink = [&](unsigned length) {
        return std::max(1u, static_cast<unsigned>(std::floor(double(length) * largest / side + 0.5)));
    };
    const unsigned width = shrink(raster.width);
    const unsigned height = shrink(raster.height);
    const unsigned channels = raster.channels;
    const std::vector<Coverage> columns = CoverageOf(raster.width, width);
    const std::vector<Coverage> rows = CoverageOf(raster.height, height);

    // Across first, into doubles, then down.
    std::vector<double> across(size_t(width) * raster.height * channels, 0.0);
    for (unsigned y = 0; y < raster.height; ++y) {
        const uint8_t* source = raster.Row(y);
        double* target = &across[size_t(y) * width * channels];
        for (unsigned i = 0; i < width; ++i) {
            for (size_t k = 0; k < columns[i].weights.size(); ++k) {
                const uint8_t* pixel = source + size_t(columns[i].first + k) * channels;
                for (unsigned c = 0; c < channels; ++c) {
                    target[size_t(i) * channels + c] += columns[i].weights[k] * pixel[c];
                }
            }
        }
    }
    Raster8 small(width, height, channels);
    std::vector<double> sum(size_t(width) * channels);
    for (unsigned j = 0; j < height; ++j) {
        std::fill(sum.begin(), sum.end(), 0.0);
        for (size_t k = 0; k < rows[j].weights.size(); ++k) {
            const double* line = &across[size_t(rows[j].first + k) * width * channels];
            for (size_t s = 0; s < sum.size(); ++s) {
                sum[s] += rows[j].weights[k] * line[s];
            }
        }
        uint8_t* target = small.Row(j);
        for (size_t s = 0; s < sum.size(); ++s) {
            target[s] = static_cast<uint8_t>(std::min(255.0, std::floor(sum[s] + 0.5)));
        }
    }
    return small;
}
