// 4x4, 3x3 and 2x2 matrices and the transform builders.
//
// Row vectors: a point p maps to p * M, the translation is in m[12..14],
// rows 0, 1, 2 are the images of the X, Y and Z axes. A * B transforms by
// B first and then by A (its elements are the product B·A).
#pragma once

#include "TWMath/Vector.h"

class EQuat;
class EPlane;
class EStream;

class EMat2 {
public:
  float m[4];

  EMat2() {}
  EMat2(float m00, float m01, float m10, float m11) { m[0] = m00; m[1] = m01; m[2] = m10; m[3] = m11; }
  EMat2 operator*(float s) const;
  EMat2 operator+(const EMat2& b) const;
  // Accumulated second moments to the covariance about the mean (Covariance.cpp).
  void CovarianceTranslateToLocal(const EVec2& mean);
};

class EMat3 {
public:
  float m[9];

  EMat3() {}
  EMat3(float m0, float m1, float m2, float m3, float m4, float m5, float m6, float m7, float m8);
  EMat3 operator*(float s) const;
  EMat3 operator+(const EMat3& b) const;
  EMat3& operator+=(const EMat3& b);
  // Eigenvalues (largest first, negatives as 0) and unit eigenvectors of
  // this symmetric matrix; false when the solver failed (Covariance.cpp).
  bool GetEigenStuff(float values[3], EVec3 vectors[3]) const;
  // Accumulated second moments to the covariance about the mean.
  void CovarianceTranslateToLocal(const EVec3& mean);
};

class EMat4 {
public:
  float m[16];

  constexpr EMat4() : m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1} {}
  constexpr EMat4(float m0, float m1, float m2, float m3, float m4, float m5, float m6, float m7,
                  float m8, float m9, float m10, float m11, float m12, float m13, float m14, float m15)
      : m{m0, m1, m2, m3, m4, m5, m6, m7, m8, m9, m10, m11, m12, m13, m14, m15} {}
  explicit EMat4(const EMat3& r);
  EMat4(const EVec3& right, const EVec3& up, const EVec3& back, const EVec3& trans);
  explicit EMat4(const EQuat& q);
  EMat4(const EQuat& q, const EVec3& trans);
  EMat4(const EMat4& b) = default;

  void Set(float m0, float m1, float m2, float m3, float m4, float m5, float m6, float m7,
           float m8, float m9, float m10, float m11, float m12, float m13, float m14, float m15);
  EMat4& operator=(const EMat4& b) {
    if (this != &b) memcpy(m, b.m, sizeof(m));
    return *this;
  }
  void LoadIdentity();
  // Upper 3x3 to identity; the fourth column and the translation stay.
  void LoadIdentity3x3();
  // Writes row i.
  void LoadCol(int i, float a, float b, float c, float d);
  void SetFromBasisVectors(const EVec3& x, const EVec3& y, const EVec3& z);
  void GetBasisVectors(EVec3& x, EVec3& y, EVec3& z) const;

  EVec3& GetTranslation() { return *reinterpret_cast<EVec3*>(&m[12]); }
  const EVec3& GetTranslation() const { return *reinterpret_cast<const EVec3*>(&m[12]); }
  void SetTranslation(const EVec3& v) { m[12] = v.x; m[13] = v.y; m[14] = v.z; }
  EMat4 GetRotation() const;
  void SetRotation(const EMat4& r);

  // this * B (B applied first).
  [[nodiscard]] EMat4 Mul(const EMat4& B) const;
  [[nodiscard]] EMat4 MulUnaligned(const EMat4& B) const;
  static void Mul(EMat4& out, const EMat4& A, const EMat4& B);
  EMat4& operator*=(const EMat4& B);
  EMat4 operator*(float s) const;
  // this += B * s, element by element.
  void MAdd(const EMat4& B, float s);
  // A at t = 1, B at t = 0.
  static EMat4 Lerp(const EMat4& A, const EMat4& B, float t);

  bool operator==(const EMat4& b) const { return memcmp(m, b.m, sizeof(m)) == 0; }
  bool operator!=(const EMat4& b) const { return memcmp(m, b.m, sizeof(m)) != 0; }

  // p * M with w = 1.
  EVec3 MulVec3(const EVec3& p) const;
  EVec3 TransformPoint(const EVec3& p) const { return MulVec3(p); }
  // (p, 1) * M, then divided by w (guarded against w = 0).
  EVec3 TransformPointPerspective(const EVec3& p) const;
  // v times the upper 3x3.
  EVec3 Mul3Vec3(const EVec3& v) const;
  EVec4 MulVec4(const EVec4& v) const;

  EMat4 Transpose() const;
  // Cofactor inverse; a singular matrix gives the identity (and a warning).
  EMat4 Inverse() const;
  // Inverse of a rotation plus translation.
  EMat4 OrthoInverse() const;

  EEuler ToEuler() const;
  void RotateEuler(const EEuler& e);
  void FromAxisAngle(const EVec4& axisAngle);
  // Rotation whose facing direction (minus row 2) is fwd.
  void FromFwd(const EVec3& fwd, const EVec3& up);
  // Keeps the Y axis and rebuilds X and Z around it.
  void Orthonormalize();
  EPlane Transform(const EPlane& p) const;

  // Steps applied before the existing transform (in local space).
  void Translate(float x, float y, float z);
  void Translate(const EVec3& v) { Translate(v.x, v.y, v.z); }
  void RotateX(float a);
  void RotateY(float a);
  void RotateZ(float a);
  void Scale(float x, float y, float z);
  void Scale(const EVec3& v) { Scale(v.x, v.y, v.z); }
  // Scales after the transform, translation included.
  void ScaleLHS(const EVec3& v);
};

EMat4 operator*(const EMat4& A, const EMat4& B);
inline EVec3 operator%(const EMat4& M, const EVec3& p) { return M.MulVec3(p); }
inline EVec3 operator/(const EMat4& M, const EVec3& v) { return M.Mul3Vec3(v); }

// The 16 elements in storage order.
EStream& operator<<(EStream& s, EMat4& m);

extern const EMat4 cg_mIdentity;
extern const EMat3 cg_mIdentity3;
extern const EMat4 cg_mZero4;

EMat4 MatrixTranslate(float x, float y, float z);
EMat4 MatrixTranslate(const EVec3& v);
EMat4 MatrixScale(float x, float y, float z);
EMat4 MatrixScale(const EVec3& v);
EMat4 MatrixRotateX(float a);
EMat4 MatrixRotateY(float a);
EMat4 MatrixRotateZ(float a);
// Rotates about X first, then Y, then Z.
EMat4 MatrixRotateEuler(const EEuler& e);
// Right-handed view matrix looking down -Z.
EMat4 MatrixLookAt(const EVec3& eye, const EVec3& target, const EVec3& up);
// fov/4 gives the tangent: 180 yields a 90-degree frustum.
EMat4 MatrixPerspectiveProjection(float fov, float aspect, float fNear, float fFar);
EMat4 MatrixPerspectiveProjectionInv(float fov, float aspect, float fNear, float fFar);
EMat4 MatrixOrthoProjection(float width, float height, float fNear, float fFar);
EMat4 MatrixReflect(const EPlane& plane);

// Entry points of the vectorised products; both compute A * B.
EMat4 SSEMul_4x4_4x4_2arg(const EMat4& A, const EMat4& B);
void SSEMul_4x4_4x4_3arg(EMat4& out, const EMat4& A, const EMat4& B);
