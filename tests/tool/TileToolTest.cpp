// Worlds as tiles through the tool: each engine's layout read back by a
// reader the writer shares no code with (libpng, GDAL, plain bytes) and
// compared with the one-file map of the same world; the task index from the
// environment; the job script; the refusals.

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
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

// A PNG through libpng: its size, and each row, top first, to `row` when
// given. False when it cannot be read.
bool ReadPng(const std::string& path, png_uint_32& width, png_uint_32& height,
             const std::function<void(const png_byte*)>& row = {})
{
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    bool read = false;
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_read_info(png, info);
        width = png_get_image_width(png, info);
        height = png_get_image_height(png, info);
        std::vector<png_byte> bytes(png_get_rowbytes(png, info));
        for (png_uint_32 y = 0; row && y < height; ++y) {
            png_read_row(png, bytes.data(), nullptr);
            row(bytes.data());
        }
        read = true;
    }
    png_destroy_read_struct(&png, &info, nullptr);
    fclose(file);
    return read;
}

// The 16-bit samples of a greyscale PNG, top row first.
std::vector<uint16_t> ReadPng16(const std::string& path, png_uint_32& width, png_uint_32& height)
{
    std::vector<uint16_t> samples;
    const bool read = ReadPng(path, width, height, [&](const png_byte* row) {
        for (png_uint_32 x = 0; x < width; ++x) {
            samples.push_back(uint16_t(row[2 * x] << 8 | row[2 * x + 1]));
        }
    });
    return read ? samples : std::vector<uint16_t>{};
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
    EXPECT_EQ(dir.Entries().size(), 16u + 3u);  // the tiles, the manifest, the record, whole.png
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
// one-file f32 map and placed where the one-file tif32 is; and GDAL's own
// mosaic of the tiles, from nothing but their geotransforms, is the same
// world.
TEST(TileTool, GdalReadsTheGisWorldAsTheOneFileMapInItsPlace)
{
    ScratchDirectory dir;
    const std::vector<std::string> ground = {"--extent", "40960", "--origin", "500000.25,4000000"};
    std::vector<std::string> whole = With({"--size", "4097", "--format", "f32", "--rows", "top", "--out", "whole.f32"});
    ASSERT_EQ(RunTool(dir, whole).status, 0);
    std::vector<std::string> tif = With({"--size", "4097", "--out", "whole.tif"});
    tif.insert(tif.end(), ground.begin(), ground.end());
    ASSERT_EQ(RunTool(dir, tif).status, 0);
    std::vector<std::string> tiles = With({"--size", "4097", "--tile-size", "1025", "--layout", "gis", "--out", "w"});
    tiles.insert(tiles.end(), ground.begin(), ground.end());
    ASSERT_EQ(RunTool(dir, tiles).status, 0);
    const std::string cd = "cd '" + dir.Path() + "' && ";
    EXPECT_EQ(
        ShellOutput(cd + "gdal_translate -q -of ENVI w.vrt from-vrt.raw && cmp from-vrt.raw whole.f32 && echo same"),
        "same\n");
    EXPECT_EQ(ShellOutput(cd + "gdalbuildvrt -q mosaic.vrt w_*.tif && gdal_translate -q -of ENVI mosaic.vrt"
                               " mosaic.raw && cmp mosaic.raw whole.f32 && echo same"),
              "same\n");
    // GDAL's geotransform of the world, as it reads the VRT and the one file.
    const std::string transform = " | sed -n '/\"geoTransform\"/,/]/p'";
    const std::string fromVrt = ShellOutput(cd + "gdalinfo -json w.vrt" + transform);
    EXPECT_NE(fromVrt.find("10.0"), std::string::npos) << fromVrt;
    EXPECT_EQ(fromVrt, ShellOutput(cd + "gdalinfo -json whole.tif" + transform));
    // Tile (1, 0), Y from the north, starts 1024 cells of 10 m east of the
    // origin; its top row is the world's, 4096 cells north; GDAL puts the
    // corner half a cell out.
    const std::string info = ShellOutput(cd + "gdalinfo w_1_0.tif");
    EXPECT_NE(info.find("Origin = (510235.250000000000000,4040965.000000000000000)"), std::string::npos) << info;
    EXPECT_NE(info.find("Pixel Size = (10.000000000000000,-10.000000000000000)"), std::string::npos) << info;
}

// --preview with tiles is the world's shade from its stage alone, written
// without a tile; where the stage is the whole world it is the whole map's
// preview, byte for byte.
TEST(TileTool, PreviewOfAWorldComesFromItsStageWithoutATile)
{
    ScratchDirectory dir;
    ASSERT_EQ(RunTool(dir, With({"--size", "1025", "--erosion", "1", "--preview", "whole.png", "--out", "w.f32"}))
                  .status,
              0);
    ASSERT_EQ(RunTool(dir, With({"--size", "1025", "--erosion", "1", "--tile-size", "257", "--stage-only",
                                 "--preview", "tiles.png", "--out", "w"}))
                  .status,
              0);
    EXPECT_EQ(ReadFileBytes(dir.File("tiles.png")), ReadFileBytes(dir.File("whole.png")));
    ASSERT_EQ(RunTool(dir, With({"--size", "32769", "--tile-size", "4097", "--stage-only", "--preview", "big.png",
                                 "--out", "big"}))
                  .status,
              0);
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    ASSERT_TRUE(ReadPng(dir.File("big.png"), width, height));
    EXPECT_EQ(width, 1024u);
    EXPECT_EQ(height, 1024u);
    std::vector<std::string> names = dir.Entries();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"big.png", "big.set", "tiles.png", "w.f32", "w.set", "w.stage",
                                               "whole.png"}));
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
    EXPECT_EQ(names, (std::vector<std::string>{"w.set", "w_0_2.f32", "w_2_1.f32", "w_3_1.f32"}));
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
    EXPECT_EQ(dir.Entries().size(), 3u + 3u + 2u);  // and the record, the manifest
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
    EXPECT_EQ(run.out.find("--dependency"), std::string::npos) << run.out;  // no stage to wait for
    EXPECT_TRUE(dir.Entries().empty());
}

// An eroded world's script submits the stage's job, then the array after it;
// run with sh against a stand-in sbatch that records what it is given.
TEST(TileTool, SubmitScriptRunsTheStageJobBeforeTheArray)
{
    ScratchDirectory dir;
    const ToolRun run = RunTool(dir, With({"--size", "4097", "--tile-size", "1025", "--erosion", "1",
                                           "--stage-only", "--print-slurm", "--out", "w"}));
    ASSERT_EQ(run.status, 0) << run.err;
    FILE* script = fopen(dir.File("submit.sh").c_str(), "w");
    ASSERT_NE(script, nullptr);
    fputs(run.out.c_str(), script);
    fclose(script);
    FILE* sbatch = fopen(dir.File("sbatch").c_str(), "w");
    ASSERT_NE(sbatch, nullptr);
    fputs("#!/bin/sh\nn=$(ls job*.sh 2>/dev/null | wc -l)\necho \"$*\" > args$n.txt\ncat > job$n.sh\n"
          "echo $((41 + n))\\;cluster\n",
          sbatch);
    fclose(sbatch);
    const std::string cd = "cd '" + dir.Path() + "' && chmod +x sbatch && ";
    EXPECT_EQ(ShellOutput(cd + "PATH=.:$PATH sh submit.sh"), "stage job: 41\ntiles job array: 42\n");
    const auto text = [&](const char* name) {
        const std::vector<uint8_t> bytes = ReadFileBytes(dir.File(name));
        return std::string(bytes.begin(), bytes.end());
    };
    EXPECT_EQ(text("args0.txt"), "--parsable\n");
    EXPECT_EQ(text("args1.txt"), "--parsable --dependency=afterok:41\n");
    const std::string stageJob = text("job0.sh");
    EXPECT_NE(stageJob.find("'--erosion' '1' '--out' 'w' --stage-only --threads"), std::string::npos) << stageJob;
    EXPECT_EQ(stageJob.find("--array"), std::string::npos) << stageJob;
    const std::string arrayJob = text("job1.sh");
    EXPECT_NE(arrayJob.find("#SBATCH --array=0-15\n"), std::string::npos) << arrayJob;
    EXPECT_NE(arrayJob.find("${SLURM_CPUS_PER_TASK:-2}"), std::string::npos) << arrayJob;
    EXPECT_EQ(arrayJob.find("--stage-only"), std::string::npos) << arrayJob;
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
        {{"--size", "1025", "--tile-size", "257", "--stage-only"}, "--erosion"},
        {{"--size", "1025", "--erosion", "1", "--stage-only"}, "--tile-size"},
        {{"--size", "1025", "--erosion", "1", "--tile-size", "257", "--stage-only", "--tile-index", "99"},
         "leave out --tile-index"},
        {{"--size", "1025", "--erosion", "1", "--tile-size", "257", "--stage-only", "--tile", "1,1"},
         "leave out --tile"},
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
