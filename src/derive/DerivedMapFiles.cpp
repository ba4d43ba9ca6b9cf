#include "derive/DerivedMapFiles.h"

#include <memory>

#include "derive/FlowRouting.h"
#include "export/PngRasterWriter.h"

namespace {

constexpr DerivedMapKind kKinds[] = {DerivedMapKind::Normal, DerivedMapKind::Slope, DerivedMapKind::Flow,
                                     DerivedMapKind::Rivers, DerivedMapKind::Splat, DerivedMapKind::Shade};

const char kKindList[] = "normal, slope, flow, rivers, splat, shade";

template <typename Sample>
bool WriteRaster(const Raster<Sample>& raster, OutputFile& out, std::string& error)
{
    if (WritePngRaster(raster, out) && out.Finish()) {
        return true;
    }
    error = out.Error();
    return false;
}

}  // namespace

const char* DerivedMapName(DerivedMapKind kind)
{
    switch (kind) {
    case DerivedMapKind::Normal:
        return "normal";
    case DerivedMapKind::Slope:
        return "slope";
    case DerivedMapKind::Flow:
        return "flow";
    case DerivedMapKind::Rivers:
        return "rivers";
    case DerivedMapKind::Splat:
        return "splat";
    case DerivedMapKind::Shade:
        return "shade";
    }
    return "";
}

bool ParseDerivedMapList(const std::string& list, std::vector<DerivedMapKind>& kinds, std::string& error)
{
    kinds.clear();
    size_t start = 0;
    for (;;) {
        const size_t comma = list.find(',', start);
        const std::string word = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        bool known = false;
        for (const DerivedMapKind kind : kKinds) {
            if (word == DerivedMapName(kind)) {
                for (const DerivedMapKind taken : kinds) {
                    if (taken == kind) {
                        error = "--maps names '" + word + "' twice";
                        return false;
                    }
                }
                kinds.push_back(kind);
                known = true;
            }
        }
        if (!known) {
            error = "--maps needs a comma-separated list of " + std::string(kKindList) + ", not '" + word + "'";
            return false;
        }
        if (comma == std::string::npos) {
            return true;
        }
        start = comma + 1;
    }
}

std::string DerivedMapPath(const std::string& out, DerivedMapKind kind)
{
    const size_t slash = out.rfind('/');
    const size_t dot = out.rfind('.');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    // A leading dot starts a hidden name, not an extension.
    const bool hasExtension = dot != std::string::npos && dot > nameStart;
    const std::string base = hasExtension ? out.substr(0, dot) : out;
    return base + "." + DerivedMapName(kind) + ".png";
}

bool WriteDerivedMaps(const Array2D<float>& map, const std::vector<DerivedMapKind>& kinds,
                      const DerivedMapSettings& settings, const std::vector<OutputFile*>& files, std::string& error)
{
    // Flow and rivers come from one routing, made once and only if asked for.
    std::unique_ptr<FlowNetwork> network;
    const auto routed = [&]() -> const FlowNetwork& {
        if (!network) {
            network = std::make_unique<FlowNetwork>(RouteFlow(map, settings.seaLevel));
        }
        return *network;
    };
    const double cellArea = settings.scale.cellSize * settings.scale.cellSize;
    for (size_t i = 0; i < kinds.size(); ++i) {
        OutputFile& out = *files.at(i);
        bool written = false;
        switch (kinds[i]) {
        case DerivedMapKind::Normal:
            written = WriteRaster(NormalMap(map, settings.scale, settings.normals, settings.threads), out, error);
            break;
        case DerivedMapKind::Slope:
            written = WriteRaster(SlopeMap(map, settings.scale, settings.threads), out, error);
            break;
        case DerivedMapKind::Flow:
            written = WriteRaster(FlowMap(routed()), out, error);
            break;
        case DerivedMapKind::Rivers:
            written = WriteRaster(RiverMap(routed(), cellArea, settings.riverAreaSquareMetres), out, error);
            break;
        case DerivedMapKind::Splat:
            written = WriteRaster(SplatMap(map, settings.scale, settings.seaLevel, settings.splat, settings.threads),
                                  out, error);
            break;
        case DerivedMapKind::Shade:
            written = WriteRaster(ShadeMap(map, settings.scale, settings.threads), out, error);
            break;
        }
        if (!written) {
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
