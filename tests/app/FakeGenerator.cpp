#include "FakeGenerator.h"

#include "terrain/HeightMapGenerator.h"

std::vector<GenerationCall> generationCalls;

float falloffExponent = 1.0f;

float terrainSharpness = 3.0f;

TerrainSeed generationSeed = TerrainSeed::Default();

// Fills the grid with the roughness, so an export shows which generation the
// map holds.
void GenerateHeightMap(Matrix2DInterface<float>& grid, uint32_t size, float amplitude, float roughness)
{
    generationCalls.push_back({&grid, size, amplitude, roughness, falloffExponent});
    grid.Fill(roughness);
}
