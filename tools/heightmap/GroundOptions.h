#pragma once

#include <string>
#include <vector>

#include "derive/DerivedMapFiles.h"
#include "export/GeoTransform.h"

struct ShapeGround;

// The ground the map stands for and the maps derived from it: --extent,
// --relief, --origin, --maps and their settings, --preview.
struct GroundOptions {
    double extent = kDefaultExtentMetres;  // metres across the map
    double relief = kDefaultReliefMetres;  // metres at height 1
    double originX = 0;                    // ground position of grid cell (0, 0)
    double originY = 0;
    bool extentGiven = false;
    bool reliefGiven = false;
    bool originGiven = false;
    // A georeferenced shape's coordinate system and placement, which the
    // outputs keep (FollowShapeGround).
    MapFrame frame;
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

// Places the map where a georeferenced shape lies, unless --extent or
// --origin was given: its bounds as the extent, its south-west sample as the
// origin, its coordinate system kept, and the relief LoadShape took from its
// range. On false (a rotated or otherwise unplaceable frame and no
// --extent), error is one line.
bool FollowShapeGround(GroundOptions& ground, const ShapeGround& shape, const std::string& shapeName,
                       std::string& error);
