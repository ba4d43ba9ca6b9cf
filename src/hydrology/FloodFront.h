#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <queue>
#include <vector>

#include "terrain/Prefetch.h"

// The priority flood's front: 64-bit keys, the least popped first. A radix
// heap (Ahuja, Mehlhorn, Orlin and Tarjan 1990), which costs far less than
// a binary heap when, as in the flood, every key pushed is at least the last
// one popped. Its digits are 4 bits: a key that first differs from the last
// popped key in digit l (bits 4l to 4l + 3), where its digit is d, waits in
// bucket 1 + 16 l + d, so a key moves to a lower bucket at most 16 times,
// and each move is a sequential append. (With a bucket a bit, a key of the
// 4097 sketch's fill moved 8.3 times on average, and the fill took about a
// seventh longer.) A key below the last popped
// one, which the flood never pushes but which this does not rely on, waits
// in a binary heap beside it; a pop takes the least of both. So the keys come
// out in exactly the order of any priority queue, and keys are distinct in
// the flood (they hold the cell's index), so the flood's result cannot
// depend on which queue it uses.
//
// The flood's time goes to cache misses on the cells it pops, which lie all
// over the map. So the front keeps its next few least keys in a short sorted
// array, taken from the heap ahead of need, and prefetches each key's cell
// and its neighbours' rows as it enters there: by the time the key is
// popped, its cells are in cache. A key pushed below the array's largest
// joins the array in its place, so the keys still come out in order.
class FloodFront {
public:
    bool Empty() const { return aheadBegin == aheadEnd && count == 0 && below.empty(); }

    // Empties the front, keeping the buckets' memory for the next flood.
    void Clear();

    // The flood's grid, for the prefetches (a key's low 32 bits are its
    // cell); none until set.
    void PrefetchGrid(const float* heights, const uint8_t* state, size_t width, size_t cells);

    void Push(uint64_t key)
    {
        if (aheadBegin != aheadEnd && key < ahead[aheadEnd - 1]) {
            InsertAhead(key);
        } else {
            PushToHeap(key);
        }
    }

    // The least key, removed. Not on an empty front.
    uint64_t Pop()
    {
        if (aheadEnd - aheadBegin < kAhead) {
            TakeAhead();
        }
        return ahead[aheadBegin++];
    }

private:
    static constexpr size_t kAhead = 16;  // keys taken ahead of need
    static constexpr size_t kAheadRoom = 2 * kAhead;

    void PushToHeap(uint64_t key)
    {
        if (key < last) {
            below.push(key);
        } else {
            Append(BucketOf(key), key);
            ++count;
        }
    }

    void Append(size_t bucket, uint64_t key)
    {
        buckets[bucket].push_back(key);
        if (bucket > 0) {
            occupied[(bucket - 1) >> 6] |= uint64_t{1} << ((bucket - 1) & 63);
        }
    }

    uint64_t PopFromHeap();
    // Moves the array's keys to its start.
    void CompactAhead();
    void InsertAhead(uint64_t key);
    // Tops the array up to kAhead keys from the heap, as far as it has them.
    void TakeAhead();
    void Prefetch(uint64_t key) const
    {
        const size_t c = static_cast<uint32_t>(key);
        if (heights != nullptr && c < cells) {
            PrefetchAround(heights, c, width, cells);
            PrefetchAround(state, c, width, cells);
        }
    }

    static constexpr unsigned kDigitBits = 4;
    static constexpr size_t kDigits = size_t{1} << kDigitBits;
    static constexpr size_t kBuckets = 1 + (63 / kDigitBits + 1) * kDigits;

    // Buckets in the order of their keys: a lower digit position first, and
    // in one position a lower digit first.
    size_t BucketOf(uint64_t key) const
    {
        if (key == last) {
            return 0;
        }
        const unsigned level = (63u - static_cast<unsigned>(__builtin_clzll(key ^ last))) / kDigitBits;
        const size_t digit = static_cast<size_t>(key >> (level * kDigitBits)) & (kDigits - 1);
        return 1 + level * kDigits + digit;
    }

    // Moves the least bucket's keys down, so that bucket 0 holds the least.
    void Refill();

    std::array<std::vector<uint64_t>, kBuckets> buckets;
    size_t count = 0;  // keys in the buckets
    uint64_t last = 0;  // every key in the buckets is at least this
    // Bit b - 1 set: bucket b > 0 may hold keys.
    std::array<uint64_t, (kBuckets - 1 + 63) / 64> occupied{};
    std::priority_queue<uint64_t, std::vector<uint64_t>, std::greater<uint64_t>> below;
    // The least keys, ascending, in ahead[aheadBegin, aheadEnd); every key
    // in the heap is at least ahead[aheadEnd - 1].
    std::array<uint64_t, kAheadRoom> ahead{};
    size_t aheadBegin = 0;
    size_t aheadEnd = 0;
    const float* heights = nullptr;
    const uint8_t* state = nullptr;
    size_t width = 0;
    size_t cells = 0;
};
