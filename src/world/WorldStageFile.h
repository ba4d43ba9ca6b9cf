#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "erosion/WorldStage.h"
#include "terrain/TerrainParameters.h"

// The world-wide stage of an eroded world, kept in the tile set as one file
// (NAME.stage) so that a world computes it once, not once per task.
//
// Layout, all numbers little-endian:
//   8 bytes   "ORVSTAGE"
//   u32       the format's version (kStageFileFormat)
//   u32       H, the header's length in bytes
//   H bytes   the header: lines "KEY VALUE\n", in this order: version (the
//             tool's), world_definition (kWorldDefinition), world_size,
//             stage_size, then every terrain option of the options' table by
//             its name ("--seed", "--roughness", ...) with its value as the
//             world it makes (TerrainWorldEntries: a shape by its heights'
//             checksum and the range used, "--falloff none" where the
//             falloff does not apply), control bytes escaped so that each
//             stays one line
//   S*S f32   the stage's heights, row 0 (the world's first) first, x fastest
//   u64       FNV-1a (64-bit) of every byte before it
// A reader accepts a file only when its header is, byte for byte, the one
// this world and this tool would write.
// Format 2: the shape named by its heights' checksum, range and falloff in
// the terrain options' lines (format 1 had a "shape" line, the file's
// checksum, and the options as given).
constexpr uint32_t kStageFileFormat = 2;

// "DIR/NAME.stage" for out = "DIR/NAME".
std::string StageFilePath(const std::string& out);

// What a stage file must match: the world and the tool that read it.
struct StageFileKey {
    TerrainParameters terrain;
    uint32_t worldCells = 0;
    std::string version;
};

// The header's text for this key.
std::string StageFileHeader(const StageFileKey& key);

// Writes the stage through OutputFile (a temporary beside it, renamed over
// the name once complete, so two writers at once each land a whole file).
// On failure error is its one sentence.
bool WriteStageFile(const std::string& path, const StageFileKey& key, const WorldStage& stage, std::string& error);

enum class StageFileRead { Absent, Read, Refused };

// Reads the stage at path into stage (heights, then routed and upstream by
// RouteStage). Absent when no file has the name. Refused, with error one line
// naming the file and what is wrong, when it is not a stage file, is of
// another format, is cut short or corrupt, or was made by another version,
// for another world size or with other terrain options.
StageFileRead ReadStageFile(const std::string& path, const StageFileKey& key, WorldStage& stage,
                            std::string& error);

// The stage of the key's world: read from path when the file is there and
// matches; computed (on `threads`) and written there when it is absent.
// Null, with error one line, when the file is refused or cannot be written.
std::shared_ptr<const WorldStage> ReuseOrMakeStage(const std::string& path, const StageFileKey& key,
                                                   unsigned threads, std::string& error,
                                                   const std::function<void(double)>& progress = {});
