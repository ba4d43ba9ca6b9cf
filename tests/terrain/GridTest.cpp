#include <gtest/gtest.h>

#include <vector>

#include "terrain/Array2D.h"
#include "terrain/Smooth.h"
#include "terrain/WrappingArray2D.h"

namespace {

// Value of the int the call throws, or -1 when it throws nothing.
template <typename Call>
int ThrownInt(Call call)
{
    try {
        call();
    } catch (int value) {
        return value;
    }
    return -1;
}

// The storage is contiguous, so a cell's offset from cell (0, 0) is its
// element index.
template <typename Grid>
long ElementOf(Grid& grid, int x, int y)
{
    return &grid.At(x, y) - &grid.At(0, 0);
}

void RecordCell(float* cell, void* context)
{
    static_cast<std::vector<float*>*>(context)->push_back(cell);
}

TEST(Array2DTest, CellsAreStoredRowAfterRow)
{
    Array2D<float> grid(129, 129);
    EXPECT_EQ(ElementOf(grid, 1, 0), 1);
    EXPECT_EQ(ElementOf(grid, 0, 1), 129);
    EXPECT_EQ(ElementOf(grid, 128, 128), 16640);
    EXPECT_EQ(grid.GetWidth(), 129u);
    EXPECT_EQ(grid.GetHeight(), 129u);
}

TEST(Array2DTest, OutsideCoordinatesThrowIntZero)
{
    Array2D<float> grid(129, 129);
    grid.Fill(3.0f);
    const Array2D<float>& constGrid = grid;
    EXPECT_EQ(ThrownInt([&] { grid.At(129, 0) = 1.0f; }), 0);
    EXPECT_EQ(ThrownInt([&] { grid.At(0, 129) = 1.0f; }), 0);
    EXPECT_EQ(ThrownInt([&] { grid.At(-1, 5) = 1.0f; }), 0);
    EXPECT_EQ(ThrownInt([&] { grid.At(5, -1) = 1.0f; }), 0);
    EXPECT_EQ(ThrownInt([&] { (void)constGrid.At(129, 128); }), 0);
    EXPECT_EQ(ThrownInt([&] { (void)constGrid.At(128, 128); }), -1);
    EXPECT_EQ(grid.At(0, 0), 3.0f);
    EXPECT_EQ(grid.At(128, 0), 3.0f);
}

TEST(WrappingArray2DTest, CoordinatesWrapAtEveryEdge)
{
    WrappingArray2D<float> grid(129, 129);
    EXPECT_EQ(&grid.At(129, 0), &grid.At(0, 0));
    EXPECT_EQ(&grid.At(-1, 0), &grid.At(128, 0));
    EXPECT_EQ(&grid.At(-1, -1), &grid.At(128, 128));
    EXPECT_EQ(&grid.At(258, 130), &grid.At(0, 1));
    EXPECT_EQ(&grid.At(-130, -258), &grid.At(128, 0));
    EXPECT_EQ(ElementOf(grid, 0, 1), 129);
    EXPECT_EQ(ElementOf(grid, 128, 128), 16640);
}

TEST(GridTest, FillSetsEveryCellAndForEachVisitsRowByRow)
{
    Array2D<float> grid(3, 2);
    grid.At(1, 1) = 9.0f;
    grid.Fill(2.5f);
    std::vector<float*> visited;
    grid.ForEach(RecordCell, &visited);
    const std::vector<float*> expected = {&grid.At(0, 0), &grid.At(1, 0), &grid.At(2, 0),
                                          &grid.At(0, 1), &grid.At(1, 1), &grid.At(2, 1)};
    EXPECT_EQ(visited, expected);
    for (float* cell : visited) {
        EXPECT_EQ(*cell, 2.5f);
    }
}

TEST(SmoothTest, AveragesTheFourWrappedNeighboursOverFive)
{
    WrappingArray2D<float> ones(4, 3);
    ones.Fill(1.0f);
    const WrappingArray2D<float> smoothed = Smooth(ones);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(smoothed.At(x, y), 0.8f);
        }
    }

    WrappingArray2D<float> spike(3, 3);
    spike.At(0, 0) = 5.0f;
    const WrappingArray2D<float> spread = Smooth(spike);
    EXPECT_EQ(spread.At(0, 0), 0.0f);
    EXPECT_EQ(spread.At(1, 0), 1.0f);
    EXPECT_EQ(spread.At(2, 0), 1.0f);
    EXPECT_EQ(spread.At(0, 1), 1.0f);
    EXPECT_EQ(spread.At(0, 2), 1.0f);
    EXPECT_EQ(spread.At(1, 1), 0.0f);
}

TEST(SmoothTest, BoundedSourceThrowsIntZero)
{
    Array2D<float> grid(4, 4);
    EXPECT_EQ(ThrownInt([&] { Smooth(grid); }), 0);
}

TEST(GridDeathTest, WrappingGridRejectsZeroExtent)
{
    EXPECT_DEATH(WrappingArray2D<float>(0, 5), "WrappingArray2D\\.h:[0-9]+:.*_data_x_l != 0");
    EXPECT_DEATH(WrappingArray2D<float>(5, 0), "WrappingArray2D\\.h:[0-9]+:.*_data_y_l != 0");
    EXPECT_DEATH(WrappingArray2D<float>(0, 0), "_data_x_l != 0");
}

// 65536 x 65537 cells overflow the 32-bit block size to 65536, so the
// storage is one row long and the second row's first cell lies past it.
TEST(GridDeathTest, IndexPastTheBlockSizeStops)
{
    EXPECT_DEATH(
        {
            Array2D<float> grid(65536, 65537);
            grid.At(0, 1) = 1.0f;
        },
        "/Array2D\\.h:[0-9]+:.*element < _DataBlockSize\\(\\)");
    EXPECT_DEATH(
        {
            WrappingArray2D<float> grid(65536, 65537);
            grid.At(0, 1) = 1.0f;
        },
        "WrappingArray2D\\.h:[0-9]+:.*element < _DataBlockSize\\(\\)");
}

} // namespace
