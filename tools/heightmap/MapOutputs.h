#pragma once

#include <memory>
#include <string>
#include <vector>

#include "HeightMapOptions.h"
#include "landing/OutputFile.h"
#include "landing/OutputPlan.h"
#include "terrain/Array2D.h"
#include "world/MapInputs.h"

// The files a one-map run writes, as one unit: the map; with --meta its
// description, FILE.json; each --maps map, NAME.KIND.png; the --preview.
// They are listed, checked and opened before a cell is computed, written
// into their temporaries, and renamed together only when all of them are
// complete, so a failure anywhere leaves every older file as it was.
class MapOutputs {
public:
    // options must outlive this, with its derived-map scale set.
    explicit MapOutputs(const HeightMapOptions& options);

    // Every file, in the order they land: a new output of a one-map run is
    // one more entry here, with its file written in Write.
    const std::vector<PlannedOutput>& Plan() const { return plan; }

    // Refuses what the outputs cannot be (exit status 2 for a usage
    // conflict, 1 for a name the system refuses), then opens every file.
    // False with status and error, one sentence whose names are as they are.
    bool Open(int& status, std::string& error);

    // Writes the map (placed on the ground where its format can say so), the
    // description, the derived maps and the preview, then lands them
    // together. `upstream` (each cell's upstream area) is needed for the
    // flow-d8 and river maps only, `inputs` for the maps that read them.
    // False with error set.
    bool Write(const Array2D<float>& map, const Array2D<float>* upstream, const MapInputs& inputs,
               std::string& error);

private:
    bool Refused(int& status, std::string& error);
    OutputFile& File(size_t i) { return *files.at(i); }

    const HeightMapOptions& options;
    std::vector<PlannedOutput> plan;
    OutputPlan checks;  // holds FIFO outputs' readers until the run ends
    std::vector<std::unique_ptr<OutputFile>> files;  // one per planned output
};
