#include "terrain/ShapeGrid.h"

#include <algorithm>
#include <cmath>

#include "terrain/DiamondSquareSteps.h"
#include "terrain/FineLevelRandom.h"
#include "terrain/HeightMapGenerator.h"
#include "terrain/ParallelRows.h"
#include "terrain/ShapeRelief.h"
#include "terrain/TerrainParameters.h"

namespace {

// Bilinear between the samples at shape coordinates (u, v), each clamped to
// the grid, so beyond the window the shape's edge is held.
double Bilinear(const ShapeGrid& shape, double u, double v)
{
    const double top = double(shape.cells - 1);
    u = std::min(std::max(u, 0.0), top);
    v = std::min(std::max(v, 0.0), top);
    const uint32_t i = std::min(uint32_t(u), shape.cells - 2);
    const uint32_t j = std::min(uint32_t(v), shape.cells - 2);
    const double fu = u - i;
    const double fv = v - j;
    const float* row0 = &shape.heights[size_t(j) * shape.cells];
    const float* row1 = row0 + shape.cells;
    const double south = row0[i] + (double(row0[i + 1]) - row0[i]) * fu;
    const double north = row1[i] + (double(row1[i + 1]) - row1[i]) * fu;
    return south + (north - south) * fv;
}

// Shape samples per map cell across the window the shape covers.
double SamplesPerCell(const ShapeGrid& shape, uint32_t mapCells, uint32_t margin)
{
    return double(shape.cells - 1) / double(mapCells - 1 - 2 * margin);
}

}  // namespace

uint32_t ShapeLatticeCells(const ShapeGrid& shape, uint32_t mapCells, uint32_t margin)
{
    // The lattice's spacing in shape samples must be at most 1.
    const uint32_t finest = std::max(mapCells, heightMapCells);
    const double needed = double(finest - 1) * SamplesPerCell(shape, finest, margin);
    uint32_t lattice = 3;
    while (lattice < finest && double(lattice - 1) < needed) {
        lattice = 2 * lattice - 1;
    }
    return lattice;
}

float ShapeHeightAt(const ShapeGrid& shape, uint32_t mapCells, uint32_t margin, uint32_t latticeCells, int64_t x,
                    int64_t y)
{
    const double perCell = SamplesPerCell(shape, mapCells, margin);
    const double u = double(x - int64_t{margin}) * perCell;
    const double v = double(y - int64_t{margin}) * perCell;
    // A lattice cell's width in shape samples.
    const double span = perCell * double(mapCells - 1) / double(latticeCells - 1);
    if (span <= 1.0) {
        return float(Bilinear(shape, u, v));
    }
    const int m = int(std::ceil(span));
    double sum = 0.0;
    for (int b = 0; b < m; ++b) {
        const double dv = ((b + 0.5) / m - 0.5) * span;
        for (int a = 0; a < m; ++a) {
            const double du = ((a + 0.5) / m - 0.5) * span;
            sum += Bilinear(shape, u + du, v + dv);
        }
    }
    return float(sum / (double(m) * m));
}

float ShapeDetailAmplitude(uint32_t level, float roughness)
{
    float g = 1.0f;
    for (uint32_t k = 0; k <= level; ++k) {
        g = std::min(g * roughness, 1.0f);
    }
    return g;
}

Array2D<float> PlacedShapeLattice(const TerrainParameters& parameters, uint32_t mapCells, unsigned threads,
                                  bool* reliefAdded)
{
    const ShapeGrid& shape = *parameters.shape;
    const uint32_t margin = parameters.shapeMargin;
    const uint32_t lattice = ShapeLatticeCells(shape, mapCells, margin);
    const int64_t spacing = (int64_t{std::max(mapCells, heightMapCells)} - 1) / (lattice - 1);
    std::vector<float> cells(size_t(lattice) * lattice);
    ParallelRows(int(lattice), threads, [&](int begin, int end) {
        for (int64_t j = begin; j < end; ++j) {
            for (int64_t i = 0; i < lattice; ++i) {
                cells[size_t(j * lattice + i)] = ShapeHeightAt(shape, mapCells, margin, lattice, i * spacing, j * spacing);
            }
        }
    });
    const bool added = AddShapeRelief(cells, lattice, parameters, threads);
    if (reliefAdded != nullptr) {
        *reliefAdded = added;
    }
    Array2D<float> grid(lattice, lattice);
    std::copy(cells.begin(), cells.end(), grid.Row(0));
    return grid;
}

Array2D<float> ShapedLattice129(const TerrainParameters& parameters, uint32_t mapCells, bool* reliefAdded)
{
    const ShapeGrid& shape = *parameters.shape;
    const uint32_t lattice = ShapeLatticeCells(shape, mapCells, parameters.shapeMargin);
    Array2D<float> grid(heightMapCells, heightMapCells);
    const int top = int(heightMapSize);
    const int first = top / int(lattice - 1);  // the shape lattice's step on the 129 lattice
    HeightSharedAmplitude amplitude;
    const Array2D<float> placed = PlacedShapeLattice(parameters, mapCells, 1, &amplitude.on);
    if (reliefAdded != nullptr) {
        *reliefAdded = amplitude.on;
    }
    for (int j = 0; j <= top; j += first) {
        for (int i = 0; i <= top; i += first) {
            grid.Row(uint32_t(j))[i] = placed.Row(uint32_t(j / first))[i / first];
        }
    }
    const FineLevelRandom random(parameters.seed);
    auto v = [&grid](int x, int y) -> float& { return grid.Row(uint32_t(y))[x]; };
    uint32_t level = 0;
    while ((2u << level) < lattice) {
        ++level;  // the level that refines a lattice of 2^level + 1
    }
    for (int step = first; step >= 2; step /= 2, ++level) {
        const int half = step / 2;
        const float g = ShapeDetailAmplitude(level, parameters.roughness);
        for (int y = 0; y < top; y += step) {
            for (int x = 0; x < top; x += step) {
                DiamondPoint(
                    v, x, y, step, g, false,
                    [&] { return random.Value(level, uint32_t(x + half), uint32_t(y + half)); }, amplitude);
            }
        }
        for (int y = 0; y <= top; y += half) {
            for (int x = (y / half) % 2 == 0 ? half : 0; x <= top; x += step) {
                if (x == 0 || x == top) {
                    v(x, y) = (v(x, y - half) + v(x, y + half)) * 0.5f;
                } else if (y == 0 || y == top) {
                    v(x, y) = (v(x - half, y) + v(x + half, y)) * 0.5f;
                } else {
                    SquarePoint(
                        v, x, y, half, g, [&] { return random.Value(level, uint32_t(x), uint32_t(y)); }, amplitude);
                }
            }
        }
    }
    return grid;
}

float FinishShapedHeight(float height, const TerrainParameters& parameters, int64_t di, int64_t dj, float radius)
{
    float h = std::min(std::max(height, 0.0f), 1.0f);
    if (parameters.shapeFalloff) {
        h = h * FalloffFactor(di, dj, radius, parameters.falloffExponent);
    }
    return h;
}

std::shared_ptr<const ShapeGrid> BuiltInShape(const std::string& name)
{
    if (name != "continent") {
        return nullptr;
    }
    // A sum of a few long waves: ground rising to the north-west, an inland
    // sea south-east of the middle, bays and lakes from the waves; about nine
    // tenths land, and land along every edge, so the tiles at a world's
    // edges hold ground as the middle ones do.
    auto shape = std::make_shared<ShapeGrid>();
    shape->cells = heightMapCells;
    shape->heights.resize(size_t(shape->cells) * shape->cells);
    const double pi = 3.14159265358979323846;
    for (uint32_t j = 0; j < shape->cells; ++j) {
        for (uint32_t i = 0; i < shape->cells; ++i) {
            const double u = double(i) / (shape->cells - 1);
            const double v = double(j) / (shape->cells - 1);
            double h = 0.25 + 0.14 * (v - u)                             // rising to the north-west
                       - 0.50 * std::exp(-(std::pow((u - 0.62) / 0.30, 2) + std::pow((v - 0.38) / 0.12, 2)))
                       + 0.08 * std::cos(2 * pi * (2.0 * u + 0.3)) * std::cos(2 * pi * (1.5 * v + 0.1))
                       + 0.05 * std::sin(2 * pi * (3.0 * u - 2.0 * v));
            shape->heights[size_t(j) * shape->cells + i] = float(std::min(std::max(h, 0.0), 1.0));
        }
    }
    shape->checksum = "builtin:continent";
    shape->identity = shape->checksum;
    return shape;
}

const char* BuiltInShapeNames() { return "builtin:continent"; }
