#include "HeightMapOptions.h"

#include <cstdlib>
#include <cstring>

#include "cli/CommandLineText.h"
#include "cli/TerrainOptions.h"
#include "export/HeightMapFormat.h"
#include "terrain/HeightMapOfSize.h"
#include "world/MapInputs.h"

namespace {

const char kSizes[] = "33, 65, 129, 257, 513, 1025, 2049, 4097, 8193, 16385, 32769, 65537, 131073, "
                      "or Unreal's 127, 253, 505, 1009, 2017, 4033, 8129";

// Unreal's recommended sides: each is the centred window of the next
// 2^k + 1 map, (map - size) / 2 cells in from each edge.
uint32_t MapSizeAround(uint32_t size)
{
    for (const uint32_t unreal : {127u, 253u, 505u, 1009u, 2017u, 4033u, 8129u}) {
        if (size == unreal) {
            uint32_t map = minMapCells;
            while (map < size) {
                map = 2 * map - 1;
            }
            return map;
        }
    }
    return IsMapCells(size) ? size : 0;
}
constexpr unsigned kMostThreads = 256;

// Digits only, so "129x", "+129", " 129" and "" are refused.
bool ParseWhole(const std::string& text, unsigned long limit, unsigned long& value)
{
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    value = std::strtoul(text.c_str(), nullptr, 10);
    return value <= limit;
}

bool ReadOption(const std::string& option, const std::string& value, HeightMapOptions& options, std::string& error)
{
    unsigned long whole = 0;
    if (option == "--size") {
        if (!ParseWhole(value, maxMapCells, whole) || MapSizeAround(static_cast<uint32_t>(whole)) == 0) {
            error = "--size needs one of " + std::string(kSizes) + ", not '" + value + "'";
            return false;
        }
        options.size = static_cast<uint32_t>(whole);
        options.mapSize = MapSizeAround(options.size);
        options.terrain.shapeMargin = (options.mapSize - options.size) / 2;
    } else if (const TerrainOption* terrain = FindTerrainOption(option)) {
        return terrain->read(value, options.terrain, error);
    } else if (option == "--format") {
        if (FindHeightMapFormat(value) == nullptr) {
            error = "--format needs one of " + HeightMapFormatNames(", ") + ", not '" + value + "'";
            return false;
        }
        options.format = value;
        options.formatGiven = true;
    } else if (option == "--rows") {
        if (value != "top" && value != "bottom") {
            error = "--rows needs top or bottom, not '" + value + "'";
            return false;
        }
        options.rowsGiven = true;
        options.rows = value == "top" ? RowOrder::TopFirst : RowOrder::BottomFirst;
    } else if (option == "--threads") {
        if (!ParseWhole(value, kMostThreads, whole)) {
            error = "--threads needs a whole number from 0 (every core) to " + std::to_string(kMostThreads) +
                    ", not '" + value + "'";
            return false;
        }
        options.threads = static_cast<unsigned>(whole);
    } else if (IsGroundOption(option)) {
        return ReadGroundOption(option, value, options.ground, error);
    } else {
        options.out = value;
        if (value.empty()) {
            error = "--out needs a file name, not an empty text";
            return false;
        }
    }
    return true;
}

void ChooseFormatFromName(HeightMapOptions& options)
{
    const HeightMapFormat* named = HeightMapFormatForFileName(options.out);
    if (named == nullptr || named->name == options.format) {
        return;
    }
    if (!options.formatGiven) {
        options.format = named->name;
        return;
    }
    options.formatNote = "writing " + options.format + " as --format asks, though the name '" +
                         OneLine(options.out) + "' suggests " + named->name;
}

// Combinations that each option alone cannot judge.
bool Consistent(HeightMapOptions& options, std::string& error)
{
    // A tile is a window of the world computed on its own (an eroded one
    // from the world's stage), its maps with it. --meta is accepted:
    // NAME.tiles.json is the set's description.
    if (options.tiles.stageOnly && !(options.terrain.erosion > 0.0f) && options.ground.preview.empty() &&
        !options.tiles.remakeSet) {
        error = "--stage-only needs --erosion (a world without erosion has no stage file to share), --preview or "
                "--remake-set";
        return false;
    }
    if (options.terrain.shapeRangeGiven && options.terrain.shapeFile.empty()) {
        error = "--shape-range needs --shape FILE (the raster whose values it maps)";
        return false;
    }
    if (options.terrain.shapeTrust > 0.0f && options.terrain.shapeFile.empty()) {
        error = "--shape-trust needs --shape FILE (the raster whose relief it trusts)";
        return false;
    }
    if (options.terrain.lakeArea > 0.0f && !(options.terrain.erosion > 0.0f)) {
        error = "--lakes needs --erosion above 0 (lakes are the depressions erosion keeps)";
        return false;
    }
    if (!MapKindsAccepted(options.ground.maps, options.terrain.erosion > 0.0f, error)) {
        return false;
    }
    if (options.tiles.tiled && options.mapSize != options.size) {
        error = "--tile-size needs a --size of 2^k + 1 cells (33 to 131073), not Unreal's " +
                std::to_string(options.size);
        return false;
    }
    if (!TileOptionsConsistent(options.tiles, options.size, options.formatGiven, options.format, options.rowsGiven,
                               options.rows, error)) {
        return false;
    }
    const HeightMapFormat& format = *FindHeightMapFormat(options.format);
    if (options.rowsGiven && !format.acceptsRowOrder) {
        error = "--rows applies to r16 and f32 only, not to " + options.format;
        return false;
    }
    const uint32_t fileCells = options.tiles.tiled ? options.tiles.tileSize : options.size;
    if (fileCells > format.largestSize) {
        error = (options.tiles.tiled ? "--tile-size " : "--size ") + std::to_string(fileCells) +
                " would make the mesh too large (" + options.format + " takes at most " + std::to_string(format.largestSize) + " cells a side)";
        return false;
    }
    if (options.out.empty()) {
        error = "--out FILE is required (see --help)";
        return false;
    }
    return true;
}

}  // namespace

ParseOutcome ParseHeightMapOptions(int argc, char** argv, HeightMapOptions& options, std::string& error)
{
    std::vector<std::string> names = TerrainOptionNames();
    names.insert(names.end(), {"--size", "--format", "--rows", "--threads", "--out", ORVANDEL_GROUND_OPTION_NAMES});
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            return ParseOutcome::Help;
        }
        if (option == "--version") {
            return ParseOutcome::Version;
        }
        if (option == "--meta") {
            options.meta = true;
            continue;
        }
        switch (ReadTileOption(argc, argv, i, options.tiles, error)) {
        case TileOptionRead::Read:
            continue;
        case TileOptionRead::Refused:
            return ParseOutcome::Refused;
        case TileOptionRead::NotMine:
            break;
        }
        std::string value;
        if (!ReadValuedOption(argc, argv, i, names, option, value, error)) {
            error = OneLine(error);
            return ParseOutcome::Refused;
        }
        if (!ReadOption(option, value, options, error)) {
            error = OneLine(error);
            return ParseOutcome::Refused;
        }
    }
    ChooseFormatFromName(options);
    return Consistent(options, error) ? ParseOutcome::Run : ParseOutcome::Refused;
}

std::string HeightMapUsage()
{
    std::string usage =
        "usage: orvandel-heightmap [--size N] [--seed TEXT] [--roughness R] [--falloff E]\n"
        "                          [--sharpness K] [--erosion E] [--shape FILE] [--shape-range LOW,HIGH]\n"
        "                          [--format F] [--rows top|bottom] [--meta] [--threads T] --out FILE\n"
        "Generates the viewer's terrain, without a window, at any size, and writes it to FILE.\n"
        "Without erosion the map at size N holds the viewer's 129 x 129 map on every (N - 1)/128-th cell.\n"
        "  --size N       cells a side: " + std::string(kSizes) + " (default 129;\n"
        "                 Unreal's sizes are the centred window of the next 2^k + 1 map)\n" +
        TerrainOptionsUsage(17) +
        "  --format F     (default: from FILE's extension, else tga)\n";
    for (const HeightMapFormat& format : AllHeightMapFormats()) {
        std::string name = format.name;
        name.resize(6, ' ');
        usage += "                 " + name + format.description + "\n";
    }
    usage +=
        "  --rows R       for r16 and f32: bottom (grid row 0 first, the default) or top\n"
        "  --meta         also write FILE.json describing the layout and the parameters\n"
        "  --threads T    threads to generate with, 0 for every core (default 0)\n" + GroundUsage() +
        "  --out FILE     the file to write; an existing file is replaced only once the new one is complete\n"
        "A world as tiles (sizes up to 131073; each tile holds the same cells of the one map, bit for bit):\n"
        "  --tile-size T  tiles of T x T cells (33 to 8193) sharing their border row and column;\n"
        "                 --out DIR/NAME names the set, and NAME.tiles.json describes it; with\n"
        "                 --erosion the tiles share NAME.stage, with --maps each tile's maps lie beside it,\n"
        "                 and --preview shades the whole world from its stage\n"
        "  --layout L     unreal (NAME_x{X}_y{Y}.png), unity (NAME_{X}_{Y}.raw) or gis (NAME_{X}_{Y}.tif\n"
        "                 and NAME.vrt); without it, --format's tiles as NAME_{X}_{Y}.EXT\n"
        "  --tile X,Y     write that tile only     --tile-index K  write task K's tiles\n"
        "                 (else SLURM_ARRAY_TASK_ID or JOB_COMPLETION_INDEX, else every tile)\n"
        "  --tiles-per-task P  tiles each task writes (default 1)\n"
        "  --stage-only   with --erosion: write only the world's stage, NAME.stage, which every task\n"
        "                 reuses (a task makes it when it is absent), and the set's record, and exit\n"
        "  --remake-set   remove the set at --out made with other options (each tile, its maps, the\n"
        "                 manifest, the VRT, the stage) and make it anew; a run into a set made with\n"
        "                 other options is refused without it. Run once, before any task\n"
        "  --print-slurm  print a script that submits the set to Slurm (run it with sh): the stage's\n"
        "                 job first when eroded, then the job array of the tiles, and exit\n"
        "  --version      print the version\n"
        "  --help         print this text\n";
    return usage;
}
