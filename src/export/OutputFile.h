#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// The one way every export reaches the disk.
//
// A regular file (or a name that does not exist yet) is written into a
// temporary file in the same directory, flushed, fsync'd and renamed over the
// name on Commit, so the name holds either its old bytes or the complete new
// ones, never a part. A symbolic link is followed: the file it points to is
// replaced and the link kept. A name that is not a regular file (a FIFO, a
// device such as /dev/stdout or /dev/full) is written directly.
//
// Every failure prints exactly one line on standard error, "label: ...",
// naming the file and the reason; after the first failure the file is
// abandoned (the temporary removed, the name left as it was) and every later
// call returns false without printing again. No temporary file outlives the
// object.
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
    // line offsets, libtiff's directory): positions are offsets in the file.
    // Seek and Read first write out what is buffered. Tell and Size are 0,
    // and Read reads nothing, once the file has failed.
    bool RequireSeeking();  // fails, saying why, when the output cannot seek
    bool Seek(uint64_t position);
    uint64_t Tell() const;
    uint64_t Size();
    size_t Read(void* bytes, size_t size);

    // A library reported an error: abandon the file with this reason.
    // Always returns false, so callers can `return output.Fail(...)`.
    bool Fail(const std::string& reason);

    // Flush, fsync and close, then rename the temporary over the name.
    bool Commit();

    const std::string& Path() const { return path; }

    // Makes SIGINT, SIGTERM and SIGHUP remove the temporary file being
    // written before the process ends as the signal would end it, so an
    // interrupted long write leaves nothing behind. For programs that keep
    // the default handling of those signals (the heightmap tool).
    static void RemoveTemporaryOnSignals();
    bool Failed() const { return failed; }

private:
    bool OpenReplacement(const std::string& target);
    bool OpenThroughProc(const std::string& procName);
    bool OpenDirect();
    bool FailOpening(int error);
    bool FailWriting(int error);
    bool Drain();
    bool CloseDescriptor();
    void Abandon();

    std::string label;
    std::string path;
    bool failed = false;
    bool committed = false;

    int descriptor = -1;
    mutable FILE* stream = nullptr;  // made on first request, over descriptor
    bool replacing = false;          // writing a temporary that Commit renames
    std::string temporaryPath;
    std::string targetPath;  // the regular file the temporary replaces
    std::vector<char> buffer;
    size_t buffered = 0;
};

// The system calls whose failure decides an export's outcome. Tests replace
// entries to make a write, fsync or rename fail on cue, and put them back.
struct OutputFileSystemCalls {
    ssize_t (*write)(int descriptor, const void* bytes, size_t size);
    int (*fsync)(int descriptor);
    int (*rename)(const char* from, const char* to);
};
extern OutputFileSystemCalls outputFileSystemCalls;
