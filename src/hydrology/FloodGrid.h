#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "hydrology/FloodFront.h"
#include "hydrology/FlowRouting.h"

// What the priority floods of this room share (FillToDrain, FillFlat,
// BreachToDrain): their keys, their neighbours by index, the float steps
// they lift and cut by, and their start.

// Flood front entries, lowest first; equal heights by cell index, so the
// order is fixed by the heights alone, whatever the queue's implementation.
// Heights are never negative, so their bit patterns sort as they do, and a
// height and an index fit one 64-bit key.
inline uint64_t FrontKey(float height, uint32_t index)
{
    uint32_t bits;
    std::memcpy(&bits, &height, sizeof bits);
    return uint64_t{bits} << 32 | index;
}

// Neighbour k of cell c by index, and whether it lies on the map: cells off
// the border have all eight, so only border cells pay for the check.
class GridNeighbours {
public:
    explicit GridNeighbours(int n) : n(n)
    {
        for (int k = 0; k < 8; ++k) {
            offset[k] = neighbourSteps[k].dy * static_cast<ptrdiff_t>(n) + neighbourSteps[k].dx;
        }
    }

    bool Inside(uint32_t c) const
    {
        const int x = static_cast<int>(c % n);
        const int y = static_cast<int>(c / n);
        return x > 0 && y > 0 && x < n - 1 && y < n - 1;
    }

    bool OnMap(uint32_t c, int k) const
    {
        const int x = static_cast<int>(c % n) + neighbourSteps[k].dx;
        const int y = static_cast<int>(c / n) + neighbourSteps[k].dy;
        return x >= 0 && y >= 0 && x < n && y < n;
    }

    uint32_t Of(uint32_t c, int k) const { return static_cast<uint32_t>(c + offset[k]); }

private:
    int n;
    ptrdiff_t offset[8];
};

// The next float up; heights are never negative, where it is the next bit
// pattern.
inline float JustAbove(float height)
{
    if (height >= 0.0f && height < INFINITY) {
        uint32_t bits;
        std::memcpy(&bits, &height, sizeof bits);
        ++bits;
        std::memcpy(&height, &bits, sizeof bits);
        return height;
    }
    return std::nextafter(height, INFINITY);
}

// The next float down, for the heights of land (above the sea, so above 0).
inline float JustBelow(float height) { return std::nextafter(height, -INFINITY); }

// A flood's marks on a cell (FillWork::state).
constexpr uint8_t kFloodReached = 1;
constexpr uint8_t kFloodQueued = 2;
constexpr uint8_t kFloodBorder = 4;  // so a cell's place needs no division

// Every outlet is reached from the start; only those beside land join the
// front (in index order), since the open sea has nothing to flood. Sets
// work.state for every cell and fills work.front.
void StartFlood(const float* h, int n, FillWork& work);

// Marks each neighbour i of cell c (direction k from c) that is on the map
// and not yet reached as reached, and calls visit(i, k) for it, in
// neighbour order.
template <typename Visit>
inline void ReachNeighbours(uint32_t c, std::vector<uint8_t>& state, const GridNeighbours& neighbours,
                            const Visit& visit)
{
    const bool inside = !(state[c] & kFloodBorder);
    for (int k = 0; k < 8; ++k) {
        if (!inside && !neighbours.OnMap(c, k)) {
            continue;
        }
        const uint32_t i = neighbours.Of(c, k);
        if (state[i] & kFloodReached) {
            continue;
        }
        state[i] |= kFloodReached;
        visit(i, k);
    }
}

// The flood's next cell: the lifted cells first, in the order lifted, then
// the front's least (fromFront set). False when both are served.
inline bool NextFloodCell(FloodFront& front, std::vector<uint32_t>& raised, size_t& next, uint32_t& c,
                          bool* fromFront = nullptr)
{
    if (next < raised.size()) {
        c = raised[next++];
        if (fromFront != nullptr) {
            *fromFront = false;
        }
        return true;
    }
    if (front.Empty()) {
        return false;
    }
    c = static_cast<uint32_t>(front.Pop());
    if (fromFront != nullptr) {
        *fromFront = true;
    }
    // The lifted cells are all served: start the FIFO's array over.
    raised.clear();
    next = 0;
    return true;
}
