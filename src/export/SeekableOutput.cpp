#include "export/SeekableOutput.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr size_t kBufferSize = 1 << 20;

}  // namespace

SeekableOutput::SeekableOutput(OutputFile& out)
{
    if (out.Failed() || !out.Flush()) {
        error = "the file has already failed";
        return;
    }
    if (!out.Seekable()) {
        error = "this format seeks back to finish the file, and the output cannot seek (a pipe?)";
        return;
    }
    descriptor = out.Descriptor();
    base = lseek(descriptor, 0, SEEK_CUR);
    if (base < 0) {
        Refuse(std::string("cannot seek: ") + std::strerror(errno));
        return;
    }
    buffer.resize(kBufferSize);
}

bool SeekableOutput::Refuse(const std::string& reason)
{
    if (error.empty()) {
        error = reason;
    }
    return false;
}

bool SeekableOutput::Drain()
{
    const char* bytes = buffer.data();
    size_t left = buffered;
    uint64_t at = bufferStart;
    while (left > 0) {
        const ssize_t written = pwrite(descriptor, bytes, left, static_cast<off_t>(base + at));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return Refuse(std::string("write failed: ") + std::strerror(written < 0 ? errno : EIO));
        }
        bytes += written;
        left -= static_cast<size_t>(written);
        at += static_cast<uint64_t>(written);
    }
    buffered = 0;
    return true;
}

bool SeekableOutput::Write(const void* bytes, size_t size)
{
    if (!Ready()) {
        return false;
    }
    if (position != bufferStart + buffered) {
        if (!Drain()) {
            return false;
        }
        bufferStart = position;
    }
    const char* from = static_cast<const char*>(bytes);
    while (size > 0) {
        if (buffered == buffer.size()) {
            if (!Drain()) {
                return false;
            }
            bufferStart = position;
        }
        const size_t part = std::min(size, buffer.size() - buffered);
        std::memcpy(buffer.data() + buffered, from, part);
        buffered += part;
        from += part;
        size -= part;
        position += part;
    }
    end = std::max(end, position);
    return true;
}

size_t SeekableOutput::Read(void* bytes, size_t size)
{
    if (!Ready() || !Drain()) {
        return 0;
    }
    bufferStart = position;
    const ssize_t got = pread(descriptor, bytes, size, static_cast<off_t>(base + position));
    if (got <= 0) {
        return 0;
    }
    position += static_cast<uint64_t>(got);
    bufferStart = position;
    return static_cast<size_t>(got);
}

bool SeekableOutput::Seek(uint64_t target)
{
    if (!Ready()) {
        return false;
    }
    position = target;
    return true;
}

bool SeekableOutput::Finish()
{
    if (!Ready() || !Drain()) {
        return false;
    }
    if (lseek(descriptor, static_cast<off_t>(base + end), SEEK_SET) < 0) {
        return Refuse(std::string("cannot seek: ") + std::strerror(errno));
    }
    return true;
}
