#include "math/CameraFrame.h"

namespace {

// Scales by a double weight, rounding each component once.
Vector3 Scaled(const Vector3& v, double w)
{
    return Vector3(static_cast<float>(v.x * w), static_cast<float>(v.y * w),
                   static_cast<float>(v.z * w));
}

Vector3 Weighted(const Vector3& from, const Vector3& to, double wFrom, double wTo)
{
    return Scaled(from, wFrom) + Scaled(to, wTo);
}

}  // namespace

void Orthonormalise(CameraFrame& frame)
{
    frame.at.Normalise();
    frame.up.Normalise();
    RebuildAxes(frame);
}

CameraFrame Blend(const CameraFrame& from, const CameraFrame& to, float t)
{
    const double w = 1.0 - double(t);
    CameraFrame result;
    result.at = Weighted(from.at, to.at, w, t);
    result.up = Weighted(from.up, to.up, w, t);
    result.lateral = Weighted(from.lateral, to.lateral, w, t);
    result.position = Weighted(from.position, to.position, w, t);
    Orthonormalise(result);
    return result;
}

Matrix4 ViewMatrix(const CameraFrame& frame)
{
    const Vector3 back = -frame.at;
    Matrix4 rotation;
    rotation.m[0] = frame.lateral.x;
    rotation.m[4] = frame.lateral.y;
    rotation.m[8] = frame.lateral.z;
    rotation.m[1] = frame.up.x;
    rotation.m[5] = frame.up.y;
    rotation.m[9] = frame.up.z;
    rotation.m[2] = back.x;
    rotation.m[6] = back.y;
    rotation.m[10] = back.z;

    const Vector3 shift = -frame.position;
    Matrix4 translation;
    translation.SetTranslation(shift.x, shift.y, shift.z);

    rotation.Multiply(translation);
    return rotation;
}

void NormaliseAxes(CameraFrame& frame)
{
    frame.at.Normalise();
    frame.up.Normalise();
    frame.lateral.Normalise();
}

void RebuildAxes(CameraFrame& frame)
{
    frame.lateral = frame.at.Cross(frame.up);
    frame.up = frame.lateral.Cross(frame.at);
}

void Reset(CameraFrame& frame)
{
    frame.at = Vector3(0.0f, 0.0f, 1.0f);
    frame.up = Vector3(0.0f, 1.0f, 0.0f);
    frame.lateral = Vector3(1.0f, 0.0f, 0.0f);
    frame.position = Vector3(0.0f, 0.0f, 0.0f);
}

CameraFrame StartFrame()
{
    CameraFrame frame;
    frame.position = Vector3(0.0f, 0.5f, 1.0f);
    frame.lateral = Vector3(1.0f, 0.0f, 0.0f);
    frame.up = Vector3(0.0f, 1.0f, 0.0f);
    frame.at = -frame.position;
    return frame;
}
