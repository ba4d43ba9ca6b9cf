#include "landing/OutputGroup.h"

bool CommitTogether(const std::vector<OutputFile*>& files)
{
    for (OutputFile* file : files) {
        if (!file->Finish()) {
            for (OutputFile* other : files) {
                other->Abandon();
            }
            return false;
        }
    }
    if (!files.empty()) {
        files.front()->LockDirectory();
    }
    bool published = true;
    for (OutputFile* file : files) {
        published = published && file->Publish();
    }
    if (!files.empty()) {
        files.front()->UnlockDirectory();
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
