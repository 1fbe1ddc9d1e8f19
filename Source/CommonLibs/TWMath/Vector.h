// Two-, three- and four-component vectors, Euler angles and packed normals.
//
// Points are row vectors (p * M); angles are in degrees, forward is -Z,
// +Y is up. All types are plain values without allocation.
#pragma once

#include "TWMath/MathGeneral.h"

class EStream;
class EEuler;
class EVec4;
class EQuat;
class EMat2;
class EMat3;
class EMat4;

class EVec2 {
public:
  float x, y;

  EVec2() {}
  constexpr EVec2(float fx, float fy) : x(fx), y(fy) {}

  EVec2& Set(float fx, float fy) { x = fx; y = fy; return *this; }
  void Zero() { x = y = 0.0f; }

  EVec2 operator+(const EVec2& b) const { return EVec2(x + b.x, y + b.y); }
  EVec2 operator-(const EVec2& b) const { return EVec2(x - b.x, y - b.y); }
  EVec2 operator-() const { return EVec2(-x, -y); }
  EVec2 operator*(float s) const { return EVec2(x * s, y * s); }
  EVec2 operator*(const EVec2& b) const { return EVec2(x * b.x, y * b.y); }
  EVec2& operator*=(const EVec2& b) { x *= b.x; y *= b.y; return *this; }
  EVec2& operator*=(float s) { x *= s; y *= s; return *this; }
  EVec2& operator+=(const EVec2& b) { x += b.x; y += b.y; return *this; }
  EVec2& operator-=(const EVec2& b) { x -= b.x; y -= b.y; return *this; }
  bool operator==(const EVec2& b) const { return x == b.x && y == b.y; }
  bool operator!=(const EVec2& b) const { return !(*this == b); }

  float Dot(const EVec2& b) const { return x * b.x + y * b.y; }
  float Cross(const EVec2& b) const { return x * b.y - y * b.x; }
  float Magnitude() const { return FastSqrt(Dot(*this)); }
  // Returns the former length; see EVec3::Normalize.
  float Normalize();
  EVec2 Lerp(const EVec2& b, float t) const { return EVec2(x * (1.0f - t) + b.x * t, y * (1.0f - t) + b.y * t); }
  EVec2 Min(const EVec2& b) const { return EVec2(MIN(x, b.x), MIN(y, b.y)); }
  EVec2 Max(const EVec2& b) const { return EVec2(MAX(x, b.x), MAX(y, b.y)); }
  float AbsComponentSum() const { return ABS(x) + ABS(y); }
};

class EVec3 {
public:
  float x, y, z;

  constexpr EVec3() : x(0.0f), y(0.0f), z(0.0f) {}
  constexpr EVec3(float fx, float fy, float fz) : x(fx), y(fy), z(fz) {}
  explicit EVec3(const float* p) : x(p[0]), y(p[1]), z(p[2]) {}
  EVec3(const EVec2& v, float fz) : x(v.x), y(v.y), z(fz) {}
  EVec3(const EEuler& e);

  EVec3& Set(float fx, float fy, float fz) { x = fx; y = fy; z = fz; return *this; }
  void Zero() { x = y = z = 0.0f; }

  float& operator[](int i) { return (&x)[i]; }
  float operator[](int i) const { return (&x)[i]; }

  EVec3 operator+(const EVec3& b) const { return EVec3(x + b.x, y + b.y, z + b.z); }
  EVec3 operator-(const EVec3& b) const { return EVec3(x - b.x, y - b.y, z - b.z); }
  EVec3 operator-() const { return EVec3(-x, -y, -z); }
  EVec3 operator*(float s) const { return EVec3(x * s, y * s, z * s); }
  EVec3 operator/(float s) const { float r = 1.0f / s; return EVec3(x * r, y * r, z * r); }
  EVec3 operator*(const EVec3& b) const { return EVec3(x * b.x, y * b.y, z * b.z); }
  EVec3& operator*=(const EVec3& b) { x *= b.x; y *= b.y; z *= b.z; return *this; }
  EVec3& operator+=(const EVec3& b) { x += b.x; y += b.y; z += b.z; return *this; }
  EVec3& operator-=(const EVec3& b) { x -= b.x; y -= b.y; z -= b.z; return *this; }
  EVec3& operator*=(float s) { x *= s; y *= s; z *= s; return *this; }
  EVec3& operator/=(float s) { float r = 1.0f / s; x *= r; y *= r; z *= r; return *this; }
  bool operator==(const EVec3& b) const { return x == b.x && y == b.y && z == b.z; }
  bool operator!=(const EVec3& b) const { return !(*this == b); }

  float Dot(const EVec3& b) const { return x * b.x + y * b.y + z * b.z; }
  EVec3 Cross(const EVec3& b) const {
    return EVec3(y * b.z - z * b.y, z * b.x - x * b.z, x * b.y - y * b.x);
  }
  float Length() const { return FastSqrt(Dot(*this)); }
  float Magnitude() const { return FastSqrt(Dot(*this)); }
  float LengthSquared() const { return Dot(*this); }
  float Mag2() const { return Dot(*this); }
  float ComponentSum() const { return x + y + z; }
  float AbsComponentSum() const { return ABS(x) + ABS(y) + ABS(z); }
  EVec3 Max(const EVec3& b) const { return EVec3(MAX(x, b.x), MAX(y, b.y), MAX(z, b.z)); }
  EVec3 Min(const EVec3& b) const { return EVec3(MIN(x, b.x), MIN(y, b.y), MIN(z, b.z)); }
  EVec3 Lerp(const EVec3& b, float t) const {
    float u = 1.0f - t;
    return EVec3(x * u + b.x * t, y * u + b.y * t, z * u + b.z * t);
  }

  // Scales to unit length and returns the former length. A vector shorter
  // than 1e-5 is left alone (returns 0); one already of unit length within
  // 1e-5 on its square is left alone too (returns 1).
  float Normalize();
  // Divides by the largest absolute component and returns it (0 for a
  // vector too small, which is left unchanged).
  float NormalizeCube();
  EVec3 GetNormal(float* pLength = nullptr) const;
  // The unit copy, or (0, 0, -1) for a vector too short to have a direction.
  EVec3 SafeGetNormal() const;
  bool Parallel(const EVec3& b) const { return ABS(ABS(Dot(b)) - 1.0f) < 0.00001f; }
  float AngularDifference(const EVec3& b) const { return ABS(ArcCos(Dot(b))); }

  // Direction -> (pitch, yaw, 0) and back; forward is (0, 0, -1).
  EVec3 CartesianToEuler() const;
  EVec3 EulerToCartesian() const;
  EVec3 RotateByEulerAngles(const EEuler& angles) const;
  // Unit vector along this x up, with a fallback axis when they are parallel.
  EVec3 CalculateRightVector(const EVec3& up) const;
  EVec4 EulerToAxisAngle() const;

  // (radius, yaw, elevation) in degrees, elevation positive upward.
  EVec3 SphericalToCartesian() const;
  EVec3 CartesianToSpherical() const;
  EVec3 NormalizeSpherical() const;
  // (radius, yaw, height).
  EVec3 CartesianToCylindric() const;
  EVec3 CylindricToCartesian() const;

  // Unit vector whose angle to +X has a cosine in [fCosMax, fCosMin]; a
  // negative random input is drawn from g_SimRand.
  static EVec3 Random(float fCosMin, float fCosMax, float fRand1 = -1.0f, float fRand2 = -1.0f);

  EEuler& AsEuler() { return *reinterpret_cast<EEuler*>(this); }
  const EEuler& AsEuler() const { return *reinterpret_cast<const EEuler*>(this); }
};

inline EVec3 operator*(float s, const EVec3& v) { return v * s; }
inline float operator%(const EVec3& a, const EVec3& b) { return a.Dot(b); }
inline EVec3 operator/(const EVec3& a, const EVec3& b) { return a.Cross(b); }

class EVec4 {
public:
  float x, y, z, w;

  EVec4() {}
  constexpr EVec4(float fx, float fy, float fz, float fw) : x(fx), y(fy), z(fz), w(fw) {}
  EVec4(const EVec3& v, float fw) : x(v.x), y(v.y), z(v.z), w(fw) {}
  // The axis-angle of the quaternion (axis in x, y, z; degrees in w).
  EVec4(const EQuat& q);

  EVec4& Set(float fx, float fy, float fz, float fw) { x = fx; y = fy; z = fz; w = fw; return *this; }
  void Zero() { x = y = z = w = 0.0f; }

  EVec4 operator+(const EVec4& b) const { return EVec4(x + b.x, y + b.y, z + b.z, w + b.w); }
  EVec4 operator-(const EVec4& b) const { return EVec4(x - b.x, y - b.y, z - b.z, w - b.w); }
  EVec4 operator*(float s) const { return EVec4(x * s, y * s, z * s, w * s); }
  EVec4 operator*(const EVec4& b) const { return EVec4(x * b.x, y * b.y, z * b.z, w * b.w); }
  EVec4 operator/(float s) const { float r = 1.0f / s; return EVec4(x * r, y * r, z * r, w * r); }
  EVec4& operator/=(float s) { float r = 1.0f / s; x *= r; y *= r; z *= r; w *= r; return *this; }
  EVec4& operator*=(float s) { x *= s; y *= s; z *= s; w *= s; return *this; }
  EVec4& operator+=(const EVec4& b) { x += b.x; y += b.y; z += b.z; w += b.w; return *this; }
  bool operator!=(const EVec4& b) const { return x != b.x || y != b.y || z != b.z || w != b.w; }

  float Dot(const EVec4& b) const { return x * b.x + y * b.y + z * b.z + w * b.w; }
  // This axis-angle as Euler angles (through a quaternion).
  EVec3 AxisAngleToEuler() const;
};

class EEuler {
public:
  float x, y, z;  // pitch, yaw, roll in degrees

  EEuler() {}
  constexpr EEuler(float fx, float fy, float fz) : x(fx), y(fy), z(fz) {}
  EEuler(const EVec3& v) : x(v.x), y(v.y), z(v.z) {}

  EEuler& Set(float fx, float fy, float fz) { x = fx; y = fy; z = fz; return *this; }
  bool operator==(const EEuler& b) const { return x == b.x && y == b.y && z == b.z; }
  void Normalize() { x = NormalizeAngle(x); y = NormalizeAngle(y); z = NormalizeAngle(z); }
  // For angles held in radians.
  EEuler ToDegrees() const { return EEuler(x * 57.29578f, y * 57.29578f, z * 57.29578f); }
  EMat4 ToMatrix() const;
  EVec3 ToCartesian() const;

  EVec3& AsVec3() { return *reinterpret_cast<EVec3*>(this); }
  const EVec3& AsVec3() const { return *reinterpret_cast<const EVec3*>(this); }
};

inline EVec3::EVec3(const EEuler& e) : x(e.x), y(e.y), z(e.z) {}

// A unit normal in one word: x and y in signed 11 bits (×1023), z in
// signed 10 bits (×511).
class ENormPacked3 {
public:
  uint32_t m_uWord;

  ENormPacked3() {}
  ENormPacked3(const EVec3& v) : m_uWord(0) { Set(v); }
  void Set(const EVec3& v);
  EVec3 ToVector() const;
};

extern const EVec2 cg_vZero2;
extern const EVec3 cg_vZero3;
extern const EVec4 cg_vZero4;
extern const EVec3 cg_vDefaultRightVector;
extern const EVec3 cg_vDefaultUpVector;
extern const EVec3 cg_vDefaultForwardVector;  // (0, 0, +1), not the facing direction

inline EVec2 Lerp(const EVec2& a, const EVec2& b, float t) { return a * (1.0f - t) + b * t; }
inline EVec3 Lerp(const EVec3& a, const EVec3& b, float t) { return a * (1.0f - t) + b * t; }
inline EVec4 Lerp(const EVec4& a, const EVec4& b, float t) { return a * (1.0f - t) + b * t; }

inline bool Equal(const EVec3& a, const EVec3& b, float eps) {
  return Equal(a.x, b.x, eps) && Equal(a.y, b.y, eps) && Equal(a.z, b.z, eps);
}

// Angle between unit vectors, in degrees.
float GetAngleBetween(const EVec3& a, const EVec3& b);
// Signed angle about a unit axis, counter-clockwise positive.
float GetAngleBetween(const EVec3& a, const EVec3& b, const EVec3& axis);
EVec4 GetAxisAngleBetween(const EVec3& a, const EVec3& b);
EVec4 GetAxisAngleBetween(const EVec3& a, const EVec3& b, const EVec3& axis);

EMat2 OuterProduct(const EVec2& a, const EVec2& b);
EMat3 OuterProduct(const EVec3& a, const EVec3& b);

// Raw little-endian floats, in field order, in either direction.
EStream& operator<<(EStream& s, EVec2& v);
EStream& operator<<(EStream& s, EVec3& v);
EStream& operator<<(EStream& s, EVec4& v);
EStream& operator<<(EStream& s, EEuler& e);

namespace TWMath {
// Turns a toward b by the fraction t of the angle between them.
EVec3 Slerp(const EVec3& a, const EVec3& b, float t, bool bNormalize);
// Turns a toward b by fStep degrees; b once the step reaches the angle.
EVec3 SlerpExplicit(const EVec3& a, const EVec3& b, float fStep, bool bNormalize);
}  // namespace TWMath
