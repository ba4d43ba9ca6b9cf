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

// A value can hold line breaks; the refusal stays one line.
std::string OneLine(std::string text)
{
    for (char& c : text) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return text;
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
        bool inlineValue = false;
        const size_t equals = option.find('=');
        if (option.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = option.substr(equals + 1);
            option.resize(equals);
            inlineValue = true;
        }
        if (option != "--seed" && option != "--roughness" && option != "--falloff") {
            error = OneLine("unknown option '" + std::string(argv[i]) + "' (see --help)");
            return ViewerStart::Refused;
        }
        if (!inlineValue) {
            if (i + 1 >= argc) {
                error = option + " needs a value (see --help)";
                return ViewerStart::Refused;
            }
            value = argv[++i];
        }
        if (!ReadValue(option, value, parameters, error)) {
            error = OneLine(error);
            return ViewerStart::Refused;
        }
    }
    return ViewerStart::Run;
}
