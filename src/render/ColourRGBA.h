#pragma once

// A colour of four 32-bit components, each from 0 to 1, in the order that
// glColor4fv reads them.
struct ColourRGBA {
    float r, g, b, a;
};
