#include "erosion/ErosionSteps.h"

#include <algorithm>
#include <cstddef>
#include <cmath>
#include <cstdlib>

#include "erosion/FlowRouting.h"
#include "terrain/ParallelRows.h"

namespace {

// Stream power, detachment-limited, solved implicitly downstream (Braun and
// Willett 2013): h_i <- (h_i + F h_r) / (1 + F), F = K dt A_i^m / d_ir, with
// the receiver r already updated. Unconditionally stable, and never lowers a
// cell below its receiver. What each cell lost is left in `lost`, in height.
void StreamPower(float* h, int n, const ErosionPlan& plan, ErosionWork& work)
{
    const double dx = 1.0 / (n - 1);
    std::vector<float>& lost = work.scratch;
    lost.assign(static_cast<size_t>(n) * n, 0.0f);
    for (const uint32_t i : work.order) {
        const uint8_t direction = work.receiver[i];
        if (direction == noReceiver) {
            continue;
        }
        const uint32_t r = ReceiverOf(i, direction, n);
        const double distance = dx / neighbourSteps[direction].inverseDistance;
        const double f = plan.streamPower * std::sqrt(static_cast<double>(work.area[i])) / distance;
        const float before = h[i];
        const float after = static_cast<float>((static_cast<double>(before) + f * h[r]) / (1.0 + f));
        h[i] = after;
        lost[i] = before - after;
    }
}

// Sediment carried downstream, upstream cells first: a cell takes in what
// its donors pass on plus what it lost itself, drops the share
// G dx^2 / A (all of it where G dx^2 >= A), and passes on the rest;
// what reaches an outlet leaves the map.
void Deposit(float* h, int n, const ErosionPlan& plan, ErosionWork& work)
{
    const double dx = 1.0 / (n - 1);
    const double cellArea = dx * dx;
    std::vector<float>& carried = work.scratch;  // starts as each cell's loss
    for (size_t k = work.order.size(); k-- > 0;) {
        const uint32_t i = work.order[k];
        const uint8_t direction = work.receiver[i];
        if (direction == noReceiver) {
            continue;
        }
        const double load = carried[i];
        const double share = std::min(1.0, plan.deposition * cellArea / work.area[i]);
        const double dropped = load * share;
        h[i] = static_cast<float>(h[i] + dropped);
        const uint32_t r = ReceiverOf(i, direction, n);
        carried[r] = static_cast<float>(carried[r] + (load - dropped));
    }
}

// Slopes steeper than the talus slope shed the excess to their lower
// neighbours: every cell moves, from the heights before the pass, the rate
// times the excess to each lower neighbour and takes the same from each
// higher one, so a pass conserves material on land. Outlets neither give
// nor take: what slides into the sea is gone. Row-parallel, thread-count
// independent (every cell reads only the previous pass).
void Relax(float* h, int n, const ErosionPlan& plan, ErosionWork& work, unsigned threads)
{
    const double dx = 1.0 / (n - 1);
    std::vector<float>& previous = work.scratch;
    for (int pass = 0; pass < plan.thermalPasses; ++pass) {
        previous.assign(h, h + static_cast<size_t>(n) * n);
        ParallelRows(n, threads, [&](int begin, int end) {
            for (int y = begin; y < end; ++y) {
                for (int x = 0; x < n; ++x) {
                    if (IsOutlet(previous.data(), n, x, y)) {
                        continue;
                    }
                    const size_t i = static_cast<size_t>(y) * n + x;
                    const double here = previous[i];
                    double change = 0.0;
                    for (const NeighbourStep& s : neighbourSteps) {
                        const size_t j = i + s.dy * static_cast<ptrdiff_t>(n) + s.dx;
                        const double limit = plan.talusSlope * dx / s.inverseDistance;
                        const double drop = here - previous[j];
                        if (drop > limit) {
                            change -= drop - limit;
                        } else if (-drop > limit && !IsOutlet(previous.data(), n, x + s.dx, y + s.dy)) {
                            change += -drop - limit;
                        }
                    }
                    h[i] = static_cast<float>(here + plan.thermalRate * change);
                }
            }
        });
    }
}

}  // namespace

ErosionPlan PlanErosion(float amount)
{
    // At amount 1: four rounds on the 129 lattice and two on each finer one,
    // K dt = 0.375 a round. More erosion takes more rounds of the same step,
    // so the step stays where the look was tuned.
    ErosionPlan plan;
    const double e = amount;
    plan.coarseIterations = std::max(1, static_cast<int>(std::ceil(4.0 * e)));
    plan.fineIterations = std::max(1, static_cast<int>(std::ceil(2.0 * e)));
    plan.streamPower = 1.5 * e / plan.coarseIterations;
    plan.deposition = 1.0;
    plan.talusSlope = 4.0;
    plan.thermalRate = 0.1;
    plan.thermalPasses = 1;
    return plan;
}

void ErodeCells(float* h, int n, const ErosionPlan& plan, int iterations, unsigned threads, ErosionWork& work,
                const std::function<void()>& roundDone)
{
    for (int iteration = 0; iteration < iterations; ++iteration) {
        FillToDrain(h, n);
        SteepestDescent(h, n, work.receiver, threads);
        DownstreamOrder(work.receiver, n, work.order);
        UpstreamArea(work.receiver, work.order, n, work.area);
        StreamPower(h, n, plan, work);
        Deposit(h, n, plan, work);
        Relax(h, n, plan, work, threads);
        if (roundDone) {
            roundDone();
        }
    }
}
