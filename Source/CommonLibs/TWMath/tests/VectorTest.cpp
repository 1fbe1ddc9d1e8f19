#include <gtest/gtest.h>

#include "TWMath/Matrix.h"
#include "TWMath/Quaternion.h"
#include "TWMath/Random.h"
#include "TWMath/Vector.h"

namespace {

void ExpectNear3(const EVec3& v, float x, float y, float z, float eps = 1e-5f) {
  EXPECT_NEAR(v.x, x, eps);
  EXPECT_NEAR(v.y, y, eps);
  EXPECT_NEAR(v.z, z, eps);
}

TEST(ScalarHelpers, NormalizeAngleKnownAnswers) {
  struct { float in, out; } cases[] = {
      {180, 180}, {-180, 180}, {540, 180}, {-540, 180}, {720, 0}, {190, -170},
      {550, -170}, {-190, 170}, {0, 0}, {-179.5f, -179.5f}, {1260, 180}, {-900, 180},
  };
  for (auto& c : cases) EXPECT_EQ(NormalizeAngle(c.in), c.out) << c.in;
  for (int k = -4; k <= 4; ++k) EXPECT_EQ(NormalizeAngle(180.0f + 360.0f * k), 180.0f) << k;
}

TEST(ScalarHelpers, PinAngleAndFieldOfView) {
  EXPECT_EQ(PinAngle(170, -90, 90), 90);
  EXPECT_EQ(PinAngle(-170, -90, 90), -90);
  EXPECT_EQ(PinAngle(0, -90, 90), 0);
  EXPECT_EQ(PinAngle(180, -90, 90), 90);  // a tie gives high
  // An arc that crosses 180.
  EXPECT_EQ(PinAngle(-170, 150, -150), -170);
  EXPECT_EQ(PinAngle(10, 150, -150), 150);
  EXPECT_EQ(PinAngle(0, 150, -150), -150);  // a tie

  EXPECT_EQ(LerpFieldOfView(60, 60, 0.3f), 60);
  EXPECT_FLOAT_EQ(LerpFieldOfView(0, 60, 0.5f), 30);
  EXPECT_NEAR(LerpFieldOfView(40, 90, 0), 40, 1e-4);
  EXPECT_NEAR(LerpFieldOfView(40, 90, 1), 90, 1e-4);
  float mid = LerpFieldOfView(40, 90, 0.5f);
  EXPECT_GT(mid, 40);
  EXPECT_LT(mid, 65);  // cotangent interpolation sits below the plain mean
}

TEST(ScalarHelpers, SmallHelpers) {
  EXPECT_EQ(min(1.0f, 2.0f), 1);
  EXPECT_EQ(max(1.0f, 2.0f), 2);
  EXPECT_EQ(PIN(5, 0, 1), 1);
  EXPECT_EQ(PIN(-5.0f, 0, 1), 0);
  EXPECT_EQ(PIN(0.5f, 1.0f, 0.0f), 0.0f);  // high is tested first
  EXPECT_EQ(SIGN(-0.0f), 0);
  EXPECT_EQ(SIGN(-2.0f), -1);
  EXPECT_EQ(SIGN((short)7), 1);
  EXPECT_EQ(SafeDivide(-3, 0), -1000000000.0f);
  EXPECT_EQ(SafeDivide(0, 0), 0.0f);
  EXPECT_EQ(SafeDivide(6, 3), 2.0f);
  EXPECT_EQ(AlignPowerOfTwo(17, 16), 32u);
  EXPECT_EQ(AlignPowerOfTwo(32, 16), 32u);
  EXPECT_EQ(Align8(0), 0u);
  for (unsigned n = 57; n <= 64; ++n) EXPECT_EQ(Align8(n), 64u);
  for (unsigned n = 49; n <= 64; ++n) EXPECT_EQ(Align16(n), 64u);
  for (unsigned n = 33; n <= 64; ++n) EXPECT_EQ(Align32(n), 64u);
  EXPECT_EQ(Align32(65), 96u);

  float f = -2.0f;
  MAKEABS(f);
  EXPECT_EQ(f, 2.0f);
  MAKEABS(f);
  EXPECT_EQ(f, 2.0f);
  EXPECT_EQ(ABS(-1), 1);
  EXPECT_EQ(ABS(-1.0f), 1.0f);
  EXPECT_EQ(ABS(-1.0), 1.0);
  EXPECT_EQ(ABSMAX(-5, 3), -5);
  EXPECT_TRUE(Equal(1.0f, 1.000005f, 0.00001f));
  EXPECT_FALSE(Equal(1.0f, 1.00002f, 0.00001f));
  EXPECT_EQ(AbsDiffAngle(-170, 170), 20);

  // Interpolation hits its end points exactly.
  const float a = 1.2345679f, b = 1.2345679e8f;
  EXPECT_EQ(Lerp(a, b, 0), a);
  EXPECT_EQ(Lerp(a, b, 1), b);
  EXPECT_EQ(Lerp(b, a, 1), a);
  EXPECT_EQ(Lerp(EVec3(a, b, a), EVec3(b, a, b), 1.0f), EVec3(b, a, b));
  EXPECT_EQ(EVec2(a, b).Lerp(EVec2(b, a), 0.0f), EVec2(a, b));
}

TEST(ScalarHelpers, DegreeTrigonometry) {
  EXPECT_EQ(Sine(30), (float)sin(30.0 * 0.017453292519943295));
  EXPECT_EQ(Cosine(90), (float)cos(90.0 * 0.017453292519943295));
  EXPECT_FLOAT_EQ(Tangent(45), 1.0f);
  EXPECT_EQ(ArcCos(2.0f), 0.0f);  // pinned first
  EXPECT_EQ(ArcCos(-2.0f), 180.0f);
  EXPECT_FLOAT_EQ(ArcSin(1.0f), 90.0f);
  EXPECT_EQ(ArcTan(0.0f, -1.0f), 180.0f);
  EXPECT_EQ(ArcTan(-0.0f, -1.0f), 180.0f);  // -180 is never returned
}

TEST(ScalarHelpers, SolveQuadratic) {
  float r0 = 99, r1 = 99;
  EXPECT_EQ(TWMath::SolveQuadratic(1, -3, 2, r0, r1), 2);
  EXPECT_EQ(r0, 2);
  EXPECT_EQ(r1, 1);
  r0 = r1 = 99;
  EXPECT_EQ(TWMath::SolveQuadratic(1, 0, 1, r0, r1), 0);
  EXPECT_EQ(r0, 99);  // untouched
  EXPECT_EQ(TWMath::SolveQuadratic(1, 0, 0, r0, r1), 2);
  EXPECT_EQ(r0, 0);
  EXPECT_EQ(r1, 0);
  EXPECT_EQ(TWMath::SolveQuadratic(1, 6, 9, r0, r1), 2);
  EXPECT_EQ(r0, -3);
  EXPECT_EQ(r1, -3);
  EXPECT_EQ(TWMath::SolveQuadratic(1, -1234.5f, 1.52399f, r0, r1), 2);
  EXPECT_NEAR(r0, 1234.5f - 0.0012345f, 1e-4);
  EXPECT_NEAR(r1, 0.0012345f, 1e-8);  // the small root stays accurate
  struct { float b, c, r0, r1; } pairs[] = {
      {4, -8.25f, -5.5f, 1.5f}, {-4, -8.25f, 5.5f, -1.5f}, {-7, 8.25f, 5.5f, 1.5f}, {7, 8.25f, -5.5f, -1.5f}};
  for (auto& p : pairs) {
    ASSERT_EQ(TWMath::SolveQuadratic(1, p.b, p.c, r0, r1), 2);
    EXPECT_FLOAT_EQ(r0, p.r0);
    EXPECT_FLOAT_EQ(r1, p.r1);
  }
}

TEST(ScalarHelpers, SolveQuadraticLinearCase) {
  // With a = 0 the equation is linear: one root, no division by zero.
  float r0 = 99, r1 = 99;
  EXPECT_EQ(TWMath::SolveQuadratic(0, 2, -4, r0, r1), 1);
  EXPECT_EQ(r0, 2);
  EXPECT_EQ(r1, 2);
  r0 = r1 = 99;
  EXPECT_EQ(TWMath::SolveQuadratic(0, 0, 5, r0, r1), 0);
  EXPECT_EQ(r0, 99);
}

TEST(Vec3, NormalizeAndUnitCopies) {
  EVec3 v(0, 0, 0);
  EXPECT_EQ(v.Normalize(), 0);
  EXPECT_EQ(v, EVec3(0, 0, 0));
  v.Set(1, 0, 0);
  EXPECT_EQ(v.Normalize(), 1);
  v.Set(1.000004f, 0, 0);  // within tolerance: left alone
  EXPECT_EQ(v.Normalize(), 1);
  EXPECT_EQ(v.x, 1.000004f);
  v.Set(3, 4, 0);
  EXPECT_EQ(v.Normalize(), 5);
  EXPECT_EQ(v, EVec3(3 * (1.0f / 5), 4 * (1.0f / 5), 0));

  float len = -1;
  EVec3 tiny(1e-6f, 0, 0);
  EXPECT_EQ(tiny.GetNormal(&len), tiny);
  EXPECT_EQ(len, 0);
  EXPECT_EQ(tiny.SafeGetNormal(), EVec3(0, 0, -1));

  // The three ways of normalising agree.
  EVec3 a(3, 4, 5);
  EVec3 n = a.GetNormal(&len);
  EVec3 b = a;
  EXPECT_EQ(b.Normalize(), len);
  EXPECT_EQ(b, n);
  EXPECT_EQ(a.SafeGetNormal(), n);

  EVec3 c(2, -8, 4);
  EXPECT_EQ(c.NormalizeCube(), 8);
  EXPECT_EQ(c, EVec3(0.25f, -1, 0.5f));
  EVec3 z(0, 0, 0);
  EXPECT_EQ(z.NormalizeCube(), 0);

  EVec2 v2(3, 4);
  EXPECT_EQ(v2.Normalize(), 5);
  EXPECT_FLOAT_EQ(v2.x, 0.6f);
}

TEST(Vec3, Products) {
  EVec3 a(1, 2, 3), b(4, 5, 6);
  EXPECT_EQ(a % b, 32);
  EXPECT_EQ(a / b, EVec3(-3, 6, -3));
  EXPECT_EQ(EVec3(1, 0, 0).Cross(EVec3(0, 1, 0)), EVec3(0, 0, 1));
  EXPECT_EQ(a * b, EVec3(4, 10, 18));
  EXPECT_EQ(a / 2.0f, EVec3(0.5f, 1, 1.5f));
  EXPECT_EQ(2.0f * a, EVec3(2, 4, 6));
  EXPECT_EQ(EVec3(-1, 2, -3).AbsComponentSum(), 6);
  EXPECT_EQ(a.Max(EVec3(0, 5, 0)), EVec3(1, 5, 3));
  EXPECT_TRUE(EVec3(0, 0, 1).Parallel(EVec3(0, 0, -1)));
  EXPECT_FALSE(EVec3(0, 0, 1).Parallel(EVec3(0, 0.1f, 0.99f)));
  float nan = std::nanf("");
  EXPECT_NE(EVec3(nan, 0, 0), EVec3(nan, 0, 0));
}

TEST(Vec3, EulerConversions) {
  struct { EVec3 dir, euler; } cases[] = {
      {{0, 0, -1}, {0, 0, 0}}, {{-1, 0, 0}, {0, 90, 0}}, {{1, 0, 0}, {0, -90, 0}}, {{0, 0, 1}, {0, 180, 0}}};
  for (auto& c : cases) ExpectNear3(c.dir.CartesianToEuler(), c.euler.x, c.euler.y, c.euler.z);

  ExpectNear3(EVec3(0, 90, 0).EulerToCartesian(), -1, 0, 0);
  ExpectNear3(EVec3(90, 0, 0).EulerToCartesian(), 0, 1, 0);
  ExpectNear3(EVec3(0, 90, 0).EulerToCartesian().CartesianToEuler(), 0, 90, 0, 1e-4f);
  ExpectNear3(EVec3(90, 0, 0).EulerToCartesian().CartesianToEuler(), 90, 0, 0, 1e-4f);
  ExpectNear3(EVec3(30, -45, 0).EulerToCartesian().CartesianToEuler(), 30, -45, 0, 1e-3f);
  EXPECT_EQ(EEuler(1, 2, 3).ToCartesian(), EVec3(1, 2, 3).EulerToCartesian());
  ExpectNear3(EVec3(1, 0, 0).RotateByEulerAngles(EEuler(0, 0, 90)), 0, 1, 0);
}

TEST(Vec3, SphericalAndCylindric) {
  ExpectNear3(EVec3(2, 0, 0).SphericalToCartesian(), 0, 0, -2);
  ExpectNear3(EVec3(2, 0, 90).SphericalToCartesian(), 0, 2, 0);
  ExpectNear3(EVec3(2, 90, 0).SphericalToCartesian(), -2, 0, 0);
  EVec3 p(1, 2, -3);
  EVec3 s = p.CartesianToSpherical();
  ExpectNear3(s.SphericalToCartesian(), 1, 2, -3, 1e-4f);
  EVec3 c = p.CartesianToCylindric();
  ExpectNear3(c.CylindricToCartesian(), 1, 2, -3, 1e-4f);
  ExpectNear3(EVec3(5, 370, -200).NormalizeSpherical(), 5, 10, 160);
}

TEST(Vec3, RightVectorAndAngles) {
  EXPECT_EQ(EVec3(1, 0, 0).CalculateRightVector(EVec3(-1, 0, 0)), EVec3(0, 0, 1));
  EXPECT_EQ(EVec3(0, 0, -1).CalculateRightVector(EVec3(0, 1, 0)), EVec3(1, 0, 0));

  EVec4 aa = GetAxisAngleBetween(EVec3(1, 0, 0), EVec3(-1, 0, 0));
  EXPECT_EQ(EVec3(aa.x, aa.y, aa.z), EVec3(0, 0, -1));
  EXPECT_EQ(aa.w, 180);
  aa = GetAxisAngleBetween(EVec3(1, 0, 0), EVec3(1, 0, 0));
  EXPECT_EQ(aa.w, 0);
  aa = GetAxisAngleBetween(EVec3(1, 0, 0), EVec3(0, 1, 0));
  EXPECT_EQ(EVec3(aa.x, aa.y, aa.z), EVec3(0, 0, 1));
  EXPECT_EQ(aa.w, 90);
  aa = GetAxisAngleBetween(EVec3(1, 0, 0), EVec3(-0.5f, 0.8660254f, 0));
  EXPECT_NEAR(aa.w, 120, 1e-3);
  aa = GetAxisAngleBetween(EVec3(1.00001f, 0, 0), EVec3(0, 1.00001f, 0));
  EXPECT_FALSE(std::isnan(aa.w));

  EXPECT_EQ(GetAngleBetween(EVec3(1, 0, 0), EVec3(-1, 0, 0), EVec3(1, 0, 0)), 0);
  EXPECT_EQ(GetAngleBetween(EVec3(1, 0, 0), EVec3(-1, 0, 0), EVec3(0, 1, 0)), 180);
  EXPECT_NEAR(GetAngleBetween(EVec3(1, 0, 0), EVec3(0, 0, -1), EVec3(0, 1, 0)), 90, 1e-4);
  EXPECT_NEAR(GetAngleBetween(EVec3(1, 0, 0), EVec3(0, 0, 1), EVec3(0, 1, 0)), -90, 1e-4);
  EXPECT_NEAR(GetAngleBetween(EVec3(1, 0, 0), EVec3(0, 1, 0)), 90, 1e-4);
  EXPECT_NEAR(EVec3(1, 0, 0).AngularDifference(EVec3(0, 0, -1)), 90, 1e-4);
}

TEST(Vec3, SlerpAndSlerpExplicit) {
  const EVec3 a(0, 1, 0);
  const EVec3 b = EVec3(1, -1, 0).GetNormal();  // 135 degrees from a
  const EVec3 expect[] = {a, EVec3(1, 1, 0).GetNormal(), EVec3(1, 0, 0), b};
  const float ts[] = {0, 1.0f / 3, 2.0f / 3, 1};
  const float steps[] = {0, 45, 90, 135};
  for (int i = 0; i < 4; ++i) {
    EVec3 s = TWMath::Slerp(a, b, ts[i], false);
    ExpectNear3(s, expect[i].x, expect[i].y, expect[i].z, 1e-5f);
    EVec3 e = TWMath::SlerpExplicit(a, b, steps[i], false);
    ExpectNear3(e, expect[i].x, expect[i].y, expect[i].z, 1e-5f);
  }
  EXPECT_EQ(TWMath::SlerpExplicit(a, b, 200, false), b);
  // Weights apply to the vectors as given even when normalising.
  EVec3 s = TWMath::Slerp(a * 2.0f, EVec3(2, 0, 0), 0.5f, true);
  ExpectNear3(s, 1.4142135f, 1.4142135f, 0, 1e-5f);
  // Parallel vectors give a back unchanged.
  EXPECT_EQ(TWMath::Slerp(a, a * 3.0f, 0.5f, false), a);
}

TEST(Vec3, RandomCone) {
  ExpectNear3(EVec3::Random(1, -1, 0.5f, 0.25f), 0, 1, 0);
  ExpectNear3(EVec3::Random(1, -1, 0, 0.7f), 1, 0, 0);
  ExpectNear3(EVec3::Random(1, -1, 1, 0.7f), -1, 0, 0);
  ERand saved = g_SimRand;
  g_SimRand.Seed(77);
  for (int i = 0; i < 50; ++i) {
    EVec3 v = EVec3::Random(1, 0.5f);
    EXPECT_NEAR(v.Length(), 1, 1e-5);
    EXPECT_GE(v.x, 0.5f - 1e-5f);
  }
  g_SimRand = saved;
}

TEST(Vec3DeathTest, RandomRejectsBadCone) {
  EXPECT_DEATH(EVec3::Random(-1, 1, 0, 0), "fCosMin >= fCosMax");
  EXPECT_DEATH(EVec3::Random(2, 1, 0, 0), "fCosMin <= 1 && fCosMax >= -1");
}

TEST(Vec4, AxisAngleRoundTrips) {
  EVec4 aa(0, 1, 0, 90);
  ExpectNear3(aa.AxisAngleToEuler(), 0, 90, 0, 1e-4f);
  EVec4 back = EVec3(0, 90, 0).EulerToAxisAngle();
  ExpectNear3(EVec3(back.x, back.y, back.z), 0, 1, 0);
  EXPECT_NEAR(back.w, 90, 1e-4);
  EVec4 fromQ = EVec4(EQuat(0, 0, 0, 1));
  EXPECT_EQ(fromQ.x, 1);
  EXPECT_EQ(fromQ.w, 0);
  EXPECT_FALSE(EVec4(1, 2, 3, 4) / 2.0f != EVec4(0.5f, 1, 1.5f, 2));
}

TEST(NormPacked3, KnownPackings) {
  ENormPacked3 p(EVec3(1, -1, 1));
  EXPECT_EQ(p.m_uWord & 0x7ff, 1023u);
  EXPECT_EQ((p.m_uWord >> 11) & 0x7ff, 0x401u);
  EXPECT_EQ(p.m_uWord >> 22, 511u);
  EXPECT_EQ(p.ToVector(), EVec3(1, -1, 1));

  p.Set(EVec3(0.5f, 0, -0.5f));
  EXPECT_EQ(p.m_uWord & 0x7ff, 512u);
  EXPECT_EQ((p.m_uWord >> 11) & 0x7ff, 0u);
  EXPECT_EQ((int32_t)p.m_uWord >> 22, -256);

  // Out-of-range input is pinned.
  p.Set(EVec3(3, -7, -2));
  EXPECT_EQ(p.ToVector(), EVec3(1, -1, -1));

  const EVec3 trips[] = {{1, 1, 1}, {0.5f, 0.5f, 0.5f}, {0, 0, 0}, {-0.5f, -0.5f, -0.5f}, {-1, -1, -1},
                         {0.3f, -0.7f, 0.64f}};
  for (const EVec3& v : trips) {
    EVec3 r = ENormPacked3(v).ToVector();
    EXPECT_NEAR(r.x, v.x, 0.00048875855f);
    EXPECT_NEAR(r.y, v.y, 0.00048875855f);
    EXPECT_NEAR(r.z, v.z, 0.0009784736f);
  }
}

TEST(Vec3, ConstantsAndOuterProduct) {
  EXPECT_EQ(cg_vDefaultForwardVector, EVec3(0, 0, 1));
  EXPECT_EQ(cg_vDefaultUpVector, EVec3(0, 1, 0));
  EXPECT_EQ(cg_vDefaultRightVector, EVec3(1, 0, 0));
  EXPECT_EQ(cg_vZero3, EVec3());
  EMat3 o = OuterProduct(EVec3(1, 2, 3), EVec3(4, 5, 6));
  // Element [r][c] = a[c] * b[r].
  EXPECT_EQ(o.m[1], 2 * 4);
  EXPECT_EQ(o.m[3], 1 * 5);
  EXPECT_EQ(o.m[8], 3 * 6);
  EMat2 o2 = OuterProduct(EVec2(1, 2), EVec2(3, 4));
  EXPECT_EQ(o2.m[1], 2 * 3);
  EXPECT_EQ(o2.m[2], 1 * 4);
  EXPECT_FALSE(g_bSSESupport);
}

}  // namespace
