#pragma once

// The per-point arithmetic of the terrain generator, shared by the viewer's
// 129 x 129 map and the maps of any size, so that both round every value in
// the same places and give the same bits.

#include <cmath>
#include <cstdint>

#include "terrain/HeightMapGenerator.h"

// The first level always lifts the centre by this much, whatever the
// amplitude, so the raw terrain is one mound with its top at 30.
constexpr double firstLevelLift = 30.0;

// The remap every generation uses: raw height 15 becomes 0.5, 0 about 2.9e-20
// and 30 rounds to 1.
constexpr LogisticParams terrainLogistic{0.0f, 1.0f, 1.0f, 3.0f, 15.0f};

// The level's amplitude as it is, at every point: the island's rule.
struct LevelAmplitude {
    float operator()(float /*mean*/, float g) const { return g; }
};

// Centre of the square whose corners are (x, y) and (x + step, y + step): the
// mean of the corners plus a displacement in [-g', g'), g' = amplitude(mean,
// g). draw() is called after the reads, so a point abandoned on a read draws
// nothing.
template <typename Cells, typename Draw, typename Amplitude = LevelAmplitude>
inline void DiamondPoint(const Cells& v, int x, int y, int step, float levelG, bool firstLevel, Draw draw,
                         const Amplitude& amplitude = {})
{
    const int half = step / 2;
    float a = v(x, y + step) + v(x, y);
    a = a + v(x + step, y);
    a = a + v(x + step, y + step);
    a = a * 0.25f;
    const float g = amplitude(a, levelG);
    const double r = draw();
    const double displacement = firstLevel ? firstLevelLift : r * g * 2.0 - g;
    v(x + half, y + half) = static_cast<float>(a + displacement);
}

// Edge midpoint (px, py): the mean of its four neighbours at distance half,
// read below, above, left, right, plus a displacement in [-g', g'), g' as
// above.
template <typename Cells, typename Draw, typename Amplitude = LevelAmplitude>
inline void SquarePoint(const Cells& v, int px, int py, int half, float levelG, Draw draw,
                        const Amplitude& amplitude = {})
{
    const float below = v(px, py + half);
    const float above = v(px, py - half);
    const float left = v(px - half, py);
    const float right = v(px + half, py);
    float a = above + below;
    a = a + left;
    a = a + right;
    a = a * 0.25f;
    const float g = amplitude(a, levelG);
    const double r = draw();
    const float displacement = static_cast<float>(r * g * 2.0 - g);
    v(px, py) = a + displacement;
}

// The radial falloff factor at column and row distances di, dj from the
// centre: pow(1 - d / radius, exponent), 0 beyond the radius, with d rounded
// to a float first. For a radius scaled by a power of two and distances
// scaled alike, d / radius, and so the factor, is unchanged to the bit.
inline float FalloffFactor(int64_t di, int64_t dj, float radius, float exponent)
{
    const float d = static_cast<float>(std::sqrt(static_cast<double>(di * di + dj * dj)));
    if (d > radius) {
        return 0.0f;
    }
    const double base = 1.0 - static_cast<double>(d) / radius;
    // pow(base, 1) is base itself (glibc's pow is within 0.52 ulp and base
    // is a double), so the default exponent skips a pow a cell where the
    // factors cannot be shared (the tiles of a world).
    return static_cast<float>(exponent == 1.0f ? base : std::pow(base, static_cast<double>(exponent)));
}

// The logistic remap of one raw height, in double, stored as a float.
inline float Logistic(float cell, const LogisticParams& p)
{
    const double t = (static_cast<double>(cell) - p.offset) * p.scale;
    return static_cast<float>(p.ceiling / (std::exp((p.midpoint - t) * p.steepness) + 1.0));
}

// The remap with the logistic's steepness as a parameter, the sharpness K.
// K = 3 is the viewer's remap, to the bit. Any other K is shifted and scaled
// so that the open sea (raw height 0) is exactly 0 and nothing passes 1:
//   v = (L(h) - L(0)) / (1 - L(0)), L(h) = 1 / (exp((15 - h) K) + 1),
// in double, raw heights below the sea's staying 0, stored as a float.
class TerrainShape {
public:
    explicit TerrainShape(float sharpness)
        : sharpness(sharpness), viewers(sharpness == terrainLogistic.steepness),
          sea(1.0 / (std::exp(15.0 * static_cast<double>(sharpness)) + 1.0))
    {
    }

    float operator()(float cell) const
    {
        if (viewers) {
            return Logistic(cell, terrainLogistic);
        }
        const double k = sharpness;
        const double v = 1.0 / (std::exp((15.0 - static_cast<double>(cell)) * k) + 1.0);
        const double shaped = (v - sea) / (1.0 - sea);
        return shaped > 0.0 ? static_cast<float>(shaped) : 0.0f;
    }

private:
    float sharpness;
    bool viewers;
    double sea;
};
