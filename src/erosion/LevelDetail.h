#pragma once

#include <cstdint>

#include "erosion/LevelPasses.h"
#include "erosion/WorldLevelCells.h"
#include "terrain/HeightMapWindow.h"

namespace world_levels {

// The passes (LevelPasses.h) of a level of `cells` a side at erosion `amount`.
LevelPassPlan PassPlan(float amount, int64_t cells);

// A level's raw terrain, detail and free heights over `rect` (a
// DetailRect) from the coarser level: the coarser heights refined plus the
// level's detail held within `limit`, then the level's passes. The raw
// terrain is kept when `keepRaw` (the next level's detail needs it).
LevelDetail MakeDetail(const LevelCells& coarse, const HeightMapWindows& rawLevel, const Rect& rect, int64_t cells,
                       float limit, bool keepRaw, const LevelPassPlan& passes, unsigned threads);

}  // namespace world_levels
