#include "world/TileSetPlan.h"

#include <algorithm>

#include "landing/OutputTarget.h"

bool TileSetNameAccepted(const std::string& out, std::string& error)
{
    const std::string name = BaseNameOf(out);
    if (!name.empty() && name != "." && name != "..") {
        return true;
    }
    error = "--out needs DIR/NAME with a NAME for the tile set after the last '/', not '" + out + "'";
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
