#pragma once

#include "math/CameraFrame.h"
#include "terrain/Array2D.h"
#include "terrain/TerrainParameters.h"

// The frame loop's state that the controls read and change, lent for the run.
struct ControlState {
    Array2D<float>& heightMap;
    float& roughness;
    const CameraFrame& viewFrame;
    CameraFrame& targetFrame;
    int previousMouseX;
    int previousMouseY;
    // Set by ApplyControls when it made the map anew this frame.
    bool regenerated = false;
    // The --size of the command G prints.
    unsigned commandSize = 1025;
};

// The erosion amount the viewer's map is made with: 0 (off) unless the
// viewer was started with another; R switches it between 0 and 1.
extern float viewerErosion;

// The shape the viewer was started with (--shape): its fields of
// TerrainParameters (shapeFile, shape, the range, shapeFalloff), the rest
// unused; no shape by default.
extern TerrainParameters viewerShape;

// What draws the map of a shape (the tool's 129 map: GenerateShapedViewerMap,
// set by the viewer's main), reached through this pointer so that the
// controls' tests can link a recording generator in place of the real one.
extern void (*shapedViewerMap)(Array2D<float>& heightMap, const TerrainParameters& parameters);

// The tool's 129 map of these parameters, shape included.
void GenerateShapedViewerMap(Array2D<float>& heightMap, const TerrainParameters& parameters);

// Fills the viewer's map from the generator's parameters and roughness (the
// tool's 129 map of viewerShape when there is one), then erodes it by
// viewerErosion, on this thread.
void RegenerateViewerMap(Array2D<float>& heightMap, float roughness);

// The previous mouse position starts at the pointer's position, so the first
// frame sees no drag.
ControlState StartControls(Array2D<float>& heightMap, float& roughness, const CameraFrame& viewFrame,
                           CameraFrame& targetFrame);

// The terrain the controls hold now: the generator's parameters, the
// roughness and the erosion.
TerrainParameters CurrentParameters(const ControlState& state);

// Turns this frame's keys and mouse into regeneration, export and camera moves.
void ApplyControls(ControlState& state);
