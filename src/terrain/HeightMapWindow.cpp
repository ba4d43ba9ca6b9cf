#include "terrain/HeightMapWindow.h"

#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <cstring>

#include "terrain/DiamondSquareSteps.h"
#include "terrain/FineLevelRandom.h"
#include "terrain/HeightMapGenerator.h"
#include "terrain/HeightMapOfSize.h"
#include "terrain/ParallelRows.h"
#include "terrain/ShapeGrid.h"
#include "terrain/ShapeRelief.h"

namespace {

// One level's values over a rectangle of its lattice indices: index i is
// cell i * spacing of the map.
struct Level {
    int64_t x0 = 0;
    int64_t y0 = 0;
    int64_t x1 = -1;  // inclusive
    int64_t y1 = -1;
    float* cells = nullptr;
    size_t stride = 0;

    float& At(int64_t i, int64_t j) const { return cells[size_t(j - y0) * stride + size_t(i - x0)]; }
    bool Holds(int64_t i, int64_t j) const { return i >= x0 && i <= x1 && j >= y0 && j <= y1; }
};

// Cells for DiamondPoint in a level's index coordinates (step 2): the corners
// are the coarser level's points, the centre goes to `target`.
class DiamondCells {
public:
    DiamondCells(const Level& coarser, float* target) : coarser(coarser), target(target) {}
    float& operator()(int x, int y) const
    {
        if ((x & 1) == 0) {
            return coarser.At(x / 2, y / 2);
        }
        return *target;
    }

private:
    const Level& coarser;
    float* target;
};

// What one refinement needs: the levels, its amplitude and where its random
// numbers come from.
struct Refinement {
    const Level& coarser;
    const Level& level;
    const FineLevelRandom& random;
    uint32_t levelNumber;
    int64_t spacing;  // map cells between this level's points
    float g;
    // Under a shape the border's new points are the mean of their two
    // neighbours along the edge (a shape may reach the edge); the island's
    // border stays 0.
    bool shaped;
    // Under a shape that took relief, each point's amplitude is shared by
    // its height (ShapeRelief.h).
    HeightSharedAmplitude amplitude;

    float Border(int64_t i, int64_t j) const
    {
        if (!shaped) {
            return 0.0f;
        }
        if ((i & 1) != 0) {
            return (coarser.At(i / 2, j / 2) + coarser.At(i / 2 + 1, j / 2)) * 0.5f;
        }
        return (coarser.At(i / 2, j / 2) + coarser.At(i / 2, j / 2 + 1)) * 0.5f;
    }

    void Diamond(int i, int j, float* target) const
    {
        const uint32_t cx = uint32_t(i * spacing);
        const uint32_t cy = uint32_t(j * spacing);
        DiamondPoint(
            DiamondCells(coarser, target), i - 1, j - 1, 2, g, false,
            [&] { return random.Value(levelNumber, cx, cy); }, amplitude);
    }
};

// Cells for SquarePoint: the level's own window, the coarser level's points,
// and diamond centres just beyond the window computed again on the spot (the
// same arithmetic, so the same bits). Reads are copied out before the next
// one, so one scratch cell serves them all.
class SquareCells {
public:
    explicit SquareCells(const Refinement& refinement) : refinement(refinement) {}
    float& operator()(int x, int y) const
    {
        if (refinement.level.Holds(x, y)) {
            return refinement.level.At(x, y);
        }
        if ((x & 1) == 0 && (y & 1) == 0) {
            return refinement.coarser.At(x / 2, y / 2);
        }
        refinement.Diamond(x, y, &scratch);
        return scratch;
    }

private:
    const Refinement& refinement;
    mutable float scratch = 0.0f;
};

// Builds `level` from `coarser`: the coarser points copied, the border's new
// points 0 as the whole map leaves them, the diamond centres, then the edge
// midpoints (which read the centres, so after them).
void Refine(const Refinement& r, int64_t maxIndex, unsigned threads)
{
    const Level& level = r.level;
    const int rows = int(level.y1 - level.y0 + 1);
    auto onBorder = [maxIndex](int64_t i, int64_t j) { return i == 0 || j == 0 || i == maxIndex || j == maxIndex; };

    ParallelRows(rows, threads, [&](int begin, int end) {
        for (int row = begin; row < end; ++row) {
            const int64_t j = level.y0 + row;
            for (int64_t i = level.x0; i <= level.x1; ++i) {
                const bool oddI = (i & 1) != 0;
                const bool oddJ = (j & 1) != 0;
                if (!oddI && !oddJ) {
                    level.At(i, j) = r.coarser.At(i / 2, j / 2);
                } else if (onBorder(i, j)) {
                    level.At(i, j) = r.Border(i, j);
                } else if (oddI && oddJ) {
                    r.Diamond(int(i), int(j), &level.At(i, j));
                }
            }
        }
    });

    const uint32_t levelNumber = r.levelNumber;
    const int64_t spacing = r.spacing;
    ParallelRows(rows, threads, [&](int begin, int end) {
        const SquareCells cells(r);
        for (int row = begin; row < end; ++row) {
            const int64_t j = level.y0 + row;
            for (int64_t i = level.x0 + ((level.x0 + j + 1) & 1); i <= level.x1; i += 2) {
                if (onBorder(i, j)) {
                    continue;
                }
                const uint32_t px = uint32_t(i * spacing);
                const uint32_t py = uint32_t(j * spacing);
                SquarePoint(
                    cells, int(i), int(j), 1, r.g, [&] { return r.random.Value(levelNumber, px, py); }, r.amplitude);
            }
        }
    });
}

}  // namespace

HeightMapWindows::HeightMapWindows(uint32_t mapCells, const TerrainParameters& parameters)
    : mapCells(mapCells), parameters(parameters), base(1, 1)
{
    assert(IsMapCells(mapCells));
    if (mapCells <= heightMapCells) {
        base = Array2D<float>(mapCells, mapCells);
        GenerateHeightMapOfSize(base, parameters, 1);
    } else if (parameters.shape == nullptr) {
        base = ViewerRawHeights(parameters);
    } else if (ShapeLatticeCells(*parameters.shape, mapCells, parameters.shapeMargin) < heightMapCells) {
        base = ShapedLattice129(parameters, mapCells, &amplitude.on);
    } else {
        base = PlacedShapeLattice(parameters, mapCells, 0, &amplitude.on);
    }
}

void HeightMapWindows::LevelSpans(uint32_t x0, uint32_t y0, uint32_t width, uint32_t height, std::vector<Span>& xs,
                                  std::vector<Span>& ys) const
{
    const uint32_t s = (mapCells - 1) / heightMapSize;
    int levels = 0;
    while ((1u << levels) < s) {
        ++levels;
    }
    xs.assign(levels + 1, Span{});
    ys.assign(levels + 1, Span{});
    xs[levels] = {x0, int64_t{x0} + width - 1};
    ys[levels] = {y0, int64_t{y0} + height - 1};
    for (int k = levels; k > 0; --k) {
        const int64_t coarserMax = int64_t{heightMapSize} << (k - 1);
        for (std::vector<Span>* spans : {&xs, &ys}) {
            const Span fine = (*spans)[k];
            (*spans)[k - 1] = {std::max<int64_t>(0, fine.first / 2 - 1),
                               std::min<int64_t>(coarserMax, (fine.last + 1) / 2 + 1)};
        }
    }
}

void HeightMapWindows::Generate(Array2D<float>& window, uint32_t x0, uint32_t y0, unsigned threads,
                                Scratch* scratch) const
{
    const uint32_t width = window.GetWidth();
    const uint32_t height = window.GetHeight();
    assert(uint64_t{x0} + width <= mapCells && uint64_t{y0} + height <= mapCells);
    if (width == 0 || height == 0) {
        return;
    }
    if (mapCells <= heightMapCells) {
        for (uint32_t y = 0; y < height; ++y) {
            std::memcpy(window.Row(y), base.Row(y0 + y) + x0, sizeof(float) * width);
        }
        return;
    }

    std::vector<Span> xs;
    std::vector<Span> ys;
    LevelSpans(x0, y0, width, height, xs, ys);
    const int levels = int(xs.size()) - 1;

    // The coarsest level is the viewer's lattice; each finer one is built
    // from the one before and that one dropped, the finest straight into the
    // window.
    // Under a shape the levels start at the shape's lattice, its values
    // resampled there; the island's at the viewer's 129 lattice.
    // (A shape on a lattice coarser than 129 is refined to it in `base`.)
    const ShapeGrid* shape = parameters.shape.get();
    int first = 0;
    bool fromShape = false;
    if (shape != nullptr) {
        const uint32_t lattice = ShapeLatticeCells(*shape, mapCells, parameters.shapeMargin);
        fromShape = lattice >= heightMapCells;
        while ((int64_t{heightMapSize} << first) + 1 < lattice) {
            ++first;
        }
    }
    Scratch own;
    std::vector<float>& coarserCells = scratch != nullptr ? scratch->coarser : own.coarser;
    std::vector<float>& levelCells = scratch != nullptr ? scratch->level : own.level;
    Level coarser{xs[first].first, ys[first].first, xs[first].last, ys[first].last, nullptr,
                  size_t(xs[first].last - xs[first].first + 1)};
    if (first == levels) {
        coarser.cells = window.Row(0);
    } else {
        coarserCells.resize(coarser.stride * size_t(ys[first].last - ys[first].first + 1));
        coarser.cells = coarserCells.data();
    }
    if (fromShape) {
        // The shape's lattice, placed once for the whole map (`base`).
        for (int64_t j = coarser.y0; j <= coarser.y1; ++j) {
            std::memcpy(&coarser.At(coarser.x0, j), base.Row(uint32_t(j)) + coarser.x0,
                        sizeof(float) * coarser.stride);
        }
    } else {
        for (int64_t j = coarser.y0; j <= coarser.y1; ++j) {
            std::memcpy(&coarser.At(coarser.x0, j), base.Row(uint32_t(j)) + coarser.x0,
                        sizeof(float) * coarser.stride);
        }
    }

    const FineLevelRandom random(parameters.seed);
    float g = AmplitudeAfterViewerLevels(parameters.roughness);
    const int64_t s = (mapCells - 1) / heightMapSize;
    for (int k = first + 1; k <= levels; ++k) {
        g = shape != nullptr ? ShapeDetailAmplitude(firstFineLevel + uint32_t(k - 1), parameters.roughness)
                             : g * parameters.roughness;
        Level level{xs[k].first, ys[k].first, xs[k].last, ys[k].last, nullptr, 0};
        if (k == levels) {
            level.cells = window.Row(0);
            level.stride = width;
        } else {
            level.stride = size_t(level.x1 - level.x0 + 1);
            levelCells.resize(level.stride * size_t(level.y1 - level.y0 + 1));
            level.cells = levelCells.data();
        }
        const Refinement refinement{coarser, level, random, firstFineLevel + uint32_t(k - 1), s >> k, g,
                                    shape != nullptr, amplitude};
        Refine(refinement, int64_t{heightMapSize} << k, threads);
        coarserCells.swap(levelCells);
        coarser = level;
        if (k != levels) {
            coarser.cells = coarserCells.data();
        }
    }

    // Falloff and remap, each cell on its own from its distance to the
    // middle of the whole map.
    const int64_t centre = (mapCells - 1) / 2;
    const float radius = static_cast<float>(centre);
    const TerrainShape remap(parameters.sharpness);
    ParallelRows(int(height), threads, [&](int begin, int end) {
        for (int row = begin; row < end; ++row) {
            const int64_t dj = std::llabs(int64_t{y0} + row - centre);
            float* cells = window.Row(uint32_t(row));
            for (uint32_t i = 0; i < width; ++i) {
                const int64_t di = std::llabs(int64_t{x0} + i - centre);
                if (shape != nullptr) {
                    cells[i] = FinishShapedHeight(cells[i], parameters, di, dj, radius);
                    continue;
                }
                // The whole map's own arithmetic: raw height times the falloff
                // factor, rounded to a float, then the remap.
                cells[i] = remap(cells[i] * FalloffFactor(di, dj, radius, parameters.falloffExponent));
            }
        }
    });
}

uint64_t HeightMapWindows::CellsComputed(uint32_t x0, uint32_t y0, uint32_t width, uint32_t height) const
{
    if (mapCells <= heightMapCells) {
        return uint64_t{width} * height;
    }
    std::vector<Span> xs;
    std::vector<Span> ys;
    LevelSpans(x0, y0, width, height, xs, ys);
    uint64_t cells = 0;
    for (size_t k = 1; k < xs.size(); ++k) {
        cells += uint64_t(xs[k].last - xs[k].first + 1) * uint64_t(ys[k].last - ys[k].first + 1);
    }
    return cells;
}

uint64_t HeightMapWindows::CellsInside(uint32_t x0, uint32_t y0, uint32_t width, uint32_t height) const
{
    if (mapCells <= heightMapCells) {
        return uint64_t{width} * height;
    }
    // Multiples of the spacing in [first, first + count).
    auto multiples = [](uint64_t first, uint64_t count, uint64_t spacing) {
        return (first + count - 1) / spacing - (first + spacing - 1) / spacing + 1;
    };
    uint64_t cells = 0;
    for (uint64_t spacing = (mapCells - 1) / heightMapSize / 2; spacing >= 1; spacing /= 2) {
        cells += multiples(x0, width, spacing) * multiples(y0, height, spacing);
    }
    return cells;
}
