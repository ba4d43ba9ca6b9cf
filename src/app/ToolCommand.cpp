#include "app/ToolCommand.h"

#include "cli/CommandLineText.h"
#include "cli/TerrainOptions.h"

std::string HeightMapToolCommand(const TerrainParameters& parameters)
{
    return "orvandel-heightmap" + TerrainOptionsCommand(parameters) +
           " --size 1025 --format png16 --out heightmap.png";
}

std::string ExportReport(const std::string& writtenPath, const TerrainParameters& parameters)
{
    return "wrote \"" + OneLine(writtenPath) + "\"; at any size: " + HeightMapToolCommand(parameters);
}
