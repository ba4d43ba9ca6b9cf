#pragma once

#include "HeightMapOptions.h"

// Runs the tool's tiled mode: prints the job script (--print-slurm) or
// writes this run's tiles. Returns the exit status.
int RunTiles(const HeightMapOptions& options, int argc, char** argv, const char* program, const char* version);
