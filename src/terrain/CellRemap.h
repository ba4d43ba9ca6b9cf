#pragma once

#include "terrain/DiamondSquareSteps.h"
#include "terrain/TerrainParameters.h"

// What every cell goes through once its raw height is known: the falloff
// factor for its distance from the middle, then the remap. The whole map and
// any window of it call this one function, so a window's cells are the
// whole map's to the bit.
inline float RemapCell(float raw, float falloffFactor, const TerrainParameters& /*parameters*/)
{
    const float lowered = raw * falloffFactor;
    return Logistic(lowered, terrainLogistic);
}
