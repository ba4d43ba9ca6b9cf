#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <queue>
#include <vector>

// The priority flood's front: 64-bit keys, the least popped first. A radix
// heap (Ahuja, Mehlhorn, Orlin and Tarjan 1990), which costs far less than
// a binary heap when, as in the flood, every key pushed is at least the last
// one popped: bucket b > 0 holds the keys that first differ from the last
// popped key at bit b - 1, so a key moves to a lower bucket at most 64
// times, and each move is a sequential append. A key below the last popped
// one, which the flood never pushes but which this does not rely on, waits
// in a binary heap beside it; a pop takes the least of both. So the keys come
// out in exactly the order of any priority queue, and keys are distinct in
// the flood (they hold the cell's index), so the flood's result cannot
// depend on which queue it uses.
class FloodFront {
public:
    bool Empty() const { return count == 0 && below.empty(); }

    // Empties the front, keeping the buckets' memory for the next flood.
    void Clear();

    void Push(uint64_t key)
    {
        if (key < last) {
            below.push(key);
        } else {
            buckets[BucketOf(key)].push_back(key);
            ++count;
        }
    }

    // The least key, removed. Not on an empty front.
    uint64_t Pop();

private:
    size_t BucketOf(uint64_t key) const { return key == last ? 0 : 64 - static_cast<size_t>(__builtin_clzll(key ^ last)); }

    // Moves the least bucket's keys down, so that bucket 0 holds the least.
    void Refill();

    std::array<std::vector<uint64_t>, 65> buckets;
    size_t count = 0;  // keys in the buckets
    uint64_t last = 0;  // every key in the buckets is at least this
    std::priority_queue<uint64_t, std::vector<uint64_t>, std::greater<uint64_t>> below;
};
