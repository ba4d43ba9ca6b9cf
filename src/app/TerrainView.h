#pragma once

#include <memory>
#include <vector>

#include "app/DetailWorker.h"
#include "app/SurfaceColours.h"
#include "math/CameraFrame.h"
#include "render/ColourRGBA.h"
#include "render/TerrainChunks.h"
#include "terrain/Array2D.h"
#include "terrain/TerrainParameters.h"

// What the frame loop draws of the terrain: the viewer's 129 map in the
// chosen view, or, at a detail above 129, the map of that size once the
// worker has made it. While a terrain key regenerates the 129 map, the 129
// map is drawn; when the keys are let go the detailed map is asked for, and
// it replaces the 129 map in the first frame after it is ready.
class TerrainView {
public:
    // detail: 129 (no worker), 257, 513 or 1025; generate makes the detailed
    // map (GenerateDetail in the viewer).
    TerrainView(Array2D<float>& heightMap, ViewMode mode, unsigned detail, DetailGenerator generate);

    ViewMode Mode() const { return mode; }
    void CycleMode();
    unsigned Detail() const { return detail; }
    // The detailed map is what Draw draws, or null.
    const TerrainChunks* Detailed() const { return detailed.get(); }

    // Once a frame, after the controls: regenerated says whether they made
    // the 129 map anew this frame; parameters are the terrain's now.
    void AfterControls(bool regenerated, const TerrainParameters& parameters);
    // Waits for the detailed map of these parameters (at detail 129, returns
    // at once): the timedemo times the map it was started for.
    void WaitForDetail(const TerrainParameters& parameters);

    // Expects the projection and the view of viewFrame to be loaded.
    void Draw(const CameraFrame& viewFrame);

    // The screen error the detailed map's levels allow, in pixels (0 draws
    // it whole).
    float pixelError = 2.0f;

private:
    Array2D<float>& heightMap;
    ViewMode mode;
    unsigned detail;
    std::unique_ptr<DetailWorker> worker;
    std::unique_ptr<TerrainChunks> detailed;
    bool detailWanted = true;  // the terrain changed since the last request
    std::vector<ColourRGBA> colours;  // the 129 map's, in a view other than Height
    bool coloursCurrent = false;
};
