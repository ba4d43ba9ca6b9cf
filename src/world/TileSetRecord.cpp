#include "world/TileSetRecord.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/CommandLineText.h"
#include "cli/TerrainOptions.h"
#include "landing/OutputFile.h"
#include "landing/OutputTarget.h"
#include "world/RegularFileRead.h"
#include "world/WorldStageFile.h"

const char kTileSetRecordHeader[] =
    "# orvandel-heightmap tile set record 2: the options that change a tile's bytes or placement";

namespace {

// Far past any record the options make: a longer file is not one.
constexpr off_t kLongestRecord = 1 << 20;

// The shortest decimal text that reads back as the double; -0 as 0, for it
// places a tile where 0 does.
std::string DoubleText(double value)
{
    value += 0.0;
    char text[32];
    if (value == std::trunc(value) && std::fabs(value) < 1e15) {
        std::snprintf(text, sizeof text, "%.0f", value);
        return text;
    }
    for (int digits = 1; digits <= 17; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, value);
        if (std::strtod(text, nullptr) == value) {
            break;
        }
    }
    return text;
}

std::string FloatText(float value) { return RoundTripFloatText(value + 0.0f); }

std::string MapList(const std::vector<DerivedMapKind>& maps)
{
    std::string list;
    for (const DerivedMapKind kind : maps) {
        list += (list.empty() ? "" : ",") + std::string(DerivedMapName(kind));
    }
    return list.empty() ? "none" : list;
}

const TileSetOption* Find(const TileSetRecord& record, const std::string& name)
{
    for (const TileSetOption& option : record) {
        if (option.name == name) {
            return &option;
        }
    }
    return nullptr;
}

// The first line's words before the format's number.
constexpr char kRecordLead[] = "# orvandel-heightmap tile set record ";

// The record's text back as options, and the format its first line names
// (an earlier version's record is still read, to remake its set); false
// when it is not a record.
bool ParseRecord(const std::string& text, TileSetRecord& record, unsigned long& format)
{
    const size_t lead = sizeof kRecordLead - 1;
    const size_t first = text.find('\n');
    if (first == std::string::npos || text.compare(0, lead, kRecordLead) != 0) {
        return false;
    }
    format = std::strtoul(text.c_str() + lead, nullptr, 10);
    size_t at = first + 1;
    while (at < text.size()) {
        const size_t end = text.find('\n', at);
        if (end == std::string::npos) {
            return false;  // cut short
        }
        const std::string line = text.substr(at, end - at);
        const size_t space = line.find(' ');
        if (space == std::string::npos) {
            return false;
        }
        record.push_back({line.substr(0, space), line.substr(space + 1)});
        at = end + 1;
    }
    return true;
}

unsigned long RecordFormat() { return std::strtoul(kTileSetRecordHeader + sizeof kRecordLead - 1, nullptr, 10); }

// The file's text; ENOENT when absent. Opened without waiting (a FIFO with
// no writer would block) and only a regular file of a record's size.
int ReadRecordText(const std::string& path, std::string& text)
{
    const RegularFileRead read = ReadRegularFile(path, kLongestRecord, text);
    return read.notRegular || read.tooLong ? EINVAL : read.failure;
}

// The first difference, as the user knows it: "--seed 'a', not 'b'".
std::string FirstDifference(const TileSetRecord& found, const TileSetRecord& wanted)
{
    for (const TileSetOption& option : wanted) {
        const TileSetOption* old = Find(found, option.name);
        if (old == nullptr) {
            return "was made without " + option.name + " (this run gives " + option.name + " " + option.value + ")";
        }
        if (old->value != option.value) {
            return "was made with " + option.name + " " + old->value + ", not " + option.value;
        }
    }
    for (const TileSetOption& option : found) {
        if (Find(wanted, option.name) == nullptr) {
            return "was made with " + option.name + " " + option.value + ", which this run does not take";
        }
    }
    return "";
}

TileSetVerdict Refusal(const TileSetDescription& set, const std::string& why)
{
    return {1, "tile set '" + set.out + "' " + why};
}

const char kRemedy[] = "; give its options, or --remake-set to remove it and make it anew";

bool LandRecord(const std::string& path, const TileSetRecord& record, bool onlyIfAbsent, bool& landed,
                std::string& error)
{
    const std::string text = TileSetRecordText(record);
    OutputFile out;
    landed = false;
    const bool written = out.Open(path) && out.Write(text.data(), text.size()) &&
                         (onlyIfAbsent ? out.CommitIfAbsent(landed) : (landed = out.Commit()));
    if (!written) {
        error = out.Error();
    }
    return written;
}

// The set an old record describes, for the names of its files; false when
// the record does not name a grid, a layout and a format this tool knows.
bool SetOfRecord(const TileSetRecord& record, const TileSetDescription& like, TileSetDescription& old)
{
    const TileSetOption* size = Find(record, "--size");
    const TileSetOption* tile = Find(record, "--tile-size");
    const TileSetOption* layout = Find(record, "--layout");
    const TileSetOption* format = Find(record, "--format");
    const TileSetOption* maps = Find(record, "--maps");
    const TileSetOption* erosion = Find(record, "--erosion");
    if (size == nullptr || tile == nullptr || layout == nullptr || format == nullptr || maps == nullptr ||
        erosion == nullptr) {
        return false;
    }
    const unsigned long world = std::strtoul(size->value.c_str(), nullptr, 10);
    const unsigned long cells = std::strtoul(tile->value.c_str(), nullptr, 10);
    if (cells < minTileCells || cells > maxTileCells || world < cells || world > 131073) {
        return false;
    }
    old = like;
    old.grid = TileGrid::Make(uint32_t(world), uint32_t(cells));
    old.layout = layout->value == "none" ? &DefaultTileLayout() : FindTileLayout(layout->value);
    old.format = FindHeightMapFormat(format->value);
    old.maps.clear();
    old.terrain.erosion = std::strtof(erosion->value.c_str(), nullptr);  // whether it has a stage file
    std::string ignored;
    const TileSetOption* floats = Find(record, "--float-maps");
    old.floats = FloatMapFormat::None;
    if (floats != nullptr && floats->value != "png") {
        ParseFloatMapFormat(floats->value, old.floats, ignored);
    }
    return old.layout != nullptr && old.format != nullptr &&
           (maps->value == "none" || ParseDerivedMapList(maps->value, old.maps, ignored));
}

// Removes each of the set's files that is there; false, naming the first
// that stays, on any other failure than its absence.
bool RemoveSetFiles(const TileSetDescription& set, std::string& error)
{
    const auto remove = [&](const std::string& path) {
        if (unlink(path.c_str()) == 0 || errno == ENOENT) {
            return true;
        }
        error = "cannot remove '" + path + "' of the old tile set: " + std::strerror(errno);
        return false;
    };
    for (uint64_t k = 0; k < set.grid.TileCount(); ++k) {
        const TilePlace place = PlaceOfTile(set.grid, *set.layout, k);
        const std::string tile = TileFileName(set.out, *set.layout, *set.format, place.x, place.y);
        if (!remove(tile)) {
            return false;
        }
        for (const DerivedMapKind kind : set.maps) {
            if (!remove(DerivedMapPath(tile, kind, set.floats))) {
                return false;
            }
        }
    }
    // The VRT and the stage file only where the set writes them: a folder's
    // own NAME.vrt or NAME.stage beside a set that has none is the user's.
    const bool vrt = std::string(set.layout->name) == "gis";
    const bool stage = set.terrain.erosion > 0.0f;
    return remove(TileManifestPath(set.out)) && (!vrt || remove(TileVrtPath(set.out))) &&
           (!stage || remove(StageFilePath(set.out)));
}

}  // namespace

TileSetRecord TileSetRecordOf(const TileSetDescription& set, const DerivedMapSettings& maps)
{
    TileSetRecord record;
    for (const auto& [name, value] : TerrainWorldEntries(set.terrain)) {
        record.push_back({name, value});
    }
    const HeightMapGround& ground = set.ground;
    record.push_back({"--size", std::to_string(set.grid.worldCells)});
    record.push_back({"--tile-size", std::to_string(set.grid.tileCells)});
    record.push_back({"--layout", *set.layout->name != '\0' ? set.layout->name : "none"});
    record.push_back({"--format", set.format->name});
    record.push_back({"--rows", !set.format->hasRows                ? "none"
                                : set.rows == RowOrder::TopFirst ? "top"
                                                                 : "bottom"});
    record.push_back({"--extent", DoubleText(ground.cellSize * (set.grid.worldCells - 1))});
    record.push_back({"--relief", DoubleText(ground.relief)});
    record.push_back({"--origin", DoubleText(ground.originX) + "," + DoubleText(ground.originY)});
    record.push_back({"--maps", MapList(set.maps)});
    if (!set.maps.empty()) {
        record.push_back({"--normals", set.normals == NormalConvention::OpenGl ? "gl" : "dx"});
        record.push_back({"--sea-level", FloatText(maps.seaLevel)});
        record.push_back({"--river-area", DoubleText(maps.riverAreaSquareMetres)});
        // Only sets with rivers carry it; their bits changed with it.
        if (std::any_of(set.maps.begin(), set.maps.end(), ReadsRivers)) {
            record.push_back({"--river-width", DoubleText(maps.riverWidthMetres)});
        }
        record.push_back({"--beach", DoubleText(maps.splat.beachMetres)});
        record.push_back({"--rock-slope", DoubleText(maps.splat.rockDegrees)});
        record.push_back({"--snow-line", DoubleText(maps.splat.snowMetres)});
        // Only sets with the maps it changes carry it, so the records of
        // sets made before it stay as they were.
        if (std::any_of(set.maps.begin(), set.maps.end(), IsMetresMap)) {
            record.push_back({"--float-maps", FloatMapFormatName(set.floats)});
        }
    }
    for (TileSetOption& option : record) {
        option.value = OneLine(option.value);
    }
    return record;
}

std::string TileSetRecordText(const TileSetRecord& record)
{
    std::string text = std::string(kTileSetRecordHeader) + "\n";
    for (const TileSetOption& option : record) {
        text += option.name + " " + option.value + "\n";
    }
    return text;
}

std::string TileSetRecordPath(const std::string& out) { return out + ".set"; }

TileSetVerdict ClaimTileSet(const TileSetDescription& set, const TileSetRecord& record, bool land)
{
    const std::string path = TileSetRecordPath(set.out);
    // Twice at most: a record that appears between the read and the landing
    // is read again.
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::string text;
        const int problem = ReadRecordText(path, text);
        if (problem == 0) {
            TileSetRecord found;
            unsigned long format = 0;
            if (!ParseRecord(text, found, format)) {
                return Refusal(set, "has a record '" + path + "' this tool cannot read" + kRemedy);
            }
            if (format != RecordFormat()) {
                return Refusal(set, "has a record '" + path + "' of format " + std::to_string(format) +
                                        ", which an earlier version wrote (this one writes " +
                                        std::to_string(RecordFormat()) + ")" + kRemedy);
            }
            const std::string difference = FirstDifference(found, record);
            return difference.empty() ? TileSetVerdict{} : Refusal(set, difference + kRemedy);
        }
        if (problem != ENOENT) {
            return Refusal(set, "has a record '" + path + "' that cannot be read: " +
                                    (problem == EINVAL ? "not a regular file of a record's size"
                                                       : std::strerror(problem)));
        }
        struct stat found {};
        if (stat(TileManifestPath(set.out).c_str(), &found) == 0) {
            return Refusal(set, "has a manifest but no record of its options (an earlier version made it)" +
                                    std::string(kRemedy));
        }
        if (!land) {
            return {};
        }
        bool landed = false;
        std::string error;
        if (!LandRecord(path, record, true, landed, error)) {
            return {1, error};
        }
        if (landed) {
            return {};
        }
    }
    return Refusal(set, "has a record '" + path + "' that keeps changing");
}

TileSetVerdict RemakeTileSet(const TileSetDescription& set, const TileSetRecord& record)
{
    const std::string path = TileSetRecordPath(set.out);
    std::string text;
    TileSetRecord found;
    TileSetDescription old;
    std::string error;
    unsigned long format = 0;
    if (ReadRecordText(path, text) == 0 && ParseRecord(text, found, format) && SetOfRecord(found, set, old) &&
        !RemoveSetFiles(old, error)) {
        return {1, error};
    }
    bool landed = false;
    if (!RemoveSetFiles(set, error) || !LandRecord(path, record, false, landed, error)) {
        return {1, error};
    }
    return {};
}

bool TileSetNameStorable(const std::string& out, bool vrt, std::string& error)
{
    const std::string name = BaseNameOf(out);
    // JSON escapes every control character; XML 1.0 has no way to write
    // those below 0x20 but tab, line feed and carriage return.
    bool control = false;
    for (const char c : name) {
        control = control || (vrt && static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r');
    }
    bool utf8 = true;
    try {
        static_cast<void>(nlohmann::json(name).dump());
    } catch (const nlohmann::json::type_error&) {
        utf8 = false;
    }
    if (utf8 && !control) {
        return true;
    }
    error = "--out '" + out + "': the tile set's name " +
            (utf8 ? "holds a control character that XML cannot hold, nor so the VRT"
                  : "is not UTF-8 text, which its manifest (JSON) cannot hold") +
            "; name the set in UTF-8" + (vrt ? " without control characters" : "");
    return false;
}
