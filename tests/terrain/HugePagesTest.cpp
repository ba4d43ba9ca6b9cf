#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "terrain/HugePages.h"

namespace {

// Large arrays start on a huge page, so that all of their whole huge pages
// can be backed as such; small ones are left to the ordinary allocator.
TEST(HugePages, LargeArraysStartOnAHugePage)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator";
#endif
    constexpr uintptr_t huge = kHugePageBytes;
    for (const size_t floats : {size_t{4} << 20, (size_t{24} << 20) + 3}) {
        const std::vector<float> large(floats, 1.0f);
        EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(large.data()) % huge) << floats << " floats";
        EXPECT_EQ(1.0f, large.back());
    }
    const auto array = std::make_unique<double[]>(size_t{3} << 20);
    EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(array.get()) % huge);
}

}  // namespace
