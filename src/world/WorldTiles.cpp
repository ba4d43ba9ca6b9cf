#include "world/WorldTiles.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "landing/OutputFile.h"
#include "export/Tif32Writer.h"
#include "erosion/WorldStage.h"
#include "erosion/WorldWindows.h"

namespace {

// Two tiles' cells, each either free or holding a finished tile, handed
// between the generating thread and the writing one.
class TileSlots {
public:
    explicit TileSlots(uint32_t cells) : tiles{Array2D<float>(cells, cells), Array2D<float>(cells, cells)} {}

    // The generator's side: waits until slot i is free; false once stopped.
    bool WaitFree(size_t i)
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return stopped || !ready[i % 2]; });
        return !stopped;
    }
    void MarkReady(size_t i)
    {
        const std::lock_guard<std::mutex> lock(mutex);
        ready[i % 2] = true;
        changed.notify_all();
    }
    // The writer's side: waits until slot i holds its tile; rethrows what
    // the generator threw.
    void WaitReady(size_t i)
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return failure != nullptr || ready[i % 2]; });
        if (failure != nullptr) {
            std::rethrow_exception(failure);
        }
    }
    void MarkFree(size_t i)
    {
        const std::lock_guard<std::mutex> lock(mutex);
        ready[i % 2] = false;
        changed.notify_all();
    }
    void Fail(std::exception_ptr error)
    {
        const std::lock_guard<std::mutex> lock(mutex);
        failure = error;
        changed.notify_all();
    }
    void Stop()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        stopped = true;
        changed.notify_all();
    }
    Array2D<float>& Tile(size_t i) { return tiles[i % 2]; }

private:
    Array2D<float> tiles[2];
    bool ready[2] = {false, false};
    bool stopped = false;
    std::exception_ptr failure;
    std::mutex mutex;
    std::condition_variable changed;
};

std::string TilePath(const TileSetDescription& set, const TilePlace& place)
{
    return TileFileName(set.out, *set.layout, *set.format, place.x, place.y);
}

// The tile's cells in its layout's format, into its opened file.
bool WriteTileCells(const TileSetDescription& set, const TilePlace& place, const Matrix2DInterface<float>& tile,
                    OutputFile& out)
{
    if (std::string(set.layout->name) == "gis") {
        const GeoTransform placement = TilePlacement(set.grid, place, set.ground);
        return WriteHeightMapTif32(tile, out, &placement);
    }
    return WriteHeightMapAs(*set.format, tile, set.rows, out);
}

bool WriteTile(const TileSetDescription& set, uint64_t index, const Matrix2DInterface<float>& tile,
               std::string& error)
{
    const TilePlace place = PlaceOfTile(set.grid, *set.layout, index);
    OutputFile out;
    if (out.Open(TilePath(set, place)) && WriteTileCells(set, place, tile, out) && out.Commit()) {
        return true;
    }
    error = out.Error();
    return false;
}

// With maps: each tile with its halo, written, then its maps, landing
// together, one tile at a time (a tile, its halo, its upstream areas and one
// map are held at once).
bool WriteTilesWithMaps(const WorldTilesJob& job, const WorldWindows& windows, std::string& error,
                        const std::function<void(double)>& progress)
{
    const TileSetDescription& set = job.set;
    for (size_t i = 0; i < job.tiles.size(); ++i) {
        const TilePlace place = PlaceOfTile(set.grid, *set.layout, job.tiles[i]);
        const auto writeTile = [&](const Matrix2DInterface<float>& tile, OutputFile& out) {
            return WriteTileCells(set, place, tile, out);
        };
        if (!WriteTileWithMaps(windows, set.grid, place, job.maps, job.threads, TilePath(set, place), writeTile,
                               error)) {
            return false;
        }
        if (progress) {
            progress(double(i + 1) / double(job.tiles.size()));
        }
    }
    const bool includesFirst = std::find(job.tiles.begin(), job.tiles.end(), 0) != job.tiles.end();
    return !includesFirst || WriteTileSetFiles(set, error);
}

}  // namespace

bool WriteWorldTiles(const WorldTilesJob& job, std::string& error, const std::function<void(double)>& progress)
{
    const TileSetDescription& set = job.set;
    const WorldWindows windows(set.terrain, job.stage);
    if (!job.maps.kinds.empty()) {
        return WriteTilesWithMaps(job, windows, error, progress);
    }
    const size_t count = job.tiles.size();
    TileSlots slots(set.grid.tileCells);

    // One thread generates (on the threads it is given) while this one
    // writes, one tile behind; OutputFile writes one file at a time.
    std::thread generator([&] {
        try {
            for (size_t i = 0; i < count && slots.WaitFree(i); ++i) {
                const TilePlace place = PlaceOfTile(set.grid, *set.layout, job.tiles[i]);
                windows.Generate(slots.Tile(i), nullptr, place.gridX, place.gridY, job.threads);
                slots.MarkReady(i);
            }
        } catch (...) {
            slots.Fail(std::current_exception());
        }
    });
    bool written = true;
    bool includesFirst = false;
    try {
        for (size_t i = 0; i < count && written; ++i) {
            slots.WaitReady(i);
            written = WriteTile(set, job.tiles[i], slots.Tile(i), error);
            slots.MarkFree(i);
            includesFirst = includesFirst || job.tiles[i] == 0;
            if (written && progress) {
                progress(double(i + 1) / double(count));
            }
        }
    } catch (...) {
        slots.Stop();
        generator.join();
        throw;
    }
    slots.Stop();
    generator.join();
    return written && (!includesFirst || WriteTileSetFiles(set, error));
}

namespace {

// Whether a world's stage is a lattice of more than 4097 cells a side: an
// 8193 world, eroded whole.
bool LargeStage(uint32_t worldCells)
{
    return StageCellsOf(worldCells) > kStageCells;
}

}  // namespace

uint64_t WorldStageJobBytes(uint32_t worldCells)
{
    // The one-machine erosion of the stage: 1.2 GB measured at 4097, 3.85
    // GB at 8193, with room to spare.
    return LargeStage(worldCells) ? uint64_t{4608} << 20 : uint64_t{1536} << 20;
}

uint64_t WorldTilesMemoryBytes(uint32_t worldCells, uint32_t tileCells, bool eroded, bool maps, bool multipleFlow)
{
    const uint64_t tile = uint64_t{tileCells} * tileCells * sizeof(float);
    // A task of an eroded world that finds no stage file erodes the stage
    // first, freed before the first tile but for the stage itself (200 MB
    // at 4097).
    uint64_t stageErosion = eroded ? WorldStageJobBytes(worldCells) : 0;
    // The stage's multiple-flow routing (WorldFlow.h): its shares, order and
    // areas over the stage's cells, 1.16 GB measured at 4097 with 2049 tiles
    // of 8193, 3.3 GB at 8193 with 2049 tiles of 8193 (the stage the world
    // itself), freed but for the areas before the first tile.
    if (multipleFlow) {
        stageErosion = std::max(stageErosion, LargeStage(worldCells) ? uint64_t{4096} << 20 : uint64_t{1280} << 20);
    }
    if (maps) {
        // One tile at a time, with its halo and its upstream areas (twice
        // while the halo's are dropped), and the largest map (the normals,
        // 6 bytes a cell, computed with the halo then cut): measured 5.0
        // tiles at 8193, with the generation's levels beside them.
        return std::max(stageErosion, tile * 11 / 2 + (eroded ? 256u << 20 : 96u << 20));
    }
    if (eroded) {
        // Two tiles of floats; the levels of the tile being made (the finest
        // with its raw terrain, free heights, the area its passes bring down
        // and a copy for their bands of rows, the heights made over a rect
        // one cell wider, the level above it a quarter of that): measured
        // 2.20 GiB at 8193 (0.8), 8.8 tiles with the stage (4097 cells a
        // side, its heights, routed heights and upstream areas), the writers'
        // buffers and the program.
        return std::max(stageErosion, tile * 9 + (256u << 20));
    }
    // Two tiles of floats, the coarser levels of the one being made (a third
    // of a tile), the writers' row buffers and the program itself.
    return tile * 7 / 3 + (64u << 20);
}
