#pragma once

#include <cstddef>

// Writes size bytes to path through OutputFile, so the name ends up holding
// either its old contents or all of the new bytes. Failures are reported as
// one line on standard error, starting with label. Returns true only when
// every byte reached the file.
bool WriteWholeFile(const char* path, const void* bytes, size_t size, const char* label);
