#include <gtest/gtest.h>

#include "math/CameraFrame.h"

static void ExpectNear(const Vector3& v, const Vector3& e)
{
    EXPECT_NEAR(v.x, e.x, 1e-4);
    EXPECT_NEAR(v.y, e.y, 1e-4);
    EXPECT_NEAR(v.z, e.z, 1e-4);
}

static void ExpectFrame(const CameraFrame& f, const CameraFrame& e)
{
    ExpectNear(f.at, e.at);
    ExpectNear(f.up, e.up);
    ExpectNear(f.lateral, e.lateral);
    ExpectNear(f.position, e.position);
}

TEST(CameraFrame, FirstTwoFramesFromStart)
{
    const Vector3 at(0, -0.4472f, -0.8944f), position(0, 0.5f, 1);
    CameraFrame view = StartFrame(), target = view;
    Orthonormalise(target);
    view = Blend(view, target, 0.2f);
    ExpectFrame(target, {at, {0, 0.8f, -0.4f}, {0.8944f, 0, 0}, position});
    ExpectFrame(view, {at, {0, 0.8305f, -0.4152f}, {0.9285f, 0, 0}, position});

    Orthonormalise(target);
    view = Blend(view, target, 0.2f);
    ExpectFrame(target, {at, {0, 0.8944f, -0.4472f}, {1, 0, 0}, position});
    ExpectFrame(view, target);
}

TEST(CameraFrame, DegenerateAxesCollapseToZero)
{
    CameraFrame parallel{{0, 1, 0}, {0, 2, 0}, {}, {1, 2, 3}}, noAt{{}, {0, 1, 0}, {}, {}};
    Orthonormalise(parallel);
    Orthonormalise(noAt);
    ExpectFrame(parallel, {{0, 1, 0}, {}, {}, {1, 2, 3}});
    ExpectFrame(noAt, CameraFrame());
}

TEST(CameraFrame, BlendEndpointsAndFixedPoint)
{
    const CameraFrame start = StartFrame();
    CameraFrame squared = start, tilted{{1, 0, 0}, {0, 0.6f, 0.8f}, {}, {7, 8, 9}};
    Orthonormalise(squared);
    Orthonormalise(tilted);
    ExpectFrame(Blend(start, tilted, 0), squared);
    ExpectFrame(Blend(start, tilted, 1), tilted);
    ExpectFrame(Blend(tilted, tilted, 0.37f), tilted);
}

TEST(CameraFrame, ViewMatrix)
{
    Matrix4 expected;
    expected.SetTranslation(-1, -2, -3);
    const Matrix4 view = ViewMatrix({{0, 0, -1}, {0, 1, 0}, {1, 0, 0}, {1, 2, 3}});
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(view.m[i], expected.m[i]) << "index " << i;

    const Matrix4 start = ViewMatrix(StartFrame());
    EXPECT_EQ(start.m[6], 0.5f);
    EXPECT_EQ(start.m[10], 1.0f);
    ExpectNear({start.m[12], start.m[13], start.m[14]}, {0, -0.5f, -1.25f});
}

// The weight of from is 1 - t formed wider than a float: 1 - 0.2f is
// 0.79999999701976776 in double but 0.8000000119 as a float, and the blended
// coordinate shows it in its last bit.
TEST(CameraFrame, BlendFormsTheFromWeightInExtendedPrecision)
{
    const float fromX = 0.881298065f, toX = 1.73022938f, t = 0.2f;
    CameraFrame from{{0, 0, -1}, {0, 1, 0}, {1, 0, 0}, {fromX, 0, 0}};
    CameraFrame to{{0, 0, -1}, {0, 1, 0}, {1, 0, 0}, {toX, 0, 0}};

    const float wide = float(fromX * (1.0 - double(t))) + float(toX * double(t));
    const float narrowW = 1.0f - t;
    const float narrow = float(fromX * double(narrowW)) + float(toX * double(t));
    ASSERT_EQ(wide, 1.05108428f);
    ASSERT_EQ(narrow, 1.0510844f);
    ASSERT_NE(wide, narrow);

    const CameraFrame blended = Blend(from, to, t);
    EXPECT_EQ(blended.position.x, 1.05108428f);
    EXPECT_EQ(blended.position.y, 0.0f);
    EXPECT_EQ(blended.position.z, 0.0f);
}
