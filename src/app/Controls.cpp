#include "app/Controls.h"

#include <cstdio>
#include <string>

#include "app/Input.h"
#include "app/ToolCommand.h"
#include "cli/CommandLineText.h"
#include "erosion/Erosion.h"
#include "export/HeightMapExport.h"
#include "terrain/HeightMapGenerator.h"
#include "terrain/TerrainParameters.h"

namespace {

const float kParameterStep = 1.01f;
const float kMoveStep = 0.01f;
const float kLookPerPixel = 0.004f;
const float kForwardPerPixel = 0.006f;
const uint8_t kLeftButton = SDL_BUTTON(1);
const uint8_t kRightButton = SDL_BUTTON(3);
// R switches erosion on at the amount recommended for a natural look.
const float kErosionSwitchedOn = 1.0f;

void Regenerate(ControlState& state)
{
    RegenerateViewerMap(state.heightMap, state.roughness);
    state.regenerated = true;
}

// Each step stops at the bounds past which the map is no longer finite; a key
// held at a bound still regenerates, as it does anywhere else.
void ApplyGenerationKeys(ControlState& state)
{
    if (currentKeys[SDLK_h]) {
        state.roughness = ClampRoughness(state.roughness / kParameterStep);
        Regenerate(state);
    }
    if (currentKeys[SDLK_j]) {
        state.roughness = ClampRoughness(state.roughness * kParameterStep);
        Regenerate(state);
    }
    if (currentKeys[SDLK_n]) {
        falloffExponent = ClampFalloffExponent(falloffExponent / kParameterStep);
        Regenerate(state);
    }
    if (currentKeys[SDLK_m]) {
        falloffExponent = ClampFalloffExponent(falloffExponent * kParameterStep);
        Regenerate(state);
    }
    if (currentKeys[SDLK_k]) {
        terrainSharpness = ClampSharpness(terrainSharpness / kParameterStep);
        Regenerate(state);
    }
    if (currentKeys[SDLK_l]) {
        terrainSharpness = ClampSharpness(terrainSharpness * kParameterStep);
        Regenerate(state);
    }
    if (KeyPressed(SDLK_r)) {
        viewerErosion = viewerErosion > 0.0f ? 0.0f : kErosionSwitchedOn;
        Regenerate(state);
    }
}

void ApplyMovementKeys(CameraFrame& target)
{
    if (currentKeys[SDLK_a]) target.position -= target.lateral * kMoveStep;
    if (currentKeys[SDLK_d]) target.position += target.lateral * kMoveStep;
    if (currentKeys[SDLK_w]) target.position += target.at * kMoveStep;
    if (currentKeys[SDLK_s]) target.position -= target.at * kMoveStep;
    if (currentKeys[SDLK_q]) target.position += target.up * kMoveStep;
    if (currentKeys[SDLK_e]) target.position -= target.up * kMoveStep;
}

// Drags scale the displayed frame's axes, so a turn follows what is on screen.
void ApplyMouseDrag(uint8_t buttons, int dx, int dy, const CameraFrame& view, CameraFrame& target)
{
    const bool left = (buttons & kLeftButton) != 0;
    const bool right = (buttons & kRightButton) != 0;
    if (left && right) {
        const float roll = dx * kLookPerPixel;
        target.up += view.lateral * roll;
    } else if (left) {
        const float tilt = -dy * kLookPerPixel;
        const float turn = dx * kLookPerPixel;
        target.at += view.up * tilt;
        target.at += view.lateral * turn;
    } else if (right) {
        const float forward = -dy * kForwardPerPixel;
        target.position += view.at * forward;
    }
}

// After a written export, one line naming the file and the heightmap tool's
// command for the same map at any size; flushed at once, since standard
// output is often a pipe. A failed export says why in one line.
void ExportAndReport(const ControlState& state)
{
    std::string writtenPath;
    std::string error;
    if (!SaveHeightMapTGA(state.heightMap, nullptr, error, &writtenPath)) {
        fprintf(stderr, "heightmap export: %s\n", OneLine(error).c_str());
        return;
    }
    printf("%s\n", ExportReport(writtenPath, CurrentParameters(state), state.commandSize).c_str());
    fflush(stdout);
}

}  // namespace

float viewerErosion = 0.0f;

TerrainParameters viewerShape;

namespace {

void TakeShape(TerrainParameters& parameters)
{
    parameters.shapeFile = viewerShape.shapeFile;
    parameters.shape = viewerShape.shape;
    parameters.shapeRangeGiven = viewerShape.shapeRangeGiven;
    parameters.shapeLow = viewerShape.shapeLow;
    parameters.shapeHigh = viewerShape.shapeHigh;
    parameters.shapeFalloff = viewerShape.shapeFalloff;
}

}  // namespace

void (*shapedViewerMap)(Array2D<float>& heightMap, const TerrainParameters& parameters) = nullptr;

void RegenerateViewerMap(Array2D<float>& heightMap, float roughness)
{
    if (viewerShape.shape != nullptr && shapedViewerMap != nullptr) {
        TerrainParameters parameters;
        parameters.seed = generationSeed;
        parameters.roughness = roughness;
        parameters.falloffExponent = falloffExponent;
        TakeShape(parameters);
        shapedViewerMap(heightMap, parameters);
    } else {
        GenerateHeightMap(heightMap, heightMapSize, heightMapAmplitude, roughness);
    }
    if (viewerErosion > 0.0f) {
        ErodeHeightMap(heightMap, viewerErosion, 1);
    }
}

ControlState StartControls(Array2D<float>& heightMap, float& roughness, const CameraFrame& viewFrame,
                           CameraFrame& targetFrame)
{
    ControlState state{heightMap, roughness, viewFrame, targetFrame, 0, 0};
    uint8_t buttons = 0;
    ReadMouse(&buttons, &state.previousMouseX, &state.previousMouseY);
    return state;
}

TerrainParameters CurrentParameters(const ControlState& state)
{
    TerrainParameters parameters;
    parameters.seed = generationSeed;
    parameters.roughness = state.roughness;
    parameters.falloffExponent = falloffExponent;
    parameters.sharpness = terrainSharpness;
    parameters.erosion = viewerErosion;
    TakeShape(parameters);
    return parameters;
}

void ApplyControls(ControlState& state)
{
    state.regenerated = false;
    ApplyGenerationKeys(state);
    if (KeyPressed(SDLK_g)) {
        ExportAndReport(state);
    }
    uint8_t buttons = 0;
    int x = 0;
    int y = 0;
    ReadMouse(&buttons, &x, &y);
    const int dx = x - state.previousMouseX;
    const int dy = y - state.previousMouseY;
    ApplyMovementKeys(state.targetFrame);
    ApplyMouseDrag(buttons, dx, dy, state.viewFrame, state.targetFrame);
    state.previousMouseX = x;
    state.previousMouseY = y;
}
