#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>

// How reading a set's own small file (its record, its stage) ended.
struct RegularFileRead {
    int failure = 0;          // errno of a failed open, fstat or read
    bool notRegular = false;  // a directory, a FIFO, a device: not read
    bool tooLong = false;     // longer than the caller takes: not read
    uint64_t size = 0;        // the file's size, once known

    bool Read() const { return failure == 0 && !notRegular && !tooLong; }
};

// Reads the file at `path` whole into `bytes` (any container of bytes with
// insert(end, first, last)), if it is a regular file of at most `largest`
// bytes. It is opened without waiting, so a FIFO put in its place cannot
// block the run, and a short read is retried.
template <typename Bytes>
RegularFileRead ReadRegularFile(const std::string& path, uint64_t largest, Bytes& bytes)
{
    RegularFileRead result;
    const int descriptor = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        result.failure = errno;
        return result;
    }
    struct stat found {};
    if (fstat(descriptor, &found) != 0) {
        result.failure = errno;
    } else {
        result.size = uint64_t(found.st_size);
        result.notRegular = !S_ISREG(found.st_mode);
        result.tooLong = !result.notRegular && result.size > largest;
    }
    char chunk[1 << 16];
    while (result.Read()) {
        const ssize_t got = read(descriptor, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            result.failure = got < 0 ? errno : 0;
            break;
        }
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    close(descriptor);
    return result;
}
