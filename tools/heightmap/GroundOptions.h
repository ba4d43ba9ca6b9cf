#pragma once

#include <string>
#include <vector>

#include "derive/DerivedMapFiles.h"

// The ground the map stands for and the maps derived from it: --extent,
// --relief, --origin, --maps and their settings, --preview.
struct GroundOptions {
    double extent = kDefaultExtentMetres;  // metres across the map
    double relief = kDefaultReliefMetres;  // metres at height 1
    double originX = 0;                    // ground position of grid cell (0, 0)
    double originY = 0;
    std::vector<DerivedMapKind> maps;
    DerivedMapSettings derived;  // its scale is set from extent and relief once the size is known
    std::string preview;
};

// The options ReadGroundOption reads, all taking a value.
#define ORVANDEL_GROUND_OPTION_NAMES                                                                               \
    "--extent", "--relief", "--origin", "--maps", "--normals", "--sea-level", "--river-area", "--beach",           \
        "--rock-slope", "--snow-line", "--preview", "--float-maps", "--river-width"

bool IsGroundOption(const std::string& option);

// On false, error is one line naming the bad value and what is accepted.
bool ReadGroundOption(const std::string& option, const std::string& value, GroundOptions& ground, std::string& error);

// Their lines of the --help text.
std::string GroundUsage();
