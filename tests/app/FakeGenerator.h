#pragma once

#include <cstdint>
#include <vector>

#include "terrain/Matrix2DInterface.h"

// The controls tests link this recorder in place of the terrain generator
// (with the generator's falloffExponent and generationSeed), so each
// regeneration and the parameters it saw can be counted.
struct GenerationCall {
    const Matrix2DInterface<float>* grid;
    uint32_t size;
    float amplitude;
    float roughness;
    float falloffExponent;
};
extern std::vector<GenerationCall> generationCalls;
