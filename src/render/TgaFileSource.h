#pragma once

#include "render/TgaByteSource.h"

#include <cstdio>

// A file opened for binary reading, closed on destruction or by Close().
class TgaFileSource : public TgaByteSource {
public:
    explicit TgaFileSource(const char* path);
    ~TgaFileSource() override;
    TgaFileSource(const TgaFileSource&) = delete;
    TgaFileSource& operator=(const TgaFileSource&) = delete;

    // False if the file could not be opened or its size not be found.
    bool IsOpen() const { return file != nullptr; }
    void Close();

    bool Read(void* destination, size_t size) override;
    uint64_t BytesLeft() const override;

private:
    FILE* file = nullptr;
    uint64_t size = 0;
    uint64_t position = 0;
};
