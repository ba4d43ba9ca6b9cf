#pragma once

#include <cstdint>

#include "terrain/Matrix2DInterface.h"
#include "terrain/TerrainSeed.h"

// Exponent of the radial falloff that shapes the mound into an island:
// higher values pull the slopes in towards the centre. The controls change it
// and regenerate.
extern float falloffExponent;

// Steepness of the remap (see TerrainShape): 3, the viewer's logistic, unless
// the viewer was started with another or its keys changed it.
extern float terrainSharpness;

// The key every DiamondSquare call reseeds the random source with: the
// viewer's fixed seed unless the viewer was started with another.
extern TerrainSeed generationSeed;

// The viewer's map: 129 x 129 cells, the coarsest square 128 cells across and
// a displacement amplitude of 30. The viewer, its controls and the heightmap
// tool all generate with these, so they make the same terrain.
constexpr uint32_t heightMapCells = 129;
constexpr uint32_t heightMapSize = 128;
constexpr float heightMapAmplitude = 30.0f;

// Context record of LogisticRemap: cell = ceiling / (exp((midpoint - t) *
// steepness) + 1) with t = (cell - offset) * scale.
struct LogisticParams {
    float offset;
    float scale;
    float ceiling;
    float steepness;
    float midpoint;
};

// Fills the grid with terrain: zero, diamond-square, radial falloff, then a
// steep logistic remap that leaves every cell between 0 and 1. The grid must
// have at least size + 1 columns and rows; size is a power of two, at least 2.
void GenerateHeightMap(Matrix2DInterface<float>& grid, uint32_t size, float amplitude, float roughness);

// Reseeds the random source from generationSeed and displaces every
// lattice point reached inside the grid; points with a neighbour outside the
// grid (an int thrown by At) are skipped.
void DiamondSquare(Matrix2DInterface<float>& grid, uint32_t size, float amplitude, float roughness);

// DiamondSquare reseeded from the given key instead of generationSeed.
void DiamondSquareWithSeed(Matrix2DInterface<float>& grid, uint32_t size, float amplitude, float roughness,
                           const TerrainSeed& seed);

// ElementFunction for ForEach; params points to a LogisticParams.
void LogisticRemap(float* cell, void* params);

// ElementFunction for ForEach; params points to a TerrainShape.
void ShapeRemap(float* cell, void* params);
