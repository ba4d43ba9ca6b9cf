#include "render/TgaMemorySource.h"

#include <cstring>

TgaMemorySource::TgaMemorySource(const void* bytes, size_t byteCount)
    : data(static_cast<const unsigned char*>(bytes)), size(byteCount)
{
}

bool TgaMemorySource::Read(void* destination, size_t count)
{
    if (count > size - position) {
        position = size;
        return false;
    }
    if (count > 0) {
        std::memcpy(destination, data + position, count);
    }
    position += count;
    return true;
}
