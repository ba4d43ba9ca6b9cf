#include "derive/DerivedMapFiles.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "derive/ErosionMaps.h"
#include "derive/FlowMaps.h"
#include "derive/WaterMaps.h"
#include "export/ExrWriter.h"
#include "export/PngRasterWriter.h"
#include "export/Tif32Writer.h"

namespace {


template <typename Sample>
bool WriteRaster(const Raster<Sample>& raster, OutputFile& out, std::string& error)
{
    if (WritePngRaster(raster, out) && out.Finish()) {
        return true;
    }
    error = out.Error();
    return false;
}

// The window's own pixels of a raster computed over the window and its halo.
template <typename Sample>
Raster<Sample> Inside(Raster<Sample> whole, const DerivedMapWindow& window)
{
    if (window.haloWest + window.haloSouth + window.haloEast + window.haloNorth == 0) {
        return whole;
    }
    const unsigned width = whole.width - window.haloWest - window.haloEast;
    const unsigned height = whole.height - window.haloSouth - window.haloNorth;
    Raster<Sample> inside(width, height, whole.channels);
    for (unsigned y = 0; y < height; ++y) {
        std::copy_n(whole.AtCell(window.haloWest, y + window.haloSouth), size_t(width) * whole.channels,
                    inside.AtCell(0, y));
    }
    return inside;
}

// The window's own cells of the heights.
Array2D<float> InsideCells(const DerivedMapWindow& window)
{
    const Array2D<float>& all = window.heights;
    const unsigned width = all.GetWidth() - window.haloWest - window.haloEast;
    const unsigned height = all.GetHeight() - window.haloSouth - window.haloNorth;
    Array2D<float> inside(width, height);
    for (unsigned y = 0; y < height; ++y) {
        std::copy_n(all.Row(y + window.haloSouth) + window.haloWest, width, inside.Row(y));
    }
    return inside;
}

RiverRule RiverRuleOf(const DerivedMapSettings& settings)
{
    return {settings.scale.cellSize, settings.riverAreaSquareMetres, settings.riverWidthMetres};
}

// 16-bit grey of floats over a full scale: round(65535 min(1, max(0, v) / full)).
Raster16 Grey16(const Array2D<float>& values, double fullScale)
{
    Raster16 raster(values.GetWidth(), values.GetHeight(), 1);
    for (unsigned y = 0; y < values.GetHeight(); ++y) {
        const float* row = values.Row(y);
        uint16_t* out = raster.AtCell(0, y);
        for (unsigned x = 0; x < values.GetWidth(); ++x) {
            out[x] = uint16_t(std::floor(65535.0 * std::min(1.0, std::max(0.0, double(row[x])) / fullScale) + 0.5));
        }
    }
    return raster;
}

}  // namespace

std::vector<std::pair<std::string, double>> DerivedMapFigures(const std::vector<DerivedMapKind>& kinds,
                                                              const DerivedMapSettings& settings)
{
    std::vector<std::pair<std::string, double>> figures;
    for (const DerivedMapKind kind : kinds) {
        if (kind == DerivedMapKind::Wear || kind == DerivedMapKind::Deposition) {
            figures.emplace_back(std::string(DerivedMapName(kind)) + "_full_scale_m",
                                 ErosionTraceFullScaleMetres(settings.scale));
        }
        if (kind == DerivedMapKind::Depth) {
            figures.emplace_back("depth_full_scale_m", DepthFullScaleMetres(settings.seaLevel, settings.scale.relief,
                                                                            RiverRuleOf(settings), settings.lakes));
        }
    }
    return figures;
}

bool WriteDerivedMaps(const Array2D<float>& map, const Array2D<float>* upstream,
                      const std::vector<DerivedMapKind>& kinds, const DerivedMapSettings& settings,
                      const std::vector<OutputFile*>& files, std::string& error)
{
    return WriteDerivedMapsOfWindow(DerivedMapWindow{map, upstream}, kinds, settings, files, error);
}

DerivedRaster ComputeDerivedMap(const DerivedMapWindow& window, DerivedMapKind kind,
                                const DerivedMapSettings& settings)
{
    const Array2D<float>& map = window.heights;
    DerivedRaster raster;
    raster.wide = kind != DerivedMapKind::Rivers && kind != DerivedMapKind::Splat && kind != DerivedMapKind::Shade &&
                  kind != DerivedMapKind::Lakes;
    switch (kind) {
    case DerivedMapKind::Normal:
        raster.deep = Inside(NormalMap(map, settings.scale, settings.normals, settings.threads), window);
        break;
    case DerivedMapKind::Slope:
        raster.deep = Inside(SlopeMap(map, settings.scale, settings.threads), window);
        break;
    case DerivedMapKind::Flow:
        assert(window.flow);
        raster.deep = FlowMap(InsideCells(window), window.flow->area, settings.seaLevel);
        break;
    case DerivedMapKind::FlowD8:
        assert(window.upstream);
        raster.deep = FlowMap(InsideCells(window), *window.upstream, settings.seaLevel);
        break;
    case DerivedMapKind::FlowDirection:
        assert(window.flow);
        raster.deep = FlowDirectionMap(InsideCells(window), *window.flow, settings.seaLevel);
        break;
    case DerivedMapKind::Wear:
    case DerivedMapKind::Deposition: {
        assert(window.uneroded);
        const ErosionTrace trace = kind == DerivedMapKind::Wear ? ErosionTrace::Wear : ErosionTrace::Deposition;
        raster.metres = ErosionTraceMetres(InsideCells(window), *window.uneroded, trace, settings.scale.relief);
        raster.floating = settings.floats != FloatMapFormat::None;
        if (!raster.floating) {
            raster.deep = Grey16(raster.metres, ErosionTraceFullScaleMetres(settings.scale));
        }
        break;
    }
    case DerivedMapKind::Water:
    case DerivedMapKind::Depth: {
        const RiverRule rule = RiverRuleOf(settings);
        const Array2D<float> inside = InsideCells(window);
        const unsigned width = inside.GetWidth();
        const unsigned height = inside.GetHeight();
        WaterField water = window.riverHeights != nullptr
                               ? ComputeWater(*window.riverHeights, *window.riverUpstream, window.riverWest,
                                              window.riverSouth, width, height, settings.seaLevel,
                                              settings.scale.relief, rule)
                               : ComputeWater(inside, *window.upstream, 0, 0, width, height, settings.seaLevel,
                                              settings.scale.relief, rule);
        if (window.lakeSurface != nullptr) {
            AddLakes(water, inside, *window.lakeSurface, settings.scale.relief);
        }
        const bool surface = kind == DerivedMapKind::Water;
        raster.metres = surface ? std::move(water.surface) : std::move(water.depth);
        raster.floating = settings.floats != FloatMapFormat::None;
        if (!raster.floating) {
            raster.deep = Grey16(raster.metres, surface ? 1.0
                                                        : DepthFullScaleMetres(settings.seaLevel, settings.scale.relief,
                                                                               rule, settings.lakes));
        }
        break;
    }
    case DerivedMapKind::Rivers:
        assert(window.upstream);
    {
        const RiverRule rule = RiverRuleOf(settings);
        const Array2D<float> inside = InsideCells(window);
        const unsigned width = inside.GetWidth();
        const unsigned height = inside.GetHeight();
        raster.narrow = window.riverHeights != nullptr
                            ? RiverMap(*window.riverHeights, *window.riverUpstream, window.riverWest,
                                       window.riverSouth, width, height, settings.seaLevel, rule)
                            : RiverMap(inside, *window.upstream, 0, 0, width, height, settings.seaLevel, rule);
    }
        break;
    case DerivedMapKind::Lakes: {
        const Array2D<float> inside = InsideCells(window);
        raster.narrow = Raster8(inside.GetWidth(), inside.GetHeight(), 1);
        for (unsigned y = 0; y < inside.GetHeight(); ++y) {
            uint8_t* out = raster.narrow.AtCell(0, y);
            for (unsigned x = 0; x < inside.GetWidth(); ++x) {
                out[x] = window.lakeSurface != nullptr && window.lakeSurface->Row(y)[x] > 0.0f ? 255 : 0;
            }
        }
        break;
    }
    case DerivedMapKind::Splat:
        raster.narrow =
            Inside(SplatMap(map, settings.scale, settings.seaLevel, settings.splat, settings.threads), window);
        break;
    case DerivedMapKind::Shade:
        raster.narrow = Inside(ShadeMap(map, settings.scale, settings.threads), window);
        break;
    }
    return raster;
}

bool WriteDerivedMapsOfWindow(const DerivedMapWindow& window, const std::vector<DerivedMapKind>& kinds,
                              const DerivedMapSettings& settings, const std::vector<OutputFile*>& files,
                              std::string& error)
{
    for (size_t i = 0; i < kinds.size(); ++i) {
        OutputFile& out = *files.at(i);
        const DerivedRaster raster = ComputeDerivedMap(window, kinds[i], settings);
        if (raster.floating) {
            const bool written = settings.floats == FloatMapFormat::Exr ? WriteHeightMapExr(raster.metres, out)
                                                                         : WriteHeightMapTif32(raster.metres, out);
            if (!written || !out.Finish()) {
                error = out.Error();
                return false;
            }
            continue;
        }
        if (!(raster.wide ? WriteRaster(raster.deep, out, error) : WriteRaster(raster.narrow, out, error))) {
            return false;
        }
    }
    return true;
}

bool WritePreview(const Array2D<float>& map, const DerivedMapSettings& settings, OutputFile& file,
                  std::string& error)
{
    return WriteRaster(Downsized(ShadeMap(map, settings.scale, settings.threads), kPreviewSide), file, error);
}
