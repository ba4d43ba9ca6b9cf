#include "landing/OutputLanding.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "landing/InterruptCleanup.h"

OutputFileSystemCalls outputFileSystemCalls = {::write, ::fsync, ::renameat};

namespace {

// Keeps ".<name>.XXXXXX" within a file name's length limit.
const size_t kMaxTemporaryStem = 200;
const int kTemporaryAttempts = 100;

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
                if (signalSlot < 0) {
                    // A temporary a signal could leave behind is not made.
                    Abandon();
                    return EMFILE;
                }
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

int OutputLanding::PublishIfAbsent()
{
    if (!Replacing() || temporaryName.empty()) {
        return EINVAL;
    }
    if (linkat(directory, temporaryName.c_str(), directory, targetName.c_str(), 0) != 0) {
        return errno;
    }
    unlinkat(directory, temporaryName.c_str(), 0);
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
