#pragma once

#include <cstddef>

// Writes size bytes to path, opened with fopen "wb" (so an existing file of
// that name is replaced), and checks every write, the flush and the close.
// Failures are reported as one line on standard error, starting with label:
// - path cannot be opened: nothing is written;
// - a write, flush or close fails: the regular file it was writing is removed,
//   so no truncated file is left under the name. A device or pipe (say
//   /dev/full) is never removed.
// Returns true only when every byte reached the file.
bool WriteWholeFile(const char* path, const void* bytes, size_t size, const char* label);
