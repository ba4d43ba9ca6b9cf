#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "erosion/WorldStage.h"
#include "erosion/WorldWindows.h"
#include "world/MapInputs.h"
#include "world/WorldFlow.h"

namespace {

TerrainParameters Island(float erosion)
{
    TerrainParameters parameters;
    parameters.roughness = 0.62f;
    parameters.sharpness = 0.25f;
    parameters.erosion = erosion;
    return parameters;
}

bool SameCells(const Array2D<float>& window, const Array2D<float>& whole, uint32_t x0, uint32_t y0)
{
    for (uint32_t y = 0; y < window.GetHeight(); ++y) {
        if (std::memcmp(window.Row(y), whole.Row(y0 + y) + x0, window.GetWidth() * sizeof(float)) != 0) {
            return false;
        }
    }
    return true;
}

// A world of 1025 over a stage of 129 (eight world cells to a stage cell,
// so segments of seven cells and crossing diagonals): each tile's
// multiple-flow area and direction, made from the tile and its one-cell
// halo alone, are the whole map's, bit for bit; a stage cell's place holds
// f^2 times its area; the water of a stage cell lies along its segments.
TEST(WorldFlow, EveryTileIsTheWholeMapsWindowAndTheStagesAreaIsCarriedDown)
{
    for (const float erosion : {1.0f, 0.0f}) {
        SCOPED_TRACE(erosion);
        const TerrainParameters parameters = Island(erosion);
        const auto stage = std::make_shared<const WorldStage>(ComputeWorldStage(parameters, 1025, 0, {}, 129));
        const WorldWindows world(parameters, stage);
        const WorldFlow flow(stage, 2);
        Array2D<float> whole(1025, 1025);
        world.Generate(whole, nullptr, 0, 0, 2);
        const MultipleFlowField all = flow.Field(whole, 0, 0, 3);
        const Array2D<float> stageArea = RouteMultipleFlow(stage->routed, 1).area;
        for (uint32_t y = 0; y < 1025; y += 8) {
            for (uint32_t x = 0; x < 1025; x += 8) {
                ASSERT_EQ(all.area.At(int(x), int(y)), 64.0f * stageArea.At(int(x / 8), int(y / 8))) << x << "," << y;
            }
        }
        struct Tile {
            uint32_t x0, y0, size;
        };
        for (const Tile t : {Tile{0, 0, 257}, Tile{256, 512, 257}, Tile{768, 768, 257}, Tile{100, 3, 45}}) {
            SCOPED_TRACE(testing::Message() << "tile at " << t.x0 << "," << t.y0);
            const uint32_t west = t.x0 > 0, south = t.y0 > 0;
            const uint32_t east = t.x0 + t.size < 1025, north = t.y0 + t.size < 1025;
            Array2D<float> haloed(t.size + west + east, t.size + south + north);
            world.Generate(haloed, nullptr, t.x0 - west, t.y0 - south, 1);
            const MultipleFlowField part =
                WindowOfFlow(flow.Field(haloed, t.x0 - west, t.y0 - south, 1), west, south, t.size, t.size);
            EXPECT_TRUE(SameCells(part.area, all.area, t.x0, t.y0));
            EXPECT_TRUE(SameCells(part.east, all.east, t.x0, t.y0));
            EXPECT_TRUE(SameCells(part.north, all.north, t.x0, t.y0));
        }
        // Land with a direction: an eroded world's cells all drain.
        if (erosion > 0.0f) {
            int none = 0;
            for (uint32_t y = 1; y + 1 < 1025; ++y) {
                for (uint32_t x = 1; x + 1 < 1025; ++x) {
                    none += whole.At(int(x), int(y)) > 0.01f && all.east.At(int(x), int(y)) == 0.0f &&
                            all.north.At(int(x), int(y)) == 0.0f;
                }
            }
            EXPECT_EQ(none, 0);
        }
    }
}

}  // namespace
