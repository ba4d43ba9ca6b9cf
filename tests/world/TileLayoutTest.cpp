// Where each tile lies and what it is called in every layout, which tiles a
// task writes, and the manifest as a JSON parser reads it.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/TerrainOptions.h"
#include "world/TileManifest.h"
#include "world/TileSelection.h"

namespace {

TEST(TileGrid, TilesShareBordersAndTheWorldIsCroppedToWhatTheyFill)
{
    const struct {
        uint32_t world, tile, perSide, cropped;
    } cases[] = {
        {4097, 1025, 4, 4097}, {4097, 4097, 1, 4097}, {1025, 300, 3, 898},
        {131073, 8129, 16, 130049}, {131073, 505, 260, 131041}, {33, 33, 1, 33},
    };
    for (const auto& c : cases) {
        const TileGrid grid = TileGrid::Make(c.world, c.tile);
        EXPECT_EQ(grid.tilesPerSide, c.perSide) << c.world << "/" << c.tile;
        EXPECT_EQ(grid.CroppedCells(), c.cropped) << c.world << "/" << c.tile;
    }
}

TEST(TileLayout, NamesAndPlacesFollowEachEngine)
{
    const TileGrid grid = TileGrid::Make(1025, 257);  // 4 x 4 tiles
    const struct {
        const TileLayout* layout;
        const char* format;
        uint32_t x, y;
        const char* name;
        uint32_t gridX, gridY;  // where tile (x, y) starts
    } cases[] = {
        // Unreal and GIS count Y from the north: Y = 0 is the top row of tiles.
        {FindTileLayout("unreal"), "png16", 3, 0, "d/w_x3_y0.png", 768, 768},
        {FindTileLayout("unreal"), "png16", 0, 3, "d/w_x0_y3.png", 0, 0},
        {FindTileLayout("gis"), "tif32", 1, 2, "d/w_1_2.tif", 256, 256},
        // Unity and the default naming count Y from grid row 0 (south).
        {FindTileLayout("unity"), "r16", 1, 2, "d/w_1_2.raw", 256, 512},
        {&DefaultTileLayout(), "f32", 2, 0, "d/w_2_0.f32", 512, 0},
        {&DefaultTileLayout(), "png16", 0, 3, "d/w_0_3.png", 0, 768},
    };
    for (const auto& c : cases) {
        const HeightMapFormat& format = *FindHeightMapFormat(c.format);
        EXPECT_EQ(TileFileName("d/w", *c.layout, format, c.x, c.y), c.name);
        const TilePlace place = PlaceOfTile(grid, *c.layout, IndexOfTile(grid, c.x, c.y));
        EXPECT_EQ(place.x, c.x) << c.name;
        EXPECT_EQ(place.y, c.y) << c.name;
        EXPECT_EQ(place.gridX, c.gridX) << c.name;
        EXPECT_EQ(place.gridY, c.gridY) << c.name;
    }
    EXPECT_EQ(FindTileLayout("unreal")->format, std::string("png16"));
    EXPECT_EQ(FindTileLayout("unity")->format, std::string("r16"));
    EXPECT_EQ(FindTileLayout("gis")->format, std::string("tif32"));
    EXPECT_EQ(FindTileLayout("godot"), nullptr);
}

TEST(TileSelection, TaskIndexFromTheOptionsOrTheScheduler)
{
    const TileGrid grid = TileGrid::Make(1025, 257);  // 16 tiles
    const struct {
        TileRequest request;
        const char* slurm;
        const char* job;
        std::vector<uint64_t> tiles;  // empty: refused
    } cases[] = {
        {{}, nullptr, nullptr, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}},
        {{}, "5", nullptr, {5}},
        {{}, nullptr, "7", {7}},
        {{}, "5", "7", {5}},  // Slurm's first
        {{false, 0, 0, false, 0, 5}, "3", nullptr, {15}},  // the last task holds what is left
        {{false, 0, 0, false, 0, 5}, "1", nullptr, {5, 6, 7, 8, 9}},
        {{false, 0, 0, true, 2, 3}, "0", nullptr, {6, 7, 8}},  // the option wins over the environment
        {{true, 1, 2, false, 0, 1}, "0", nullptr, {9}},
        {{}, "16", nullptr, {}},
        {{}, "x", nullptr, {}},
        {{}, "", nullptr, {}},
        {{false, 0, 0, false, 0, 5}, "4", nullptr, {}},
        {{true, 4, 0, false, 0, 1}, nullptr, nullptr, {}},
    };
    for (const auto& c : cases) {
        std::vector<uint64_t> tiles;
        std::string error;
        const bool selected = SelectTiles(grid, c.request, c.slurm, c.job, tiles, error);
        EXPECT_EQ(selected, !c.tiles.empty()) << (c.slurm ? c.slurm : "-") << ": " << error;
        if (selected) {
            EXPECT_EQ(tiles, c.tiles);
        } else {
            EXPECT_EQ(error.find('\n'), std::string::npos);
            EXPECT_FALSE(error.empty());
        }
    }
    EXPECT_EQ(TaskCount(grid, 5), 4u);
    EXPECT_EQ(TaskCount(grid, 16), 1u);
}

TEST(TileManifest, DescribesTheSetAsAJsonParserReadsIt)
{
    TileSetDescription set;
    set.grid = TileGrid::Make(1025, 300);
    set.layout = FindTileLayout("unreal");
    set.format = FindHeightMapFormat("png16");
    set.rows = RowOrder::TopFirst;
    set.out = "some/dir/island";
    ASSERT_TRUE(TerrainSeed::FromText("\xC3\xA9t\xC3\xA9", set.terrain.seed));
    set.terrain.roughness = 0.62f;
    set.terrain.sharpness = 0.25f;
    set.terrain.lakeArea = 20000.0f;  // given, so it is described
    set.version = "9.9.9";

    const nlohmann::json json = nlohmann::json::parse(TileManifestJson(set));
    EXPECT_EQ(json["world_size"], 1025);
    EXPECT_EQ(json["size"], 898);
    EXPECT_EQ(json["cropped_cells"], 127);
    EXPECT_NE(json["crop"].get<std::string>().find("898"), std::string::npos);
    EXPECT_EQ(json["tile_size"], 300);
    EXPECT_EQ(json["tiles_x"], 3);
    EXPECT_EQ(json["tile_count"], 9);
    EXPECT_EQ(json["layout"], "unreal");
    EXPECT_EQ(json["naming"], "island_x{X}_y{Y}.png");
    EXPECT_EQ(json["row_order"], "top_first");
    EXPECT_EQ(json["seed"], "\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(json["seed_hex"], "c3a974c3a9");
    EXPECT_EQ(json["roughness"].get<float>(), 0.62f);
    EXPECT_EQ(json["sharpness"].get<float>(), 0.25f);
    // Every option that shapes the cells, so the manifest rebuilds its set.
    for (const TerrainOption& option : TerrainOptions()) {
        if (option.metaKey != nullptr) {
            ASSERT_TRUE(json.contains(option.metaKey)) << option.name;
            EXPECT_EQ(json[option.metaKey].get<float>(), option.number(set.terrain)) << option.name;
        }
    }
    EXPECT_EQ(json["version"], "9.9.9");
    EXPECT_EQ(json["maps"], nlohmann::json::array());
    EXPECT_EQ(json["normals"], "gl");
    // Numbers as --meta prints them: a float by its nine digits, whole
    // numbers and -0 without ".0" or a sign.
    set.terrain.erosion = -0.0f;
    set.ground.originX = -0.0;
    set.maps = {DerivedMapKind::Normal, DerivedMapKind::Flow};
    set.normals = NormalConvention::DirectX;
    const std::string text = TileManifestJson(set);
    for (const char* shown : {"\"roughness\": 0.620000005,", "\"falloff\": 1,", "\"sharpness\": 0.25,",
                              "\"erosion\": 0,", "\"origin_x_m\": 0,", "\"relief_m\": 1,", "\"normals\": \"dx\""}) {
        EXPECT_NE(text.find(shown), std::string::npos) << shown << " in " << text;
    }
    EXPECT_EQ(nlohmann::json::parse(text)["maps"], nlohmann::json::parse("[\"normal\", \"flow\"]"));

    // A seed that is not UTF-8 reads back one character a byte.
    ASSERT_TRUE(TerrainSeed::FromText("a\xFF", set.terrain.seed));
    const nlohmann::json latin = nlohmann::json::parse(TileManifestJson(set));
    EXPECT_EQ(latin["seed"], "a\xC3\xBF");
    EXPECT_EQ(latin["seed_hex"], "61ff");
}

}  // namespace
