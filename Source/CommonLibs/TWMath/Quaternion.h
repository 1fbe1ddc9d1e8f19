// Rotation quaternions and the compressed rotation keys of animation data.
//
// v * EMat4(q) equals q·v·q*; a·b rotates by b first, then by a.
#pragma once

#include "TWMath/Vector.h"

class EQuat {
public:
  float x, y, z, w;

  constexpr EQuat() : x(0.0f), y(0.0f), z(0.0f), w(1.0f) {}
  constexpr EQuat(float fx, float fy, float fz, float fw) : x(fx), y(fy), z(fz), w(fw) {}
  EQuat(const EQuat& b) = default;
  explicit EQuat(const EMat4& m) { FromMatrix(m); }
  explicit EQuat(const EVec4& axisAngle) { FromAxisAngle(axisAngle); }
  explicit EQuat(const EVec3& euler) { FromEuler(euler); }

  EQuat& Set(float fx, float fy, float fz, float fw) { x = fx; y = fy; z = fz; w = fw; return *this; }
  EQuat& operator=(const EQuat& b) = default;

  // Hamilton product this·b.
  EQuat operator*(const EQuat& b) const;
  EQuat operator*(float s) const { return EQuat(x * s, y * s, z * s, w * s); }
  EQuat operator/(float s) const { return EQuat(x / s, y / s, z / s, w / s); }
  EQuat operator+(const EQuat& b) const { return EQuat(x + b.x, y + b.y, z + b.z, w + b.w); }
  EQuat operator-(const EQuat& b) const { return EQuat(x - b.x, y - b.y, z - b.z, w - b.w); }
  EQuat& operator+=(const EQuat& b) { x += b.x; y += b.y; z += b.z; w += b.w; return *this; }

  // The rotated vector q·v·q*.
  EVec3 operator*(const EVec3& v) const { return Transform(v); }
  EVec3 Transform(const EVec3& v) const;
  // q*·b·q.
  EQuat InvTransform(const EQuat& b) const;
  EQuat Conjugate() const { return EQuat(-x, -y, -z, w); }
  EQuat Inverse() const { return Conjugate() / LengthSq(); }

  float Dot(const EQuat& b) const { return x * b.x + y * b.y + z * b.z + w * b.w; }
  float LengthSq() const { return Dot(*this); }
  float Length() const { return FastSqrt(LengthSq()); }
  // Returns the former length; a quaternion shorter than 1e-5 becomes the
  // identity (and 0 is returned).
  float Normalize();
  EQuat Lerp(const EQuat& b, float t) const;
  EQuat Slerp(const EQuat& b, float t, bool bShortest) const;
  EQuat Exp() const;
  EQuat Ln() const;

  EQuat& FromMatrix(const EMat4& m);
  EMat4 ToMatrix() const;
  EQuat& FromEuler(const EVec3& e);
  // (pitch, yaw, roll); roll lies in [-90, 90].
  EVec3 ToEuler() const;
  EQuat& FromAxisAngle(const EVec4& v);
  EVec4 ToAxisAngle() const;
  // From a rotation vector: axis times the angle in radians.
  EQuat& FromAxial(const EVec3& r);
  EQuat& FromCartesian(const EVec3& dir);
  // The facing direction (0, 0, -1) rotated.
  EVec3 ToCartesian() const;
  // Keeps this rotation's +Z axis and rebuilds the others around up.
  EQuat InterpretAsForward(const EVec3& up) const;
  float AngularDifference(const EQuat& b) const;
  float ComponentDifference(const EQuat& b) const { return (*this - b).Length(); }
};

extern const EQuat cg_qIdentity;

EStream& operator<<(EStream& s, EQuat& q);

EQuat Slerp(const EQuat& a, const EQuat& b, float t, bool bShortest);
// The rotation taking unit vector a onto unit vector b.
EQuat ShortestArcQuaternion(const EVec3& a, const EVec3& b);
EQuat Squad(const EQuat& p, const EQuat& a, const EQuat& b, const EQuat& q, float t);

// A unit quaternion in 6 bytes: a 32-bit word then a 16-bit word, both
// little-endian, at any even offset. The largest component is left out and
// rebuilt from the other three (13-bit magnitudes, scale 8192).
class ECompQuat {
public:
  ECompQuat() { m_aWords[0] = m_aWords[1] = m_aWords[2] = 0; }
  ECompQuat(uint32_t uWord32, uint16_t uWord16) { SetPacked(uWord32, uWord16); }

  void Set(const EQuat& q);
  // Inline and without branches on the left-out index: animation sampling
  // unpacks two keys per sample.
  EQuat Get() const {
    const uint32_t w32 = GetWord32();
    const uint32_t w16 = GetWord16();
    // Only 0..3 are written; damaged data must not index past the four.
    const int k = (int)((w32 >> 29) & 3u);
    float kept0 = (float)((w32 >> 14) & 0x1fffu) / 8192.0f;
    if (w32 & (1u << 28)) kept0 = -kept0;
    float kept1 = (float)(w32 & 0x1fffu) / 8192.0f;
    if (w32 & (1u << 13)) kept1 = -kept1;
    float kept2 = (float)((w16 >> 1) & 0x1fffu) / 8192.0f;
    if (w16 & (1u << 14)) kept2 = -kept2;
    // Damaged data can hold kept parts whose squares exceed 1: clamp rather
    // than take the root of a negative number.
    const float rest = 1.0f - (kept0 * kept0 + kept1 * kept1 + kept2 * kept2);
    float big = FastSqrt(rest > 0.0f ? rest : 0.0f);
    if (w16 & 1u) big = -big;
    // The kept parts in order around the left-out one.
    return EQuat(k == 0 ? big : kept0, k == 1 ? big : (k < 1 ? kept0 : kept1),
                 k == 2 ? big : (k < 2 ? kept1 : kept2), k == 3 ? big : kept2);
  }

  uint32_t GetWord32() const { return (uint32_t)m_aWords[0] | ((uint32_t)m_aWords[1] << 16); }
  uint16_t GetWord16() const { return m_aWords[2]; }
  void SetPacked(uint32_t uWord32, uint16_t uWord16) {
    m_aWords[0] = (uint16_t)(uWord32 & 0xffff);
    m_aWords[1] = (uint16_t)(uWord32 >> 16);
    m_aWords[2] = uWord16;
  }

private:
  uint16_t m_aWords[3];
};
