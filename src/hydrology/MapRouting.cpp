#include "hydrology/MapRouting.h"

#include <algorithm>
#include <cassert>
#include <vector>

#include "hydrology/FlowRouting.h"

MapRouting RouteMap(const Array2D<float>& heights, double minDrop)
{
    assert(heights.GetWidth() == heights.GetHeight());
    const int n = static_cast<int>(heights.GetWidth());
    MapRouting routing(heights);
    float* h = routing.routed.Row(0);
    if (!(minDrop > 0.0)) {
        FillToDrain(h, n);
    }
    uint8_t* receiver = routing.receiver.Row(0);
    std::fill(receiver, receiver + static_cast<size_t>(n) * n, noReceiver);
    for (int y = 1; y + 1 < n; ++y) {
        for (int x = 1; x + 1 < n; ++x) {
            const size_t i = static_cast<size_t>(y) * n + x;
            if (h[i] <= seaLevel) {
                continue;
            }
            float around[8];
            for (int k = 0; k < 8; ++k) {
                around[k] = h[i + neighbourSteps[k].dy * static_cast<ptrdiff_t>(n) + neighbourSteps[k].dx];
            }
            receiver[i] = SteepestWayDown(h[i], around, minDrop);
        }
    }
    const std::vector<uint8_t> receivers(receiver, receiver + static_cast<size_t>(n) * n);
    std::vector<uint32_t> order;
    DownstreamOrder(receivers, n, order);
    float* area = routing.upstream.Row(0);
    std::fill(area, area + static_cast<size_t>(n) * n, 1.0f);
    for (size_t k = order.size(); k-- > 0;) {
        const uint32_t i = order[k];
        if (receiver[i] != noReceiver) {
            area[ReceiverOf(i, receiver[i], n)] += area[i];
        }
    }
    return routing;
}
