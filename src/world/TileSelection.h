#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "world/TileLayout.h"

// Which of a world's tiles one run writes. A task index t with P tiles a
// task writes tiles t * P to t * P + P - 1 (fewer in the last task).
struct TileRequest {
    bool tileGiven = false;  // --tile X,Y
    uint32_t tileX = 0;
    uint32_t tileY = 0;
    bool indexGiven = false;  // --tile-index K
    uint64_t index = 0;
    uint64_t tilesPerTask = 1;  // --tiles-per-task P
};

// The number of tasks a job array needs: ceil(tiles / P).
uint64_t TaskCount(const TileGrid& grid, uint64_t tilesPerTask);

// The tiles to write, in index order. Without --tile or --tile-index the task
// index comes from the first of slurmTask (SLURM_ARRAY_TASK_ID) and
// jobIndex (JOB_COMPLETION_INDEX) that is set (non-null); with neither,
// every tile. False, with error one line naming the value and the range
// accepted, for a tile or index outside the world.
bool SelectTiles(const TileGrid& grid, const TileRequest& request, const char* slurmTask, const char* jobIndex,
                 std::vector<uint64_t>& tiles, std::string& error);
