#pragma once

#include <cstdint>

#include "terrain/TerrainSeed.h"

// The random numbers of the levels finer than the viewer's 129 x 129 map. The
// viewer's levels draw one MT19937 sequence in a fixed order; these are a
// pure function of (key, level, x, y) instead, so any thread can compute any
// point of a level, in any order, and get the same bits:
//
//   mix(z): z += 0x9E3779B97F4A7C15; z = (z ^ z >> 30) * 0xBF58476D1CE4E5B9;
//           z = (z ^ z >> 27) * 0x94D049BB133111EB; return z ^ z >> 31
//   digest = mix(number of key words); then for each word w: digest = mix(digest ^ w)
//   word(level, x, y) = mix(digest ^ mix(level << 48 | y << 24 | x)) >> 32
//   value = word / 2^32, in [0, 1) like the viewer's draws
//
// All arithmetic is on unsigned 64-bit integers, wrapping.
class FineLevelRandom {
public:
    explicit FineLevelRandom(const TerrainSeed& seed);

    uint32_t Word(uint32_t level, uint32_t x, uint32_t y) const
    {
        const uint64_t point = static_cast<uint64_t>(level) << 48 | static_cast<uint64_t>(y) << 24 | x;
        return static_cast<uint32_t>(Mix(digest ^ Mix(point)) >> 32);
    }

    double Value(uint32_t level, uint32_t x, uint32_t y) const { return Word(level, x, y) * (1.0 / 4294967296.0); }

    static uint64_t Mix(uint64_t z)
    {
        z += 0x9E3779B97F4A7C15u;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        return z ^ (z >> 31);
    }

private:
    uint64_t digest;
};
