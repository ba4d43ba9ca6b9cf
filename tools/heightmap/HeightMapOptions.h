#pragma once

#include <cstdint>
#include <string>

#include "GroundOptions.h"
#include "TileOptions.h"
#include "export/RowOrder.h"
#include "terrain/TerrainParameters.h"

// What the command line asks for. Defaults: the viewer's map (129, its seed,
// roughness 0.5, falloff 1.0) as a TGA, on every core.
struct HeightMapOptions {
    TerrainParameters terrain;
    uint32_t size = 129;     // cells a side written
    uint32_t mapSize = 129;  // the 2^k + 1 map generated: size, or the next one up for Unreal's sizes
    unsigned threads = 0;  // 0: every core
    std::string format = "tga";
    bool formatGiven = false;
    // Without --format the name's extension chooses the format; with both
    // disagreeing, --format wins and this one line says so.
    std::string formatNote;
    bool rowsGiven = false;
    RowOrder rows = RowOrder::BottomFirst;
    bool meta = false;
    std::string out;
    GroundOptions ground;
    TileOptions tiles;  // a world written as tiles
};

enum class ParseOutcome { Run, Help, Version, Refused };

// Reads argv (options as "--name value" or "--name=value"). On Refused, error
// holds one line naming the bad value and what is accepted.
ParseOutcome ParseHeightMapOptions(int argc, char** argv, HeightMapOptions& options, std::string& error);

// The --help text.
std::string HeightMapUsage();
