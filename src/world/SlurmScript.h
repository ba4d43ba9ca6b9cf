#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A ready sbatch script for a tile set: a job array of one task per P tiles,
// each task running the tool with the same options, finding its tiles from
// SLURM_ARRAY_TASK_ID; or, for an eroded world, the one job that makes its
// stage file first.
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
    bool stageOnly = false;  // the stage's job: no array, the tool run with --stage-only
};

std::string SlurmScript(const SlurmJob& job);

// What --print-slurm prints: a shell script, run with sh, that submits the
// job scripts (each fed to sbatch --parsable on its standard input). With a
// stage job, the array is submitted with --dependency=afterok on it, so no
// task starts before the stage file is written, and none if it fails.
std::string SlurmSubmitScript(const SlurmJob& tiles, const SlurmJob* stage);
