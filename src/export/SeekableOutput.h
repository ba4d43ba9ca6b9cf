#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "export/OutputFile.h"

// Buffered writing with seeks, through an OutputFile's descriptor, for the
// libraries that go back to fill in what they wrote earlier (OpenEXR's line
// offsets, libtiff's directory). Positions count from where the OutputFile
// stood when it was handed over. The first failure is kept as a one-line
// reason; later calls then fail without touching the file.
class SeekableOutput {
public:
    // Flushes out and takes over its descriptor; Ready() is false (with a
    // reason in Error()) when out has failed or cannot seek.
    explicit SeekableOutput(OutputFile& out);

    bool Ready() const { return error.empty(); }
    const std::string& Error() const { return error; }

    bool Write(const void* bytes, size_t size);
    // Reads what was written before; returns the count read, 0 on failure.
    size_t Read(void* bytes, size_t size);
    bool Seek(uint64_t position);
    uint64_t Tell() const { return position; }
    uint64_t Size() const { return end; }

    // Writes out what is buffered and leaves the descriptor at the end, where
    // the OutputFile expects it.
    bool Finish();

private:
    bool Drain();
    bool Refuse(const std::string& reason);

    int descriptor = -1;
    int64_t base = 0;
    uint64_t position = 0;
    uint64_t end = 0;
    std::vector<char> buffer;
    uint64_t bufferStart = 0;
    size_t buffered = 0;
    std::string error;
};
