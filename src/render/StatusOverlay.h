#pragma once

// The status overlay (DrawStatusOverlay, declared in render/Render.h): four
// lines of text in the top-left corner giving the displayed camera's
// position and its at, lateral and up axes.

#include <cstddef>

#include "math/CameraFrame.h"

// Overlay space is 8 x 6 units centred on the origin: one unit is 100 pixels
// of the 800 x 600 window.
extern const float overlayLeft;
extern const float overlayBottom;

constexpr int statusLineCount = 4;
constexpr std::size_t statusSlotSize = 200;
constexpr std::size_t statusBlockSize = 4000;

// Formats the lines "P: ...", "A: ...", "L: ...", "U: ..." (position, at,
// lateral, up; each component "%6.2f"), line i into the NUL-terminated slot
// starting at block + i * statusSlotSize. Slots beyond the fourth are left
// as they are.
void FormatStatusLines(const CameraFrame& frame, char (&block)[statusBlockSize]);
