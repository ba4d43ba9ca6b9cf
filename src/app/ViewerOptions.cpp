#include "app/ViewerOptions.h"

#include "cli/CommandLineText.h"
#include "cli/TerrainOptions.h"

std::string ViewerUsage()
{
    return "usage: orvandel [--seed TEXT] [--roughness R] [--falloff E] [--sharpness K] [--erosion E]\n"
           "Shows the generated terrain in an 800 x 600 window; every option is optional\n"
           "and gives a start-up value, read and bounded as orvandel-heightmap reads it.\n" +
           TerrainOptionsUsage(17) +
           "  --help         print this text and end\n"
           "Keys: H/J roughness, N/M falloff, K/L sharpness, R erosion on or off.\n"
           "G writes the map as a dated TGA and prints the orvandel-heightmap command\n"
           "that makes the same map at any size.\n";
}

ViewerStart ParseViewerOptions(int argc, const char* const* argv, TerrainParameters& parameters,
                               std::string& error)
{
    const std::vector<std::string> names = TerrainOptionNames();
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
        if (!FindTerrainOption(option)->read(value, parameters, error)) {
            error = OneLine(error);
            return ViewerStart::Refused;
        }
    }
    return ViewerStart::Run;
}
