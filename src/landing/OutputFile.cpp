#include "landing/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace {

// Large enough that a map of hundreds of megabytes costs few system calls.
const size_t kBufferSize = size_t(1) << 20;

}  // namespace

OutputFile::~OutputFile() { Abandon(); }

bool OutputFile::Open(const std::string& name)
{
    if (Failed()) {
        return false;
    }
    if (landing.Descriptor() >= 0 || finished) {
        return Fail("a second file opened through one output");
    }
    path = name;
    const int problem = landing.Open(path);
    if (problem != 0) {
        return FailOpening(problem);
    }
    buffer.resize(kBufferSize);
    return true;
}

bool OutputFile::Write(const void* bytes, size_t size)
{
    if (Failed()) {
        return false;
    }
    if (landing.Descriptor() < 0 || finished) {
        return Fail("no file is open");
    }
    if (size > buffer.size() - buffered) {
        if (!Drain()) {
            return false;
        }
    }
    if (size >= buffer.size()) {
        const char* from = static_cast<const char*>(bytes);
        while (size > 0) {
            const ssize_t written = outputFileSystemCalls.write(landing.Descriptor(), from, size);
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written <= 0) {
                return FailWriting(written < 0 ? errno : EIO);
            }
            from += written;
            size -= size_t(written);
        }
        return true;
    }
    memcpy(buffer.data() + buffered, bytes, size);
    buffered += size;
    return true;
}

bool OutputFile::Drain()
{
    size_t done = 0;
    while (done < buffered) {
        const ssize_t written =
            outputFileSystemCalls.write(landing.Descriptor(), buffer.data() + done, buffered - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return FailWriting(written < 0 ? errno : EIO);
        }
        done += size_t(written);
    }
    buffered = 0;
    return true;
}

int OutputFile::Descriptor() const { return Failed() || finished ? -1 : landing.Descriptor(); }

FILE* OutputFile::Stream() const
{
    if (Failed() || finished || landing.Descriptor() < 0) {
        return nullptr;
    }
    if (stream == nullptr) {
        // Over a copy, which shares the offset: closing the stream then
        // leaves the landing's own descriptor to be fsync'd and closed.
        const int copy = fcntl(landing.Descriptor(), F_DUPFD_CLOEXEC, 0);
        stream = copy < 0 ? nullptr : fdopen(copy, "wb");
        if (stream == nullptr && copy >= 0) {
            close(copy);
        }
    }
    return stream;
}

bool OutputFile::Flush()
{
    if (Failed()) {
        return false;
    }
    if (landing.Descriptor() < 0 || finished) {
        return Fail("no file is open");
    }
    if (!Drain()) {
        return false;
    }
    if (stream != nullptr && fflush(stream) != 0) {
        return FailWriting(errno);
    }
    return true;
}

bool OutputFile::RequireSeeking()
{
    if (Failed()) {
        return false;
    }
    if (landing.Descriptor() >= 0 && landing.Appending()) {
        return Fail("this format seeks back to finish the file, and the output appends (>>): name the file "
                    "with --out instead");
    }
    if (!Seekable()) {
        return Fail("this format seeks back to finish the file, and the output cannot seek (a pipe?)");
    }
    return true;
}

bool OutputFile::Seek(uint64_t position)
{
    if (Failed() || !Drain()) {
        return false;
    }
    if (lseek(landing.Descriptor(), static_cast<off_t>(landing.Origin() + position), SEEK_SET) < 0) {
        return FailWriting(errno);
    }
    return true;
}

uint64_t OutputFile::Tell() const
{
    if (Failed() || landing.Descriptor() < 0) {
        return 0;
    }
    const off_t at = lseek(landing.Descriptor(), 0, SEEK_CUR);
    if (at < 0 || uint64_t(at) < landing.Origin()) {
        return 0;
    }
    return static_cast<uint64_t>(at) - landing.Origin() + buffered;
}

uint64_t OutputFile::Size()
{
    struct stat status {};
    if (Failed() || !Drain() || fstat(landing.Descriptor(), &status) != 0 ||
        uint64_t(status.st_size) < landing.Origin()) {
        return 0;
    }
    return static_cast<uint64_t>(status.st_size) - landing.Origin();
}

size_t OutputFile::Read(void* bytes, size_t size)
{
    if (Failed() || !Drain()) {
        return 0;
    }
    ssize_t got = 0;
    do {
        got = read(landing.Descriptor(), bytes, size);
    } while (got < 0 && errno == EINTR);
    return got > 0 ? static_cast<size_t>(got) : 0;
}

bool OutputFile::Seekable() const
{
    if (Failed() || finished || landing.Descriptor() < 0) {
        return false;
    }
    if (landing.Kind() == OutputKind::Fifo || landing.Kind() == OutputKind::Pipe) {
        return false;
    }
    return landing.Replacing() || lseek(landing.Descriptor(), 0, SEEK_CUR) != -1;
}

bool OutputFile::Finish()
{
    if (Failed()) {
        return false;
    }
    if (finished) {
        return true;
    }
    if (!Flush()) {
        return false;
    }
    if (stream != nullptr) {
        FILE* const closing = stream;
        stream = nullptr;
        if (fclose(closing) != 0) {
            return FailWriting(errno);
        }
    }
    const int problem = landing.Finish();
    if (problem != 0) {
        return FailWriting(problem);
    }
    finished = true;
    return true;
}

bool OutputFile::Publish()
{
    if (Failed()) {
        return false;
    }
    const int problem = landing.Publish();
    if (problem != 0) {
        return FailWriting(problem);
    }
    committed = true;
    return true;
}

void OutputFile::Settle()
{
    landing.SyncDirectory();
    landing.Abandon();  // closes the directory; the temporary is already gone
}

bool OutputFile::Commit()
{
    if (committed) {
        return !Failed();
    }
    if (!Finish() || !Publish()) {
        return false;
    }
    Settle();
    return true;
}

bool OutputFile::CommitIfAbsent(bool& landed)
{
    landed = false;
    if (!Finish()) {
        return false;
    }
    const int problem = landing.PublishIfAbsent();
    if (problem == EEXIST) {
        Abandon();
        return true;
    }
    if (problem != 0) {
        return FailWriting(problem);
    }
    committed = true;
    landed = true;
    Settle();
    return true;
}

bool OutputFile::Fail(const std::string& reason)
{
    if (Failed()) {
        return false;
    }
    return FailWith("writing \"" + path + "\" failed: " + reason);
}

bool OutputFile::FailWriting(int problem) { return Fail(strerror(problem)); }

bool OutputFile::FailOpening(int problem)
{
    return FailWith("cannot open \"" + path + "\": " + OutputProblem(problem));
}

bool OutputFile::FailWith(std::string sentence)
{
    failure = std::move(sentence);
    Abandon();
    return false;
}

void OutputFile::Abandon()
{
    if (committed) {
        return;
    }
    if (stream != nullptr) {
        fclose(stream);
        stream = nullptr;
    }
    buffered = 0;
    landing.Abandon();
}
