#pragma once

#include <cstddef>
#include <vector>

// The huge page the advice below asks for (x86-64's 2 MiB).
constexpr size_t kHugePageBytes = size_t{2} << 20;

// Asks the system to back [data, data + bytes) with huge pages where it can
// (Linux's transparent huge pages, madvise mode): a large array touched for
// the first time then costs one page fault per 2 MiB instead of one per
// 4 KiB. Only the whole huge pages inside the range are advised; elsewhere,
// and on systems without the advice, nothing happens. Contents and results
// never change.
void AdviseHugePages(void* data, size_t bytes);

// Makes room in `values` for `count` elements, the room advised as above,
// before anything is written to it; the size is left as it is.
template <typename T, typename Allocator>
void ReserveHuge(std::vector<T, Allocator>& values, size_t count)
{
    if (values.capacity() < count) {
        std::vector<T, Allocator> larger;
        larger.reserve(count);
        AdviseHugePages(larger.data(), count * sizeof(T));
        larger.assign(values.begin(), values.end());
        values.swap(larger);
    }
}
