#define GL_GLEXT_PROTOTYPES
#include "GlRecorder.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <GL/glu.h>

#include <initializer_list>

namespace {

std::vector<GlCall> calls;
std::vector<unsigned char> lastTexImagePixels;
bool recording = true;
GLuint nextTextureName = 1;

// Vertex buffers and the arrays pointing into them (or into memory).
std::map<GLuint, std::vector<unsigned char>> bufferContents;
GLuint nextBufferName = 1;
GLuint boundArrayBuffer = 0;
struct ArrayPointer {
    GLuint buffer = 0;
    const unsigned char* at = nullptr;  // an offset when buffer is not 0
    GLsizei stride = 0;
};
ArrayPointer vertexArray;
ArrayPointer colourArray;
std::vector<GlRecorder::DrawnVertex> lastDrawn;

const unsigned char* Element(const ArrayPointer& array, GLuint index, size_t size)
{
    const unsigned char* base =
        array.buffer != 0 ? bufferContents[array.buffer].data() + reinterpret_cast<uintptr_t>(array.at) : array.at;
    return base + size_t(index) * (array.stride != 0 ? size_t(array.stride) : size);
}

void Record(const char* name, std::initializer_list<double> args)
{
    calls.push_back(GlCall{name, std::vector<double>(args)});
}

void RecordVector(const char* name, std::initializer_list<double> head, const GLfloat* v, int count)
{
    GlCall call{name, std::vector<double>(head)};
    for (int i = 0; i < count; ++i) {
        call.args.push_back(v[i]);
    }
    calls.push_back(call);
}

// Number of floats glLightfv reads for a parameter name.
int LightParameterCount(GLenum pname)
{
    switch (pname) {
    case GL_AMBIENT:
    case GL_DIFFUSE:
    case GL_SPECULAR:
    case GL_POSITION:
        return 4;
    case GL_SPOT_DIRECTION:
        return 3;
    default:
        return 1;
    }
}

// Bytes per texel of unsigned-byte pixel data in the given format; unknown
// formats fall back to the internal format when that is a component count.
int ComponentCount(GLenum format, GLint internalFormat)
{
    switch (format) {
    case GL_RGB:
        return 3;
    case GL_RGBA:
        return 4;
    case GL_LUMINANCE_ALPHA:
        return 2;
    case GL_LUMINANCE:
    case GL_ALPHA:
    case GL_RED:
        return 1;
    default:
        return (internalFormat >= 1 && internalFormat <= 4) ? internalFormat : 0;
    }
}

}  // namespace

namespace GlRecorder {

void Clear()
{
    calls.clear();
    lastTexImagePixels.clear();
    nextTextureName = 1;
    bufferContents.clear();
    nextBufferName = 1;
    boundArrayBuffer = 0;
    vertexArray = colourArray = ArrayPointer();
    lastDrawn.clear();
}

void ClearCalls() { calls.clear(); }

const std::vector<DrawnVertex>& LastDrawnVertices() { return lastDrawn; }

const std::vector<GlCall>& Calls() { return calls; }

void SetRecording(bool on) { recording = on; }

std::vector<GlCall> CallsNamed(const std::string& name)
{
    std::vector<GlCall> named;
    for (const GlCall& call : calls) {
        if (call.name == name) {
            named.push_back(call);
        }
    }
    return named;
}

void SetNextTextureName(unsigned name) { nextTextureName = name; }

const std::vector<unsigned char>& LastTexImagePixels() { return lastTexImagePixels; }

}  // namespace GlRecorder

extern "C" {

void glEnable(GLenum cap)
{
    if (recording) Record("glEnable", {double(cap)});
}

void glDisable(GLenum cap)
{
    if (recording) Record("glDisable", {double(cap)});
}

void glDepthMask(GLboolean flag)
{
    if (recording) Record("glDepthMask", {double(flag)});
}

void glPolygonMode(GLenum face, GLenum mode)
{
    if (recording) Record("glPolygonMode", {double(face), double(mode)});
}

void glBindTexture(GLenum target, GLuint texture)
{
    if (recording) Record("glBindTexture", {double(target), double(texture)});
}

void glBegin(GLenum mode)
{
    if (recording) Record("glBegin", {double(mode)});
}

void glEnd(void)
{
    if (recording) Record("glEnd", {});
}

void glNormal3fv(const GLfloat* v)
{
    if (recording) RecordVector("glNormal3fv", {}, v, 3);
}

void glColor4fv(const GLfloat* v)
{
    if (recording) RecordVector("glColor4fv", {}, v, 4);
}

void glVertex3fv(const GLfloat* v)
{
    if (recording) RecordVector("glVertex3fv", {}, v, 3);
}

void glVertex3f(GLfloat x, GLfloat y, GLfloat z)
{
    if (recording) Record("glVertex3f", {x, y, z});
}

void glTexCoord2d(GLdouble s, GLdouble t)
{
    if (recording) Record("glTexCoord2d", {s, t});
}

void glMatrixMode(GLenum mode)
{
    if (recording) Record("glMatrixMode", {double(mode)});
}

void glLoadIdentity(void)
{
    if (recording) Record("glLoadIdentity", {});
}

void glBlendFunc(GLenum sfactor, GLenum dfactor)
{
    if (recording) Record("glBlendFunc", {double(sfactor), double(dfactor)});
}

// Hands out names even with recording off: callers read them back.
void glGenTextures(GLsizei n, GLuint* textures)
{
    for (GLsizei i = 0; i < n; ++i) {
        textures[i] = nextTextureName++;
    }
    if (recording) Record("glGenTextures", {double(n)});
}

void glDeleteTextures(GLsizei n, const GLuint* textures)
{
    if (!recording) return;
    GlCall call{"glDeleteTextures", {double(n)}};
    for (GLsizei i = 0; i < n; ++i) {
        call.args.push_back(textures[i]);
    }
    calls.push_back(call);
}

void glPixelStorei(GLenum pname, GLint param)
{
    if (recording) Record("glPixelStorei", {double(pname), double(param)});
}

void glTexParameteri(GLenum target, GLenum pname, GLint param)
{
    if (recording) Record("glTexParameteri", {double(target), double(pname), double(param)});
}

void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                  GLint border, GLenum format, GLenum type, const GLvoid* pixels)
{
    if (!recording) return;
    Record("glTexImage2D", {double(target), double(level), double(internalFormat), double(width),
                            double(height), double(border), double(format), double(type)});
    lastTexImagePixels.clear();
    if (pixels != nullptr && width > 0 && height > 0) {
        // Tightly packed rows: the renderer uploads with an unpack alignment of 1.
        const size_t size = size_t(width) * size_t(height) * size_t(ComponentCount(format, internalFormat));
        const unsigned char* bytes = static_cast<const unsigned char*>(pixels);
        lastTexImagePixels.assign(bytes, bytes + size);
    }
}

void glViewport(GLint x, GLint y, GLsizei width, GLsizei height)
{
    if (recording) Record("glViewport", {double(x), double(y), double(width), double(height)});
}

void glClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha)
{
    if (recording) Record("glClearColor", {red, green, blue, alpha});
}

void glClearDepth(GLclampd depth)
{
    if (recording) Record("glClearDepth", {depth});
}

void glDepthFunc(GLenum func)
{
    if (recording) Record("glDepthFunc", {double(func)});
}

void glShadeModel(GLenum mode)
{
    if (recording) Record("glShadeModel", {double(mode)});
}

void glColorMaterial(GLenum face, GLenum mode)
{
    if (recording) Record("glColorMaterial", {double(face), double(mode)});
}

void glLightfv(GLenum light, GLenum pname, const GLfloat* params)
{
    if (recording) RecordVector("glLightfv", {double(light), double(pname)}, params, LightParameterCount(pname));
}

void glClear(GLbitfield mask)
{
    if (recording) Record("glClear", {double(mask)});
}

void glLoadMatrixf(const GLfloat* m)
{
    if (recording) RecordVector("glLoadMatrixf", {}, m, 16);
}

void gluOrtho2D(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top)
{
    if (recording) Record("gluOrtho2D", {left, right, bottom, top});
}

void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar)
{
    if (recording) Record("gluPerspective", {fovy, aspect, zNear, zFar});
}


void glGenBuffers(GLsizei n, GLuint* buffers)
{
    for (GLsizei i = 0; i < n; ++i) {
        buffers[i] = nextBufferName++;
        bufferContents[buffers[i]];
    }
    if (recording) Record("glGenBuffers", {double(n)});
}

void glDeleteBuffers(GLsizei n, const GLuint* buffers)
{
    for (GLsizei i = 0; i < n; ++i) {
        bufferContents.erase(buffers[i]);
    }
    if (recording) Record("glDeleteBuffers", {double(n)});
}

void glBindBuffer(GLenum target, GLuint buffer)
{
    if (target == GL_ARRAY_BUFFER) boundArrayBuffer = buffer;
    if (recording) Record("glBindBuffer", {double(target), double(buffer)});
}

void glBufferData(GLenum target, GLsizeiptr size, const void* data, GLenum usage)
{
    if (target == GL_ARRAY_BUFFER) {
        const auto* bytes = static_cast<const unsigned char*>(data);
        bufferContents[boundArrayBuffer].assign(bytes, bytes + size);
    }
    if (recording) Record("glBufferData", {double(target), double(size), double(usage)});
}

void glVertexPointer(GLint size, GLenum type, GLsizei stride, const void* pointer)
{
    vertexArray = {boundArrayBuffer, static_cast<const unsigned char*>(pointer), stride};
    if (recording) Record("glVertexPointer", {double(size), double(type), double(stride)});
}

void glColorPointer(GLint size, GLenum type, GLsizei stride, const void* pointer)
{
    colourArray = {boundArrayBuffer, static_cast<const unsigned char*>(pointer), stride};
    if (recording) Record("glColorPointer", {double(size), double(type), double(stride)});
}

void glEnableClientState(GLenum array)
{
    if (recording) Record("glEnableClientState", {double(array)});
}

void glDisableClientState(GLenum array)
{
    if (recording) Record("glDisableClientState", {double(array)});
}

void glCullFace(GLenum mode)
{
    if (recording) Record("glCullFace", {double(mode)});
}

// Reads three floats and four bytes per index, the layout the chunked mesh
// sends.
void glDrawRangeElements(GLenum mode, GLuint start, GLuint end, GLsizei count, GLenum type, const void* indices)
{
    lastDrawn.clear();
    if (type == GL_UNSIGNED_INT) {
        const auto* index = static_cast<const GLuint*>(indices);
        for (GLsizei i = 0; i < count; ++i) {
            GlRecorder::DrawnVertex vertex;
            std::memcpy(&vertex.x, Element(vertexArray, index[i], 3 * sizeof(float)), 3 * sizeof(float));
            std::memcpy(&vertex.r, Element(colourArray, index[i], 4), 4);
            lastDrawn.push_back(vertex);
        }
    }
    if (recording) Record("glDrawRangeElements", {double(mode), double(start), double(end), double(count)});
}

}  // extern "C"
