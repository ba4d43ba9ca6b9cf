#include "derive/DerivedMapKinds.h"

#include <algorithm>
#include <string>

namespace {

constexpr DerivedMapKind kKinds[] = {DerivedMapKind::Normal, DerivedMapKind::Slope, DerivedMapKind::Flow,
                                     DerivedMapKind::Rivers, DerivedMapKind::Splat, DerivedMapKind::Shade,
                                     DerivedMapKind::FlowD8, DerivedMapKind::FlowDirection, DerivedMapKind::Wear,
                                     DerivedMapKind::Deposition, DerivedMapKind::Water, DerivedMapKind::Depth,
                                     DerivedMapKind::Lakes};

const char kKindList[] = "normal, slope, flow, rivers, splat, shade, flow-d8, flowdir, wear, deposition, water, depth, lakes";

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
    case DerivedMapKind::FlowD8:
        return "flow-d8";
    case DerivedMapKind::FlowDirection:
        return "flowdir";
    case DerivedMapKind::Wear:
        return "wear";
    case DerivedMapKind::Deposition:
        return "deposition";
    case DerivedMapKind::Water:
        return "water";
    case DerivedMapKind::Depth:
        return "depth";
    case DerivedMapKind::Lakes:
        return "lakes";
    }
    return "";
}

bool DerivedMapsNeedUpstream(const std::vector<DerivedMapKind>& kinds)
{
    return std::any_of(kinds.begin(), kinds.end(),
                       [](DerivedMapKind k) { return k == DerivedMapKind::FlowD8 || ReadsRivers(k); });
}

bool DerivedMapsNeedMultipleFlow(const std::vector<DerivedMapKind>& kinds)
{
    return std::any_of(kinds.begin(), kinds.end(), [](DerivedMapKind k) {
        return k == DerivedMapKind::Flow || k == DerivedMapKind::FlowDirection;
    });
}

bool DerivedMapsNeedUneroded(const std::vector<DerivedMapKind>& kinds)
{
    return std::any_of(kinds.begin(), kinds.end(),
                       [](DerivedMapKind k) { return k == DerivedMapKind::Wear || k == DerivedMapKind::Deposition; });
}

bool DerivedMapsNeedLakes(const std::vector<DerivedMapKind>& kinds)
{
    return std::any_of(kinds.begin(), kinds.end(), [](DerivedMapKind k) {
        return k == DerivedMapKind::Lakes || k == DerivedMapKind::Water || k == DerivedMapKind::Depth;
    });
}

bool IsMetresMap(DerivedMapKind kind)
{
    return kind == DerivedMapKind::Wear || kind == DerivedMapKind::Deposition || kind == DerivedMapKind::Water ||
           kind == DerivedMapKind::Depth;
}

bool ReadsRivers(DerivedMapKind kind)
{
    return kind == DerivedMapKind::Rivers || kind == DerivedMapKind::Water || kind == DerivedMapKind::Depth;
}

bool ParseFloatMapFormat(const std::string& text, FloatMapFormat& format, std::string& error)
{
    if (text == "exr") {
        format = FloatMapFormat::Exr;
    } else if (text == "tif32") {
        format = FloatMapFormat::Tif32;
    } else {
        error = "--float-maps needs exr or tif32, not '" + text + "'";
        return false;
    }
    return true;
}

const char* FloatMapFormatName(FloatMapFormat format)
{
    return format == FloatMapFormat::Exr ? "exr" : format == FloatMapFormat::Tif32 ? "tif32" : "png";
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

std::string DerivedMapPath(const std::string& out, DerivedMapKind kind, FloatMapFormat floats)
{
    const size_t slash = out.rfind('/');
    const size_t dot = out.rfind('.');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    // A leading dot starts a hidden name, not an extension.
    const bool hasExtension = dot != std::string::npos && dot > nameStart;
    const std::string base = hasExtension ? out.substr(0, dot) : out;
    const char* extension = !IsMetresMap(kind) || floats == FloatMapFormat::None ? ".png"
                            : floats == FloatMapFormat::Exr                     ? ".exr"
                                                                                : ".tif";
    return base + "." + DerivedMapName(kind) + extension;
}
