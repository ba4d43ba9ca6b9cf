#include "world/TileSetPlan.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>

#include "landing/OutputTarget.h"
#include "world/WorldStageFile.h"

bool TileSetNameAccepted(const std::string& out, std::string& error)
{
    const std::string name = BaseNameOf(out);
    if (!name.empty() && name != "." && name != "..") {
        return true;
    }
    error = "--out needs DIR/NAME with a NAME for the tile set after the last '/', not '" + out + "'";
    return false;
}

namespace {

// The directory part of a path ("." for none), links resolved where it
// exists, so that two spellings of one directory compare equal.
std::string ResolvedDirectoryOf(const std::string& path)
{
    const std::string directory = DirectoryOf(path);
    char resolved[PATH_MAX];
    return realpath(directory.c_str(), resolved) != nullptr ? resolved : directory;
}

}  // namespace

namespace {

// Whether base is one of the shared files of the set NAME (its manifest,
// VRT, stage file or record) or one of its tiles and their maps (NAME_...).
bool NameOfSet(const std::string& name, const std::string& base)
{
    const std::string out = "./" + name;
    return base.compare(0, name.size() + 1, name + "_") == 0 || base == BaseNameOf(TileManifestPath(out)) ||
           base == BaseNameOf(TileVrtPath(out)) || base == BaseNameOf(StageFilePath(out)) ||
           base == name + ".set";
}

// The set whose files base would be among in directory, by the sets'
// records kept there: "" for none.
std::string SetHolding(const std::string& directory, const std::string& base)
{
    for (size_t i = 1; i < base.size(); ++i) {
        const std::string name = base.substr(0, i);
        struct stat found {};
        if ((base[i] == '_' || base[i] == '.') && NameOfSet(name, base) &&
            stat((directory + "/" + name + ".set").c_str(), &found) == 0) {
            return name;
        }
    }
    return "";
}

}  // namespace

bool OutputsStayOutOfSets(const TileSetDescription& set, const std::vector<PlannedOutput>& plan,
                          std::string& error)
{
    return OutputsStayOutOfSets(&set.out, plan, error);
}

bool OutputsStayOutOfSets(const std::string* ownSet, const std::vector<PlannedOutput>& plan, std::string& error)
{
    // A set's outputs share a directory or two: each resolved once, not
    // once a tile.
    std::map<std::string, std::string> resolvedDirectories;
    const auto directoryOf = [&](const std::string& path) -> const std::string& {
        const std::string directory = DirectoryOf(path);
        const auto found = resolvedDirectories.find(directory);
        return found != resolvedDirectories.end() ? found->second
                                                  : resolvedDirectories[directory] = ResolvedDirectoryOf(path);
    };
    const std::string ownDirectory = ownSet != nullptr ? directoryOf(*ownSet) : "";
    const std::string ownName = ownSet != nullptr ? BaseNameOf(*ownSet) : "";
    for (const PlannedOutput& output : plan) {
        const ResolvedOutput resolved = ResolveOutput(output.path);
        if (output.input || resolved.kind != OutputKind::Replacement || resolved.target.empty()) {
            continue;
        }
        const std::string base = BaseNameOf(resolved.target);
        // Most outputs are no link: the name is its own target.
        const bool unlinked = resolved.target == output.path;
        const std::string directory = directoryOf(resolved.target);
        const bool ownFile = unlinked || (directory == directoryOf(output.path) && base == BaseNameOf(output.path));
        // The set's own files under their own names are what it writes; the
        // preview lies outside every set.
        const bool preview = output.what == "the preview (--preview)";
        if (ownFile && !preview && ownSet != nullptr) {
            continue;
        }
        const std::string owner = ownSet != nullptr && directory == ownDirectory && NameOfSet(ownName, base)
                                      ? ownName
                                      : SetHolding(directory, base);
        if (owner.empty()) {
            continue;
        }
        error = output.what + " '" + output.path + "' " +
                (ownFile ? std::string("is") : "is a link to '" + resolved.target + "', which is") +
                " a file of the tile set '" + owner + "' that another task or set writes; name it outside the set";
        return false;
    }
    return true;
}

bool PreviewOutsideSet(const std::string& out, const std::string& preview, std::string& error)
{
    const std::string name = BaseNameOf(out);
    const std::string previewName = BaseNameOf(preview);
    // Tiles and their maps are NAME_..., the set's shared files NAME.KIND.
    const bool tileName = previewName.compare(0, name.size() + 1, name + "_") == 0;
    const bool sharedName = previewName == BaseNameOf(TileManifestPath(out)) ||
                            previewName == BaseNameOf(TileVrtPath(out)) ||
                            previewName == BaseNameOf(StageFilePath(out)) ||
                            previewName == BaseNameOf(out + ".set");
    const bool setsName = tileName || sharedName;
    if (!setsName || ResolvedDirectoryOf(out) != ResolvedDirectoryOf(preview)) {
        return true;
    }
    error = "--preview '" + preview + "' takes a name of the tile set '" + name +
            "', where another task's tile, map, manifest or stage may land; name the preview outside the set";
    return false;
}

std::vector<PlannedOutput> PlanTileSetOutputs(const TileSetDescription& set, const std::vector<uint64_t>& tiles)
{
    std::vector<PlannedOutput> plan;
    plan.reserve(tiles.size() + 2);
    for (const uint64_t index : tiles) {
        const TilePlace place = PlaceOfTile(set.grid, *set.layout, index);
        plan.push_back({TileFileName(set.out, *set.layout, *set.format, place.x, place.y),
                        "tile " + std::to_string(place.x) + "," + std::to_string(place.y)});
    }
    if (std::find(tiles.begin(), tiles.end(), 0) != tiles.end()) {
        plan.push_back({TileManifestPath(set.out), "the manifest"});
        if (std::string(set.layout->name) == "gis") {
            plan.push_back({TileVrtPath(set.out), "the VRT"});
        }
    }
    return plan;
}

std::vector<PlannedOutput> PlanWorldOutputs(const TileSetDescription& set, const std::vector<uint64_t>& tiles,
                                            const std::string& stagePath, const std::vector<DerivedMapKind>& maps,
                                            const std::string& preview)
{
    std::vector<PlannedOutput> plan;
    if (!stagePath.empty()) {
        struct stat found {};
        plan.push_back({stagePath, "the stage file", stat(stagePath.c_str(), &found) == 0});
    }
    if (!preview.empty()) {
        plan.push_back({preview, "the preview (--preview)"});
    }
    for (const PlannedOutput& output : PlanTileSetOutputs(set, tiles)) {
        plan.push_back(output);
        if (output.what.compare(0, 5, "tile ") != 0) {
            continue;
        }
        for (const DerivedMapKind kind : maps) {
            plan.push_back({DerivedMapPath(output.path, kind, set.floats),
                            "the " + std::string(DerivedMapName(kind)) + " map of " + output.what});
        }
    }
    return plan;
}
