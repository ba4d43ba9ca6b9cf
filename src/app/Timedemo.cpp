#include "app/Timedemo.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <numeric>

CameraFrame TimedemoCamera(unsigned frame, unsigned frames)
{
    const double t = 2 * M_PI * frame / frames;
    const double radius = 0.55 + 0.25 * std::cos(2 * t);
    const double height = 0.28 + 0.06 * std::cos(2 * t);
    CameraFrame camera;
    camera.position = Vector3(float(radius * std::sin(t)), float(height), float(radius * std::cos(t)));
    camera.at = Vector3(0.0f, 0.02f, 0.0f) - camera.position;
    camera.up = Vector3(0.0f, 1.0f, 0.0f);
    Orthonormalise(camera);
    return camera;
}

std::string TimedemoReport(const std::vector<double>& milliseconds)
{
    std::vector<double> sorted = milliseconds;
    std::sort(sorted.begin(), sorted.end());
    const double mean = sorted.empty() ? 0.0 : std::accumulate(sorted.begin(), sorted.end(), 0.0) / sorted.size();
    // The smallest time that at least 95 % of the frames are within.
    const size_t rank = size_t(std::ceil(0.95 * sorted.size()));
    const double p95 = sorted.empty() ? 0.0 : sorted[std::max<size_t>(rank, 1) - 1];
    char line[128];
    snprintf(line, sizeof line, "frames %zu, mean %.2f ms, p95 %.2f ms", sorted.size(), mean, p95);
    return line;
}

TimedemoOutcome TimedemoResult(const std::vector<double>& milliseconds, unsigned frames)
{
    if (milliseconds.size() >= frames) {
        return {true, TimedemoReport(milliseconds), 0};
    }
    return {false,
            "timedemo interrupted after " + std::to_string(milliseconds.size()) + " of " + std::to_string(frames) +
                " frames; no result",
            1};
}

std::vector<double> RunTimedemo(FrameLoop& loop, CameraFrame& viewFrame, CameraFrame& targetFrame, unsigned frames)
{
    using Clock = std::chrono::steady_clock;
    loop.SetPaced(false);
    std::vector<double> milliseconds;
    milliseconds.reserve(frames);
    for (unsigned frame = 0; frame < frames && !loop.QuitRequested(); ++frame) {
        // Both frames on the path, so the easing keeps the camera there.
        viewFrame = targetFrame = TimedemoCamera(frame, frames);
        const Clock::time_point start = Clock::now();
        loop.RunFrame();
        milliseconds.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return milliseconds;
}
