#pragma once

#include <string>
#include <vector>

// The kinds of map --maps names, their names and files, and what each reads.

// The maps written beside a heightmap, each as NAME.KIND.png (or, for the
// maps in metres with --float-maps, NAME.KIND.exr or NAME.KIND.tif).
// Flow is the multiple-flow area, FlowD8 the steepest-descent one.
// Water is the water surface in the heightmap's units, depth the metres
// under it (WaterMaps.h).
enum class DerivedMapKind {
    Normal,
    Slope,
    Flow,
    Rivers,
    Splat,
    Shade,
    FlowD8,
    FlowDirection,
    Wear,
    Deposition,
    Water,
    Depth,
    Lakes
};

// How the float maps (wear, deposition and depth in metres, water in the
// heightmap's units) are written: 16-bit PNG (the metres' full scale in
// --meta), or the values themselves as 32-bit floats.
enum class FloatMapFormat { None, Exr, Tif32 };

// "normal,slope,flow,rivers,splat,shade,flow-d8,flowdir,wear,deposition,water,depth,lakes", any of them, in any order, each
// once. On false, error is one line naming the bad word and the kinds.
bool ParseDerivedMapList(const std::string& list, std::vector<DerivedMapKind>& kinds, std::string& error);

const char* DerivedMapName(DerivedMapKind kind);

// Whether any of the kinds (flow-d8, rivers, water, depth) reads each cell's
// steepest-descent upstream area.
bool DerivedMapsNeedUpstream(const std::vector<DerivedMapKind>& kinds);
// Whether any (flow, flowdir) reads the multiple-flow routing.
bool DerivedMapsNeedMultipleFlow(const std::vector<DerivedMapKind>& kinds);
// Whether any (wear, deposition) reads the uneroded terrain; these need
// --erosion.
bool DerivedMapsNeedUneroded(const std::vector<DerivedMapKind>& kinds);
// Whether any (lakes, water, depth) reads the lakes' surface.
bool DerivedMapsNeedLakes(const std::vector<DerivedMapKind>& kinds);
// Whether the kind is in metres or the heightmap's units, written as floats
// with --float-maps.
bool IsMetresMap(DerivedMapKind kind);
// Whether it reads the rivers' reach around a window (rivers, water, depth).
bool ReadsRivers(DerivedMapKind kind);

// "exr" or "tif32"; on false, error is one line naming the bad value.
bool ParseFloatMapFormat(const std::string& text, FloatMapFormat& format, std::string& error);
const char* FloatMapFormatName(FloatMapFormat format);  // "png" for None

// out with its extension (the last '.' of its file name and what follows)
// replaced by ".KIND.png": world.png -> world.normal.png, world -> world.normal.png;
// a map in metres with floats asked for ends in .exr or .tif instead.
std::string DerivedMapPath(const std::string& out, DerivedMapKind kind,
                           FloatMapFormat floats = FloatMapFormat::None);
