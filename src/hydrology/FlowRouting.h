#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "hydrology/FillOrder.h"
#include "hydrology/FloodFront.h"

// Water on a square grid of n x n heights (row-major, x fastest), the map
// one unit across. Each cell drains to at most one of its eight neighbours,
// the one of steepest descent: the D8 routing GIS tools use.

// The eight neighbours, in the order ties are broken in: east, north-east,
// north, north-west, west, south-west, south, south-east (north is +y).
struct NeighbourStep {
    int dx;
    int dy;
    double inverseDistance;  // 1 for the four sides, 1/sqrt(2) for corners
};
extern const NeighbourStep neighbourSteps[8];

// A cell whose water goes nowhere: the sea, the map's border, or a pit.
constexpr uint8_t noReceiver = 8;

// The sea: cells at or below this height are where water leaves the land.
constexpr float seaLevel = 0.01f;

// True for the cells water leaves the map from: the border and the sea.
inline bool IsOutlet(const float* h, int n, int x, int y)
{
    return x == 0 || y == 0 || x == n - 1 || y == n - 1 || h[static_cast<size_t>(y) * n + x] <= seaLevel;
}

// Raises every cell that has no way down to an outlet just enough that it
// has one: a priority flood from the outlets (Barnes, Lehman and Mulla 2014,
// Priority-Flood+epsilon). Afterwards every cell but an outlet has a
// neighbour strictly lower than itself, so steepest descent from any cell
// reaches an outlet. Cells are only ever raised.
//
// With gap = 0 the epsilon is one float step; with gap > 0 every cell but an
// outlet ends at least `gap` above the neighbour the flood reached it from
// (each raise rounded up to the next float), which leaves room for the
// finer levels of a world to fit cells strictly between two of these.
void FillToDrain(float* h, int n, double gap = 0.0);

// What a fill works in, kept from one fill to the next so that a map
// eroded round after round does not allocate (and the system does not zero)
// the same arrays each time.
struct FillWork {
    std::vector<uint8_t> state;    // per cell: reached, and queued on the shore
    std::vector<uint32_t> shore;   // outlets beside land, by index
    std::vector<uint32_t> raised;  // cells lifted onto a spill level, in the order lifted
    std::vector<uint8_t> parent;   // BreachToDrain: the step to the cell the flood came from
    FloodFront front;
    bool recordOrder = false;  // FillToDrain with gap 0 keeps `order`
    FillOrder order;           // invalid after any other flood
};

// The same fill, the same bits, in `work`.
void FillToDrain(float* h, int n, double gap, FillWork& work);

// The plain priority flood (Barnes, Lehman and Mulla 2014, Priority-Flood):
// every cell raised to the level water would stand at over it, the lowest
// height on its way out to an outlet, with no step; each depression ends
// flat at its spill height. The water levels lakes are found by (Lakes.h).
void FillFlat(float* h, int n, FillWork& work);

// The float nearest above or at v, and nearest below or at v: the roundings
// that keep a required drop from shrinking in float.
float FloatAtLeast(double v);
float FloatAtMost(double v);

// The drop from a cell to its neighbour that counts as a way down: at least
// minDrop and more than 0, measured exactly (in double).
inline bool IsWayDown(float here, float there, double minDrop)
{
    const double drop = static_cast<double>(here) - there;
    return drop > 0.0 && drop >= minDrop;
}

// The steepest-descent neighbour of every cell (noReceiver where none is
// lower, and for every outlet). Row-parallel; the result does not depend on
// the thread count.
void SteepestDescent(const float* h, int n, std::vector<uint8_t>& receiver, unsigned threads);

// Every cell once, each after the cell it drains to: a breadth-first walk up
// from the cells that drain nowhere, taken in index order, each cell's donors
// in neighbour order.
void DownstreamOrder(const std::vector<uint8_t>& receiver, int n, std::vector<uint32_t>& order);

// Upstream area of every cell in fractions of the map's area (a cell counts
// itself): cell area dx^2 with dx = 1 / (n - 1), summed down the routing.
void UpstreamArea(const std::vector<uint8_t>& receiver, const std::vector<uint32_t>& order, int n,
                  std::vector<float>& area);

// The receiver of a cell by steepest descent (drop per unit of distance)
// among the neighbours that are ways down from it, `around` holding their
// heights in neighbour order; ties go to the first. noReceiver where none
// is. The routing of the stage and of every finer level of a world.
inline uint8_t SteepestWayDown(float here, const float (&around)[8], double minDrop)
{
    uint8_t best = noReceiver;
    double steepest = 0.0;
    for (uint8_t k = 0; k < 8; ++k) {
        if (IsWayDown(here, around[k], minDrop)) {
            const double slope = (static_cast<double>(here) - around[k]) * neighbourSteps[k].inverseDistance;
            if (slope > steepest) {
                steepest = slope;
                best = k;
            }
        }
    }
    return best;
}

// The index of the cell that cell i drains to.
inline uint32_t ReceiverOf(uint32_t i, uint8_t direction, int n)
{
    const NeighbourStep& s = neighbourSteps[direction];
    return static_cast<uint32_t>(static_cast<int64_t>(i) + s.dy * int64_t{n} + s.dx);
}
