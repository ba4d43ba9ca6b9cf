// orvandel-heightmap: the viewer's terrain at any size and with any seed,
// written in the formats engines, 3D suites and GIS import. It only reads
// the command line and hands the work to the generator and the writers.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <new>

#include "HeightMapOptions.h"
#include "ProgressLine.h"
#include "TileRun.h"
#include "export/HeightMapFormat.h"
#include "export/HeightMapMetadata.h"
#include "export/OutputFile.h"
#include "terrain/Array2D.h"
#include "terrain/HeightMapOfSize.h"

namespace {

const char kProgram[] = "orvandel-heightmap";
// Below this many cells the whole run takes a blink; no progress is drawn.
constexpr double kProgressCells = 1e6;

bool WriteMap(const HeightMapOptions& options, const Array2D<float>& map)
{
    const HeightMapFormat& format = *FindHeightMapFormat(options.format);
    const RowOrder rows = options.rowsGiven ? options.rows : format.defaultRows;
    OutputFile out(kProgram);
    if (!out.Open(options.out) || !WriteHeightMapAs(format, map, rows, out) || !out.Commit()) {
        return false;
    }
    if (!options.meta) {
        return true;
    }
    return WriteHeightMapMetadata(options.out + ".json", kProgram, format, rows, options.size, options.terrain,
                                  ORVANDEL_VERSION);
}

}  // namespace

int main(int argc, char** argv)
{
    HeightMapOptions options;
    std::string error;
    switch (ParseHeightMapOptions(argc, argv, options, error)) {
    case ParseOutcome::Help:
        fputs(HeightMapUsage().c_str(), stdout);
        return 0;
    case ParseOutcome::Version:
        printf("%s %s\n", kProgram, ORVANDEL_VERSION);
        return 0;
    case ParseOutcome::Refused:
        fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
        return 2;
    case ParseOutcome::Run:
        break;
    }

    if (options.tiles.tiled) {
        try {
            return RunTiles(options, argc, argv, kProgram, ORVANDEL_VERSION);
        } catch (const std::bad_alloc&) {
            fprintf(stderr, "%s: not enough memory for tiles of %u x %u\n", kProgram, options.tiles.tileSize,
                    options.tiles.tileSize);
            return 1;
        } catch (const std::exception& error) {
            fprintf(stderr, "%s: %s\n", kProgram, error.what());
            return 1;
        }
    }

    // FILE.json beside a device or a pipe would land in /dev or fail only
    // after the map was written.
    struct stat target {};
    if (options.meta && stat(options.out.c_str(), &target) == 0 && !S_ISREG(target.st_mode)) {
        fprintf(stderr, "%s: --meta needs --out to name a regular file, not '%s'\n", kProgram,
                OneLine(options.out).c_str());
        return 2;
    }

    OutputFile::RemoveTemporaryOnSignals();
    const double cells = double(options.size) * options.size;
    try {
        Array2D<float> map(options.size, options.size);
        {
            ProgressLine progress(kProgram, cells > kProgressCells && isatty(STDERR_FILENO));
            GenerateHeightMapOfSize(map, options.terrain, options.threads,
                                    [&](double fraction) { progress.Show("generating", fraction); });
        }
        return WriteMap(options, map) ? 0 : 1;
    } catch (const std::bad_alloc&) {
        fprintf(stderr, "%s: not enough memory for a %u x %u map\n", kProgram, options.size, options.size);
        return 1;
    } catch (const std::exception& error) {
        fprintf(stderr, "%s: %s\n", kProgram, error.what());
        return 1;
    }
}
