#include "terrain/HugePages.h"

#include <cstdint>

#include <sys/mman.h>

void AdviseHugePages(void* data, size_t bytes)
{
#ifdef MADV_HUGEPAGE
    constexpr uintptr_t huge = uintptr_t{2} << 20;
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + huge - 1) & ~(huge - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(huge - 1);
    if (end > begin) {
        // Advice only: a refusal leaves ordinary pages, which work the same.
        (void)madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
    }
#else
    (void)data;
    (void)bytes;
#endif
}
