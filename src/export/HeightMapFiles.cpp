#include "export/HeightMapFiles.h"

#include "landing/OutputGroup.h"

namespace {

std::string DescriptionName(const std::string& out) { return out + ".json"; }

// Whether the name is replaced whole, or may be: a name that cannot be
// resolved at all is left to Open, which says why.
bool ReplacedWhole(const std::string& name)
{
    const ResolvedOutput resolved = ResolveOutput(name);
    if (resolved.throughProc) {
        return false;
    }
    return resolved.error != 0 || resolved.kind == OutputKind::Replacement;
}

}  // namespace

bool HeightMapFiles::MetaAccepted(const std::string& out, std::string& error)
{
    if (!ReplacedWhole(out)) {
        error = "--meta needs --out to name a regular file or a new one, not '" + out +
                "' (a device, a FIFO or an open descriptor)";
        return false;
    }
    if (!ReplacedWhole(DescriptionName(out))) {
        error = "--meta writes '" + DescriptionName(out) +
                "', which is not a regular file (a device, a FIFO or an open descriptor)";
        return false;
    }
    return true;
}

bool HeightMapFiles::Open(const std::string& out, bool withMeta, const HeightMapFormat& mapFormat)
{
    meta = withMeta;
    format = &mapFormat;
    if (!map.Open(out) || (format->seeksBack && !map.RequireSeeking())) {
        return false;
    }
    return !meta || description.Open(DescriptionName(out));
}

bool HeightMapFiles::Write(const Matrix2DInterface<float>& cells, RowOrder rows, const std::string& json,
                           const GeoTransform* placement)
{
    if (format == nullptr || !WriteHeightMapAs(*format, cells, rows, map, placement)) {
        return false;
    }
    if (!meta) {
        return map.Commit();
    }
    if (!description.Write(json.data(), json.size())) {
        return false;
    }
    return CommitTogether({&map, &description});
}
