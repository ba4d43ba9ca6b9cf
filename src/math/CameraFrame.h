#pragma once

#include "math/Matrix4.h"
#include "math/Vector3.h"

// A viewing direction, an up direction, a side direction (at x up, to the
// viewer's right) and an eye position. Default construction gives four zero
// vectors.
struct CameraFrame {
    Vector3 at;
    Vector3 up;
    Vector3 lateral;
    Vector3 position;
};

// Squares up the axes in place: at and up normalised (with the 0.001 guard),
// lateral = at x up, up = lateral x at. lateral and up are not normalised
// afterwards, so they are unit length only once at and up were already
// perpendicular. position is untouched.
void Orthonormalise(CameraFrame& frame);

// The weighted sum (1 - t) * from + t * to of all four members, with the axes
// then squared up as by Orthonormalise.
CameraFrame Blend(const CameraFrame& from, const CameraFrame& to, float t);

// Rows lateral, up, -at, applied after a translation by -position; the axes
// are used as they stand.
Matrix4 ViewMatrix(const CameraFrame& frame);

// at, up and lateral each normalised with the guard, in that order.
void NormaliseAxes(CameraFrame& frame);

// lateral = at x up, then up = lateral x at, with no normalisation.
void RebuildAxes(CameraFrame& frame);

// Looking along +z from the origin, y up.
void Reset(CameraFrame& frame);

// The frame the viewer starts in: eye at (0, 0.5, 1) looking at the origin,
// at left unnormalised until the first Orthonormalise.
CameraFrame StartFrame();
