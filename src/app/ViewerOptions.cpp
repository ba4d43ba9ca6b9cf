#include "app/ViewerOptions.h"

#include <cstdlib>

#include "cli/CommandLineText.h"
#include "cli/TerrainOptions.h"

namespace {

constexpr unsigned kMostTimedemoFrames = 1000000;

bool ReadDetail(const std::string& text, unsigned& detail, std::string& error)
{
    for (const unsigned size : {129u, 257u, 513u, 1025u}) {
        if (text == std::to_string(size)) {
            detail = size;
            return true;
        }
    }
    error = "--detail needs 129, 257, 513 or 1025, not '" + text + "'";
    return false;
}

bool ReadTimedemo(const std::string& text, unsigned& frames, std::string& error)
{
    const bool digits = !text.empty() && text.size() <= 7 && text.find_first_not_of("0123456789") == std::string::npos;
    const unsigned long value = digits ? std::strtoul(text.c_str(), nullptr, 10) : 0;
    if (value < 1 || value > kMostTimedemoFrames) {
        error = "--timedemo needs a number of frames from 1 to 1000000, not '" + text + "'";
        return false;
    }
    frames = unsigned(value);
    return true;
}

bool ReadView(const std::string& text, ViewMode& view, std::string& error)
{
    if (!ParseViewMode(text, view)) {
        error = "--view needs height, shaded or colour, not '" + text + "'";
        return false;
    }
    return true;
}

}  // namespace

std::string ViewerUsage()
{
    return "usage: orvandel [--seed TEXT] [--roughness R] [--falloff E] [--sharpness K] [--erosion E]\n"
           "                [--shape FILE] [--shape-range LOW,HIGH]\n"
           "                [--view height|shaded|colour] [--detail N] [--timedemo FRAMES]\n"
           "Shows the generated terrain in an 800 x 600 window; every option is optional\n"
           "and the terrain options give start-up values, read and bounded as\n"
           "orvandel-heightmap reads them.\n" +
           TerrainOptionsUsage(17, true) +
           "  --view V       height (grey by height, the default), shaded (lit as the\n"
           "                 tool's shade map) or colour (sea, sand, grass, rock and snow, lit)\n"
           "  --detail N     draw the tool's N x N map: 129 (default), 257, 513 or 1025\n"
           "  --timedemo F   fly the fixed path for F frames unpaced, print the frame times\n"
           "                 and end\n"
           "  --help         print this text and end\n"
           "Keys: H/J roughness, N/M falloff, K/L sharpness, R erosion on or off,\n"
           "V the next view.\n"
           "G writes the map as a dated TGA and prints the orvandel-heightmap command\n"
           "that makes the same map at any size.\n";
}

ViewerStart ParseViewerOptions(int argc, const char* const* argv, TerrainParameters& parameters,
                               ViewerDisplay& display, std::string& error)
{
    std::vector<std::string> names = TerrainOptionNames(true);
    names.insert(names.end(), {"--view", "--detail", "--timedemo"});
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (option == "--help") {
            return ViewerStart::Help;
        }
        // "--name value" or "--name=value", as orvandel-heightmap takes them.
        std::string value;
        if (!ReadValuedOption(argc, argv, i, names, option, value, error)) {
            error = OneLine(error);
            return ViewerStart::Refused;
        }
        bool read = true;
        if (option == "--view") {
            read = ReadView(value, display.view, error);
        } else if (option == "--detail") {
            read = ReadDetail(value, display.detail, error);
        } else if (option == "--timedemo") {
            read = ReadTimedemo(value, display.timedemoFrames, error);
        } else {
            read = FindTerrainOption(option)->read(value, parameters, error);
        }
        if (!read) {
            error = OneLine(error);
            return ViewerStart::Refused;
        }
    }
    if (parameters.shapeRangeGiven && parameters.shapeFile.empty()) {
        error = "--shape-range needs --shape FILE (the raster whose values it maps)";
        return ViewerStart::Refused;
    }
    if (parameters.shapeTrust > 0.0f && parameters.shapeFile.empty()) {
        error = "--shape-trust needs --shape FILE (the raster whose relief it trusts)";
        return ViewerStart::Refused;
    }
    return ViewerStart::Run;
}

ViewerStart ParseViewerOptions(int argc, const char* const* argv, TerrainParameters& parameters,
                               std::string& error)
{
    ViewerDisplay display;
    return ParseViewerOptions(argc, argv, parameters, display, error);
}
