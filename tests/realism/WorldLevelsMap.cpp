// Writes the recommended terrain as a world of N cells made from a stage of
// S cells (N > S), as raw f32 with the JSON the realism measurement reads:
// the world's levels below the stage, which the tool itself makes only
// above 4097, at a size a test affords.
//
// Usage: orvandel_world_levels_map N S OUT.f32
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "erosion/WorldStage.h"
#include "erosion/WorldWindows.h"

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s N S OUT.f32\n", argv[0]);
        return 2;
    }
    const auto world = static_cast<uint32_t>(std::atoi(argv[1]));
    const auto stageCells = static_cast<uint32_t>(std::atoi(argv[2]));
    TerrainParameters parameters;
    parameters.roughness = 0.62f;
    parameters.sharpness = 0.25f;
    parameters.erosion = 1.0f;
    const auto stage =
        std::make_shared<const WorldStage>(ComputeWorldStage(parameters, world, 0, {}, stageCells));
    Array2D<float> map(world, world);
    WorldWindows(parameters, stage).Generate(map, nullptr, 0, 0, 0);
    FILE* out = std::fopen(argv[3], "wb");
    if (!out || std::fwrite(map.Row(0), sizeof(float), size_t{world} * world, out) != size_t{world} * world ||
        std::fclose(out) != 0) {
        std::perror(argv[3]);
        return 1;
    }
    // The tool's --meta keys the measurement reads, at its default extent
    // and relief.
    const std::string json = std::string(argv[3]) + ".json";
    FILE* meta = std::fopen(json.c_str(), "w");
    if (!meta) {
        std::perror(json.c_str());
        return 1;
    }
    std::fprintf(meta, "{\"width\": %u, \"height\": %u, \"row_order\": \"bottom_first\", \"cell_size_m\": %.17g, \"relief_m\": 2000}\n",
                 world, world, 10000.0 / (world - 1));
    return std::fclose(meta) == 0 ? 0 : 1;
}
