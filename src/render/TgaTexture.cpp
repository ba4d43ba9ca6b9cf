#include "render/TgaTexture.h"

#include "render/TgaFileSource.h"
#include "render/TgaImage.h"

bool LoadTGATexture(const char* path, GLuint* textureOut)
{
    TgaImage image;
    {
        TgaFileSource file(path);
        if (!file.IsOpen() || !DecodeTGA(file, image)) {
            return false;
        }
    }

    glGenTextures(1, textureOut);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glBindTexture(GL_TEXTURE_2D, *textureOut);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    // Wrap modes stay at GL_REPEAT: the font relies on it for negative t.
    const GLenum format = image.bytesPerPixel == 3 ? GL_RGB : GL_RGBA;
    glTexImage2D(GL_TEXTURE_2D, 0, GLint(image.bytesPerPixel), GLsizei(image.width), GLsizei(image.height), 0,
                 format, GL_UNSIGNED_BYTE, image.pixels.data());
    return true;
}
