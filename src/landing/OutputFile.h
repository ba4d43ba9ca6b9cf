#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "landing/OutputLanding.h"

// The one way every export reaches the disk: how its bytes are written
// (buffered, seeked, read back), over an OutputLanding that decides where
// they land. A regular file or a new name is written into a temporary beside
// it, fsync'd and renamed over the name on Commit, so the name holds its old
// bytes or the complete new ones, never a part (a symbolic link is followed
// and kept). A FIFO or a device is written directly; a FIFO with no reader is
// refused at once rather than waited on.
//
// Nothing here prints: the first failure is kept, Error(), for the program
// to show; the file is then abandoned (the temporary removed, the name left
// as it was) and every later call returns false. No temporary file outlives
// the object.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();  // Abandon()
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool Open(const std::string& path);

    // What the opened output is; known before any byte is written.
    OutputKind Kind() const { return landing.Kind(); }

    // Appends bytes; buffered.
    bool Write(const void* bytes, size_t size);

    // For libraries that write through descriptors or stdio themselves
    // (libtiff, OpenEXR): call Flush after any buffered Write and before
    // handing these out, and again after the library is done and before the
    // next Write or Commit. The library may write and lseek through them but
    // not close them (give it dup(Descriptor()) if it insists). Descriptor()
    // is -1 and Stream() null when no file is open; Seekable says whether it
    // may seek (a temporary file can; a FIFO cannot).
    int Descriptor() const;
    FILE* Stream() const;
    bool Flush();
    bool Seekable() const;

    // For formats that go back to fill in what they wrote earlier (OpenEXR's
    // line offsets, libtiff's directory): positions are offsets from where
    // the file starts, which for a descriptor a shell handed over is where it
    // stood when opened, so the bytes from there on are the whole file.
    // Seek and Read first write out what is buffered. Tell and Size are 0,
    // and Read reads nothing, once the file has failed.
    // RequireSeeking fails, saying why, when the output cannot seek or
    // appends (every write would land at the end, whatever the offset).
    bool RequireSeeking();
    bool Seek(uint64_t position);
    uint64_t Tell() const;
    uint64_t Size();
    size_t Read(void* bytes, size_t size);

    // A library reported an error: abandon the file with this reason.
    // Always returns false, so callers can `return output.Fail(...)`.
    bool Fail(const std::string& reason);

    // Flush, fsync and close, then rename the temporary over the name.
    bool Commit();

    // Commit where no file has the name yet (OutputLanding::PublishIfAbsent):
    // true with landed false, the file abandoned, when one is there. Only
    // for a regular file or a new name.
    bool CommitIfAbsent(bool& landed);

    // Commit's three steps, for files landed as a group: Finish writes out,
    // fsyncs and closes (the temporary complete but unnamed); Publish renames
    // it over the name; Settle makes the rename durable.
    bool Finish();
    bool Publish();
    void Settle();
    // Abandons the file unless it is published: the temporary is removed.
    void Abandon();
    // Where it lands: its directory, for a group to lock.
    OutputLanding& Landing() { return landing; }

    const std::string& Path() const { return path; }

    bool Failed() const { return !failure.empty(); }
    bool Committed() const { return committed; }
    // The first failure, one sentence naming the file ("cannot open "P": why"
    // or "writing "P" failed: why"), its bytes as they are; empty before one.
    const std::string& Error() const { return failure; }

private:
    bool FailOpening(int problem);
    bool FailWriting(int problem);
    bool FailWith(std::string sentence);
    bool Drain();

    std::string path;
    std::string failure;
    bool finished = false;
    bool committed = false;

    OutputLanding landing;
    mutable FILE* stream = nullptr;  // made on first request, over the descriptor
    std::vector<char> buffer;
    size_t buffered = 0;
};
