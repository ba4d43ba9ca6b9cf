#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "terrain/Array2D.h"
#include "terrain/HeightMapGenerator.h"
#include "terrain/RandomSource.h"

namespace {

constexpr int side = 129;
// A raw 0 through the remap: 1 / (1 + e^45).
const float borderHeight = 2.8625186e-20f;

std::vector<uint32_t> SeedKey()
{
    const char text[] = "Quenby Marlowtide Sprocket Lantern Gambit";
    std::vector<uint32_t> key(10);
    for (int i = 0; i < 40; ++i) {
        key[i / 4] |= static_cast<uint32_t>(static_cast<unsigned char>(text[i])) << (8 * (i % 4));
    }
    return key;
}

void SeedFromKey()
{
    SeedRandomByKey(SeedKey().data(), 10);
}

std::vector<float> Cells(const Matrix2DInterface<float>& grid)
{
    std::vector<float> cells;
    for (unsigned y = 0; y < grid.GetHeight(); ++y) {
        for (unsigned x = 0; x < grid.GetWidth(); ++x) {
            cells.push_back(grid.At(static_cast<int>(x), static_cast<int>(y)));
        }
    }
    return cells;
}

bool SameBits(const std::vector<float>& a, const std::vector<float>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

bool OnBorder(int x, int y)
{
    return x == 0 || y == 0 || x == side - 1 || y == side - 1;
}

// A second generator written as plainly as possible: a bare vector, explicit
// bounds tests instead of exceptions, each rounding spelled out.
std::vector<float> PlainGeneration(float roughness, float exponent)
{
    std::vector<float> v(side * side, 0.0f);
    auto V = [&](int x, int y) -> float& { return v[x + y * side]; };
    auto inside = [](int x, int y) { return x >= 0 && y >= 0 && x < side && y < side; };
    SeedFromKey();
    int step = 128;
    float g = 30.0f;
    while (true) {
        const int half = step / 2;
        g = g * roughness;
        for (int x = 0; x < 128; x += step) {
            for (int y = 0; y < 128; y += step) {
                float a = V(x, y + step) + V(x, y);
                a = a + V(x + step, y);
                a = a + V(x + step, y + step);
                a = a * 0.25f;
                const double r = RandomUInt32() / 4294967296.0;
                const double displacement = step == 128 ? 30.0 : r * g * 2.0 - g;
                V(x + half, y + half) = static_cast<float>(a + displacement);
            }
        }
        for (int x = 0; x < 128; x += step) {
            for (int y = 0; y < 128; y += step) {
                for (int i = 0; i < 2; ++i) {
                    const int px = i == 0 ? x : x + half;
                    const int py = i == 0 ? y + half : y;
                    if (!inside(px, py - half) || !inside(px - half, py) || !inside(px, py + half) ||
                        !inside(px + half, py)) {
                        continue;
                    }
                    float a = V(px, py - half) + V(px, py + half);
                    a = a + V(px - half, py);
                    a = a + V(px + half, py);
                    a = a * 0.25f;
                    const double r = RandomUInt32() / 4294967296.0;
                    const float displacement = static_cast<float>(r * g * 2.0 - g);
                    V(px, py) = a + displacement;
                }
            }
        }
        if (half == 1) {
            break;
        }
        step = half;
    }
    for (int i = 0; i < side; ++i) {
        for (int j = 0; j < side; ++j) {
            const float d = static_cast<float>(std::sqrt(static_cast<double>((i - 64) * (i - 64) + (j - 64) * (j - 64))));
            const float factor = d > 64.0f ? 0.0f : static_cast<float>(std::pow(1.0 - d / 64.0, static_cast<double>(exponent)));
            V(i, j) = V(i, j) * factor;
            V(i, j) = static_cast<float>(1.0 / (std::exp((15.0 - V(i, j)) * 3.0) + 1.0));
        }
    }
    return v;
}

// A grid type the generator has never seen: bounds-checked like Array2D,
// with one optional cell that throws something other than an int.
class VectorGrid : public Matrix2DInterface<float> {
public:
    VectorGrid(int w, int h) : width(w), height(h), cells(static_cast<size_t>(w) * h, 0.0f) {}

    float& At(int x, int y) override { return cells[Index(x, y)]; }
    const float& At(int x, int y) const override { return cells[Index(x, y)]; }
    unsigned GetWidth() const override { return width; }
    unsigned GetHeight() const override { return height; }
    void Fill(const float& value) override { cells.assign(cells.size(), value); }

    int poisonX = -1;
    int poisonY = -1;

private:
    size_t Index(int x, int y) const
    {
        if (x < 0 || y < 0 || x >= width || y >= height) {
            throw 0;
        }
        if (x == poisonX && y == poisonY) {
            throw std::runtime_error("poisoned cell");
        }
        return x + y * width;
    }

    int width;
    int height;
    std::vector<float> cells;
};

class HeightMapGeneratorTest : public testing::Test {
protected:
    void TearDown() override { falloffExponent = 1.0f; }

    std::vector<float> Generate(float roughness)
    {
        GenerateHeightMap(heightMap, 128, 30.0f, roughness);
        return Cells(heightMap);
    }

    Array2D<float> heightMap{side, side};
};

TEST_F(HeightMapGeneratorTest, MatchesThePlainGenerator)
{
    EXPECT_TRUE(SameBits(Generate(0.5f), PlainGeneration(0.5f, 1.0f)));
    falloffExponent = 2.5f;
    EXPECT_TRUE(SameBits(Generate(0.73f), PlainGeneration(0.73f, 2.5f)));
}

TEST_F(HeightMapGeneratorTest, FirstLevelsByHand)
{
    // Draws: 1 the centre; level zero's square points all touch the outside
    // and draw nothing; 2-5 level one's diamonds (32,32), (32,96), (96,32),
    // (96,96); then its square pass skips (0,32), (32,0) and (0,96), so
    // (32,64) takes the 6th.
    SeedFromKey();
    double r[6];
    for (double& draw : r) {
        draw = RandomHalfOpen();
    }

    heightMap.Fill(0.0f);
    DiamondSquare(heightMap, 128, 30.0f, 0.5f);
    EXPECT_EQ(heightMap.At(64, 64), 30.0f);
    // Level one: g = 30 * 0.5 * 0.5; mean of three zero corners and the centre.
    const float at32_32 = static_cast<float>(7.5 + (r[1] * 15.0 - 7.5));
    const float at32_96 = static_cast<float>(7.5 + (r[2] * 15.0 - 7.5));
    EXPECT_EQ(heightMap.At(32, 32), at32_32);
    EXPECT_EQ(heightMap.At(32, 96), at32_96);
    // Its neighbours (32,32), (32,96), (0,64) and the centre.
    const float mean = (((at32_32 + at32_96) + 0.0f) + 30.0f) * 0.25f;
    EXPECT_EQ(heightMap.At(32, 64), mean + static_cast<float>(r[5] * 15.0 - 7.5));
}

TEST_F(HeightMapGeneratorTest, RoughnessChangesOnlyTheInterior)
{
    const std::vector<float> smooth = Generate(0.3f);
    const std::vector<float> rough = Generate(0.9f);
    int interiorChanged = 0;
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const int i = x + y * side;
            if (OnBorder(x, y)) {
                ASSERT_EQ(smooth[i], borderHeight) << x << "," << y;
                ASSERT_EQ(rough[i], borderHeight) << x << "," << y;
            } else {
                interiorChanged += smooth[i] != rough[i];
            }
        }
    }
    EXPECT_EQ(smooth[64 + 64 * side], 1.0f);
    EXPECT_EQ(rough[64 + 64 * side], 1.0f);
    EXPECT_GT(interiorChanged, 1000);
}

TEST_F(HeightMapGeneratorTest, RepeatsBitForBitAndDrawsOncePerInteriorCell)
{
    const std::vector<float> first = Generate(0.5f);
    const uint32_t afterGeneration = RandomUInt32();
    EXPECT_TRUE(SameBits(Generate(0.5f), first));

    SeedFromKey();
    for (int i = 0; i < 127 * 127; ++i) {
        RandomUInt32();
    }
    EXPECT_EQ(afterGeneration, RandomUInt32());
}

TEST_F(HeightMapGeneratorTest, TopAndLeftEdgesAreSkipped)
{
    heightMap.Fill(7.0f);
    DiamondSquare(heightMap, 128, 30.0f, 0.5f);
    for (int i = 0; i < side; ++i) {
        ASSERT_EQ(heightMap.At(i, 0), 7.0f);
        ASSERT_EQ(heightMap.At(0, i), 7.0f);
        ASSERT_EQ(heightMap.At(i, 128), 7.0f);
        ASSERT_EQ(heightMap.At(128, i), 7.0f);
    }
    EXPECT_NE(heightMap.At(64, 1), 7.0f);
    EXPECT_NE(heightMap.At(1, 64), 7.0f);
}

TEST_F(HeightMapGeneratorTest, SteeperFalloffShrinksThePlateau)
{
    auto plateauCells = [](const std::vector<float>& cells) {
        int count = 0;
        for (float cell : cells) {
            count += cell > 0.5f;
        }
        return count;
    };
    const std::vector<float> gentle = Generate(0.5f);
    falloffExponent = 3.0f;
    const std::vector<float> steep = Generate(0.5f);
    EXPECT_LT(plateauCells(steep), plateauCells(gentle));
    EXPECT_GT(plateauCells(steep), 0);
    EXPECT_EQ(steep[64 + 64 * side], 1.0f);
    EXPECT_EQ(steep[0], borderHeight);
    EXPECT_EQ(steep[128 + 64 * side], borderHeight);
}

TEST(LogisticRemapTest, MapsThroughTheRecord)
{
    LogisticParams generatorParams{0.0f, 1.0f, 1.0f, 3.0f, 15.0f};
    float cells[] = {15.0f, 0.0f, 30.0f};
    for (float& cell : cells) {
        LogisticRemap(&cell, &generatorParams);
    }
    EXPECT_EQ(cells[0], 0.5f);
    EXPECT_EQ(cells[1], borderHeight);
    EXPECT_EQ(cells[2], 1.0f);

    // t = (10 - 10) * 2 = 0 sits on the midpoint: half the ceiling.
    LogisticParams shifted{10.0f, 2.0f, 4.0f, 1.0f, 0.0f};
    float cell = 10.0f;
    LogisticRemap(&cell, &shifted);
    EXPECT_EQ(cell, 2.0f);
}

TEST(GeneratorOnForeignGridTest, SameTerrainThroughTheInterface)
{
    Array2D<float> reference(side, side);
    GenerateHeightMap(reference, 128, 30.0f, 0.5f);
    VectorGrid grid(side, side);
    GenerateHeightMap(grid, 128, 30.0f, 0.5f);
    EXPECT_TRUE(SameBits(Cells(grid), Cells(reference)));
}

TEST(GeneratorOnForeignGridTest, OnlyIntErrorsAreCaught)
{
    VectorGrid grid(side, side);
    grid.poisonX = 5;
    grid.poisonY = 7;
    EXPECT_THROW(DiamondSquare(grid, 128, 30.0f, 0.5f), std::runtime_error);
}

} // namespace
