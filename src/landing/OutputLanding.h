#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

#include "landing/OutputTarget.h"

// The open destination: a descriptor and, for a Replacement, the hidden
// temporary and the directory it is renamed in. The temporary is created
// relative to the directory's descriptor under a short name, so any name the
// system accepts can be replaced, and it is registered for removal on a fatal
// signal. Every method returns 0 or an errno; nothing here prints.
class OutputLanding {
public:
    OutputLanding() = default;
    ~OutputLanding();  // Abandon()
    OutputLanding(const OutputLanding&) = delete;
    OutputLanding& operator=(const OutputLanding&) = delete;

    // Opens the destination. A FIFO is opened without waiting: with no
    // reader this fails at once with ENXIO instead of blocking.
    int Open(const std::string& name);

    int Descriptor() const { return descriptor; }
    // The directory a Replacement is renamed in, open; -1 for a direct output.
    int DirectoryDescriptor() const { return directory; }
    OutputKind Kind() const { return kind; }
    bool Replacing() const { return kind == OutputKind::Replacement; }
    // Where the file starts: the descriptor's offset when it was opened
    // (a shell may have written before the tool), 0 for a temporary.
    uint64_t Origin() const { return origin; }
    // Whether every write goes to the end whatever the offset (">>").
    bool Appending() const { return appending; }

    // fsync (a temporary only) and close. The descriptor is gone after, even
    // on failure.
    int Finish();
    // Renames the finished temporary over the target; nothing for a direct
    // output. SyncDirectory then makes the rename durable: kept apart so that
    // several renames follow one another closely and are synced after.
    int Publish();
    // Publish, but only where no file has the name yet: the temporary is
    // linked to it (EEXIST, and nothing changed, when the name is taken),
    // so of two writers at once exactly one lands, on any file system
    // that has hard links. Then SyncDirectory, as after Publish.
    int PublishIfAbsent();
    void SyncDirectory();
    // Closes the descriptor and removes the temporary, if any.
    void Abandon();

    // Takes an exclusive lock on the directory the temporary is renamed in,
    // held until Unlock, so that cooperating writers publish a group of
    // files one group at a time. A direct output has nothing to lock.
    void Lock();
    void Unlock();

private:
    int OpenReplacement(const std::string& target);
    int OpenDirect(const std::string& name, bool fifo);
    int OpenThroughProc(const std::string& name);
    void NoteWhereItStands();
    void Forget();

    OutputKind kind = OutputKind::Replacement;
    int descriptor = -1;
    int directory = -1;
    int signalSlot = -1;
    uint64_t origin = 0;
    bool appending = false;
    bool locked = false;
    std::string temporaryName;  // inside directory
    std::string targetName;     // inside directory
};

// The system calls whose failure decides an export's outcome. Tests replace
// entries to make a write, fsync or rename fail on cue, and put them back.
struct OutputFileSystemCalls {
    ssize_t (*write)(int descriptor, const void* bytes, size_t size);
    int (*fsync)(int descriptor);
    int (*renameat)(int fromDirectory, const char* from, int toDirectory, const char* to);
};
extern OutputFileSystemCalls outputFileSystemCalls;
