#include "terrain/HeightMapGenerator.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <typeinfo>

#include "terrain/Array2D.h"
#include "terrain/DiamondSquareSteps.h"
#include "terrain/RandomSource.h"
#include "terrain/TerrainParameters.h"

float falloffExponent = 1.0f;

float terrainSharpness = defaultSharpness;

TerrainSeed generationSeed = TerrainSeed::Default();

namespace {

constexpr int falloffCentre = 64;
constexpr float falloffRadius = 64.0f;

// Cell access for the generation passes. Any grid is reached through its
// virtual At. The HeightMap's own type, an Array2D exactly, gets its At
// called directly: the same function the dispatch would pick, but inlined,
// which matters on a path that runs every frame a key is held. An Array2D
// also throws for exactly the coordinates outside it, so for it the points
// the guard would abandon are skipped before any access, saving an
// exception per edge point (254 per map).
class AnyGrid {
public:
    explicit AnyGrid(Matrix2DInterface<float>& grid) : grid(grid) {}
    float& operator()(int x, int y) const { return grid.At(x, y); }
    bool Outside(int64_t, int64_t, int64_t, int64_t) const { return false; }
    Matrix2DInterface<float>& Grid() const { return grid; }

private:
    Matrix2DInterface<float>& grid;
};

class BoundedGrid {
public:
    explicit BoundedGrid(Array2D<float>& grid)
        : grid(grid), cells(grid.Row(0)), width(grid.GetWidth()), height(grid.GetHeight())
    {
    }
    // Unchecked: every point is tested with Outside before it reads or
    // writes, so no access here can leave the grid.
    float& operator()(int x, int y) const { return cells[y * width + x]; }

    // True when a point reading [x0, x1] x [y0, y1] would hit the edge throw.
    bool Outside(int64_t x0, int64_t y0, int64_t x1, int64_t y1) const
    {
        return x0 < 0 || y0 < 0 || x1 >= width || y1 >= height;
    }
    Matrix2DInterface<float>& Grid() const { return grid; }

private:
    Array2D<float>& grid;
    float* cells;
    int64_t width;
    int64_t height;
};

// Each point runs under its own guard: an int from At means a neighbour is
// off the grid and the point is abandoned; anything else passes out.
template <typename Cells>
void Displace(const Cells& v, uint32_t size, float amplitude, float roughness)
{
    uint32_t step = size;
    float g = amplitude;
    for (;;) {
        const uint32_t half = step / 2;
        g = g * roughness;
        const bool firstLevel = step == size;
        const int s = static_cast<int>(step);
        const int h = static_cast<int>(half);

        for (int x = 0; static_cast<uint32_t>(x) < size; x += s) {
            for (int y = 0; static_cast<uint32_t>(y) < size; y += s) {
                if (v.Outside(x, y, int64_t{x} + s, int64_t{y} + s)) {
                    continue;
                }
                try {
                    DiamondPoint(v, x, y, s, g, firstLevel, RandomHalfOpen);
                } catch (int) {
                }
            }
        }

        for (int x = 0; static_cast<uint32_t>(x) < size; x += s) {
            for (int y = 0; static_cast<uint32_t>(y) < size; y += s) {
                if (!v.Outside(int64_t{x} - h, y, int64_t{x} + h, int64_t{y} + s)) {
                    try {
                        SquarePoint(v, x, y + h, h, g, RandomHalfOpen);
                    } catch (int) {
                    }
                }
                if (!v.Outside(x, int64_t{y} - h, int64_t{x} + s, int64_t{y} + h)) {
                    try {
                        SquarePoint(v, x + h, y, h, g, RandomHalfOpen);
                    } catch (int) {
                    }
                }
            }
        }

        if (half == 1) {
            break;
        }
        step = half;
    }
}

// Falloff factors of the last exponent used, by column and row distance from
// the centre. The factor depends only on the distance, so one quadrant holds
// every value and the table is mirrored; it is rebuilt only when the
// exponent changes, so holding a roughness key costs no pow at all.
struct FalloffTable {
    bool valid = false;
    uint32_t exponentBits = 0;
    float factor[falloffCentre + 1][falloffCentre + 1];
};

FalloffTable falloffTable;

const FalloffTable& FalloffFor(float exponent)
{
    uint32_t bits;
    std::memcpy(&bits, &exponent, sizeof bits);
    FalloffTable& table = falloffTable;
    if (!table.valid || table.exponentBits != bits) {
        for (int di = 0; di <= falloffCentre; ++di) {
            for (int dj = di; dj <= falloffCentre; ++dj) {
                table.factor[di][dj] = table.factor[dj][di] = FalloffFactor(di, dj, falloffRadius, exponent);
            }
        }
        table.exponentBits = bits;
        table.valid = true;
    }
    return table;
}

// Scales each raw height by the falloff around cell (64, 64): 1 at the
// centre, 0 from distance 64 on.
template <typename Cells>
void ApplyFalloff(const Cells& v)
{
    const FalloffTable& table = FalloffFor(falloffExponent);
    const int width = static_cast<int>(v.Grid().GetWidth());
    const int height = static_cast<int>(v.Grid().GetHeight());
    for (int j = 0; j < height; ++j) {
        const int dj = std::abs(j - falloffCentre);
        for (int i = 0; i < width; ++i) {
            const int di = std::abs(i - falloffCentre);
            const float factor = di <= falloffCentre && dj <= falloffCentre ? table.factor[di][dj] : 0.0f;
            float& cell = v(i, j);
            cell = cell * factor;
        }
    }
}

// The falloff and then the remap, in one pass over an Array2D's rows: the
// same operations on the same values as ApplyFalloff and the remap's ForEach,
// without a call through a pointer for every cell. The cells the falloff
// zeroes (a fifth of the map, outside its circle) all remap to shape(0),
// computed once.
template <typename Shape>
void FalloffAndRemapRows(Array2D<float>& grid, const Shape& shape)
{
    const FalloffTable& table = FalloffFor(falloffExponent);
    const float atZero = shape(0.0f);
    const int width = static_cast<int>(grid.GetWidth());
    const int height = static_cast<int>(grid.GetHeight());
    for (int j = 0; j < height; ++j) {
        const int dj = std::abs(j - falloffCentre);
        float* row = grid.Row(static_cast<uint32_t>(j));
        for (int i = 0; i < width; ++i) {
            const int di = std::abs(i - falloffCentre);
            const float factor = di <= falloffCentre && dj <= falloffCentre ? table.factor[di][dj] : 0.0f;
            const float lowered = row[i] * factor;
            row[i] = lowered == 0.0f ? atZero : shape(lowered);
        }
    }
}

// Runs a pass over the grid's cells through the quickest access that gives
// the same result: direct for an Array2D exactly, virtual for any other grid.
template <typename Pass>
void WithCells(Matrix2DInterface<float>& grid, Pass pass)
{
    if (typeid(grid) == typeid(Array2D<float>)) {
        pass(BoundedGrid(static_cast<Array2D<float>&>(grid)));
    } else {
        pass(AnyGrid(grid));
    }
}

} // namespace

void DiamondSquare(Matrix2DInterface<float>& grid, uint32_t size, float amplitude, float roughness)
{
    DiamondSquareWithSeed(grid, size, amplitude, roughness, generationSeed);
}

void DiamondSquareWithSeed(Matrix2DInterface<float>& grid, uint32_t size, float amplitude, float roughness,
                           const TerrainSeed& seed)
{
    SeedRandomByKey(seed.Words().data(), static_cast<int>(seed.Words().size()));
    WithCells(grid, [&](const auto& cells) { Displace(cells, size, amplitude, roughness); });
}

void LogisticRemap(float* cell, void* params)
{
    *cell = Logistic(*cell, *static_cast<const LogisticParams*>(params));
}

void ShapeRemap(float* cell, void* params)
{
    *cell = (*static_cast<const TerrainShape*>(params))(*cell);
}

void GenerateHeightMap(Matrix2DInterface<float>& grid, uint32_t size, float amplitude, float roughness)
{
    grid.Fill(0.0f);
    DiamondSquare(grid, size, amplitude, roughness);
    if (typeid(grid) == typeid(Array2D<float>)) {
        // The viewer's map, every frame a key is held.
        Array2D<float>& cells = static_cast<Array2D<float>&>(grid);
        if (terrainSharpness == terrainLogistic.steepness) {
            FalloffAndRemapRows(cells, [](float cell) { return Logistic(cell, terrainLogistic); });
        } else {
            FalloffAndRemapRows(cells, TerrainShape(terrainSharpness));
        }
        return;
    }
    ApplyFalloff(AnyGrid(grid));
    if (terrainSharpness == terrainLogistic.steepness) {
        LogisticParams params = terrainLogistic;
        grid.ForEach(LogisticRemap, &params);
    } else {
        TerrainShape shape(terrainSharpness);
        grid.ForEach(ShapeRemap, &shape);
    }
}
