// The spy must see every form of operator new, and each form's memory must
// go back through the delete the language pairs with it; in the sanitizer
// build a mismatched pair aborts the test program.

#include <gtest/gtest.h>

#include <cstdint>
#include <new>

#include "AllocationSpy.h"

namespace {

// Sizes no other allocation in the test program asks for, so the largest
// request seen is the one under test.
constexpr size_t kPlainSize = 3 * 1000 * 1000 + 1;
constexpr size_t kAlignment = 256;

// A new-expression whose result goes nowhere may be left out altogether;
// publishing the pointer keeps each allocation real.
void* volatile published = nullptr;
template <typename T>
T* Keep(T* p)
{
    published = p;
    return p;
}

TEST(AllocationSpy, RecordsEveryUnalignedFormAndFreesItThroughItsDelete)
{
    AllocationSpy::Reset();
    void* plain = Keep(::operator new(kPlainSize));
    EXPECT_EQ(AllocationSpy::Largest(), kPlainSize);
    ::operator delete(plain, kPlainSize);

    // The nothrow form released by a sized delete, as GoogleTest does.
    AllocationSpy::Reset();
    void* nothrow = Keep(::operator new(kPlainSize + 1, std::nothrow));
    ASSERT_NE(nothrow, nullptr);
    EXPECT_EQ(AllocationSpy::Largest(), kPlainSize + 1);
    ::operator delete(nothrow, kPlainSize + 1);

    AllocationSpy::Reset();
    char* array = Keep(new char[kPlainSize + 2]);
    EXPECT_EQ(AllocationSpy::Largest(), kPlainSize + 2);
    delete[] array;

    AllocationSpy::Reset();
    char* nothrowArray = Keep(new (std::nothrow) char[kPlainSize + 3]);
    ASSERT_NE(nothrowArray, nullptr);
    EXPECT_EQ(AllocationSpy::Largest(), kPlainSize + 3);
    ::operator delete[](nothrowArray, std::nothrow);
}

TEST(AllocationSpy, RecordsAlignedFormsAndKeepsTheirAlignment)
{
    struct alignas(kAlignment) Block {
        char bytes[kAlignment];
    };
    AllocationSpy::Reset();
    Block* blocks = Keep(new Block[3]);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(blocks) % kAlignment, 0u);
    EXPECT_GE(AllocationSpy::Largest(), 3 * sizeof(Block));
    delete[] blocks;

    // A size that is not a multiple of the alignment still gets aligned memory.
    AllocationSpy::Reset();
    void* odd = Keep(::operator new(kPlainSize, std::align_val_t(kAlignment), std::nothrow));
    ASSERT_NE(odd, nullptr);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(odd) % kAlignment, 0u);
    EXPECT_EQ(AllocationSpy::Largest(), kPlainSize);
    ::operator delete(odd, kPlainSize, std::align_val_t(kAlignment));
}

}  // namespace
