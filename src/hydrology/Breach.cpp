#include "hydrology/Breach.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "hydrology/FloodGrid.h"
#include "hydrology/Lakes.h"

namespace {

// Lays the walls of a cut back to `wallSlope` (height a cell across; a
// diagonal step sqrt 2 times that) as far as they stand in the cut: every
// cell is lowered to at most the height of a cut cell plus the slope times
// the distance (3 x 3 chamfer, two raster passes, Rosenfeld and Pfaltz
// 1966), but only where that stays below the height the cut cell stood at
// before it was cut, so a wall is laid back no higher than the ground the
// cut went through; outlets are kept. A cut one cell wide and as deep as the
// basin behind it would stand far steeper than loose rock does: the first
// slides would dam it and the fill would bury the basin after all. A
// lowered cell has a neighbour a step of the slope lower on its way to the
// cut, so every cell still has a way down.
void OpenCut(float* h, int n, double wallSlope, const std::vector<uint32_t>& cut, const std::vector<float>& before,
             const std::vector<uint8_t>& parent)
{
    const size_t count = static_cast<size_t>(n) * n;
    std::vector<double> reach(count, INFINITY);
    std::vector<float> ceiling(count, 0.0f);
    for (size_t k = 0; k < cut.size(); ++k) {
        reach[cut[k]] = h[cut[k]];
        ceiling[cut[k]] = std::max(ceiling[cut[k]], before[k]);
    }
    const double side = wallSlope;
    const double corner = wallSlope * M_SQRT2;
    const auto from = [&](size_t i, int x, int y, int dx, int dy, double step) {
        const int nx = x + dx;
        const int ny = y + dy;
        if (nx >= 0 && ny >= 0 && nx < n && ny < n) {
            const size_t j = static_cast<size_t>(ny) * n + nx;
            const double r = reach[j] + step;
            if (r < reach[i] && r < ceiling[j]) {
                reach[i] = r;
                ceiling[i] = ceiling[j];
            }
        }
    };
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const size_t i = static_cast<size_t>(y) * n + x;
            from(i, x, y, -1, 0, side);
            from(i, x, y, -1, -1, corner);
            from(i, x, y, 0, -1, side);
            from(i, x, y, 1, -1, corner);
        }
    }
    for (int y = n - 1; y >= 0; --y) {
        for (int x = n - 1; x >= 0; --x) {
            const size_t i = static_cast<size_t>(y) * n + x;
            from(i, x, y, 1, 0, side);
            from(i, x, y, 1, 1, corner);
            from(i, x, y, 0, 1, side);
            from(i, x, y, -1, 1, corner);
        }
    }
    for (size_t i = 0; i < count; ++i) {
        if (parent[i] != noReceiver && reach[i] < h[i]) {
            h[i] = static_cast<float>(reach[i]);
        }
    }
}

}  // namespace

void BreachToDrain(float* h, int n, double fillDepth, double wallSlope, FillWork& work)
{
    // The deep depressions are the lakes of a rule of one cell and that
    // depth (Lakes.h).
    LakeCells deep;
    FindLakes(h, n, LakeRule{1.0, static_cast<float>(fillDepth)}, work, deep);
    StartFlood(h, n, work);
    std::vector<uint8_t>& state = work.state;
    std::vector<uint8_t>& parent = work.parent;
    std::vector<uint32_t>& raised = work.raised;  // a FIFO, as in the fill
    FloodFront& front = work.front;
    parent.assign(static_cast<size_t>(n) * n, noReceiver);
    raised.clear();
    std::vector<uint32_t> cut;   // the cells cut down, in the order cut
    std::vector<float> cutFrom;  // the height each cut cell stood at
    const GridNeighbours neighbours(n);
    // Cuts the way out from cell `from` down below `level`: along the cells
    // that are not already below it, falling evenly from `level` to the
    // first cell on the way that is (its own height kept), and at least a
    // float step a cell. False, with nothing cut, where the cut would reach
    // the sea.
    const auto carve = [&](uint32_t from, float level) {
        int steps = 0;
        uint32_t end = from;
        for (; parent[end] != noReceiver && !(h[end] < level); end = neighbours.Of(end, parent[end])) {
            ++steps;
        }
        // The way ends on a lower cell (in the sea, the fall is to the sea's
        // level, not its floor), or on an outlet no lower, the map's border,
        // which is cut too and reached by float steps: left standing, a
        // finer level's cells between it and the cut would stand half way
        // up to it and dam the way out.
        const bool throughBorder = !(h[end] < level);
        steps += throughBorder ? 1 : 0;
        const double bottom = std::max(double(h[end]), double(seaLevel));
        const double fall = throughBorder ? 0.0 : (double(level) - bottom) / (steps + 1);
        const auto walk = [&](bool write) {
            float above = level;
            uint32_t c = from;
            for (int j = 1; j <= steps; ++j, c = parent[c] == noReceiver ? c : neighbours.Of(c, parent[c])) {
                above = std::min(std::min(h[c], FloatAtMost(double(level) - fall * j)), JustBelow(above));
                // Too near the sea, or too few floats between `level` and
                // the lower cell for a fall on every cell: lifted instead.
                if (!(above > seaLevel) || (!throughBorder && !(above > h[end]))) {
                    return false;
                }
                if (write) {
                    cut.push_back(c);
                    cutFrom.push_back(h[c]);
                    h[c] = above;
                }
            }
            return true;
        };
        return walk(false) && walk(true);
    };
    // FillToDrain's flood, step for step, but at the cells of deep
    // depressions: with none, the same bits as the fill.
    size_t next = 0;
    uint32_t c;
    while (NextFloodCell(front, raised, next, c)) {
        const float justAbove = JustAbove(h[c]);
        ReachNeighbours(c, state, neighbours, [&](uint32_t i, int k) {
            parent[i] = static_cast<uint8_t>((k + 4) & 7);
            // A cell of a deep depression no higher than the one the flood
            // came from keeps its height and its way out is cut below it
            // (where that would reach the sea, it is lifted instead); any
            // other is lifted or joins the front as in the fill.
            if (deep.mark[i] == kInLake && !(h[i] > h[c]) && carve(c, h[i])) {
                front.Push(FrontKey(h[i], i));
            } else if (h[i] <= justAbove) {
                h[i] = justAbove;
                raised.push_back(i);
            } else {
                front.Push(FrontKey(h[i], i));
            }
        });
    }
    if (wallSlope > 0.0 && !cut.empty()) {
        OpenCut(h, n, wallSlope, cut, cutFrom, parent);
    }
}
