#include "app/SurfaceColours.h"

#include <cmath>
#include <functional>

#include "derive/HornGradient.h"
#include "derive/MapScale.h"
#include "derive/SurfaceMaps.h"

namespace {

// The tool's default sea level, as a height.
constexpr float kSeaLevel = 0.01f;

struct Rgb {
    float r, g, b;
};
constexpr Rgb kSea = {0.11f, 0.29f, 0.47f};
constexpr Rgb kSand = {0.89f, 0.82f, 0.60f};
constexpr Rgb kGrass = {0.40f, 0.60f, 0.25f};
constexpr Rgb kRock = {0.55f, 0.51f, 0.47f};
constexpr Rgb kSnow = {0.97f, 0.97f, 1.00f};

const char* const kNames[kViewModeCount] = {"height", "shaded", "colour"};

// Visits every cell with its colour, on this thread.
void ForEachColour(const Array2D<float>& map, ViewMode mode, const std::function<void(size_t cell, Rgb colour)>& visit)
{
    const unsigned width = map.GetWidth();
    if (mode == ViewMode::Height) {
        for (unsigned y = 0; y < map.GetHeight(); ++y) {
            for (unsigned x = 0; x < width; ++x) {
                const float h = map.Row(y)[x];
                visit(size_t(y) * width + x, Rgb{h, h, h});
            }
        }
        return;
    }
    MapScale scale;
    scale.cellSize = CellSizeOf(kDefaultExtentMetres, width);
    scale.relief = kDefaultReliefMetres;
    const SplatThresholds thresholds;
    ForEachGradientRow(map, scale, 1, [&](unsigned y, const double* east, const double* north) {
        const float* heights = map.Row(y);
        for (unsigned x = 0; x < width; ++x) {
            const Gradient gradient{east[x], north[x]};
            const float light = float(Hillshade(gradient));
            Rgb colour{light, light, light};
            if (mode == ViewMode::Colour) {
                if (heights[x] <= kSeaLevel) {
                    colour = kSea;
                } else {
                    const SplatWeights w = SplatWeightsAt(heights[x], gradient, scale.relief, kSeaLevel, thresholds);
                    const auto mix = [&](float Rgb::*channel) {
                        return float(w.sand * kSand.*channel + w.grass * kGrass.*channel +
                                     w.rock * kRock.*channel + w.snow * kSnow.*channel) * light;
                    };
                    colour = Rgb{mix(&Rgb::r), mix(&Rgb::g), mix(&Rgb::b)};
                }
            }
            visit(size_t(y) * width + x, colour);
        }
    });
}

uint8_t Byte(float component) { return uint8_t(std::lround(std::fmin(std::fmax(component, 0.0f), 1.0f) * 255)); }

}  // namespace

const char* ViewModeName(ViewMode mode) { return kNames[int(mode)]; }

bool ParseViewMode(const std::string& text, ViewMode& mode)
{
    for (int k = 0; k < kViewModeCount; ++k) {
        if (text == kNames[k]) {
            mode = ViewMode(k);
            return true;
        }
    }
    return false;
}

ViewMode NextViewMode(ViewMode mode) { return ViewMode((int(mode) + 1) % kViewModeCount); }

std::vector<ColourRGBA> SurfaceColours(const Array2D<float>& map, ViewMode mode)
{
    std::vector<ColourRGBA> colours(size_t(map.GetWidth()) * map.GetHeight());
    ForEachColour(map, mode, [&](size_t cell, Rgb c) { colours[cell] = ColourRGBA{c.r, c.g, c.b, 1.0f}; });
    return colours;
}

VertexColours SurfaceColourBytes(const Array2D<float>& map, ViewMode mode)
{
    VertexColours bytes(size_t(map.GetWidth()) * map.GetHeight() * 4);
    ForEachColour(map, mode, [&](size_t cell, Rgb c) {
        uint8_t* pixel = &bytes[4 * cell];
        pixel[0] = Byte(c.r);
        pixel[1] = Byte(c.g);
        pixel[2] = Byte(c.b);
        pixel[3] = 255;
    });
    return bytes;
}
