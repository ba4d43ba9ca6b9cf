#include "erosion/WorldLakes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "hydrology/FlowRouting.h"
#include "hydrology/Lakes.h"

WorldLakes::WorldLakes(const WorldStage& stage, double leastCells)
    : stage(stage), leastCells(leastCells), factor(int64_t{stage.worldCells - 1} / (stage.cells - 1))
{
    const int n = static_cast<int>(stage.cells);
    std::vector<float> surface;
    LakeSurface(stage.unfilled.Row(0), n, surface);
    // Each depression labelled in row order, breadth first (8 neighbours).
    label.assign(surface.size(), 0);
    std::vector<uint32_t> queue;
    std::vector<double> cells(1, 0.0);
    std::vector<Lake> found(1);
    for (size_t start = 0; start < surface.size(); ++start) {
        if (!(surface[start] > 0.0f) || label[start] != 0) {
            continue;
        }
        const uint32_t id = static_cast<uint32_t>(found.size());
        Lake lake{id, INT64_MAX, INT64_MAX, INT64_MIN, INT64_MIN, {}, {}};
        queue.assign(1, static_cast<uint32_t>(start));
        label[start] = id;
        for (size_t next = 0; next < queue.size(); ++next) {
            const int64_t x = queue[next] % n;
            const int64_t y = queue[next] / n;
            lake.x0 = std::min(lake.x0, x * factor);
            lake.y0 = std::min(lake.y0, y * factor);
            lake.x1 = std::max(lake.x1, x * factor);
            lake.y1 = std::max(lake.y1, y * factor);
            for (const NeighbourStep& s : neighbourSteps) {
                const size_t i = size_t(y + s.dy) * n + size_t(x + s.dx);
                if (surface[i] > 0.0f && label[i] == 0) {
                    label[i] = id;
                    queue.push_back(static_cast<uint32_t>(i));
                }
            }
        }
        found.push_back(lake);
        cells.push_back(0.0);
    }
    // The footprint's cells: each lake cell, f - 1 on each side (east,
    // north) to a cell of the same lake, (f - 1)^2 in each square whose four
    // corners are.
    const double f = double(factor);
    for (int y = 0; y + 1 < n; ++y) {
        for (int x = 0; x + 1 < n; ++x) {
            const uint32_t id = label[size_t(y) * n + x];
            if (id == 0) {
                continue;
            }
            const bool east = label[size_t(y) * n + x + 1] == id;
            const bool north = label[size_t(y + 1) * n + x] == id;
            const bool square = east && north && label[size_t(y + 1) * n + x + 1] == id;
            cells[id] += 1.0 + (east ? f - 1.0 : 0.0) + (north ? f - 1.0 : 0.0) + (square ? (f - 1.0) * (f - 1.0) : 0.0);
        }
    }
    // No piece is larger than the whole footprint.
    for (size_t id = 1; id < found.size(); ++id) {
        if (cells[id] >= leastCells) {
            lakes.push_back(found[id]);
        }
    }
}

uint32_t WorldLakes::FootprintOf(int64_t x, int64_t y) const
{
    const int64_t n = stage.cells;
    const int64_t cx = x / factor;
    const int64_t cy = y / factor;
    const int64_t ex = x % factor != 0;
    const int64_t ey = y % factor != 0;
    const uint32_t id = label[size_t(cy) * n + cx];
    if (id == 0 || label[size_t(cy) * n + cx + ex] != id || label[size_t(cy + ey) * n + cx] != id ||
        label[size_t(cy + ey) * n + cx + ex] != id) {
        return 0;
    }
    return id;
}

float WorldLakes::BedOf(int64_t x, int64_t y) const
{
    const int64_t cx = x / factor;
    const int64_t cy = y / factor;
    const double u = double(x % factor) / double(factor);
    const double v = double(y % factor) / double(factor);
    const auto at = [&](int64_t i, int64_t j) {
        return double(stage.unfilled.Row(uint32_t(std::min<int64_t>(cy + j, stage.cells - 1)))[std::min<int64_t>(cx + i, stage.cells - 1)]);
    };
    return static_cast<float>((1.0 - v) * ((1.0 - u) * at(0, 0) + u * at(1, 0)) + v * ((1.0 - u) * at(0, 1) + u * at(1, 1)));
}

void WorldLakes::FindLevels(const DrainedWindow& drained)
{
    for (Lake& lake : lakes) {
        // The footprint and its rim; a stage lake never touches the border.
        const int64_t x0 = lake.x0 - 1;
        const int64_t y0 = lake.y0 - 1;
        const int64_t width = lake.x1 - lake.x0 + 3;
        const int64_t height = lake.y1 - lake.y0 + 3;
        Array2D<float> around{uint32_t(width), uint32_t(height)};
        drained(around, uint32_t(x0), uint32_t(y0));
        const int64_t bw = lake.x1 - lake.x0 + 1;
        const int64_t bh = lake.y1 - lake.y0 + 1;
        lake.piece.assign(size_t(bw * bh), 0);
        for (int64_t y = 0; y < bh; ++y) {
            for (int64_t x = 0; x < bw; ++x) {
                lake.piece[size_t(y * bw + x)] = FootprintOf(lake.x0 + x, lake.y0 + y) == lake.label ? UINT32_MAX : 0;
            }
        }
        // Each piece breadth first from its first cell in row order, with the
        // lowest height on its rim.
        std::vector<uint32_t> queue;
        for (int64_t start = 0; start < bw * bh; ++start) {
            if (lake.piece[size_t(start)] != UINT32_MAX) {
                continue;
            }
            const uint32_t id = static_cast<uint32_t>(lake.levels.size() + 1);
            queue.assign(1, uint32_t(start));
            lake.piece[size_t(start)] = id;
            float lowest = INFINITY;
            for (size_t next = 0; next < queue.size(); ++next) {
                const int64_t x = queue[next] % bw;
                const int64_t y = queue[next] / bw;
                for (const NeighbourStep& s : neighbourSteps) {
                    const int64_t nx = x + s.dx;
                    const int64_t ny = y + s.dy;
                    const bool inside = nx >= 0 && ny >= 0 && nx < bw && ny < bh;
                    const uint32_t p = inside ? lake.piece[size_t(ny * bw + nx)] : 0;
                    if (p == UINT32_MAX) {
                        lake.piece[size_t(ny * bw + nx)] = id;
                        queue.push_back(uint32_t(ny * bw + nx));
                    } else if (p == 0) {
                        lowest = std::min(lowest, around.Row(uint32_t(ny + 1))[nx + 1]);
                    }
                }
            }
            const bool laid = double(queue.size()) >= leastCells && lowest > seaLevel && lowest < INFINITY;
            lake.levels.push_back(laid ? lowest : 0.0f);
        }
    }
}

void WorldLakes::Lay(Array2D<float>* heights, Array2D<float>* surface, uint32_t x0, uint32_t y0, uint32_t width,
                     uint32_t height) const
{
    if (surface) {
        surface->Fill(0.0f);
    }
    const int64_t x1 = int64_t{x0} + width - 1;
    const int64_t y1 = int64_t{y0} + height - 1;
    for (const Lake& lake : lakes) {
        if (lake.x1 < x0 || lake.y1 < y0 || lake.x0 > x1 || lake.y0 > y1) {
            continue;
        }
        const int64_t bw = lake.x1 - lake.x0 + 1;
        for (int64_t y = std::max<int64_t>(lake.y0, y0); y <= std::min(lake.y1, y1); ++y) {
            for (int64_t x = std::max<int64_t>(lake.x0, x0); x <= std::min(lake.x1, x1); ++x) {
                const uint32_t p = lake.piece[size_t((y - lake.y0) * bw + (x - lake.x0))];
                const float level = p == 0 ? 0.0f : lake.levels[p - 1];
                if (!(level > 0.0f)) {
                    continue;
                }
                const float below = std::nextafter(level, 0.0f);
                if (heights) {
                    float& cell = heights->Row(uint32_t(y - y0))[x - x0];
                    cell = std::min({cell, BedOf(x, y), below});
                }
                if (surface) {
                    surface->Row(uint32_t(y - y0))[x - x0] = level;
                }
            }
        }
    }
}
