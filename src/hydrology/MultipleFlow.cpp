#include "hydrology/MultipleFlow.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "hydrology/FlowRouting.h"
#include "terrain/ParallelRows.h"
#include "terrain/Prefetch.h"

bool FlowShares(const float* h, int n, int x, int y, float (&share)[8])
{
    if (IsOutlet(h, n, x, y)) {
        return false;
    }
    return SharesAround(h + static_cast<size_t>(y) * n + x, n, share);
}

void SortOrderKeys(std::vector<uint64_t>& keys, std::vector<uint64_t>& scratch)
{
    scratch.resize(keys.size());
    for (int shift = 32; shift < 64; shift += 11) {
        std::array<size_t, 2049> start{};
        for (const uint64_t key : keys) {
            ++start[((key >> shift) & 2047u) + 1];
        }
        for (size_t b = 1; b < start.size(); ++b) {
            start[b] += start[b - 1];
        }
        for (const uint64_t key : keys) {
            scratch[start[(key >> shift) & 2047u]++] = key;
        }
        keys.swap(scratch);
    }
}

void AscendingOrder(const float* h, size_t count, std::vector<uint32_t>& order, std::vector<uint64_t>& scratch)
{
    std::vector<uint64_t> keys(count);
    for (size_t i = 0; i < count; ++i) {
        keys[i] = OrderKey(h[i], static_cast<uint32_t>(i));
    }
    SortOrderKeys(keys, scratch);
    order.resize(count);
    for (size_t i = 0; i < count; ++i) {
        order[i] = static_cast<uint32_t>(keys[i]);
    }
}

void ComputeFlowShares(const float* h, int n, FlowShareGrid& grid, unsigned threads)
{
    const size_t count = static_cast<size_t>(n) * n;
    grid.share.resize(8 * count);
    grid.has.resize(count);
    ParallelRows(n, threads, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            for (int x = 0; x < n; ++x) {
                const size_t i = static_cast<size_t>(y) * n + x;
                float share[8];
                grid.has[i] = FlowShares(h, n, x, y, share);
                // A cell without shares has none to keep (its are never read).
                if (grid.has[i]) {
                    std::copy_n(share, 8, grid.share.data() + 8 * i);
                }
            }
        }
    });
}
void MultipleFlowArea(const FlowShareGrid& grid, int n, const std::vector<uint32_t>& order, std::vector<float>& area)
{
    const double dx = 1.0 / (n - 1);
    area.assign(static_cast<size_t>(n) * n, static_cast<float>(dx * dx));
    // The order scatters the cells over the map: each one's shares and
    // area are asked for a few cells ahead (Prefetch.h).
    constexpr size_t ahead = 12;
    for (size_t k = order.size(); k-- > 0;) {
        if (k >= ahead) {
            const uint32_t j = order[k - ahead];
            PrefetchLine(grid.Of(j));
            PrefetchAround(area.data(), j, static_cast<size_t>(n), area.size());
        }
        const uint32_t i = order[k];
        if (!grid.has[i]) {
            continue;
        }
        const float* share = grid.Of(i);
        const float a = area[i];
        for (int j = 0; j < 8; ++j) {
            if (share[j] > 0.0f) {
                area[i + neighbourSteps[j].dy * static_cast<ptrdiff_t>(n) + neighbourSteps[j].dx] += a * share[j];
            }
        }
    }
}
