#include "ViewerKeys.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace e2e {

using namespace std::chrono_literals;

Bytes ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> FilesIn(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

std::string WaitForAFile(const std::string& dir)
{
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    for (std::vector<std::string> files = FilesIn(dir);; files = FilesIn(dir)) {
        // An export is written to a hidden temporary and renamed once
        // complete: only the name it lands under counts.
        for (const std::string& name : files) {
            if (name[0] != '.') {
                return name;
            }
        }
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "no file appeared in " << dir;
            return {};
        }
        std::this_thread::sleep_for(10ms);
    }
}

void WaitForSize(const std::string& path, std::uintmax_t expected)
{
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    std::uintmax_t previous = std::filesystem::file_size(path);
    for (int unchanged = 0; previous != expected && unchanged < 10;) {
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << path << " still grows after 10 s";
            return;
        }
        std::this_thread::sleep_for(100ms);
        const std::uintmax_t size = std::filesystem::file_size(path);
        unchanged = size == previous ? unchanged + 1 : 0;
        previous = size;
    }
}

std::string PressG(ViewerRun& viewer, const std::string& dir, bool holdThroughNextSecond)
{
    viewer.X().KeyDown("g");
    const std::string name = WaitForAFile(dir);
    const std::time_t secondAfterNext = std::time(nullptr) + 2;
    while (holdThroughNextSecond && !name.empty() && std::time(nullptr) < secondAfterNext) {
        std::this_thread::sleep_for(10ms);
    }
    viewer.X().KeyUp("g");
    if (!name.empty()) {
        WaitForSize(dir + "/" + name, kExportSize);
    }
    return name;
}

// A band across the terrain, cheap enough to poll frame by frame.
namespace {

std::vector<char> Band(ViewerRun& viewer) { return viewer.RawRows(100, 200); }

}  // namespace

void HoldForFrames(ViewerRun& viewer, const std::string& key, int frames)
{
    std::vector<char> previous = Band(viewer);
    viewer.X().KeyDown(key);
    const auto limit = std::chrono::steady_clock::now() + 20s;
    for (int seen = 0; seen < frames;) {
        if (std::chrono::steady_clock::now() > limit) {
            ADD_FAILURE() << "only " << seen << " of " << frames << " frames with " << key << " down";
            break;
        }
        std::this_thread::sleep_for(1ms);
        std::vector<char> next = Band(viewer);
        if (next != previous) {
            ++seen;
            previous = std::move(next);
        }
    }
    viewer.X().KeyUp(key);
}

std::string WaitForOutputLine(ViewerRun& viewer, std::size_t index)
{
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    for (;;) {
        const std::string out = viewer.process.Stdout();
        std::size_t begin = 0;
        for (std::size_t line = 0; line < index && begin != std::string::npos; ++line) {
            begin = out.find('\n', begin);
            begin = begin == std::string::npos ? begin : begin + 1;
        }
        const std::size_t end = begin == std::string::npos ? begin : out.find('\n', begin);
        if (end != std::string::npos) {
            return out.substr(begin, end - begin);
        }
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "no line " << index << " on standard output within 20 s\n" << viewer.Diagnostics();
            return {};
        }
        std::this_thread::sleep_for(10ms);
    }
}

}  // namespace e2e
