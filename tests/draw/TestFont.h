#pragma once

// Loads the font module from a one-pixel "font.tga" written into a fresh
// temporary directory, made the working directory for the test's length.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "GlRecorder.h"
#include "render/Render.h"

class TestFont {
public:
    // Texture name the recorder hands the font.
    static constexpr unsigned textureName = 7;

    TestFont() : previousDirectory(std::filesystem::current_path())
    {
        char pattern[] = "/tmp/orvandel-draw-XXXXXX";
        if (mkdtemp(pattern) == nullptr) std::abort();
        directory = pattern;
        std::filesystem::current_path(directory);
        WriteImage("font.tga");
    }

    ~TestFont()
    {
        UnloadFont();
        std::filesystem::current_path(previousDirectory);
        std::filesystem::remove_all(directory);
    }

    // Loads with the recorder's next texture name set to textureName; the
    // recorder is cleared afterwards.
    bool Load()
    {
        GlRecorder::SetNextTextureName(textureName);
        const bool loaded = LoadFont();
        GlRecorder::Clear();
        return loaded;
    }

    static void WriteImage(const char* path)
    {
        const unsigned char file[18 + 4] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                            1, 0, 1, 0, 32, 8, 255, 255, 255, 255};
        FILE* out = std::fopen(path, "wb");
        if (out == nullptr) std::abort();
        std::fwrite(file, sizeof file, 1, out);
        std::fclose(out);
    }

private:
    std::filesystem::path previousDirectory;
    std::string directory;
};
