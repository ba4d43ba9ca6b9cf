#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A ready sbatch script for a tile set: a job array of one task per P tiles,
// each task running the tool with the same options, finding its tiles from
// SLURM_ARRAY_TASK_ID.
struct SlurmJob {
    std::string tool;                    // the tool's absolute path
    std::vector<std::string> arguments;  // its options, without the task's own tile
    std::string directory;               // where the tasks run: --out is read from there
    std::string name;                    // the tile set's NAME, for the job's name
    uint64_t tasks = 1;
    unsigned cpusPerTask = 2;
    bool threadsGiven = false;  // else each task runs on the cores Slurm gives it
    uint64_t memoryBytes = 0;
    std::string summary;  // one comment line: the world and its tiles
};

std::string SlurmScript(const SlurmJob& job);

