#pragma once

// The window and the projection the frame loop loads, which the level of
// detail and the culling of the detailed map must agree with.
constexpr int kWindowWidth = 800;
constexpr int kWindowHeight = 600;
constexpr double kFieldOfViewYDegrees = 37.0;
