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

// What a timedemo prints and how the viewer exits. Only a run of every frame
// has a result: its report line, for standard output, status 0. A run cut
// short (Escape, the window closed, SIGINT or SIGTERM, which SDL turns into
// a quit) is no benchmark of the path: one line, for standard error, says it
// was interrupted and after how many frames, status 1.
struct TimedemoOutcome {
    bool finished = false;
    std::string line;
    int status = 0;
};
TimedemoOutcome TimedemoResult(const std::vector<double>& milliseconds, unsigned frames);

// Runs the frames on the path, unpaced, and returns their times. Stops early
// if a frame sees a quit request.
std::vector<double> RunTimedemo(FrameLoop& loop, CameraFrame& viewFrame, CameraFrame& targetFrame,
                                unsigned frames);
