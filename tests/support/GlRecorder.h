#pragma once

// A recording stand-in for the OpenGL 1.1 entry points (and gluOrtho2D) that
// the renderer calls. The drawing tests link it in place of libGL and libGLU,
// so each test can assert the exact calls made, and that none were made.

#include <string>
#include <vector>

struct GlCall {
    std::string name;          // the entry point, e.g. "glVertex3f"
    std::vector<double> args;  // scalar arguments, and the elements of any
                               // vector argument (glColor4fv's four floats),
                               // in order; enums as their numeric value
};

namespace GlRecorder {
// Forgets the calls and the last pixels and restarts texture names at 1;
// the recording switch is kept.
void Clear();
// Forgets the calls only, keeping the buffers and arrays as they stand.
void ClearCalls();
const std::vector<GlCall>& Calls();
// With recording off the entry points do nothing at all (for benchmarks),
// except that glGenTextures still hands out names, since callers read them.
void SetRecording(bool on);
// The calls with the given name, in order.
std::vector<GlCall> CallsNamed(const std::string& name);
// The texture name the next glGenTextures hands out (default 1, then counting up).
void SetNextTextureName(unsigned name);
// The pixels of the last glTexImage2D, copied when it was called.
const std::vector<unsigned char>& LastTexImagePixels();

// A point sent by a draw through vertex arrays (float positions, byte
// colours), read from the buffer or memory the arrays pointed at.
struct DrawnVertex {
    float x, y, z;
    unsigned char r, g, b, a;
};
// One per index of the last glDrawRangeElements, in order.
const std::vector<DrawnVertex>& LastDrawnVertices();
}  // namespace GlRecorder
