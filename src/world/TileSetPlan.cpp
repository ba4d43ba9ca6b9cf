#include "world/TileSetPlan.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>

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

bool PreviewOutsideSet(const std::string& out, const std::string& preview, std::string& error)
{
    const std::string name = BaseNameOf(out);
    const std::string previewName = BaseNameOf(preview);
    // Tiles and their maps are NAME_..., the set's shared files NAME.KIND.
    const bool tileName = previewName.compare(0, name.size() + 1, name + "_") == 0;
    const bool sharedName = previewName == BaseNameOf(TileManifestPath(out)) ||
                            previewName == BaseNameOf(TileVrtPath(out)) ||
                            previewName == BaseNameOf(StageFilePath(out));
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
            plan.push_back({DerivedMapPath(output.path, kind),
                            "the " + std::string(DerivedMapName(kind)) + " map of " + output.what});
        }
    }
    return plan;
}
