// orvandel-heightmap: the viewer's terrain at any size and with any seed,
// written in the formats engines, 3D suites and GIS import. It only reads
// the command line and hands the work to the generator and the writers.

#include <unistd.h>

#include <cstdio>
#include <exception>
#include <new>

#include "HeightMapOptions.h"
#include "ProgressLine.h"
#include "export/HeightMapFormat.h"
#include "export/HeightMapFiles.h"
#include "export/HeightMapMetadata.h"
#include "export/InterruptCleanup.h"
#include "terrain/Array2D.h"
#include "terrain/HeightMapOfSize.h"

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

    // FILE.json beside a device or a pipe would land in /dev or fail only
    // after the map was written.
    if (options.meta && !HeightMapFiles::MetaAccepted(options.out, error)) {
        fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
        return 2;
    }

    InstallInterruptCleanup();
    const HeightMapFormat& format = *FindHeightMapFormat(options.format);
    const RowOrder rows = options.rowsGiven ? options.rows : format.defaultRows;
    // Every refusal the outputs can make comes before a cell is computed.
    HeightMapFiles files(kProgram);
    if (!files.Open(options.out, options.meta, format)) {
        return 1;
    }
    const double cells = double(options.size) * options.size;
    try {
        Array2D<float> map(options.size, options.size);
        {
            ProgressLine progress(kProgram, cells > kProgressCells && isatty(STDERR_FILENO));
            GenerateHeightMapOfSize(map, options.terrain, options.threads,
                                    [&](double fraction) { progress.Show("generating", fraction); });
        }
        const std::string json =
            options.meta ? HeightMapMetadataJson(format, rows, options.size, options.terrain, ORVANDEL_VERSION) : "";
        return files.Write(map, rows, json) ? 0 : 1;
    } catch (const std::bad_alloc&) {
        fprintf(stderr, "%s: not enough memory for a %u x %u map\n", kProgram, options.size, options.size);
        return 1;
    } catch (const std::exception& error) {
        fprintf(stderr, "%s: %s\n", kProgram, OneLine(error.what()).c_str());
        return 1;
    }
}
