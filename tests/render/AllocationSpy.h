#pragma once

#include <cstddef>

// Every form of the test program's operator new (plain, nothrow, array,
// aligned) remembers the largest single request, to show that a decoder did
// not trust a size that the data cannot back.
namespace AllocationSpy {
void Reset();
size_t Largest();
}  // namespace AllocationSpy
