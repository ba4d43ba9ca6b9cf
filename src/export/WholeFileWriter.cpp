#include "export/WholeFileWriter.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Removes the file that was opened, and only that one: the name is resolved
// through any symbolic links first, and nothing is removed if the name no
// longer leads to the same regular file.
bool RemoveWrittenFile(const char* path, const struct stat& opened)
{
    char* resolved = realpath(path, nullptr);
    if (resolved == nullptr) {
        return false;
    }
    struct stat now {};
    const bool removed = lstat(resolved, &now) == 0 && S_ISREG(now.st_mode) && SameFile(now, opened) &&
                         unlink(resolved) == 0;
    free(resolved);
    return removed;
}

int ErrorOr(int fallback) { return errno != 0 ? errno : fallback; }

}  // namespace

bool WriteWholeFile(const char* path, const void* bytes, size_t size, const char* label)
{
    errno = 0;
    FILE* file = fopen(path, "wb");
    if (file == nullptr) {
        fprintf(stderr, "%s: cannot open \"%s\": %s\n", label, path, strerror(ErrorOr(EIO)));
        return false;
    }
    struct stat opened {};
    const bool regular = fstat(fileno(file), &opened) == 0 && S_ISREG(opened.st_mode);

    // Keep the first failure's reason: a failed write usually makes the flush
    // and the close fail too.
    int error = 0;
    errno = 0;
    if (fwrite(bytes, 1, size, file) != size) {
        error = ErrorOr(EIO);
    }
    errno = 0;
    if (fflush(file) != 0 && error == 0) {
        error = ErrorOr(EIO);
    }
    errno = 0;
    if (fclose(file) != 0 && error == 0) {
        error = ErrorOr(EIO);
    }
    if (error == 0) {
        return true;
    }
    const char* outcome = "";
    if (regular) {
        outcome = RemoveWrittenFile(path, opened) ? "; the incomplete file was removed"
                                                  : "; the incomplete file could not be removed";
    }
    fprintf(stderr, "%s: writing \"%s\" failed: %s%s\n", label, path, strerror(error), outcome);
    return false;
}
