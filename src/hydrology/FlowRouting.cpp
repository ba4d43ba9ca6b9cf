#include "hydrology/FlowRouting.h"

#include <cstddef>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "hydrology/FloodGrid.h"
#include "hydrology/MultipleFlow.h"
#include "terrain/ParallelRows.h"

const NeighbourStep neighbourSteps[8] = {
    {1, 0, 1.0},  {1, 1, M_SQRT1_2},   {0, 1, 1.0},  {-1, 1, M_SQRT1_2},
    {-1, 0, 1.0}, {-1, -1, M_SQRT1_2}, {0, -1, 1.0}, {1, -1, M_SQRT1_2},
};

float FloatAtLeast(double v)
{
    const float f = static_cast<float>(v);
    return static_cast<double>(f) < v ? std::nextafter(f, INFINITY) : f;
}

float FloatAtMost(double v)
{
    const float f = static_cast<float>(v);
    return static_cast<double>(f) > v ? std::nextafter(f, -INFINITY) : f;
}

void FillToDrain(float* h, int n, double gap)
{
    FillWork work;
    FillToDrain(h, n, gap, work);
}

void StartFlood(const float* h, int n, FillWork& work)
{
    std::vector<uint8_t>& state = work.state;
    FloodFront& front = work.front;
    work.order.valid = false;
    state.resize(static_cast<size_t>(n) * n);  // every cell set below
    front.Clear();
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const bool onBorder = x == 0 || y == 0 || x == n - 1 || y == n - 1;
            state[static_cast<size_t>(y) * n + x] =
                (IsOutlet(h, n, x, y) ? kFloodReached : 0) | (onBorder ? kFloodBorder : 0);
        }
    }
    std::vector<uint32_t>& shore = work.shore;
    shore.clear();
    for (int y = 1; y + 1 < n; ++y) {
        for (int x = 1; x + 1 < n; ++x) {
            const size_t land = static_cast<size_t>(y) * n + x;
            if (state[land] & kFloodReached) {
                continue;
            }
            for (const NeighbourStep& s : neighbourSteps) {
                const uint32_t i = static_cast<uint32_t>(land + s.dy * static_cast<ptrdiff_t>(n) + s.dx);
                if ((state[i] & (kFloodReached | kFloodQueued)) == kFloodReached) {
                    state[i] |= kFloodQueued;
                    shore.push_back(i);
                }
            }
        }
    }
    std::sort(shore.begin(), shore.end());
    front.PrefetchGrid(h, state.data(), static_cast<size_t>(n), state.size());
    for (const uint32_t i : shore) {
        front.Push(FrontKey(h[i], i));
    }
}

namespace {

// The flood both fills share: with `flat`, a cell the flood reaches below
// the level it comes from is raised to that level exactly (the lake's
// surface); without, just above it, by one float step or by `gap`.
void Flood(float* h, int n, double gap, bool flat, FillWork& work)
{
    StartFlood(h, n, work);
    std::vector<uint8_t>& state = work.state;
    std::vector<uint32_t>& raised = work.raised;  // a FIFO: read from `next` on
    FloodFront& front = work.front;
    raised.clear();
    const GridNeighbours neighbours(n);
    const bool record = work.recordOrder && !flat && gap == 0.0;
    FillOrder& order = work.order;
    if (record) {
        order.front.clear();
        order.lifted.clear();
    }
    size_t next = 0;
    uint32_t c;
    bool fromFront = false;
    while (NextFloodCell(front, raised, next, c, &fromFront)) {
        const float justAbove =
            flat ? h[c] : (gap > 0.0 ? FloatAtLeast(static_cast<double>(h[c]) + gap) : JustAbove(h[c]));
        // A cell from the front (the FIFO's cells were recorded as lifted),
        // not an outlet of the shore the front starts from.
        if (record && fromFront && !(state[c] & kFloodBorder) && h[c] > seaLevel) {
            order.front.push_back(OrderKey(h[c], c));
        }
        ReachNeighbours(c, state, neighbours, [&](uint32_t i, int) {
            if (h[i] <= justAbove) {
                h[i] = justAbove;
                raised.push_back(i);
                if (record) {
                    order.lifted.push_back(OrderKey(justAbove, i));
                }
            } else {
                front.Push(FrontKey(h[i], i));
            }
        });
    }
    order.valid = record;
}

}  // namespace

void FillToDrain(float* h, int n, double gap, FillWork& work) { Flood(h, n, gap, false, work); }

void FillFlat(float* h, int n, FillWork& work) { Flood(h, n, 0.0, true, work); }

void SteepestDescent(const float* h, int n, std::vector<uint8_t>& receiver, unsigned threads)
{
    receiver.resize(static_cast<size_t>(n) * n);
    ParallelRows(n, threads, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            for (int x = 0; x < n; ++x) {
                const size_t i = static_cast<size_t>(y) * n + x;
                uint8_t best = noReceiver;
                if (!IsOutlet(h, n, x, y)) {
                    double steepest = 0.0;
                    for (uint8_t k = 0; k < 8; ++k) {
                        const NeighbourStep& s = neighbourSteps[k];
                        const float drop = h[i] - h[i + s.dy * static_cast<ptrdiff_t>(n) + s.dx];
                        const double slope = static_cast<double>(drop) * s.inverseDistance;
                        if (slope > steepest) {
                            steepest = slope;
                            best = k;
                        }
                    }
                }
                receiver[i] = best;
            }
        }
    });
}

void DownstreamOrder(const std::vector<uint8_t>& receiver, int n, std::vector<uint32_t>& order)
{
    order.resize(receiver.size());
    size_t filled = 0;
    for (uint32_t i = 0; i < receiver.size(); ++i) {
        if (receiver[i] == noReceiver) {
            order[filled++] = i;
        }
    }
    // A neighbour is a donor when its receiver is the step back to this cell:
    // direction k seen from the donor is k + 4 (mod 8) seen from here.
    const GridNeighbours neighbours(n);
    for (size_t next = 0; next < filled; ++next) {
        const uint32_t c = order[next];
        const bool inside = neighbours.Inside(c);
        for (uint8_t k = 0; k < 8; ++k) {
            if (!inside && !neighbours.OnMap(c, k)) {
                continue;
            }
            const uint32_t d = neighbours.Of(c, k);
            if (receiver[d] == ((k + 4) & 7)) {
                order[filled++] = d;
            }
        }
    }
}

void UpstreamArea(const std::vector<uint8_t>& receiver, const std::vector<uint32_t>& order, int n,
                  std::vector<float>& area)
{
    const double dx = 1.0 / (n - 1);
    const float cellArea = static_cast<float>(dx * dx);
    area.assign(receiver.size(), cellArea);
    for (size_t k = order.size(); k-- > 0;) {
        const uint32_t i = order[k];
        if (receiver[i] != noReceiver) {
            area[ReceiverOf(i, receiver[i], n)] += area[i];
        }
    }
}
