#include "erosion/LevelPasses.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>

#include "erosion/ErosionSteps.h"
#include "erosion/LevelPassRows.h"
#include "hydrology/FlowRouting.h"
#include "hydrology/MultipleFlow.h"
#include "terrain/HugePages.h"
#include "terrain/ParallelRows.h"

namespace {

struct Grid {
    const LevelRectangle& r;
    size_t Index(int64_t x, int64_t y) const { return size_t(y) * size_t(r.width) + size_t(x); }
    // Cells a pass leaves as they are: the rectangle's edge, the world's
    // border and the sea.
    bool Fixed(const float* h, int64_t x, int64_t y) const
    {
        const int64_t gx = r.x0 + x;
        const int64_t gy = r.y0 + y;
        return x == 0 || y == 0 || x == r.width - 1 || y == r.height - 1 || gx == 0 || gy == 0 ||
               gx == r.cells - 1 || gy == r.cells - 1 || h[Index(x, y)] <= seaLevel;
    }
};

// The brought area spread along one axis (LevelPasses.h): `from` into
// `to`, cells (x, y) at x * step + y * stride for x below `along` and y
// below `across` (the other axis swapped in by the strides). Cells within
// kAreaSpread of either end keep their own value: they lie within the
// passes' reach of the rectangle's edge, or on the world's border, which
// is always the rectangle's edge, so they are the same in every rectangle.
void SpreadAlong(const float* from, float* to, int64_t along, ptrdiff_t step, int64_t across, ptrdiff_t stride,
                 unsigned threads)
{
    // C(2 kAreaSpread, k), summing to 2^(2 kAreaSpread): exact in double.
    double weights[2 * kAreaSpread + 1];
    weights[0] = 1.0;
    for (int k = 1; k <= 2 * kAreaSpread; ++k) {
        weights[k] = weights[k - 1] * (2 * kAreaSpread - k + 1) / k;
    }
    const double total = std::ldexp(1.0, 2 * kAreaSpread);
    ParallelRows(static_cast<int>(across), threads, [&](int begin, int end) {
        for (int64_t y = begin; y < end; ++y) {
            const float* in = from + y * stride;
            float* out = to + y * stride;
            for (int64_t x = 0; x < along; ++x) {
                if (x < kAreaSpread || x >= along - kAreaSpread) {
                    out[x * step] = in[x * step];
                    continue;
                }
                double sum = 0.0;
                for (int k = 0; k <= 2 * kAreaSpread; ++k) {
                    sum += weights[k] * in[(x + k - kAreaSpread) * step];
                }
                out[x * step] = static_cast<float>(sum / total);
            }
        }
    });
}

// Copies `rows` rows of `width` floats on every core: a pass copies its
// band three times and ErodeLevel each band twice more, and on one core
// the other cores waited for every copy.
void CopyRows(const float* from, int64_t rows, int64_t width, float* to, unsigned threads)
{
    ParallelRows(static_cast<int>(rows), threads, [&](int begin, int end) {
        std::copy(from + begin * width, from + end * width, to + begin * width);
    });
}

void CopyRows(const std::vector<float>& from, std::vector<float>& to, int64_t width, unsigned threads)
{
    to.resize(from.size());
    CopyRows(from.data(), width > 0 ? int64_t(from.size()) / width : 0, width, to.data(), threads);
}

// What the passes work in, kept from band to band: a band's arrays are
// about 300 MB at 8193 cells a side, and taken fresh for each band their
// first touch cost more system time than the passes took.
struct PassWork {
    std::vector<float> before;
    std::vector<float> shares;
    std::vector<float> area;
    std::vector<float> swept;
    std::vector<float> brought;  // the brought area, spread
};

void ErodeBand(std::vector<float>& heights, const std::vector<float>& broughtArea, const LevelRectangle& rect,
               const LevelPassPlan& plan, unsigned threads, PassWork& work)
{
    const Grid grid{rect};
    const ptrdiff_t stride = ptrdiff_t(rect.width);
    const size_t count = heights.size();
    std::vector<float>& before = work.before;
    std::vector<float>& shares = work.shares;
    std::vector<float>& area = work.area;
    std::vector<float>& swept = work.swept;
    // Every element below is written before it is read.
    ReserveHuge(before, count);
    ReserveHuge(shares, count * 8);
    ReserveHuge(area, count);
    ReserveHuge(swept, count);
    before.resize(count);
    shares.resize(count * 8);
    area.resize(count);
    swept.resize(count);
    const int rows = static_cast<int>(rect.height);
    // The brought area spread across the valley floors, x then y.
    std::vector<float>& brought = work.brought;
    ReserveHuge(brought, count);
    brought.resize(count);
    SpreadAlong(broughtArea.data(), swept.data(), rect.width, 1, rect.height, stride, threads);
    SpreadAlong(swept.data(), brought.data(), rect.height, stride, rect.width, 1, threads);
    assert(rect.x0 + rect.width <= rect.cells && rect.y0 + rect.height <= rect.cells);
    // The shares in eight planes (LevelPassRows.h); the edge rows send
    // nothing, and each row's end cells are zeroed with the row.
    const auto planesAt = [&](int64_t y) {
        level_rows::SharePlanes planes;
        for (int k = 0; k < 8; ++k) {
            planes.plane[k] = shares.data() + size_t(k) * count + size_t(y) * size_t(rect.width);
        }
        return planes;
    };
    const auto edgeRow = [&](int64_t y) { return y == 0 || y == rect.height - 1; };
    for (int pass = 0; pass < kLevelPasses; ++pass) {
        CopyRows(heights, before, rect.width, threads);
        ParallelRows(rows, threads, [&](int begin, int end) {
            for (int64_t y = begin; y < end; ++y) {
                const level_rows::SharePlanes planes = planesAt(y);
                if (edgeRow(y)) {
                    for (float* plane : planes.plane) {
                        std::fill(plane, plane + rect.width, 0.0f);
                    }
                } else {
                    level_rows::Shares(before.data() + grid.Index(0, y), stride, rect.width, planes);
                }
            }
        });
        // The area: what the coarser level brings, moved cell by cell along
        // this level's shares. A cell on the rectangle's edge keeps what it
        // was brought.
        CopyRows(brought, area, rect.width, threads);
        for (int sweep = 0; sweep < kLevelAreaSweeps; ++sweep) {
            ParallelRows(rows, threads, [&](int begin, int end) {
                for (int64_t y = begin; y < end; ++y) {
                    const size_t i = grid.Index(0, y);
                    if (edgeRow(y)) {
                        std::copy_n(area.data() + i, rect.width, swept.data() + i);
                    } else {
                        level_rows::AreaSweep(area.data() + i, stride, rect.width, planesAt(y), swept.data() + i);
                    }
                }
            });
            area.swap(swept);
        }
        // Stream power, one Jacobi step of the implicit solution, then creep.
        ParallelRows(rows, threads, [&](int begin, int end) {
            for (int64_t y = begin; y < end; ++y) {
                if (!edgeRow(y)) {
                    const size_t i = grid.Index(0, y);
                    level_rows::StreamPower(before.data() + i, stride, rect.width, area.data() + i, planesAt(y),
                                            plan.incision, heights.data() + i);
                }
            }
        });
        CopyRows(heights, before, rect.width, threads);
        const double perGentle = double(rect.cells - 1) / (2.0 * plan.gentleSlope);
        ParallelRows(rows, threads, [&](int begin, int end) {
            for (int64_t y = begin; y < end; ++y) {
                for (int64_t x = 0; x < rect.width; ++x) {
                    if (!grid.Fixed(before.data(), x, y)) {
                        const size_t i = grid.Index(x, y);
                        const float* p = before.data() + i;
                        double kappa = plan.creep;
                        if (plan.gentleCreepGain > 0.0) {
                            const double sx = (double(p[1]) - p[-1]) * perGentle;
                            const double sy = (double(p[stride]) - p[-stride]) * perGentle;
                            kappa *= 1.0 + plan.gentleCreepGain / (1.0 + sx * sx + sy * sy);
                        }
                        heights[i] = CreepStep(p, stride, kappa);
                    }
                }
            }
        });
    }
}

}  // namespace

void ErodeLevel(std::vector<float>& heights, const BroughtAreaRows& broughtArea, const LevelRectangle& rect,
                const LevelPassPlan& plan, unsigned threads)
{
    // The passes keep about 50 bytes a cell; a level of a whole 16385 map
    // is 268 M cells. So the rectangle goes in bands of kBandRows rows, each
    // made over the reach more rows on both sides: a band's own rows are the
    // same bits as the whole rectangle's (the reach argument of a window).
    // Each band reads the heights as they were before any band wrote, so
    // before a band writes its rows back, the last reach of them is kept
    // for the next band (`above`): a band's worth of memory, where a copy of
    // the rectangle was a tile's.
    constexpr int64_t kBandRows = 512;
    static_assert(LevelPassReach() <= kBandRows, "the rows kept for a band lie within the band before it");
    const int64_t reach = LevelPassReach();
    const size_t width = size_t(rect.width);
    PassWork work;
    std::vector<float> area;
    if (rect.height <= kBandRows + 2 * reach) {
        area.resize(heights.size());
        broughtArea(0, rect.height, area.data());
        ErodeBand(heights, area, rect, plan, threads, work);
        return;
    }
    std::vector<float> band;
    std::vector<float> above;  // rows [r0, b0) as they were before
    for (int64_t b0 = 0; b0 < rect.height; b0 += kBandRows) {
        const int64_t b1 = std::min(rect.height, b0 + kBandRows);
        const int64_t r0 = std::max<int64_t>(0, b0 - reach);
        const int64_t r1 = std::min(rect.height, b1 + reach);
        band.resize(size_t(r1 - r0) * width);
        std::copy(above.begin(), above.end(), band.begin());
        CopyRows(heights.data() + b0 * width, r1 - b0, rect.width, band.data() + (b0 - r0) * width, threads);
        area.resize(band.size());
        broughtArea(r0, r1 - r0, area.data());
        ErodeBand(band, area, {rect.x0, rect.y0 + r0, rect.width, r1 - r0, rect.cells}, plan, threads, work);
        above.assign(heights.begin() + (b1 - reach) * width, heights.begin() + b1 * width);
        CopyRows(band.data() + (b0 - r0) * width, b1 - b0, rect.width, heights.data() + b0 * width, threads);
    }
}

void ErodeLevel(std::vector<float>& heights, const std::vector<float>& broughtArea, const LevelRectangle& rect,
                const LevelPassPlan& plan, unsigned threads)
{
    const size_t width = size_t(rect.width);
    ErodeLevel(heights, [&](int64_t row0, int64_t rows, float* out) {
        std::copy_n(broughtArea.begin() + row0 * width, size_t(rows) * width, out);
    }, rect, plan, threads);
}
