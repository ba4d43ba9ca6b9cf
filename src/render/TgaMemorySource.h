#pragma once

#include "render/TgaByteSource.h"

// Bytes already in memory; the caller keeps them alive while reading.
class TgaMemorySource : public TgaByteSource {
public:
    TgaMemorySource(const void* data, size_t size);

    bool Read(void* destination, size_t size) override;
    uint64_t BytesLeft() const override { return size - position; }

private:
    const unsigned char* data;
    size_t size;
    size_t position = 0;
};
