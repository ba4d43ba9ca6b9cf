// Windows of the map against the whole map, bit for bit: small and large
// windows, odd offsets, the edges and corners, sizes below and above the
// viewer's; and, beyond the sizes held whole, against the viewer's map on
// the lattice.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <cmath>

#include "terrain/Array2D.h"
#include "terrain/DiamondSquareSteps.h"
#include "terrain/HeightMapGenerator.h"
#include "terrain/HeightMapOfSize.h"
#include "terrain/HeightMapWindow.h"

namespace {

TerrainParameters Parameters(float roughness, float exponent, const std::string& seedText)
{
    TerrainParameters parameters;
    parameters.roughness = roughness;
    parameters.falloffExponent = exponent;
    EXPECT_TRUE(TerrainSeed::FromText(seedText, parameters.seed));
    return parameters;
}

struct Rect {
    uint32_t x0, y0, width, height;
};

// Cells of the window that differ in any bit from the whole map's.
int Mismatches(const Array2D<float>& whole, const Array2D<float>& window, const Rect& r)
{
    int mismatches = 0;
    for (uint32_t y = 0; y < r.height; ++y) {
        mismatches += std::memcmp(window.Row(y), whole.Row(r.y0 + y) + r.x0, r.width * sizeof(float)) != 0;
    }
    return mismatches;
}

// The viewer's remap and a gentle sharpness (whose remap is per cell too).
TEST(HeightMapWindow, EveryWindowHoldsTheWholeMapsCells)
{
    for (const float sharpness : {3.0f, 0.25f})
    for (const uint32_t n : {65u, 129u, 1025u, 2049u}) {
        if (sharpness != 3.0f && n > 1025) {
            continue;
        }
        TerrainParameters parameters = Parameters(0.62f, 1.7f, "seventeen");
        parameters.sharpness = sharpness;
        Array2D<float> whole(n, n);
        GenerateHeightMapOfSize(whole, parameters, 2);
        const HeightMapWindows windows(n, parameters);
        const uint32_t last = n - 1;
        const Rect rects[] = {
            {0, 0, n, n},                       // the whole map
            {0, 0, 1, 1},                       // a corner cell
            {last, last, 1, 1},                 // the opposite one
            {3, 5, 7, 2},                       // odd offsets near the south-west
            {n / 2 - 3, n / 2 + 1, 9, 13},      // across the middle
            {last - 20, 0, 21, 17},             // the east edge, south
            {0, last - 32, 33, 33},             // the west edge, north
            {17, 1, n - 34, 3},                 // a long strip
            {n / 3, n / 5, n / 2, n / 4},       // large, at uneven places
        };
        for (const Rect& r : rects) {
            SCOPED_TRACE("sharpness " + std::to_string(sharpness) + " size " + std::to_string(n) + " window " + std::to_string(r.x0) + "," +
                         std::to_string(r.y0) + " " + std::to_string(r.width) + "x" + std::to_string(r.height));
            Array2D<float> window(r.width, r.height);
            window.Fill(-1.0f);  // whatever it held is replaced
            windows.Generate(window, r.x0, r.y0, 2);
            EXPECT_EQ(Mismatches(whole, window, r), 0);
        }
    }
}

TEST(HeightMapWindow, SameBitsOnAnyNumberOfThreads)
{
    const TerrainParameters parameters = Parameters(1.3f, 4.0f, "\xC3\xA9t\xC3\xA9");
    const HeightMapWindows windows(2049, parameters);
    Array2D<float> one(301, 257);
    windows.Generate(one, 999, 1001, 1);
    for (const unsigned threads : {2u, 5u}) {
        Array2D<float> many(301, 257);
        windows.Generate(many, 999, 1001, threads);
        EXPECT_EQ(std::memcmp(one.Row(0), many.Row(0), 301 * 257 * sizeof(float)), 0) << threads;
    }
}

// Past the sizes held whole, a window still holds the viewer's cells on its
// lattice (every 1024th cell at 131073) and windows agree where they meet.
TEST(HeightMapWindow, LargestWorldHoldsTheViewersMapOnItsLattice)
{
    const TerrainParameters parameters = Parameters(0.5f, 1.0f, "a world of its own");
    Array2D<float> viewer(129, 129);
    const TerrainSeed savedSeed = generationSeed;
    const float savedExponent = falloffExponent;
    generationSeed = parameters.seed;
    falloffExponent = parameters.falloffExponent;
    GenerateHeightMap(viewer, 128, 30.0f, parameters.roughness);
    generationSeed = savedSeed;
    falloffExponent = savedExponent;

    const uint32_t n = maxMapCells;
    const uint32_t s = (n - 1) / 128;
    const HeightMapWindows windows(n, parameters);
    int mismatches = 0;
    for (const uint32_t i : {0u, 37u, 64u, 100u, 127u}) {
        for (const uint32_t j : {0u, 41u, 64u, 90u, 127u}) {
            // A 33-cell window whose south-west corner is lattice cell (i, j)
            // and whose north-east corner lies between lattice cells.
            Array2D<float> window(33, 33);
            windows.Generate(window, i * s, j * s, 2);
            mismatches += std::memcmp(&window.At(0, 0), &viewer.At(i, j), sizeof(float)) != 0;
            // The same cells from a window that ends at them.
            Array2D<float> before(17, 17);
            windows.Generate(before, i * s + 16, j * s + 16, 1);
            mismatches += std::memcmp(&window.At(16, 16), &before.At(0, 0), sizeof(float)) != 0;
            mismatches += std::memcmp(&window.At(32, 32), &before.At(16, 16), sizeof(float)) != 0;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

// The halo is two cells of each level a side: small beside a large window.
TEST(HeightMapWindow, HaloGrowsWithTheLevelsNotTheWindow)
{
    const HeightMapWindows windows(4097, TerrainParameters{});
    const uint64_t own = 1025ull * 1025;
    const uint64_t computed = windows.CellsComputed(1024, 2048, 1025, 1025);
    EXPECT_GT(computed, own);
    EXPECT_LT(computed, own * 3 / 2);  // the coarser levels add about a third
    // Beyond what the whole map computes for the same cells: a per cent.
    const uint64_t inside = windows.CellsInside(1024, 2048, 1025, 1025);
    EXPECT_GT(computed, inside);
    EXPECT_LT(computed, inside + inside / 50);
    EXPECT_EQ(windows.CellsComputed(0, 0, 4097, 4097), [] {
        uint64_t total = 0;
        for (uint64_t side = 4097; side > 129; side = (side + 1) / 2) {
            total += side * side;
        }
        return total;
    }());
    EXPECT_EQ(windows.CellsInside(0, 0, 4097, 4097), windows.CellsComputed(0, 0, 4097, 4097));
}

}  // namespace

namespace {

// The default exponent skips pow: the factors must be the ones pow gives.
TEST(HeightMapWindow, FalloffOfExponentOneIsPowsToTheBit)
{
    volatile double one = 1.0;  // kept from the compiler, which would fold pow(x, 1)
    int mismatches = 0;
    for (int64_t di = 0; di <= 16384; di += 7) {
        for (int64_t dj = 0; dj <= 16384; dj += 131) {
            const float radius = 16384.0f;
            const float d = static_cast<float>(std::sqrt(static_cast<double>(di * di + dj * dj)));
            const float expected =
                d > radius ? 0.0f : static_cast<float>(std::pow(1.0 - static_cast<double>(d) / radius, one));
            const float factor = FalloffFactor(di, dj, radius, 1.0f);
            mismatches += std::memcmp(&expected, &factor, sizeof factor) != 0;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

}  // namespace
