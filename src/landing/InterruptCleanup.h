#pragma once

// What a fatal signal must undo before the process ends: hidden temporary
// files being written, and a progress line drawn on the terminal.
//
// InstallInterruptCleanup() catches every signal whose default action ends
// the process and that can be caught (SIGHUP, SIGINT, SIGQUIT, SIGTERM,
// SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2, SIGXCPU, SIGVTALRM, SIGPROF, SIGIO,
// SIGPWR, SIGSTKFLT, the real-time signals). The handler removes the
// registered temporaries, erases the line, restores the default action and
// raises the signal again, so the parent sees the process end by that
// signal. Only signals still at their default action are caught: one the
// process was started with ignored (nohup, a shell's background job) stays
// ignored, and one a library already handles keeps its handler. SIGXFSZ is ignored: a write past the file
// size limit then fails with EFBIG and is reported like any other failed
// write. Faults (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP, SIGSYS)
// are left alone, for debuggers and sanitizers.
void InstallInterruptCleanup();

// A temporary file named `name` (at most 255 bytes) in the directory open as
// directoryDescriptor, to be unlinked on a fatal signal. Returns its slot, or
// -1 when every slot is taken (64, more than any run needs) or the name is too
// long: the caller then removes the file instead of leaving one that a
// signal would not.
int RegisterInterruptedTemporary(int directoryDescriptor, const char* name);
// The temporary has been renamed or removed: forget it, before its directory
// descriptor is closed.
void ForgetInterruptedTemporary(int slot);

// Whether a progress line is on the terminal (standard error) now, so that
// a fatal signal erases it with "\r\033[K".
void SetInterruptErasesLine(bool shown);
