#include "landing/OutputPlan.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <unordered_map>

#include "landing/OutputTarget.h"

namespace {

// The file a resolved name stands for, its directory's links resolved too,
// so that "d/x", "./d/x" and a link to d/x compare equal.
std::string SameFileKey(const std::string& target)
{
    char* directory = realpath(DirectoryOf(target).c_str(), nullptr);
    if (directory == nullptr) {
        return target;  // a missing directory: the probe refuses the name
    }
    const std::string key = std::string(directory) + "/" + BaseNameOf(target);
    free(directory);
    return key;
}

std::string Quoted(const PlannedOutput& output) { return output.what + " \"" + output.path + "\""; }

}  // namespace

OutputPlan::~OutputPlan()
{
    for (const int descriptor : heldFifos) {
        close(descriptor);
    }
}

PlanVerdict OutputPlan::Check(const std::vector<PlannedOutput>& outputs, PlanCheck when)
{
    std::unordered_map<std::string, size_t> seen;
    for (size_t i = 0; i < outputs.size(); ++i) {
        const PlannedOutput& output = outputs[i];
        const ResolvedOutput resolved = ResolveOutput(output.path);
        if (resolved.error != 0 && !output.input) {
            return {1, "cannot write " + Quoted(output) + ": " + OutputProblem(resolved.error)};
        }
        const auto [earlier, first] = seen.emplace(SameFileKey(resolved.target), i);
        const PlannedOutput& other = outputs[earlier->second];
        if (!first && !(output.input && other.input)) {
            return {2, Quoted(output) + " is the same file as " + Quoted(other) + ": give each its own name"};
        }
        if (output.input || resolved.throughProc) {
            continue;  // a descriptor under /proc is open already, and written where it stands
        }
        const bool replaced = resolved.kind == OutputKind::Replacement;
        if (replaced || resolved.kind == OutputKind::Fifo) {
            const int problem = Probe(resolved.target, !replaced, when);
            if (problem != 0) {
                return {1, "cannot write " + Quoted(output) + ": " + OutputProblem(problem)};
            }
        }
    }
    return {};
}

int OutputPlan::Probe(const std::string& target, bool fifo, PlanCheck when)
{
    if (fifo) {
        if (when == PlanCheck::Later) {
            return 0;
        }
        // Opened without waiting, as the landing opens it: with no reader
        // this fails with ENXIO. Closing it would end the reader's input.
        const int descriptor = open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (descriptor < 0) {
            return errno;
        }
        heldFifos.push_back(descriptor);
        return 0;
    }
    const std::string base = BaseNameOf(target);
    if (base.empty() || base == "." || base == "..") {
        return EISDIR;
    }
    const int directory = open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory < 0) {
        return errno;
    }
    int problem = 0;
    const long longestName = fpathconf(directory, _PC_NAME_MAX);
    struct stat old {};
    if (longestName > 0 && base.size() > size_t(longestName)) {
        problem = ENAMETOOLONG;
    } else if (faccessat(directory, ".", W_OK | X_OK, 0) != 0) {
        problem = errno;  // the temporary could not be made beside it
    } else if (fstatat(directory, base.c_str(), &old, 0) == 0 && faccessat(directory, base.c_str(), W_OK, 0) != 0) {
        problem = errno;  // a file its owner made read-only stays protected
    }
    close(directory);
    return problem;
}
