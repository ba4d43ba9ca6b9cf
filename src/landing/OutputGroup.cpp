#include "landing/OutputGroup.h"

#include <sys/stat.h>

#include <algorithm>
#include <tuple>

namespace {

// One landing per directory, in the order of the directories' identities:
// the same directory opened twice would be two locks, and the second would
// wait on the first.
std::vector<OutputLanding*> DirectoriesToLock(const std::vector<OutputFile*>& files)
{
    std::vector<std::tuple<dev_t, ino_t, OutputLanding*>> directories;
    for (OutputFile* file : files) {
        struct stat status {};
        const int directory = file->Landing().DirectoryDescriptor();
        if (directory >= 0 && fstat(directory, &status) == 0) {
            directories.emplace_back(status.st_dev, status.st_ino, &file->Landing());
        }
    }
    std::sort(directories.begin(), directories.end());
    std::vector<OutputLanding*> landings;
    for (size_t i = 0; i < directories.size(); ++i) {
        if (i == 0 || std::get<0>(directories[i]) != std::get<0>(directories[i - 1]) ||
            std::get<1>(directories[i]) != std::get<1>(directories[i - 1])) {
            landings.push_back(std::get<2>(directories[i]));
        }
    }
    return landings;
}

}  // namespace

bool CommitTogether(const std::vector<OutputFile*>& files, std::string& error)
{
    for (OutputFile* file : files) {
        if (!file->Finish()) {
            error = file->Error();
            for (OutputFile* other : files) {
                other->Abandon();
            }
            return false;
        }
    }
    const std::vector<OutputLanding*> locked = DirectoriesToLock(files);
    for (OutputLanding* landing : locked) {
        landing->Lock();
    }
    bool published = true;
    for (OutputFile* file : files) {
        if (published && !file->Publish()) {
            published = false;
            error = file->Error();
        }
    }
    for (OutputLanding* landing : locked) {
        landing->Unlock();
    }
    for (OutputFile* file : files) {
        if (file->Committed()) {
            file->Settle();
        } else {
            file->Abandon();
        }
    }
    return published;
}
