#include "export/HeightSamples.h"

#include <cmath>

uint8_t HeightToByte(float value)
{
    double p = static_cast<double>(value) * 255.0;
    if (std::isnan(p)) {
        return 0;
    }
    if (p > 255.0) {
        p = 255.0;
    }
    if (p < 0.0) {
        p = 0.0;
    }
    return static_cast<uint8_t>(p);
}

uint16_t HeightToSample16(float value)
{
    if (!(value > 0.0f)) {
        return 0;
    }
    if (value >= 1.0f) {
        return 65535;
    }
    // v * 65535 is positive here, so rounding half away from zero is half up.
    return static_cast<uint16_t>(std::lround(static_cast<double>(value) * 65535.0));
}
