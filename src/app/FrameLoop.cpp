#include "app/FrameLoop.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "app/Input.h"
#include "app/ViewGeometry.h"
#include "render/Render.h"

namespace {

const unsigned kFrameMilliseconds = 15;
const float kBlendPerFrame = 0.2f;

void LoadPerspectiveAndView(const CameraFrame& viewFrame)
{
    const float aspect = float(kWindowWidth) / float(kWindowHeight);
    const float nearPlane = 0.01f;
    const float farPlane = 300.01f;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(kFieldOfViewYDegrees, aspect, nearPlane, farPlane);

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const Matrix4 view = ViewMatrix(viewFrame);
    glLoadMatrixf(view.m);

    // Given after the view matrix, so light 0 sits at the world origin.
    const GLfloat lightPosition[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, lightPosition);
}

bool QuitWanted() { return eventFlags[SDL_QUIT] != 0 || currentKeys[SDLK_ESCAPE] == 1; }

}  // namespace

FrameLoop::FrameLoop(Array2D<float>& heightMap, CameraFrame& viewFrame, CameraFrame& targetFrame,
                     ControlState& controls, SwapBuffers swapBuffers, TerrainView* terrainView)
    : heightMap(heightMap),
      viewFrame(viewFrame),
      targetFrame(targetFrame),
      controls(controls),
      swapBuffers(swapBuffers),
      terrainView(terrainView)
{
}

void FrameLoop::RunFrame()
{
    MarkFrameStart();
    PollEvents(eventFlags, eventHandlers);
    UpdateKeys();
    if (QuitWanted()) {
        quitRequested = true;
    }
    ApplyControls(controls);
    if (terrainView) {
        if (KeyPressed(SDLK_v)) {
            terrainView->CycleMode();
        }
        terrainView->AfterControls(controls.regenerated, CurrentParameters(controls));
    }
    Orthonormalise(targetFrame);
    viewFrame = Blend(viewFrame, targetFrame, kBlendPerFrame);
    LoadPerspectiveAndView(viewFrame);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (terrainView) {
        terrainView->Draw(viewFrame);
    } else {
        DrawTerrainMesh(heightMap);
    }
    DrawStatusOverlay(viewFrame);
    swapBuffers();
    if (paced) {
        WaitFrameTime(kFrameMilliseconds);
    }
}

void FrameLoop::Run()
{
    while (!quitRequested) {
        RunFrame();
    }
}
