#include <gtest/gtest.h>

#include <cstring>

#include "derive/DerivedMapFiles.h"
#include "hydrology/MapRouting.h"
#include "erosion/Terrain.h"

namespace {

// Every map of a window, made from the window's cells and its halo alone, is
// that window of the whole map's map, pixel for pixel: the tiles of a world
// join without a seam. Windows in the corners, on each edge and inside.
TEST(DerivedWindow, EveryMapOfAWindowIsThatWindowOfTheWholeMapsMap)
{
    TerrainParameters parameters;
    parameters.roughness = 0.62f;
    parameters.sharpness = 0.25f;
    parameters.erosion = 1.0f;
    const uint32_t n = 129;
    Array2D<float> whole(n, n);
    GenerateTerrain(whole, parameters);
    const Array2D<float> upstream = RouteMap(whole).upstream;
    DerivedMapSettings settings;
    settings.scale = {CellSizeOf(kDefaultExtentMetres, n), kDefaultReliefMetres};
    settings.riverAreaSquareMetres = 2e5;

    struct Window {
        uint32_t x0, y0, width, height;
    };
    for (const Window w : {Window{0, 0, 33, 33}, Window{96, 96, 33, 33}, Window{40, 0, 30, 20},
                           Window{0, 50, 17, 40}, Window{64, 64, 33, 9}, Window{128, 10, 1, 50}}) {
        SCOPED_TRACE(testing::Message() << "window at " << w.x0 << "," << w.y0);
        const unsigned west = w.x0 > 0;
        const unsigned south = w.y0 > 0;
        const unsigned east = w.x0 + w.width < n;
        const unsigned north = w.y0 + w.height < n;
        Array2D<float> haloed(w.width + west + east, w.height + south + north);
        for (uint32_t y = 0; y < haloed.GetHeight(); ++y) {
            std::memcpy(haloed.Row(y), whole.Row(w.y0 - south + y) + (w.x0 - west), haloed.GetWidth() * 4);
        }
        Array2D<float> windowUpstream(w.width, w.height);
        for (uint32_t y = 0; y < w.height; ++y) {
            std::memcpy(windowUpstream.Row(y), upstream.Row(w.y0 + y) + w.x0, w.width * 4);
        }
        DerivedMapWindow window{haloed, &windowUpstream, west, south, east, north};
        // Rivers read the line cells around the window: here, the whole map's.
        window.riverHeights = &whole;
        window.riverUpstream = &upstream;
        window.riverWest = w.x0;
        window.riverSouth = w.y0;
        for (const DerivedMapKind kind : {DerivedMapKind::Normal, DerivedMapKind::Slope, DerivedMapKind::FlowD8,
                                          DerivedMapKind::Rivers, DerivedMapKind::Splat, DerivedMapKind::Shade}) {
            const DerivedRaster all = ComputeDerivedMap(DerivedMapWindow{whole, &upstream}, kind, settings);
            const DerivedRaster part = ComputeDerivedMap(window, kind, settings);
            ASSERT_EQ(part.wide, all.wide);
            const unsigned channels = part.wide ? part.deep.channels : part.narrow.channels;
            const size_t bytes = size_t(w.width) * channels * (part.wide ? 2 : 1);
            for (uint32_t y = 0; y < w.height; ++y) {
                const void* got = part.wide ? static_cast<const void*>(part.deep.AtCell(0, y))
                                            : static_cast<const void*>(part.narrow.AtCell(0, y));
                const void* want = all.wide ? static_cast<const void*>(all.deep.AtCell(w.x0, w.y0 + y))
                                            : static_cast<const void*>(all.narrow.AtCell(w.x0, w.y0 + y));
                ASSERT_EQ(std::memcmp(got, want, bytes), 0) << DerivedMapName(kind) << " row " << y;
            }
        }
    }
}

}  // namespace
