#include "math/Vector3.h"

#include <cmath>

#include "math/Matrix4.h"

namespace {

// Below this length a vector is too short to scale up reliably.
const float kMinNormaliseLength = 0.001f;

float Store(double v) { return static_cast<float>(v); }

}  // namespace

Vector3 Vector3::operator+(const Vector3& b) const
{
    return Vector3(Store(double(x) + b.x), Store(double(y) + b.y), Store(double(z) + b.z));
}

Vector3 Vector3::operator-(const Vector3& b) const
{
    return Vector3(Store(double(x) - b.x), Store(double(y) - b.y), Store(double(z) - b.z));
}

Vector3 Vector3::operator*(float s) const
{
    return Vector3(Store(double(x) * s), Store(double(y) * s), Store(double(z) * s));
}

Vector3 Vector3::operator/(float s) const
{
    return Vector3(Store(double(x) / s), Store(double(y) / s), Store(double(z) / s));
}

Vector3 Vector3::operator-() const
{
    return Vector3(0.0f - x, 0.0f - y, 0.0f - z);
}

Vector3& Vector3::operator+=(const Vector3& b) { return *this = *this + b; }
Vector3& Vector3::operator-=(const Vector3& b) { return *this = *this - b; }
Vector3& Vector3::operator*=(float s) { return *this = *this * s; }
Vector3& Vector3::operator/=(float s) { return *this = *this / s; }

float Vector3::Dot(const Vector3& b) const
{
    return Store(double(x) * b.x + double(y) * b.y + double(z) * b.z);
}

Vector3 Vector3::Cross(const Vector3& b) const
{
    return Vector3(Store(double(y) * b.z - double(z) * b.y),
                   Store(double(z) * b.x - double(x) * b.z),
                   Store(double(x) * b.y - double(y) * b.x));
}

float Vector3::Length() const
{
    return Store(std::sqrt(double(x) * x + double(y) * y + double(z) * z));
}

Vector3& Vector3::Normalise()
{
    float len = Length();
    // Written so that a NaN length fails the test and is divided by.
    if (len < kMinNormaliseLength)
        len = 1.0f;
    return *this /= len;
}

Vector3 Vector3::Normalised() const
{
    Vector3 copy = *this;
    return copy.Normalise();
}

Vector3 Vector3::Lerp(const Vector3& b, float t) const
{
    return Vector3(Store(x + double(t) * (double(b.x) - x)),
                   Store(y + double(t) * (double(b.y) - y)),
                   Store(z + double(t) * (double(b.z) - z)));
}

void Vector3::TransformDirection(const Matrix4& mat)
{
    const float* m = mat.m;
    const double vx = x, vy = y, vz = z;
    x = Store(m[0] * vx + m[4] * vy + m[8] * vz);
    y = Store(m[1] * vx + m[5] * vy + m[9] * vz);
    z = Store(m[2] * vx + m[6] * vy + m[10] * vz);
}

Vector3 TriangleNormal(const Vector3& p, const Vector3& q, const Vector3& r)
{
    const Vector3 e1 = q - p;
    const Vector3 e2 = r - p;
    return e1.Cross(e2).Normalised();
}

namespace {

double CatmullRomComponent(double p0, double p1, double p2, double p3, double t, double t2,
                           double t3)
{
    return 0.5 * (2.0 * p1 + (p2 - p0) * t + (2.0 * p0 - 5.0 * p1 + 4.0 * p2 - p3) * t2 +
                  (3.0 * p1 - p0 - 3.0 * p2 + p3) * t3);
}

}  // namespace

Vector3 CatmullRom(float t, const Vector3& p0, const Vector3& p1, const Vector3& p2,
                   const Vector3& p3)
{
    const float t2 = Store(double(t) * t);
    const float t3 = Store(double(t) * t * t);
    return Vector3(Store(CatmullRomComponent(p0.x, p1.x, p2.x, p3.x, t, t2, t3)),
                   Store(CatmullRomComponent(p0.y, p1.y, p2.y, p3.y, t, t2, t3)),
                   Store(CatmullRomComponent(p0.z, p1.z, p2.z, p3.z, t, t2, t3)));
}

Vector3 CatmullRomTangent(float t, const Vector3& p0, const Vector3& p1, const Vector3& p2,
                          const Vector3& p3)
{
    const float step = 0.01f;
    const Vector3 ahead = CatmullRom(Store(double(t) + step), p0, p1, p2, p3);
    const Vector3 behind = CatmullRom(Store(double(t) - step), p0, p1, p2, p3);
    return (ahead - behind).Normalised();
}
