#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "terrain/Array2D.h"
#include "terrain/HeightMapOfSize.h"
#include "terrain/ShapeGrid.h"
#include "terrain/ShapeRelief.h"
#include "terrain/TerrainParameters.h"

namespace {

// A smooth shape of two halves: a low plain (west) and a high plateau
// (east), with a smooth step between them; nothing finer than the step.
std::shared_ptr<const ShapeGrid> PlainAndPlateau(float plain, float plateau)
{
    auto shape = std::make_shared<ShapeGrid>();
    shape->cells = 65;
    shape->heights.resize(size_t(shape->cells) * shape->cells);
    for (uint32_t j = 0; j < shape->cells; ++j) {
        for (uint32_t i = 0; i < shape->cells; ++i) {
            const double t = 1.0 / (1.0 + std::exp(-(double(i) - 32.0) / 2.0));
            shape->heights[size_t(j) * shape->cells + i] = float(plain + (plateau - plain) * t);
        }
    }
    shape->checksum = "test:plain-and-plateau";
    shape->identity = shape->checksum;
    return shape;
}

// The RMS of the finest level's detail (each cell off the 2 x 2 lattice
// less the mean of its lattice neighbours) over columns [x0, x1), away
// from the rows' ends.
double FineDetail(const Array2D<float>& map, uint32_t x0, uint32_t x1)
{
    const uint32_t n = map.GetWidth();
    double sum = 0.0;
    size_t count = 0;
    for (uint32_t y = 16; y + 16 < n; y += 2) {
        for (uint32_t x = x0 | 1; x < x1; x += 2) {
            const float* row = map.Row(y);
            const double d = row[x] - 0.5 * (double(row[x - 1]) + row[x + 1]);
            sum += d * d;
            ++count;
        }
    }
    return std::sqrt(sum / double(count));
}

// The plain's fine detail over the plateau's, on a 513 map of the shape
// with `--shape-trust` `trust` (0: auto).
double PlainOverPlateau(float trust)
{
    TerrainParameters parameters;
    parameters.roughness = 0.62f;
    parameters.shape = PlainAndPlateau(0.09f, 0.6f);
    parameters.shapeTrust = trust;
    const uint32_t n = 513;
    Array2D<float> map(n, n);
    GenerateHeightMapOfSize(map, parameters, 2);
    return FineDetail(map, 16, n / 2 - 64) / FineDetail(map, n / 2 + 64, n - 16);
}

}  // namespace

// Below the lattice of a shape that took relief, the seed's detail is shared
// by height as the relief was: a plain at 0.09 takes ShapeHeightShare(0.09)
// of the plateau's, not all of it (the plain of gravel this mends). A shape
// that takes no relief (trusted at every scale it has, --shape-trust 1)
// keeps the island's law below its lattice, on low ground as on high.
TEST(ShapeDetail, APlainsFinerDetailIsSharedByItsHeightWhereTheShapeTookRelief)
{
    const struct {
        float trust;
        double ratio;
    } cases[] = {{0.0f, ShapeHeightShare(0.09f) / ShapeHeightShare(0.6f)}, {1.0f, 1.0}};
    for (const auto& c : cases) {
        EXPECT_NEAR(PlainOverPlateau(c.trust), c.ratio, 0.3 * c.ratio) << "--shape-trust " << c.trust;
    }
}

// A shape's own curvature at coarse scales is its form, not relief: a
// smooth ridge (a parabola across the map, the sea beyond |u| = 0.25, its
// detail the same at every point of a kind) is as smooth as a plane at
// every level, so relief starts at the first level the rule allows; counted
// as relief, its detail kept the seed's relief off level 2.
TEST(ShapeDetail, ASmoothRidgesCurvatureIsNotCountedAsRelief)
{
    const uint32_t n = 129;
    std::vector<float> lattice(size_t(n) * n);
    for (uint32_t j = 0; j < n; ++j) {
        for (uint32_t i = 0; i < n; ++i) {
            const double u = double(i) / (n - 1) - 0.5;
            lattice[size_t(j) * n + i] = float(0.875 - 14.0 * u * u);
        }
    }
    TerrainParameters parameters;
    parameters.roughness = 0.62f;
    EXPECT_EQ(ShapeReliefStart(lattice, n, parameters), 2);
}
