#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "export/OutputLanding.h"

// The one way every export reaches the disk: how its bytes are written
// (buffered, seeked, read back), over an OutputLanding that decides where
// they land.
//
// A regular file (or a name that does not exist yet) is written into a
// temporary file in the same directory, flushed, fsync'd and renamed over the
// name on Commit, so the name holds either its old bytes or the complete new
// ones, never a part. A symbolic link is followed: the file it points to is
// replaced and the link kept. A name that is not a regular file (a FIFO, a
// device such as /dev/stdout or /dev/full) is written directly; a FIFO with
// no reader is refused at once rather than waited on.
//
// Every failure prints exactly one line on standard error, "label: ...",
// naming the file and the reason, control bytes escaped; after the first
// failure the file is abandoned (the temporary removed, the name left as it
// was) and every later call returns false without printing again. No
// temporary file outlives the object.
//
// Libraries that write for themselves: call Flush() after any buffered Write
// and before handing out Descriptor() or Stream(), and again after the library
// is done and before the next Write or Commit (Flush also flushes Stream()).
// The library may write and lseek through the descriptor but must not close
// it, nor the stream; a library that insists on closing can be given
// dup(Descriptor()). Commit then fsyncs and renames whatever the descriptor
// holds.
class OutputFile {
public:
    explicit OutputFile(std::string label);
    ~OutputFile();  // abandons the file unless Commit succeeded
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool Open(const std::string& path);

    // What the opened output is; known before any byte is written.
    OutputKind Kind() const { return landing.Kind(); }

    // Appends bytes; buffered.
    bool Write(const void* bytes, size_t size);

    // For libraries that write through descriptors or stdio themselves
    // (libtiff, OpenEXR): the open file's descriptor and stream. Call Flush
    // before handing out the descriptor after buffered Writes. Seekable only
    // when Seekable() says so (a temporary file is; a FIFO is not).
    // Descriptor() is -1 and Stream() null when no file is open.
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

    // Commits files that describe each other (a map and its --meta
    // description) as one: every file is written out and fsync'd first, and
    // only when all of them are complete are they renamed, one after the
    // other, under a lock on the first one's directory, so two such commits
    // never interleave their renames. Any failure before the renames
    // abandons them all, leaving every older file as it was.
    static bool CommitTogether(const std::vector<OutputFile*>& files);

    const std::string& Path() const { return path; }

    bool Failed() const { return failed; }

private:
    bool Finish();
    bool Publish();
    void Settle();  // after Publish: the rename made durable, the directory closed
    bool FailOpening(int error);
    bool FailWriting(int error);
    bool Drain();
    void Abandon();

    std::string label;
    std::string path;
    bool failed = false;
    bool finished = false;
    bool committed = false;

    OutputLanding landing;
    mutable FILE* stream = nullptr;  // made on first request, over the descriptor
    std::vector<char> buffer;
    size_t buffered = 0;
};
