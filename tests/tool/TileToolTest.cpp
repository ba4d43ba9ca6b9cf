// Worlds as tiles through the tool: each engine's layout read back by a
// reader the writer shares no code with (libpng, GDAL, plain bytes) and
// compared with the one-file map of the same world; the task index from the
// environment; the job script; the refusals.

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ScratchDirectory.h"
#include "ToolRun.h"

namespace {

const std::vector<std::string> kTerrain = {"--seed", "tiles", "--roughness", "0.7", "--falloff", "1.3"};

std::vector<std::string> With(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), kTerrain.begin(), kTerrain.end());
    return arguments;
}

// The 16-bit samples of a greyscale PNG, top row first, through libpng.
std::vector<uint16_t> ReadPng16(const std::string& path, png_uint_32& width, png_uint_32& height)
{
    std::vector<uint16_t> samples;
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return samples;
    }
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_read_info(png, info);
        width = png_get_image_width(png, info);
        height = png_get_image_height(png, info);
        std::vector<png_byte> row(png_get_rowbytes(png, info));
        for (png_uint_32 y = 0; y < height; ++y) {
            png_read_row(png, row.data(), nullptr);
            for (png_uint_32 x = 0; x < width; ++x) {
                samples.push_back(uint16_t(row[2 * x] << 8 | row[2 * x + 1]));
            }
        }
    } else {
        samples.clear();
    }
    png_destroy_read_struct(&png, &info, nullptr);
    fclose(file);
    return samples;
}

std::string Output(const std::string& command)
{
    std::string text;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe != nullptr) {
        char chunk[4096];
        for (size_t got; (got = fread(chunk, 1, sizeof chunk, pipe)) > 0;) {
            text.append(chunk, got);
        }
        pclose(pipe);
    }
    return text;
}

class EnvironmentScope {
public:
    EnvironmentScope(const char* name, const char* value) : name(name) { setenv(name, value, 1); }
    ~EnvironmentScope() { unsetenv(name); }

private:
    const char* name;
};

// Unreal's tiles: 16-bit PNG, Y from the north; each holds the one-file PNG's
// samples of its window, shared edges included.
TEST(TileTool, UnrealTilesAreTheWholeMapsPngCutWithSharedEdges)
{
    ScratchDirectory dir;
    ASSERT_EQ(RunTool(dir, With({"--size", "513", "--format", "png16", "--out", "whole.png"})).status, 0);
    ASSERT_EQ(RunTool(dir, With({"--size", "513", "--tile-size", "129", "--layout", "unreal", "--out", "w"})).status,
              0);
    png_uint_32 n = 0;
    png_uint_32 unused = 0;
    const std::vector<uint16_t> whole = ReadPng16(dir.File("whole.png"), n, unused);
    ASSERT_EQ(n, 513u);
    int mismatches = 0;
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            png_uint_32 t = 0;
            png_uint_32 height = 0;
            const std::vector<uint16_t> tile =
                ReadPng16(dir.File("w_x" + std::to_string(x) + "_y" + std::to_string(y) + ".png"), t, height);
            ASSERT_EQ(t, 129u);
            ASSERT_EQ(height, 129u);
            for (int row = 0; row < 129; ++row) {
                mismatches += !std::equal(tile.begin() + row * 129, tile.begin() + (row + 1) * 129,
                                          whole.begin() + (y * 128 + row) * 513 + x * 128);
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(dir.Entries().size(), 16u + 2u);  // the tiles, the manifest, whole.png
}

// Unity's tiles: r16, bottom row first, Y from the south; the one-file r16
// holds the same bytes.
TEST(TileTool, UnityTilesAreTheWholeMapsRawCutBottomRowFirst)
{
    ScratchDirectory dir;
    ASSERT_EQ(RunTool(dir, With({"--size", "513", "--format", "r16", "--out", "whole.r16"})).status, 0);
    // 513 in tiles of 200 leaves 2 a side and crops the world to 399.
    ASSERT_EQ(RunTool(dir, With({"--size", "513", "--tile-size", "200", "--layout", "unity", "--out", "w"})).status,
              0);
    const std::vector<uint8_t> whole = ReadFileBytes(dir.File("whole.r16"));
    int mismatches = 0;
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 2; ++x) {
            const std::vector<uint8_t> tile =
                ReadFileBytes(dir.File("w_" + std::to_string(x) + "_" + std::to_string(y) + ".raw"));
            ASSERT_EQ(tile.size(), 200u * 200u * 2u);
            for (int row = 0; row < 200; ++row) {
                mismatches += !std::equal(tile.begin() + row * 400, tile.begin() + (row + 1) * 400,
                                          whole.begin() + ((y * 199 + row) * 513 + x * 199) * 2);
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
    const std::vector<uint8_t> manifest = ReadFileBytes(dir.File("w.tiles.json"));
    const std::string text(manifest.begin(), manifest.end());
    EXPECT_NE(text.find("\"size\": 399"), std::string::npos) << text;
    EXPECT_NE(text.find("\"cropped_cells\": 114"), std::string::npos) << text;
}

// GDAL opens the gis layout's VRT as the whole world, cell for cell the
// one-file f32 map; and GDAL's own mosaic of the tiles, from nothing but
// their geotransforms, is the same world.
TEST(TileTool, GdalReadsTheGisWorldAsTheOneFileMap)
{
    ScratchDirectory dir;
    ASSERT_EQ(RunTool(dir, With({"--size", "4097", "--format", "f32", "--rows", "top", "--out", "whole.f32"})).status,
              0);
    ASSERT_EQ(RunTool(dir, With({"--size", "4097", "--tile-size", "1025", "--layout", "gis", "--out", "w"})).status,
              0);
    const std::string cd = "cd '" + dir.Path() + "' && ";
    EXPECT_EQ(Output(cd + "gdal_translate -q -of ENVI w.vrt from-vrt.raw && cmp from-vrt.raw whole.f32 && echo same"),
              "same\n");
    EXPECT_EQ(Output(cd + "gdalbuildvrt -q mosaic.vrt w_*.tif && gdal_translate -q -of ENVI mosaic.vrt mosaic.raw"
                          " && cmp mosaic.raw whole.f32 && echo same"),
              "same\n");
    const std::string info = Output(cd + "gdalinfo w_1_0.tif");
    EXPECT_NE(info.find("Origin = (1023.500000000000000,4096.500000000000000)"), std::string::npos) << info;
}

// A task finds its tiles from the scheduler's index; the manifest comes only
// from the task holding tile 0.
TEST(TileTool, TasksTakeTheirTilesFromTheSchedulersIndex)
{
    ScratchDirectory dir;
    const std::vector<std::string> world = {"--size", "257", "--tile-size", "65", "--tiles-per-task", "3",
                                            "--format", "f32", "--out", "w"};
    {
        const EnvironmentScope index("JOB_COMPLETION_INDEX", "2");
        ASSERT_EQ(RunTool(dir, With(world)).status, 0);
    }
    std::vector<std::string> names = dir.Entries();
    std::sort(names.begin(), names.end());
    // Task 2 of 3 tiles: tiles 6, 7 and 8 of 4 a row, Y from the south.
    EXPECT_EQ(names, (std::vector<std::string>{"w_0_2.f32", "w_2_1.f32", "w_3_1.f32"}));
    {
        const EnvironmentScope index("SLURM_ARRAY_TASK_ID", "6");
        const ToolRun past = RunTool(dir, With(world));
        EXPECT_EQ(past.status, 2);
        EXPECT_NE(past.err.find("0 to 5"), std::string::npos) << past.err;
        ASSERT_EQ(RunTool(dir, With({"--tile-index", "0", "--size", "257", "--tile-size", "65", "--tiles-per-task",
                                     "3", "--format", "f32", "--out", "w"}))
                      .status,
                  0);
    }
    EXPECT_EQ(dir.Entries().size(), 3u + 3u + 1u);
    EXPECT_FALSE(ReadFileBytes(dir.File("w.tiles.json")).empty());
}

TEST(TileTool, PrintsAJobArrayOfTheSameOptionsWithoutTheRunsOwnTile)
{
    ScratchDirectory dir;
    const ToolRun run = RunTool(dir, With({"--size", "4097", "--tile-size", "1025", "--tiles-per-task", "3",
                                           "--tile-index", "2", "--print-slurm", "--out", "w"}));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("#SBATCH --array=0-5\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("'--size' '4097' '--tile-size' '1025' '--tiles-per-task' '3' '--out' 'w'"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(run.out.find("--tile-index"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("--print-slurm"), std::string::npos) << run.out;
    EXPECT_TRUE(dir.Entries().empty());
}

TEST(TileTool, RefusesWithOneLineBeforeWritingAnything)
{
    ScratchDirectory dir;
    // Each refusal, and a word its line must hold.
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
        {{"--size", "32769"}, "--tile-size"},
        {{"--size", "1025", "--tile-size", "32"}, "'32'"},
        {{"--size", "1025", "--tile-size", "8194"}, "8193"},
        {{"--size", "1025", "--tile-size", "2049"}, "larger than the world"},
        {{"--size", "1025", "--tile-size", "257", "--layout", "godot"}, "unreal, unity, gis"},
        {{"--size", "1025", "--tile-size", "257", "--layout", "unreal", "--format", "f32"}, "png16"},
        {{"--size", "1025", "--tile-size", "257", "--layout", "unity", "--rows", "top"}, "--rows"},
        {{"--size", "1025", "--tile-size", "257", "--tile", "1"}, "X,Y"},
        {{"--size", "1025", "--tile-size", "257", "--tile", "4,0"}, "0 to 3"},
        {{"--size", "1025", "--tile-size", "257", "--tile", "1,1", "--tile-index", "2"}, "give one"},
        {{"--size", "1025", "--tile-size", "257", "--tile-index", "16"}, "0 to 15"},
        {{"--size", "1025", "--tile-size", "257", "--tiles-per-task", "0"}, "--tiles-per-task"},
        {{"--size", "1025", "--tile-index", "1"}, "--tile-size"},
        {{"--size", "1025", "--print-slurm"}, "--tile-size"},
        {{"--size", "8193", "--tile-size", "8193", "--format", "obj"}, "4097"},
        {{"--size", "1025", "--tile-size", "257", "--erosion", "1"}, "--erosion"},
        {{"--size", "1025", "--tile-size", "257", "--maps", "slope"}, "--maps"},
        {{"--size", "1025", "--tile-size", "257", "--preview", "p.png"}, "--preview"},
        {{"--size", "1025", "--tile-size", "257", "--meta"}, "NAME.tiles.json"},
    };
    for (auto [arguments, word] : refused) {
        arguments.insert(arguments.end(), {"--out", "w"});
        std::string shown;
        for (const std::string& argument : arguments) {
            shown += "[" + argument + "]";
        }
        const ToolRun run = RunTool(dir, arguments);
        EXPECT_EQ(run.status, 2) << shown;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << shown << ": " << run.err;
        EXPECT_NE(run.err.find(word), std::string::npos) << shown << ": " << run.err;
    }
    EXPECT_TRUE(dir.Entries().empty());
}

}  // namespace
