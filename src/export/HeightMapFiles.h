#pragma once

#include <string>

#include "export/GeoTransform.h"
#include "export/HeightMapFormat.h"
#include "landing/OutputFile.h"
#include "export/RowOrder.h"
#include "terrain/Matrix2DInterface.h"

// The heightmap tool's output: the map's file and, with --meta, the JSON
// description beside it (FILE.json), handled as one unit. Both are opened,
// and every refusal made, before a cell is computed; both are written into
// their temporaries and renamed only when both are complete, so a failure
// anywhere leaves both older files as they were.
class HeightMapFiles {
public:
    // --meta needs FILE and FILE.json to be files replaced whole: a regular
    // file or a new name in a directory. A device, a FIFO or a /proc name
    // (/dev/stdout) is refused. False with error set to one sentence, the
    // names as they are; nothing is opened or created.
    static bool MetaAccepted(const std::string& out, std::string& error);

    // Opens the map's file (and FILE.json with meta). A format that seeks
    // back is refused here when the output cannot seek or appends. False
    // when either fails; Error() says why.
    bool Open(const std::string& out, bool meta, const HeightMapFormat& format);

    // Writes the map (placed on the ground where its format can say so),
    // then the description (empty without --meta), and commits them
    // together. False when any of it fails; Error() says why.
    bool Write(const Matrix2DInterface<float>& map, RowOrder rows, const std::string& json,
               const GeoTransform* placement = nullptr);

    // The failing file's one sentence, its names as they are.
    const std::string& Error() const { return map.Failed() ? map.Error() : description.Error(); }

private:
    OutputFile map;
    OutputFile description;
    bool meta = false;
    const HeightMapFormat* format = nullptr;
};
