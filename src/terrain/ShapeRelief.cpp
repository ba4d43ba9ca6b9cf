#include "terrain/ShapeRelief.h"

#include <algorithm>
#include <cmath>

#include "terrain/FineLevelRandom.h"
#include "terrain/ParallelRows.h"
#include "terrain/ShapeGrid.h"

namespace {

// The random numbers of the relief's levels, apart from the map's own
// levels (which number from 0 to 20): point (x, y) of lattice level k draws
// Value(kReliefLevels + k, x, y).
constexpr uint32_t kReliefLevels = 40;

constexpr float kSea = 0.01f;

// Cells of an n x n lattice.
struct Grid {
    float* v;
    int64_t n;
    float& operator()(int64_t x, int64_t y) const { return v[y * n + x]; }
};

// The diamond-square mean of point (x, y) of the level whose new points are
// `half` apart: a square's centre (both odd multiples of half) from its four
// corners; an edge midpoint from its four neighbours, or its two along the
// lattice's border.
double CoarserMean(const Grid& g, int64_t x, int64_t y, int64_t half)
{
    const bool centre = (x / half) % 2 == 1 && (y / half) % 2 == 1;
    if (centre) {
        return (double(g(x - half, y - half)) + g(x + half, y - half) + g(x - half, y + half) + g(x + half, y + half)) /
               4.0;
    }
    const int64_t top = g.n - 1;
    if (x == 0 || x == top) {
        return (double(g(x, y - half)) + g(x, y + half)) / 2.0;
    }
    if (y == 0 || y == top) {
        return (double(g(x - half, y)) + g(x + half, y)) / 2.0;
    }
    return (double(g(x, y - half)) + g(x, y + half) + g(x - half, y) + g(x + half, y)) / 4.0;
}

bool IsNewPoint(int64_t x, int64_t y, int64_t half)
{
    return ((x / half) % 2 == 1) || ((y / half) % 2 == 1);
}

// The shape's own detail at every new point of the level (0 elsewhere).
void OwnDetail(const Grid& shape, int64_t half, std::vector<float>& detail, unsigned threads)
{
    const int64_t n = shape.n;
    ParallelRows(int((n - 1) / half + 1), threads, [&](int begin, int end) {
        for (int64_t y = begin * half; y < end * half; y += half) {
            for (int64_t x = 0; x < n; x += half) {
                detail[size_t(y * n + x)] =
                    IsNewPoint(x, y, half) ? float(shape(x, y) - CoarserMean(shape, x, y, half)) : 0.0f;
            }
        }
    });
}

// The spread of the level's own detail over the new points within two points
// of (x, y) (so over about a dozen of them): its RMS about its mean, taken
// apart for square centres and edge midpoints. The mean is the shape's
// curvature at coarser scales (a smooth stroke's detail is nearly the same
// at neighbouring points, and larger at a centre than at a midpoint), not
// relief at this level's: counted as relief, it kept the seed's relief off
// the flanks of a range drawn as one smooth stroke at every level but the
// finest.
double LocalDetail(const std::vector<float>& detail, int64_t n, int64_t x, int64_t y, int64_t half)
{
    double sum[2] = {0.0, 0.0};
    double squares[2] = {0.0, 0.0};
    int count[2] = {0, 0};
    for (int64_t dy = -2; dy <= 2; ++dy) {
        const int64_t py = y + dy * half;
        if (py < 0 || py >= n) {
            continue;
        }
        for (int64_t dx = -2; dx <= 2; ++dx) {
            const int64_t px = x + dx * half;
            if (px < 0 || px >= n || !IsNewPoint(px, py, half)) {
                continue;
            }
            const int kind = (px / half) % 2 == 1 && (py / half) % 2 == 1 ? 1 : 0;
            const double e = detail[size_t(py * n + px)];
            sum[kind] += e;
            squares[kind] += e * e;
            ++count[kind];
        }
    }
    double spread = 0.0;
    for (int kind = 0; kind < 2; ++kind) {
        if (count[kind] > 0) {
            spread += std::max(0.0, squares[kind] - sum[kind] * sum[kind] / count[kind]);
        }
    }
    const int all = count[0] + count[1];
    return all > 0 ? std::sqrt(spread / all) : 0.0;
}

int Levels(uint32_t latticeCells)
{
    int m = 0;
    while ((uint32_t{1} << m) + 1 < latticeCells) {
        ++m;
    }
    return m;
}

}  // namespace

int ShapeReliefStart(const std::vector<float>& lattice, uint32_t latticeCells, const TerrainParameters& parameters,
                     unsigned threads)
{
    const int m = Levels(latticeCells);
    const int64_t n = latticeCells;
    if (parameters.shapeTrust > 0.0f && parameters.shape != nullptr) {
        // Lattice cells a shape sample spans (at most 1: the lattice is as
        // fine as the shape's samples).
        const double samplesPerCell = double(parameters.shape->cells - 1) / double(n - 1);
        for (int k = 2; k < m; ++k) {
            if (std::ldexp(1.0, m - k) * samplesPerCell < parameters.shapeTrust) {
                return k;
            }
        }
        return m;
    }
    Grid shape{const_cast<float*>(lattice.data()), n};
    std::vector<float> detail(lattice.size(), 0.0f);
    for (int k = 2; k < m; ++k) {
        const int64_t half = int64_t{1} << (m - k - 1);
        OwnDetail(shape, half, detail, threads);
        // Each row's sum on its own, then the rows' in order: the same
        // bits on any number of threads.
        const int rows = int((n - 1) / half + 1);
        std::vector<double> rowSums(size_t(rows), 0.0);
        std::vector<uint64_t> rowCounts(size_t(rows), 0);
        ParallelRows(rows, threads, [&](int begin, int end) {
            for (int row = begin; row < end; ++row) {
                const int64_t y = row * half;
                for (int64_t x = 0; x < n; x += half) {
                    if (IsNewPoint(x, y, half) && shape(x, y) > kSea) {
                        const double e = LocalDetail(detail, n, x, y, half);
                        rowSums[size_t(row)] += e * e;
                        ++rowCounts[size_t(row)];
                    }
                }
            }
        });
        double sum = 0.0;
        uint64_t count = 0;
        for (int row = 0; row < rows; ++row) {
            sum += rowSums[size_t(row)];
            count += rowCounts[size_t(row)];
        }
        const double law = ShapeDetailAmplitude(uint32_t(k), parameters.roughness) / std::sqrt(3.0);
        if (count > 0 && std::sqrt(sum / double(count)) < 0.5 * law) {
            return k;
        }
    }
    return m;
}

float ShapeHeightShare(float h) { return std::min(std::max((h - kSea) / 0.3f, 0.0f), 1.0f); }

bool AddShapeRelief(std::vector<float>& lattice, uint32_t latticeCells, const TerrainParameters& parameters,
                    unsigned threads)
{
    const int m = Levels(latticeCells);
    const int start = ShapeReliefStart(lattice, latticeCells, parameters, threads);
    if (start >= m) {
        return false;
    }
    const int64_t n = latticeCells;
    const Grid shape{lattice.data(), n};
    std::vector<float> reliefCells(lattice.size(), 0.0f);
    const Grid relief{reliefCells.data(), n};
    std::vector<float> detail(lattice.size(), 0.0f);
    const FineLevelRandom random(parameters.seed);
    for (int k = start; k < m; ++k) {
        const int64_t half = int64_t{1} << (m - k - 1);
        const float g = ShapeDetailAmplitude(uint32_t(k), parameters.roughness);
        OwnDetail(shape, half, detail, threads);
        // Square centres first, then edge midpoints, which read the centres,
        // as diamond-square does; each point on its own within a pass.
        for (const bool centres : {true, false}) {
            ParallelRows(int((n - 1) / half + 1), threads, [&](int begin, int end) {
                for (int64_t y = begin * half; y < end * half; y += half) {
                    for (int64_t x = 0; x < n; x += half) {
                        const bool centre = (x / half) % 2 == 1 && (y / half) % 2 == 1;
                        if (!IsNewPoint(x, y, half) || centre != centres) {
                            continue;
                        }
                        const double own = LocalDetail(detail, n, x, y, half);
                        const double room = double(g) * g - 3.0 * own * own;
                        double added = 0.0;
                        if (room > 0.0) {
                            const double a = ShapeHeightShare(shape(x, y)) * std::sqrt(room);
                            const double r = random.Value(kReliefLevels + uint32_t(k), uint32_t(x), uint32_t(y));
                            added = r * a * 2.0 - a;
                        }
                        relief(x, y) = float(CoarserMean(relief, x, y, half) + added);
                    }
                }
            });
        }
    }
    ParallelRows(int(n), threads, [&](int begin, int end) {
        for (int64_t i = int64_t{begin} * n; i < int64_t{end} * n; ++i) {
            lattice[size_t(i)] = std::min(std::max(lattice[size_t(i)] + reliefCells[size_t(i)], 0.0f), 1.0f);
        }
    });
    return true;
}
