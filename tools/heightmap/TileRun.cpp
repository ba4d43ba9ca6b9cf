#include "TileRun.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "ProgressLine.h"
#include "cli/CommandLineText.h"
#include "derive/MapScale.h"
#include "landing/InterruptCleanup.h"
#include "terrain/ParallelRows.h"
#include "world/SlurmScript.h"
#include "world/TileSetPlan.h"
#include "world/TileSetRecord.h"
#include "world/WorldStageFile.h"
#include "world/WorldTiles.h"

namespace {

// Below this many cells in the run's tiles no progress is drawn.
constexpr double kProgressCells = 1e6;

std::string CurrentDirectory()
{
    char path[PATH_MAX];
    return getcwd(path, sizeof path) != nullptr ? path : ".";
}

std::string ToolPath(const char* argv0)
{
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) {
        return argv0;
    }
    return std::string(path, size_t(length));
}

std::string BaseName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// What a run of the world writes besides the tile set's own files: the
// stage file (eroded worlds), each tile's maps, the preview.
std::vector<PlannedOutput> PlanRun(const HeightMapOptions& options, const TileSetDescription& set,
                                   const std::vector<uint64_t>& tiles, bool writesPreview)
{
    const bool eroded = options.terrain.erosion > 0.0f;
    std::vector<PlannedOutput> plan = PlanWorldOutputs(set, tiles, eroded ? StageFilePath(options.out) : "",
                                                       options.ground.maps, writesPreview ? options.ground.preview : "");
    // The set's record: read when it is there, else landed by this run.
    const std::string record = TileSetRecordPath(options.out);
    struct stat found {};
    plan.insert(plan.begin(), {record, "the set's record", stat(record.c_str(), &found) == 0});
    return plan;
}

// A job array Slurm takes: past the default MaxArraySize one line says so,
// past the largest a cluster may set the job is refused. Returns the exit
// status, 0 to go on.
int CheckTaskCount(const TileGrid& grid, uint64_t tilesPerTask, const char* program)
{
    const uint64_t tasks = TaskCount(grid, tilesPerTask);
    const std::string count = std::to_string(tasks) + " tasks (" + std::to_string(grid.TileCount()) + " tiles, " +
                              std::to_string(tilesPerTask) + " a task)";
    if (tasks > kSlurmLargestMaxArraySize) {
        fprintf(stderr, "%s: --print-slurm: %s are more than a Slurm job array holds (MaxArraySize is at most %llu): "
                        "use --tiles-per-task %llu or more\n",
                program, count.c_str(), (unsigned long long)kSlurmLargestMaxArraySize,
                (unsigned long long)TilesPerTaskWithin(grid.TileCount(), kSlurmLargestMaxArraySize));
        return 2;
    }
    if (tasks > kSlurmDefaultMaxArraySize) {
        fprintf(stderr, "%s: --print-slurm: %s pass Slurm's default MaxArraySize of %llu: use --tiles-per-task %llu, "
                        "or a cluster whose MaxArraySize is %llu or more\n",
                program, count.c_str(), (unsigned long long)kSlurmDefaultMaxArraySize,
                (unsigned long long)TilesPerTaskWithin(grid.TileCount(), kSlurmDefaultMaxArraySize),
                (unsigned long long)tasks);
    }
    return 0;
}

int PrintSlurm(const HeightMapOptions& options, const TileSetDescription& set, int argc, char** argv,
               const char* program, const char* version)
{
    const TileGrid& grid = set.grid;
    // Refused as the task writing tile 0 would refuse it, from the directory
    // the tasks run in: the other tiles are each checked by their own task.
    OutputPlan checks;
    const std::vector<PlannedOutput> plan = PlanRun(options, set, {0}, true);
    const PlanVerdict verdict = checks.Check(plan, PlanCheck::Later);
    if (verdict.status != 0) {
        fprintf(stderr, "%s: %s\n", program, OneLine(verdict.message).c_str());
        return verdict.status;
    }
    std::string error;
    if (!OutputsStayOutOfSets(set, plan, error)) {
        fprintf(stderr, "%s: %s\n", program, OneLine(error).c_str());
        return 2;
    }
    if (const int status = CheckTaskCount(grid, options.tiles.request.tilesPerTask, program)) {
        return status;
    }
    // A set of another world is refused now, as each task would refuse it.
    const TileSetVerdict claim = ClaimTileSet(set, TileSetRecordOf(set, options.ground.derived), false);
    if (claim.status != 0) {
        fprintf(stderr, "%s: %s\n", program, OneLine(claim.message).c_str());
        return claim.status;
    }
    // A stage file the jobs would refuse is refused now, not after the
    // stage's job failed and left the array waiting.
    if (options.terrain.erosion > 0.0f) {
        WorldStage kept;
        const StageFileKey key{options.terrain, grid.worldCells, version};
        if (ReadStageFile(StageFilePath(options.out), key, kept, error) == StageFileRead::Refused) {
            fprintf(stderr, "%s: %s\n", program, OneLine(error).c_str());
            return 1;
        }
    }
    SlurmJob job;
    job.tool = ToolPath(argv[0]);
    for (int i = 1; i < argc; ++i) {
        const std::vector<int>& skip = options.tiles.runOnly;
        if (std::find(skip.begin(), skip.end(), i) == skip.end()) {
            job.arguments.push_back(argv[i]);
        }
    }
    job.directory = CurrentDirectory();
    job.name = BaseName(options.out);
    job.tasks = TaskCount(grid, options.tiles.request.tilesPerTask);
    job.threadsGiven = options.threads != 0;
    job.cpusPerTask = job.threadsGiven ? options.threads : 2;
    job.memoryBytes =
        WorldTilesMemoryBytes(grid.worldCells, grid.tileCells, options.terrain.erosion > 0.0f,
                              !options.ground.maps.empty(),
                              DerivedMapsNeedMultipleFlow(options.ground.maps));
    job.summary = "A world of " + std::to_string(grid.CroppedCells()) + " x " +
                  std::to_string(grid.CroppedCells()) + " cells (--size " + std::to_string(grid.worldCells) +
                  ") as " + std::to_string(grid.TileCount()) + " tiles of " + std::to_string(grid.tileCells) +
                  ", " + std::to_string(options.tiles.request.tilesPerTask) + " a task.";
    SlurmJob stage = job;
    stage.stageOnly = true;
    stage.tasks = 1;
    stage.memoryBytes = WorldStageJobBytes(grid.worldCells);
    const bool eroded = options.terrain.erosion > 0.0f;
    fputs(SlurmSubmitScript(job, eroded ? &stage : nullptr).c_str(), stdout);
    return 0;
}

}  // namespace

int RunTiles(const HeightMapOptions& options, int argc, char** argv, const char* program, const char* version)
{
    const TileGrid grid = TileGrid::Make(options.size, options.tiles.tileSize);
    std::string error;
    if (!TileSetNameAccepted(options.out, error) ||
        !TileSetNameStorable(options.out, options.tiles.layout == "gis", error)) {
        fprintf(stderr, "%s: %s\n", program, OneLine(error).c_str());
        return 2;
    }
    WorldTilesJob job;
    job.set.grid = grid;
    job.set.layout = options.tiles.layout.empty() ? &DefaultTileLayout() : FindTileLayout(options.tiles.layout);
    job.set.format = FindHeightMapFormat(options.format);
    job.set.rows = options.rowsGiven || !options.tiles.layout.empty() ? options.rows : job.set.format->defaultRows;
    job.set.out = options.out;
    job.set.terrain = options.terrain;
    job.set.ground = {CellSizeOf(options.ground.extent, grid.worldCells), options.ground.relief,
                      options.ground.originX, options.ground.originY, options.ground.frame};
    job.set.version = version;
    job.set.maps = options.ground.maps;
    job.set.normals = options.ground.derived.normals;
    job.set.floats = options.ground.derived.floats;
    job.threads = options.threads;
    job.maps.kinds = options.ground.maps;
    job.maps.settings = options.ground.derived;
    job.maps.settings.scale = {job.set.ground.cellSize, options.ground.relief};
    job.maps.settings.threads = options.threads;
    job.maps.settings.lakes = options.terrain.lakeArea > 0.0f;
    if (!options.ground.preview.empty() && !PreviewOutsideSet(options.out, options.ground.preview, error)) {
        fprintf(stderr, "%s: %s\n", program, OneLine(error).c_str());
        return 2;
    }
    if (options.tiles.printSlurm) {
        return PrintSlurm(options, job.set, argc, argv, program, version);
    }
    if (!options.tiles.stageOnly &&
        !SelectTiles(grid, options.tiles.request, getenv("SLURM_ARRAY_TASK_ID"), getenv("JOB_COMPLETION_INDEX"),
                     job.tiles, error)) {
        fprintf(stderr, "%s: %s\n", program, OneLine(error).c_str());
        return 2;
    }

    const bool scheduled = getenv("SLURM_ARRAY_TASK_ID") != nullptr || getenv("JOB_COMPLETION_INDEX") != nullptr;
    if (options.tiles.remakeSet && scheduled && !options.tiles.stageOnly) {
        fprintf(stderr, "%s: --remake-set in a task of a job array would remove the other tasks' tiles: remake the set "
                        "once, before the array\n",
                program);
        return 2;
    }

    // Every file this run writes is checked before a cell is computed.
    OutputPlan checks;
    // The preview needs the stage alone: the stage's run and the run that
    // writes the manifest write it.
    const bool includesFirst = std::find(job.tiles.begin(), job.tiles.end(), 0) != job.tiles.end();
    const bool writesPreview = !options.ground.preview.empty() && (options.tiles.stageOnly || includesFirst);
    // A task of an array skips the preview as planned; a run by hand is told.
    if (!options.ground.preview.empty() && !writesPreview && !scheduled) {
        fprintf(stderr, "%s: --preview is written by the run with tile 0 or with --stage-only; this run has neither and "
                        "writes no preview\n",
                program);
    }
    const std::vector<PlannedOutput> plan = PlanRun(options, job.set, job.tiles, writesPreview);
    const PlanVerdict verdict = checks.Check(plan, PlanCheck::Now);
    if (verdict.status != 0) {
        fprintf(stderr, "%s: %s\n", program, OneLine(verdict.message).c_str());
        return verdict.status;
    }
    if (!OutputsStayOutOfSets(job.set, plan, error)) {
        fprintf(stderr, "%s: %s\n", program, OneLine(error).c_str());
        return 2;
    }

    InstallInterruptCleanup();
    // The set is one world: this run's options are the set's, or it is
    // refused before a cell is computed (or, asked to, removes the old set).
    // The record lands only once every check has passed, the stage file's
    // among them, so a refused run leaves the set as it was.
    const TileSetRecord record = TileSetRecordOf(job.set, options.ground.derived);
    const bool eroded = options.terrain.erosion > 0.0f;
    const StageFileKey key{options.terrain, grid.worldCells, version};
    std::shared_ptr<WorldStage> kept;
    if (!options.tiles.remakeSet) {
        const TileSetVerdict check = ClaimTileSet(job.set, record, false);
        if (check.status != 0) {
            fprintf(stderr, "%s: %s\n", program, OneLine(check.message).c_str());
            return check.status;
        }
        if (eroded) {
            kept = std::make_shared<WorldStage>();
            switch (ReadStageFile(StageFilePath(options.out), key, *kept, error)) {
            case StageFileRead::Read:
                break;
            case StageFileRead::Refused:
                fprintf(stderr, "%s: %s\n", program, OneLine(error).c_str());
                return 1;
            case StageFileRead::Absent:
                kept = nullptr;
                break;
            }
        }
    }
    const TileSetVerdict claim =
        options.tiles.remakeSet ? RemakeTileSet(job.set, record) : ClaimTileSet(job.set, record, true);
    if (claim.status != 0) {
        fprintf(stderr, "%s: %s\n", program, OneLine(claim.message).c_str());
        return claim.status;
    }
    const double cells = double(grid.tileCells) * grid.tileCells * double(job.tiles.size());
    ProgressLine progress(program, (eroded || cells > kProgressCells) && isatty(STDERR_FILENO));
    if (kept != nullptr) {
        job.stage = kept;
    } else if (eroded) {
        // The stage is the one world-wide step: made once into the set and
        // read back by every later task (the stage's job makes it first).
        progress.Show("stage", 0.0);
        job.stage = ReuseOrMakeStage(StageFilePath(options.out), key, options.threads, error,
                                     [&](double fraction) { progress.Show("stage", fraction); });
    } else {
        // A raw world's stage is its lattice, a blink to compute.
        job.stage = std::make_shared<const WorldStage>(
            ComputeWorldStage(options.terrain, grid.worldCells, options.threads));
    }
    if (job.stage == nullptr) {
        progress.Clear();
        fprintf(stderr, "%s: %s\n", program, OneLine(error).c_str());
        return 1;
    }
    PrepareTileMaps(job.maps, job.stage, options.terrain);
    if (writesPreview && !WriteWorldPreview(*job.stage, job.maps.settings, options.ground.preview, error)) {
        progress.Clear();
        fprintf(stderr, "%s: %s\n", program, OneLine(error).c_str());
        return 1;
    }
    if (options.tiles.stageOnly) {
        progress.Clear();
        return 0;
    }
    progress.Show("tiles", 0.0);
    const bool written = WriteWorldTiles(job, error, [&](double fraction) { progress.Show("tiles", fraction); });
    progress.Clear();
    if (!written) {
        fprintf(stderr, "%s: %s\n", program, OneLine(error).c_str());
        return 1;
    }
    return 0;
}
