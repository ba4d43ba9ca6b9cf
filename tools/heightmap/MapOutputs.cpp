#include "MapOutputs.h"

#include <sys/stat.h>

#include "cli/TerrainOptions.h"
#include "derive/DerivedMapFiles.h"
#include "export/GeoTransform.h"
#include "export/HeightMapFormat.h"
#include "export/HeightMapMetadata.h"
#include "landing/OutputGroup.h"
#include "landing/OutputTarget.h"
#include "world/TileSetPlan.h"

namespace {

std::string DescriptionName(const std::string& out) { return out + ".json"; }

// Whether the name is replaced whole, or may be: a name that cannot be
// resolved at all is left to the plan, which says why.
bool ReplacedWhole(const std::string& name)
{
    const ResolvedOutput resolved = ResolveOutput(name);
    if (resolved.throughProc) {
        return false;
    }
    return resolved.error != 0 || resolved.kind == OutputKind::Replacement;
}

}  // namespace

MapOutputs::MapOutputs(const HeightMapOptions& options) : options(options)
{
    plan.push_back({options.out, "the map (--out)"});
    if (options.meta) {
        plan.push_back({DescriptionName(options.out), "the description (--meta)"});
    }
    for (const DerivedMapKind kind : options.ground.maps) {
        plan.push_back({DerivedMapPath(options.out, kind, options.ground.derived.floats),
                        std::string("the ") + DerivedMapName(kind) + " map (--maps)"});
    }
    if (!options.ground.preview.empty()) {
        plan.push_back({options.ground.preview, "the preview (--preview)"});
    }
}

// FILE.json beside a device or a pipe would land in /dev or fail only after
// the map was written; the derived maps go beside FILE, under its name.
bool MapOutputs::Refused(int& status, std::string& error)
{
    status = 2;
    if (options.meta && !ReplacedWhole(options.out)) {
        error = "--meta needs --out to name a regular file or a new one, not '" + options.out +
                "' (a device, a FIFO or an open descriptor)";
        return true;
    }
    if (options.meta && !ReplacedWhole(DescriptionName(options.out))) {
        error = "--meta writes '" + DescriptionName(options.out) +
                "', which is not a regular file (a device, a FIFO or an open descriptor)";
        return true;
    }
    struct stat target {};
    if (!options.ground.maps.empty() && stat(options.out.c_str(), &target) == 0 && !S_ISREG(target.st_mode)) {
        error = "--maps needs --out to name a regular file, not '" + options.out + "'";
        return true;
    }
    const PlanVerdict verdict = checks.Check(plan, PlanCheck::Now);
    status = verdict.status;
    error = verdict.message;
    if (verdict.status == 0 && !OutputsStayOutOfSets(nullptr, plan, error)) {
        status = 2;
    }
    return status != 0;
}

bool MapOutputs::Open(int& status, std::string& error)
{
    if (Refused(status, error)) {
        return false;
    }
    status = 1;
    for (const PlannedOutput& output : plan) {
        files.push_back(std::make_unique<OutputFile>());
        if (!files.back()->Open(output.path)) {
            error = files.back()->Error();
            return false;
        }
    }
    // A format that seeks back is refused now when the output cannot seek.
    if (FindHeightMapFormat(options.format)->seeksBack && !File(0).RequireSeeking()) {
        error = File(0).Error();
        return false;
    }
    return true;
}

bool MapOutputs::Write(const Array2D<float>& map, const Array2D<float>* upstream, const MapInputs& inputs,
                       std::string& error)
{
    const HeightMapFormat& format = *FindHeightMapFormat(options.format);
    const RowOrder rows = options.rowsGiven ? options.rows : format.defaultRows;
    const GroundOptions& ground = options.ground;
    const HeightMapGround placed{ground.derived.scale.cellSize, ground.relief, ground.originX, ground.originY,
                                 ground.frame};
    const GeoTransform placement =
        FramedGeoTransform(options.size, placed.cellSize, placed.originX, placed.originY, placed.frame);
    // Each file is finished (written out and fsync'd, its buffer freed) as
    // soon as it is written, in the plan's order; all are renamed at the end.
    if (!WriteHeightMapAs(format, map, rows, File(0), &placement) || !File(0).Finish()) {
        error = File(0).Error();
        return false;
    }
    size_t next = 1;
    if (options.meta) {
        const MapFigures figures = DerivedMapFigures(ground.maps, ground.derived);
        const std::string json =
            HeightMapMetadataJson(format, rows, options.size, options.terrain, TerrainMetaNumbers(options.terrain),
                                  ORVANDEL_VERSION, &placed, figures.empty() ? nullptr : &figures);
        if (!File(next).Write(json.data(), json.size()) || !File(next).Finish()) {
            error = File(next).Error();
            return false;
        }
        ++next;
    }
    std::vector<OutputFile*> derived;
    for (size_t i = 0; i < ground.maps.size(); ++i) {
        derived.push_back(&File(next++));
    }
    DerivedMapWindow window{map, upstream};
    window.flow = inputs.flow.get();
    window.uneroded = inputs.uneroded.get();
    window.lakeSurface = inputs.lakeSurface.get();
    if (inputs.riverHeights) {
        window.riverHeights = inputs.riverHeights.get();
        window.riverUpstream = inputs.riverUpstream.get();
        window.riverWest = window.riverSouth = inputs.riverOffset;
    }
    if (!WriteDerivedMapsOfWindow(window, ground.maps, ground.derived, derived, error) ||
        (!ground.preview.empty() && !WritePreview(map, ground.derived, File(next), error))) {
        return false;
    }
    std::vector<OutputFile*> all;
    for (const std::unique_ptr<OutputFile>& file : files) {
        all.push_back(file.get());
    }
    return CommitTogether(all, error);
}
