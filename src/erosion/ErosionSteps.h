#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "hydrology/FlowBands.h"
#include "hydrology/FlowRouting.h"
#include "hydrology/Lakes.h"
#include "hydrology/MultipleFlow.h"

// The steps one erosion iteration takes on an n x n grid of heights (the map
// one unit across, heights in map units). Everything is in map-relative
// units, so a coarse and a fine grid of the same map erode alike.

struct ErosionPlan {
    int coarseIterations;  // on the 129 lattice (or the whole map, if smaller)
    int fineIterations;    // rounds on each finer lattice
    // Each finer round takes this many of the coarse rounds' steps at once
    // (stream power, relaxation and creep; FinerPlan, Erosion.cpp).
    double fineRoundSteps;
    // Passes of relaxation and of creep a round runs before its fill, the
    // rest after its deposition (FinerPlan, Erosion.cpp).
    int earlyPasses = 0;
    // Above 0: each round's drain (and the level's last) fills only the
    // depressions at most this deep (in heights) and cuts the way out of
    // deeper ones (DrainRound); 0: every depression is filled. The 129
    // lattice's plan only (PlanErosion); never where lakes are kept.
    double cutBelow = 0.0;
    double streamPower;    // K dt in K A^(1/2) S: coefficient times time step
    double deposition;     // G: share of carried sediment a cell of the
                           // map's smallest catchment drops
    double talusSlope;     // steepest stable slope, height per map width
    double thermalRate;    // share of the excess over the talus moved a pass
    int thermalPasses;     // relaxation passes per iteration
    double diffusionRate;  // hillslope creep's D dt / dx^2 a pass, at most 0.3
    int diffusionPasses;   // creep passes per iteration
    // Above 0: creep on gentle ground is up to 1 + this times faster, by
    // slope, half as much more at gentleSlope (height per map width; Diffuse,
    // ErosionSteps.cpp). The finer lattices' plan only (FinerPlan).
    double gentleCreepGain = 0.0;
    double gentleSlope = 1.0;
    // Lakes of at least this share of the map's area keep their water
    // (Lakes.h); 0: every depression is filled.
    double lakeLeastShare = 0.0;
};

// One pass of hillslope creep, linear diffusion dh/dt = D laplacian(h)
// (Culling 1960), at the cell p in rows of `stride` cells: soil creeps
// downhill in proportion to the slope, which rounds hilltops and smooths
// every slope between the channels. The isotropic nine-point laplacian
// (Patra and Karttunen 2006), whose smoothing has no preferred direction,
// with kappa = D dt / dx^2:
//     h + kappa (4 (E + W + N + S) + (NE + NW + SE + SW) - 20 h) / 6,
// the sums in double in that order; stable and never overshooting for
// kappa <= 0.3, where the new height is a weighted mean of the old ones.
inline float CreepStep(const float* p, ptrdiff_t stride, double kappa)
{
    const double sides = double(p[1]) + p[-1] + p[stride] + p[-stride];
    const double corners = double(p[stride + 1]) + p[stride - 1] + p[1 - stride] + p[-1 - stride];
    return static_cast<float>(p[0] + kappa * (4.0 * sides + corners - 20.0 * p[0]) / 6.0);
}

// The finer levels' creep on gentle ground (ErosionPlan::gentleCreepGain):
// three times as fast on flat ground, twice at a slope of 1.5 (17 degrees
// at the default 10 km and 2000 m). On the 4097 sketch the fine spectrum's
// slope is -3.28 (-2.49 at one rate), on the island's -3.50 (-3.17), with
// straight runs 7.1 % and 4.2 % (6.9 % and 3.9 %). A gain of 1 gave the
// 2049 sketch -2.77, where 2 gives -3.18.
constexpr double kGentleCreepGain = 2.0;
constexpr double kGentleSlope = 1.5;

// The plan for an erosion amount in (0, maxErosion].
ErosionPlan PlanErosion(float amount);

// Arrays reused from iteration to iteration (and level to level).
struct ErosionWork {
    FlowBands bands;  // the cells with shares, lowest first, in bands
    // Bands for the passes that follow the water, at most (0: one a thread,
    // the default). On 2 idle cores a 4097 round takes 3.5 s on two bands
    // and 4.3 s on one; on a busy machine the bands wait for each other and
    // FlowBands drops to one band (README, erosion time).
    unsigned bandThreads = 0;
    FillWork fill;
    std::vector<float> area;
    std::vector<float> before;  // the heights a round started from
    FlowShareGrid shares;
    std::vector<float> scratch;
    LakeCells lakes;  // this round's lakes, and their ground (`level` reused)
};

// Room in `work` for the largest arrays of a round on `count` cells (ErodeCells
// makes it as it needs it; made for the finest level first, every coarser
// level works in the same memory).
void ReserveErosionWork(ErosionWork& work, size_t count);

// Drains h as a round of `plan` does: where it cuts (plan.cutBelow > 0 and
// no lakes kept), BreachToDrain, filling the depressions less than
// plan.cutBelow deep and cutting the deeper ones' ways out, their walls
// laid back to the talus slope; else FillToDrain.
void DrainRound(float* h, int n, const ErosionPlan& plan, FillWork& work);

// `iterations` rounds of: fill to drain, route (multiple flow), stream
// power, deposition, thermal relaxation, hillslope creep (plan.earlyPasses
// of the relaxation's and the creep's passes before the fill).
// With plan.lakeLeastShare, every depression holds water while the land
// erodes (Lakes.h; which of them stay lakes is decided once erosion is
// done). Water is routed over the filled surface to each depression's
// outlet as over any pit, but a lake is a base level (Cordonnier, Bovy and
// Braun 2019): its cells are not cut, the streams entering it are cut down
// to its surface, the sediment reaching it settles in it, up to its
// surface, before any passes on, and its ground is the bed, not the fill.
// Its sill is not cut either: the water leaving a lake has dropped its
// load, and the lake keeps its level while sediment fills it (cut as any
// channel, the sill of a 129-lattice lake fell to its outlet's level in one
// round, and no lake of the recommended island outlived the 257 lattice). roundDone, if given, is called after each round.
void ErodeCells(float* h, int n, const ErosionPlan& plan, int iterations, unsigned threads, ErosionWork& work,
                const std::function<void()>& roundDone = {});
