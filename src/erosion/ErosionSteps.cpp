#include "erosion/ErosionSteps.h"

#include <algorithm>
#include <cstddef>
#include <cmath>
#include <cstdlib>

#include "hydrology/Breach.h"
#include "hydrology/BandedFlowArea.h"
#include "hydrology/FlowBands.h"
#include "hydrology/FlowRouting.h"
#include "hydrology/MultipleFlow.h"
#include "terrain/HugePages.h"
#include "terrain/ParallelRows.h"
#include "terrain/Prefetch.h"

namespace {

bool LakesOn(const ErosionPlan& plan, const ErosionWork& work)
{
    return plan.lakeLeastShare > 0.0 && !work.lakes.mark.empty();
}

// Stream power, detachment-limited, solved implicitly from the lowest cell
// up (Braun and Willett 2013), with the incision shared among the lower
// neighbours as the water is (MultipleFlow.h), as fastscape does for n = 1:
//     h_i <- (h_i + sum_k F_k h_k) / (1 + sum_k F_k),  F_k = K dt A_i^m w_k L_k / d_k,
// every h_k already updated. L_k is the width of the contour the water
// crosses towards neighbour k, relative to a side's: 1 for a side and
// 1/sqrt(2) for a corner (Quinn et al. 1991's contour lengths, 0.5 and
// 0.354 cells), so L_k / d_k is 1 or 1/2. Weighing the corners by 1/d_k
// alone cut valleys along the diagonals faster than along the axes: the
// fine band's 4-fold spectral harmonic was 0.17 on the 1025 map's land. Unconditionally stable, and a cell ends
// between its old height and its lowest neighbour's new one. The shares and
// the order are those of the heights before the step (`before`), so the
// step is one function of them. What each cell lost is left in `lost`.
void StreamPower(float* h, int n, const ErosionPlan& plan, ErosionWork& work)
{
    const double dx = 1.0 / (n - 1);
    const float* before = work.before.data();
    std::vector<float>& lost = work.scratch;
    // Set on every cell with shares below, and read on no other.
    lost.resize(static_cast<size_t>(n) * n);
    // Pulls from the cell's lower neighbours only: every band's cells in
    // ascending order find them done (FlowBands.h).
    const uint8_t* inLake = LakesOn(plan, work) ? work.lakes.mark.data() : nullptr;
    work.bands.Sweep(false, [&](uint32_t i) {
        if (inLake != nullptr && inLake[i] != kDry) {
            lost[i] = 0.0f;  // h[i] is before[i]: the lake's surface, or its sill
            return;
        }
        const float* share = work.shares.Of(i);
        const double f = plan.streamPower * std::sqrt(static_cast<double>(work.area[i])) / dx;
        double weights = 0.0;
        double pulled = 0.0;
        for (int k = 0; k < 8; ++k) {
            if (share[k] > 0.0f) {
                const NeighbourStep& s = neighbourSteps[k];
                const double fk = f * share[k] * s.inverseDistance * s.inverseDistance;
                weights += fk;
                pulled += fk * h[i + s.dy * static_cast<ptrdiff_t>(n) + s.dx];
            }
        }
        const float after = static_cast<float>((static_cast<double>(before[i]) + pulled) / (1.0 + weights));
        h[i] = after;
        lost[i] = before[i] - after;
    }, [&](uint32_t j) {
        PrefetchLine(work.shares.Of(j));
        PrefetchLine(work.area.data() + j);
        PrefetchLine(before + j);
        PrefetchLine(lost.data() + j);
        PrefetchAround(h, j, static_cast<size_t>(n), lost.size());
    });
}

// Sediment carried downstream, upstream cells first: a cell takes in what
// its donors pass on plus what it lost itself, drops the share
// G dx^2 / A (all of it where G dx^2 >= A), and passes on the rest to its
// lower neighbours in their water's shares; what reaches an outlet leaves
// the map. A seam cell of the bands (FlowBands.h) adds what its donors pass
// on itself, in the order they would have sent it.
void Deposit(float* h, int n, const ErosionPlan& plan, ErosionWork& work)
{
    const double dx = 1.0 / (n - 1);
    const double cellArea = dx * dx;
    std::vector<float>& carried = work.scratch;  // starts as each cell's loss
    // A lake cell keeps all it is brought, up to the lake's surface (its
    // room, in work.lakes.level); any other the share G dx^2 / A.
    const uint8_t* inLake = LakesOn(plan, work) ? work.lakes.mark.data() : nullptr;
    const float* room = inLake != nullptr ? work.lakes.level.data() : nullptr;
    const auto dropOf = [&](uint32_t i, double load) {
        if (inLake != nullptr && inLake[i] == kInLake) {
            return std::min(load, static_cast<double>(room[i]));
        }
        return load * std::min(1.0, plan.deposition * cellArea / work.area[i]);
    };
    const FlowShareGrid& shares = work.shares;
    work.bands.Sweep(true, [&](uint32_t i) {
        if (work.bands.IsSeam(i)) {
            uint8_t senders[8];
            const int count = work.bands.SendersInOrder(i, senders);
            for (int s = 0; s < count; ++s) {
                const int k = senders[s];
                const NeighbourStep& step = neighbourSteps[k];
                const uint32_t d = static_cast<uint32_t>(i + step.dy * static_cast<ptrdiff_t>(n) + step.dx);
                const double load = carried[d];
                const double passed = load - dropOf(d, load);
                carried[i] = static_cast<float>(carried[i] + passed * shares.Of(d)[(k + 4) & 7]);
            }
        }
        const float* share = shares.Of(i);
        const double load = carried[i];
        const double dropped = dropOf(i, load);
        h[i] = static_cast<float>(h[i] + dropped);
        const double passed = load - dropped;
        for (int j = 0; j < 8; ++j) {
            if (share[j] > 0.0f) {
                const NeighbourStep& s = neighbourSteps[j];
                const uint32_t t = static_cast<uint32_t>(i + s.dy * static_cast<ptrdiff_t>(n) + s.dx);
                if (work.bands.TakesSent(t)) {
                    carried[t] = static_cast<float>(carried[t] + passed * share[j]);
                }
            }
        }
    }, [&](uint32_t j) {
        PrefetchLine(shares.Of(j));
        PrefetchLine(work.area.data() + j);
        PrefetchLine(h + j);
        PrefetchAround(carried.data(), j, static_cast<size_t>(n), carried.size());
    });
}

// `passes` passes over the land, each cell's new height cell(previous, i,
// x, y) from a copy of the heights before the pass: row-parallel, and the
// bits the same on any thread count. Outlets stay as they are.
template <typename Cell>
void LandPasses(float* h, int n, int passes, std::vector<float>& previous, unsigned threads, const Cell& cell)
{
    for (int pass = 0; pass < passes; ++pass) {
        previous.assign(h, h + static_cast<size_t>(n) * n);
        ParallelRows(n, threads, [&](int begin, int end) {
            for (int y = begin; y < end; ++y) {
                for (int x = 0; x < n; ++x) {
                    if (!IsOutlet(previous.data(), n, x, y)) {
                        const size_t i = static_cast<size_t>(y) * n + x;
                        h[i] = cell(previous.data(), i, x, y);
                    }
                }
            }
        });
    }
}

// Hillslope creep (CreepStep, ErosionSteps.h), plan.diffusionPasses passes.
// With plan.gentleCreepGain, each cell's kappa is
//     kappa (1 + gain / (1 + (S / gentleSlope)^2)),
// S the slope by central differences (height per map width) before the
// pass: gentle ground creeps up to 1 + gain times faster, steep ground as
// before. Soil is deep on gentle ground, where creep moves it, and thin on
// steep slopes, where the talus relaxation takes over (soil-depth-dependent
// transport, Heimsath et al. 2005, Earth Surf. Process. Landforms 30). With
// one rate, the finest level's detail stayed white on gentle ground (the
// fine spectrum's slope -2.3 on the 4097 map's windows of 15 to 30 degrees)
// while steep ground fell off at -4.7; more creep everywhere lengthened the
// straight runs of the steep valleys instead (README, realism).
void Diffuse(float* h, int n, const ErosionPlan& plan, ErosionWork& work, unsigned threads)
{
    if (!(plan.gentleCreepGain > 0.0)) {
        LandPasses(h, n, plan.diffusionPasses, work.scratch, threads, [&](const float* p, size_t i, int, int) {
            return CreepStep(p + i, n, plan.diffusionRate);
        });
        return;
    }
    // A cell LandPasses visits is off the border, so its four sides exist.
    const double perGentle = (n - 1) / (2.0 * plan.gentleSlope);
    LandPasses(h, n, plan.diffusionPasses, work.scratch, threads, [&](const float* p, size_t i, int, int) {
        const double sx = (double(p[i + 1]) - p[i - 1]) * perGentle;
        const double sy = (double(p[i + n]) - p[i - n]) * perGentle;
        const double gain = plan.gentleCreepGain / (1.0 + sx * sx + sy * sy);
        return CreepStep(p + i, n, plan.diffusionRate * (1.0 + gain));
    });
}

// Slopes steeper than the talus slope shed the excess to their lower
// neighbours: every cell moves, from the heights before the pass, the rate
// times the excess to each lower neighbour and takes the same from each
// higher one, so a pass conserves material on land. Outlets neither give
// nor take: what slides into the sea is gone.
void Relax(float* h, int n, const ErosionPlan& plan, ErosionWork& work, unsigned threads)
{
    const double dx = 1.0 / (n - 1);
    // Each neighbour's stable drop and offset, once a pass rather than at
    // every cell: the division was most of a pass's time (the same values).
    double limits[8];
    ptrdiff_t offsets[8];
    for (int k = 0; k < 8; ++k) {
        limits[k] = plan.talusSlope * dx / neighbourSteps[k].inverseDistance;
        offsets[k] = neighbourSteps[k].dy * static_cast<ptrdiff_t>(n) + neighbourSteps[k].dx;
    }
    LandPasses(h, n, plan.thermalPasses, work.scratch, threads, [&](const float* previous, size_t i, int x, int y) {
        const double here = previous[i];
        double change = 0.0;
        for (int k = 0; k < 8; ++k) {
            const double limit = limits[k];
            const double drop = here - previous[i + offsets[k]];
            if (drop > limit) {
                change -= drop - limit;
            } else if (-drop > limit && !IsOutlet(previous, n, x + neighbourSteps[k].dx, y + neighbourSteps[k].dy)) {
                change += -drop - limit;
            }
        }
        return static_cast<float>(here + plan.thermalRate * change);
    });
}

}  // namespace

void DrainRound(float* h, int n, const ErosionPlan& plan, FillWork& work)
{
    if (plan.cutBelow > 0.0 && !(plan.lakeLeastShare > 0.0)) {
        BreachToDrain(h, n, plan.cutBelow, plan.talusSlope / (n - 1), work);
    } else {
        FillToDrain(h, n, 0.0, work);
    }
}

void ReserveErosionWork(ErosionWork& work, size_t count)
{
    // The largest arrays of a round, on huge pages: at 4097 they are over a
    // gigabyte, and their first touch was a sixth of the time in page faults.
    ReserveHuge(work.shares.share, 8 * count);
    ReserveHuge(work.before, count);
    ReserveHuge(work.area, count);
    ReserveHuge(work.scratch, count);
}

ErosionPlan PlanErosion(float amount)
{
    // At amount 1: four rounds on the 129 lattice, K dt = 0.375 a round, and
    // on each finer one the work of two such rounds. More erosion takes more
    // rounds of the same step, so the step stays where the look was tuned.
    ErosionPlan plan;
    const double e = amount;
    plan.coarseIterations = std::max(1, static_cast<int>(std::ceil(4.0 * e)));
    // A finer level's two steps a unit of amount are taken two at a time:
    // one fill and one routing for both. A finer level starts from valleys
    // the level above has cut, so the water takes the same ways in both
    // steps; taken apart (0.8), a 4097 map spent about 5 s more for the
    // same figures at its centre (straight runs 4.1 % then, 3.9 % now).
    const int fineSteps = std::max(1, static_cast<int>(std::ceil(2.0 * e)));
    plan.fineIterations = (fineSteps + 1) / 2;
    plan.fineRoundSteps = double(fineSteps) / plan.fineIterations;
    plan.streamPower = 1.5 * e / plan.coarseIterations;
    plan.deposition = 1.0;
    plan.talusSlope = 4.0;
    plan.thermalRate = 0.1;
    plan.thermalPasses = 1;
    plan.diffusionRate = 0.035;
    // Two passes of 0.035 rather than one of 0.05: with one, the fine band's
    // 4-fold spectral harmonic on the 2049 map's centre was 0.09 (0.075
    // now); more creep lengthens the straight runs of the valleys.
    plan.diffusionPasses = 2;
    // The 129 lattice is the map's large shape: a closed basin there deeper
    // than a twentieth of the relief is a valley with its way out blocked,
    // not a pond. Filled, it was a flat as wide as the basin, which every
    // finer level kept (the built-in continent's northern lowland: a basin
    // 300 m deep under a flat 2 km across, its floor speckled by the finer
    // levels' detail). Shallower depressions are filled as before, so the
    // island, the sketch and the DEM of the realism table make the same
    // bits as with every depression filled.
    plan.cutBelow = 0.05;
    return plan;
}

void ErodeCells(float* h, int n, const ErosionPlan& plan, int iterations, unsigned threads, ErosionWork& work,
                const std::function<void()>& roundDone)
{
    const size_t count = static_cast<size_t>(n) * n;
    ReserveErosionWork(work, count);
    // While the land erodes, every depression holds water: the rule's area
    // and depth pick the lakes that stay only once it is done (the final
    // drain, Erosion.cpp), so a pit that fills in a later round was a pond.
    const bool keepWater = plan.lakeLeastShare > 0.0;
    const LakeRule everyDepression{1.0, 0.0f};
    work.lakes.mark.clear();
    // The hillslope passes before the fill and after the deposition.
    ErosionPlan early = plan;
    early.thermalPasses = std::min(plan.earlyPasses, plan.thermalPasses);
    early.diffusionPasses = std::min(plan.earlyPasses, plan.diffusionPasses);
    ErosionPlan late = plan;
    late.thermalPasses -= early.thermalPasses;
    late.diffusionPasses -= early.diffusionPasses;
    for (int iteration = 0; iteration < iterations; ++iteration) {
        Relax(h, n, early, work, threads);
        Diffuse(h, n, early, work, threads);
        if (keepWater) {
            FindLakes(h, n, everyDepression, work.fill, work.lakes);
            work.lakes.level.assign(h, h + count);  // the ground, beds and all
        }
        work.fill.recordOrder = true;
        DrainRound(h, n, plan, work.fill);
        work.fill.recordOrder = false;
        work.before.assign(h, h + count);
        ComputeFlowShares(h, n, work.shares, threads);
        const unsigned bandThreads =
            work.bandThreads == 0 ? threads : (threads == 0 ? work.bandThreads : std::min(threads, work.bandThreads));
        work.bands.Build(work.before.data(), n, work.shares, bandThreads, &work.fill.order);
        BandedFlowArea(work.bands, work.shares, work.area);
        StreamPower(h, n, plan, work);
        if (keepWater) {
            // Back to the beds, each lake cell's room above it kept.
            float* ground = work.lakes.level.data();
            for (size_t i = 0; i < count; ++i) {
                if (work.lakes.mark[i] == kInLake) {
                    const float bed = ground[i];
                    ground[i] = work.before[i] - bed;
                    h[i] = bed;
                }
            }
        }
        Deposit(h, n, plan, work);
        Relax(h, n, late, work, threads);
        Diffuse(h, n, late, work, threads);
        if (roundDone) {
            roundDone();
        }
    }
}
