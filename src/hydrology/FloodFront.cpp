#include "hydrology/FloodFront.h"

#include <algorithm>

void FloodFront::Clear()
{
    for (std::vector<uint64_t>& bucket : buckets) {
        bucket.clear();
    }
    count = 0;
    last = 0;
    below = {};
}

uint64_t FloodFront::Pop()
{
    if (count > 0) {
        if (buckets[0].empty()) {
            Refill();
        }
        // Bucket 0 holds only keys equal to `last`, the least in the buckets.
        if (below.empty() || last < below.top()) {
            buckets[0].pop_back();
            --count;
            return last;
        }
    }
    const uint64_t key = below.top();
    below.pop();
    return key;
}

void FloodFront::Refill()
{
    size_t b = 1;
    while (buckets[b].empty()) {
        ++b;
    }
    std::vector<uint64_t>& from = buckets[b];
    last = *std::min_element(from.begin(), from.end());
    // Every key of bucket b agrees with the new least above bit b - 1, so
    // each lands in a bucket below b, never in `from` itself.
    for (const uint64_t key : from) {
        buckets[BucketOf(key)].push_back(key);
    }
    from.clear();
}
