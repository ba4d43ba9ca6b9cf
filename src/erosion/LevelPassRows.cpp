#include "erosion/LevelPassRows.h"

#include <algorithm>
#include <cmath>

#include "hydrology/FlowRouting.h"
#include "hydrology/MultipleFlow.h"

namespace level_rows {

namespace {

// Cells of a row worked at a time, so that the sums stay in the cache.
constexpr int kChunk = 256;

// The neighbours' offsets and inverse distances, read once a row so that
// the loops see them as constants.
struct Steps {
    ptrdiff_t offset[8];
    float inverseFloat[8];
    double inverse[8];

    explicit Steps(ptrdiff_t stride)
    {
        for (int k = 0; k < 8; ++k) {
            offset[k] = neighbourSteps[k].dy * stride + neighbourSteps[k].dx;
            inverse[k] = neighbourSteps[k].inverseDistance;
            inverseFloat[k] = static_cast<float>(inverse[k]);
        }
    }
};

}  // namespace

void Shares(const float* p, ptrdiff_t stride, int64_t width, const SharePlanes& out)
{
    static_assert(kFlowExponent == 4, "the shares raise slopes to the fourth power");
    const Steps steps(stride);
    for (int k = 0; k < 8; ++k) {
        out.plane[k][0] = 0.0f;
        out.plane[k][width - 1] = 0.0f;
    }
    float steepest[kChunk];
    float inverseSteepest[kChunk];
    float sum[kChunk];
    for (int64_t x0 = 1; x0 < width - 1; x0 += kChunk) {
        const int n = static_cast<int>(std::min<int64_t>(kChunk, width - 1 - x0));
        const float* __restrict here = p + x0;
        // The slopes down to each side, in the planes, and the steepest...
        std::fill_n(steepest, n, 0.0f);
        for (int k = 0; k < 8; ++k) {
            float* __restrict s = out.plane[k] + x0;
            const float* __restrict there = here + steps.offset[k];
            const float inverse = steps.inverseFloat[k];
            for (int x = 0; x < n; ++x) {
                // Each value worked out before the choice between them, so
                // that the loop has no branch.
                const float drop = here[x] - there[x];
                const float slope = drop * inverse;
                s[x] = drop > 0.0f ? slope : 0.0f;
                steepest[x] = steepest[x] < s[x] ? s[x] : steepest[x];  // std::max's choice
            }
        }
        // ...then over the steepest to the fourth power...
        for (int x = 0; x < n; ++x) {
            inverseSteepest[x] = 1.0f / steepest[x];
            sum[x] = 0.0f;
        }
        for (int k = 0; k < 8; ++k) {
            float* __restrict s = out.plane[k] + x0;
            for (int x = 0; x < n; ++x) {
                const float r = s[x] * inverseSteepest[x];
                const float squared = r * r;
                s[x] = squared * squared;
                sum[x] += s[x];
            }
        }
        // ...and over their sum. Where no neighbour is lower (or at the sea)
        // these are not numbers; the select makes them 0, as SharesAround's
        // caller does.
        for (int x = 0; x < n; ++x) {
            const bool drains = here[x] > seaLevel && steepest[x] > 0.0f;
            const float inverse = 1.0f / sum[x];
            sum[x] = drains ? inverse : 0.0f;
        }
        for (int k = 0; k < 8; ++k) {
            float* __restrict s = out.plane[k] + x0;
            for (int x = 0; x < n; ++x) {
                const float share = s[x] * sum[x];
                s[x] = sum[x] != 0.0f ? share : 0.0f;
            }
        }
    }
}

void AreaSweep(const float* area, ptrdiff_t stride, int64_t width, const SharePlanes& shares, float* swept)
{
    const Steps steps(stride);
    swept[0] = area[0];
    swept[width - 1] = area[width - 1];
    float* __restrict out = swept + 1;
    std::fill_n(out, width - 2, 1.0f);
    // What neighbour k sends back is its share on side k + 4, at its own
    // cell; the sum in k's order, a side at a time along the row.
    for (int k = 0; k < 8; ++k) {
        const float* __restrict back = shares.plane[(k + 4) & 7] + steps.offset[k] + 1;
        const float* __restrict from = area + steps.offset[k] + 1;
        for (int64_t x = 0; x < width - 2; ++x) {
            out[x] += back[x] * from[x];
        }
    }
}

void StreamPower(const float* before, ptrdiff_t stride, int64_t width, const float* area, const SharePlanes& shares,
                 double incision, float* heights)
{
    const Steps steps(stride);
    double f[kChunk];
    double weights[kChunk];
    double pulled[kChunk];
    for (int64_t x0 = 1; x0 < width - 1; x0 += kChunk) {
        const int n = static_cast<int>(std::min<int64_t>(kChunk, width - 1 - x0));
        for (int x = 0; x < n; ++x) {
            f[x] = incision * std::sqrt(static_cast<double>(area[x0 + x]));
            weights[x] = 0.0;
            pulled[x] = 0.0;
        }
        // A share of 0 adds +0 to both sums, which keeps their bits: the
        // cells without shares come out as they were.
        for (int k = 0; k < 8; ++k) {
            const float* __restrict s = shares.plane[k] + x0;
            const float* __restrict around = before + x0 + steps.offset[k];
            const double inverse = steps.inverse[k];
            for (int x = 0; x < n; ++x) {
                const double fk = f[x] * static_cast<double>(s[x]) * inverse * inverse;
                weights[x] += fk;
                pulled[x] += fk * static_cast<double>(around[x]);
            }
        }
        for (int x = 0; x < n; ++x) {
            heights[x0 + x] = static_cast<float>((static_cast<double>(before[x0 + x]) + pulled[x]) / (1.0 + weights[x]));
        }
    }
}

}  // namespace level_rows
