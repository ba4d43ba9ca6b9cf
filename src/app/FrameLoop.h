#pragma once

#include "app/Controls.h"
#include "app/TerrainView.h"
#include "math/CameraFrame.h"
#include "terrain/Array2D.h"

// The viewer's frame, in the one order every module relies on: stamp the
// start, poll events, snapshot the keys, test for quit, apply the controls,
// square up and ease the camera, load the projection and view, clear, draw
// the mesh and the overlay, swap, and wait out the rest of 15 ms. It works on
// the entry function's state, lent for the run.
class FrameLoop {
public:
    using SwapBuffers = void (*)();

    // swapBuffers is SDL_GL_SwapBuffers in the viewer. With a terrain view,
    // V cycles its views and it draws the terrain; without, the 129 map is
    // drawn grey.
    FrameLoop(Array2D<float>& heightMap, CameraFrame& viewFrame, CameraFrame& targetFrame, ControlState& controls,
              SwapBuffers swapBuffers, TerrainView* terrainView = nullptr);

    // Unpaced frames end as soon as they are swapped (the timedemo).
    void SetPaced(bool on) { paced = on; }

    // One whole frame. A frame that sees a window close or Escape still runs
    // to its end; QuitRequested is true afterwards.
    void RunFrame();
    // Frames until one has seen a quit request.
    void Run();
    bool QuitRequested() const { return quitRequested; }

private:
    Array2D<float>& heightMap;
    CameraFrame& viewFrame;
    CameraFrame& targetFrame;
    ControlState& controls;
    SwapBuffers swapBuffers;
    TerrainView* terrainView;
    bool paced = true;
    bool quitRequested = false;
};
