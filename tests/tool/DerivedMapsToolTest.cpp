#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>
#include "ScratchDirectory.h"
#include "ToolRun.h"

namespace {

// What a shell command prints on standard output.
std::string Output(const std::string& command)
{
    std::string text;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe != nullptr) {
        char chunk[65536];
        size_t got = 0;
        while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0) {
            text.append(chunk, got);
        }
        pclose(pipe);
    }
    return text;
}

// One band of any raster GDAL reads, top row first, as GDAL's own readers
// decode it (they share no code with the tool's writers).
std::vector<double> GdalBand(const std::string& path, int band = 1)
{
    std::istringstream lines(
        Output("gdal_translate -q -of XYZ -b " + std::to_string(band) + " '" + path + "' /vsistdout/"));
    std::vector<double> values;
    double x = 0, y = 0, value = 0;
    while (lines >> x >> y >> value) {
        values.push_back(value);
    }
    return values;
}

bool IsCorner(size_t pixel, size_t side)
{
    const size_t x = pixel % side;
    const size_t y = pixel / side;
    return (x == 0 || x == side - 1) && (y == 0 || y == side - 1);
}

// The maps of a rough map at a scale of its own, against GDAL's gdaldem on
// the float TIFF the same run writes, with its geotransform and the relief
// as the vertical scale. gdaldem -compute_edges takes the edge column itself
// for the missing one at the four corners, the tool extrapolates it as
// everywhere else: those four are left out.
TEST(DerivedMapsTool, SlopeAndShadeAgreeWithGdaldemOnEveryCell)
{
    ScratchDirectory dir;
    const size_t side = 65;
    const ToolRun run = RunTool(dir, {"--size", "65", "--roughness", "2", "--falloff", "0.3", "--extent", "3000",
                                      "--relief", "1500", "--format", "tif32", "--maps", "slope,shade", "--out",
                                      "m.tif"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string tif = dir.File("m.tif");
    Output("gdaldem slope -q -compute_edges -s " + std::to_string(1.0 / 1500) + " '" + tif + "' '" +
           dir.File("gdal-slope.tif") + "'");
    Output("gdaldem hillshade -q -compute_edges -az 315 -alt 45 -z 1500 '" + tif + "' '" +
           dir.File("gdal-shade.tif") + "'");

    const std::vector<double> slope = GdalBand(dir.File("m.slope.png"));
    const std::vector<double> gdalSlope = GdalBand(dir.File("gdal-slope.tif"));
    const std::vector<double> shade = GdalBand(dir.File("m.shade.png"));
    const std::vector<double> gdalShade = GdalBand(dir.File("gdal-shade.tif"));
    ASSERT_EQ(slope.size(), side * side);
    ASSERT_EQ(gdalSlope.size(), side * side);
    ASSERT_EQ(shade.size(), side * side);
    ASSERT_EQ(gdalShade.size(), side * side);
    double steepest = 0;
    int shadesSeen[256] = {};
    for (size_t pixel = 0; pixel < side * side; ++pixel) {
        if (IsCorner(pixel, side)) {
            continue;
        }
        const double degrees = slope[pixel] * 90 / 65535;
        ASSERT_NEAR(degrees, gdalSlope[pixel], 0.05) << "pixel " << pixel;
        ASSERT_NEAR(shade[pixel], gdalShade[pixel], 1.0) << "pixel " << pixel;
        steepest = std::max(steepest, degrees);
        shadesSeen[int(shade[pixel])] = 1;
    }
    int distinct = 0;
    for (int seen : shadesSeen) {
        distinct += seen;
    }
    EXPECT_GT(steepest, 45.0) << "the map must be rough enough for the comparison to mean anything";
    EXPECT_GT(distinct, 30);
}

// Each kind lands beside --out as NAME.KIND.png with its PNG layout, as
// gdalinfo reads it; --preview is the shade; the derived maps do not change
// the heightmap written.
TEST(DerivedMapsTool, EveryMapIsWrittenBesideOutWithItsLayout)
{
    ScratchDirectory dir;
    ASSERT_EQ(RunTool(dir, {"--size", "65", "--format", "png16", "--out", "plain.png"}).status, 0);
    const ToolRun run = RunTool(dir, {"--size", "65", "--format", "png16", "--out", "world.png", "--maps",
                                      "rivers,normal,slope,flow,splat,shade", "--normals", "dx", "--preview",
                                      "look.png"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFileBytes(dir.File("world.png")), ReadFileBytes(dir.File("plain.png")));
    const struct {
        const char* file;
        const char* type;
        int bands;
    } expected[] = {
        {"world.normal.png", "UInt16", 3}, {"world.slope.png", "UInt16", 1}, {"world.flow.png", "UInt16", 1},
        {"world.rivers.png", "Byte", 1},   {"world.splat.png", "Byte", 4},   {"world.shade.png", "Byte", 1},
        {"look.png", "Byte", 1},
    };
    for (const auto& map : expected) {
        const std::string info = Output("gdalinfo '" + dir.File(map.file) + "' 2>&1");
        EXPECT_NE(info.find("Size is 65, 65"), std::string::npos) << info;
        // GDAL's block size for a PNG differs between releases (65x1, 65x65):
        // only the band and its type are read.
        const std::regex band("Band " + std::to_string(map.bands) + " Block=[0-9]+x[0-9]+ Type=" + map.type);
        EXPECT_TRUE(std::regex_search(info, band)) << map.file << ": band " << map.bands << " " << map.type << " in\n"
                                                   << info;
        EXPECT_EQ(info.find("Band " + std::to_string(map.bands + 1)), std::string::npos) << info;
    }
    EXPECT_EQ(ReadFileBytes(dir.File("look.png")), ReadFileBytes(dir.File("world.shade.png")));

    // The splat's four bands add up to 255 everywhere.
    std::vector<double> sum(65 * 65, 0.0);
    for (int band = 1; band <= 4; ++band) {
        const std::vector<double> weights = GdalBand(dir.File("world.splat.png"), band);
        ASSERT_EQ(weights.size(), sum.size());
        for (size_t i = 0; i < sum.size(); ++i) {
            sum[i] += weights[i];
        }
    }
    for (size_t i = 0; i < sum.size(); ++i) {
        ASSERT_EQ(sum[i], 255.0) << i;
    }
}

TEST(DerivedMapsTool, ThePreviewOfALargeMapIsAtMost1024ASide)
{
    ScratchDirectory dir;
    const ToolRun run = RunTool(dir, {"--size", "2049", "--format", "r16", "--out", "big.r16", "--preview", "p.png"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string info = Output("gdalinfo '" + dir.File("p.png") + "' 2>&1");
    EXPECT_NE(info.find("Size is 1024, 1024"), std::string::npos) << info;
}

TEST(DerivedMapsTool, MetaGivesTheScaleAndTheEngineFigures)
{
    ScratchDirectory dir;
    const ToolRun run = RunTool(dir, {"--size", "65", "--extent", "6400", "--relief", "1024", "--origin",
                                      "500000,-250.5", "--format", "tif32", "--meta", "--out", "m.tif"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<uint8_t> bytes = ReadFileBytes(dir.File("m.tif.json"));
    const nlohmann::ordered_json members = nlohmann::ordered_json::parse(bytes.begin(), bytes.end());
    const auto number = [&](const std::string& key) {
        if (!members.contains(key) || !members[key].is_number()) {
            ADD_FAILURE() << "no number " << key;
            return -1.0;
        }
        return members[key].get<double>();
    };
    // 6400 m over 64 cells: 100 m a cell, 10000 cm; Unreal's 16-bit
    // heights span 512 m at Z scale 100, so 1024 m takes 200.
    EXPECT_EQ(number("cell_size_m"), 100);
    EXPECT_EQ(number("extent_m"), 6400);
    EXPECT_EQ(number("relief_m"), 1024);
    EXPECT_EQ(number("origin_x_m"), 500000);
    EXPECT_EQ(number("origin_y_m"), -250.5);
    EXPECT_EQ(number("unreal_scale_x"), 10000);
    EXPECT_EQ(number("unreal_scale_y"), 10000);
    EXPECT_EQ(number("unreal_scale_z"), 200);
    EXPECT_EQ(number("unreal_location_z_cm"), 51200);
    EXPECT_EQ(number("unity_width_m"), 6400);
    EXPECT_EQ(number("unity_length_m"), 6400);
    EXPECT_EQ(number("unity_height_m"), 1024);
    std::string lastKey;
    for (const auto& member : members.items()) {
        lastKey = member.key();
    }
    EXPECT_EQ(lastKey, "version");

    // GDAL places the float TIFF there: grid cell (0, 0) at the origin, the
    // top-left pixel's corner half a cell west and north of grid row 64.
    const std::string info = Output("gdalinfo '" + dir.File("m.tif") + "' 2>&1");
    EXPECT_NE(info.find("Origin = (499950.000000000000000,6199.500000000000000)"), std::string::npos) << info;
    EXPECT_NE(info.find("Pixel Size = (100.000000000000000,-100.000000000000000)"), std::string::npos) << info;
}

TEST(DerivedMapsTool, RefusesBadScaleAndMapOptionsWithOneLineBeforeWriting)
{
    ScratchDirectory dir;
    const std::vector<std::vector<std::string>> refused = {
        {"--extent", "0"},          {"--extent", "-5"},         {"--extent", "1e10"},      {"--extent", "nan"},
        {"--relief", "abc"},        {"--relief", "0"},          {"--origin", "5"},         {"--origin", "1,2,3"},
        {"--origin", "x,1"},        {"--maps", "normal,hills"}, {"--maps", ""},            {"--maps", "slope,slope"},
        {"--maps", "normal,"},      {"--normals", "vulkan"},    {"--sea-level", "1.5"},    {"--river-area", "-1"},
        {"--rock-slope", "91"},     {"--beach", "inf"},         {"--snow-line", "high"},   {"--preview", ""},
    };
    for (std::vector<std::string> arguments : refused) {
        arguments.insert(arguments.end(), {"--size", "33", "--out", "m.png"});
        const ToolRun run = RunTool(dir, arguments);
        EXPECT_EQ(run.status, 2) << arguments[0] << " " << arguments[1];
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_NE(run.err.find(arguments[0]), std::string::npos) << run.err;
        EXPECT_TRUE(dir.Entries().empty()) << arguments[0];
    }
    const ToolRun device = RunTool(dir, {"--size", "33", "--maps", "slope", "--out", "/dev/null"});
    EXPECT_EQ(device.status, 2);
    EXPECT_NE(device.err.find("--maps"), std::string::npos) << device.err;
}

}  // namespace
