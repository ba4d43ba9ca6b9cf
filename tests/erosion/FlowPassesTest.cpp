// The fill and the passes that follow the water, made faster: the same bits
// as the one-thread way they replace, on any number of threads.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <queue>
#include <random>
#include <vector>

#include "erosion/ErosionSteps.h"
#include "hydrology/BandedFlowArea.h"
#include "hydrology/FloodFront.h"
#include "hydrology/FlowBands.h"
#include "hydrology/FlowRouting.h"
#include "hydrology/MultipleFlow.h"
#include "terrain/HeightMapOfSize.h"

namespace {

// Priority-Flood+epsilon written from its description in the README, with
// the standard library's binary heap: the reference for the fill.
void ReferenceFill(std::vector<float>& h, int n)
{
    const auto outlet = [&](int x, int y) {
        return x == 0 || y == 0 || x == n - 1 || y == n - 1 || h[size_t(y) * n + x] <= seaLevel;
    };
    std::vector<bool> reached(h.size());
    std::priority_queue<std::pair<float, uint32_t>, std::vector<std::pair<float, uint32_t>>, std::greater<>> front;
    std::queue<uint32_t> lifted;
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            reached[size_t(y) * n + x] = outlet(x, y);
        }
    }
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            bool besideLand = false;
            for (const NeighbourStep& s : neighbourSteps) {
                const int u = x + s.dx, v = y + s.dy;
                besideLand |= u >= 0 && v >= 0 && u < n && v < n && !outlet(u, v);
            }
            if (outlet(x, y) && besideLand) {
                front.emplace(h[size_t(y) * n + x], uint32_t(y * n + x));
            }
        }
    }
    while (!front.empty() || !lifted.empty()) {
        uint32_t c;
        if (!lifted.empty()) {
            c = lifted.front();
            lifted.pop();
        } else {
            c = front.top().second;
            front.pop();
        }
        const float up = std::nextafter(h[c], INFINITY);
        for (const NeighbourStep& s : neighbourSteps) {
            const int u = int(c % n) + s.dx, v = int(c / n) + s.dy;
            const uint32_t j = uint32_t(v * n + u);
            if (u < 0 || v < 0 || u >= n || v >= n || reached[j]) {
                continue;
            }
            reached[j] = true;
            if (h[j] <= up) {
                h[j] = up;
                lifted.push(j);
            } else {
                front.emplace(h[j], j);
            }
        }
    }
}

// Small grids of the cases that decide a fill's bits: pits, a flat, one
// float step between neighbours (which the flood treats as a lift), the
// sea, and a map with nothing to fill.
std::vector<std::vector<float>> FillCases(int n)
{
    std::vector<std::vector<float>> cases;
    std::mt19937 random(7);
    std::uniform_real_distribution<float> height(0.0f, 1.0f);
    std::vector<float> slope(size_t(n) * n);
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            slope[size_t(y) * n + x] = 0.1f + 0.05f * float(x + y);
        }
    }
    cases.push_back(slope);  // drains already
    std::vector<float> flat(size_t(n) * n, 0.5f);
    cases.push_back(flat);
    std::vector<float> noise(size_t(n) * n);
    for (float& v : noise) {
        v = height(random);
    }
    cases.push_back(noise);  // sea cells, pits and peaks
    if (n < 7) {
        return cases;
    }
    std::vector<float> pits = slope;
    pits[size_t(3) * n + 4] = 0.02f;
    pits[size_t(5) * n + 5] = 0.05f;
    cases.push_back(pits);
    std::vector<float> steps = slope;  // neighbours one float step apart
    for (int x = 1; x + 1 < n; ++x) {
        steps[size_t(4) * n + x] = std::nextafter(steps[size_t(4) * n + x - 1], INFINITY);
    }
    cases.push_back(steps);
    return cases;
}

// The keys taken ahead of need (the short sorted array) included: keys
// pushed between them, and bursts of more than the array holds.
TEST(FloodFront, PopsInTheOrderOfABinaryHeapEvenBelowTheLastPopped)
{
    std::mt19937_64 random(11);
    for (const int mode : {0, 1, 2}) {
        const bool onlyAbove = mode != 1;
        FloodFront front;
        std::priority_queue<uint64_t, std::vector<uint64_t>, std::greater<uint64_t>> reference;
        uint64_t last = 0;
        for (int step = 0; step < 200000; ++step) {
            if (reference.empty() || random() % 3 != 0) {
                // Keys spread over every bit, or just above the last popped;
                // in bursts, 40 keys at once within 64 of it.
                const int keys = mode == 2 && random() % 8 == 0 ? 40 : 1;
                for (int k = 0; k < keys; ++k) {
                    uint64_t key = keys > 1 ? last + random() % 64 : (random() % 2) ? random() : last + random() % 1000;
                    if (onlyAbove && key < last) {
                        key = last + (key & 0xffff);
                    }
                    front.Push(key);
                    reference.push(key);
                }
            } else {
                ASSERT_FALSE(front.Empty());
                last = front.Pop();
                ASSERT_EQ(last, reference.top()) << step;
                reference.pop();
            }
        }
        while (!reference.empty()) {
            ASSERT_EQ(front.Pop(), reference.top());
            reference.pop();
        }
        EXPECT_TRUE(front.Empty());
    }
}

TEST(FillToDrain, SameBitsAsTheDescribedFloodAndTheWorkKeepsNothingBetweenMaps)
{
    FillWork work;
    for (const int n : {2, 3, 9, 33}) {
        for (const std::vector<float>& grid : FillCases(n)) {
            std::vector<float> expected = grid;
            ReferenceFill(expected, n);
            std::vector<float> filled = grid;
            FillToDrain(filled.data(), n, 0.0, work);
            EXPECT_EQ(0, std::memcmp(expected.data(), filled.data(), grid.size() * sizeof(float))) << n;
        }
    }
}

// The recommended terrain's raw heights, uneroded and unfilled.
std::vector<float> RawMap(int n)
{
    TerrainParameters parameters;
    parameters.roughness = 0.62f;
    parameters.sharpness = 0.25f;
    Array2D<float> raw(n, n);
    GenerateHeightMapOfSize(raw, parameters);
    return std::vector<float>(raw.Row(0), raw.Row(0) + size_t(n) * n);
}

std::vector<float> FilledRawMap(int n)
{
    std::vector<float> h = RawMap(n);
    FillToDrain(h.data(), n);
    return h;
}

// A raw map's fill, at a size where the front holds thousands of keys at
// once and the keys taken ahead of need are pushed past, overflow and are
// compacted many times over: the reference's bits (the order of the pops
// itself is checked key by key above).
TEST(FillToDrain, SameBitsAsTheDescribedFloodOnARawMap)
{
    const int n = 257;
    TerrainParameters parameters;
    parameters.roughness = 0.62f;
    Array2D<float> raw(n, n);
    GenerateHeightMapOfSize(raw, parameters);
    const std::vector<float> grid(raw.Row(0), raw.Row(0) + size_t(n) * n);
    std::vector<float> expected = grid;
    ReferenceFill(expected, n);
    std::vector<float> filled = grid;
    FillWork work;
    FillToDrain(filled.data(), n, 0.0, work);
    EXPECT_EQ(0, std::memcmp(expected.data(), filled.data(), grid.size() * sizeof(float)));
    EXPECT_NE(0, std::memcmp(grid.data(), filled.data(), grid.size() * sizeof(float)));  // it had pits
}

// Multiple-flow area in bands of 1, 2 and 7 threads is the one-thread
// accumulation down the full ascending order, bit for bit, on every cell
// with shares.
TEST(FlowBands, AreaOnAnyNumberOfBandsIsTheOneOrdersArea)
{
    const int n = 257;
    const std::vector<float> h = FilledRawMap(n);
    FlowShareGrid shares;
    ComputeFlowShares(h.data(), n, shares, 0);
    std::vector<uint32_t> order;
    std::vector<uint64_t> keys;
    AscendingOrder(h.data(), h.size(), order, keys);
    std::vector<float> expected;
    MultipleFlowArea(shares, n, order, expected);
    for (const unsigned threads : {1u, 2u, 7u}) {
        FlowBands bands;
        bands.SetSmallestBand(64);
        bands.Build(h.data(), n, shares, threads);
        ASSERT_EQ(threads, bands.BandCount());
        std::vector<float> area;
        BandedFlowArea(bands, shares, area);
        size_t differing = 0;
        for (size_t i = 0; i < h.size(); ++i) {
            differing += shares.has[i] && std::memcmp(&area[i], &expected[i], sizeof(float)) != 0;
        }
        EXPECT_EQ(0u, differing) << threads << " threads";
    }
}

// The bands taken from the fill's own order (its front's cells merged with
// the cells it lifted) are the sorted bands, cell for cell, on a raw map
// with pits and flats to lift; an order that does not run ascending is
// sorted instead.
TEST(FlowBands, TheFillsOrderMakesTheSortedBands)
{
    const int n = 257;
    std::vector<float> h = RawMap(n);
    FillWork fill;
    fill.recordOrder = true;
    FillToDrain(h.data(), n, 0.0, fill);
    ASSERT_TRUE(fill.order.valid);
    ASSERT_GT(fill.order.lifted.size(), 100u);
    FlowShareGrid shares;
    ComputeFlowShares(h.data(), n, shares, 0);
    FillOrder swapped = fill.order;
    std::swap(swapped.front[10], swapped.front[20]);
    for (const unsigned threads : {1u, 3u}) {
        FlowBands sorted;
        sorted.SetSmallestBand(64);
        sorted.Build(h.data(), n, shares, threads);
        for (FillOrder* order : {&fill.order, &swapped}) {
            FlowBands merged;
            merged.SetSmallestBand(64);
            merged.Build(h.data(), n, shares, threads, order);
            ASSERT_EQ(sorted.BandCount(), merged.BandCount());
            for (size_t b = 0; b < sorted.BandCount(); ++b) {
                EXPECT_EQ(sorted.CellsOf(b), merged.CellsOf(b)) << threads << " threads, band " << b;
            }
        }
    }
}

// A sweep asks ahead for exactly the cells its band visits kSweepAhead
// cells later, up and down the order; on several bands, only for cells it
// visits. A wrong index would prefetch the wrong cells or point off the map.
TEST(FlowBands, SweepAsksAheadForTheCellsItVisitsLater)
{
    const int n = 129;
    const std::vector<float> h = FilledRawMap(n);
    FlowShareGrid shares;
    ComputeFlowShares(h.data(), n, shares, 0);
    for (const bool descending : {false, true}) {
        FlowBands one;
        one.Build(h.data(), n, shares, 1);
        std::vector<uint32_t> visited;
        std::vector<uint32_t> asked;
        one.Sweep(descending, [&](uint32_t i) { visited.push_back(i); }, [&](uint32_t j) { asked.push_back(j); });
        ASSERT_GT(visited.size(), FlowBands::kSweepAhead);
        EXPECT_EQ(std::vector<uint32_t>(visited.begin() + FlowBands::kSweepAhead, visited.end()), asked) << descending;

        FlowBands two;
        two.SetSmallestBand(64);
        two.Build(h.data(), n, shares, 2);
        std::vector<std::atomic<int>> visits(h.size());
        std::vector<std::atomic<int>> asks(h.size());
        two.Sweep(descending, [&](uint32_t i) { ++visits[i]; }, [&](uint32_t j) { ++asks[j]; });
        size_t strays = 0;
        size_t visitedCells = 0;
        for (size_t i = 0; i < h.size(); ++i) {
            strays += asks[i] > visits[i];
            visitedCells += visits[i] == 1;
        }
        EXPECT_EQ(0u, strays) << descending;
        EXPECT_EQ(visited.size(), visitedCells) << descending;
    }
}

// Whole rounds (stream power and deposition in bands, with seams every few
// rows) give the one-thread, one-band bits on 2 and 7 threads.
TEST(FlowBands, ErosionRoundsOnAnyNumberOfBandsAreTheOneThreadRounds)
{
    const int n = 257;
    const std::vector<float> raw = RawMap(n);
    const ErosionPlan plan = PlanErosion(1.0f);
    const auto erode = [&](unsigned threads) {
        std::vector<float> h = raw;
        ErosionWork work;
        work.bands.SetSmallestBand(64);
        work.bandThreads = 0;  // a band a thread
        ErodeCells(h.data(), n, plan, 3, threads, work);
        return h;
    };
    const std::vector<float> one = erode(1);
    for (const unsigned threads : {2u, 7u}) {
        const std::vector<float> many = erode(threads);
        EXPECT_EQ(0, std::memcmp(one.data(), many.data(), one.size() * sizeof(float))) << threads << " threads";
    }
}

}  // namespace
