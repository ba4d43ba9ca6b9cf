#include <gtest/gtest.h>

#include <cmath>

#include "math/Matrix4.h"

// The matrix applied to the point (x, y, z, 1).
static void ExpectMaps(const Matrix4& m, float x, float y, float z, float ex, float ey, float ez)
{
    EXPECT_NEAR(m.m[0] * x + m.m[4] * y + m.m[8] * z + m.m[12], ex, 1e-6);
    EXPECT_NEAR(m.m[1] * x + m.m[5] * y + m.m[9] * z + m.m[13], ey, 1e-6);
    EXPECT_NEAR(m.m[2] * x + m.m[6] * y + m.m[10] * z + m.m[14], ez, 1e-6);
}

// Elements 1 to 16 in order, with an affine bottom row.
static Matrix4 Counting()
{
    Matrix4 m;
    for (int i = 0; i < 16; ++i)
        m.m[i] = (i % 4 == 3) ? (i == 15) : i + 1.0f;
    return m;
}

static void ExpectElements(const Matrix4& a, const float (&b)[16])
{
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(a.m[i], b[i]) << "index " << i;
}

TEST(Matrix4, Multiply)
{
    Matrix4 m = Counting(), right = Counting(), left, moved, turned;
    m.Multiply(m);
    ExpectElements(m, {38, 44, 50, 0, 98, 116, 134, 0, 158, 188, 218, 0, 231, 274, 317, 1});
    ExpectElements(right.Multiply(Matrix4()), Counting().m);
    ExpectElements(left.Multiply(Counting()), Counting().m);

    // The right-hand factor acts first.
    moved.SetTranslation(1, 2, 3);
    turned.SetRotationZ(static_cast<float>(M_PI / 2));
    ExpectMaps(moved.Multiply(turned), 1, 0, 0, 1, 1, 3);
}

TEST(Matrix4, RotationsTranslationTranspose)
{
    const float quarter = static_cast<float>(M_PI / 2);
    Matrix4 m;
    m.SetRotationZ(quarter);
    ExpectMaps(m, 1, 0, 0, 0, -1, 0);
    m.SetRotationX(quarter);
    ExpectMaps(m, 0, 1, 0, 0, 0, -1);
    m.SetRotationY(quarter);
    ExpectMaps(m, 0, 0, 1, -1, 0, 0);
    m.SetTranslation(4, 5, 6);  // keeps the rotation block
    ExpectMaps(m, 0, 0, 1, 3, 5, 6);

    Matrix4 t = Counting();
    t.Transpose();
    ExpectElements(t, {1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15, 0, 0, 0, 1});
}
