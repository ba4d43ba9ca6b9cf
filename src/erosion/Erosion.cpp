#include "erosion/Erosion.h"

#include <algorithm>
#include <cstddef>
#include <cassert>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "hydrology/FlowRouting.h"
#include "hydrology/Lakes.h"
#include "erosion/ErosionSteps.h"
#include "erosion/Refinement.h"
#include "terrain/HeightMapGenerator.h"
#include "terrain/ParallelRows.h"

namespace {

// Cells of `map` on the lattice of spacing `stride`, row-major.
std::vector<float> Lattice(const Array2D<float>& map, uint32_t stride)
{
    const uint32_t n = (map.GetWidth() - 1) / stride + 1;
    std::vector<float> cells(static_cast<size_t>(n) * n);
    for (uint32_t y = 0; y < n; ++y) {
        const float* row = map.Row(y * stride);
        for (uint32_t x = 0; x < n; ++x) {
            cells[static_cast<size_t>(y) * n + x] = row[x * stride];
        }
    }
    return cells;
}

// Makes the n x n fine cells from the coarse lattice (every other fine
// cell): the eroded coarse heights refined (Refinement.h), plus the level's
// detail spread evenly over its cells; never below 0. The level's own
// rounds then cut and smooth it.
void RefineFromCoarse(float* fine, int n, const std::vector<float>& eroded, const std::vector<float>& original,
                      unsigned threads)
{
    const int c = (n - 1) / 2 + 1;
    auto at = [c](const std::vector<float>& values) {
        return [&values, c](int64_t x, int64_t y) { return values[static_cast<size_t>(y) * c + static_cast<size_t>(x)]; };
    };
    const auto erodedAt = at(eroded);
    const auto originalAt = at(original);
    // The raw detail of every new cell (0 on the coarse lattice).
    std::vector<float> detail(static_cast<size_t>(n) * n, 0.0f);
    ParallelRows(n, threads, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            for (int x = 0; x < n; ++x) {
                if (((x | y) & 1) != 0) {
                    const size_t i = static_cast<size_t>(y) * n + x;
                    detail[i] = fine[i] - RefineFromCoarser(x, y, c, originalAt);
                }
            }
        }
    });
    ParallelRows(n, threads, [&](int begin, int end) {
        const auto rawDetail = [&](int64_t x, int64_t y) { return detail[static_cast<size_t>(y) * n + x]; };
        for (int y = begin; y < end; ++y) {
            for (int x = 0; x < n; ++x) {
                float& cell = fine[static_cast<size_t>(y) * n + x];
                const float refined = RefineFromCoarser(x, y, c, erodedAt);
                const float added = LevelDetailAt(x, y, n, cell, rawDetail) * SeabedDetailShare(refined);
                // A sea cell beside a cut valley would go below the sea floor;
                // rough land stays within the headroom draining needs.
                cell = std::clamp(refined + added, 0.0f, kErosionHeadroom);
            }
        }
    });
}

// A finer lattice has already taken the coarse lattice's erosion; its own
// rounds only cut the fine detail into the valleys. Stream power's F grows
// as 1/dx, so the step shrinks with the cell: a channel of a given
// catchment is cut as fast as on the 129 lattice. A round takes
// plan.fineRoundSteps coarse steps: stream power times that (implicit, so
// stable at any step), and the passes of relaxation and creep that many
// times over, each rate scaled down to keep the total where it was.
// A round of more than one step runs one pass of each before its fill and
// the rest after its deposition, as the steps it stands for would have:
// run all after, the slides and creep off the valley walls dammed the
// plains' rivers in the last round, the final fill left them flat, and
// the concavity of a sketch's channels rose from 0.48 to 1.42 (2049, its
// centre 1025 cells; 0.52 split so).
ErosionPlan FinerPlan(ErosionPlan plan, int n)
{
    const double steps = plan.fineRoundSteps;
    plan.streamPower *= steps * double(heightMapCells - 1) / (n - 1);
    const auto passesOf = [steps](int passes, double& rate) {
        const int more = static_cast<int>(std::ceil(steps * passes));
        rate *= steps * passes / more;
        return more;
    };
    plan.thermalPasses = passesOf(plan.thermalPasses, plan.thermalRate);
    plan.diffusionPasses = passesOf(plan.diffusionPasses, plan.diffusionRate);
    plan.earlyPasses = steps > 1.0 ? 1 : 0;
    plan.gentleCreepGain = kGentleCreepGain;
    plan.gentleSlope = kGentleSlope;
    plan.cutBelow = 0.0;
    return plan;
}

// Lowers every cell by 1/256 of its height. Filling to drain lifts cells by
// a float step at a time, and far fewer steps than 1/256 of a height; this
// keeps the viewer's mesa top at 1 from being lifted past 1.
void MakeHeadroom(Array2D<float>& map, unsigned threads)
{
    const uint32_t n = map.GetWidth();
    ParallelRows(static_cast<int>(n), threads, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            float* row = map.Row(y);
            for (uint32_t x = 0; x < n; ++x) {
                row[x] = row[x] * kErosionHeadroom;
            }
        }
    });
}

}  // namespace

void ErodeHeightMap(Array2D<float>& map, float amount, unsigned threads, const std::function<void(double)>& progress,
                    double lakeLeastShare)
{
    const int big = static_cast<int>(map.GetWidth());
    assert(map.GetHeight() == map.GetWidth());
    if (!(amount > 0.0f)) {
        return;
    }
    ErosionWork work;
    // Room for the finest level's arrays from the start: each coarser level
    // then works in the first part of the same memory, and the system
    // zeroes the pages of one level, not of every level.
    ReserveErosionWork(work, static_cast<size_t>(big) * big);
    ErosionPlan plan = PlanErosion(amount);
    plan.lakeLeastShare = lakeLeastShare;
    const auto drain = [&](float* h, int n) {
        DrainKeepingLakes(h, n, LakeRuleOf(lakeLeastShare, n), work.fill, work.lakes);
    };
    // The coarsest lattice's last drain cuts as its rounds do (ErodeCells):
    // a fill there would bury a basin the rounds have been draining under a
    // flat as wide as the basin, which every finer level then inherits.
    const auto drainCoarsest = [&](float* h, int n) {
        if (lakeLeastShare > 0.0) {
            drain(h, n);
        } else {
            DrainRound(h, n, plan, work.fill);
        }
    };
    MakeHeadroom(map, threads);
    // Cost of a level in cell-iterations, for the progress fraction.
    double total = 0.0;
    double done = 0.0;
    const int first = std::min(big, static_cast<int>(heightMapCells));
    for (int n = first; n <= big; n = 2 * n - 1) {
        total += double(n) * n * ((n == first ? plan.coarseIterations : plan.fineIterations) + 1);
    }
    // Rounds at each level, and the draining fill, each count as one round.
    int level = first;
    const std::function<void()> round = [&] {
        done += double(level) * level;
        if (progress) {
            progress(std::min(1.0, done / total));
        }
    };

    if (big <= first) {
        std::vector<float> cells = Lattice(map, 1);
        ErodeCells(cells.data(), big, plan, plan.coarseIterations, threads, work, round);
        drainCoarsest(cells.data(), big);
        std::copy(cells.begin(), cells.end(), map.Row(0));
        round();
        return;
    }

    uint32_t stride = (big - 1) / (first - 1);
    std::vector<float> original = Lattice(map, stride);
    std::vector<float> eroded = original;
    ErodeCells(eroded.data(), first, plan, plan.coarseIterations, threads, work, round);
    drainCoarsest(eroded.data(), first);
    round();
    for (int n = 2 * first - 1; n <= big; n = 2 * n - 1) {
        stride /= 2;
        level = n;
        if (n < big) {
            std::vector<float> fineOriginal = Lattice(map, stride);
            std::vector<float> fine = fineOriginal;
            RefineFromCoarse(fine.data(), n, eroded, original, threads);
            ErodeCells(fine.data(), n, FinerPlan(plan, n), plan.fineIterations, threads, work, round);
            original = std::move(fineOriginal);
            eroded = std::move(fine);
        } else {
            // The finest level works in the map itself: no third copy of it.
            RefineFromCoarse(map.Row(0), n, eroded, original, threads);
            original = {};
            eroded = {};
            ErodeCells(map.Row(0), n, FinerPlan(plan, n), plan.fineIterations, threads, work, round);
            drain(map.Row(0), n);
        }
        round();
    }
}
