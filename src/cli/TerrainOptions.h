#pragma once

#include <string>
#include <utility>
#include <vector>

#include "terrain/TerrainParameters.h"

// The terrain options both programs take, in one table: the viewer's and the
// tool's parsers, their --help, the command the viewer prints for G and the
// tool's --meta all read it, so a new option is one entry here.
struct TerrainOption {
    const char* name;       // as typed: "--roughness"
    const char* valueName;  // in usage lines: "R"
    const char* help;       // what it does, its bounds and default, one line
    const char* metaKey;    // its key in --meta, or nullptr for none (the seed has its own)
    // Reads the whole text into parameters; on failure one line in error.
    bool (*read)(const std::string& text, TerrainParameters& parameters, std::string& error);
    // The value as a command line takes it back exactly.
    std::string (*text)(const TerrainParameters& parameters);
    // Whether the printed command may leave it out.
    bool (*atDefault)(const TerrainParameters& parameters);
    // Its value for --meta (metaKey options only).
    float (*number)(const TerrainParameters& parameters);
    // Taken by orvandel-heightmap only (the viewer neither lists nor reads it).
    bool heightmapOnly = false;
};

const std::vector<TerrainOption>& TerrainOptions();

// The table's option names, for ReadValuedOption.
// forViewer leaves out the heightmap tool's own (heightmapOnly).
std::vector<std::string> TerrainOptionNames(bool forViewer = false);

// The entry named `name`, or nullptr.
const TerrainOption* FindTerrainOption(const std::string& name);

// The --help lines of every terrain option, each starting with two spaces
// and the name, the help aligned at column `column`.
std::string TerrainOptionsUsage(size_t column, bool forViewer = false);

// The --meta numbers of these parameters: each metaKey option's key and
// value, in the table's order.
std::vector<std::pair<std::string, float>> TerrainMetaNumbers(const TerrainParameters& parameters);

// The terrain options as the world they make, for a tile set's record and
// the stage file's header: (name, value) for each option of the table, in
// its order, so that two runs that would make different tiles differ. The
// value is the command line's, but for a shape's: --shape is the checksum of
// the heights read (not the file's name), --shape-range the raster values of
// heights 0 and 1 used (given or not), and --falloff "none" where it does
// not apply (under a shape without --falloff); without a shape both shape
// options are "none". Control bytes escaped, each value one line.
std::vector<std::pair<std::string, std::string>> TerrainWorldEntries(const TerrainParameters& parameters);

// The options of these parameters as a command line: each option not at its
// default, and always roughness and falloff (the viewer's two keys), each
// " --name value", the seed shell-quoted.
std::string TerrainOptionsCommand(const TerrainParameters& parameters);
