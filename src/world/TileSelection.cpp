#include "world/TileSelection.h"

#include <algorithm>

namespace {

bool ReadIndex(const std::string& text, uint64_t& value)
{
    if (text.empty() || text.size() > 12 || text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    value = std::stoull(text);
    return true;
}

}  // namespace

uint64_t TaskCount(const TileGrid& grid, uint64_t tilesPerTask)
{
    return (grid.TileCount() + tilesPerTask - 1) / tilesPerTask;
}

bool SelectTiles(const TileGrid& grid, const TileRequest& request, const char* slurmTask, const char* jobIndex,
                 std::vector<uint64_t>& tiles, std::string& error)
{
    tiles.clear();
    const std::string last = std::to_string(grid.tilesPerSide - 1);
    if (request.tileGiven) {
        if (request.tileX >= grid.tilesPerSide || request.tileY >= grid.tilesPerSide) {
            error = "--tile " + std::to_string(request.tileX) + "," + std::to_string(request.tileY) +
                    " is outside the world: X and Y run from 0 to " + last;
            return false;
        }
        tiles.push_back(IndexOfTile(grid, request.tileX, request.tileY));
        return true;
    }

    uint64_t task = 0;
    std::string source;
    if (request.indexGiven) {
        task = request.index;
        source = "--tile-index";
    } else {
        for (const auto& [name, value] : {std::pair<const char*, const char*>{"SLURM_ARRAY_TASK_ID", slurmTask},
                                          {"JOB_COMPLETION_INDEX", jobIndex}}) {
            if (value == nullptr) {
                continue;
            }
            source = name;
            if (!ReadIndex(value, task)) {
                error = source + " needs a whole number, not '" + value + "'";
                return false;
            }
            break;
        }
    }
    if (source.empty()) {
        for (uint64_t k = 0; k < grid.TileCount(); ++k) {
            tiles.push_back(k);
        }
        return true;
    }
    const uint64_t tasks = TaskCount(grid, request.tilesPerTask);
    if (task >= tasks) {
        error = source + " " + std::to_string(task) + " is past the last task: this world has " +
                std::to_string(grid.TileCount()) + " tiles, " + std::to_string(request.tilesPerTask) +
                " a task, so 0 to " + std::to_string(tasks - 1);
        return false;
    }
    const uint64_t first = task * request.tilesPerTask;
    const uint64_t end = std::min(grid.TileCount(), first + request.tilesPerTask);
    for (uint64_t k = first; k < end; ++k) {
        tiles.push_back(k);
    }
    return true;
}
