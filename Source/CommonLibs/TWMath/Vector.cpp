#include "TWMath/Vector.h"

#include "TWMath/Matrix.h"
#include "TWMath/Quaternion.h"
#include "TWMath/Random.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"

const EVec2 cg_vZero2(0.0f, 0.0f);
const EVec3 cg_vZero3(0.0f, 0.0f, 0.0f);
const EVec4 cg_vZero4(0.0f, 0.0f, 0.0f, 0.0f);
const EVec3 cg_vDefaultRightVector(1.0f, 0.0f, 0.0f);
const EVec3 cg_vDefaultUpVector(0.0f, 1.0f, 0.0f);
const EVec3 cg_vDefaultForwardVector(0.0f, 0.0f, 1.0f);

float EVec2::Normalize() {
  float s = Dot(*this);
  if (s < 1e-10f) return 0.0f;
  if (Equal(s, 1.0f, 0.00001f)) return 1.0f;
  float len = FastSqrt(s);
  float r = 1.0f / len;
  x *= r;
  y *= r;
  return len;
}

float EVec3::Normalize() {
  float s = Dot(*this);
  if (s < 1e-10f) return 0.0f;
  if (Equal(s, 1.0f, 0.00001f)) return 1.0f;
  float len = FastSqrt(s);
  float r = 1.0f / len;
  x *= r;
  y *= r;
  z *= r;
  return len;
}

float EVec3::NormalizeCube() {
  float m = MAX(MAX(ABS(x), ABS(y)), ABS(z));
  if (m < 0.00001f) return 0.0f;
  float r = 1.0f / m;
  x *= r;
  y *= r;
  z *= r;
  return m;
}

EVec3 EVec3::GetNormal(float* pLength) const {
  float s = Dot(*this);
  if (s >= 1e-10f) {
    float len = sqrtf(s);
    if (pLength) *pLength = len;
    return *this * (1.0f / len);
  }
  if (pLength) *pLength = 0.0f;
  return *this;
}

EVec3 EVec3::SafeGetNormal() const {
  float len = sqrtf(Dot(*this));
  if (len >= 0.00001f) return *this * (1.0f / len);
  return EVec3(0.0f, 0.0f, -1.0f);
}

EVec3 EVec3::CartesianToEuler() const {
  float yaw = ArcTan(-x, -z);
  EVec3 v = MatrixRotateY(-yaw).Mul3Vec3(*this);
  float pitch = ArcTan(v.y, -v.z);
  return EVec3(pitch, yaw, 0.0f);
}

EVec3 EVec3::EulerToCartesian() const {
  return MatrixRotateEuler(AsEuler()).Mul3Vec3(EVec3(0.0f, 0.0f, -1.0f));
}

EVec3 EVec3::RotateByEulerAngles(const EEuler& angles) const {
  return MatrixRotateEuler(angles).Mul3Vec3(*this);
}

EVec3 EVec3::CalculateRightVector(const EVec3& up) const {
  EVec3 r = Cross(up);
  if (r.Normalize() < 0.00001f) {
    EVec3 fallback = ABS(up.x) < 0.5f ? EVec3(1.0f, 0.0f, 0.0f) : EVec3(0.0f, 1.0f, 0.0f);
    r = Cross(fallback);
    r.Normalize();
  }
  return r;
}

EVec4 EVec3::EulerToAxisAngle() const {
  EQuat q;
  q.FromEuler(*this);
  return q.ToAxisAngle();
}

EVec3 EVec3::SphericalToCartesian() const {
  float r = x, yaw = y, elev = z;
  return EVec3(-r * Sine(yaw) * Sine(elev + 90.0f), -r * Cosine(elev + 90.0f),
               -r * Cosine(yaw) * Sine(elev + 90.0f));
}

EVec3 EVec3::CartesianToSpherical() const {
  float r = Length();
  float yaw = ArcTan(-x, -z);
  float elev = NormalizeAngle(ArcCos(SafeDivide(-y, r)) - 90.0f);
  return EVec3(r, yaw, elev);
}

EVec3 EVec3::NormalizeSpherical() const { return EVec3(x, NormalizeAngle(y), NormalizeAngle(z)); }

EVec3 EVec3::CartesianToCylindric() const {
  return EVec3(FastSqrt(x * x + z * z), ArcTan(-x, -z), y);
}

EVec3 EVec3::CylindricToCartesian() const {
  float radius = x, yaw = y, height = z;
  return EVec3(-radius * Sine(yaw), height, -radius * Cosine(yaw));
}

EVec3 EVec3::Random(float fCosMin, float fCosMax, float fRand1, float fRand2) {
  EASSERT(fCosMin >= fCosMax);
  EASSERT(fCosMin <= 1 && fCosMax >= -1);
  if (fRand1 < 0.0f) fRand1 = g_SimRand.frand();
  if (fRand2 < 0.0f) fRand2 = g_SimRand.frand();
  float c = (fCosMax - fCosMin) * fRand1 + fCosMin;
  float theta = ArcCos(c);
  float phi = 360.0f * fRand2;
  return EVec3(Cosine(theta), Sine(theta) * Sine(phi), Sine(theta) * Cosine(phi));
}

EVec4::EVec4(const EQuat& q) { *this = q.ToAxisAngle(); }

EVec3 EVec4::AxisAngleToEuler() const {
  EQuat q;
  q.FromAxisAngle(*this);
  return q.ToEuler();
}

EMat4 EEuler::ToMatrix() const { return MatrixRotateEuler(*this); }

EVec3 EEuler::ToCartesian() const { return AsVec3().EulerToCartesian(); }

namespace {

// Rounds half away from zero.
inline int RoundAway(float f) { return f > 0.0f ? (int)(f + 0.5f) : (int)(f - 0.5f); }

}  // namespace

void ENormPacked3::Set(const EVec3& v) {
  uint32_t ix = (uint32_t)RoundAway(PIN(v.x, -1.0f, 1.0f) * 1023.0f);
  uint32_t iy = (uint32_t)RoundAway(PIN(v.y, -1.0f, 1.0f) * 1023.0f);
  uint32_t iz = (uint32_t)RoundAway(PIN(v.z, -1.0f, 1.0f) * 511.0f);
  m_uWord = (m_uWord & ~0x7ffu) | (ix & 0x7ffu);
  m_uWord = (m_uWord & ~(0x7ffu << 11)) | ((iy & 0x7ffu) << 11);
  m_uWord = (m_uWord & ~(0x3ffu << 22)) | ((iz & 0x3ffu) << 22);
}

EVec3 ENormPacked3::ToVector() const {
  int ix = (int32_t)(m_uWord << 21) >> 21;
  int iy = (int32_t)(m_uWord << 10) >> 21;
  int iz = (int32_t)m_uWord >> 22;
  return EVec3((float)ix * 0.0009775171f, (float)iy * 0.0009775171f, (float)iz * 0.0019569471f);
}

float GetAngleBetween(const EVec3& a, const EVec3& b) { return ArcCos(a.Dot(b)); }

float GetAngleBetween(const EVec3& a, const EVec3& b, const EVec3& axis) {
  EVec3 ap = a - axis * a.Dot(axis);
  EVec3 bp = b - axis * b.Dot(axis);
  float m = FastSqrt(ap.Mag2() * bp.Mag2());
  if (m < 0.00001f) return 0.0f;
  float angle = ArcSin(ap.Cross(bp).Dot(axis) / m);
  if (ap.Dot(bp) < 0.0f) angle = NormalizeAngle(180.0f - angle);
  return angle;
}

EVec4 GetAxisAngleBetween(const EVec3& a, const EVec3& b) {
  EVec3 c = a.Cross(b);
  float s = c.Normalize();
  float d = a.Dot(b);
  if (s <= 0.00017f) {
    // Parallel or opposite: any axis perpendicular to a will do.
    EVec3 fallback = ABS(a.x) <= 0.5f ? EVec3(1.0f, 0.0f, 0.0f) : EVec3(0.0f, 1.0f, 0.0f);
    return EVec4(fallback.Cross(a).GetNormal(), d >= 0.0f ? 0.0f : 180.0f);
  }
  float angle = ArcSin(s);
  if (d < 0.0f) angle = 180.0f - angle;
  return EVec4(c, angle);
}

EVec4 GetAxisAngleBetween(const EVec3& a, const EVec3& b, const EVec3& axis) {
  return EVec4(axis, GetAngleBetween(a, b, axis));
}

EMat2 OuterProduct(const EVec2& a, const EVec2& b) {
  return EMat2(a.x * b.x, a.y * b.x, a.x * b.y, a.y * b.y);
}

EMat3 OuterProduct(const EVec3& a, const EVec3& b) {
  return EMat3(a.x * b.x, a.y * b.x, a.z * b.x,
               a.x * b.y, a.y * b.y, a.z * b.y,
               a.x * b.z, a.y * b.z, a.z * b.z);
}

namespace TWMath {

namespace {

// The sine of the angle between a and b (capped at 1) and the angle.
float SlerpAngle(const EVec3& a, const EVec3& b, bool bNormalize, float& angle) {
  EVec3 c = bNormalize ? a.SafeGetNormal().Cross(b.SafeGetNormal()) : a.Cross(b);
  float s = MIN(1.0f, c.Length());
  if (s < 0.00001f) return s;
  angle = ArcSin(s);
  if (a.Dot(b) < 0.0f) angle = 180.0f - angle;
  return s;
}

}  // namespace

EVec3 Slerp(const EVec3& a, const EVec3& b, float t, bool bNormalize) {
  float angle = 0.0f;
  float s = SlerpAngle(a, b, bNormalize, angle);
  if (s < 0.00001f) return a;
  return a * (Sine((1.0f - t) * angle) / s) + b * (Sine(t * angle) / s);
}

EVec3 SlerpExplicit(const EVec3& a, const EVec3& b, float fStep, bool bNormalize) {
  float angle = 0.0f;
  float s = SlerpAngle(a, b, bNormalize, angle);
  if (s < 0.00001f) return a;
  if (fStep < angle) return a * (Sine(angle - fStep) / s) + b * (Sine(fStep) / s);
  return b;
}

}  // namespace TWMath

EStream& operator<<(EStream& s, EVec2& v) { return s << v.x << v.y; }
EStream& operator<<(EStream& s, EVec3& v) { return s << v.x << v.y << v.z; }
EStream& operator<<(EStream& s, EVec4& v) { return s << v.x << v.y << v.z << v.w; }
EStream& operator<<(EStream& s, EEuler& e) { return s << e.x << e.y << e.z; }
