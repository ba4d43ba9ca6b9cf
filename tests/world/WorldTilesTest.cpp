// Tiles written through the real writers hold the whole map's cells, bit for
// bit, including the cells they share with their neighbours; a task writes
// its own tiles and only the task with tile 0 writes the manifest.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "ScratchDirectory.h"
#include "erosion/Terrain.h"
#include "terrain/HeightMapOfSize.h"
#include "world/WorldTiles.h"

namespace {

// A cluster's requests cover what the runs were measured to hold: an 8193
// world's stage is eroded whole (3.85 GB; its multiple-flow routing, 3.3
// GB), a larger world's stage is the 4097 lattice (1.2 GB), so a tile of a
// 65537 world still asks for about 2 GB.
TEST(WorldTiles, MemoryRequestsCoverTheStageTheWorldHas)
{
    constexpr uint64_t mb = uint64_t{1} << 20;
    EXPECT_GE(WorldStageJobBytes(8193), 3850 * mb);
    EXPECT_GE(WorldTilesMemoryBytes(8193, 2049, true, false), 3850 * mb);
    EXPECT_GE(WorldTilesMemoryBytes(8193, 2049, false, true, true), 3300 * mb);
    EXPECT_LE(WorldStageJobBytes(65537), 2048 * mb);
    EXPECT_LE(WorldTilesMemoryBytes(65537, 2049, true, false), 2048 * mb);
    EXPECT_GE(WorldTilesMemoryBytes(65537, 2049, true, false), 1200 * mb);
}

WorldTilesJob Job(const std::string& out, uint32_t world, uint32_t tile, const TileLayout& layout,
                  const char* format)
{
    WorldTilesJob job;
    job.set.grid = TileGrid::Make(world, tile);
    job.set.layout = &layout;
    job.set.format = FindHeightMapFormat(format);
    job.set.rows = layout.format != nullptr ? layout.rows : job.set.format->defaultRows;
    job.set.out = out;
    EXPECT_TRUE(TerrainSeed::FromText("tiles", job.set.terrain.seed));
    job.set.terrain.roughness = 0.7f;
    job.set.version = "test";
    job.threads = 2;
    job.stage = std::make_shared<const WorldStage>(ComputeWorldStage(job.set.terrain, world, 2));
    for (uint64_t k = 0; k < job.set.grid.TileCount(); ++k) {
        job.tiles.push_back(k);
    }
    return job;
}

Array2D<float> WholeMap(const WorldTilesJob& job)
{
    Array2D<float> map(job.set.grid.worldCells, job.set.grid.worldCells);
    GenerateTerrain(map, job.set.terrain, 2);
    return map;
}

// Tile rows that differ from the whole map's window. f32 tiles store grid
// rows bottom first, r16 tiles their 16-bit samples.
int MismatchedRows(const WorldTilesJob& job, const Array2D<float>& whole, uint64_t index)
{
    const TileGrid& grid = job.set.grid;
    const TilePlace place = PlaceOfTile(grid, *job.set.layout, index);
    const std::vector<uint8_t> bytes =
        ReadFileBytes(TileFileName(job.set.out, *job.set.layout, *job.set.format, place.x, place.y));
    const size_t cell = std::string(job.set.format->name) == "f32" ? 4 : 2;
    const uint32_t t = grid.tileCells;
    if (bytes.size() != size_t(t) * t * cell) {
        return int(t);
    }
    int mismatches = 0;
    for (uint32_t row = 0; row < t; ++row) {
        const float* cells = whole.Row(place.gridY + row) + place.gridX;
        const uint8_t* stored = bytes.data() + size_t(row) * t * cell;
        bool same = true;
        for (uint32_t i = 0; i < t && same; ++i) {
            if (cell == 4) {
                same = std::memcmp(stored + 4 * i, &cells[i], 4) == 0;
            } else {
                const float v = std::min(1.0f, std::max(0.0f, cells[i]));
                const unsigned sample = unsigned(v * 65535.0 + 0.5);
                same = stored[2 * i] == (sample & 0xFF) && stored[2 * i + 1] == (sample >> 8);
            }
        }
        mismatches += !same;
    }
    return mismatches;
}

TEST(WorldTiles, EveryTileHoldsItsWindowOfTheWholeMap)
{
    const struct {
        uint32_t world, tile;
        const TileLayout* layout;
        const char* format;
    } cases[] = {
        {1025, 257, &DefaultTileLayout(), "f32"},
        {1025, 300, &DefaultTileLayout(), "f32"},  // cropped to 898
        {513, 65, FindTileLayout("unity"), "r16"},
    };
    for (const auto& c : cases) {
        ScratchDirectory dir;
        const WorldTilesJob job = Job(dir.File("w"), c.world, c.tile, *c.layout, c.format);
        std::string error;
        ASSERT_TRUE(WriteWorldTiles(job, error)) << error;
        const Array2D<float> whole = WholeMap(job);
        int mismatches = 0;
        for (uint64_t k = 0; k < job.set.grid.TileCount(); ++k) {
            mismatches += MismatchedRows(job, whole, k);
        }
        EXPECT_EQ(mismatches, 0) << c.world << "/" << c.tile << " " << c.format;
        EXPECT_EQ(dir.Entries().size(), job.set.grid.TileCount() + 1);  // and the manifest
    }
}

TEST(WorldTiles, OnlyTheTaskWithTileZeroWritesTheManifest)
{
    ScratchDirectory dir;
    WorldTilesJob job = Job(dir.File("w"), 513, 129, DefaultTileLayout(), "f32");
    job.tiles = {5, 6};
    std::string error;
    ASSERT_TRUE(WriteWorldTiles(job, error)) << error;
    std::vector<std::string> names = dir.Entries();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"w_1_1.f32", "w_2_1.f32"}));

    job.tiles = {0};
    ASSERT_TRUE(WriteWorldTiles(job, error)) << error;
    EXPECT_EQ(dir.Entries().size(), 4u);
    EXPECT_FALSE(ReadFileBytes(TileManifestPath(job.set.out)).empty());
    const Array2D<float> whole = WholeMap(job);
    for (const uint64_t k : {0u, 5u, 6u}) {
        EXPECT_EQ(MismatchedRows(job, whole, k), 0) << k;
    }
}

}  // namespace
