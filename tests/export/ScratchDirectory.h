#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

// A fresh directory under /tmp, removed with its contents at the end of the
// test.
class ScratchDirectory {
public:
    ScratchDirectory()
    {
        char pattern[] = "/tmp/orvandel-test-XXXXXX";
        // Without it every File() would name a path under the root.
        if (mkdtemp(pattern) == nullptr) {
            throw std::system_error(errno, std::generic_category(), "mkdtemp");
        }
        path_ = pattern;
    }
    ~ScratchDirectory()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

    std::vector<std::string> Entries() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

private:
    std::string path_;
};

// Runs the test body inside a directory and returns to where it was.
class WorkingDirectoryScope {
public:
    explicit WorkingDirectoryScope(const std::string& path) : previous_(std::filesystem::current_path())
    {
        std::filesystem::current_path(path);
    }
    ~WorkingDirectoryScope()
    {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
    }

private:
    std::filesystem::path previous_;
};

inline std::vector<uint8_t> ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
