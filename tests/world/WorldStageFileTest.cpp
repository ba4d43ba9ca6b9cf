// The stage file: what is written reads back as the same stage, bit for bit,
// and every file a task must not trust (another version, other options,
// another world, cut short, corrupt, not a stage file) is refused by name.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "ScratchDirectory.h"
#include "world/WorldStageFile.h"

namespace {

// A small eroded world: its stage is the whole 65 map.
StageFileKey Key()
{
    StageFileKey key;
    EXPECT_TRUE(TerrainSeed::FromText("stage", key.terrain.seed));
    key.terrain.erosion = 1.0f;
    key.terrain.sharpness = 0.25f;
    key.worldCells = 65;
    key.version = "1.2.3";
    return key;
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
}

// A height put into the file's cells with its checksum made again, as the
// README gives it (FNV-1a, 64-bit, of every byte before it): only the value
// can then be wrong.
void PutHeight(std::vector<uint8_t>& bytes, size_t at, float value)
{
    std::memcpy(&bytes[at], &value, sizeof value);
    uint64_t hash = 0xcbf29ce484222325ull;
    for (size_t i = 0; i + 8 < bytes.size(); ++i) {
        hash = (hash ^ bytes[i]) * 0x100000001b3ull;
    }
    for (int i = 0; i < 8; ++i) {
        bytes[bytes.size() - 8 + i] = uint8_t(hash >> (8 * i));
    }
}

TEST(WorldStageFile, ReadsBackTheStageItWrote)
{
    ScratchDirectory dir;
    const StageFileKey key = Key();
    const WorldStage made = ComputeWorldStage(key.terrain, key.worldCells, 2);
    std::string error;
    ASSERT_TRUE(WriteStageFile(dir.File("w.stage"), key, made, error)) << error;
    WorldStage read;
    ASSERT_EQ(ReadStageFile(dir.File("w.stage"), key, read, error), StageFileRead::Read) << error;
    ASSERT_EQ(read.cells, made.cells);
    EXPECT_TRUE(read.eroded);
    EXPECT_EQ(std::memcmp(read.heights.Row(0), made.heights.Row(0), size_t(made.cells) * made.cells * 4), 0);
    EXPECT_EQ(std::memcmp(read.upstream.Row(0), made.upstream.Row(0), size_t(made.cells) * made.cells * 4), 0);
    // The header is text a person can read with head.
    const std::vector<uint8_t> bytes = ReadFileBytes(dir.File("w.stage"));
    const std::string text(bytes.begin(), bytes.begin() + 200);
    EXPECT_NE(text.find("--erosion 1\n"), std::string::npos) << text;
    EXPECT_EQ(ReadStageFile(dir.File("absent.stage"), key, read, error), StageFileRead::Absent);
}

TEST(WorldStageFile, RefusesAFileItMustNotTrustNamingIt)
{
    ScratchDirectory dir;
    const StageFileKey key = Key();
    const WorldStage made = ComputeWorldStage(key.terrain, key.worldCells, 2);
    std::string error;
    ASSERT_TRUE(WriteStageFile(dir.File("good.stage"), key, made, error)) << error;
    const std::vector<uint8_t> good = ReadFileBytes(dir.File("good.stage"));
    const size_t headerEnd = 16 + StageFileHeader(key).size();

    // Each case: the file's bytes or the reader's key changed, and a word the
    // refusal must hold.
    const struct {
        const char* what;
        std::function<void(std::vector<uint8_t>&, StageFileKey&)> change;
        const char* word;
    } cases[] = {
        {"another version", [](auto&, StageFileKey& k) { k.version = "1.2.4"; }, "version 1.2.3"},
        {"other erosion", [](auto&, StageFileKey& k) { k.terrain.erosion = 2.0f; }, "--erosion 1, not 2"},
        {"other seed", [](auto&, StageFileKey& k) { EXPECT_TRUE(TerrainSeed::FromText("x", k.terrain.seed)); },
         "--seed"},
        {"other sharpness", [](auto&, StageFileKey& k) { k.terrain.sharpness = 3.0f; }, "--sharpness"},
        {"another world", [](auto&, StageFileKey& k) { k.worldCells = 33; }, "--size 65, not 33"},
        {"cut short", [](std::vector<uint8_t>& b, auto&) { b.resize(b.size() - 100); }, "cut short"},
        {"cut in its header", [&](std::vector<uint8_t>& b, auto&) { b.resize(headerEnd - 5); }, "cut short"},
        {"a height changed", [&](std::vector<uint8_t>& b, auto&) { b[headerEnd + 4 * 33 * 65 + 2] ^= 1; },
         "checksum"},
        {"a NaN height", [&](auto& b, auto&) { PutHeight(b, headerEnd + 4 * 100, std::nanf("")); },
         "height nan at stage cell 35,1"},
        {"an infinite height", [&](auto& b, auto&) { PutHeight(b, headerEnd, INFINITY); }, "height inf at stage cell 0,0"},
        {"a height below the sea floor", [&](auto& b, auto&) { PutHeight(b, headerEnd + 4 * 65, -1.0f); },
         "height -1 at stage cell 0,1, outside the 0 to 1"},
        {"a height of 1e30", [&](auto& b, auto&) { PutHeight(b, headerEnd + 4, 1e30f); }, "height 1.00000002e+30"},
        {"another format", [](std::vector<uint8_t>& b, auto&) { b[8] = 7; }, "format 7"},
        {"not a stage file", [](std::vector<uint8_t>& b, auto&) { b[0] = 'X'; }, "not a stage file"},
        {"empty", [](std::vector<uint8_t>& b, auto&) { b.clear(); }, "not a stage file"},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> bytes = good;
        StageFileKey reader = key;
        c.change(bytes, reader);
        const std::string path = dir.File("bad.stage");
        WriteBytes(path, bytes);
        WorldStage stage;
        error.clear();
        EXPECT_EQ(ReadStageFile(path, reader, stage, error), StageFileRead::Refused) << c.what;
        EXPECT_NE(error.find(c.word), std::string::npos) << c.what << ": " << error;
        EXPECT_NE(error.find("'" + path + "'"), std::string::npos) << c.what << ": " << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << c.what;
        // ReuseOrMakeStage refuses it too, leaving the file as it was.
        EXPECT_EQ(ReuseOrMakeStage(path, reader, 2, error), nullptr) << c.what;
        EXPECT_EQ(ReadFileBytes(path), bytes) << c.what;
    }

    // What stands at the name is no file to read: a FIFO (which must not
    // block the run) and a directory.
    const std::string fifo = dir.File("fifo.stage");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string directory = dir.File("directory.stage");
    ASSERT_EQ(mkdir(directory.c_str(), 0700), 0);
    for (const std::string& path : {fifo, directory}) {
        WorldStage stage;
        error.clear();
        EXPECT_EQ(ReadStageFile(path, key, stage, error), StageFileRead::Refused) << path;
        EXPECT_NE(error.find("'" + path + "' is not a regular file"), std::string::npos) << error;
    }
}

}  // namespace
