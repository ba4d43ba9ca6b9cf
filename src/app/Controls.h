#pragma once

#include "math/CameraFrame.h"
#include "terrain/Array2D.h"

// The frame loop's state that the controls read and change, lent for the run.
struct ControlState {
    Array2D<float>& heightMap;
    float& roughness;
    const CameraFrame& viewFrame;
    CameraFrame& targetFrame;
    int previousMouseX;
    int previousMouseY;
};

// The previous mouse position starts at the pointer's position, so the first
// frame sees no drag.
ControlState StartControls(Array2D<float>& heightMap, float& roughness, const CameraFrame& viewFrame,
                           CameraFrame& targetFrame);

// Turns this frame's keys and mouse into regeneration, export and camera moves.
void ApplyControls(ControlState& state);
