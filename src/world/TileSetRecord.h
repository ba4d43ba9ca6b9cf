#pragma once

#include <string>
#include <vector>

#include "derive/DerivedMapFiles.h"
#include "world/TileManifest.h"

// A tile set is one world. Its record, DIR/NAME.set, holds every option that
// changes a tile's bytes or placement, one line each ("--seed 'island'"),
// and is landed by the first run into the set before that run computes a
// cell. Every later run, the same task requeued or any other, compares its
// own options with it before it computes a cell and is refused at the first
// that differs; so tasks of one world run in any order, and a task of
// another world cannot mix its tiles in.
//
// The text: the line kTileSetRecordHeader, then "OPTION VALUE" lines, the
// value as a command line takes it back (the seed shell-quoted), control
// bytes escaped so that each stays one line.
extern const char kTileSetRecordHeader[];

struct TileSetOption {
    std::string name;   // as typed: "--tile-size"
    std::string value;  // "1025"
};
using TileSetRecord = std::vector<TileSetOption>;

// The record of a set: the terrain options from the options' table, then
// the world's, the tiles', their format and placement, and with --maps the
// maps and every setting that changes them. A new option that changes a
// tile is one more line here (a terrain option in the table needs none).
TileSetRecord TileSetRecordOf(const TileSetDescription& set, const DerivedMapSettings& maps);

std::string TileSetRecordText(const TileSetRecord& record);

// "DIR/NAME.set" for out = "DIR/NAME".
std::string TileSetRecordPath(const std::string& out);

// How a run stands to the set it writes into.
struct TileSetVerdict {
    int status = 0;       // 0: go on; 1: refused
    std::string message;  // the one line, names as they are
};

// Compares the record with the set's, and, with land, lands it when the set
// has none: linked into place only while the name is free, so of two runs
// racing into an empty set with different options one lands its record and
// the other is refused. Refused, naming the set and the first option that
// differs, when the set's record differs, cannot be read, or is missing
// from a set that already has a manifest (made before records were kept).
// Without land (--print-slurm) nothing is written.
TileSetVerdict ClaimTileSet(const TileSetDescription& set, const TileSetRecord& record, bool land);

// --remake-set: removes every file of the set as its record (when it has
// one) and as this run names them: each tile and its maps, the manifest,
// the VRT (gis layout only) and the stage file (eroded worlds only), so a
// file the set would not write stays; then lands this record over the old
// one. A failure to remove a file that is there refuses, naming it.
TileSetVerdict RemakeTileSet(const TileSetDescription& set, const TileSetRecord& record);

// A set's NAME must be one its manifest (and, with vrt, its VRT) can hold:
// UTF-8 text, for the VRT without the control characters XML 1.0 cannot
// write (all below 0x20 but tab, line feed and carriage return). Refused
// rather than stored escaped, so that every file names the tiles by their
// own names. False with error one sentence.
bool TileSetNameStorable(const std::string& out, bool vrt, std::string& error);
