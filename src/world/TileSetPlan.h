#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "derive/DerivedMapFiles.h"
#include "landing/OutputPlan.h"
#include "world/TileManifest.h"

// A tile set's name: --out DIR/NAME needs a NAME after the last '/', not
// empty, "." or "..", or the files would be hidden ones named only by their
// suffixes (DIR/.tiles.json). False with error one sentence.
bool TileSetNameAccepted(const std::string& out, std::string& error);

// A preview named like the set's own files beside them (NAME_..., the
// manifest, the VRT, the stage file) could be a file another task writes,
// which no run's own plan sees; refused. False with error one sentence.
bool PreviewOutsideSet(const std::string& out, const std::string& preview, std::string& error);

// No output may replace a file of a tile set that is not its own, links
// followed: a tile or map whose name is a link to another tile of the set or
// of another set (one with a record, DIR/OTHER.set), a preview that is, or
// links to, any set's file. False with error one sentence naming both.
bool OutputsStayOutOfSets(const TileSetDescription& set, const std::vector<PlannedOutput>& plan,
                          std::string& error);
// The same for a run that writes no set (ownSet null: one map and its side
// files): none of its outputs may be, or link to, a file of a set kept by
// its record.
bool OutputsStayOutOfSets(const std::string* ownSet, const std::vector<PlannedOutput>& plan, std::string& error);

// Every file a run of the tile set writes, in the order they land: the
// run's tiles (each landing on its own), then, when they include tile 0,
// the manifest and, for the gis layout, the VRT, landing together after the
// tiles. A new output of a tile set (a file shared by its tasks, maps per
// tile, a preview of the world) is one more entry here, an input (a file a
// task reads that another wrote) marked so; the run then checks it with the
// rest before any cell is computed.
std::vector<PlannedOutput> PlanTileSetOutputs(const TileSetDescription& set, const std::vector<uint64_t>& tiles);

// PlanTileSetOutputs with what a world adds: first the stage file when
// stagePath is not empty (an input when it is there, for this run reads it;
// an output when this run will write it), then the preview when not empty,
// and each tile's maps after the tile.
std::vector<PlannedOutput> PlanWorldOutputs(const TileSetDescription& set, const std::vector<uint64_t>& tiles,
                                            const std::string& stagePath, const std::vector<DerivedMapKind>& maps,
                                            const std::string& preview);
