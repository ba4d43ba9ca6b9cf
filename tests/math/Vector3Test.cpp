#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "math/Matrix4.h"
#include "math/Vector3.h"

static void ExpectVector(const Vector3& v, float x, float y, float z)
{
    EXPECT_NEAR(v.x, x, 1e-6);
    EXPECT_NEAR(v.y, y, 1e-6);
    EXPECT_NEAR(v.z, z, 1e-6);
}

TEST(Vector3, NormaliseGuardIsStrictAndLetsNaNThrough)
{
    const float below = std::nextafter(0.001f, 0.0f);
    Vector3 atGuard(0.001f, 0, 0), short1(below, 0, 0), zero;
    EXPECT_EQ(atGuard.Normalise().x, 1.0f);
    EXPECT_EQ(short1.Normalise().x, below);
    ExpectVector(zero.Normalise(), 0, 0, 0);
    Vector3 nan(std::numeric_limits<float>::quiet_NaN(), 1, 0);
    EXPECT_TRUE(std::isnan(nan.Normalise().y));
}

TEST(Vector3, Arithmetic)
{
    const Vector3 a(1, 2, 3), b(4, -5, 6);
    Vector3 c = a;
    (c += b) -= a;
    ExpectVector(c * 3.0f, 12, -15, 18);
    EXPECT_EQ(a.Dot(b), 12);
    EXPECT_EQ(Vector3(2, 3, 6).Length(), 7);
    // Three divisions: these quotients differ from products with 1/3.
    const Vector3 q = Vector3(0.3f, 0.6f, 1.2f) / 3.0f;
    EXPECT_TRUE(q.x == 0.3f / 3.0f && q.y == 0.6f / 3.0f && q.z == 1.2f / 3.0f);
    const Vector3 n = -Vector3(0, 0.5f, 1);
    EXPECT_FALSE(std::signbit(n.x));
    ExpectVector(n, 0, -0.5f, -1);
}

TEST(Vector3, TriangleNormalFollowsWinding)
{
    const Vector3 p, q(1, 0, 0), r(0, 1, 0);
    ExpectVector(TriangleNormal(p, q, r), 0, 0, 1);
    ExpectVector(TriangleNormal(p, r, q), 0, 0, -1);
    ExpectVector(TriangleNormal(p, q, Vector3(2, 0, 0)), 0, 0, 0);
    // A level mesh cell: its cross product is below the guard, so undivided.
    const float a = 1.0f / 128;
    EXPECT_EQ(TriangleNormal(p, Vector3(a, 0, 0), Vector3(a, 0, a)).y, -1.0f / 16384);
}

TEST(Vector3, CurvesAndDirections)
{
    const Vector3 p0, p1(1, 0, 0), p2(2, 1, 0), p3(3, 1, 0);
    ExpectVector(CatmullRom(0, p0, p1, p2, p3), 1, 0, 0);
    ExpectVector(CatmullRom(1, p0, p1, p2, p3), 2, 1, 0);
    ExpectVector(CatmullRomTangent(0.5f, p0, p1 * 2, p1 * 4, p1 * 6), 1, 0, 0);
    ExpectVector(p1.Lerp(p3, 0.5f), 2, 0.5f, 0);

    Matrix4 m;
    m.SetTranslation(5, 6, 7);
    Vector3 v(1, 2, 3);
    v.TransformDirection(m);
    ExpectVector(v, 1, 2, 3);
    m.SetRotationX(static_cast<float>(M_PI / 2));
    v.TransformDirection(m);
    ExpectVector(v, 1, 3, -2);
}
