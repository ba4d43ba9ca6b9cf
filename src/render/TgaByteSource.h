#pragma once

#include <cstddef>
#include <cstdint>

// Where the TGA decoder reads its bytes from. It also tells how many bytes
// are left, so the decoder never allocates more than the data could fill.
class TgaByteSource {
public:
    virtual ~TgaByteSource() = default;
    // Reads exactly `size` bytes into `destination`; false if fewer arrived.
    virtual bool Read(void* destination, size_t size) = 0;
    virtual uint64_t BytesLeft() const = 0;
};
