#pragma once

#include <cstddef>

// Asks the processor to bring the cache line holding p in, ahead of a read
// whose address is known early: the passes that follow the water and the
// priority flood visit cells in height order, all over the map, and without
// this wait on memory at nearly every cell. A hint only: nothing is read
// and no result changes.
//
// GCC 12 drops some __builtin_prefetch calls as dead code at -O2 and -O3
// (those through members of a class, in the flood's front); the instruction
// itself it cannot drop.
inline void PrefetchLine(const void* p)
{
#if defined(__x86_64__) || defined(__i386__)
    asm volatile("prefetcht0 %0" : : "m"(*static_cast<const char*>(p)));
#else
    __builtin_prefetch(p);
#endif
}

// The lines of cell i and of the cells above and below it, in a grid of
// `width` cells a row and `cells` in all: a cell's eight neighbours and
// itself (the lines beside them are the next the hardware fetches).
template <typename T>
inline void PrefetchAround(const T* grid, size_t i, size_t width, size_t cells)
{
    PrefetchLine(grid + i);
    if (i >= width) {
        PrefetchLine(grid + (i - width));
    }
    if (i + width < cells) {
        PrefetchLine(grid + (i + width));
    }
}
