#pragma once

#include <string>
#include <vector>

#include "landing/OutputFile.h"

// Commits files that belong together (a map, its description, the maps
// derived from it, its preview) as one: every file is written out and
// fsync'd first, and only when all of them are complete are they renamed, one
// after the other, under a lock on each directory they land in (taken in one
// order, so two such commits never interleave their renames). Any failure
// before the renames abandons them all, leaving every older file as it was;
// error is then the failing file's sentence.
bool CommitTogether(const std::vector<OutputFile*>& files, std::string& error);
