#include "hydrology/Lakes.h"

#include <algorithm>
#include <cstddef>

LakeRule LakeRuleOf(double leastShare, int n)
{
    LakeRule rule;
    if (leastShare > 0.0) {
        const double side = n - 1;
        // At least one cell: a lake is never smaller than what the grid shows.
        rule.leastCells = std::max(1.0, leastShare * side * side);
    }
    return rule;
}

void FindLakes(const float* h, int n, const LakeRule& rule, FillWork& work, LakeCells& found)
{
    const size_t count = static_cast<size_t>(n) * n;
    found.level.assign(h, h + count);
    FillFlat(found.level.data(), n, work);
    const std::vector<float>& level = found.level;
    // While searching: 0 not yet seen, 1 a lake's, 2 below water but in no
    // lake, 3 dry.
    std::vector<uint8_t>& mark = found.mark;
    mark.assign(count, 0);
    std::vector<uint32_t>& queue = found.queue;
    for (size_t start = 0; start < count; ++start) {
        if (mark[start] != 0) {
            continue;
        }
        if (!(level[start] > h[start])) {
            mark[start] = 3;
            continue;
        }
        // The whole depression, breadth first from its first cell in row order.
        queue.clear();
        queue.push_back(static_cast<uint32_t>(start));
        mark[start] = 2;
        float deepest = 0.0f;
        for (size_t next = 0; next < queue.size(); ++next) {
            const uint32_t c = queue[next];
            deepest = std::max(deepest, level[c] - h[c]);
            const int x = static_cast<int>(c % n);
            const int y = static_cast<int>(c / n);
            for (const NeighbourStep& s : neighbourSteps) {
                const int nx = x + s.dx;
                const int ny = y + s.dy;
                if (nx < 0 || ny < 0 || nx >= n || ny >= n) {
                    continue;
                }
                const size_t i = static_cast<size_t>(ny) * n + nx;
                if (mark[i] == 0 && level[i] > h[i]) {
                    mark[i] = 2;
                    queue.push_back(static_cast<uint32_t>(i));
                }
            }
        }
        if (double(queue.size()) >= rule.leastCells && deepest >= rule.leastDepth) {
            for (const uint32_t c : queue) {
                mark[c] = 1;
            }
        }
    }
    for (uint8_t& m : mark) {
        m = m == 1 ? kInLake : kDry;
    }
    // A lake never touches the border (an outlet), so its cells have all
    // eight neighbours; a dry one no higher than the lake's level is at it.
    for (size_t c = 0; c < count; ++c) {
        if (mark[c] != kInLake) {
            continue;
        }
        for (const NeighbourStep& s : neighbourSteps) {
            const size_t i = c + s.dy * static_cast<ptrdiff_t>(n) + s.dx;
            if (mark[i] == kDry && h[i] <= level[c]) {
                mark[i] = kSill;
            }
        }
    }
}

void DrainKeepingLakes(float* h, int n, const LakeRule& rule, FillWork& work, LakeCells& found)
{
    if (!rule.On()) {
        FillToDrain(h, n, 0.0, work);
        return;
    }
    FindLakes(h, n, rule, work, found);
    // The lakes' ground, kept while the fill raises every depression.
    std::vector<float>& bed = found.level;
    const size_t count = static_cast<size_t>(n) * n;
    for (size_t i = 0; i < count; ++i) {
        bed[i] = h[i];
    }
    FillToDrain(h, n, 0.0, work);
    // Lowering a lake's cells back leaves every other cell the way down the
    // fill gave it: its lower neighbour is still lower.
    for (size_t i = 0; i < count; ++i) {
        if (found.mark[i] == kInLake) {
            h[i] = bed[i];
        }
    }
}

void DrainKeepingLakes(float* h, int n, const LakeRule& rule)
{
    FillWork work;
    LakeCells found;
    DrainKeepingLakes(h, n, rule, work, found);
}

void LakeSurface(const float* h, int n, std::vector<float>& surface)
{
    const size_t count = static_cast<size_t>(n) * n;
    surface.assign(h, h + count);
    FillWork work;
    FillFlat(surface.data(), n, work);
    for (size_t i = 0; i < count; ++i) {
        if (!(surface[i] > h[i])) {
            surface[i] = 0.0f;
        }
    }
}
