#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "TerrainChecks.h"
#include "erosion/Terrain.h"
#include "erosion/TerrainStats.h"
#include "erosion/WorldStage.h"
#include "erosion/WorldWindows.h"
#include "terrain/HeightMapOfSize.h"

namespace {

// Up to 8193 a world is its own stage, eroded whole; a larger one is made
// from its 4097 lattice; a test's smaller stages keep their own rule.
TEST(WorldStage, AWorldUpTo8193IsItsOwnStage)
{
    const struct {
        uint32_t world, largest, stage;
    } cases[] = {{129, 0, 129},     {4097, 0, 4097},  {8193, 0, 8193},    {16385, 0, 4097},
                 {131073, 0, 4097}, {2049, 1025, 1025}, {513, 1025, 513}, {8193, 4097, 4097}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.stage, StageCellsOf(c.world, c.largest)) << c.world << " over " << c.largest;
    }
    EXPECT_EQ(0, LevelsBelowStage(8193, StageCellsOf(8193)));
    EXPECT_EQ(2, LevelsBelowStage(16385, StageCellsOf(16385)));
}

// The cells of `window` differ from those of `whole` at (x0, y0): the first
// row that does, or -1.
int FirstDifferentRow(const Array2D<float>& window, const Array2D<float>& whole, uint32_t x0, uint32_t y0)
{
    for (uint32_t y = 0; y < window.GetHeight(); ++y) {
        if (std::memcmp(window.Row(y), whole.Row(y0 + y) + x0, window.GetWidth() * sizeof(float)) != 0) {
            return static_cast<int>(y);
        }
    }
    return -1;
}


// A world of 513 cells over a stage of 129 has the real design's two kinds
// of level at a size a test can afford; every window of it, made alone on
// any number of threads, is the whole map's cells and upstream areas.
TEST(WorldWindows, EveryWindowIsTheWholeWorldsCells)
{
    struct Window {
        uint32_t x0, y0, width, height;
    };
    const Window windows[] = {{0, 0, 129, 129}, {384, 384, 129, 129}, {129, 257, 65, 33}, {511, 0, 2, 513}};
    for (const TerrainParameters& parameters :
         {Eroded(0.62f, 0.25f, 1.0f), Eroded(0.5f, 3.0f, 1.0f), Eroded(2.0f, 1.0f, maxErosion),
          Eroded(0.62f, 0.25f, 0.0f)}) {
        const auto stage = std::make_shared<const WorldStage>(ComputeWorldStage(parameters, 513, 0, {}, 129));
        const WorldWindows world(parameters, stage);
        Array2D<float> whole(513, 513);
        Array2D<float> wholeUpstream(513, 513);
        world.Generate(whole, &wholeUpstream, 0, 0, 2);
        if (parameters.erosion > 0.0f) {
            EXPECT_EQ(LandCellsWithoutAWayDown(whole), 0);
        }
        for (const Window& w : windows) {
            for (const unsigned threads : {1u, 3u}) {
                SCOPED_TRACE(testing::Message() << "E " << parameters.erosion << " K " << parameters.sharpness
                                                << " window at " << w.x0 << "," << w.y0 << ", " << threads
                                                << " threads");
                Array2D<float> heights(w.width, w.height);
                Array2D<float> upstream(w.width, w.height);
                world.Generate(heights, &upstream, w.x0, w.y0, threads);
                EXPECT_EQ(FirstDifferentRow(heights, whole, w.x0, w.y0), -1);
                EXPECT_EQ(FirstDifferentRow(upstream, wholeUpstream, w.x0, w.y0), -1);
                Array2D<float> alone(w.width, w.height);
                world.Generate(alone, nullptr, w.x0, w.y0, threads);
                EXPECT_EQ(FirstDifferentRow(alone, whole, w.x0, w.y0), -1);
            }
        }
    }
}

// Without erosion a world's heights stay the raw terrain, bit for bit.
TEST(WorldWindows, RawWorldsAreTheRawTerrain)
{
    const TerrainParameters parameters = Eroded(0.62f, 0.25f, 0.0f);
    Array2D<float> raw(513, 513);
    GenerateHeightMapOfSize(raw, parameters);
    const WorldWindows world(parameters,
                             std::make_shared<const WorldStage>(ComputeWorldStage(parameters, 513, 0, {}, 129)));
    Array2D<float> made(513, 513);
    Array2D<float> upstream(513, 513);
    world.Generate(made, &upstream, 0, 0);
    EXPECT_EQ(FirstDifferentRow(made, raw, 0, 0), -1);
}

// A stage of n cells made whole is its tiles' cells, drains across every
// seam, is shaped in slopes and keeps the viewer's valleys.
void ExpectShippableStage(uint32_t n)
{
    const TerrainParameters parameters = Eroded(0.62f, 0.25f, 1.0f);
    Array2D<float> whole(n, n);
    Array2D<float> upstream(n, n);
    GenerateTerrainAndFlow(whole, upstream, parameters);
    Array2D<float> plain(n, n);
    GenerateTerrain(plain, parameters, 1);
    EXPECT_EQ(FirstDifferentRow(plain, whole, 0, 0), -1);
    const WorldWindows world(parameters, std::make_shared<const WorldStage>(ComputeWorldStage(parameters, n)));
    const uint32_t quarter = (n - 1) / 4;
    Array2D<float> tile(quarter + 1, quarter + 1);
    world.Generate(tile, nullptr, 2 * quarter, quarter, 1);
    EXPECT_EQ(FirstDifferentRow(tile, whole, 2 * quarter, quarter), -1);

    EXPECT_EQ(LandCellsWithoutAWayDown(whole), 0);
    const TerrainStats stats = MeasureTerrain(whole);
    EXPECT_GE(stats.SlopedShare(), 0.5);
    EXPECT_LE(stats.FlatShare(), 0.05);

    Array2D<float> viewers(129, 129);
    GenerateTerrain(viewers, parameters);
    const uint32_t every = (n - 1) / 128;
    double difference = 0.0;
    int land = 0;
    for (uint32_t y = 0; y < 129; ++y) {
        for (uint32_t x = 0; x < 129; ++x) {
            if (viewers.Row(y)[x] > 0.01f) {
                difference += std::fabs(whole.Row(every * y)[every * x] - viewers.Row(y)[x]);
                ++land;
            }
        }
    }
    ASSERT_GT(land, 1000);
    EXPECT_LE(difference / land, 0.01);
}

// A 513 stage runs every step of the 2049 one below on a sixteenth of the
// cells, so that the sanitizer build runs them too.
TEST(WorldWindows, ErodedStageIsShippableTerrain)
{
    ExpectShippableStage(513);
}

// The real stage: a 2049 map (a "Large" suite: the normal build only, as
// CMakeLists.txt says).
TEST(WorldWindowsLarge, ErodedMapAboveTheStageIsShippableTerrain)
{
    ExpectShippableStage(2049);
}

}  // namespace
