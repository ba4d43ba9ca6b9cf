#pragma once

#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#include "landing/OutputFile.h"
#include "terrain/Array2D.h"

// A map of reproducible values in [0, 1], every row different, with the
// values that test a mapping's edges planted in its first and last rows:
// 0 and 1, exact halves of the 16-bit step (0.5 gives 32767.5), the
// smallest float above 0 and the largest below 1.
inline Array2D<float> MakeTestMap(unsigned width, unsigned height, uint32_t seed = 7)
{
    Array2D<float> map(width, height);
    std::mt19937 random(seed);
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            map.At(int(x), int(y)) = float(random() >> 8) / float(1 << 24);
        }
    }
    const float edges[] = {0.0f, 1.0f, 0.5f, 0.25f, std::nextafter(0.0f, 1.0f), std::nextafter(1.0f, 0.0f),
                           float(0.5 / 65535.0), float(65534.5 / 65535.0)};
    for (unsigned k = 0; k < sizeof edges / sizeof edges[0] && k < width; ++k) {
        map.At(int(k), 0) = edges[k];
        map.At(int(width - 1 - k), int(height - 1)) = edges[k];
    }
    return map;
}

inline uint32_t Bits(float value)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// The 16-bit sample a height should become, worked out here in long double
// arithmetic: clamp to [0, 1], round half up.
inline uint16_t ExpectedSample16(float value)
{
    long double scaled = static_cast<long double>(value) * 65535.0L;
    if (!(scaled > 0.0L)) {
        return 0;
    }
    if (scaled > 65535.0L) {
        scaled = 65535.0L;
    }
    return static_cast<uint16_t>(std::floor(scaled + 0.5L));
}

// Writes through an OutputFile the way the tool does: open, write, commit.
// Returns whether all three succeeded; errors gets the line the tool prints
// for a failure (the file's Error()), and the writers themselves print
// nothing.
template <typename Write>
bool WriteThroughOutputFile(const std::string& path, Write write, std::string* errors = nullptr)
{
    testing::internal::CaptureStderr();
    bool written = false;
    std::string failure;
    {
        OutputFile out;
        written = out.Open(path) && write(out) && out.Commit();
        failure = out.Error();
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    if (errors != nullptr) {
        *errors = failure.empty() ? "" : failure + "\n";
    }
    return written;
}

inline int CountLines(const std::string& text)
{
    int lines = 0;
    for (const char c : text) {
        lines += c == '\n';
    }
    return lines;
}

// While alive, no file may grow past the given size: a write beyond it fails
// with EFBIG, as on a full disk, and the signal that would kill the process
// is ignored.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &previous);
        previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = previous;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, previousHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit previous{};
    void (*previousHandler)(int) = nullptr;
};

// A pipe whose write end has a file name (/proc/self/fd/N), for writers that
// need to seek; the read end stays open so opening the name does not block.
class NamedPipe {
public:
    NamedPipe()
    {
        if (pipe(ends) != 0) {
            ends[0] = ends[1] = -1;
        }
    }
    ~NamedPipe()
    {
        close(ends[0]);
        close(ends[1]);
    }
    NamedPipe(const NamedPipe&) = delete;
    NamedPipe& operator=(const NamedPipe&) = delete;

    std::string Path() const { return "/proc/self/fd/" + std::to_string(ends[1]); }

    // Bytes waiting in the pipe, read without blocking.
    size_t Pending() const
    {
        int count = 0;
        return ioctl(ends[0], FIONREAD, &count) == 0 ? size_t(count) : 0;
    }

private:
    int ends[2] = {-1, -1};
};
