#include "hydrology/BandedFlowArea.h"

#include <cstddef>

#include "terrain/Prefetch.h"

namespace {

ptrdiff_t OffsetOf(int k, int n)
{
    return neighbourSteps[k].dy * static_cast<ptrdiff_t>(n) + neighbourSteps[k].dx;
}

}  // namespace

void BandedFlowArea(FlowBands& bands, const FlowShareGrid& grid, std::vector<float>& area)
{
    const int n = bands.Side();
    const double dx = 1.0 / (n - 1);
    area.assign(static_cast<size_t>(n) * n, static_cast<float>(dx * dx));
    bands.Sweep(true, [&](uint32_t i) {
        if (bands.IsSeam(i)) {
            uint8_t senders[8];
            const int count = bands.SendersInOrder(i, senders);
            for (int s = 0; s < count; ++s) {
                const int k = senders[s];
                const uint32_t d = static_cast<uint32_t>(i + OffsetOf(k, n));
                area[i] += area[d] * grid.Of(d)[(k + 4) & 7];
            }
        }
        const float* share = grid.Of(i);
        const float a = area[i];
        for (int j = 0; j < 8; ++j) {
            if (share[j] > 0.0f) {
                const uint32_t t = static_cast<uint32_t>(i + OffsetOf(j, n));
                if (bands.TakesSent(t)) {
                    area[t] += a * share[j];
                }
            }
        }
    }, [&](uint32_t j) {
        PrefetchLine(grid.Of(j));
        PrefetchAround(area.data(), j, static_cast<size_t>(n), area.size());
    });
}
