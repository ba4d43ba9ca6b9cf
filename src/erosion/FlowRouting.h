#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

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
void FillToDrain(float* h, int n);

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

// The index of the cell that cell i drains to.
inline uint32_t ReceiverOf(uint32_t i, uint8_t direction, int n)
{
    const NeighbourStep& s = neighbourSteps[direction];
    return static_cast<uint32_t>(static_cast<int64_t>(i) + s.dy * int64_t{n} + s.dx);
}
