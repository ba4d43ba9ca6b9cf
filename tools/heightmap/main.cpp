// orvandel-heightmap: the viewer's terrain at any size and with any seed,
// written in the formats engines, 3D suites and GIS import. It only reads
// the command line and hands the work to the generator and the writers.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <exception>
#include <new>

#include "HeightMapOptions.h"
#include "ProgressLine.h"
#include "TileRun.h"
#include "cli/CommandLineText.h"
#include "cli/TerrainOptions.h"
#include "derive/DerivedMapFiles.h"
#include "erosion/Terrain.h"
#include "export/HeightMapFiles.h"
#include "export/HeightMapFormat.h"
#include "export/HeightMapMetadata.h"
#include "landing/InterruptCleanup.h"
#include "terrain/Array2D.h"

namespace {

const char kProgram[] = "orvandel-heightmap";
// Below this many cells the whole run takes a blink; no progress is drawn.
constexpr double kProgressCells = 1e6;

// The map with its description, placed on the ground, then the maps derived
// from it and the preview.
bool WriteOutputs(const HeightMapOptions& options, const HeightMapFormat& format, RowOrder rows,
                  const Array2D<float>& map, const Array2D<float>* upstream, HeightMapFiles& files,
                  std::string& error)
{
    const GroundOptions& ground = options.ground;
    const HeightMapGround placed{ground.derived.scale.cellSize, ground.relief, ground.originX, ground.originY};
    const GeoTransform placement =
        HeightMapGeoTransform(options.size, placed.cellSize, placed.originX, placed.originY);
    const std::string json =
        options.meta ? HeightMapMetadataJson(format, rows, options.size, options.terrain,
                                             TerrainMetaNumbers(options.terrain), ORVANDEL_VERSION, &placed)
                     : "";
    if (!files.Write(map, rows, json, &placement)) {
        error = files.Error();
        return false;
    }
    return WriteDerivedMaps(map, upstream, ground.maps, ground.derived, options.out, error) &&
           (ground.preview.empty() || WritePreview(map, ground.derived, ground.preview, error));
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
            fprintf(stderr, "%s: %s\n", kProgram, OneLine(error.what()).c_str());
            return 1;
        }
    }

    // FILE.json beside a device or a pipe would land in /dev or fail only
    // after the map was written.
    if (options.meta && !HeightMapFiles::MetaAccepted(options.out, error)) {
        fprintf(stderr, "%s: %s\n", kProgram, OneLine(error).c_str());
        return 2;
    }

    // The derived maps go beside FILE, under its name.
    struct stat target {};
    if (!options.ground.maps.empty() && stat(options.out.c_str(), &target) == 0 && !S_ISREG(target.st_mode)) {
        fprintf(stderr, "%s: --maps needs --out to name a regular file, not '%s'\n", kProgram,
                OneLine(options.out).c_str());
        return 2;
    }
    options.ground.derived.scale = {CellSizeOf(options.ground.extent, options.size), options.ground.relief};
    options.ground.derived.threads = options.threads;

    if (!options.formatNote.empty()) {
        fprintf(stderr, "%s: %s\n", kProgram, options.formatNote.c_str());
    }

    InstallInterruptCleanup();
    const HeightMapFormat& format = *FindHeightMapFormat(options.format);
    const RowOrder rows = options.rowsGiven ? options.rows : format.defaultRows;
    // Every refusal the outputs can make comes before a cell is computed.
    HeightMapFiles files;
    if (!files.Open(options.out, options.meta, format)) {
        fprintf(stderr, "%s: %s\n", kProgram, OneLine(files.Error()).c_str());
        return 1;
    }
    const double cells = double(options.size) * options.size;
    try {
        Array2D<float> map(options.size, options.size);
        // The flow and river maps need each cell's upstream area, which comes
        // with the terrain: a world's finer levels carry its stage's routing.
        const bool flows = std::any_of(options.ground.maps.begin(), options.ground.maps.end(), [](DerivedMapKind k) {
            return k == DerivedMapKind::Flow || k == DerivedMapKind::Rivers;
        });
        std::unique_ptr<Array2D<float>> upstream;
        {
            ProgressLine progress(kProgram, cells > kProgressCells && isatty(STDERR_FILENO));
            const auto shown = [&](double fraction) { progress.Show("generating", fraction); };
            if (flows) {
                upstream = std::make_unique<Array2D<float>>(options.size, options.size);
                GenerateTerrainAndFlow(map, *upstream, options.terrain, options.threads, shown);
            } else {
                GenerateTerrain(map, options.terrain, options.threads, shown);
            }
        }
        if (!WriteOutputs(options, format, rows, map, upstream.get(), files, error)) {
            fprintf(stderr, "%s: %s\n", kProgram, OneLine(error).c_str());
            return 1;
        }
        return 0;
    } catch (const std::bad_alloc&) {
        fprintf(stderr, "%s: not enough memory for a %u x %u map\n", kProgram, options.size, options.size);
        return 1;
    } catch (const std::exception& error) {
        fprintf(stderr, "%s: %s\n", kProgram, OneLine(error.what()).c_str());
        return 1;
    }
}
