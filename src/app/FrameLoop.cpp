#include "app/FrameLoop.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "app/Input.h"
#include "render/Render.h"

namespace {

const unsigned kFrameMilliseconds = 15;
const float kBlendPerFrame = 0.2f;

void LoadPerspectiveAndView(const CameraFrame& viewFrame)
{
    const float aspect = 800.0f / 600.0f;
    const float nearPlane = 0.01f;
    const float farPlane = 300.01f;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(37.0, aspect, nearPlane, farPlane);

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
                     ControlState& controls, SwapBuffers swapBuffers)
    : heightMap(heightMap),
      viewFrame(viewFrame),
      targetFrame(targetFrame),
      controls(controls),
      swapBuffers(swapBuffers)
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
    Orthonormalise(targetFrame);
    viewFrame = Blend(viewFrame, targetFrame, kBlendPerFrame);
    LoadPerspectiveAndView(viewFrame);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DrawTerrainMesh(heightMap);
    DrawStatusOverlay(viewFrame);
    swapBuffers();
    WaitFrameTime(kFrameMilliseconds);
}

void FrameLoop::Run()
{
    while (!quitRequested) {
        RunFrame();
    }
}
