// The viewer's entry: start-up, the frame loop and shutdown, in the one order
// that every other module relies on.

#include <GL/glew.h>
#include <SDL.h>

#include <GL/gl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/Controls.h"
#include "app/FrameLoop.h"
#include "app/TerrainView.h"
#include "app/Timedemo.h"
#include "app/ViewGeometry.h"
#include "app/ViewerOptions.h"
#include "derive/MapScale.h"
#include "landing/InterruptCleanup.h"
#include "math/CameraFrame.h"
#include "render/Render.h"
#include "shape/ShapeFile.h"
#include "shape/ShapeGround.h"
#include "terrain/Array2D.h"
#include "terrain/HeightMapGenerator.h"

namespace {

const char kWindowTitle[] = "Orvandel - SDL OpenGL";

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

// Where an installed font may be: the data directory the build was
// configured for, then the one beside this executable's bin/, so a package
// or an install moved with --prefix still finds it.
std::vector<std::string> InstalledFontDirectories()
{
    std::vector<std::string> directories = {ORVANDEL_DATA_DIR};
    char executable[4096];
    const ssize_t length = readlink("/proc/self/exe", executable, sizeof executable - 1);
    if (length > 0) {
        const std::string path(executable, static_cast<size_t>(length));
        const std::string bin = path.substr(0, path.rfind('/'));
        directories.push_back(bin + "/../" ORVANDEL_RELATIVE_DATA_DIR);
    }
    return directories;
}

}  // namespace

int main(int argc, char** argv)
{
    // Options are settled before anything of SDL: a refusal opens no window.
    TerrainParameters start;
    ViewerDisplay display;
    std::string error;
    switch (ParseViewerOptions(argc, argv, start, display, error)) {
    case ViewerStart::Help:
        fputs(ViewerUsage().c_str(), stdout);
        return 0;
    case ViewerStart::Refused:
        fprintf(stderr, "orvandel: %s\n", error.c_str());
        return 2;
    case ViewerStart::Run:
        break;
    }
    if (!start.shapeFile.empty()) {
        // The tool's default ground, so a float shape in metres gives the
        // heights the printed command gives (a georeferenced one its own
        // range, as the tool takes it without --relief).
        ShapeGround ground;
        ground.reliefFromRange = true;
        switch (LoadShape(start, kDefaultReliefMetres, error, &ground)) {
        case ShapeLoad::Loaded:
            break;
        case ShapeLoad::Unreadable:
            fprintf(stderr, "orvandel: %s\n", error.c_str());
            return 1;
        case ShapeLoad::Unusable:
            fprintf(stderr, "orvandel: %s\n", error.c_str());
            return 2;
        }
        viewerShape = start;
        shapedViewerMap = GenerateShapedViewerMap;
    }
    generationSeed = start.seed;
    falloffExponent = start.falloffExponent;
    terrainSharpness = start.sharpness;
    viewerErosion = start.erosion;

    if (SDL_Init(SDL_INIT_VIDEO) < 0) {
        printf("Unable to init SDL: %s\n", SDL_GetError());
        return 1;
    }
    atexit(SDL_Quit);
    // After SDL, which keeps SIGINT and SIGTERM as quit events: the other
    // fatal signals remove a G export's temporary, and a file size limit
    // makes the export fail with one line instead of ending the viewer.
    InstallInterruptCleanup();
    SDL_WM_SetCaption(kWindowTitle, nullptr);
    if (SDL_SetVideoMode(kWindowWidth, kWindowHeight, 32, SDL_HWSURFACE | SDL_OPENGL) == nullptr) {
        printf("Unable to create video output window: %s\n", SDL_GetError());
        return 1;
    }
    glewInit();
    SetFixedGlState();

    float roughness = start.roughness;
    int status = 0;
    {
        Array2D<float> heightMap(heightMapCells, heightMapCells);
        RegenerateViewerMap(heightMap, roughness);

        CameraFrame viewFrame = StartFrame();
        CameraFrame targetFrame = viewFrame;
        LoadFont(InstalledFontDirectories());

        ControlState controls = StartControls(heightMap, roughness, viewFrame, targetFrame);
        if (display.detail > heightMapCells) {
            controls.commandSize = display.detail;
        }
        TerrainView terrainView(heightMap, display.view, display.detail, GenerateDetail);
        FrameLoop loop(heightMap, viewFrame, targetFrame, controls, SDL_GL_SwapBuffers, &terrainView);
        if (display.timedemoFrames > 0) {
            // The detailed map is made before the clock starts: the timedemo
            // times drawing, not generation.
            terrainView.WaitForDetail(CurrentParameters(controls));
            const std::vector<double> times = RunTimedemo(loop, viewFrame, targetFrame, display.timedemoFrames);
            const TimedemoOutcome outcome = TimedemoResult(times, display.timedemoFrames);
            fprintf(outcome.finished ? stdout : stderr, "%s%s\n", outcome.finished ? "" : "orvandel: ",
                    outcome.line.c_str());
            fflush(stdout);
            status = outcome.status;
        } else {
            loop.Run();
        }
        UnloadFont();
    }
    return status;
}
