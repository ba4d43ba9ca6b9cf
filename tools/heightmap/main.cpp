// orvandel-heightmap: the viewer's terrain at any size and with any seed,
// written in the formats engines, 3D suites and GIS import. It only reads
// the command line and hands the work to the generator and the writers.

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <exception>
#include <new>

#include "HeightMapOptions.h"
#include "MapOutputs.h"
#include "ProgressLine.h"
#include "TileRun.h"
#include "cli/CommandLineText.h"
#include "erosion/Terrain.h"
#include "landing/InterruptCleanup.h"
#include "shape/ShapeFile.h"
#include "shape/ShapeGround.h"
#include "terrain/Array2D.h"
#include "world/MapInputs.h"

namespace {

const char kProgram[] = "orvandel-heightmap";
// Below this many cells the whole run takes a blink; no progress is drawn.
constexpr double kProgressCells = 1e6;

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

    if (!options.terrain.shapeFile.empty()) {
        ShapeGround place;
        place.reliefFromRange = !options.ground.reliefGiven;
        switch (LoadShape(options.terrain, options.ground.relief, error, &place)) {
        case ShapeLoad::Loaded:
            if (!FollowShapeGround(options.ground, place, options.terrain.shapeFile, error)) {
                fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
                return 2;
            }
            break;
        case ShapeLoad::Unreadable:
            fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
            return 1;
        case ShapeLoad::Unusable:
            fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
            return 2;
        }
    }

    // Lakes are measured in m^2: the map's metres across, once the shape
    // may have placed it.
    options.terrain.mapMetres = CellSizeOf(options.ground.extent, options.size) * (options.mapSize - 1);

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

    options.ground.derived.scale = {CellSizeOf(options.ground.extent, options.size), options.ground.relief};
    options.ground.derived.threads = options.threads;
    options.ground.derived.lakes = options.terrain.lakeArea > 0.0f;

    if (!options.formatNote.empty()) {
        fprintf(stderr, "%s: %s\n", kProgram, options.formatNote.c_str());
    }

    InstallInterruptCleanup();
    // Every refusal the outputs can make comes before a cell is computed.
    MapOutputs outputs(options);
    int status = 0;
    if (!outputs.Open(status, error)) {
        fprintf(stderr, "%s: %s\n", kProgram, OneLine(error).c_str());
        return status;
    }
    const double cells = double(options.size) * options.size;
    try {
        Array2D<float> map(options.mapSize, options.mapSize);
        // The flow and river maps need each cell's upstream area, which comes
        // with the terrain: a world's finer levels carry its stage's routing.
        const bool flows = DerivedMapsNeedUpstream(options.ground.maps);
        // The multiple-flow routing is carried down from the map's stage.
        const bool spreads = DerivedMapsNeedMultipleFlow(options.ground.maps);
        std::shared_ptr<const WorldStage> stage;
        std::unique_ptr<Array2D<float>> upstream;
        {
            ProgressLine progress(kProgram, cells > kProgressCells && isatty(STDERR_FILENO));
            const auto shown = [&](double fraction) { progress.Show("generating", fraction); };
            if (flows || spreads) {
                upstream = std::make_unique<Array2D<float>>(options.mapSize, options.mapSize);
                GenerateTerrainAndFlow(map, *upstream, options.terrain, options.threads, shown, &stage);
                if (!flows) {
                    upstream.reset();
                }
            } else {
                GenerateTerrain(map, options.terrain, options.threads, shown);
            }
        }
        // The multiple-flow routing is the whole map's, made before the
        // window is taken, as the steepest-descent one is.
        MapInputs inputs = ComputeMapInputs(map, stage, options.terrain, options.ground.maps, options.threads);
        if (options.mapSize != options.size) {
            TakeCentredWindow(options.size, options.ground.maps, map, upstream, inputs);
        }
        if (!outputs.Write(map, upstream.get(), inputs, error)) {
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
