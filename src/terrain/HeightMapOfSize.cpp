#include "terrain/HeightMapOfSize.h"

#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <vector>

#include "terrain/DiamondSquareSteps.h"
#include "terrain/FineLevelRandom.h"
#include "terrain/HeightMapGenerator.h"
#include "terrain/HeightMapWindow.h"
#include "terrain/ParallelRows.h"
#include "terrain/ShapeGrid.h"

namespace {


// Raw cell access for the shared per-point steps: no bounds check, because
// the fine levels only visit points whose neighbours are inside the map.
class Cells {
public:
    explicit Cells(Array2D<float>& map) : base(map.Row(0)), width(map.GetWidth()) {}
    float& operator()(int x, int y) const { return base[static_cast<size_t>(y) * width + x]; }

private:
    float* base;
    size_t width;
};

// Work shares for the progress fraction: a fine-level point and a remapped
// cell (a pow share and an exp) cost roughly this much in relation.
constexpr double pointCost = 1.0;
constexpr double remapCost = 3.0;

// Runs the generation's passes on the threads and reports, as it goes, the
// fraction of `total` done so far.
class ProgressShare {
public:
    ProgressShare(const std::function<void(double)>& report, double total) : report(report), total(total) {}

    // One pass of `items` rows (or row pairs) worth `cost` each.
    void Run(int items, double cost, unsigned threads, const std::function<void(int, int)>& work)
    {
        std::function<void(int)> step;
        if (report) {
            step = [this, start = finished, cost](int done) { report((start + done * cost) / total); };
        }
        ParallelRows(items, threads, work, step);
        finished += items * cost;
    }

private:
    const std::function<void(double)>& report;
    double total;
    double finished = 0.0;
};

// One level below the viewer's: centres of the squares of side `step`, then
// the edge midpoints, on every interior point the 129 map's rule reaches
// (a point with a neighbour off the map is skipped, so the border stays 0).
void FineLevel(Array2D<float>& map, int step, float g, uint32_t level, const FineLevelRandom& random,
               unsigned threads, ProgressShare& passes)
{
    const Cells v(map);
    const int size = static_cast<int>(map.GetWidth()) - 1;
    const int half = step / 2;
    const int squares = size / step;

    passes.Run(squares, pointCost * squares, threads, [&](int begin, int end) {
        for (int row = begin; row < end; ++row) {
            const int y = row * step;
            for (int x = 0; x < size; x += step) {
                DiamondPoint(v, x, y, step, g, false, [&] { return random.Value(level, x + half, y + half); });
            }
        }
    });

    // Rows half, step, step + half, ... up to size - half: odd rows hold the
    // midpoints of vertical edges (x = step, 2 step, ...; x = 0 is skipped),
    // even ones those of horizontal edges (x = half, half + step, ...).
    const int rows = 2 * squares - 1;
    passes.Run(rows, pointCost * squares, threads, [&](int begin, int end) {
        for (int row = begin; row < end; ++row) {
            const int y = (row + 1) * half;
            const int first = (row % 2 == 0) ? step : half;
            for (int x = first; x < size; x += step) {
                SquarePoint(v, x, y, half, g, [&] { return random.Value(level, x, y); });
            }
        }
    });
}

// The falloff around the middle of the map times each raw height, then the
// remap. Rows j and N - 1 - j lie at the same distance from the middle, so
// they are done together from one row of factors.
void FalloffAndRemap(Array2D<float>& map, float exponent, const TerrainShape& shape, unsigned threads,
                     ProgressShare& passes)
{
    const int n = static_cast<int>(map.GetWidth());
    const int centre = (n - 1) / 2;
    const float radius = static_cast<float>(centre);
    const int pairs = centre + 1;  // the middle row pairs with itself

    passes.Run(pairs, remapCost * 2 * n, threads, [&](int begin, int end) {
        std::vector<float> factor(centre + 1);
        for (int j = begin; j < end; ++j) {
            const int dj = centre - j;
            for (int di = 0; di <= centre; ++di) {
                factor[di] = FalloffFactor(di, dj, radius, exponent);
            }
            const int mirror = n - 1 - j;
            for (const int y : {j, mirror}) {
                float* row = map.Row(y);
                for (int i = 0; i < n; ++i) {
                    const float lowered = row[i] * factor[std::abs(i - centre)];
                    row[i] = shape(lowered);
                }
                if (mirror == j) {
                    break;
                }
            }
        }
    });
}

// A shaped map: up to 129 the 129 map (the shape's 129 lattice, finished
// cell by cell) sampled as the island's is; above, the window generator over
// the whole map, so the whole map and its tiles share one code path and so
// their bits.
void GenerateShapedMap(Array2D<float>& map, const TerrainParameters& parameters, unsigned threads)
{
    const uint32_t n = map.GetWidth();
    if (n > heightMapCells) {
        HeightMapWindows(n, parameters).Generate(map, 0, 0, threads);
        return;
    }
    const Array2D<float> lattice = ShapedLattice129(parameters, heightMapCells);
    const uint32_t every = heightMapSize / (n - 1);
    const int64_t centre = heightMapSize / 2;
    for (uint32_t y = 0; y < n; ++y) {
        for (uint32_t x = 0; x < n; ++x) {
            const int64_t cx = int64_t{x} * every;
            const int64_t cy = int64_t{y} * every;
            map.Row(y)[x] = FinishShapedHeight(lattice.Row(uint32_t(cy))[cx], parameters, std::llabs(cx - centre),
                                               std::llabs(cy - centre), float(centre));
        }
    }
}

}  // namespace

float AmplitudeAfterViewerLevels(float roughness)
{
    float g = heightMapAmplitude;
    for (uint32_t level = 0; level < firstFineLevel; ++level) {
        g = g * roughness;
    }
    return g;
}

Array2D<float> ViewerRawHeights(const TerrainParameters& parameters)
{
    Array2D<float> coarse(heightMapCells, heightMapCells);
    DiamondSquareWithSeed(coarse, heightMapSize, heightMapAmplitude, parameters.roughness, parameters.seed);
    return coarse;
}

bool IsMapCells(uint32_t cells)
{
    for (uint32_t n = minMapCells; n <= maxMapCells; n = 2 * n - 1) {
        if (cells == n) {
            return true;
        }
    }
    return false;
}

void GenerateHeightMapOfSize(Array2D<float>& map, const TerrainParameters& parameters, unsigned threads,
                             const std::function<void(double)>& progress)
{
    const uint32_t n = map.GetWidth();
    assert(n == map.GetHeight() && IsMapCells(n) && n <= maxWholeMapCells);
    if (parameters.shape != nullptr) {
        GenerateShapedMap(map, parameters, threads);
        if (progress) {
            progress(1.0);
        }
        return;
    }
    Array2D<float> coarse = ViewerRawHeights(parameters);

    if (n <= heightMapCells) {
        const std::function<void(double)> quiet;  // too small to report on
        ProgressShare passes(quiet, 1.0);
        FalloffAndRemap(coarse, parameters.falloffExponent, TerrainShape(parameters.sharpness), 1, passes);
        const uint32_t every = heightMapSize / (n - 1);
        for (uint32_t y = 0; y < n; ++y) {
            for (uint32_t x = 0; x < n; ++x) {
                map.Row(y)[x] = coarse.Row(y * every)[x * every];
            }
        }
        return;
    }

    // The finer levels write every interior cell off the lattice once and the
    // lattice is copied, so only the border between lattice cells needs its
    // 0; the map is not cleared as a whole (268 MB at 8193).
    const uint32_t s = (n - 1) / heightMapSize;
    std::fill(map.Row(0), map.Row(0) + n, 0.0f);
    std::fill(map.Row(n - 1), map.Row(n - 1) + n, 0.0f);
    for (uint32_t y = 1; y + 1 < n; ++y) {
        map.Row(y)[0] = 0.0f;
        map.Row(y)[n - 1] = 0.0f;
    }
    for (uint32_t j = 0; j < heightMapCells; ++j) {
        for (uint32_t i = 0; i < heightMapCells; ++i) {
            map.Row(j * s)[i * s] = coarse.Row(j)[i];
        }
    }

    // The remap goes by pairs of rows, the middle row making a pair alone.
    double total = remapCost * 2.0 * n * ((n - 1) / 2 + 1);
    for (uint32_t step = s; step >= 2; step /= 2) {
        const double squares = double(n - 1) / step;
        total += pointCost * 3 * squares * squares;
    }
    ProgressShare passes(progress, total);

    const FineLevelRandom random(parameters.seed);
    float g = AmplitudeAfterViewerLevels(parameters.roughness);
    uint32_t level = firstFineLevel;
    for (uint32_t step = s; step >= 2; step /= 2, ++level) {
        g = g * parameters.roughness;
        FineLevel(map, static_cast<int>(step), g, level, random, threads, passes);
    }
    FalloffAndRemap(map, parameters.falloffExponent, TerrainShape(parameters.sharpness), threads, passes);
    if (progress) {
        progress(1.0);
    }
}
