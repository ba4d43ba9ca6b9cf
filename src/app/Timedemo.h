#pragma once

#include <string>
#include <vector>

#include "app/FrameLoop.h"
#include "math/CameraFrame.h"

// The viewer's benchmark: a fixed flight over the terrain, timed frame by
// frame without the 15 ms pacing.
//
// The path, frame f of F, with t = 2 pi f / F: one lap around the island,
// the eye at (r sin t, y, r cos t) with r = 0.55 + 0.25 cos 2t (from 0.80,
// the whole island in view, in to 0.30, over the coast, twice a lap) and
// y = 0.28 + 0.06 cos 2t, always looking at (0, 0.02, 0).
CameraFrame TimedemoCamera(unsigned frame, unsigned frames);

// "frames F, mean X ms, p95 Y ms", X and Y to two decimals; p95 is the
// frame time that 95 % of the frames take at most.
std::string TimedemoReport(const std::vector<double>& milliseconds);

// Runs the frames on the path, unpaced, and returns their times. Stops early
// if a frame sees a quit request.
std::vector<double> RunTimedemo(FrameLoop& loop, CameraFrame& viewFrame, CameraFrame& targetFrame,
                                unsigned frames);
