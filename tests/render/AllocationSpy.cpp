#include "AllocationSpy.h"

#include <atomic>
#include <cstdlib>
#include <new>

// A replaced allocator must replace every form a delete can meet: the
// runtime's own forms (and a sanitizer's, which checks the pairing) would
// otherwise hand this file's deletes memory they did not allocate. So every
// new and delete below, plain, nothrow, sized, array and aligned, goes to
// malloc or aligned_alloc and to free.

namespace {
std::atomic<size_t> largest{0};

void Remember(size_t size)
{
    size_t seen = largest.load();
    while (size > seen && !largest.compare_exchange_weak(seen, size)) {
    }
}

void* Allocate(size_t size) noexcept
{
    Remember(size);
    return std::malloc(size ? size : 1);
}

void* AllocateAligned(size_t size, std::align_val_t alignment) noexcept
{
    Remember(size);
    const size_t align = static_cast<size_t>(alignment);
    // aligned_alloc wants a non-zero multiple of the alignment.
    const size_t rounded = size == 0 ? align : (size + align - 1) / align * align;
    if (rounded < size) {
        return nullptr;
    }
    return std::aligned_alloc(align, rounded);
}

void* AllocateOrThrow(size_t size)
{
    if (void* p = Allocate(size)) {
        return p;
    }
    throw std::bad_alloc();
}

void* AllocateAlignedOrThrow(size_t size, std::align_val_t alignment)
{
    if (void* p = AllocateAligned(size, alignment)) {
        return p;
    }
    throw std::bad_alloc();
}
}  // namespace

void AllocationSpy::Reset() { largest = 0; }
size_t AllocationSpy::Largest() { return largest.load(); }

void* operator new(size_t size) { return AllocateOrThrow(size); }
void* operator new[](size_t size) { return AllocateOrThrow(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new(size_t size, std::align_val_t alignment) { return AllocateAlignedOrThrow(size, alignment); }
void* operator new[](size_t size, std::align_val_t alignment) { return AllocateAlignedOrThrow(size, alignment); }
void* operator new(size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept
{
    return AllocateAligned(size, alignment);
}
void* operator new[](size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept
{
    return AllocateAligned(size, alignment);
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
