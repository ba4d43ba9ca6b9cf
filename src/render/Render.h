#pragma once

// What the frame loop needs from the renderer. Every call runs on the thread
// that owns the OpenGL context, after the context exists.

#include <string>
#include <vector>

#include "render/ColourRGBA.h"
#include "terrain/Array2D.h"

struct CameraFrame;

// Loads "font.tga" from the working directory into the font texture, once;
// when the working directory has none, from the first of installedDirectories
// that holds one (where an installed viewer keeps its font). Returns false if
// no image is found or the one found is rejected; the viewer then runs with
// no text. A second call after a success does not reread the file.
bool LoadFont(const std::vector<std::string>& installedDirectories = {});

// Deletes the font texture if one is loaded. Safe to call twice.
void UnloadFont();

// Sends the whole height grid as triangles in immediate mode, each point grey
// by its height or, when colours is given, in colours[y * width + x].
// Expects the projection and model-view matrices to be loaded; leaves depth
// testing on and texturing off.
void DrawTerrainMesh(Array2D<float>& heightMap, const ColourRGBA* colours = nullptr);

// Draws the four status lines (position and axes of the frame) over the
// scene in an orthographic projection; leaves depth testing and blending off.
void DrawStatusOverlay(const CameraFrame& frame);
