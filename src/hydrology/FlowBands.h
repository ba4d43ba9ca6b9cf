#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "hydrology/FillOrder.h"
#include "hydrology/FlowRouting.h"
#include "hydrology/MultipleFlow.h"
#include "terrain/ParallelWorkers.h"
#include "terrain/Prefetch.h"

// The passes that follow the water cell by cell (multiple-flow area,
// stream power, deposition) on every core, with the bits of the one-thread
// pass in the order (height, index).
//
// Every cell with shares is a cell of one band: the rows are dealt out to
// the bands in stripes, in turn, so each band holds about as many such
// cells, high and low, and each band's cells are kept in the one order,
// restricted to the band. A pass runs each band on its own thread,
// in that order. A cell's value is a sum over its neighbours, taken in the
// one order; so it is the one-thread value as long as each neighbour it
// reads is done first and every sum goes in the same order:
//  - a cell whose neighbours are all in its own band (every row but the
//    first and last of a stripe) is done in its band's order, after every
//    neighbour before it in the one order, and is sent what flows into it;
//  - a cell in a row beside a row of another band (a *seam* cell) first
//    waits until each neighbour of another band that comes before it in the
//    one order is done, then takes what flows in from its neighbours itself
//    (a pull, the senders in the one order), so that no two threads add to
//    one cell.
// No pass can stall: a band waits only for a cell earlier in the one order,
// and the band holding that cell is at or before it. With fewer threads
// than bands (no more threads to be had), a thread takes its bands' cells
// merged in the one order, which keeps that argument. How many bands there
// are changes when the passes run, never what they compute.
class FlowBands {
public:
    // The bands over the cells of `grid` with shares, ordered by the heights
    // `before` (those the shares were made from), on up to `threads` bands.
    // `before` must outlive the passes.
    //
    // Given the order the fill to drain that made `before` met its cells in,
    // the bands take it merged with its lifted cells instead of sorting all:
    // the same cells in the same order. Where it cannot be the same (it
    // does not run ascending, or it misses cells), they sort.
    void Build(const float* before, int n, const FlowShareGrid& grid, unsigned threads,
               FillOrder* fillOrder = nullptr);

    // The fewest cells with shares a band is given (2^16 unless set): below
    // that, a thread costs more than it saves. Tests set it low to make many
    // bands on small maps.
    void SetSmallestBand(size_t cells) { smallestBand = cells > 0 ? cells : 1; }

    int Side() const { return n; }
    size_t BandCount() const { return bands.size(); }
    const std::vector<uint32_t>& CellsOf(size_t band) const { return bands[band].cells; }

    // Whether cell i lies beside another band (and so takes what flows into
    // it, see above).
    bool IsSeam(uint32_t i) const { return role[i] == kSeam; }

    // Whether cell i has shares and is no seam cell: what flows into it is
    // sent to it by its senders.
    bool TakesSent(uint32_t i) const { return role[i] == kSent; }

    // The neighbours sending to cell i (with shares, and a share towards i
    // above 0), in the one descending order, as neighbour indices k (the
    // sender is neighbour k of i); returns how many.
    int SendersInOrder(uint32_t i, uint8_t (&senders)[8]) const;

    // visit(i) for every cell with shares, each band's in ascending (or
    // descending) one order on its own thread, seam cells after their
    // earlier neighbours of other bands.
    template <typename Visit>
    void Sweep(bool descending, const Visit& visit)
    {
        Sweep(descending, visit, [](uint32_t) {});
    }

    // The same, with ahead(j) called for the cell j a band will visit
    // kSweepAhead cells later, so that the pass can prefetch what it reads
    // there: the order scatters the cells over the map, and the passes wait
    // on memory at nearly every one. ahead changes nothing.
    template <typename Visit, typename Ahead>
    void Sweep(bool descending, const Visit& visit, const Ahead& ahead);
    static constexpr size_t kSweepAhead = 12;

private:
    // The key of the one order: the height's bits made to sort as unsigned
    // numbers (MultipleFlow.h, AscendingOrder), above the index.
    uint64_t KeyOf(uint32_t i) const;
    bool Before(uint32_t a, uint32_t b, bool descending) const
    {
        return descending ? KeyOf(a) > KeyOf(b) : KeyOf(a) < KeyOf(b);
    }
    void WaitForEarlier(uint32_t i, size_t band, bool descending) const;
    // After a pass on several threads: when the bands spent more than an
    // eighth of it waiting for each other (their threads do not each get a
    // core, the machine being busy, and every wait is then a wait for the
    // scheduler), every later Build of a map of this side or smaller makes
    // one band, which never waits. A larger map (the next, finer level) is
    // tried on its bands again: on a small level the waits and the threads'
    // start are a larger part of a short pass (a 513 level of a sketch
    // waited a seventh of its passes; its 4097 level, a twentieth).
    void NoteWaiting(std::chrono::steady_clock::duration pass);
    void MarkDone(uint32_t i) const
    {
        const uint32_t side = static_cast<uint32_t>(n);
        done[static_cast<size_t>(seamRow[i / side]) * n + i % side].store(epoch, std::memory_order_release);
    }
    template <typename Visit, typename Ahead>
    void RunBands(size_t worker, size_t workers, bool descending, const Visit& visit, const Ahead& ahead) const;

    bool TakeFillOrder(FillOrder& fillOrder, size_t total);

    struct Band {
        std::vector<uint32_t> cells;  // ascending one order
        std::vector<uint64_t> keys;   // sorting room
        std::vector<uint64_t> scratch;
    };

    // Per cell: no shares, shares (sent to), or shares in a seam row.
    static constexpr uint8_t kNone = 0;
    static constexpr uint8_t kSent = 1;
    static constexpr uint8_t kSeam = 2;
    std::vector<uint8_t> role;

    const float* before = nullptr;
    const FlowShareGrid* grid = nullptr;
    int n = 0;
    std::vector<Band> bands;
    std::vector<int> bandOfRow;
    std::vector<int> seamRow;  // slot of a seam row in `done`, else -1
    std::unique_ptr<std::atomic<uint32_t>[]> done;
    size_t doneSize = 0;
    uint32_t epoch = 0;  // raised every pass, so `done` never needs clearing
    mutable std::atomic<int64_t> waitedNanoseconds{0};
    int oneBandUpTo = 0;  // the largest side whose bands waited too long
    size_t smallestBand = size_t{1} << 16;
};

template <typename Visit, typename Ahead>
void FlowBands::RunBands(size_t worker, size_t workers, bool descending, const Visit& visit, const Ahead& ahead) const
{
    if (workers == bands.size()) {
        const std::vector<uint32_t>& cells = bands[worker].cells;
        const size_t count = cells.size();
        const bool seams = bands.size() > 1;
        const size_t side = static_cast<size_t>(n);
        for (size_t k = 0; k < count; ++k) {
            if (k + kSweepAhead < count) {
                const uint32_t j = cells[descending ? count - 1 - (k + kSweepAhead) : k + kSweepAhead];
                PrefetchAround(role.data(), j, side, role.size());
                ahead(j);
            }
            const uint32_t i = cells[descending ? count - 1 - k : k];
            if (seams && IsSeam(i)) {
                WaitForEarlier(i, worker, descending);
                visit(i);
                MarkDone(i);
            } else {
                visit(i);
            }
        }
        return;
    }
    // This worker's bands, merged in the one order.
    std::vector<size_t> mine;
    std::vector<size_t> next;
    for (size_t b = worker; b < bands.size(); b += workers) {
        mine.push_back(b);
        next.push_back(0);
    }
    for (;;) {
        size_t pick = mine.size();
        uint32_t best = 0;
        for (size_t m = 0; m < mine.size(); ++m) {
            const std::vector<uint32_t>& cells = bands[mine[m]].cells;
            if (next[m] < cells.size()) {
                const uint32_t i = cells[descending ? cells.size() - 1 - next[m] : next[m]];
                if (pick == mine.size() || Before(i, best, descending)) {
                    pick = m;
                    best = i;
                }
            }
        }
        if (pick == mine.size()) {
            return;
        }
        ++next[pick];
        if (IsSeam(best)) {
            WaitForEarlier(best, mine[pick], descending);
            visit(best);
            MarkDone(best);
        } else {
            visit(best);
        }
    }
}

template <typename Visit, typename Ahead>
void FlowBands::Sweep(bool descending, const Visit& visit, const Ahead& ahead)
{
    ++epoch;
    if (bands.size() == 1) {
        RunBands(0, 1, descending, visit, ahead);
        return;
    }
    const auto start = std::chrono::steady_clock::now();
    waitedNanoseconds.store(0, std::memory_order_relaxed);
    // As many threads as there are bands, or as can be had.
    RunParallelWorkers(bands.size(),
                       [&](size_t worker, size_t workers) { RunBands(worker, workers, descending, visit, ahead); });
    NoteWaiting(std::chrono::steady_clock::now() - start);
}
