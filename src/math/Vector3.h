#pragma once

struct Matrix4;

// A point or direction of three 32-bit floats. Each operation works in double
// and rounds to float only where it stores a component, so a chain of
// operations rounds once per step, never more.
struct Vector3 {
    float x, y, z;

    Vector3() : x(0.0f), y(0.0f), z(0.0f) {}
    Vector3(float x, float y, float z) : x(x), y(y), z(z) {}

    Vector3 operator+(const Vector3& b) const;
    Vector3 operator-(const Vector3& b) const;
    Vector3 operator*(float s) const;
    // Three divisions, not a multiplication by 1/s; a zero s is not checked.
    Vector3 operator/(float s) const;
    // 0 - component, so a zero component comes out as +0.
    Vector3 operator-() const;

    Vector3& operator+=(const Vector3& b);
    Vector3& operator-=(const Vector3& b);
    Vector3& operator*=(float s);
    Vector3& operator/=(float s);

    float Dot(const Vector3& b) const;
    // Right-handed: this x b.
    Vector3 Cross(const Vector3& b) const;
    float Length() const;

    // Divides by the length, unless the length is below 0.001 (the zero
    // vector included), in which case the vector is left as it is.
    Vector3& Normalise();
    Vector3 Normalised() const;

    Vector3 Lerp(const Vector3& b, float t) const;

    // Applies the upper-left 3x3 block of m; its translation is ignored.
    void TransformDirection(const Matrix4& m);
};

// Unit normal of the triangle p, q, r, on the side from which they run
// counter-clockwise; an unnormalised cross product if it is shorter than
// 0.001 (zero for collinear points).
Vector3 TriangleNormal(const Vector3& p, const Vector3& q, const Vector3& r);

// Uniform Catmull-Rom point of the segment from p1 (t = 0) to p2 (t = 1).
Vector3 CatmullRom(float t, const Vector3& p0, const Vector3& p1, const Vector3& p2,
                   const Vector3& p3);

// Direction of the curve at t, by a central difference of +-0.01, normalised.
Vector3 CatmullRomTangent(float t, const Vector3& p0, const Vector3& p1, const Vector3& p2,
                          const Vector3& p3);
