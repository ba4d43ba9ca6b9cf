#include "world/WorldTiles.h"

#include <future>
#include <memory>

#include "export/OutputFile.h"
#include "export/Tif32Writer.h"
#include "terrain/HeightMapWindow.h"

namespace {

using Tile = std::unique_ptr<Array2D<float>>;

Tile GenerateTile(const HeightMapWindows& windows, const TileSetDescription& set, uint64_t index, unsigned threads)
{
    const TilePlace place = PlaceOfTile(set.grid, *set.layout, index);
    Tile tile = std::make_unique<Array2D<float>>(set.grid.tileCells, set.grid.tileCells);
    windows.Generate(*tile, place.gridX, place.gridY, threads);
    return tile;
}

bool WriteTile(const TileSetDescription& set, uint64_t index, const Array2D<float>& tile, const std::string& label)
{
    const TilePlace place = PlaceOfTile(set.grid, *set.layout, index);
    OutputFile out(label);
    if (!out.Open(TileFileName(set.out, *set.layout, *set.format, place.x, place.y))) {
        return false;
    }
    bool written = false;
    if (std::string(set.layout->name) == "gis") {
        const GeoTransform placement = TilePlacement(set.grid, place);
        written = WriteHeightMapTif32(tile, out, &placement);
    } else {
        written = WriteHeightMapAs(*set.format, tile, set.rows, out);
    }
    return written && out.Commit();
}

}  // namespace

bool WriteWorldTiles(const WorldTilesJob& job, const std::string& label, const std::function<void(double)>& progress)
{
    const TileSetDescription& set = job.set;
    const HeightMapWindows windows(set.grid.worldCells, set.terrain);
    const size_t count = job.tiles.size();
    bool includesFirst = false;

    std::future<Tile> next;
    if (count > 0) {
        next = std::async(std::launch::async, GenerateTile, std::cref(windows), std::cref(set), job.tiles[0],
                          job.threads);
    }
    for (size_t i = 0; i < count; ++i) {
        const Tile tile = next.get();
        if (i + 1 < count) {
            next = std::async(std::launch::async, GenerateTile, std::cref(windows), std::cref(set), job.tiles[i + 1],
                              job.threads);
        }
        if (!WriteTile(set, job.tiles[i], *tile, label)) {
            if (next.valid()) {
                next.wait();  // the tile in the making is dropped
            }
            return false;
        }
        includesFirst = includesFirst || job.tiles[i] == 0;
        if (progress) {
            progress(double(i + 1) / double(count));
        }
    }
    return !includesFirst || WriteTileSetFiles(set, label);
}

uint64_t WorldTilesMemoryBytes(uint32_t tileCells)
{
    // Two tiles of floats, the coarser levels of the one being made (a third
    // of a tile), the writers' row buffers and the program itself.
    const uint64_t tile = uint64_t{tileCells} * tileCells * sizeof(float);
    return tile * 7 / 3 + (64u << 20);
}
