#pragma once
// Steps the end-to-end tests take with the viewer's keys and its files:
// holding keys for a number of drawn frames, pressing G and waiting for the
// export's file and its report line.

#include <cstdint>
#include <string>
#include <vector>

#include "ViewerRun.h"

namespace e2e {

using Bytes = std::vector<char>;

inline const std::string kToolPath = kViewerDir + "/orvandel-heightmap";
inline const std::size_t kExportSize = 18 + 129 * 129 * 3;  // TGA header and 24-bit pixels

Bytes ReadAll(const std::string& path);
std::vector<std::string> FilesIn(const std::string& dir);

// Polls dir until it holds a file; its name, or empty at the deadline.
std::string WaitForAFile(const std::string& dir);

// The file appears when the export opens it; waits for the whole map, or
// for the size to stop changing if it never gets there.
void WaitForSize(const std::string& path, std::uintmax_t expected);

// Holds G until the export's file appears and, if asked, on through the
// whole next second, in which exporting every frame would write a second
// name; the file's name once it is complete, or empty.
std::string PressG(ViewerRun& viewer, const std::string& dir, bool holdThroughNextSecond);

// Holds the key until the viewer has drawn the given number of changed
// pictures with it down. Equal counts are equal holds in the viewer's own
// time, however busy the machine is.
void HoldForFrames(ViewerRun& viewer, const std::string& key, int frames);

// Line number index (from 0) of what the viewer printed, without its line
// feed, once it is complete; empty, and a test failure, after 20 s.
std::string WaitForOutputLine(ViewerRun& viewer, std::size_t index);

}  // namespace e2e
