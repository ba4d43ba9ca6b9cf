#include "TileRun.h"

#include <limits.h>
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

// The memory the stage's job holds: the one-machine erosion of the stage
// lattice and the file's bytes (38 MB measured), with room to spare.
constexpr uint64_t kStageJobBytes = uint64_t{256} << 20;

int PrintSlurm(const HeightMapOptions& options, const TileGrid& grid, int argc, char** argv)
{
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
        WorldTilesMemoryBytes(grid.tileCells, options.terrain.erosion > 0.0f, !options.ground.maps.empty());
    job.summary = "A world of " + std::to_string(grid.CroppedCells()) + " x " +
                  std::to_string(grid.CroppedCells()) + " cells (--size " + std::to_string(grid.worldCells) +
                  ") as " + std::to_string(grid.TileCount()) + " tiles of " + std::to_string(grid.tileCells) +
                  ", " + std::to_string(options.tiles.request.tilesPerTask) + " a task.";
    SlurmJob stage = job;
    stage.stageOnly = true;
    stage.tasks = 1;
    stage.memoryBytes = kStageJobBytes;
    const bool eroded = options.terrain.erosion > 0.0f;
    fputs(SlurmSubmitScript(job, eroded ? &stage : nullptr).c_str(), stdout);
    return 0;
}

}  // namespace

int RunTiles(const HeightMapOptions& options, int argc, char** argv, const char* program, const char* version)
{
    const TileGrid grid = TileGrid::Make(options.size, options.tiles.tileSize);
    if (options.tiles.printSlurm) {
        return PrintSlurm(options, grid, argc, argv);
    }

    WorldTilesJob job;
    job.set.grid = grid;
    job.set.layout = options.tiles.layout.empty() ? &DefaultTileLayout() : FindTileLayout(options.tiles.layout);
    job.set.format = FindHeightMapFormat(options.format);
    job.set.rows = options.rowsGiven || !options.tiles.layout.empty() ? options.rows : job.set.format->defaultRows;
    job.set.out = options.out;
    job.set.terrain = options.terrain;
    job.set.ground = {CellSizeOf(options.ground.extent, grid.worldCells), options.ground.relief,
                      options.ground.originX, options.ground.originY};
    job.set.version = version;
    job.threads = options.threads;
    job.maps.kinds = options.ground.maps;
    job.maps.settings = options.ground.derived;
    job.maps.settings.scale = {job.set.ground.cellSize, options.ground.relief};
    job.maps.settings.threads = options.threads;
    std::string error;
    if (!options.tiles.stageOnly &&
        !SelectTiles(grid, options.tiles.request, getenv("SLURM_ARRAY_TASK_ID"), getenv("JOB_COMPLETION_INDEX"),
                     job.tiles, error)) {
        fprintf(stderr, "%s: %s\n", program, OneLine(error).c_str());
        return 2;
    }

    InstallInterruptCleanup();
    const bool eroded = options.terrain.erosion > 0.0f;
    const double cells = double(grid.tileCells) * grid.tileCells * double(job.tiles.size());
    ProgressLine progress(program, (eroded || cells > kProgressCells) && isatty(STDERR_FILENO));
    if (eroded) {
        // The stage is the one world-wide step: made once into the set and
        // read back by every later task (the stage's job makes it first).
        progress.Show("stage", 0.0);
        const StageFileKey key{options.terrain, grid.worldCells, version};
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
    // The preview needs the stage alone: the stage's run and the run that
    // writes the manifest write it.
    const bool includesFirst = std::find(job.tiles.begin(), job.tiles.end(), 0) != job.tiles.end();
    if (!options.ground.preview.empty() && (options.tiles.stageOnly || includesFirst) &&
        !WriteWorldPreview(*job.stage, job.maps.settings, options.ground.preview, error)) {
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
