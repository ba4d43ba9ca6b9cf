#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

// The order a fill to drain met its land cells in, for the passes that
// follow the water, which go through the cells by (height, index)
// (OrderKey, MultipleFlow.h): the front gives its cells in that order
// already, and only the lifted cells, few on land that drains, need sorting.
struct FillOrder {
    bool valid = false;            // set by the last fill to drain that recorded it
    std::vector<uint64_t> front;   // OrderKey of each land cell the front gave, in the order given
    std::vector<uint64_t> lifted;  // OrderKey of each lifted cell, at its new height
};

// visit(i) for every land cell of the fill, ascending by (height, index):
// the front's cells merged with the lifted ones, sorted. `cells` is how many
// cells have shares. Every land cell was met once, from the front or lifted,
// and every cell with shares is land, so lists of that many cells are every
// one. False, part way or before any visit, where the merge cannot be the
// order: the lists hold another count, or a key comes out of order (a height
// of -0, which the front reads as its bits); the caller sorts instead.
template <typename Visit>
bool ForEachInFillOrder(FillOrder& order, size_t cells, const Visit& visit)
{
    const std::vector<uint64_t>& front = order.front;
    std::vector<uint64_t>& lifted = order.lifted;
    if (front.size() + lifted.size() != cells) {
        return false;
    }
    std::sort(lifted.begin(), lifted.end());
    size_t f = 0;
    size_t l = 0;
    uint64_t last = 0;
    while (f < front.size() || l < lifted.size()) {
        const bool fromFront = l == lifted.size() || (f < front.size() && front[f] < lifted[l]);
        const uint64_t key = fromFront ? front[f++] : lifted[l++];
        // The front gives its least each time, and what it takes in lies
        // above what it gave.
        if (key < last) {
            return false;
        }
        last = key;
        visit(static_cast<uint32_t>(key));
    }
    return true;
}
