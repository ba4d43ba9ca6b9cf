// Maps of any size: the sampling property against the viewer's own map, a
// plain reference for the levels below it, thread independence and the
// parameter corners.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "terrain/Array2D.h"
#include "terrain/DiamondSquareSteps.h"
#include "terrain/HeightMapGenerator.h"
#include "terrain/HeightMapOfSize.h"
#include "terrain/RandomSource.h"

namespace {

uint32_t Bits(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

TerrainParameters Parameters(float roughness, float exponent, const std::string& seedText = "")
{
    TerrainParameters parameters;
    parameters.roughness = roughness;
    parameters.falloffExponent = exponent;
    if (!seedText.empty()) {
        EXPECT_TRUE(TerrainSeed::FromText(seedText, parameters.seed));
    }
    return parameters;
}

Array2D<float> OfSize(uint32_t n, const TerrainParameters& parameters, unsigned threads = 0)
{
    Array2D<float> map(n, n);
    GenerateHeightMapOfSize(map, parameters, threads);
    return map;
}

// The viewer's own route: its globals, its generator.
Array2D<float> ViewerMap(const TerrainParameters& parameters)
{
    Array2D<float> map(129, 129);
    const TerrainSeed savedSeed = generationSeed;
    const float savedExponent = falloffExponent;
    generationSeed = parameters.seed;
    falloffExponent = parameters.falloffExponent;
    GenerateHeightMap(map, 128, 30.0f, parameters.roughness);
    generationSeed = savedSeed;
    falloffExponent = savedExponent;
    return map;
}

// Counts the lattice cells of `map` (every `every`-th) that differ in any bit
// from the viewer's cells they should hold.
int LatticeMismatches(const Array2D<float>& map, const Array2D<float>& viewer)
{
    const uint32_t n = map.GetWidth();
    int mismatches = 0;
    for (uint32_t j = 0; j < 129; ++j) {
        for (uint32_t i = 0; i < 129; ++i) {
            if (n >= 129) {
                const uint32_t s = (n - 1) / 128;
                mismatches += Bits(map.At(i * s, j * s)) != Bits(viewer.At(i, j));
            } else if (i < n && j < n) {
                const uint32_t every = 128 / (n - 1);
                mismatches += Bits(map.At(i, j)) != Bits(viewer.At(i * every, j * every));
            }
        }
    }
    return mismatches;
}

const TerrainParameters triples[] = {
    Parameters(0.5f, 1.0f),
    Parameters(0.62f, 1.7f, "seventeen"),
    Parameters(0.83f, 0.35f, "a longer seed, with spaces and 'quotes'"),
    Parameters(1.3f, 4.0f, "\xC3\xA9t\xC3\xA9"),
};

TEST(HeightMapOfSize, EverySizeHoldsTheViewersMapOnItsLattice)
{
    for (const TerrainParameters& parameters : triples) {
        const Array2D<float> viewer = ViewerMap(parameters);
        for (const uint32_t n : {33u, 65u, 129u, 257u, 1025u}) {
            SCOPED_TRACE("size " + std::to_string(n) + " seed '" + parameters.seed.Text() + "'");
            const Array2D<float> map = OfSize(n, parameters);
            EXPECT_EQ(LatticeMismatches(map, viewer), 0);
            if (n == 129) {
                EXPECT_EQ(std::memcmp(map.Row(0), viewer.Row(0), 129 * 129 * sizeof(float)), 0);
            }
        }
    }
}

// The levels below the viewer's, written as plainly as possible from the
// rule: the viewer's loops, column by column, with its edge skipping spelled
// out, MT19937 for the first seven levels and the stateless function after.
std::vector<float> PlainRawHeights(uint32_t n, const TerrainParameters& parameters)
{
    const int size = static_cast<int>(n) - 1;
    const int s = size / 128;
    std::vector<float> v(size_t(n) * n, 0.0f);
    auto V = [&](int x, int y) -> float& { return v[size_t(y) * n + x]; };
    auto inside = [&](int x, int y) { return x >= 0 && y >= 0 && x <= size && y <= size; };
    SeedRandomByKey(parameters.seed.Words().data(), static_cast<int>(parameters.seed.Words().size()));
    // The finer levels' numbers as the README states them, written out here
    // so that the documented function, not the class, is what is checked.
    auto mix = [](uint64_t z) {
        z += 0x9E3779B97F4A7C15u;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        return z ^ (z >> 31);
    };
    uint64_t digest = mix(parameters.seed.Words().size());
    for (const uint32_t word : parameters.seed.Words()) {
        digest = mix(digest ^ word);
    }
    auto documented = [&](uint64_t level, uint64_t x, uint64_t y) {
        return static_cast<double>(mix(digest ^ mix(level << 48 | y << 24 | x)) >> 32) / 4294967296.0;
    };

    float g = 30.0f;
    int level = 0;
    for (int step = size; step >= 2; step /= 2, ++level) {
        const int half = step / 2;
        g = g * parameters.roughness;
        // On the viewer's lattice the MT19937 sequence is drawn in its order.
        auto draw = [&](int x, int y) {
            return step > s ? RandomHalfOpen() : documented(level, x, y);
        };
        for (int x = 0; x < size; x += step) {
            for (int y = 0; y < size; y += step) {
                float a = V(x, y + step) + V(x, y);
                a = a + V(x + step, y);
                a = a + V(x + step, y + step);
                a = a * 0.25f;
                const double r = draw(x + half, y + half);
                const double d = step == size ? 30.0 : r * g * 2.0 - g;
                V(x + half, y + half) = static_cast<float>(a + d);
            }
        }
        for (int x = 0; x < size; x += step) {
            for (int y = 0; y < size; y += step) {
                const int points[2][2] = {{x, y + half}, {x + half, y}};
                for (const auto& p : points) {
                    const int px = p[0], py = p[1];
                    if (!inside(px - half, py) || !inside(px, py - half) || !inside(px + half, py) ||
                        !inside(px, py + half)) {
                        continue;
                    }
                    float a = V(px, py - half) + V(px, py + half);
                    a = a + V(px - half, py);
                    a = a + V(px + half, py);
                    a = a * 0.25f;
                    const float d = static_cast<float>(draw(px, py) * g * 2.0 - g);
                    V(px, py) = a + d;
                }
            }
        }
    }
    return v;
}

TEST(HeightMapOfSize, FinerLevelsContinueTheViewersAlgorithm)
{
    for (const TerrainParameters& parameters : {triples[1], triples[2]}) {
        for (const uint32_t n : {257u, 513u}) {
            SCOPED_TRACE("size " + std::to_string(n));
            std::vector<float> plain = PlainRawHeights(n, parameters);
            const int centre = static_cast<int>(n - 1) / 2;
            for (int j = 0; j < static_cast<int>(n); ++j) {
                for (int i = 0; i < static_cast<int>(n); ++i) {
                    float& cell = plain[size_t(j) * n + i];
                    const float factor = FalloffFactor(std::abs(i - centre), std::abs(j - centre),
                                                       static_cast<float>(centre), parameters.falloffExponent);
                    cell = Logistic(cell * factor, terrainLogistic);
                }
            }
            const Array2D<float> map = OfSize(n, parameters);
            int mismatches = 0;
            for (uint32_t y = 0; y < n; ++y) {
                for (uint32_t x = 0; x < n; ++x) {
                    mismatches += Bits(map.At(x, y)) != Bits(plain[size_t(y) * n + x]);
                }
            }
            EXPECT_EQ(mismatches, 0);
        }
    }
}

TEST(HeightMapOfSize, SameBitsOnOneThreadAndOnManyWhateverTheMapHeld)
{
    const TerrainParameters parameters = triples[1];
    const Array2D<float> one = OfSize(1025, parameters, 1);
    for (const unsigned threads : {2u, 3u, 8u}) {
        // Whatever the map held before (here NaN everywhere) is replaced.
        Array2D<float> many(1025, 1025);
        many.Fill(std::nanf(""));
        GenerateHeightMapOfSize(many, parameters, threads);
        EXPECT_EQ(std::memcmp(one.Row(0), many.Row(0), 1025 * 1025 * sizeof(float)), 0) << threads << " threads";
    }
}

// Scaling the distances and the radius by a power of two leaves d / radius,
// and so every factor, unchanged: the big map's falloff on its lattice is the
// viewer's.
TEST(HeightMapOfSize, FalloffOnTheLatticeIsTheViewersToTheBit)
{
    for (const float exponent : {1.0f, 1.7f, 0.001f, 300.0f}) {
        int mismatches = 0;
        for (int64_t s = 2; s <= 64; s *= 2) {
            for (int di = 0; di <= 64; ++di) {
                for (int dj = 0; dj <= 64; ++dj) {
                    mismatches += Bits(FalloffFactor(di * s, dj * s, 64.0f * s, exponent)) !=
                                  Bits(FalloffFactor(di, dj, 64.0f, exponent));
                }
            }
        }
        EXPECT_EQ(mismatches, 0) << "exponent " << exponent;
    }
}

TEST(HeightMapOfSize, BorderStaysAtTheRemappedZeroAndSeedsDiffer)
{
    const float remappedZero = Logistic(0.0f, terrainLogistic);
    const Array2D<float> a = OfSize(257, triples[1]);
    const Array2D<float> b = OfSize(257, Parameters(triples[1].roughness, triples[1].falloffExponent, "eighteen"));
    int borderOff = 0;
    int differing = 0;
    for (int y = 0; y < 257; ++y) {
        for (int x = 0; x < 257; ++x) {
            if (x == 0 || y == 0 || x == 256 || y == 256) {
                borderOff += Bits(a.At(x, y)) != Bits(remappedZero);
            }
            differing += Bits(a.At(x, y)) != Bits(b.At(x, y));
        }
    }
    EXPECT_EQ(borderOff, 0);
    EXPECT_GT(differing, 257 * 257 / 2);
}

TEST(HeightMapOfSize, DefaultSeedIsTheViewersFortyBytes)
{
    TerrainSeed spelled;
    ASSERT_TRUE(TerrainSeed::FromText("Quenby Marlowtide Sprocket Lantern Gambit", spelled));
    EXPECT_NE(spelled.Words(), TerrainSeed::Default().Words());  // 41 bytes: one word more
    ASSERT_TRUE(TerrainSeed::FromText(std::string("Quenby Marlowtide Sprocket Lantern Gambit", 40), spelled));
    EXPECT_EQ(spelled.Words(), TerrainSeed::Default().Words());
    EXPECT_TRUE(spelled.IsDefault());
    // Byte 0 is the low byte of word 0; a partial last word is zero-padded.
    ASSERT_TRUE(TerrainSeed::FromText("abcde", spelled));
    EXPECT_EQ(spelled.Words(), (std::vector<uint32_t>{0x64636261u, 0x65u}));
    EXPECT_FALSE(TerrainSeed::FromText("", spelled));
    EXPECT_FALSE(TerrainSeed::FromText(std::string(257, 'x'), spelled));
    EXPECT_TRUE(TerrainSeed::FromText(std::string(256, 'x'), spelled));
}

// At the corners of the accepted ranges every cell stays finite and in [0, 1].
TEST(HeightMapOfSize, ParameterCornersKeepEveryCellInTheUnitRange)
{
    for (const float roughness : {minRoughness, maxRoughness}) {
        for (const float exponent : {minFalloffExponent, maxFalloffExponent}) {
            for (const uint32_t n : {129u, 1025u}) {
                const Array2D<float> map = OfSize(n, Parameters(roughness, exponent));
                int bad = 0;
                for (uint32_t y = 0; y < n; ++y) {
                    for (uint32_t x = 0; x < n; ++x) {
                        const float v = map.At(x, y);
                        bad += !(std::isfinite(v) && v >= 0.0f && v <= 1.0f);
                    }
                }
                EXPECT_EQ(bad, 0) << "roughness " << roughness << " exponent " << exponent << " size " << n;
            }
        }
    }
}

TEST(HeightMapOfSize, AcceptsExactlyTheTwelveSizes)
{
    std::vector<uint32_t> accepted;
    for (uint32_t n = 0; n <= 300000; ++n) {
        if (IsMapCells(n)) {
            accepted.push_back(n);
        }
    }
    EXPECT_EQ(accepted, (std::vector<uint32_t>{33, 65, 129, 257, 513, 1025, 2049, 4097, 8193, 16385, 32769,
                                             65537, 131073}));
}

TEST(HeightMapOfSize, ProgressRisesToOne)
{
    std::vector<double> seen;
    Array2D<float> map(1025, 1025);
    GenerateHeightMapOfSize(map, triples[0], 2, [&](double fraction) { seen.push_back(fraction); });
    ASSERT_GT(seen.size(), 10u);
    for (size_t i = 1; i < seen.size(); ++i) {
        EXPECT_LE(seen[i - 1], seen[i] + 1e-12);
    }
    EXPECT_GT(seen.front(), 0.0);
    EXPECT_DOUBLE_EQ(seen.back(), 1.0);
}

}  // namespace
