// The viewer's entry: start-up, the frame loop and shutdown, in the one order
// that every other module relies on.

#include <GL/glew.h>
#include <SDL.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdio>
#include <cstdlib>

#include "app/Controls.h"
#include "app/Input.h"
#include "math/CameraFrame.h"
#include "render/Render.h"
#include "terrain/Array2D.h"
#include "terrain/HeightMapGenerator.h"

namespace {

const int kWindowWidth = 800;
const int kWindowHeight = 600;
const char kWindowTitle[] = "Orvandel - SDL OpenGL";
const unsigned kFrameMilliseconds = 15;

// Set once, right after the context exists. Of these only depth testing is
// switched later: off by the overlay and on again by the mesh, every frame.
void SetFixedGlState()
{
    glViewport(0, 0, kWindowWidth, kWindowHeight);
    glClearColor(0.0f, 0.4f, 0.7f, 1.0f);
    glClearDepth(1.0);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_DEPTH_TEST);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_LIGHT0);
    glEnable(GL_NORMALIZE);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
}

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

int main(int, char**)
{
    if (SDL_Init(SDL_INIT_VIDEO) < 0) {
        printf("Unable to init SDL: %s\n", SDL_GetError());
        return 1;
    }
    atexit(SDL_Quit);
    SDL_WM_SetCaption(kWindowTitle, nullptr);
    if (SDL_SetVideoMode(kWindowWidth, kWindowHeight, 32, SDL_HWSURFACE | SDL_OPENGL) == nullptr) {
        printf("Unable to create video output window: %s\n", SDL_GetError());
        return 1;
    }
    glewInit();
    SetFixedGlState();

    float roughness = 0.5f;
    {
        Array2D<float> heightMap(heightMapCells, heightMapCells);
        GenerateHeightMap(heightMap, heightMapSize, heightMapAmplitude, roughness);

        CameraFrame viewFrame = StartFrame();
        CameraFrame targetFrame = viewFrame;
        LoadFont();

        ControlState controls = StartControls(heightMap, roughness, viewFrame, targetFrame);
        bool quitRequested = false;
        while (!quitRequested) {
            MarkFrameStart();
            PollEvents(eventFlags, eventHandlers);
            UpdateKeys();
            if (QuitWanted()) {
                quitRequested = true;
            }
            ApplyControls(controls);
            Orthonormalise(targetFrame);
            viewFrame = Blend(viewFrame, targetFrame, 0.2f);
            LoadPerspectiveAndView(viewFrame);
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            DrawTerrainMesh(heightMap);
            DrawStatusOverlay(viewFrame);
            SDL_GL_SwapBuffers();
            WaitFrameTime(kFrameMilliseconds);
        }
        UnloadFont();
    }
    return 0;
}
