#pragma once

#include <cstdint>

// How a height becomes an image sample. Heights of 0 to 1 fill the sample's
// range; anything outside is clamped and NaN counts as 0.

// p = v * 255 in double, clamped to 255 and then to 0, truncated.
uint8_t HeightToByte(float value);

// clamp(v, 0, 1) * 65535, rounded half up.
uint16_t HeightToSample16(float value);
