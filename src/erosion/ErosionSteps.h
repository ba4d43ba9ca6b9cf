#pragma once

#include <cstdint>
#include <functional>
#include <vector>

// The steps one erosion iteration takes on an n x n grid of heights (the map
// one unit across, heights in map units). Everything is in map-relative
// units, so a coarse and a fine grid of the same map erode alike.

struct ErosionPlan {
    int coarseIterations;  // on the 129 lattice (or the whole map, if smaller)
    int fineIterations;    // on each finer lattice
    double streamPower;    // K dt in K A^(1/2) S: coefficient times time step
    double deposition;     // G: share of carried sediment a cell of the
                           // map's smallest catchment drops
    double talusSlope;     // steepest stable slope, height per map width
    double thermalRate;    // share of the excess over the talus moved a pass
    int thermalPasses;     // relaxation passes per iteration
    double diffusionRate;  // hillslope creep's D dt / dx^2 a pass, at most 0.3
    int diffusionPasses;   // creep passes per iteration
};

// The plan for an erosion amount in (0, maxErosion].
ErosionPlan PlanErosion(float amount);

// Arrays reused from iteration to iteration (and level to level).
struct ErosionWork {
    std::vector<uint32_t> order;  // cells lowest first
    std::vector<uint64_t> keys;
    std::vector<float> area;
    std::vector<float> before;  // the heights a round started from
    std::vector<float> scratch;
};

// `iterations` rounds of: fill to drain, route (multiple flow), stream
// power, deposition, thermal relaxation, hillslope creep. roundDone, if given, is called after each round.
void ErodeCells(float* h, int n, const ErosionPlan& plan, int iterations, unsigned threads, ErosionWork& work,
                const std::function<void()>& roundDone = {});
