#include "TWMath/Matrix.h"

#include "TWMath/Primitives.h"
#include "TWMath/Quaternion.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"

const EMat4 cg_mIdentity;
const EMat3 cg_mIdentity3(1, 0, 0, 0, 1, 0, 0, 0, 1);
const EMat4 cg_mZero4(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
const EQuat cg_qIdentity(0.0f, 0.0f, 0.0f, 1.0f);

// ---------------------------------------------------------------------------
// EMat2, EMat3

EMat2 EMat2::operator*(float s) const { return EMat2(m[0] * s, m[1] * s, m[2] * s, m[3] * s); }

EMat2 EMat2::operator+(const EMat2& b) const {
  return EMat2(m[0] + b.m[0], m[1] + b.m[1], m[2] + b.m[2], m[3] + b.m[3]);
}

EMat3::EMat3(float m0, float m1, float m2, float m3, float m4, float m5, float m6, float m7, float m8) {
  m[0] = m0; m[1] = m1; m[2] = m2;
  m[3] = m3; m[4] = m4; m[5] = m5;
  m[6] = m6; m[7] = m7; m[8] = m8;
}

EMat3 EMat3::operator*(float s) const {
  EMat3 r;
  for (int i = 0; i < 9; ++i) r.m[i] = m[i] * s;
  return r;
}

EMat3 EMat3::operator+(const EMat3& b) const {
  EMat3 r;
  for (int i = 0; i < 9; ++i) r.m[i] = m[i] + b.m[i];
  return r;
}

EMat3& EMat3::operator+=(const EMat3& b) {
  for (int i = 0; i < 9; ++i) m[i] += b.m[i];
  return *this;
}

// ---------------------------------------------------------------------------
// EMat4

EMat4::EMat4(const EMat3& r) : EMat4() {
  for (int row = 0; row < 3; ++row)
    for (int c = 0; c < 3; ++c) m[4 * row + c] = r.m[3 * row + c];
}

EMat4::EMat4(const EVec3& right, const EVec3& up, const EVec3& back, const EVec3& trans)
    : EMat4(right.x, right.y, right.z, 0, up.x, up.y, up.z, 0, back.x, back.y, back.z, 0,
            trans.x, trans.y, trans.z, 1) {}

EMat4::EMat4(const EQuat& q) : EMat4() {
  float x = q.x, y = q.y, z = q.z, w = q.w;
  m[0] = 1.0f - 2.0f * (y * y + z * z);
  m[1] = 2.0f * (x * y + w * z);
  m[2] = 2.0f * (x * z - w * y);
  m[4] = 2.0f * (x * y - w * z);
  m[5] = 1.0f - 2.0f * (x * x + z * z);
  m[6] = 2.0f * (y * z + w * x);
  m[8] = 2.0f * (x * z + w * y);
  m[9] = 2.0f * (y * z - w * x);
  m[10] = 1.0f - 2.0f * (x * x + y * y);
}

EMat4::EMat4(const EQuat& q, const EVec3& trans) : EMat4(q) { SetTranslation(trans); }

void EMat4::Set(float m0, float m1, float m2, float m3, float m4, float m5, float m6, float m7,
                float m8, float m9, float m10, float m11, float m12, float m13, float m14, float m15) {
  *this = EMat4(m0, m1, m2, m3, m4, m5, m6, m7, m8, m9, m10, m11, m12, m13, m14, m15);
}

void EMat4::LoadIdentity() { *this = cg_mIdentity; }

void EMat4::LoadIdentity3x3() {
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) m[4 * r + c] = r == c ? 1.0f : 0.0f;
}

void EMat4::LoadCol(int i, float a, float b, float c, float d) {
  m[4 * i] = a;
  m[4 * i + 1] = b;
  m[4 * i + 2] = c;
  m[4 * i + 3] = d;
}

void EMat4::SetFromBasisVectors(const EVec3& x, const EVec3& y, const EVec3& z) {
  *this = EMat4(x, y, z, cg_vZero3);
}

void EMat4::GetBasisVectors(EVec3& x, EVec3& y, EVec3& z) const {
  x.Set(m[0], m[1], m[2]);
  y.Set(m[4], m[5], m[6]);
  z.Set(m[8], m[9], m[10]);
}

EMat4 EMat4::GetRotation() const {
  EMat4 r;
  r.SetRotation(*this);
  return r;
}

void EMat4::SetRotation(const EMat4& r) {
  for (int row = 0; row < 3; ++row)
    for (int c = 0; c < 3; ++c) m[4 * row + c] = r.m[4 * row + c];
}

namespace {

// out = A * B, that is the element product B·A. out must not alias A or B.
inline void MulPlain(float* out, const float* a, const float* b) {
  for (int r = 0; r < 4; ++r) {
    const float* br = b + 4 * r;
    for (int c = 0; c < 4; ++c)
      out[4 * r + c] = br[0] * a[c] + br[1] * a[4 + c] + br[2] * a[8 + c] + br[3] * a[12 + c];
  }
}

}  // namespace

EMat4 operator*(const EMat4& A, const EMat4& B) {
  EMat4 r(cg_mZero4);
  MulPlain(r.m, A.m, B.m);
  return r;
}

EMat4 EMat4::Mul(const EMat4& B) const { return *this * B; }
EMat4 EMat4::MulUnaligned(const EMat4& B) const { return *this * B; }

void EMat4::Mul(EMat4& out, const EMat4& A, const EMat4& B) { out = A * B; }

EMat4& EMat4::operator*=(const EMat4& B) {
  *this = *this * B;
  return *this;
}

EMat4 EMat4::operator*(float s) const {
  EMat4 r;
  for (int i = 0; i < 16; ++i) r.m[i] = m[i] * s;
  return r;
}

void EMat4::MAdd(const EMat4& B, float s) {
  for (int i = 0; i < 16; ++i) m[i] += B.m[i] * s;
}

EMat4 EMat4::Lerp(const EMat4& A, const EMat4& B, float t) {
  EMat4 r;
  float u = 1.0f - t;
  for (int i = 0; i < 16; ++i) r.m[i] = A.m[i] * t + B.m[i] * u;
  return r;
}

EVec3 EMat4::MulVec3(const EVec3& p) const {
  return EVec3(p.x * m[0] + p.y * m[4] + p.z * m[8] + m[12],
               p.x * m[1] + p.y * m[5] + p.z * m[9] + m[13],
               p.x * m[2] + p.y * m[6] + p.z * m[10] + m[14]);
}

EVec3 EMat4::TransformPointPerspective(const EVec3& p) const {
  EVec4 v = MulVec4(EVec4(p, 1.0f));
  float r = SafeDivide(1.0f, v.w);
  return EVec3(v.x * r, v.y * r, v.z * r);
}

EVec3 EMat4::Mul3Vec3(const EVec3& v) const {
  return EVec3(v.x * m[0] + v.y * m[4] + v.z * m[8],
               v.x * m[1] + v.y * m[5] + v.z * m[9],
               v.x * m[2] + v.y * m[6] + v.z * m[10]);
}

EVec4 EMat4::MulVec4(const EVec4& v) const {
  return EVec4(v.x * m[0] + v.y * m[4] + v.z * m[8] + v.w * m[12],
               v.x * m[1] + v.y * m[5] + v.z * m[9] + v.w * m[13],
               v.x * m[2] + v.y * m[6] + v.z * m[10] + v.w * m[14],
               v.x * m[3] + v.y * m[7] + v.z * m[11] + v.w * m[15]);
}

EMat4 EMat4::Transpose() const {
  EMat4 r;
  for (int row = 0; row < 4; ++row)
    for (int c = 0; c < 4; ++c) r.m[4 * c + row] = m[4 * row + c];
  return r;
}

namespace {

// The four-dimensional cross product of three 4-vectors.
EVec4 Cross4(const EVec4& a, const EVec4& b, const EVec4& c) {
  EVec4 k;
  k.x = a.y * (b.z * c.w - c.z * b.w) - a.z * (b.y * c.w - c.y * b.w) + a.w * (b.y * c.z - b.z * c.y);
  k.y = -(a.x * (b.z * c.w - c.z * b.w) - a.z * (b.x * c.w - c.x * b.w) + a.w * (b.x * c.z - c.x * b.z));
  k.z = a.x * (b.y * c.w - c.y * b.w) - a.y * (b.x * c.w - c.x * b.w) + a.w * (b.x * c.y - c.x * b.y);
  k.w = -(a.x * (b.y * c.z - c.y * b.z) - a.y * (b.x * c.z - c.x * b.z) + a.z * (b.x * c.y - c.x * b.y));
  return k;
}

inline EVec4 Row(const float* m, int r) { return EVec4(m[4 * r], m[4 * r + 1], m[4 * r + 2], m[4 * r + 3]); }

}  // namespace

EMat4 EMat4::Inverse() const {
  EVec4 a(m[0], m[4], m[8], m[12]);
  EVec4 b(m[1], m[5], m[9], m[13]);
  EVec4 c(m[2], m[6], m[10], m[14]);
  EVec4 k = Cross4(a, b, c);
  float det = -(k.x * m[3] + k.y * m[7] + k.z * m[11] + k.w * m[15]);
  if (det == 0.0f) {
    // Callers rely on the identity here; say so, since it is rarely meant.
    g_ErrorManager.TraceMessagef(TT_Warning, "EMat4::Inverse: singular matrix, using the identity\n");
    return cg_mIdentity;
  }
  EMat4 r;
  for (int i = 0; i < 4; ++i) {
    int rows[3];
    int n = 0;
    for (int j = 0; j < 4; ++j)
      if (j != i) rows[n++] = j;
    EVec4 ki = Cross4(Row(m, rows[0]), Row(m, rows[1]), Row(m, rows[2]));
    float s = (i & 1) ? -1.0f : 1.0f;
    r.m[i] = ki.x * s / det;
    r.m[i + 4] = ki.y * s / det;
    r.m[i + 8] = ki.z * s / det;
    r.m[i + 12] = ki.w * s / det;
  }
  return r;
}

EMat4 EMat4::OrthoInverse() const {
  EMat4 r = Transpose();
  r.m[3] = r.m[7] = r.m[11] = 0.0f;
  EVec3 t = -r.Mul3Vec3(GetTranslation());
  r.m[12] = t.x;
  r.m[13] = t.y;
  r.m[14] = t.z;
  r.m[15] = m[15];
  return r;
}

EEuler EMat4::ToEuler() const {
  EMat4 M = *this;
  float z;
  if (ABS(M.m[0]) < 0.00001f && ABS(M.m[1]) < 0.00001f)
    z = 0.0f;
  else
    z = ArcTan(M.m[1], M.m[0]);
  if (z < -90.0f)
    z += 180.0f;
  else if (z > 90.0f)
    z -= 180.0f;
  M = MatrixRotateZ(-z) * M;
  float y = ArcTan(-M.m[2], M.m[0]);
  M = MatrixRotateY(-y) * M;
  float x = ArcTan(M.m[6], M.m[5]);
  return EEuler(x, y, z);
}

void EMat4::RotateEuler(const EEuler& e) { *this = *this * MatrixRotateEuler(e); }

void EMat4::FromAxisAngle(const EVec4& axisAngle) {
  EQuat q;
  q.FromAxisAngle(axisAngle);
  *this = q.ToMatrix();
}

void EMat4::FromFwd(const EVec3& fwd, const EVec3& up) {
  EVec3 back = -fwd.SafeGetNormal();
  EVec3 r = up.Cross(back);
  float len = r.Length();
  if (len >= 0.00001f) {
    r = r / len;
  } else {
    // Up is parallel to the facing direction: take any perpendicular axis.
    EVec3 fallback = ABS(back.x) <= 0.5f ? EVec3(1.0f, 0.0f, 0.0f) : EVec3(0.0f, 1.0f, 0.0f);
    r = fallback.Cross(back).GetNormal();
  }
  EVec3 u = back.Cross(r);
  *this = EMat4(r, u, back, cg_vZero3);
}

void EMat4::Orthonormalize() {
  EVec3 y(m[4], m[5], m[6]);
  for (int i = 0; i < 3; ++i)
    if (ABS(y[i]) < 0.00001f) y[i] = 0.0f;
  y.Normalize();
  EVec3 x(m[0], m[1], m[2]);
  x = x - y * x.Dot(y);
  x.Normalize();
  EVec3 z = x.Cross(y);
  m[0] = x.x; m[1] = x.y; m[2] = x.z;
  m[4] = y.x; m[5] = y.y; m[6] = y.z;
  m[8] = z.x; m[9] = z.y; m[10] = z.z;
}

EPlane EMat4::Transform(const EPlane& p) const {
  EVec3 n = Mul3Vec3(p.n);
  float s = n.Length();
  n = n / s;
  return EPlane(n, p.d * s - n.Dot(GetTranslation()));
}

void EMat4::Translate(float x, float y, float z) {
  for (int c = 0; c < 4; ++c) m[12 + c] = x * m[c] + y * m[4 + c] + z * m[8 + c] + m[12 + c];
}

void EMat4::RotateX(float a) {
  if (a != 0.0f) *this = *this * MatrixRotateX(a);
}

void EMat4::RotateY(float a) {
  if (a != 0.0f) *this = *this * MatrixRotateY(a);
}

void EMat4::RotateZ(float a) {
  if (a != 0.0f) *this = *this * MatrixRotateZ(a);
}

void EMat4::Scale(float x, float y, float z) {
  for (int c = 0; c < 4; ++c) {
    m[c] *= x;
    m[4 + c] *= y;
    m[8 + c] *= z;
  }
}

void EMat4::ScaleLHS(const EVec3& v) {
  for (int r = 0; r < 4; ++r) {
    m[4 * r] *= v.x;
    m[4 * r + 1] *= v.y;
    m[4 * r + 2] *= v.z;
  }
}

// ---------------------------------------------------------------------------
// Builders

EMat4 MatrixTranslate(float x, float y, float z) {
  EMat4 r;
  r.m[12] = x;
  r.m[13] = y;
  r.m[14] = z;
  return r;
}

EMat4 MatrixTranslate(const EVec3& v) { return MatrixTranslate(v.x, v.y, v.z); }

EMat4 MatrixScale(float x, float y, float z) {
  EMat4 r;
  r.m[0] = x;
  r.m[5] = y;
  r.m[10] = z;
  return r;
}

EMat4 MatrixScale(const EVec3& v) { return MatrixScale(v.x, v.y, v.z); }

EMat4 MatrixRotateX(float a) {
  if (a == 0.0f) return cg_mIdentity;
  float c = Cosine(a), s = Sine(a);
  return EMat4(1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1);
}

EMat4 MatrixRotateY(float a) {
  if (a == 0.0f) return cg_mIdentity;
  float c = Cosine(a), s = Sine(a);
  return EMat4(c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1);
}

EMat4 MatrixRotateZ(float a) {
  if (a == 0.0f) return cg_mIdentity;
  float c = Cosine(a), s = Sine(a);
  return EMat4(c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
}

EMat4 MatrixRotateEuler(const EEuler& e) {
  float cx = Cosine(e.x), sx = Sine(e.x);
  float cy = Cosine(e.y), sy = Sine(e.y);
  float cz = Cosine(e.z), sz = Sine(e.z);
  return EMat4(cy * cz, cy * sz, -sy, 0,
               sx * sy * cz - cx * sz, sx * sy * sz + cx * cz, sx * cy, 0,
               cx * sy * cz + sx * sz, cx * sy * sz - sx * cz, cx * cy, 0,
               0, 0, 0, 1);
}

namespace {

// Unit copy; a zero vector stays zero.
EVec3 NormalOrZero(const EVec3& v) {
  float len = v.Length();
  if (len == 0.0f) return v;
  return v * (1.0f / len);
}

}  // namespace

EMat4 MatrixLookAt(const EVec3& eye, const EVec3& target, const EVec3& up) {
  EVec3 f = NormalOrZero(target - eye);
  EVec3 r = up.Cross(f);
  EVec3 u = f.Cross(r);
  r = NormalOrZero(r);
  u = NormalOrZero(u);
  return EMat4(-r.x, u.x, -f.x, 0,
               -r.y, u.y, -f.y, 0,
               -r.z, u.z, -f.z, 0,
               r.Dot(eye), -u.Dot(eye), f.Dot(eye), 1);
}

EMat4 MatrixPerspectiveProjection(float fov, float aspect, float fNear, float fFar) {
  float t = tanf(((fov / 2.0f) * 0.017453292f) / 2.0f);
  EMat4 r;
  r.m[0] = 1.0f / (aspect * t);
  r.m[5] = 1.0f / t;
  r.m[10] = fFar / (fNear - fFar);
  r.m[11] = -1.0f;
  r.m[14] = fNear * fFar / (fNear - fFar);
  r.m[15] = 0.0f;
  return r;
}

EMat4 MatrixPerspectiveProjectionInv(float fov, float aspect, float fNear, float fFar) {
  float y = 1.0f / Tangent((fov / 2.0f) * 0.5f);
  float x = y / max(aspect, 0.00001f);
  float g = min(fNear - fFar, -0.00001f);
  EMat4 r(cg_mZero4);
  r.m[0] = 1.0f / x;
  r.m[5] = 1.0f / y;
  r.m[11] = 1.0f / ((fFar / g) * fNear);
  r.m[14] = -1.0f;
  r.m[15] = 1.0f / fNear;
  return r;
}

EMat4 MatrixOrthoProjection(float width, float height, float fNear, float fFar) {
  EMat4 r;
  r.m[0] = 2.0f / width;
  r.m[5] = 2.0f / height;
  r.m[10] = 1.0f / (fNear - fFar);
  r.m[14] = fNear / (fNear - fFar);
  return r;
}

EMat4 MatrixReflect(const EPlane& plane) {
  EVec3 n = plane.n;
  float d = plane.d;
  float len = n.Length();
  if (len == 0.0f) {
    n.Zero();
    d = 0.0f;
  } else {
    n = EVec3(n.x / len, n.y / len, n.z / len);
    d = d / len;
  }
  EMat4 r;
  for (int row = 0; row < 3; ++row)
    for (int c = 0; c < 3; ++c) r.m[4 * row + c] = (row == c ? 1.0f : 0.0f) - 2.0f * n[row] * n[c];
  r.m[12] = -2.0f * d * n.x;
  r.m[13] = -2.0f * d * n.y;
  r.m[14] = -2.0f * d * n.z;
  return r;
}

EMat4 SSEMul_4x4_4x4_2arg(const EMat4& A, const EMat4& B) { return A * B; }

void SSEMul_4x4_4x4_3arg(EMat4& out, const EMat4& A, const EMat4& B) { out = A * B; }

// ---------------------------------------------------------------------------
// EQuat

EQuat EQuat::operator*(const EQuat& b) const {
  return EQuat(w * b.x + x * b.w + y * b.z - z * b.y,
               w * b.y + y * b.w + z * b.x - x * b.z,
               w * b.z + z * b.w + x * b.y - y * b.x,
               w * b.w - x * b.x - y * b.y - z * b.z);
}

EVec3 EQuat::Transform(const EVec3& v) const {
  EQuat r = (*this * EQuat(v.x, v.y, v.z, 0.0f)) * Conjugate();
  return EVec3(r.x, r.y, r.z);
}

EQuat EQuat::InvTransform(const EQuat& b) const { return (Conjugate() * b) * *this; }

float EQuat::Normalize() {
  float len = Length();
  if (len < 0.00001f) {
    *this = cg_qIdentity;
    return 0.0f;
  }
  if (!Equal(len, 1.0f, 0.00001f)) {
    float r = 1.0f / len;
    x *= r;
    y *= r;
    z *= r;
    w *= r;
  }
  w = PIN(w, -1.0f, 1.0f);
  return len;
}

EQuat EQuat::Lerp(const EQuat& b, float t) const {
  EQuat r = *this + (b - *this) * t;
  r.Normalize();
  return r;
}

EQuat EQuat::Slerp(const EQuat& b, float t, bool bShortest) const {
  float d = Dot(b);
  EQuat bb = b;
  if (bShortest && d < 0.0f) {
    d = -d;
    bb = EQuat(-b.x, -b.y, -b.z, -b.w);
  }
  if (d >= 0.999f) return Lerp(bb, t);
  float theta = ArcCos(d);
  EQuat r = (*this * Sine((1.0f - t) * theta) + bb * Sine(t * theta)) / Sine(theta);
  r.Normalize();
  return r;
}

EQuat Slerp(const EQuat& a, const EQuat& b, float t, bool bShortest) { return a.Slerp(b, t, bShortest); }

EQuat EQuat::Exp() const {
  float theta = FastSqrt(x * x + y * y + z * z);
  float s = SineRad(theta), c = CosineRad(theta);
  if (ABS(s) < 0.00001f) return EQuat(x, y, z, c);
  return EQuat(x * s / theta, y * s / theta, z * s / theta, c);
}

EQuat EQuat::Ln() const {
  if (ABS(w) < 1.0f) {
    float theta = ArcCosRad(w);
    if (theta >= 0.00001f) {
      float s = SineRad(theta);
      return EQuat(x * theta / s, y * theta / s, z * theta / s, 0.0f);
    }
  }
  return EQuat(x, y, z, 0.0f);
}

EQuat& EQuat::FromMatrix(const EMat4& M) {
  const float* m = M.m;
  float tr = m[0] + m[5] + m[10] + 1.0f;
  if (tr > 1.0f) {
    float s = sqrtf(tr);
    x = (m[6] - m[9]) / (2.0f * s);
    y = (m[8] - m[2]) / (2.0f * s);
    z = (m[1] - m[4]) / (2.0f * s);
    w = s / 2.0f;
  } else {
    int i = 0;
    if (m[5] > m[0]) i = 1;
    if (m[10] > m[i * 5]) i = 2;
    if (i == 0) {
      float s = 2.0f * sqrtf(1.0f + m[0] - m[5] - m[10]);
      x = s / 4.0f;
      y = (m[4] + m[1]) / s;
      z = (m[8] + m[2]) / s;
      w = (m[6] - m[9]) / s;
    } else if (i == 1) {
      float s = 2.0f * sqrtf(1.0f + m[5] - m[0] - m[10]);
      x = (m[4] + m[1]) / s;
      y = s / 4.0f;
      z = (m[9] + m[6]) / s;
      w = (m[8] - m[2]) / s;
    } else {
      float s = 2.0f * sqrtf(1.0f + m[10] - m[0] - m[5]);
      x = (m[8] + m[2]) / s;
      y = (m[9] + m[6]) / s;
      z = s / 4.0f;
      w = (m[1] - m[4]) / s;
    }
  }
  Normalize();
  return *this;
}

EMat4 EQuat::ToMatrix() const { return EMat4(*this); }

EQuat& EQuat::FromEuler(const EVec3& e) {
  float sx = Sine(e.x / 2.0f), cx = Cosine(e.x / 2.0f);
  float sy = Sine(e.y / 2.0f), cy = Cosine(e.y / 2.0f);
  float sz = Sine(e.z / 2.0f), cz = Cosine(e.z / 2.0f);
  x = sx * cy * cz - cx * sy * sz;
  y = sx * cy * sz + cx * sy * cz;
  z = cx * cy * sz - sx * sy * cz;
  w = sx * sy * sz + cx * cy * cz;
  return *this;
}

EVec3 EQuat::ToEuler() const { return EVec3(ToMatrix().ToEuler()); }

EQuat& EQuat::FromAxisAngle(const EVec4& v) {
  float h = v.w / 2.0f;
  if (h < 0.0f) h = h + 180.0f;
  float s = Sine(h);
  x = v.x * s;
  y = v.y * s;
  z = v.z * s;
  w = Cosine(h);
  return *this;
}

EVec4 EQuat::ToAxisAngle() const {
  float n = FastSqrt(x * x + y * y + z * z);
  if (n <= 0.0f) return EVec4(1.0f, 0.0f, 0.0f, 0.0f);
  return EVec4(x / n, y / n, z / n, 2.0f * ArcCos(w));
}

EQuat& EQuat::FromAxial(const EVec3& r) {
  float theta = r.Length();
  float s = SineRad(theta / 2.0f), c = CosineRad(theta / 2.0f);
  float k = ABS(s) < 0.00001f ? 0.5f : s / theta;
  return Set(r.x * k, r.y * k, r.z * k, c);
}

EQuat& EQuat::FromCartesian(const EVec3& dir) {
  *this = ShortestArcQuaternion(EVec3(0.0f, 0.0f, -1.0f), dir);
  return *this;
}

EVec3 EQuat::ToCartesian() const { return Transform(EVec3(0.0f, 0.0f, -1.0f)); }

EQuat EQuat::InterpretAsForward(const EVec3& up) const {
  EVec3 f = Transform(cg_vDefaultForwardVector);
  f.Normalize();
  EVec3 r = up.CalculateRightVector(f);
  EVec3 u = f.Cross(r);
  EMat4 M;
  M.SetFromBasisVectors(r, u, f);
  return EQuat(M);
}

float EQuat::AngularDifference(const EQuat& b) const { return ABS(ArcCos(Dot(b))); }

EQuat ShortestArcQuaternion(const EVec3& a, const EVec3& b) {
  EVec3 c = a.Cross(b);
  float d = PIN(a.Dot(b), -1.0f, 1.0f);
  float s = FastSqrt(2.0f * (d + 1.0f));
  if (s == 0.0f) return EQuat(EVec4(a.CalculateRightVector(cg_vDefaultUpVector), 180.0f));
  return EQuat(c.x / s, c.y / s, c.z / s, s / 2.0f);
}

EQuat Squad(const EQuat& p, const EQuat& a, const EQuat& b, const EQuat& q, float t) {
  return Slerp(Slerp(p, q, t, false), Slerp(a, b, t, false), 2.0f * t * (1.0f - t), false);
}

// ---------------------------------------------------------------------------
// ECompQuat

void ECompQuat::Set(const EQuat& q) {
  EQuat n = q;
  n.Normalize();
  const float c[4] = {n.x, n.y, n.z, n.w};
  int k = 0;
  for (int i = 1; i < 4; ++i)
    if (ABS(c[i]) > ABS(c[k])) k = i;
  uint32_t mag[3], sign[3];
  int j = 0;
  for (int i = 0; i < 4; ++i) {
    if (i == k) continue;
    mag[j] = (uint32_t)(int)(ABS(c[i]) * 8192.0f) & 0x1fffu;
    sign[j] = c[i] < 0.0f ? 1u : 0u;
    ++j;
  }
  uint32_t w32 = ((uint32_t)k << 29) | (sign[0] << 28) | (mag[0] << 14) | (sign[1] << 13) | mag[1];
  uint16_t w16 = (uint16_t)((sign[2] << 14) | (mag[2] << 1) | (c[k] < 0.0f ? 1u : 0u));
  SetPacked(w32, w16);
}

EStream& operator<<(EStream& s, EMat4& m) {
  for (float& f : m.m) s << f;
  return s;
}

EStream& operator<<(EStream& s, EQuat& q) { return s << q.x << q.y << q.z << q.w; }
