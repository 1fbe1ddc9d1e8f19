#include <gtest/gtest.h>

#include "TWMath/Matrix.h"
#include "TWMath/Quaternion.h"

namespace {

void ExpectNear3(const EVec3& v, float x, float y, float z, float eps = 1e-5f) {
  EXPECT_NEAR(v.x, x, eps);
  EXPECT_NEAR(v.y, y, eps);
  EXPECT_NEAR(v.z, z, eps);
}

void ExpectQuatNear(const EQuat& a, const EQuat& b, float eps = 1e-5f) {
  EXPECT_NEAR(a.x, b.x, eps);
  EXPECT_NEAR(a.y, b.y, eps);
  EXPECT_NEAR(a.z, b.z, eps);
  EXPECT_NEAR(a.w, b.w, eps);
}

void ExpectMatNear(const EMat4& a, const EMat4& b, float eps = 1e-5f) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(a.m[i], b.m[i], eps) << "element " << i;
}

TEST(Quat, RotationAgreesWithMatrix) {
  EQuat q(0, 0, 0.7071068f, 0.7071068f);
  ExpectNear3(q * EVec3(1, 0, 0), 0, 1, 0);
  ExpectNear3(EMat4(q) % EVec3(1, 0, 0), 0, 1, 0);
  // Products compose like matrices: a·b applies b first.
  EQuat a = EQuat().FromEuler(EVec3(10, 20, 30));
  EQuat b = EQuat().FromAxisAngle(EVec4(EVec3(1, 2, 1).GetNormal(), 40));
  ExpectMatNear(EMat4(a * b), EMat4(a) * EMat4(b));
  ExpectNear3((a * b) * EVec3(1, 2, 3), (EMat4(a) * EMat4(b) % EVec3(1, 2, 3)).x,
              (EMat4(a) * EMat4(b) % EVec3(1, 2, 3)).y, (EMat4(a) * EMat4(b) % EVec3(1, 2, 3)).z, 1e-4f);
  // Euler angles agree with the matrix builder.
  ExpectMatNear(EMat4(a, EVec3(4, 8, 12)),
                [] { EMat4 m = MatrixRotateEuler(EEuler(10, 20, 30)); m.SetTranslation(EVec3(4, 8, 12)); return m; }());
  // A matrix round trip through every branch of FromMatrix.
  const EEuler angles[] = {{10, 20, 30}, {170, 5, 5}, {5, 175, 10}, {0, 0, 179}, {90, 90, 0}};
  for (const EEuler& e : angles) {
    EMat4 m = MatrixRotateEuler(e);
    ExpectMatNear(EMat4(EQuat(m)), m, 1e-5f);
  }
  // The rotation of D seen through its quaternion.
  EMat4 D = MatrixRotateY(-90);
  D.SetTranslation(EVec3(0, 10, 0));
  ExpectNear3(D / EVec3(1, 0, 0), 0, 0, 1);
  ExpectNear3(EQuat(D) * EVec3(1, 0, 0), 0, 0, 1);
  ExpectNear3(D % EVec3(1, 0, 0), 0, 10, 1);
  ExpectQuatNear(a.InvTransform(a * b * a.Conjugate()), b);
}

TEST(Quat, EulerAndAxisAngle) {
  EQuat e = EQuat().FromEuler(EVec3(0, 90, 0));
  EQuat aa = EQuat().FromAxisAngle(EVec4(0, 1, 0, 90));
  ExpectQuatNear(e, aa, 1e-6f);
  ExpectNear3(e.ToEuler(), 0, 90, 0, 1e-3f);

  EQuat neg = EQuat().FromAxisAngle(EVec4(0, 0, 1, -90));
  ExpectQuatNear(neg, EQuat(0, 0, 0.7071068f, -0.7071068f));
  ExpectQuatNear(neg, EQuat().FromAxisAngle(EVec4(0, 0, 1, 270)), 1e-6f);

  EVec4 back = EQuat(0, 0, 0, 1).ToAxisAngle();
  EXPECT_EQ(back.x, 1);
  EXPECT_EQ(back.w, 0);
  back = aa.ToAxisAngle();
  ExpectNear3(EVec3(back.x, back.y, back.z), 0, 1, 0);
  EXPECT_NEAR(back.w, 90, 1e-3);

  // Rotation vectors.
  EQuat ax = EQuat().FromAxial(EVec3(0, 0, 1.5707964f));
  ExpectQuatNear(ax, EQuat(0, 0, 0.7071068f, 0.7071068f));
  ExpectQuatNear(EQuat().FromAxial(EVec3(0, 0, 0)), EQuat(0, 0, 0, 1));
}

TEST(Quat, LnAndExp) {
  const EVec3 axes[] = {EVec3(0, 0, 1), EVec3(1, 2, 1).GetNormal()};
  for (const EVec3& axis : axes) {
    for (float angle = -350; angle < 360; angle += 45) {
      EQuat q(EVec4(axis, angle));
      EVec4 aa = q.ToAxisAngle();
      EQuat l = q.Ln();
      EXPECT_EQ(l.w, 0);
      ExpectNear3(EVec3(l.x, l.y, l.z) * 114.59156f, aa.x * aa.w, aa.y * aa.w, aa.z * aa.w, 2e-3f);
      ExpectQuatNear(l.Exp(), q, 1e-5f);
    }
  }
  ExpectQuatNear(EQuat(0, 0, 0, 1).Ln(), EQuat(0, 0, 0, 0));
}

TEST(Quat, NormalizeLerpSlerp) {
  EQuat z(0, 0, 0, 0);
  EXPECT_EQ(z.Normalize(), 0);
  ExpectQuatNear(z, cg_qIdentity, 0);
  EQuat big(0, 0, 0, 2);
  EXPECT_EQ(big.Normalize(), 2);
  EXPECT_EQ(big.w, 1);
  EQuat one(0, 0, 0, 1.000001f);  // within tolerance: only pinned
  EXPECT_EQ(one.Normalize(), 1.000001f);
  EXPECT_EQ(one.w, 1);

  EQuat quarter = EQuat().FromAxisAngle(EVec4(0, 0, 1, 90));
  EQuat eighth = EQuat().FromAxisAngle(EVec4(0, 0, 1, 45));
  ExpectQuatNear(cg_qIdentity.Slerp(quarter, 0.5f, false), eighth);
  EQuat negQuarter = quarter * -1.0f;
  ExpectQuatNear(cg_qIdentity.Slerp(negQuarter, 0.5f, true), eighth);
  ExpectQuatNear(Slerp(cg_qIdentity, quarter, 0, false), cg_qIdentity);
  ExpectQuatNear(Slerp(cg_qIdentity, quarter, 1, false), quarter);
  // Close quaternions use the normalised linear blend.
  EQuat tiny = EQuat().FromAxisAngle(EVec4(0, 0, 1, 2));
  ExpectQuatNear(cg_qIdentity.Slerp(tiny, 0.25f, false), cg_qIdentity.Lerp(tiny, 0.25f), 0);
  ExpectQuatNear(Squad(cg_qIdentity, cg_qIdentity, quarter, quarter, 0.5f), eighth);
  EXPECT_NEAR(cg_qIdentity.AngularDifference(quarter), 45, 1e-3);
  EXPECT_NEAR(cg_qIdentity.ComponentDifference(cg_qIdentity), 0, 0);
  ExpectQuatNear(quarter * quarter.Inverse(), cg_qIdentity);
}

TEST(Quat, DirectionHelpers) {
  EQuat h = ShortestArcQuaternion(EVec3(0, 0, -1), EVec3(0, 0, 1));
  EVec3 axis = EVec3(0, 0, -1).CalculateRightVector(EVec3(0, 1, 0));
  ExpectQuatNear(h, EQuat(EVec4(axis, 180)));
  ExpectNear3(h * EVec3(0, 0, -1), 0, 0, 1);
  EQuat s = ShortestArcQuaternion(EVec3(1, 0, 0), EVec3(0, 1, 0));
  ExpectNear3(s * EVec3(1, 0, 0), 0, 1, 0);

  EQuat f = EQuat().FromCartesian(EVec3(1, 0, 0));
  ExpectNear3(f.ToCartesian(), 1, 0, 0);

  // Keeps +Z and rebuilds the others around the up vector.
  EQuat tilted = EQuat().FromEuler(EVec3(0, 30, 20));
  EQuat kept = tilted.InterpretAsForward(EVec3(0, 1, 0));
  EVec3 zt = tilted * EVec3(0, 0, 1), zk = kept * EVec3(0, 0, 1);
  ExpectNear3(zk, zt.x, zt.y, zt.z, 1e-5f);
  EXPECT_NEAR((kept * EVec3(1, 0, 0)).y, 0, 1e-5);  // right axis level
}

TEST(CompQuat, KnownPackings) {
  ECompQuat c;
  EXPECT_EQ(c.GetWord32(), 0u);
  c.Set(EQuat(0, 0, 0, 1));
  EXPECT_EQ(c.GetWord32(), 3u << 29);
  EXPECT_EQ(c.GetWord16(), 0u);
  ExpectQuatNear(c.Get(), EQuat(0, 0, 0, 1), 0);

  c.Set(EQuat(0.5f, -0.5f, 0.5f, -0.5f));
  uint32_t w32 = c.GetWord32();
  uint16_t w16 = c.GetWord16();
  EXPECT_EQ(w32 >> 29, 0u);                    // ties keep the earliest
  EXPECT_EQ((w32 >> 28) & 1, 1u);              // y negative
  EXPECT_EQ((w32 >> 14) & 0x1fff, 4096u);
  EXPECT_EQ((w32 >> 13) & 1, 0u);              // z positive
  EXPECT_EQ(w32 & 0x1fff, 4096u);
  EXPECT_EQ((w16 >> 14) & 1, 1u);              // w negative
  EXPECT_EQ((w16 >> 1) & 0x1fff, 4096u);
  EXPECT_EQ(w16 & 1, 0u);                      // x positive
  ExpectQuatNear(c.Get(), EQuat(0.5f, -0.5f, 0.5f, -0.5f), 0);

  c.Set(EQuat(0.1f, 0.2f, -0.9f, 0.3f));
  EQuat n(0.1f, 0.2f, -0.9f, 0.3f);
  n.Normalize();
  ExpectQuatNear(c.Get(), n, 3e-4f);
  EXPECT_EQ(c.Get().z < 0, true);

  ECompQuat copy(c.GetWord32(), c.GetWord16());
  ExpectQuatNear(copy.Get(), c.Get(), 0);
  EXPECT_EQ(sizeof(ECompQuat), 6u);
}

TEST(CompQuat, DamagedRecordsStayFinite) {
  // Kept magnitudes whose squares sum above 1, and an index out of range.
  ECompQuat c(0xffffffffu, 0xffffu);
  EQuat q = c.Get();
  EXPECT_FALSE(std::isnan(q.x) || std::isnan(q.y) || std::isnan(q.z) || std::isnan(q.w));
  ECompQuat d((2u << 29) | (0x1fffu << 14) | 0x1fffu, 0x1fffu << 1);
  q = d.Get();
  EXPECT_EQ(q.z, 0.0f);  // the rebuilt component is clamped to zero
}

}  // namespace
