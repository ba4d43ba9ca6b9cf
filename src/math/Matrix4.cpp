#include "math/Matrix4.h"

#include <cmath>
#include <utility>

Matrix4::Matrix4() { SetIdentity(); }

void Matrix4::SetIdentity()
{
    for (int i = 0; i < 16; ++i)
        m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

Matrix4& Matrix4::Multiply(const Matrix4& other)
{
    // Every product is formed before any element is written, so other may be
    // this matrix itself.
    float product[16];
    for (int j = 0; j < 4; ++j) {
        for (int i = 0; i < 4; ++i) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k)
                sum += double(m[4 * k + i]) * other.m[4 * j + k];
            product[4 * j + i] = static_cast<float>(sum);
        }
    }
    for (int i = 0; i < 16; ++i)
        m[i] = product[i];
    return *this;
}

void Matrix4::SetTranslation(float x, float y, float z)
{
    m[12] = x;
    m[13] = y;
    m[14] = z;
}

void Matrix4::SetRotationX(float angle)
{
    const double c = std::cos(double(angle)), s = std::sin(double(angle));
    SetIdentity();
    m[5] = static_cast<float>(c);
    m[6] = static_cast<float>(-s);
    m[9] = static_cast<float>(s);
    m[10] = static_cast<float>(c);
}

void Matrix4::SetRotationY(float angle)
{
    const double c = std::cos(double(angle)), s = std::sin(double(angle));
    SetIdentity();
    m[0] = static_cast<float>(c);
    m[2] = static_cast<float>(s);
    m[8] = static_cast<float>(-s);
    m[10] = static_cast<float>(c);
}

void Matrix4::SetRotationZ(float angle)
{
    const double c = std::cos(double(angle)), s = std::sin(double(angle));
    SetIdentity();
    m[0] = static_cast<float>(c);
    m[1] = static_cast<float>(-s);
    m[4] = static_cast<float>(s);
    m[5] = static_cast<float>(c);
}

void Matrix4::Transpose()
{
    for (int i = 0; i < 4; ++i)
        for (int j = i + 1; j < 4; ++j)
            std::swap(m[4 * j + i], m[4 * i + j]);
}
