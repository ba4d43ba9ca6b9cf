#include "terrain/FineLevelRandom.h"

FineLevelRandom::FineLevelRandom(const TerrainSeed& seed) : digest(Mix(seed.Words().size()))
{
    for (const uint32_t word : seed.Words()) {
        digest = Mix(digest ^ word);
    }
}
