#pragma once

#include <string>
#include <utility>
#include <vector>

#include "derive/DerivedMapKinds.h"
#include "derive/FlowMaps.h"
#include "derive/MapScale.h"
#include "derive/SurfaceMaps.h"
#include "landing/OutputFile.h"
#include "terrain/Array2D.h"

struct DerivedMapSettings {
    MapScale scale;
    float seaLevel = 0.01f;  // heights at or below it are the sea
    NormalConvention normals = NormalConvention::OpenGl;
    double riverAreaSquareMetres = 2e4;  // 2 ha: on the default island, streams down every side
    // Metres wide a river draining 1 km^2 is (FlowMaps.h): 10 m, so that at
    // the default 10 km across a 2049 map's (4.9 m cells) rivers start one
    // cell wide and are 2 cells wide at 1 km^2 and 9 at 20 km^2, the
    // island's largest, which an engine's water reads from a distance; real
    // rivers of such areas are some 1 to 5 m wide, under a cell.
    double riverWidthMetres = 10;
    bool lakes = false;  // the terrain keeps lakes (--lakes): the depth's full scale
    SplatThresholds splat;
    FloatMapFormat floats = FloatMapFormat::None;
    unsigned threads = 0;  // 0: every core
};

// The full scale of each 16-bit map in metres the kinds include, as --meta
// and the manifest state them: wear_full_scale_m, deposition_full_scale_m,
// depth_full_scale_m.
std::vector<std::pair<std::string, double>> DerivedMapFigures(const std::vector<DerivedMapKind>& kinds,
                                                              const DerivedMapSettings& settings);

// Computes each map in turn and writes it into its file, files[i] for
// kinds[i], opened already; each is finished (written out and fsync'd, not
// yet renamed: the caller lands them with the files they go with) and its
// map freed before the next is computed. Stops at the first failure, with
// error set to its one sentence (names as they are). `upstream` (the map's
// size: each cell's upstream area in cells, from GenerateTerrainAndFlow) is
// needed only for the flow and river maps.
bool WriteDerivedMaps(const Array2D<float>& map, const Array2D<float>* upstream,
                      const std::vector<DerivedMapKind>& kinds, const DerivedMapSettings& settings,
                      const std::vector<OutputFile*>& files, std::string& error);

// A window of a larger map, such as a tile of a world: `heights` holds the
// window's cells and, on each side where the map goes on past the window,
// one more row or column (the halo), so that every cell's gradient is the
// whole map's and its maps are the same window of the whole map's maps.
// Sides on the map's own border have no halo (they are extrapolated there,
// as on the whole map). `upstream` covers the window's cells only.
struct DerivedMapWindow {
    const Array2D<float>& heights;
    const Array2D<float>* upstream;
    unsigned haloWest = 0;
    unsigned haloSouth = 0;  // grid row 0's side
    unsigned haloEast = 0;
    unsigned haloNorth = 0;
    // The window's cells only, as upstream: the multiple-flow routing
    // (flow, flowdir) and the uneroded terrain times the headroom (wear,
    // deposition).
    const MultipleFlowField* flow = nullptr;
    const Array2D<float>* uneroded = nullptr;
    // The window's cells' lake surface (LakeSurface, 0 off the lakes), for
    // lakes, water and depth; none: no lakes.
    const Array2D<float>* lakeSurface = nullptr;
    // For rivers: heights and steepest-descent areas over the window and up
    // to kRiverRadiusCells around it (the map's border permitting), the
    // window at (riverWest, riverSouth) in them; without them, the window's
    // own cells and upstream (a map held whole).
    const Array2D<float>* riverHeights = nullptr;
    const Array2D<float>* riverUpstream = nullptr;
    unsigned riverWest = 0;
    unsigned riverSouth = 0;
};

// One map of a window's cells, in memory: 16-bit for normal, slope, the
// flows and the maps in metres, 8-bit for the others (`wide` says which is
// set); floats in metres instead when `floating`.
struct DerivedRaster {
    bool wide = false;
    bool floating = false;
    Raster8 narrow;
    Raster16 deep;
    Array2D<float> metres{1, 1};
};
DerivedRaster ComputeDerivedMap(const DerivedMapWindow& window, DerivedMapKind kind,
                                const DerivedMapSettings& settings);

// WriteDerivedMaps for a window: the maps of its cells.
bool WriteDerivedMapsOfWindow(const DerivedMapWindow& window, const std::vector<DerivedMapKind>& kinds,
                              const DerivedMapSettings& settings, const std::vector<OutputFile*>& files,
                              std::string& error);

// The largest side of the --preview picture.
constexpr unsigned kPreviewSide = 1024;

// The shade map shrunk to at most kPreviewSide pixels a side, written into
// file and finished, as WriteDerivedMaps does.
bool WritePreview(const Array2D<float>& map, const DerivedMapSettings& settings, OutputFile& file,
                  std::string& error);
