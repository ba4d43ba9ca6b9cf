#include "terrain/HugePages.h"

#include <cstdint>
#include <cstdlib>
#include <new>

#include <stdlib.h>

#include <sys/mman.h>

void AdviseHugePages(void* data, size_t bytes)
{
#ifdef MADV_HUGEPAGE
    constexpr uintptr_t huge = kHugePageBytes;
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

// Every large array on huge pages, not only those reserved with ReserveHuge:
// the world levels, the maps and the tiles' windows are arrays of tens to
// hundreds of megabytes made afresh for each level and tile, and on 4 KiB
// pages the system's work of backing them took a third of a tile's time
// (a 32769 world's tile: 2.8 s of system time in 9.4 s, 1.5 s in 5.3 s on
// huge pages). An allocation of kHugeAllocation bytes or more starts on a
// huge page's boundary and its whole huge pages are advised; free() takes
// it back as any other, so the standard operator delete still pairs with
// this operator new (and the library's array, nothrow and sized forms all
// come here).
namespace {
constexpr size_t kHugeAllocation = size_t{16} << 20;
}  // namespace

// Under AddressSanitizer its own operator new stays, so that it still
// checks each new against its delete.
#if defined(__SANITIZE_ADDRESS__)
#define ORVANDEL_HUGE_NEW 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORVANDEL_HUGE_NEW 0
#endif
#endif
#ifndef ORVANDEL_HUGE_NEW
#define ORVANDEL_HUGE_NEW 1
#endif

#if ORVANDEL_HUGE_NEW
void* operator new(size_t bytes)
{
    void* data = nullptr;
    if (bytes < kHugeAllocation) {
        data = std::malloc(bytes == 0 ? 1 : bytes);
    } else if (posix_memalign(&data, kHugePageBytes, bytes) == 0) {
        // Not rounded up: the part of the last huge page past the end
        // stays on small pages, so no more is backed than is used.
        AdviseHugePages(data, bytes);
    } else {
        data = nullptr;
    }
    if (data == nullptr) {
        throw std::bad_alloc();
    }
    return data;
}
#endif
