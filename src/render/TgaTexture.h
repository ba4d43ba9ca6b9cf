#pragma once

#include <GL/gl.h>

// Loads a true-colour TGA (uncompressed or run-length encoded, 24 or 32 bits)
// into a new 2D texture with linear filtering and the default repeat wrap,
// which stays bound. On any failure returns false, prints nothing, creates no
// texture and leaves *textureOut untouched. Needs a current OpenGL context.
bool LoadTGATexture(const char* path, GLuint* textureOut);
