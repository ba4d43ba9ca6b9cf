#pragma once

// A 4x4 matrix of 32-bit floats in column-major order: row i, column j is at
// m[4 * j + i], the layout glLoadMatrixf takes. Indices 12 to 14 hold the
// translation.
struct Matrix4 {
    float m[16];

    Matrix4();

    void SetIdentity();

    // this = this x other: applied to a column vector, other acts first.
    // Safe when other is *this.
    Matrix4& Multiply(const Matrix4& other);

    // Writes the translation only; the other thirteen elements stay.
    void SetTranslation(float x, float y, float z);

    // Each overwrites the whole matrix with a rotation by angle radians,
    // clockwise as seen from the positive end of the axis.
    void SetRotationX(float angle);
    void SetRotationY(float angle);
    void SetRotationZ(float angle);

    void Transpose();
};
