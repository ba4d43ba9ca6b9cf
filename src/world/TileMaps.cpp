#include "world/TileMaps.h"

#include <algorithm>
#include <memory>

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

bool MapsNeedUpstream(const std::vector<DerivedMapKind>& kinds)
{
    return std::any_of(kinds.begin(), kinds.end(),
                       [](DerivedMapKind k) { return k == DerivedMapKind::Flow || k == DerivedMapKind::Rivers; });
}

bool WriteTileWithMaps(const WorldWindows& windows, const TileGrid& grid, const TilePlace& place,
                       const TileMapsRequest& maps, unsigned threads, const std::string& tilePath,
                       const std::function<bool(const Matrix2DInterface<float>&)>& writeTile, std::string& error)
{
    const uint32_t t = grid.tileCells;
    const unsigned west = place.gridX > 0;
    const unsigned south = place.gridY > 0;
    const unsigned east = uint64_t{place.gridX} + t < grid.worldCells;
    const unsigned north = uint64_t{place.gridY} + t < grid.worldCells;
    Array2D<float> heights(t + west + east, t + south + north);
    std::unique_ptr<Array2D<float>> upstream;
    if (MapsNeedUpstream(maps.kinds)) {
        // The routing gives the halo's areas too; the maps read the tile's.
        Array2D<float> all(heights.GetWidth(), heights.GetHeight());
        windows.Generate(heights, &all, place.gridX - west, place.gridY - south, threads);
        upstream = std::make_unique<Array2D<float>>(t, t);
        for (uint32_t y = 0; y < t; ++y) {
            std::copy_n(all.Row(y + south) + west, t, upstream->Row(y));
        }
    } else {
        windows.Generate(heights, nullptr, place.gridX - west, place.gridY - south, threads);
    }
    if (!writeTile(CellsInside(heights, west, south, t, t))) {
        return false;
    }
    const DerivedMapWindow window{heights, upstream.get(), west, south, east, north};
    return WriteDerivedMapsOfWindow(window, maps.kinds, maps.settings, tilePath, error);
}

bool WriteWorldPreview(const WorldStage& stage, const DerivedMapSettings& settings, const std::string& path,
                       std::string& error)
{
    DerivedMapSettings lattice = settings;
    lattice.scale.cellSize = settings.scale.cellSize * double(stage.worldCells - 1) / double(stage.cells - 1);
    return WritePreview(stage.heights, lattice, path, error);
}
