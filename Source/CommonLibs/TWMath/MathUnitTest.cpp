// The math self-test: its driver, the comparisons and the matrix and general
// groups. The distance and intersection groups are in MathUnitTestIntersect.cpp.
#include "TWMath/MathUnitTest.h"

#include <cmath>

#include "TWMath/BoundingBox.h"
#include "TWMath/MathGeneral.h"
#include "TWMath/MathUnitTestCompare.h"
#include "TWMath/Matrix.h"
#include "TWMath/Primitives.h"
#include "TWMath/Quaternion.h"
#include "TWMath/Random.h"
#include "TWMath/Vector.h"
#include "TWUtil/UnitTest.h"

namespace TWMath {
namespace UnitTestDetail {

void CompareFloat(double a, double b, bool noCount, float scale, const char* file, int line) {
  const double tolerance = 0.00004 * (double)scale;
  bool bPass;
  if (fabs(a) < 1.0 || fabs(b) < 1.0)
    bPass = fabs(a - b) < tolerance;
  else
    bPass = fabs(a / b - 1.0) < tolerance;
  if (bPass) return;
  if (!noCount) ::UnitTest::_TraceFailedf(a, b, file, line);
  ::UnitTest::_TestFailed(noCount);
}

void CompareVec(const EVec2& a, const EVec2& b, bool noCount, float scale, const char* file, int line) {
  CompareFloat(a.x, b.x, noCount, scale, file, line);
  CompareFloat(a.y, b.y, noCount, scale, file, line);
}

void CompareVec(const EVec3& a, const EVec3& b, bool noCount, float scale, const char* file, int line) {
  CompareFloat(a.x, b.x, noCount, scale, file, line);
  CompareFloat(a.y, b.y, noCount, scale, file, line);
  CompareFloat(a.z, b.z, noCount, scale, file, line);
}

void CompareVec(const EVec4& a, const EVec4& b, bool noCount, float scale, const char* file, int line) {
  CompareFloat(a.x, b.x, noCount, scale, file, line);
  CompareFloat(a.y, b.y, noCount, scale, file, line);
  CompareFloat(a.z, b.z, noCount, scale, file, line);
  CompareFloat(a.w, b.w, noCount, scale, file, line);
}

void CompareVec(const EQuat& a, const EQuat& b, bool noCount, float scale, const char* file, int line) {
  CompareFloat(a.x, b.x, noCount, scale, file, line);
  CompareFloat(a.y, b.y, noCount, scale, file, line);
  CompareFloat(a.z, b.z, noCount, scale, file, line);
  CompareFloat(a.w, b.w, noCount, scale, file, line);
}

void CompareMat(const EMat4& a, const EMat4& b, bool noCount, const char* file, int line) {
  for (int i = 0; i < 16; ++i) CompareFloat(a.m[i], b.m[i], noCount, 1.0f, file, line);
}

void CompareBox(const EBox3& a, const EBox3& b, bool noCount, const char* file, int line) {
  CompareVec(a.vMax, b.vMax, noCount, 1.0f, file, line);
  CompareVec(a.vMin, b.vMin, noCount, 1.0f, file, line);
}

void CompareAxisAngle(const EVec4& a, const EVec4& b, bool noCount, const char* file, int line) {
  float fAngleA = NormalizeAngle(a.w);
  CompareFloat(fAngleA, NormalizeAngle(b.w), noCount, 1.0f, file, line);
  if (ABS(fAngleA) >= 0.00001f)
    CompareVec(EVec3(a.x, a.y, a.z), EVec3(b.x, b.y, b.z), false, 1.0f, file, line);
}

}  // namespace UnitTestDetail

namespace {

// A rotation by random Euler angles combined with a translation of random
// direction and a length up to fDistance.
EMat4 RandomRigidMatrix(float fDistance) {
  EVec3 angles = EVec3::Random(1.0f, -1.0f, -1.0f, -1.0f) * 180.0f;
  EMat4 m = MatrixRotateEuler(angles);
  EVec3 dir = EVec3::Random(1.0f, -1.0f, -1.0f, -1.0f);
  float fLength = g_SimRand.frand() * fDistance;
  m *= MatrixTranslate(dir * fLength);
  return m;
}

EQuat RandomUnitQuaternion() {
  float w = g_SimRand.frand();
  EVec3 v = EVec3::Random(1.0f, -1.0f, -1.0f, -1.0f) * sqrtf(1.0f - w * w);
  return EQuat(v.x, v.y, v.z, w);
}

// Half away from zero, the rounding of packed normals.
int RoundToInt(float f) { return f > 0.0f ? (int)(f + 0.5f) : (int)(f - 0.5f); }
int TruncateToInt(float f) { return (int)f; }

EVec3 Normalized(const EVec3& v) { return v.GetNormal(); }

void MiscNormPacked() {
  const EVec3 aCases[] = {EVec3(1, 1, 1), EVec3(0.5f, 0.5f, 0.5f), EVec3(0, 0, 0), EVec3(-0.5f, -0.5f, -0.5f),
                          EVec3(-1, -1, -1)};
  for (const EVec3& v : aCases) {
    EVec3 u = ENormPacked3(v).ToVector();
    UT_CHECK_EQUAL(ABS(u.x - v.x) <= 0.00048875855f, true, false);
    UT_CHECK_EQUAL(ABS(u.y - v.y) <= 0.00048875855f, true, false);
    UT_CHECK_EQUAL(ABS(u.z - v.z) <= 0.0009784736f, true, false);
  }
}

void MiscNormalize() {
  const EVec3 v(3, 4, 5);
  EVec3 a = v;
  float fLength = a.Normalize();
  float fReported = 0.0f;
  EVec3 b = v.GetNormal(&fReported);
  EVec3 c = v.SafeGetNormal();
  UT_CHECK_VEC(a, b, false);
  UT_CHECK_VEC(a, c, false);
  UT_CHECK_FLOAT(fLength, fReported, false);
}

void MiscLerpEndpoints() {
  const float aValues[2] = {1.2345679f, 1.2345679e8f};
  for (int i = 0; i < 2; ++i) {
    const float a = aValues[i], b = aValues[1 - i];
    UT_CHECK_EQUAL(Lerp(a, b, 0.0f) == a, true, false);
    UT_CHECK_EQUAL(Lerp(a, b, 1.0f) == b, true, false);
    const EVec2 a2(a, b), b2(b, a);
    UT_CHECK_EQUAL(Lerp(a2, b2, 0.0f) == a2, true, false);
    UT_CHECK_EQUAL(Lerp(a2, b2, 1.0f) == b2, true, false);
    UT_CHECK_EQUAL(a2.Lerp(b2, 0.0f) == a2, true, false);
    UT_CHECK_EQUAL(a2.Lerp(b2, 1.0f) == b2, true, false);
    const EVec3 a3(a, b, a), b3(b, a, b);
    UT_CHECK_EQUAL(Lerp(a3, b3, 0.0f) == a3, true, false);
    UT_CHECK_EQUAL(Lerp(a3, b3, 1.0f) == b3, true, false);
    UT_CHECK_EQUAL(a3.Lerp(b3, 0.0f) == a3, true, false);
    UT_CHECK_EQUAL(a3.Lerp(b3, 1.0f) == b3, true, false);
    const EVec4 a4(a, b, a, b), b4(b, a, b, a);
    UT_CHECK_EQUAL(Lerp(a4, b4, 0.0f) != a4, false, false);
    UT_CHECK_EQUAL(Lerp(a4, b4, 1.0f) != b4, false, false);
  }
}

void MiscAngles() {
  for (int k = -4; k <= 4; ++k) UT_CHECK_EQUAL(NormalizeAngle(180.0f + 360.0f * (float)k) == 180.0f, true, false);
  UT_CHECK_EQUAL(NormalizeAngle(190.0f) == -170.0f, true, false);
  UT_CHECK_EQUAL(NormalizeAngle(550.0f) == -170.0f, true, false);
  for (int i = 0; i < 500; ++i) {
    float a = NormalizeAngle(g_SimRand.frand() - 3600.0f);
    UT_CHECK_EQUAL(a > -180.0f && a <= 180.0f, true, false);
  }
}

void MiscAbs() {
  float f = -2.0f;
  MAKEABS(f);
  UT_CHECK_EQUAL(f == 2.0f, true, false);
  MAKEABS(f);
  UT_CHECK_EQUAL(f == 2.0f, true, false);
  UT_CHECK_EQUALI(ABS(1), 1, false);
  UT_CHECK_EQUALI(ABS(-1), 1, false);
  UT_CHECK_EQUAL(ABS(1.0f) == 1.0f, true, false);
  UT_CHECK_EQUAL(ABS(-1.0f) == 1.0f, true, false);
  UT_CHECK_EQUAL(ABS(-1.0) == 1.0, true, false);
}

void MiscCubeContains() {
  const EVec3 centre(100, 200, 300);
  const float h = 10.0f;
  const ESSECube cube(centre, h);
  for (int i = 0; i < 10; ++i) {
    float dx = (2.0f * g_RenderRand.frand() - 1.0f) * h;
    float dy = (2.0f * g_RenderRand.frand() - 1.0f) * h;
    float dz = (2.0f * g_RenderRand.frand() - 1.0f) * h;
    UT_CHECK_EQUAL(cube.ContainsPoint(centre + EVec3(dx, dy, dz)), true, false);
  }
  UT_CHECK_EQUAL(cube.ContainsPoint(centre + EVec3(1.1f * h, 0, 0)), false, false);
  UT_CHECK_EQUAL(cube.ContainsPoint(centre + EVec3(0, 1.1f * h, 0)), false, false);
  UT_CHECK_EQUAL(cube.ContainsPoint(centre + EVec3(0, 0, 1.1f * h)), false, false);
}

void MiscBoxTransforms() {
  const EBox3 box(EVec3(1, 2, 3), EVec3(5, 10, 15));
  const EVec3 aAngles[6] = {EVec3(10, 20, 30), EVec3(10, 30, 20), EVec3(20, 10, 30),
                            EVec3(20, 30, 10), EVec3(30, 10, 20), EVec3(30, 20, 10)};
  for (const EVec3& e : aAngles) {
    EMat4 m = MatrixRotateEuler(e);
    EBox3 moved = box;
    moved.TransformBy(m);
    UT_CHECK_BOX(moved, box.TransformAffine(m), false);
  }
}

void MiscTriangleCoordinates() {
  EMat4 turn = RandomRigidMatrix(0.0f);
  const ETri3 tri(turn % EVec3(0, 1, 2), turn % EVec3(0, -3, 1), turn % EVec3(0, 0, -1));
  const EPlane plane = tri.GetFacePlane();
  for (int i = 0; i < 5; ++i) {
    EVec3 x = EVec3::Random(1.0f, -1.0f, -1.0f, -1.0f) * 5.0f;
    EVec3 onPlane = plane.Project(x);
    EVec2 uv = tri.ConvertPointToBarycentric(onPlane);
    UT_CHECK_VEC(tri.ConvertPointToBarycentric(x), uv, false);
    EVec3 weighted = tri.p0 * (1.0f - uv.x - uv.y) + tri.p1 * uv.x + tri.p2 * uv.y;
    UT_CHECK_VEC(tri.ConvertBarycentricToPoint(uv), weighted, false);
  }
}

void MiscContainment() {
  const ETri3 tri(EVec3(3, 0, 0), EVec3(0, 8, 0), EVec3(0, 0, 5));
  const EVec3 normal = tri.GetFaceNormal();
  const ETri2D tri2(EVec2(0, 0), EVec2(-1, 5), EVec2(1, 10));
  const EVec2 aSamples[10] = {EVec2(0, 0),     EVec2(1, 0),     EVec2(0, 1),      EVec2(0.5f, 0.5f),
                              EVec2(0.5f, 0.6f), EVec2(-0.8f, 0.2f), EVec2(-0.1f, 0.3f), EVec2(0.3f, -0.1f),
                              EVec2(-0.1f, -0.1f), EVec2(0.5f, 0.4f)};
  for (const EVec2& uv : aSamples) {
    bool bInClosed = uv.x >= 0.0f && uv.y >= 0.0f && uv.x + uv.y <= 1.0f;
    bool bInOpen = uv.x > 0.0f && uv.y > 0.0f && uv.x + uv.y < 1.0f;
    UT_CHECK_EQUAL(tri.ContainsPoint(tri.ConvertBarycentricToPoint(uv), normal, -1), bInClosed, false);
    UT_CHECK_EQUAL(tri2.ContainsPoint(tri2.ConvertBarycentricToPoint(uv)), bInOpen, false);
  }
}

void MiscZeroArea() {
  struct Case {
    EVec3 p0, p1, p2;
    bool bZero;
  };
  const Case aCases[6] = {
      {EVec3(1, 2, 3), EVec3(1, 2, 3), EVec3(4, 6, 5), true},
      {EVec3(1, 2, 3), EVec3(1, 2, 3), EVec3(1, 2, 3), true},
      {EVec3(0, 0, 0), EVec3(1, 0, 0), EVec3(1, 0, 0.000011f), false},
      {EVec3(0, 0, 0), EVec3(1, 0, 0), EVec3(1, 0, 0.000009f), true},
      {EVec3(0, 0, 0), EVec3(100000, 0, 0), EVec3(100000, 0, 1.1f), false},
      {EVec3(0, 0, 0), EVec3(100000, 0, 0), EVec3(100000, 0, 0.9f), true},
  };
  for (const Case& c : aCases) {
    UT_CHECK_EQUAL(ETri3(c.p0, c.p1, c.p2).IsZeroArea(), c.bZero, false);
    UT_CHECK_EQUAL(ETri3(c.p1, c.p2, c.p0).IsZeroArea(), c.bZero, false);
    UT_CHECK_EQUAL(ETri3(c.p2, c.p0, c.p1).IsZeroArea(), c.bZero, false);
  }
}

void MiscPlaneProjection() {
  EVec3 n = EVec3::Random(1.0f, -1.0f, -1.0f, -1.0f);
  float d = 100.0f * g_SimRand.frand();
  const EPlane plane(n, d);
  EVec3 x = EVec3::Random(1.0f, -1.0f, -1.0f, -1.0f) * 100.0f;
  EVec3 p = plane.Project(x);
  UT_CHECK_FLOAT(n.Dot(p), -d, false);
  UT_CHECK_FLOAT(ABS(n.Dot((p - x).GetNormal())), 1.0f, false);
}

void MiscInverses() {
  EMat4 R = MatrixRotateEuler(EVec3(10, 15, 20));
  UT_CHECK_MAT(R * R.Inverse(), cg_mIdentity, false);
  UT_CHECK_MAT(R * R.OrthoInverse(), cg_mIdentity, false);
  R.SetTranslation(EVec3(20, 30, 40));
  UT_CHECK_MAT(R * R.Inverse(), cg_mIdentity, false);

  EMat4 M = R * MatrixScale(2, 3, 4) * MatrixRotateEuler(EVec3(4, 30, 50));
  M.SetTranslation(EVec3(100, 200, 3));
  UT_CHECK_MAT(M * M.Inverse(), cg_mIdentity, false);
  M.Orthonormalize();
  M.SetTranslation(EVec3(0, 0, 0));
  UT_CHECK_MAT(M * M.OrthoInverse(), cg_mIdentity, false);

  const EMat4 P = MatrixRotateEuler(EVec3(10, 20, 30)) * MatrixTranslate(10, 20, 30);
  EMat4 Q = P;
  Q *= P.Inverse();
  UT_CHECK_MAT(Q, cg_mIdentity, false);
  UT_CHECK_MAT(P.Mul(P.Inverse()), cg_mIdentity, false);
}

void MiscRotationAgreement() {
  EMat4 D = MatrixRotateY(-90.0f);
  D.SetTranslation(EVec3(0, 10, 0));
  const EQuat q(D);
  const EVec3 x(1, 0, 0);
  UT_CHECK_VEC(D / x, EVec3(0, 0, 1), false);
  UT_CHECK_VEC(q * x, EVec3(0, 0, 1), false);
  UT_CHECK_VEC(D % x, EVec3(0, 10, 1), false);
}

void MiscQuaternionLog() {
  const EVec3 aAxes[2] = {EVec3(0, 0, 1), Normalized(EVec3(1, 2, 1))};
  for (const EVec3& axis : aAxes) {
    for (int iShift = 0; iShift <= 10; iShift += 10) {
      for (int iAngle = -360; iAngle <= 360; iAngle += 90) {
        const float fAngle = (float)(iAngle + iShift);
        const EVec4 axisAngle(axis, fAngle);
        const EQuat q(axisAngle);
        const EVec4 result = q.ToAxisAngle();
        if (fAngle > -360.0f && fAngle < 360.0f) UT_CHECK_AXIS_ANGLE(result, axisAngle, false);
        if (fAngle != 360.0f) {
          const EQuat ln = q.Ln();
          UT_CHECK_VEC(EVec3(ln.x, ln.y, ln.z) * 114.59156f, EVec3(result.x, result.y, result.z) * result.w, false);
          UT_CHECK_VEC(ln.Exp(), q, false);
        }
      }
    }
  }
}

void MiscFloatToInt() {
  struct Case {
    float f;
    int i;
  };
  const Case aRounded[] = {{1.0f, 1},    {2.0f, 2},    {-1.0f, -1},    {-2.0f, -2},    {1.499f, 1}, {1.501f, 2},
                           {-1.499f, -1}, {-1.501f, -2}, {1.5f, 2}, {-1.5f, -2}, {2.5f, 3},   {-2.5f, -3}};
  for (const Case& c : aRounded) UT_CHECK_EQUALI(RoundToInt(c.f), c.i, false);

  const Case aTruncated[] = {{1.49f, 1}, {-1.49f, -1}, {1.51f, 1}, {-1.51f, -1}, {2.49f, 2},  {-2.49f, -2},
                             {2.51f, 2}, {-2.51f, -2}, {28.0f, 28}, {-28.0f, -28}, {29.0f, 29}, {-29.0f, -29}};
  for (const Case& c : aTruncated) UT_CHECK_EQUALI(TruncateToInt(c.f), c.i, false);

  const int aExact[] = {100000000, 110000000, 111000000, 111100000, 111110000, 111111000};
  for (int i : aExact) UT_CHECK_EQUALI(TruncateToInt((float)i), i, false);
  // Beyond 2^24 the nearest float is no longer the integer itself.
  const int aInexact[] = {111111100, 111111110};
  for (int i : aInexact) UT_CHECK_EQUALI(TruncateToInt((float)i), i, true);
}

void MiscAlign() {
  for (unsigned n = 64; n >= 57; --n) UT_CHECK_EQUALI((int)Align8(n), 64, false);
  for (unsigned n = 64; n >= 49; --n) UT_CHECK_EQUALI((int)Align16(n), 64, false);
  for (unsigned n = 64; n >= 33; --n) UT_CHECK_EQUALI((int)Align32(n), 64, false);
}

void MiscQuadratic() {
  float r0 = 0.0f, r1 = 0.0f;
  UT_CHECK_EQUALI(SolveQuadratic(1, 1, 10, r0, r1), 0, false);
  UT_CHECK_EQUALI(SolveQuadratic(0, 2, -4, r0, r1), 1, true);
  UT_CHECK_EQUALI(SolveQuadratic(2, 0, 0, r0, r1), 1, true);
  UT_CHECK_EQUALI(SolveQuadratic(1, 6, 9, r0, r1), 2, false);
  UT_CHECK_FLOAT(r0, -3.0f, false);
  UT_CHECK_FLOAT(r1, -3.0f, false);
  SolveQuadratic(1, -1234.5f, 1.52399f, r0, r1);
  UT_CHECK_FLOAT(r0, 1234.5f, false);
  UT_CHECK_FLOAT(r1, 0.0012345f, false);

  struct Case {
    float b, c, r0, r1;
  };
  const Case aCases[4] = {{4, -8.25f, -5.5f, 1.5f}, {-4, -8.25f, 5.5f, -1.5f}, {-7, 8.25f, 5.5f, 1.5f},
                          {7, 8.25f, -5.5f, -1.5f}};
  for (const Case& c : aCases) {
    UT_CHECK_EQUALI(SolveQuadratic(1, c.b, c.c, r0, r1), 2, false);
    UT_CHECK_FLOAT(r0, c.r0, false);
    UT_CHECK_FLOAT(r1, c.r1, false);
  }
}

void MiscVectorSlerp() {
  const EVec3 a(0, 1, 0);
  const EVec3 b = Normalized(EVec3(1, -1, 0));
  const EVec3 aExpected[4] = {a, Normalized(EVec3(1, 1, 0)), EVec3(1, 0, 0), b};
  for (int i = 0; i < 4; ++i) {
    UT_CHECK_VEC(TWMath::Slerp(a, b, (float)i / 3.0f, false), aExpected[i], false);
    UT_CHECK_VEC(TWMath::SlerpExplicit(a, b, 45.0f * (float)i, false), aExpected[i], false);
  }
}

void MiscDegenerateAngles() {
  const EVec3 x(1, 0, 0);
  UT_CHECK_FLOAT(GetAngleBetween(x, -x, EVec3(1, 0, 0)), 0.0f, false);
  UT_CHECK_FLOAT(GetAngleBetween(x, -x, EVec3(0, 1, 0)), 180.0f, false);

  const EVec3 aAxes[3] = {EVec3(1, 0, 0), EVec3(0, 1, 0), EVec3(0, 0, 1)};
  for (const EVec3& v : aAxes) {
    EVec4 opposite = GetAxisAngleBetween(v, -v);
    UT_CHECK_FLOAT(opposite.w, 180.0f, false);
    UT_CHECK_FLOAT(EVec3(opposite.x, opposite.y, opposite.z).Dot(v), 0.0f, false);
    EVec4 same = GetAxisAngleBetween(v, v);
    UT_CHECK_FLOAT(same.w, 0.0f, false);
    UT_CHECK_FLOAT(EVec3(same.x, same.y, same.z).Dot(v), 0.0f, false);
  }
}

void MiscRotatedPairs() {
  struct Case {
    EVec3 a, b, axis;
    float fAngle;
  };
  const float c30 = Cosine(30), s30 = Sine(30), c130 = Cosine(130), s130 = Sine(130);
  const float c150 = Cosine(150), s150 = Sine(150), c80 = Cosine(80), s80 = Sine(80);
  const Case aCases[4] = {
      {EVec3(1, 0, 0), EVec3(c30, s30, 0), EVec3(0, 0, 1), 30},
      {EVec3(0, 1, 0), EVec3(0, c130, s130), EVec3(1, 0, 0), 130},
      {EVec3(0, 0, 1), EVec3(s150, 0, c150), EVec3(0, 1, 0), 150},
      {EVec3(0, 0, -1), EVec3(0, s80, -c80), EVec3(1, 0, 0), 80},
  };
  const EQuat aTurns[2] = {cg_qIdentity, RandomUnitQuaternion()};
  for (const Case& c : aCases) {
    for (const EQuat& q : aTurns) {
      const EVec3 a = q * c.a, b = q * c.b;
      UT_CHECK_VEC_SCALED(GetAxisAngleBetween(a, b), EVec4(q * c.axis, c.fAngle), false, 5.0f);
      UT_CHECK_FLOAT_SCALED(a.AngularDifference(b), c.fAngle, false, 10.0f);
      UT_CHECK_FLOAT_SCALED(GetAngleBetween(a, b), c.fAngle, false, 10.0f);
    }
  }
}

void MiscNotANumber() {
  const EVec4 r = GetAxisAngleBetween(EVec3(1.00001f, 0, 0), EVec3(0, 1.00001f, 0));
  UT_CHECK_VEC(r, r, false);
}

}  // namespace

void UnitTest_Mat4With(Mul2ArgFn pfnMul2, Mul3ArgFn pfnMul3) {
  {
    const EVec3 e(10, 20, 30), t(4, 8, 12);
    EMat4 m = MatrixRotateEuler(e);
    m.SetTranslation(t);
    EQuat q;
    q.FromEuler(e);
    UT_CHECK_MAT(m, EMat4(q, t), true);
  }

  const EMat4 A = RandomRigidMatrix(10.0f);
  const EMat4 B = RandomRigidMatrix(10.0f);
  const EMat4 P = A * B;
  {
    EMat4 m = A;
    m *= B;
    UT_CHECK_MAT(m, P, false);
    UT_CHECK_MAT(pfnMul2(A, B), P, false);
    EMat4 out;
    pfnMul3(out, A, B);
    UT_CHECK_MAT(out, P, false);
    EMat4 self = A;
    pfnMul3(self, self, B);
    UT_CHECK_MAT(self, P, false);
    UT_CHECK_MAT(A.MulUnaligned(B), P, false);
    EMat4::Mul(out, A, B);
    UT_CHECK_MAT(out, P, false);
  }

  const EVec3 v = EVec3::Random(1.0f, -1.0f, -1.0f, -1.0f);
  const EVec3 s(3, 5, 11);
  const EMat4 S = MatrixScale(s);
  UT_CHECK_VEC(S % v, s * v, false);
  UT_CHECK_VEC(S / v, s * v, false);

  const EMat4 R = RandomRigidMatrix(10.0f);
  EMat4 scaledAfter = R;
  scaledAfter.ScaleLHS(s);
  UT_CHECK_MAT(S * R, scaledAfter, false);
  UT_CHECK_VEC((S * R) % v, s * (R % v), false);
  EMat4 scaledBefore = R;
  scaledBefore.Scale(s);
  UT_CHECK_MAT(R * S, scaledBefore, false);
  UT_CHECK_VEC((R * S) % v, R % (s * v), false);
}

void UnitTest_Mat4() { UnitTest_Mat4With(SSEMul_4x4_4x4_2arg, SSEMul_4x4_4x4_3arg); }

void UnitTest_Misc() {
  MiscNormPacked();
  MiscNormalize();
  MiscLerpEndpoints();
  MiscAngles();
  MiscAbs();
  MiscCubeContains();
  MiscBoxTransforms();
  MiscTriangleCoordinates();
  MiscContainment();
  MiscZeroArea();
  MiscPlaneProjection();
  MiscInverses();
  MiscRotationAgreement();
  MiscQuaternionLog();
  MiscFloatToInt();
  MiscAlign();
  MiscQuadratic();
  MiscVectorSlerp();
  MiscDegenerateAngles();
  MiscRotatedPairs();
  MiscNotANumber();
}

bool UnitTest() {
  static const ::UnitTest::GroupFn s_aGroups[] = {UnitTest_Misc, UnitTest_Mat4, UnitTest_Distance,
                                                  UnitTest_TestIntersection, UnitTest_FindIntersection};
  return ::UnitTest::RunGroups(s_aGroups, (int)(sizeof(s_aGroups) / sizeof(s_aGroups[0])));
}

}  // namespace TWMath
