#include "render/TgaFileSource.h"

TgaFileSource::TgaFileSource(const char* path)
{
    file = std::fopen(path, "rb");
    if (file == nullptr) {
        return;
    }
    // The size bounds the pixel buffer, so a file whose size is unknown
    // (a pipe, say) is not read at all.
    long end = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        end = std::ftell(file);
    }
    if (end < 0 || std::fseek(file, 0, SEEK_SET) != 0) {
        Close();
        return;
    }
    size = uint64_t(end);
}

TgaFileSource::~TgaFileSource() { Close(); }

void TgaFileSource::Close()
{
    if (file != nullptr) {
        std::fclose(file);
        file = nullptr;
    }
}

bool TgaFileSource::Read(void* destination, size_t count)
{
    if (file == nullptr) {
        return false;
    }
    size_t got = std::fread(destination, 1, count, file);
    position += got;
    return got == count;
}

uint64_t TgaFileSource::BytesLeft() const
{
    return position < size ? size - position : 0;
}
