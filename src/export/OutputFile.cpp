#include "export/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "terrain/TerrainParameters.h"

namespace {

// Large enough that a map of hundreds of megabytes costs few system calls.
const size_t kBufferSize = size_t(1) << 20;

std::string OpeningProblem(int error)
{
    if (error == ENXIO) {
        // What ENXIO means for a FIFO opened without waiting.
        return "no process is reading this FIFO (start its reader first)";
    }
    return strerror(error);
}

}  // namespace

OutputFile::OutputFile(std::string label) : label(std::move(label)) {}

OutputFile::~OutputFile()
{
    if (!committed) {
        Abandon();
    }
}

bool OutputFile::Open(const std::string& name)
{
    if (failed) {
        return false;
    }
    if (landing.Descriptor() >= 0 || finished) {
        return Fail("a second file opened through one output");
    }
    path = name;
    const int error = landing.Open(path);
    if (error != 0) {
        return FailOpening(error);
    }
    buffer.resize(kBufferSize);
    return true;
}

bool OutputFile::Write(const void* bytes, size_t size)
{
    if (failed) {
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

int OutputFile::Descriptor() const { return failed || finished ? -1 : landing.Descriptor(); }

FILE* OutputFile::Stream() const
{
    if (failed || finished || landing.Descriptor() < 0) {
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
    if (failed) {
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
    if (failed) {
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
    if (failed || !Drain()) {
        return false;
    }
    if (lseek(landing.Descriptor(), static_cast<off_t>(landing.Origin() + position), SEEK_SET) < 0) {
        return FailWriting(errno);
    }
    return true;
}

uint64_t OutputFile::Tell() const
{
    if (failed || landing.Descriptor() < 0) {
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
    if (failed || !Drain() || fstat(landing.Descriptor(), &status) != 0 ||
        uint64_t(status.st_size) < landing.Origin()) {
        return 0;
    }
    return static_cast<uint64_t>(status.st_size) - landing.Origin();
}

size_t OutputFile::Read(void* bytes, size_t size)
{
    if (failed || !Drain()) {
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
    if (failed || finished || landing.Descriptor() < 0) {
        return false;
    }
    if (landing.Replacing()) {
        return true;
    }
    if (landing.Kind() == OutputKind::Fifo || landing.Kind() == OutputKind::Pipe) {
        return false;
    }
    return lseek(landing.Descriptor(), 0, SEEK_CUR) != -1;
}

bool OutputFile::Finish()
{
    if (failed) {
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
    const int error = landing.Finish();
    if (error != 0) {
        return FailWriting(error);
    }
    finished = true;
    return true;
}

bool OutputFile::Publish()
{
    if (failed) {
        return false;
    }
    const int error = landing.Publish();
    if (error != 0) {
        return FailWriting(error);
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
        return !failed;
    }
    if (!Finish() || !Publish()) {
        return false;
    }
    Settle();
    return true;
}

bool OutputFile::CommitTogether(const std::vector<OutputFile*>& files)
{
    for (OutputFile* file : files) {
        if (!file->Finish()) {
            for (OutputFile* other : files) {
                other->Abandon();
            }
            return false;
        }
    }
    if (!files.empty()) {
        files.front()->landing.Lock();
    }
    bool published = true;
    for (OutputFile* file : files) {
        published = published && file->Publish();
    }
    if (!files.empty()) {
        files.front()->landing.Unlock();
    }
    for (OutputFile* file : files) {
        if (file->committed) {
            file->Settle();
        } else {
            file->Abandon();
        }
    }
    return published;
}

bool OutputFile::Fail(const std::string& reason)
{
    if (failed) {
        return false;
    }
    fprintf(stderr, "%s: writing \"%s\" failed: %s\n", label.c_str(), OneLine(path).c_str(),
            OneLine(reason).c_str());
    failed = true;
    Abandon();
    return false;
}

bool OutputFile::FailWriting(int error) { return Fail(strerror(error)); }

bool OutputFile::FailOpening(int error)
{
    fprintf(stderr, "%s: cannot open \"%s\": %s\n", label.c_str(), OneLine(path).c_str(),
            OpeningProblem(error).c_str());
    failed = true;
    Abandon();
    return false;
}

void OutputFile::Abandon()
{
    if (stream != nullptr) {
        fclose(stream);
        stream = nullptr;
    }
    buffered = 0;
    landing.Abandon();
}
