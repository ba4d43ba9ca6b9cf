#include "app/ToolCommand.h"

#include "cli/CommandLineText.h"
#include "cli/TerrainOptions.h"

std::string HeightMapToolCommand(const TerrainParameters& parameters, unsigned size)
{
    return "orvandel-heightmap" + TerrainOptionsCommand(parameters) + " --size " + std::to_string(size) +
           " --format png16 --out heightmap.png";
}

std::string ExportReport(const std::string& writtenPath, const TerrainParameters& parameters, unsigned size)
{
    return "wrote \"" + OneLine(writtenPath) + "\"; at any size: " + HeightMapToolCommand(parameters, size);
}
