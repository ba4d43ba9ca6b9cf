#include "export/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

OutputFileSystemCalls outputFileSystemCalls = {::write, ::fsync, ::rename};

namespace {

// Large enough that a map of hundreds of megabytes costs few system calls.
const size_t kBufferSize = size_t(1) << 20;
// Links followed before giving up, as the kernel does.
const int kMaxLinks = 40;
// Keeps ".<name>.XXXXXX" within a file name's length limit.
const size_t kMaxTemporaryStem = 200;

std::string DirectoryOf(const std::string& name)
{
    const size_t slash = name.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : name.substr(0, slash);
}

std::string BaseNameOf(const std::string& name)
{
    const size_t slash = name.rfind('/');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

// The directory holding name, with every link resolved; empty if it cannot
// be resolved.
std::string RealDirectoryOf(const std::string& name)
{
    char* directory = realpath(DirectoryOf(name).c_str(), nullptr);
    if (directory == nullptr) {
        return "";
    }
    const std::string real = directory;
    free(directory);
    return real;
}

// Names under /proc (/dev/stdout, /dev/fd/N) are links to open descriptors,
// not to files that could be replaced: they are written directly.
bool InsideProc(const std::string& name)
{
    const std::string directory = RealDirectoryOf(name);
    return directory == "/proc" || directory.rfind("/proc/", 0) == 0;
}

// The descriptor of this process that a /proc name such as /proc/self/fd/1
// stands for, or -1. Writing through a copy of it keeps what the shell set
// up: its offset, and its appending for ">>".
int OwnDescriptorNamed(const std::string& procName)
{
    const bool own = RealDirectoryOf(procName) == "/proc/" + std::to_string(getpid()) + "/fd";
    const std::string base = BaseNameOf(procName);
    if (!own || base.empty() || base.size() > 9 || base.find_first_not_of("0123456789") != std::string::npos) {
        return -1;
    }
    return std::stoi(base);
}

// The temporary being written, for the signal handler: the name is copied
// in before `temporaryKnown` is set and cleared after it is reset, so the
// handler never reads half a name. One export at a time per process.
char signalledTemporary[PATH_MAX + 1];
volatile sig_atomic_t temporaryKnown = 0;

void KnowTemporary(const std::string& name)
{
    temporaryKnown = 0;
    if (name.size() <= PATH_MAX) {
        memcpy(signalledTemporary, name.c_str(), name.size() + 1);
        temporaryKnown = 1;
    }
}

void ForgetTemporary() { temporaryKnown = 0; }

void RemoveTemporaryAndEnd(int signalNumber)
{
    if (temporaryKnown) {
        unlink(signalledTemporary);
    }
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

enum class Landing { Replace, Direct };

// Follows the symbolic links of the name itself to the file they lead to,
// which may not exist yet (a dangling link creates its target). Returns 0 or
// the error that stopped the walk.
int FollowLinks(const std::string& name, std::string& target, Landing& landing)
{
    std::string current = name;
    for (int step = 0; step <= kMaxLinks; ++step) {
        if (InsideProc(current)) {
            target = current;
            landing = Landing::Direct;
            return 0;
        }
        struct stat status {};
        if (lstat(current.c_str(), &status) != 0) {
            if (errno != ENOENT) {
                return errno;
            }
            break;  // a new file; a missing directory shows when it is made
        }
        if (!S_ISLNK(status.st_mode)) {
            break;
        }
        std::vector<char> link(size_t(status.st_size > 0 ? status.st_size : PATH_MAX) + 1);
        const ssize_t length = readlink(current.c_str(), link.data(), link.size());
        if (length < 0) {
            return errno;
        }
        if (size_t(length) >= link.size()) {
            return ENAMETOOLONG;  // the link changed while it was read
        }
        const std::string next(link.data(), size_t(length));
        current = next[0] == '/' ? next : DirectoryOf(current) + "/" + next;
        if (step == kMaxLinks) {
            return ELOOP;
        }
    }
    target = current;
    landing = Landing::Replace;
    return 0;
}

mode_t CurrentUmask()
{
    const mode_t mask = umask(022);
    umask(mask);
    return mask;
}

// Makes the rename itself durable. The name already holds the new file, so a
// failure here is not reported.
void SyncDirectory(const std::string& directory)
{
    const int descriptor = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor >= 0) {
        fsync(descriptor);
        close(descriptor);
    }
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
    if (descriptor >= 0 || committed) {
        return Fail("a second file opened through one output");
    }
    path = name;
    if (path.empty()) {
        return FailOpening(ENOENT);
    }
    struct stat status {};
    if (stat(path.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode)) {
            return FailOpening(EISDIR);
        }
        if (!S_ISREG(status.st_mode)) {
            return OpenDirect();
        }
    } else if (errno != ENOENT) {
        return FailOpening(errno);
    }
    std::string target;
    Landing landing = Landing::Replace;
    const int error = FollowLinks(path, target, landing);
    if (error != 0) {
        return FailOpening(error);
    }
    return landing == Landing::Direct ? OpenThroughProc(target) : OpenReplacement(target);
}

bool OutputFile::OpenReplacement(const std::string& target)
{
    const std::string base = BaseNameOf(target);
    if (base.empty() || base == "." || base == "..") {
        return FailOpening(EISDIR);
    }
    struct stat old {};
    const bool exists = stat(target.c_str(), &old) == 0;
    // A file its owner made read-only stays protected, as it would from a
    // plain open for writing.
    if (exists && access(target.c_str(), W_OK) != 0) {
        return FailOpening(errno);
    }
    std::string pattern = DirectoryOf(target) + "/." + base.substr(0, kMaxTemporaryStem) + ".XXXXXX";
    descriptor = mkostemp(&pattern[0], O_CLOEXEC);
    if (descriptor < 0) {
        return FailOpening(errno);
    }
    temporaryPath = pattern;
    KnowTemporary(temporaryPath);
    targetPath = target;
    replacing = true;
    // The new file looks like the one it replaces, or like any newly created
    // file (mkstemp alone would leave it private to the owner).
    if (exists && (old.st_uid != geteuid() || old.st_gid != getegid())) {
        if (fchown(descriptor, old.st_uid, old.st_gid) != 0) {
            // Not permitted: the file becomes ours, as an editor's save would.
        }
    }
    const mode_t mode = exists ? (old.st_mode & 07777) : (0666 & ~CurrentUmask());
    if (fchmod(descriptor, mode) != 0) {
        return FailOpening(errno);
    }
    buffer.resize(kBufferSize);
    return true;
}

bool OutputFile::OpenDirect()
{
    descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (descriptor < 0) {
        return FailOpening(errno);
    }
    replacing = false;
    buffer.resize(kBufferSize);
    return true;
}

// A file behind a /proc name is already open somewhere: it is neither
// created nor cut short here, so "--out /dev/stdout >> log" appends.
bool OutputFile::OpenThroughProc(const std::string& procName)
{
    const int own = OwnDescriptorNamed(procName);
    descriptor = own >= 0 ? fcntl(own, F_DUPFD_CLOEXEC, 0) : open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (descriptor < 0) {
        return FailOpening(errno);
    }
    replacing = false;
    buffer.resize(kBufferSize);
    return true;
}

bool OutputFile::Write(const void* bytes, size_t size)
{
    if (failed) {
        return false;
    }
    if (descriptor < 0 || committed) {
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
            const ssize_t written = outputFileSystemCalls.write(descriptor, from, size);
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
        const ssize_t written = outputFileSystemCalls.write(descriptor, buffer.data() + done, buffered - done);
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

int OutputFile::Descriptor() const { return failed || committed ? -1 : descriptor; }

FILE* OutputFile::Stream() const
{
    if (failed || committed || descriptor < 0) {
        return nullptr;
    }
    if (stream == nullptr) {
        stream = fdopen(descriptor, "wb");
    }
    return stream;
}

bool OutputFile::Flush()
{
    if (failed) {
        return false;
    }
    if (descriptor < 0 || committed) {
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
    if (lseek(descriptor, static_cast<off_t>(position), SEEK_SET) < 0) {
        return FailWriting(errno);
    }
    return true;
}

uint64_t OutputFile::Tell() const
{
    if (failed || descriptor < 0) {
        return 0;
    }
    const off_t at = lseek(descriptor, 0, SEEK_CUR);
    return at < 0 ? 0 : static_cast<uint64_t>(at) + buffered;
}

uint64_t OutputFile::Size()
{
    struct stat status {};
    if (failed || !Drain() || fstat(descriptor, &status) != 0) {
        return 0;
    }
    return static_cast<uint64_t>(status.st_size);
}

size_t OutputFile::Read(void* bytes, size_t size)
{
    if (failed || !Drain()) {
        return 0;
    }
    ssize_t got = 0;
    do {
        got = read(descriptor, bytes, size);
    } while (got < 0 && errno == EINTR);
    return got > 0 ? static_cast<size_t>(got) : 0;
}

bool OutputFile::Seekable() const
{
    if (failed || committed || descriptor < 0) {
        return false;
    }
    return replacing || lseek(descriptor, 0, SEEK_CUR) != -1;
}

bool OutputFile::Commit()
{
    if (failed) {
        return false;
    }
    if (committed) {
        return true;
    }
    if (!Flush()) {
        return false;
    }
    if (replacing && outputFileSystemCalls.fsync(descriptor) != 0) {
        return FailWriting(errno);
    }
    if (!CloseDescriptor()) {
        return FailWriting(errno);
    }
    if (replacing) {
        if (outputFileSystemCalls.rename(temporaryPath.c_str(), targetPath.c_str()) != 0) {
            return FailWriting(errno);
        }
        ForgetTemporary();
        temporaryPath.clear();
        SyncDirectory(DirectoryOf(targetPath));
    }
    committed = true;
    return true;
}

bool OutputFile::CloseDescriptor()
{
    const int closing = descriptor;
    FILE* const closingStream = stream;
    descriptor = -1;
    stream = nullptr;
    const int result = closingStream != nullptr ? fclose(closingStream) : close(closing);
    // Linux releases the descriptor even when close is interrupted.
    return result == 0 || errno == EINTR;
}

bool OutputFile::Fail(const std::string& reason)
{
    if (failed) {
        return false;
    }
    fprintf(stderr, "%s: writing \"%s\" failed: %s\n", label.c_str(), path.c_str(), reason.c_str());
    failed = true;
    Abandon();
    return false;
}

bool OutputFile::FailWriting(int error) { return Fail(strerror(error)); }

bool OutputFile::FailOpening(int error)
{
    fprintf(stderr, "%s: cannot open \"%s\": %s\n", label.c_str(), path.c_str(), strerror(error));
    failed = true;
    Abandon();
    return false;
}

void OutputFile::Abandon()
{
    if (stream != nullptr) {
        fclose(stream);
    } else if (descriptor >= 0) {
        close(descriptor);
    }
    stream = nullptr;
    descriptor = -1;
    buffered = 0;
    if (!temporaryPath.empty()) {
        unlink(temporaryPath.c_str());
        ForgetTemporary();
        temporaryPath.clear();
    }
}

void OutputFile::RemoveTemporaryOnSignals()
{
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction action {};
        action.sa_handler = RemoveTemporaryAndEnd;
        sigemptyset(&action.sa_mask);
        sigaction(signalNumber, &action, nullptr);
    }
}
