#pragma once

#include <string>

// Where an export's bytes land, decided before any of them is made.
enum class OutputKind {
    Replacement,  // a regular file or a new name: a hidden temporary renamed over it
    Fifo,         // a named pipe, written directly
    Pipe,         // an anonymous pipe or socket behind a /proc name (/dev/stdout)
    Device,       // a character or block device, written directly
    InPlace,      // a regular file already open, behind a /proc name: written where it stands
};

// What a name stands for, without opening or creating anything. error is 0,
// or the errno that makes the name unusable (a missing directory shows only
// when the temporary is made).
struct ResolvedOutput {
    OutputKind kind = OutputKind::Replacement;
    std::string target;  // the file a Replacement renames over, links followed
    bool throughProc = false;  // target names a descriptor under /proc
    int error = 0;
};
ResolvedOutput ResolveOutput(const std::string& name);

// Name pieces: the directory a name is in ("." for a bare name, "/" at the
// root) and its last component.
std::string DirectoryOf(const std::string& name);
std::string BaseNameOf(const std::string& name);

// The descriptor of this process that a /proc name such as /proc/self/fd/1
// stands for, or -1.
int OwnDescriptorNamed(const std::string& procName);

// Why an output cannot be used, as a phrase: the system's words for the
// errno, except ENXIO, which for a FIFO opened without waiting means that no
// process is reading it.
std::string OutputProblem(int error);
