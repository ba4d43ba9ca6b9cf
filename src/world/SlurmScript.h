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

// The job's #SBATCH lines are values Slurm reads as written: the set's name
// through SlurmSafeName, each task's log its own (%A_%a).
std::string SlurmScript(const SlurmJob& job);

// What --print-slurm prints: a shell script, run with sh, that submits the
// job scripts (each fed to sbatch --parsable on its standard input). With a
// stage job, the array is submitted with --dependency=afterok on it, so no
// task starts before the stage file is written, and none if it fails.
std::string SlurmSubmitScript(const SlurmJob& tiles, const SlurmJob* stage);

// The name as a job name and a log file's stem: letters, digits, '.', '-'
// and '_' kept, every other byte (a quote or a '#', which sbatch would take
// as the line's end or an unmatched quote; a space, a '%', which Slurm
// expands in file names; control bytes and non-ASCII bytes) becomes '_', one
// for one, so the name stays recognisable; cut to 200 bytes, which keeps the
// log's name within a file name's limit.
std::string SlurmSafeName(const std::string& name);

// Slurm's MaxArraySize: a job array's tasks are 0 to MaxArraySize - 1. The
// default, and the most a cluster may set.
constexpr uint64_t kSlurmDefaultMaxArraySize = 1001;
constexpr uint64_t kSlurmLargestMaxArraySize = 4000001;

// The fewest tiles a task that keep a job array of these tiles within
// maxArraySize tasks.
uint64_t TilesPerTaskWithin(uint64_t tiles, uint64_t maxArraySize);

