#include "hydrology/FloodFront.h"

#include <algorithm>

void FloodFront::Clear()
{
    for (std::vector<uint64_t>& bucket : buckets) {
        bucket.clear();
    }
    count = 0;
    last = 0;
    occupied.fill(0);
    below = {};
    aheadBegin = aheadEnd = 0;
}

void FloodFront::PrefetchGrid(const float* heights_, const uint8_t* state_, size_t width_, size_t cells_)
{
    heights = heights_;
    state = state_;
    width = width_;
    cells = cells_;
}

void FloodFront::CompactAhead()
{
    std::copy(ahead.begin() + aheadBegin, ahead.begin() + aheadEnd, ahead.begin());
    aheadEnd -= aheadBegin;
    aheadBegin = 0;
}

void FloodFront::InsertAhead(uint64_t key)
{
    if (aheadEnd == kAheadRoom) {
        CompactAhead();
        if (aheadEnd == kAheadRoom) {
            // Full: the largest goes back to the heap, still no less than
            // any key there.
            PushToHeap(ahead[--aheadEnd]);
        }
    }
    size_t at = aheadEnd;
    while (at > aheadBegin && ahead[at - 1] > key) {
        ahead[at] = ahead[at - 1];
        --at;
    }
    ahead[at] = key;
    ++aheadEnd;
    Prefetch(key);
}

void FloodFront::TakeAhead()
{
    if (aheadEnd + kAhead > kAheadRoom) {
        CompactAhead();
    }
    while (aheadEnd - aheadBegin < kAhead && (count > 0 || !below.empty())) {
        const uint64_t key = PopFromHeap();
        ahead[aheadEnd++] = key;
        Prefetch(key);
    }
}

uint64_t FloodFront::PopFromHeap()
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
    // The least bucket above 0 with keys (there is one: count > 0 and
    // bucket 0 is empty).
    size_t word = 0;
    while (occupied[word] == 0) {
        ++word;
    }
    const size_t bit = static_cast<size_t>(__builtin_ctzll(occupied[word]));
    const size_t b = 64 * word + bit + 1;
    std::vector<uint64_t>& from = buckets[b];
    occupied[word] &= ~(uint64_t{1} << bit);
    last = *std::min_element(from.begin(), from.end());
    // Every key of bucket b agrees with the new least above its digit and
    // in it, so each lands in a bucket below b, never in `from` itself.
    for (const uint64_t key : from) {
        Append(BucketOf(key), key);
    }
    from.clear();
}
