#pragma once

#include <vector>

#include "landing/OutputFile.h"

// Commits files that belong together (a map and its description) as one:
// every file is written out and fsync'd first, and only when all of them are
// complete are they renamed, one after the other, under a lock on the first
// one's directory, so two such commits never interleave their renames. Any
// failure before the renames abandons them all, leaving every older file as
// it was; the failing file's Error() says why.
bool CommitTogether(const std::vector<OutputFile*>& files);
