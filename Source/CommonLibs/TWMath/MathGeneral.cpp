#include "TWMath/MathGeneral.h"

#include "TWMath/BoundingBox.h"
#include "TWMath/Matrix.h"
#include "TWMath/Primitives.h"
#include "TWMath/Random.h"
#include "TWUtil/ErrorManager.h"

bool g_bSSESupport = false;

EMathManager::EMathManager() {
  TWMath::DisableFPExceptions(false);
  buildSqrtTable();
  DetectSSESupport();
}

void EMathManager::buildSqrtTable() {
  // FastSqrt uses the library square root; there is no table to build.
}

void EMathManager::DetectSSESupport() {
  STUBBED("fix up the rest of the SSE code first");
  g_bSSESupport = false;
}

// Built in this order, before main.
EMathManager g_MathManager;
ERand g_SimRand;
ERand g_RenderRand;
ERand g_ScriptRand;

float PinAngle(float a, float low, float high) {
  float d1 = NormalizeAngle(a - low);
  float d2 = NormalizeAngle(a - high);
  if (d1 >= 0.0f && d2 <= 0.0f) return a;
  return ABS(d1) < ABS(d2) ? low : high;
}

float LerpFieldOfView(float a, float b, float t) {
  if (a == b) return a;
  if (a == 0.0f || b == 0.0f) return Lerp(a, b, t);
  // Interpolating the cotangents of the half angles keeps the apparent size
  // of distant objects changing evenly during a zoom.
  float c = Lerp(1.0f / Tangent(a / 2.0f), 1.0f / Tangent(b / 2.0f), t);
  return 2.0f * ArcTan(1.0f, c);
}

namespace TWMath {

int SolveQuadratic(float a, float b, float c, float& r0, float& r1) {
  if (a == 0.0f) {
    // b x + c = 0: one root, or none when b is zero too.
    if (b == 0.0f) return 0;
    r0 = r1 = -c / b;
    return 1;
  }
  float D = b * b - 4.0f * a * c;
  if (D < 0.0f) return 0;
  // The cancellation-free form keeps the smaller root accurate.
  float s = b >= 0.0f ? FastSqrt(D) : -FastSqrt(D);
  float q = -0.5f * (b + s);
  r0 = q / a;
  r1 = q == 0.0f ? r0 : c / q;
  return 2;
}

void DisableFPExceptions(bool) {}

}  // namespace TWMath

// ---------------------------------------------------------------------------
// Primitives

ESphere::ESphere(const EBox3& box) : centre(box.GetCenter()) {
  EVec3 e = box.GetExtent();
  radius = (e.x + e.y + e.z) / 3.0f;
}

ESphere ESphere::Transform(const EMat4& m) const { return ESphere(m.MulVec3(centre), radius); }

bool ETri3::IsZeroArea() const {
  EVec3 e0 = p1 - p0, e1 = p2 - p1, e2 = p0 - p2;
  float A = e0.Cross(e1).Mag2();
  float S = Square(e0.Mag2() + e1.Mag2() + e2.Mag2());
  return S == 0.0f || A / S < 2.5e-11f;
}

EVec2 ETri3::ConvertPointToBarycentric(const EVec3& x) const {
  EVec3 e1 = p1 - p0, e2 = p2 - p0, d = x - p0;
  EVec3 n = e1.Cross(e2);
  float nn = n.Dot(n);
  return EVec2(d.Cross(e2).Dot(n) / nn, e1.Cross(d).Dot(n) / nn);
}

EVec3 ETri3::GetRelativeCircumcenter() const {
  EVec3 a = p1 - p0, b = p2 - p0;
  EVec3 c = a.Cross(b);
  EVec3 w = b * a.Mag2() - a * b.Mag2();
  return w.Cross(c) * SafeDivide(0.5f, c.Mag2());
}

bool ETri3::ContainsPoint(const EVec3& x, const EVec3& normal, int axis) const {
  if (axis < 0 || axis > 2) {
    axis = ABS(normal.x) < ABS(normal.y) ? 1 : 0;
    if (ABS(normal[axis]) < ABS(normal.z)) axis = 2;
  }
  static const int s_aI[3] = {1, 2, 0};
  static const int s_aJ[3] = {2, 0, 1};
  const int i = s_aI[axis], j = s_aJ[axis];
  const EVec3* p[4] = {&p0, &p1, &p2, &p0};
  float f[3];
  for (int k = 0; k < 3; ++k) {
    const EVec3& a = *p[k];
    const EVec3& b = *p[k + 1];
    f[k] = (a[i] - b[i]) * (x[j] - a[j]) + (b[j] - a[j]) * (x[i] - a[i]);
  }
  return (f[0] <= 0.0f && f[1] <= 0.0f && f[2] <= 0.0f) || (f[0] >= 0.0f && f[1] >= 0.0f && f[2] >= 0.0f);
}

bool ETri2D::ContainsPoint(const EVec2& x) const {
  float s1 = SIGN((a.y - b.y) * (a.x - x.x) - (a.x - b.x) * (a.y - x.y));
  float s2 = SIGN((b.y - c.y) * (b.x - x.x) - (b.x - c.x) * (b.y - x.y));
  float s3 = SIGN((c.y - a.y) * (c.x - x.x) - (c.x - a.x) * (c.y - x.y));
  return s2 == s1 && s3 == s1 && s1 != 0.0f;
}
