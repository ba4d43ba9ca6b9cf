#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

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
    int Descriptor() const;
    FILE* Stream() const;
    bool Flush();
    bool Seekable() const;

    // A library reported an error: abandon the file with this reason.
    // Always returns false, so callers can `return output.Fail(...)`.
    bool Fail(const std::string& reason);

    // Flush, fsync and close, then rename the temporary over the name.
    bool Commit();

    const std::string& Path() const { return path; }
    bool Failed() const { return failed; }

private:
    // (implementation state)
    std::string label;
    std::string path;
    bool failed = false;
};
