#include "export/OutputLanding.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

#include "export/InterruptCleanup.h"

OutputFileSystemCalls outputFileSystemCalls = {::write, ::fsync, ::renameat};

namespace {

// Links followed before giving up, as the kernel does.
const int kMaxLinks = 40;
// Keeps ".<name>.XXXXXX" within a file name's length limit.
const size_t kMaxTemporaryStem = 200;
const int kTemporaryAttempts = 100;

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

// Follows the symbolic links of the name itself to the file they lead to,
// which may not exist yet (a dangling link creates its target). Returns 0 or
// the error that stopped the walk; throughProc tells a /proc name.
int FollowLinks(const std::string& name, std::string& target, bool& throughProc)
{
    std::string current = name;
    throughProc = false;
    for (int step = 0; step <= kMaxLinks; ++step) {
        if (InsideProc(current)) {
            target = current;
            throughProc = true;
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
    return 0;
}

mode_t CurrentUmask()
{
    const mode_t mask = umask(022);
    umask(mask);
    return mask;
}

// Six letters or digits for a temporary's name, as mkstemp would choose.
std::string RandomSuffix()
{
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static unsigned counter = 0;
    unsigned char bytes[6] = {};
    if (getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != ssize_t(sizeof bytes)) {
        const unsigned mixed = unsigned(getpid()) * 2654435761u + ++counter * 40503u;
        for (size_t i = 0; i < sizeof bytes; ++i) {
            bytes[i] = static_cast<unsigned char>(mixed >> (4 * i));
        }
    }
    std::string suffix;
    for (const unsigned char byte : bytes) {
        suffix += kLetters[byte % (sizeof kLetters - 1)];
    }
    return suffix;
}

// Holds back the signals the cleanup catches while a temporary is created and
// registered, so no signal can fall between the two.
class SignalsHeld {
public:
    SignalsHeld()
    {
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, &previous);
    }
    ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &previous, nullptr); }

private:
    sigset_t previous;
};

// Writes to FIFOs and devices wait for room as usual once opened.
void StopNonBlocking(int descriptor)
{
    const int flags = fcntl(descriptor, F_GETFL);
    if (flags >= 0 && (flags & O_NONBLOCK) != 0) {
        fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK);
    }
}

}  // namespace

ResolvedOutput ResolveOutput(const std::string& name)
{
    ResolvedOutput resolved;
    if (name.empty()) {
        resolved.error = ENOENT;
        return resolved;
    }
    bool& throughProc = resolved.throughProc;
    resolved.error = FollowLinks(name, resolved.target, throughProc);
    if (resolved.error != 0) {
        return resolved;
    }
    struct stat status {};
    if (stat(resolved.target.c_str(), &status) != 0) {
        if (errno != ENOENT || throughProc) {
            resolved.error = errno;
        }
        return resolved;  // a new name: a Replacement
    }
    if (S_ISDIR(status.st_mode)) {
        resolved.error = EISDIR;
    } else if (S_ISREG(status.st_mode)) {
        resolved.kind = throughProc ? OutputKind::InPlace : OutputKind::Replacement;
    } else if (S_ISFIFO(status.st_mode)) {
        resolved.kind = throughProc ? OutputKind::Pipe : OutputKind::Fifo;
    } else if (S_ISSOCK(status.st_mode)) {
        resolved.kind = OutputKind::Pipe;
    } else {
        resolved.kind = OutputKind::Device;
    }
    return resolved;
}

OutputLanding::~OutputLanding() { Abandon(); }

int OutputLanding::Open(const std::string& name)
{
    if (descriptor >= 0) {
        return EBUSY;
    }
    const ResolvedOutput resolved = ResolveOutput(name);
    if (resolved.error != 0) {
        return resolved.error;
    }
    kind = resolved.kind;
    int error = 0;
    if (resolved.throughProc) {
        error = OpenThroughProc(resolved.target);
    } else if (kind == OutputKind::Replacement) {
        error = OpenReplacement(resolved.target);
    } else {
        error = OpenDirect(name, kind == OutputKind::Fifo);
    }
    if (error != 0) {
        Abandon();
        return error;
    }
    NoteWhereItStands();
    return 0;
}

int OutputLanding::OpenReplacement(const std::string& target)
{
    const std::string base = BaseNameOf(target);
    if (base.empty() || base == "." || base == "..") {
        return EISDIR;
    }
    directory = open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory < 0) {
        return errno;
    }
    // Found now rather than at the rename, after the whole map is written.
    const long longestName = fpathconf(directory, _PC_NAME_MAX);
    if (longestName > 0 && base.size() > size_t(longestName)) {
        return ENAMETOOLONG;
    }
    targetName = base;
    struct stat old {};
    const bool exists = fstatat(directory, base.c_str(), &old, 0) == 0;
    // A file its owner made read-only stays protected, as it would from a
    // plain open for writing.
    if (exists && faccessat(directory, base.c_str(), W_OK, 0) != 0) {
        return errno;
    }
    {
        SignalsHeld held;
        for (int attempt = 0; attempt < kTemporaryAttempts && descriptor < 0; ++attempt) {
            const std::string name = "." + base.substr(0, kMaxTemporaryStem) + "." + RandomSuffix();
            descriptor = openat(directory, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (descriptor >= 0) {
                temporaryName = name;
                signalSlot = RegisterInterruptedTemporary(directory, name.c_str());
            } else if (errno != EEXIST) {
                return errno;
            }
        }
    }
    if (descriptor < 0) {
        return EEXIST;
    }
    // The new file looks like the one it replaces, or like any newly created
    // file (an exclusive create alone would leave it private to the owner).
    if (exists && (old.st_uid != geteuid() || old.st_gid != getegid())) {
        if (fchown(descriptor, old.st_uid, old.st_gid) != 0) {
            // Not permitted: the file becomes ours, as an editor's save would.
        }
    }
    const mode_t mode = exists ? (old.st_mode & 07777) : (0666 & ~CurrentUmask());
    if (fchmod(descriptor, mode) != 0) {
        return errno;
    }
    return 0;
}

int OutputLanding::OpenDirect(const std::string& name, bool fifo)
{
    descriptor = open(name.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        // Opened without waiting, a FIFO with no reader says ENXIO.
        return errno == ENXIO && fifo ? ENXIO : errno;
    }
    StopNonBlocking(descriptor);
    return 0;
}

// A file behind a /proc name is already open somewhere: it is neither
// created nor cut short here, so "--out /dev/stdout >> log" appends.
int OutputLanding::OpenThroughProc(const std::string& procName)
{
    const int own = OwnDescriptorNamed(procName);
    descriptor = own >= 0 ? fcntl(own, F_DUPFD_CLOEXEC, 0) : open(procName.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        return errno;
    }
    if (own < 0) {
        StopNonBlocking(descriptor);
    }
    // A descriptor the shell opened for reading only ("--out /dev/stdin")
    // would fail only at the first write, after the whole map is made.
    if ((fcntl(descriptor, F_GETFL) & O_ACCMODE) == O_RDONLY) {
        return EBADF;
    }
    return 0;
}

void OutputLanding::NoteWhereItStands()
{
    const int flags = fcntl(descriptor, F_GETFL);
    appending = flags >= 0 && (flags & O_APPEND) != 0;
    origin = 0;
    if (!Replacing()) {
        const off_t at = lseek(descriptor, 0, SEEK_CUR);
        origin = at > 0 ? uint64_t(at) : 0;
    }
}

int OutputLanding::Finish()
{
    if (descriptor < 0) {
        return EBADF;
    }
    int error = 0;
    if (Replacing() && outputFileSystemCalls.fsync(descriptor) != 0) {
        error = errno;
    }
    // Linux releases the descriptor even when close is interrupted.
    if (close(descriptor) != 0 && errno != EINTR && error == 0) {
        error = errno;
    }
    descriptor = -1;
    return error;
}

int OutputLanding::Publish()
{
    if (!Replacing() || temporaryName.empty()) {
        return 0;
    }
    if (outputFileSystemCalls.renameat(directory, temporaryName.c_str(), directory, targetName.c_str()) != 0) {
        return errno;
    }
    ForgetInterruptedTemporary(signalSlot);
    signalSlot = -1;
    temporaryName.clear();
    return 0;
}

void OutputLanding::SyncDirectory()
{
    // Makes the renames durable. The names already hold the new files, so a
    // failure here is not reported.
    if (directory >= 0) {
        fsync(directory);
    }
}

void OutputLanding::Abandon()
{
    if (descriptor >= 0) {
        close(descriptor);
        descriptor = -1;
    }
    if (!temporaryName.empty()) {
        unlinkat(directory, temporaryName.c_str(), 0);
        temporaryName.clear();
    }
    Forget();
}

void OutputLanding::Forget()
{
    ForgetInterruptedTemporary(signalSlot);
    signalSlot = -1;
    Unlock();
    if (directory >= 0) {
        close(directory);
        directory = -1;
    }
}

void OutputLanding::Lock()
{
    if (directory >= 0 && !locked) {
        locked = flock(directory, LOCK_EX) == 0;
    }
}

void OutputLanding::Unlock()
{
    if (locked) {
        flock(directory, LOCK_UN);
        locked = false;
    }
}
