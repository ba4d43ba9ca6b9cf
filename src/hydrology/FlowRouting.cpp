#include "hydrology/FlowRouting.h"

#include <cstddef>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "terrain/ParallelRows.h"

const NeighbourStep neighbourSteps[8] = {
    {1, 0, 1.0},  {1, 1, M_SQRT1_2},   {0, 1, 1.0},  {-1, 1, M_SQRT1_2},
    {-1, 0, 1.0}, {-1, -1, M_SQRT1_2}, {0, -1, 1.0}, {1, -1, M_SQRT1_2},
};

namespace {

// Flood front entries, lowest first; equal heights by cell index, so the
// order is fixed by the heights alone, whatever the queue's implementation.
// Heights are never negative, so their bit patterns sort as they do, and a
// height and an index fit one 64-bit key.
uint64_t FrontKey(float height, uint32_t index)
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
float JustAbove(float height)
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

}  // namespace

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

namespace {

constexpr uint8_t reached = 1;
constexpr uint8_t queued = 2;
constexpr uint8_t border = 4;  // so a cell's place needs no division

// Every outlet is reached from the start; only those beside land join the
// front (in index order), since the open sea has nothing to flood.
void StartFlood(const float* h, int n, FillWork& work)
{
    std::vector<uint8_t>& state = work.state;
    FloodFront& front = work.front;
    state.resize(static_cast<size_t>(n) * n);  // every cell set below
    front.Clear();
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const bool onBorder = x == 0 || y == 0 || x == n - 1 || y == n - 1;
            state[static_cast<size_t>(y) * n + x] = (IsOutlet(h, n, x, y) ? reached : 0) | (onBorder ? border : 0);
        }
    }
    std::vector<uint32_t>& shore = work.shore;
    shore.clear();
    for (int y = 1; y + 1 < n; ++y) {
        for (int x = 1; x + 1 < n; ++x) {
            const size_t land = static_cast<size_t>(y) * n + x;
            if (state[land] & reached) {
                continue;
            }
            for (const NeighbourStep& s : neighbourSteps) {
                const uint32_t i = static_cast<uint32_t>(land + s.dy * static_cast<ptrdiff_t>(n) + s.dx);
                if ((state[i] & (reached | queued)) == reached) {
                    state[i] |= queued;
                    shore.push_back(i);
                }
            }
        }
    }
    std::sort(shore.begin(), shore.end());
    for (const uint32_t i : shore) {
        front.Push(FrontKey(h[i], i));
    }
}

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
    size_t next = 0;
    while (!front.Empty() || next < raised.size()) {
        uint32_t c;
        if (next < raised.size()) {
            c = raised[next++];
        } else {
            c = static_cast<uint32_t>(front.Pop());
            // The lifted cells are all served: start the FIFO's array over.
            raised.clear();
            next = 0;
        }
        const bool inside = !(state[c] & border);
        const float justAbove =
            flat ? h[c] : (gap > 0.0 ? FloatAtLeast(static_cast<double>(h[c]) + gap) : JustAbove(h[c]));
        for (int k = 0; k < 8; ++k) {
            if (!inside && !neighbours.OnMap(c, k)) {
                continue;
            }
            const uint32_t i = neighbours.Of(c, k);
            if (state[i] & reached) {
                continue;
            }
            state[i] |= reached;
            if (h[i] <= justAbove) {
                h[i] = justAbove;
                raised.push_back(i);
            } else {
                front.Push(FrontKey(h[i], i));
            }
        }
    }
}

// The next float down, for the heights of land (above the sea, so above 0).
float JustBelow(float height) { return std::nextafter(height, -INFINITY); }

// Lays the walls of a cut back to `wallSlope` (height a cell across; a
// diagonal step sqrt 2 times that) as far as they stand in the cut: every
// cell is lowered to at most the height of a cut cell plus the slope times
// the distance (3 x 3 chamfer, two raster passes, Rosenfeld and Pfaltz
// 1966), but only where that stays below the height the cut cell stood at
// before it was cut, so a wall is laid back no higher than the ground the
// cut went through; outlets are kept. A cut one cell wide and as deep as the
// basin behind it would stand far steeper than loose rock does: the first
// slides would dam it and the fill would bury the basin after all. A
// lowered cell has a neighbour a step of the slope lower on its way to the
// cut, so every cell still has a way down.
void OpenCut(float* h, int n, double wallSlope, const std::vector<uint32_t>& cut, const std::vector<float>& before,
             const std::vector<uint8_t>& parent)
{
    const size_t count = static_cast<size_t>(n) * n;
    std::vector<double> reach(count, INFINITY);
    std::vector<float> ceiling(count, 0.0f);
    for (size_t k = 0; k < cut.size(); ++k) {
        reach[cut[k]] = h[cut[k]];
        ceiling[cut[k]] = std::max(ceiling[cut[k]], before[k]);
    }
    const double side = wallSlope;
    const double corner = wallSlope * M_SQRT2;
    const auto from = [&](size_t i, int x, int y, int dx, int dy, double step) {
        const int nx = x + dx;
        const int ny = y + dy;
        if (nx >= 0 && ny >= 0 && nx < n && ny < n) {
            const size_t j = static_cast<size_t>(ny) * n + nx;
            const double r = reach[j] + step;
            if (r < reach[i] && r < ceiling[j]) {
                reach[i] = r;
                ceiling[i] = ceiling[j];
            }
        }
    };
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const size_t i = static_cast<size_t>(y) * n + x;
            from(i, x, y, -1, 0, side);
            from(i, x, y, -1, -1, corner);
            from(i, x, y, 0, -1, side);
            from(i, x, y, 1, -1, corner);
        }
    }
    for (int y = n - 1; y >= 0; --y) {
        for (int x = n - 1; x >= 0; --x) {
            const size_t i = static_cast<size_t>(y) * n + x;
            from(i, x, y, 1, 0, side);
            from(i, x, y, 1, 1, corner);
            from(i, x, y, 0, 1, side);
            from(i, x, y, -1, 1, corner);
        }
    }
    for (size_t i = 0; i < count; ++i) {
        if (parent[i] != noReceiver && reach[i] < h[i]) {
            h[i] = static_cast<float>(reach[i]);
        }
    }
}

// Marks the cells of every depression whose water would stand more than
// `depth` deep somewhere: a depression is a connected set (8 neighbours) of
// cells under one water surface of the plain priority flood (FillFlat).
std::vector<uint8_t> DeepDepressions(const float* h, int n, double depth)
{
    const size_t count = static_cast<size_t>(n) * n;
    std::vector<float> water(h, h + count);
    FillWork fill;
    FillFlat(water.data(), n, fill);
    std::vector<uint8_t> deep(count, 0);
    std::vector<uint8_t> seen(count, 0);
    std::vector<uint32_t> members;
    const GridNeighbours neighbours(n);
    for (size_t start = 0; start < count; ++start) {
        if (seen[start] || !(water[start] > h[start])) {
            continue;
        }
        members.assign(1, static_cast<uint32_t>(start));
        seen[start] = 1;
        bool isDeep = false;
        for (size_t next = 0; next < members.size(); ++next) {
            const uint32_t c = members[next];
            isDeep |= double(water[c]) - h[c] > depth;
            for (int k = 0; k < 8; ++k) {
                if (!neighbours.OnMap(c, k)) {
                    continue;
                }
                const uint32_t j = neighbours.Of(c, k);
                if (!seen[j] && water[j] > h[j] && water[j] == water[c]) {
                    seen[j] = 1;
                    members.push_back(j);
                }
            }
        }
        for (const uint32_t c : members) {
            deep[c] = isDeep;
        }
    }
    return deep;
}

}  // namespace

void BreachToDrain(float* h, int n, double fillDepth, double wallSlope, FillWork& work)
{
    StartFlood(h, n, work);
    std::vector<uint8_t>& state = work.state;
    std::vector<uint8_t>& parent = work.parent;
    std::vector<uint32_t>& cut = work.raised;  // the cells cut down, in the order cut
    FloodFront& front = work.front;
    parent.assign(static_cast<size_t>(n) * n, noReceiver);
    const std::vector<uint8_t> deep = DeepDepressions(h, n, fillDepth);
    cut.clear();
    std::vector<float> cutFrom;  // the height each cut cell stood at
    const GridNeighbours neighbours(n);
    // Cuts the way out from cell `from` down below `level`: along the cells
    // that are not already below it, falling evenly from `level` to the
    // first cell on the way that is (its own height kept), and at least a
    // float step a cell. False, with nothing cut, where the cut would reach
    // the sea.
    const auto carve = [&](uint32_t from, float level) {
        int steps = 0;
        uint32_t end = from;
        for (; parent[end] != noReceiver && !(h[end] < level); end = neighbours.Of(end, parent[end])) {
            ++steps;
        }
        // The way ends on a lower cell, or on an outlet no lower (the map's
        // border), which is cut too: left standing, a finer level's cells
        // between it and the cut would stand half way up to it and dam the
        // way out. Such a way falls by float steps.
        // A way that ends in the sea falls to the sea's level, not its floor.
        const bool throughBorder = !(h[end] < level);
        steps += throughBorder ? 1 : 0;
        const double bottom = std::max(double(h[end]), double(seaLevel));
        const double fall = throughBorder ? 0.0 : (double(level) - bottom) / (steps + 1);
        const auto walk = [&](bool write) {
            float above = level;
            uint32_t c = from;
            for (int j = 1; j <= steps; ++j, c = parent[c] == noReceiver ? c : neighbours.Of(c, parent[c])) {
                above = std::min(std::min(h[c], FloatAtMost(double(level) - fall * j)), JustBelow(above));
                // Too few floats between `level` and the lower cell for a
                // fall on every cell: filled instead, as too near the sea.
                if (!(above > seaLevel) || (!throughBorder && !(above > h[end]))) {
                    return false;
                }
                if (write) {
                    cut.push_back(c);
                    cutFrom.push_back(h[c]);
                    h[c] = above;
                }
            }
            return true;
        };
        return walk(false) && walk(true);
    };
    while (!front.Empty()) {
        const uint32_t c = static_cast<uint32_t>(front.Pop());
        const bool inside = !(state[c] & border);
        for (int k = 0; k < 8; ++k) {
            if (!inside && !neighbours.OnMap(c, k)) {
                continue;
            }
            const uint32_t i = neighbours.Of(c, k);
            if (state[i] & reached) {
                continue;
            }
            state[i] |= reached;
            parent[i] = static_cast<uint8_t>((k + 4) & 7);
            // A cell no higher than the one the flood came from lies in a
            // depression: its way out is cut down below it, or where that
            // would reach the sea, it is lifted as the fill lifts it.
            if (!(h[i] > h[c]) && (!deep[i] || !carve(c, h[i]))) {
                h[i] = JustAbove(h[c]);
            }
            front.Push(FrontKey(h[i], i));
        }
    }
    if (wallSlope > 0.0 && !cut.empty()) {
        OpenCut(h, n, wallSlope, cut, cutFrom, parent);
    }
}

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
