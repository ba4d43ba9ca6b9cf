#include "app/ViewerOptions.h"

const char viewerUsage[] =
    "usage: orvandel [--seed TEXT] [--roughness R] [--falloff E]\n"
    "Shows the generated terrain in an 800 x 600 window; every option is optional.\n"
    "  --seed TEXT    the text the terrain is grown from, 1 to 256 bytes\n"
    "                 (default: the viewer's fixed seed)\n"
    "  --roughness R  start-up roughness, 2^-16 to 2^9 (default 0.5); H and J change it\n"
    "  --falloff E    start-up falloff exponent, 2^-16 to 2^16 (default 1.0); N and M change it\n"
    "  --help         print this text and end\n"
    "G writes the map as a dated TGA and prints the orvandel-heightmap command\n"
    "that makes the same map at any size.\n";

namespace {

bool ReadValue(const std::string& option, const std::string& value, TerrainParameters& parameters,
               std::string& error)
{
    if (option == "--seed") {
        return ParseSeed(value, parameters.seed, error);
    }
    if (option == "--roughness") {
        return ParseRoughness(value, parameters.roughness, error);
    }
    return ParseFalloffExponent(value, parameters.falloffExponent, error);
}

}  // namespace

ViewerStart ParseViewerOptions(int argc, const char* const* argv, TerrainParameters& parameters,
                               std::string& error)
{
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (option == "--help") {
            return ViewerStart::Help;
        }
        // "--name value" or "--name=value", as orvandel-heightmap takes them.
        std::string value;
        if (!ReadValuedOption(argc, argv, i, {"--seed", "--roughness", "--falloff"}, option, value, error)) {
            return ViewerStart::Refused;
        }
        if (!ReadValue(option, value, parameters, error)) {
            error = OneLine(error);
            return ViewerStart::Refused;
        }
    }
    return ViewerStart::Run;
}
