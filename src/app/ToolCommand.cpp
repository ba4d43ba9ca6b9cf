#include "app/ToolCommand.h"

#include "app/CommandLineText.h"

std::string HeightMapToolCommand(const TerrainParameters& parameters)
{
    std::string command = "orvandel-heightmap";
    if (!parameters.seed.IsDefault()) {
        command += " --seed " + ShellQuoted(parameters.seed.Text());
    }
    command += " --roughness " + RoundTripFloatText(parameters.roughness);
    command += " --falloff " + RoundTripFloatText(parameters.falloffExponent);
    command += " --size 1025 --format png16 --out heightmap.png";
    return command;
}

std::string ExportReport(const std::string& writtenPath, const TerrainParameters& parameters)
{
    return "wrote \"" + OneLine(writtenPath) + "\"; at any size: " + HeightMapToolCommand(parameters);
}
