#include "landing/OutputTarget.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Links followed before giving up, as the kernel does.
const int kMaxLinks = 40;

// The directory holding name, with every link resolved; empty if it cannot
// be resolved.
std::string RealDirectoryOf(const std::string& name)
{
    char* directory = realpath(DirectoryOf(name).c_str(), nullptr);
    if (directory == nullptr) {
        return "";
    }
    const std::string real = directory;
    free(directory);
    return real;
}

// Names under /proc (/dev/stdout, /dev/fd/N) are links to open descriptors,
// not to files that could be replaced: they are written directly.
bool InsideProc(const std::string& name)
{
    const std::string directory = RealDirectoryOf(name);
    return directory == "/proc" || directory.rfind("/proc/", 0) == 0;
}

// Follows the symbolic links of the name itself to the file they lead to,
// which may not exist yet (a dangling link creates its target). Returns 0 or
// the error that stopped the walk; throughProc tells a /proc name.
int FollowLinks(const std::string& name, std::string& target, bool& throughProc)
{
    std::string current = name;
    throughProc = false;
    for (int step = 0; step <= kMaxLinks; ++step) {
        if (InsideProc(current)) {
            target = current;
            throughProc = true;
            return 0;
        }
        struct stat status {};
        if (lstat(current.c_str(), &status) != 0) {
            if (errno != ENOENT) {
                return errno;
            }
            break;  // a new file; a missing directory shows when it is made
        }
        if (!S_ISLNK(status.st_mode)) {
            break;
        }
        std::vector<char> link(size_t(status.st_size > 0 ? status.st_size : PATH_MAX) + 1);
        const ssize_t length = readlink(current.c_str(), link.data(), link.size());
        if (length < 0) {
            return errno;
        }
        if (size_t(length) >= link.size()) {
            return ENAMETOOLONG;  // the link changed while it was read
        }
        const std::string next(link.data(), size_t(length));
        current = next[0] == '/' ? next : DirectoryOf(current) + "/" + next;
        if (step == kMaxLinks) {
            return ELOOP;
        }
    }
    target = current;
    return 0;
}

}  // namespace

std::string DirectoryOf(const std::string& name)
{
    const size_t slash = name.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : name.substr(0, slash);
}

std::string BaseNameOf(const std::string& name)
{
    const size_t slash = name.rfind('/');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

// The descriptor of this process that a /proc name such as /proc/self/fd/1
// stands for, or -1. Writing through a copy of it keeps what the shell set
// up: its offset, and its appending for ">>".
int OwnDescriptorNamed(const std::string& procName)
{
    const bool own = RealDirectoryOf(procName) == "/proc/" + std::to_string(getpid()) + "/fd";
    const std::string base = BaseNameOf(procName);
    if (!own || base.empty() || base.size() > 9 || base.find_first_not_of("0123456789") != std::string::npos) {
        return -1;
    }
    return std::stoi(base);
}

ResolvedOutput ResolveOutput(const std::string& name)
{
    ResolvedOutput resolved;
    if (name.empty()) {
        resolved.error = ENOENT;
        return resolved;
    }
    bool& throughProc = resolved.throughProc;
    resolved.error = FollowLinks(name, resolved.target, throughProc);
    if (resolved.error != 0) {
        return resolved;
    }
    struct stat status {};
    if (stat(resolved.target.c_str(), &status) != 0) {
        if (errno != ENOENT || throughProc) {
            resolved.error = errno;
        }
        return resolved;  // a new name: a Replacement
    }
    if (S_ISDIR(status.st_mode)) {
        resolved.error = EISDIR;
    } else if (S_ISREG(status.st_mode)) {
        resolved.kind = throughProc ? OutputKind::InPlace : OutputKind::Replacement;
    } else if (S_ISFIFO(status.st_mode)) {
        resolved.kind = throughProc ? OutputKind::Pipe : OutputKind::Fifo;
    } else if (S_ISSOCK(status.st_mode)) {
        resolved.kind = OutputKind::Pipe;
    } else {
        resolved.kind = OutputKind::Device;
    }
    return resolved;
}

std::string OutputProblem(int error)
{
    if (error == ENXIO) {
        return "no process is reading this FIFO (start its reader first)";
    }
    return strerror(error);
}
