#include "world/MapInputs.h"

#include <algorithm>
#include <string>

#include "erosion/Erosion.h"
#include "hydrology/Lakes.h"
#include "terrain/HeightMapOfSize.h"
#include "terrain/ParallelRows.h"

namespace {

// Every height times the headroom, in float, as erosion's first step makes it.
void ScaleByHeadroom(Array2D<float>& map, unsigned threads)
{
    ParallelRows(static_cast<int>(map.GetHeight()), threads, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            float* row = map.Row(y);
            for (uint32_t x = 0; x < map.GetWidth(); ++x) {
                row[x] = row[x] * kErosionHeadroom;
            }
        }
    });
}

Array2D<float> Window(const Array2D<float>& whole, uint32_t x0, uint32_t y0, uint32_t width, uint32_t height)
{
    Array2D<float> window(width, height);
    for (uint32_t y = 0; y < height; ++y) {
        std::copy_n(whole.Row(y0 + y) + x0, width, window.Row(y));
    }
    return window;
}

}  // namespace

MapInputs ComputeMapInputs(const Array2D<float>& map, const std::shared_ptr<const WorldStage>& stage,
                           const TerrainParameters& parameters, const std::vector<DerivedMapKind>& kinds,
                           unsigned threads)
{
    MapInputs inputs;
    if (DerivedMapsNeedMultipleFlow(kinds)) {
        inputs.flow = std::make_shared<const MultipleFlowField>(WorldFlow(stage, threads).Field(map, 0, 0, threads));
    }
    if (DerivedMapsNeedUneroded(kinds)) {
        TerrainParameters raw = parameters;
        raw.erosion = 0.0f;
        inputs.uneroded = std::make_unique<Array2D<float>>(map.GetWidth(), map.GetHeight());
        GenerateHeightMapOfSize(*inputs.uneroded, raw, threads);
        ScaleByHeadroom(*inputs.uneroded, threads);
    }
    if (DerivedMapsNeedLakes(kinds) && LakeLeastShare(parameters) > 0.0 && parameters.erosion > 0.0f) {
        inputs.lakeSurface = std::make_unique<Array2D<float>>(LakeSurfaceOf(map));
    }
    return inputs;
}

Array2D<float> LakeSurfaceOf(const Array2D<float>& map)
{
    std::vector<float> surface;
    LakeSurface(map.Row(0), static_cast<int>(map.GetWidth()), surface);
    Array2D<float> lakes(map.GetWidth(), map.GetHeight());
    std::copy(surface.begin(), surface.end(), lakes.Row(0));
    return lakes;
}

void TakeCentredWindow(uint32_t size, const std::vector<DerivedMapKind>& kinds, Array2D<float>& map,
                       std::unique_ptr<Array2D<float>>& upstream, MapInputs& inputs)
{
    const uint32_t offset = (map.GetWidth() - size) / 2;
    if (upstream && std::any_of(kinds.begin(), kinds.end(), ReadsRivers)) {
        inputs.riverHeights = std::make_unique<Array2D<float>>(map);
        inputs.riverUpstream = std::make_unique<Array2D<float>>(*upstream);
        inputs.riverOffset = offset;
    }
    map = Window(map, offset, offset, size, size);
    if (upstream) {
        *upstream = Window(*upstream, offset, offset, size, size);
    }
    if (inputs.flow) {
        inputs.flow = std::make_shared<const MultipleFlowField>(WindowOfFlow(*inputs.flow, offset, offset, size, size));
    }
    if (inputs.uneroded) {
        *inputs.uneroded = Window(*inputs.uneroded, offset, offset, size, size);
    }
    if (inputs.lakeSurface) {
        *inputs.lakeSurface = Window(*inputs.lakeSurface, offset, offset, size, size);
    }
}

MultipleFlowField WindowOfFlow(const MultipleFlowField& whole, uint32_t x0, uint32_t y0, uint32_t width,
                               uint32_t height)
{
    MultipleFlowField window;
    window.area = Window(whole.area, x0, y0, width, height);
    window.east = Window(whole.east, x0, y0, width, height);
    window.north = Window(whole.north, x0, y0, width, height);
    return window;
}

void UnerodedWindow(const HeightMapWindows& raw, Array2D<float>& window, uint32_t x0, uint32_t y0, unsigned threads)
{
    raw.Generate(window, x0, y0, threads);
    ScaleByHeadroom(window, threads);
}

bool MapKindsAccepted(const std::vector<DerivedMapKind>& kinds, bool eroded, std::string& error)
{
    for (const DerivedMapKind kind : kinds) {
        const std::string name = DerivedMapName(kind);
        if ((kind == DerivedMapKind::Wear || kind == DerivedMapKind::Deposition) && !eroded) {
            error = "--maps " + name + " measures what erosion moved and needs --erosion above 0";
            return false;
        }
    }
    return true;
}
