#include "world/TileMaps.h"

#include <algorithm>
#include <cassert>
#include <memory>

#include "landing/OutputGroup.h"

namespace {

// The tile's own cells inside a grid that also holds its halo, for the
// writers, without a copy.
class CellsInside : public Matrix2DInterface<float> {
public:
    CellsInside(Array2D<float>& all, unsigned x0, unsigned y0, unsigned width, unsigned height)
        : all(all), x0(x0), y0(y0), width(width), height(height)
    {
    }
    float& At(int x, int y) override { return all.At(x + int(x0), y + int(y0)); }
    const float& At(int x, int y) const override
    {
        return static_cast<const Array2D<float>&>(all).At(x + int(x0), y + int(y0));
    }
    unsigned GetWidth() const override { return width; }
    unsigned GetHeight() const override { return height; }
    void Fill(const float& value) override
    {
        for (unsigned y = 0; y < height; ++y) {
            std::fill_n(all.Row(y0 + y) + x0, width, value);
        }
    }

private:
    Array2D<float>& all;
    unsigned x0, y0, width, height;
};

}  // namespace

bool WriteTileWithMaps(const WorldWindows& windows, const TileGrid& grid, const TilePlace& place,
                       const TileMapsRequest& maps, unsigned threads, const std::string& tilePath,
                       const std::function<bool(const Matrix2DInterface<float>&, OutputFile&)>& writeTile,
                       std::string& error)
{
    // Every file is opened before a cell is computed.
    std::vector<std::unique_ptr<OutputFile>> files;
    for (size_t i = 0; i <= maps.kinds.size(); ++i) {
        files.push_back(std::make_unique<OutputFile>());
        const std::string path = i == 0 ? tilePath : DerivedMapPath(tilePath, maps.kinds[i - 1], maps.settings.floats);
        if (!files.back()->Open(path)) {
            error = files.back()->Error();
            return false;
        }
    }
    std::vector<OutputFile*> all;
    for (const auto& file : files) {
        all.push_back(file.get());
    }
    const std::vector<OutputFile*> mapFiles(all.begin() + 1, all.end());

    const uint32_t t = grid.tileCells;
    const unsigned west = place.gridX > 0;
    const unsigned south = place.gridY > 0;
    const unsigned east = uint64_t{place.gridX} + t < grid.worldCells;
    const unsigned north = uint64_t{place.gridY} + t < grid.worldCells;
    Array2D<float> heights(t + west + east, t + south + north);
    std::unique_ptr<Array2D<float>> upstream;
    if (DerivedMapsNeedUpstream(maps.kinds)) {
        // The routing gives the halo's areas too; the maps read the tile's.
        Array2D<float> around(heights.GetWidth(), heights.GetHeight());
        windows.Generate(heights, &around, place.gridX - west, place.gridY - south, threads);
        upstream = std::make_unique<Array2D<float>>(t, t);
        for (uint32_t y = 0; y < t; ++y) {
            std::copy_n(around.Row(y + south) + west, t, upstream->Row(y));
        }
    } else {
        windows.Generate(heights, nullptr, place.gridX - west, place.gridY - south, threads);
    }
    if (!writeTile(CellsInside(heights, west, south, t, t), *all[0]) || !all[0]->Finish()) {
        error = all[0]->Error();
        return false;
    }
    DerivedMapWindow window{heights, upstream.get(), west, south, east, north};
    std::unique_ptr<MultipleFlowField> flow;
    if (DerivedMapsNeedMultipleFlow(maps.kinds)) {
        const MultipleFlowField around = maps.flow->Field(heights, place.gridX - west, place.gridY - south, threads);
        flow = std::make_unique<MultipleFlowField>(WindowOfFlow(around, west, south, t, t));
        window.flow = flow.get();
    }
    // Rivers read the line cells up to kRiverRadiusCells around the tile.
    std::unique_ptr<Array2D<float>> riverHeights;
    std::unique_ptr<Array2D<float>> riverUpstream;
    if (std::any_of(maps.kinds.begin(), maps.kinds.end(), ReadsRivers)) {
        const uint32_t reach = kRiverRadiusCells;
        const uint32_t x0 = place.gridX > reach ? place.gridX - reach : 0;
        const uint32_t y0 = place.gridY > reach ? place.gridY - reach : 0;
        const uint32_t x1 = uint32_t(std::min<uint64_t>(grid.worldCells - 1, uint64_t{place.gridX} + t - 1 + reach));
        const uint32_t y1 = uint32_t(std::min<uint64_t>(grid.worldCells - 1, uint64_t{place.gridY} + t - 1 + reach));
        riverHeights = std::make_unique<Array2D<float>>(x1 - x0 + 1, y1 - y0 + 1);
        riverUpstream = std::make_unique<Array2D<float>>(x1 - x0 + 1, y1 - y0 + 1);
        windows.Generate(*riverHeights, riverUpstream.get(), x0, y0, threads);
        window.riverHeights = riverHeights.get();
        window.riverUpstream = riverUpstream.get();
        window.riverWest = place.gridX - x0;
        window.riverSouth = place.gridY - y0;
    }
    std::unique_ptr<Array2D<float>> uneroded;
    if (DerivedMapsNeedUneroded(maps.kinds)) {
        uneroded = std::make_unique<Array2D<float>>(t, t);
        UnerodedWindow(*maps.raw, *uneroded, place.gridX, place.gridY, threads);
        window.uneroded = uneroded.get();
    }
    std::unique_ptr<Array2D<float>> lakes;
    if (maps.lakes) {
        lakes = std::make_unique<Array2D<float>>(t, t);
        windows.LakeSurface(*lakes, place.gridX, place.gridY, threads);
        window.lakeSurface = lakes.get();
    }
    return WriteDerivedMapsOfWindow(window, maps.kinds, maps.settings, mapFiles, error) &&
           CommitTogether(all, error);
}

void PrepareTileMaps(TileMapsRequest& maps, const std::shared_ptr<const WorldStage>& stage,
                     const TerrainParameters& parameters)
{
    if (DerivedMapsNeedMultipleFlow(maps.kinds)) {
        maps.flow = std::make_shared<const WorldFlow>(stage, maps.settings.threads);
    }
    if (DerivedMapsNeedUneroded(maps.kinds)) {
        maps.raw = std::make_shared<const HeightMapWindows>(stage->worldCells, parameters);
    }
    maps.lakes = DerivedMapsNeedLakes(maps.kinds) && LakeLeastShare(parameters) > 0.0 && stage->eroded;
}

bool WriteWorldPreview(const WorldStage& stage, const DerivedMapSettings& settings, const std::string& path,
                       std::string& error)
{
    DerivedMapSettings lattice = settings;
    lattice.scale.cellSize = settings.scale.cellSize * double(stage.worldCells - 1) / double(stage.cells - 1);
    OutputFile file;
    if (!file.Open(path)) {
        error = file.Error();
        return false;
    }
    return WritePreview(stage.heights, lattice, file, error) && CommitTogether({&file}, error);
}
