#include "hydrology/FlowBands.h"

#include <algorithm>
#include <thread>

#include "terrain/ParallelRows.h"

namespace {

ptrdiff_t OffsetOf(int k, int n)
{
    return neighbourSteps[k].dy * static_cast<ptrdiff_t>(n) + neighbourSteps[k].dx;
}

}  // namespace

uint64_t FlowBands::KeyOf(uint32_t i) const { return OrderKey(before[i], i); }

void FlowBands::Build(const float* heights, int side, const FlowShareGrid& shares, unsigned threads,
                      FillOrder* fillOrder)
{
    before = heights;
    grid = &shares;
    n = side;
    std::vector<size_t> rowCount(static_cast<size_t>(n), 0);
    ParallelRows(n, threads, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            const uint8_t* has = shares.has.data() + static_cast<size_t>(y) * n;
            rowCount[static_cast<size_t>(y)] = static_cast<size_t>(std::count(has, has + n, uint8_t{1}));
        }
    });
    size_t total = 0;
    for (const size_t c : rowCount) {
        total += c;
    }
    const size_t wanted =
        n <= oneBandUpTo ? 1 : std::max<size_t>(1, std::min<size_t>(EffectiveThreads(threads), total / smallestBand));

    // Stripes of rows dealt out in turn, so that every band holds cells of
    // every part of the map, high and low alike, and the bands go down (or
    // up) the heights at about the same pace, seldom waiting for each other.
    const int stripe = std::clamp(n / (8 * static_cast<int>(wanted)), 8, 64);
    bandOfRow.resize(static_cast<size_t>(n));
    for (int y = 0; y < n; ++y) {
        bandOfRow[static_cast<size_t>(y)] = (y / stripe) % static_cast<int>(wanted);
    }
    bands.resize(wanted);

    // Rows beside another band, each with a row of done marks.
    seamRow.assign(static_cast<size_t>(n), -1);
    int slots = 0;
    for (int y = 0; y < n; ++y) {
        const int band = bandOfRow[static_cast<size_t>(y)];
        if ((y > 0 && bandOfRow[static_cast<size_t>(y) - 1] != band) ||
            (y + 1 < n && bandOfRow[static_cast<size_t>(y) + 1] != band)) {
            seamRow[static_cast<size_t>(y)] = slots++;
        }
    }
    role.resize(static_cast<size_t>(n) * n);
    ParallelRows(n, threads, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            const size_t row = static_cast<size_t>(y) * n;
            const uint8_t ofShares = seamRow[static_cast<size_t>(y)] >= 0 ? kSeam : kSent;
            for (int x = 0; x < n; ++x) {
                role[row + x] = shares.has[row + x] ? ofShares : kNone;
            }
        }
    });
    const size_t needed = static_cast<size_t>(slots) * static_cast<size_t>(n);
    if (needed > doneSize) {
        done.reset(new std::atomic<uint32_t>[needed]);
        for (size_t k = 0; k < needed; ++k) {
            done[k].store(0, std::memory_order_relaxed);
        }
        doneSize = needed;
    }

    // Each band's cells in the one order.
    if (fillOrder != nullptr && fillOrder->valid && TakeFillOrder(*fillOrder, total)) {
        return;
    }
    ParallelRows(static_cast<int>(bands.size()), threads, [&](int begin, int end) {
        for (int b = begin; b < end; ++b) {
            Band& band = bands[static_cast<size_t>(b)];
            band.keys.clear();
            for (int y = 0; y < n; ++y) {
                if (bandOfRow[static_cast<size_t>(y)] != b) {
                    continue;
                }
                for (int x = 0; x < n; ++x) {
                    const uint32_t i = static_cast<uint32_t>(y) * static_cast<uint32_t>(n) + static_cast<uint32_t>(x);
                    if (shares.has[i]) {
                        band.keys.push_back(KeyOf(i));
                    }
                }
            }
            SortOrderKeys(band.keys, band.scratch);
            band.cells.resize(band.keys.size());
            for (size_t k = 0; k < band.keys.size(); ++k) {
                band.cells[k] = static_cast<uint32_t>(band.keys[k]);
            }
        }
    });
}

bool FlowBands::TakeFillOrder(FillOrder& fillOrder, size_t total)
{
    for (Band& band : bands) {
        band.cells.clear();
    }
    const uint32_t side = static_cast<uint32_t>(n);
    return ForEachInFillOrder(fillOrder, total, [&](uint32_t i) {
        bands[static_cast<size_t>(bandOfRow[i / side])].cells.push_back(i);
    });
}

int FlowBands::SendersInOrder(uint32_t i, uint8_t (&senders)[8]) const
{
    int count = 0;
    uint64_t keys[8];
    for (int k = 0; k < 8; ++k) {
        const uint32_t d = static_cast<uint32_t>(i + OffsetOf(k, n));
        if (grid->has[d] && grid->Of(d)[(k + 4) & 7] > 0.0f) {
            // Insertion by key, highest first: the order senders are taken in.
            const uint64_t key = KeyOf(d);
            int at = count++;
            while (at > 0 && keys[at - 1] < key) {
                keys[at] = keys[at - 1];
                senders[at] = senders[at - 1];
                --at;
            }
            keys[at] = key;
            senders[at] = static_cast<uint8_t>(k);
        }
    }
    return count;
}

void FlowBands::WaitForEarlier(uint32_t i, size_t band, bool descending) const
{
    const uint32_t side = static_cast<uint32_t>(n);
    for (int k = 0; k < 8; ++k) {
        const uint32_t j = static_cast<uint32_t>(i + OffsetOf(k, n));
        const uint32_t row = j / side;
        if (static_cast<size_t>(bandOfRow[row]) == band || !grid->has[j] || !Before(j, i, descending)) {
            continue;
        }
        const std::atomic<uint32_t>& mark = done[static_cast<size_t>(seamRow[row]) * n + j % side];
        int spins = 0;
        while (spins < 64 && mark.load(std::memory_order_acquire) != epoch) {
            ++spins;
        }
        if (spins == 64) {
            const auto start = std::chrono::steady_clock::now();
            while (mark.load(std::memory_order_acquire) != epoch) {
                std::this_thread::yield();
            }
            const auto waited = std::chrono::steady_clock::now() - start;
            waitedNanoseconds.fetch_add(std::chrono::duration_cast<std::chrono::nanoseconds>(waited).count(),
                                        std::memory_order_relaxed);
        }
    }
}

void FlowBands::NoteWaiting(std::chrono::steady_clock::duration pass)
{
    const int64_t threadTime =
        std::chrono::duration_cast<std::chrono::nanoseconds>(pass).count() * static_cast<int64_t>(bands.size());
    if (8 * waitedNanoseconds.load(std::memory_order_relaxed) > threadTime) {
        oneBandUpTo = std::max(oneBandUpTo, n);
    }
}
