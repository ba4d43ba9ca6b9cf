#include "GroundOptions.h"

#include "cli/CommandLineText.h"
#include "shape/ShapeGround.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace {

// A whole decimal number, nothing before or after it, finite.
bool ParseNumber(const std::string& text, double& value)
{
    if (text.empty() || text.find_first_of(" \t\n") != std::string::npos) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && end == text.c_str() + text.size() && std::isfinite(value);
}

bool ParseWithin(const std::string& option, const std::string& value, double low, double high, const char* what,
                 double& result, std::string& error)
{
    if (!ParseNumber(value, result) || !(result >= low && result <= high)) {
        error = option + " needs " + what + ", not '" + value + "'";
        return false;
    }
    return true;
}

// Ground positions: anything a GIS would take, short of the float limits.
constexpr double kFarthest = 1e15;

}  // namespace

bool IsGroundOption(const std::string& option)
{
    for (const char* name : {ORVANDEL_GROUND_OPTION_NAMES}) {
        if (option == name) {
            return true;
        }
    }
    return false;
}

bool ReadGroundOption(const std::string& option, const std::string& value, GroundOptions& ground, std::string& error)
{
    DerivedMapSettings& derived = ground.derived;
    if (option == "--extent") {
        ground.extentGiven = true;
        return ParseWithin(option, value, 1e-3, 1e9, "metres across the map, from 0.001 to 1e9", ground.extent,
                           error);
    }
    if (option == "--relief") {
        ground.reliefGiven = true;
        return ParseWithin(option, value, 1e-3, 1e7, "metres at height 1, from 0.001 to 1e7", ground.relief, error);
    }
    if (option == "--origin") {
        ground.originGiven = true;
        const size_t comma = value.find(',');
        if (comma == std::string::npos || !ParseNumber(value.substr(0, comma), ground.originX) ||
            !ParseNumber(value.substr(comma + 1), ground.originY) || std::fabs(ground.originX) > kFarthest ||
            std::fabs(ground.originY) > kFarthest) {
            error = "--origin needs X,Y in metres (each within 1e15), not '" + value + "'";
            return false;
        }
        return true;
    }
    if (option == "--maps") {
        return ParseDerivedMapList(value, ground.maps, error);
    }
    if (option == "--float-maps") {
        return ParseFloatMapFormat(value, derived.floats, error);
    }
    if (option == "--normals") {
        if (value != "gl" && value != "dx") {
            error = "--normals needs gl (OpenGL, +Y green) or dx (DirectX, -Y green), not '" + value + "'";
            return false;
        }
        derived.normals = value == "gl" ? NormalConvention::OpenGl : NormalConvention::DirectX;
        return true;
    }
    if (option == "--sea-level") {
        double level = 0;
        if (!ParseWithin(option, value, 0, 1, "a height from 0 to 1", level, error)) {
            return false;
        }
        derived.seaLevel = static_cast<float>(level);
        return true;
    }
    if (option == "--river-area") {
        return ParseWithin(option, value, 0, 1e18, "square metres from 0 to 1e18", derived.riverAreaSquareMetres,
                           error);
    }
    if (option == "--river-width") {
        return ParseWithin(option, value, 0, 1000, "metres from 0 to 1000 (0: every river one cell wide)",
                           derived.riverWidthMetres, error);
    }
    if (option == "--beach") {
        return ParseWithin(option, value, 0, 1e7, "metres above the sea from 0 to 1e7",
                           derived.splat.beachMetres, error);
    }
    if (option == "--rock-slope") {
        return ParseWithin(option, value, 0, 90, "degrees from 0 to 90", derived.splat.rockDegrees, error);
    }
    if (option == "--snow-line") {
        return ParseWithin(option, value, -1e7, 1e7, "metres above the sea from -1e7 to 1e7",
                           derived.splat.snowMetres, error);
    }
    // --preview
    if (value.empty()) {
        error = "--preview needs a file name, not an empty text";
        return false;
    }
    ground.preview = value;
    return true;
}

std::string GroundUsage()
{
    return "  --extent M     metres across the map (default 10000, or a georeferenced shape's bounds);\n"
           "                 sets the cell size, (N - 1) cells a side\n"
           "  --relief M     metres at height 1 (default 2000, or a georeferenced float shape's highest\n"
           "                 sample); heights written are unchanged\n"
           "  --origin X,Y   ground position in metres of grid cell (0, 0), the south-west corner (default 0,0,\n"
           "                 or a georeferenced shape's, in its coordinate system)\n"
           "  --maps LIST    also write NAME.KIND.png beside FILE (NAME: FILE less its extension) for\n"
           "                 each KIND listed of normal, slope, flow (multiple-flow area), rivers, splat,\n"
           "                 shade, flow-d8 (steepest-descent area), flowdir (RG water direction), wear,\n"
           "                 deposition (metres erosion cut and laid; need --erosion), water (the sea's,\n"
           "                 the rivers' and the lakes' surface, heights' units), depth (metres), lakes\n"
           "                 (255 on a lake, with --lakes) (comma-separated)\n"
           "  --float-maps F wear, deposition, water, depth as 32-bit floats: exr (NAME.KIND.exr) or tif32\n"
           "                 (NAME.KIND.tif); without it 16-bit PNG, full scale in --meta\n"
           "  --normals N    gl (+Y green, the default) or dx (-Y green)\n"
           "  --sea-level H  height at and below which is sea, 0 to 1 (default 0.01)\n"
           "  --river-area A square metres of upstream area that make a river (default 20000)\n"
           "  --river-width W rivers: metres wide at 1 km^2 upstream, as sqrt(area), at least a cell,\n"
           "                 at most 65 cells (default 10)\n"
           "  --beach M      splat: sand up to M metres above the sea (default 20)\n"
           "  --rock-slope D splat: rock from D degrees (default 35)\n"
           "  --snow-line M  splat: snow from M metres above the sea (default 1700)\n"
           "  --preview P    also write the shaded map, at most 1024 pixels a side, as the PNG P\n";
}

bool FollowShapeGround(GroundOptions& ground, const ShapeGround& shape, const std::string& shapeName,
                       std::string& error)
{
    if (!shape.frame.Present()) {
        return true;
    }
    if (!shape.unplaceable.empty() && !ground.extentGiven) {
        error = "--shape '" + OneLine(shapeName) + "' cannot be followed onto the ground: " + shape.unplaceable +
                "; accepted: a north-up raster with square cells, or --extent M to place the map yourself";
        return false;
    }
    if (shape.relief > 0.0) {
        ground.relief = shape.relief;
    }
    // What the user gives wins, each on its own; the coordinate system is
    // kept only for a map wholly placed by the shape.
    const bool metres = !shape.frame.geographic && shape.frame.unitsPerMetre == 1.0;
    if (!ground.originGiven) {
        ground.originX = metres && shape.unplaceable.empty() ? shape.frame.originX : 0.0;
        ground.originY = metres && shape.unplaceable.empty() ? shape.frame.originY : 0.0;
    }
    if (!ground.extentGiven) {
        ground.extent = shape.extentMetres;
    }
    if (!ground.extentGiven && !ground.originGiven) {
        ground.frame = shape.frame;
    }
    return true;
}
