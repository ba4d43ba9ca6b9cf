#pragma once

#include <memory>
#include <new>
#include <utility>
#include <vector>

// An allocator whose resize leaves new numbers unwritten: for the largest
// arrays a round fills in full before it reads them. std::vector's resize
// zeroes what it adds, and on fresh memory that zeroing is also the first
// touch, taken on one core; left to the pass that fills the array, the
// system's page clearing is spread over that pass's threads instead.
// Construction with a value (push_back, assign) works as usual.
template <typename T>
struct UninitialisedAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UninitialisedAllocator<U>;
    };
    UninitialisedAllocator() noexcept = default;
    template <typename U>
    UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept
    {
    }

    template <typename U>
    void construct(U* p) noexcept
    {
        ::new (static_cast<void*>(p)) U;  // default-initialised: left as it was
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args)
    {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

template <typename T, typename U>
bool operator==(const UninitialisedAllocator<T>&, const UninitialisedAllocator<U>&) noexcept
{
    return true;
}
template <typename T, typename U>
bool operator!=(const UninitialisedAllocator<T>&, const UninitialisedAllocator<U>&) noexcept
{
    return false;
}

// A vector of numbers that resize does not zero (see above): every element
// must be written before it is read.
template <typename T>
using UninitialisedVector = std::vector<T, UninitialisedAllocator<T>>;
