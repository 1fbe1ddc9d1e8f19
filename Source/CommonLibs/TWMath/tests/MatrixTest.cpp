#include <gtest/gtest.h>

#include <string>

#include "TWMath/Matrix.h"
#include "TWMath/Primitives.h"
#include "TWMath/Quaternion.h"
#include "TWUtil/ErrorManager.h"

namespace {

void ExpectNear3(const EVec3& v, float x, float y, float z, float eps = 1e-5f) {
  EXPECT_NEAR(v.x, x, eps);
  EXPECT_NEAR(v.y, y, eps);
  EXPECT_NEAR(v.z, z, eps);
}

void ExpectMatNear(const EMat4& a, const EMat4& b, float eps = 1e-5f) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(a.m[i], b.m[i], eps) << "element " << i;
}

EMat4 RigidSample() {
  EMat4 m = MatrixRotateEuler(EEuler(10, 15, 20));
  m.SetTranslation(EVec3(20, 30, 40));
  return m;
}

TEST(Mat4, RotationBuilders) {
  EXPECT_EQ(MatrixRotateX(0), cg_mIdentity);
  EXPECT_EQ(MatrixRotateY(0), cg_mIdentity);
  ExpectNear3(MatrixRotateZ(90) % EVec3(1, 0, 0), 0, 1, 0);
  ExpectNear3(MatrixRotateY(90) % EVec3(0, 0, -1), -1, 0, 0);
  ExpectNear3(MatrixRotateX(90) % EVec3(0, 0, -1), 0, 1, 0);
  // Euler angles rotate about X, then Y, then Z.
  EEuler e(10, 20, 30);
  EMat4 chained = MatrixRotateZ(30) * MatrixRotateY(20) * MatrixRotateX(10);
  ExpectMatNear(MatrixRotateEuler(e), chained);
  EXPECT_EQ(e.ToMatrix(), MatrixRotateEuler(e));
}

TEST(Mat4, ProductOrder) {
  EMat4 A = MatrixTranslate(1, 0, 0);
  EMat4 B = MatrixRotateZ(90);
  ExpectNear3((A * B) % EVec3(0, 0, 0), 1, 0, 0);
  ExpectNear3((B * A) % EVec3(0, 0, 0), 0, 1, 0);
  // Every product form agrees bit for bit.
  EMat4 R = RigidSample();
  EMat4 S = MatrixRotateEuler(EEuler(4, 30, 50)) * MatrixTranslate(7, -3, 2);
  EMat4 P = R * S;
  EMat4 C = R;
  C *= S;
  EXPECT_EQ(C, P);
  EXPECT_EQ(R.Mul(S), P);
  EXPECT_EQ(R.MulUnaligned(S), P);
  EMat4 out;
  EMat4::Mul(out, R, S);
  EXPECT_EQ(out, P);
  EMat4 alias = R;
  EMat4::Mul(alias, alias, S);
  EXPECT_EQ(alias, P);
  EXPECT_EQ(SSEMul_4x4_4x4_2arg(R, S), P);
  EMat4 sse;
  SSEMul_4x4_4x4_3arg(sse, R, S);
  EXPECT_EQ(sse, P);
  EMat4 sseAlias = R;
  SSEMul_4x4_4x4_3arg(sseAlias, sseAlias, S);
  EXPECT_EQ(sseAlias, P);
  // The product is associative with points: (R*S) p == R (S p).
  EVec3 p(1, 2, 3);
  ExpectNear3(P % p, (R % (S % p)).x, (R % (S % p)).y, (R % (S % p)).z, 1e-4f);
}

TEST(Mat4, LocalSpaceSteps) {
  EMat4 R = RigidSample();
  const EVec3 s(3, 5, 11);
  EMat4 S = MatrixScale(s);
  EMat4 lhs = R;
  lhs.ScaleLHS(s);
  ExpectMatNear(S * R, lhs, 1e-4f);
  EMat4 rhs = R;
  rhs.Scale(s);
  ExpectMatNear(R * S, rhs, 1e-4f);

  EMat4 t = R;
  t.Translate(1, 2, 3);
  EXPECT_EQ(t, R * MatrixTranslate(1, 2, 3));
  EMat4 rz = R;
  rz.RotateZ(33);
  EXPECT_EQ(rz, R * MatrixRotateZ(33));
  EMat4 same = R;
  same.RotateX(0);
  EXPECT_EQ(same, R);
  EMat4 re = R;
  re.RotateEuler(EEuler(5, 6, 7));
  EXPECT_EQ(re, R * MatrixRotateEuler(EEuler(5, 6, 7)));

  const EVec3 v(0.2f, -0.4f, 0.9f);
  EXPECT_EQ(S % v, s * v);
  EXPECT_EQ(S / v, s * v);
  ExpectNear3(R / v - (R % v - R.GetTranslation()), 0, 0, 0, 1e-4f);
}

TEST(Mat4, Projections) {
  EMat4 P = MatrixPerspectiveProjection(180, 1, 10, 50000);
  EXPECT_NEAR(P.m[0], 1, 1e-6);
  EXPECT_NEAR(P.m[5], 1, 1e-6);
  ExpectMatNear(P * MatrixPerspectiveProjectionInv(180, 1, 10, 50000), cg_mIdentity, 1e-4f);
  EMat4 Q = MatrixPerspectiveProjection(70, 1.5f, 1, 100);
  ExpectMatNear(Q * MatrixPerspectiveProjectionInv(70, 1.5f, 1, 100), cg_mIdentity, 1e-4f);
  // Near maps to depth 0 and far to 1.
  EXPECT_NEAR(Q.TransformPointPerspective(EVec3(0, 0, -1)).z, 0, 1e-6);
  EXPECT_NEAR(Q.TransformPointPerspective(EVec3(0, 0, -100)).z, 1, 1e-5);

  EMat4 O = MatrixOrthoProjection(200, 100, 1, 11);
  ExpectNear3(O % EVec3(100, -50, -1), 1, -1, 0);
  ExpectNear3(O % EVec3(0, 0, -11), 0, 0, 1);

  // A corner at w = 0 is guarded rather than sent to infinity.
  EMat4 W = cg_mZero4;
  W.m[0] = W.m[5] = W.m[10] = 1;
  EXPECT_EQ(W.TransformPointPerspective(EVec3(1, 2, 3)), EVec3(1e9f, 2e9f, 3e9f));
}

TEST(Mat4, LookAt) {
  EMat4 V = MatrixLookAt(EVec3(1, 2, 3), EVec3(1, 2, 2), EVec3(0, 1, 0));
  ExpectNear3(V % EVec3(1, 2, 3), 0, 0, 0);
  ExpectNear3(V % EVec3(1, 2, 2), 0, 0, -1);
  ExpectNear3(V % EVec3(2, 2, 2), 1, 0, -1);  // +X to the right
  ExpectNear3(V % EVec3(1, 3, 2), 0, 1, -1);
  EMat4 D = MatrixLookAt(EVec3(1, 1, 1), EVec3(1, 1, 1), EVec3(0, 1, 0));
  for (float f : D.m) EXPECT_FALSE(std::isnan(f));
}

TEST(Mat4, Inverses) {
  ExpectMatNear(MatrixTranslate(1, 2, 3).Inverse(), MatrixTranslate(-1, -2, -3), 0);
  EMat4 R = MatrixRotateEuler(EEuler(10, 15, 20));
  ExpectMatNear(R * R.Inverse(), cg_mIdentity);
  ExpectMatNear(R * R.OrthoInverse(), cg_mIdentity);
  R.SetTranslation(EVec3(20, 30, 40));
  ExpectMatNear(R * R.Inverse(), cg_mIdentity, 1e-4f);
  ExpectMatNear(R.OrthoInverse(), R.Inverse(), 1e-4f);
  EMat4 M = R * MatrixScale(2, 3, 4) * MatrixRotateEuler(EEuler(4, 30, 50));
  M.SetTranslation(EVec3(100, 200, 3));
  ExpectMatNear(M * M.Inverse(), cg_mIdentity, 1e-4f);
  M.Orthonormalize();
  M.SetTranslation(EVec3(0, 0, 0));
  ExpectMatNear(M * M.OrthoInverse(), cg_mIdentity, 1e-5f);
  EMat4 P = MatrixRotateEuler(EEuler(10, 20, 30)) * MatrixTranslate(10, 20, 30);
  EMat4 Pi = P.Inverse();
  ExpectMatNear(P.Mul(Pi), cg_mIdentity, 1e-4f);
  P *= Pi;
  ExpectMatNear(P, cg_mIdentity, 1e-4f);
  // A projective matrix inverts too.
  EMat4 Q = MatrixPerspectiveProjection(70, 1.5f, 1, 100);
  ExpectMatNear(Q.Inverse(), MatrixPerspectiveProjectionInv(70, 1.5f, 1, 100), 1e-4f);
}

std::string g_sTraced;
void CaptureTrace(const char* text) { g_sTraced += text; g_sTraced += "\n"; }

TEST(Mat4, SingularInverseIsIdentityWithWarning) {
  EMat4 Z = RigidSample();
  Z.LoadCol(1, 0, 0, 0, 0);  // a zero row
  g_sTraced.clear();
  g_ErrorManager.SetConsoleCallback(CaptureTrace);
  EMat4 inv = Z.Inverse();
  g_ErrorManager.SetConsoleCallback(nullptr);
  EXPECT_EQ(inv, cg_mIdentity);
  EXPECT_NE(g_sTraced.find("singular"), std::string::npos) << g_sTraced;
  EXPECT_EQ(g_sTraced.rfind(g_ErrorManager.GetTag(TT_Warning), 0), 0u) << g_sTraced;
}

TEST(Mat4, ToEulerRoundTrips) {
  const EEuler cases[] = {{10, 20, 30}, {-40, 60, -80}, {0, 0, 0}, {5, -85, 45}, {170, 10, 20}};
  for (const EEuler& e : cases) {
    EEuler back = MatrixRotateEuler(e).ToEuler();
    EXPECT_GE(back.z, -90);
    EXPECT_LE(back.z, 90);
    ExpectMatNear(MatrixRotateEuler(back), MatrixRotateEuler(e), 1e-4f);
  }
  EEuler e = MatrixRotateEuler(EEuler(10, 20, 30)).ToEuler();
  EXPECT_NEAR(e.x, 10, 1e-3);
  EXPECT_NEAR(e.y, 20, 1e-3);
  EXPECT_NEAR(e.z, 30, 1e-3);
  EEuler z120 = MatrixRotateEuler(EEuler(0, 0, 120)).ToEuler();
  EXPECT_NEAR(z120.z, -60, 1e-3);
  ExpectMatNear(MatrixRotateEuler(z120), MatrixRotateEuler(EEuler(0, 0, 120)), 1e-4f);
}

TEST(Mat4, FromFwdAndOrthonormalize) {
  EMat4 M;
  M.FromFwd(EVec3(0, 1, 0), EVec3(0, 1, 0));
  ExpectNear3(EVec3(M.m[8], M.m[9], M.m[10]), 0, -1, 0);
  ExpectNear3(EVec3(M.m[0], M.m[1], M.m[2]), 0, 0, -1);  // from the (1, 0, 0) fallback
  EXPECT_EQ(M.m[15], 1);
  M.FromFwd(EVec3(0, 0, -5), EVec3(0, 1, 0));
  ExpectMatNear(M, cg_mIdentity);
  M.FromFwd(EVec3(1, 0, 0), EVec3(0, 1, 0));
  ExpectNear3(M.Mul3Vec3(EVec3(0, 0, -1)), 1, 0, 0);

  EMat4 N = MatrixRotateEuler(EEuler(10, 20, 30)) * MatrixScale(1.1f, 0.9f, 1.3f);
  N.m[4] += 0.000001f;
  N.SetTranslation(EVec3(5, 6, 7));
  N.Orthonormalize();
  EVec3 x, y, z;
  N.GetBasisVectors(x, y, z);
  EXPECT_NEAR(x.Length(), 1, 1e-6);
  EXPECT_NEAR(y.Length(), 1, 1e-6);
  EXPECT_NEAR(x.Dot(y), 0, 1e-6);
  ExpectNear3(z, x.Cross(y).x, x.Cross(y).y, x.Cross(y).z, 0);
  EXPECT_EQ(N.GetTranslation(), EVec3(5, 6, 7));
}

TEST(Mat4, ConstructionAndAccess) {
  EMat4 M(EVec3(1, 2, 3), EVec3(4, 5, 6), EVec3(7, 8, 9), EVec3(10, 11, 12));
  EXPECT_EQ(M, EMat4(1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0, 10, 11, 12, 1));
  M.GetTranslation().y = 99;
  EXPECT_EQ(M.m[13], 99);
  EMat4 r = M.GetRotation();
  EXPECT_EQ(r, EMat4(1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0, 0, 0, 0, 1));
  M.LoadIdentity3x3();
  EXPECT_EQ(M, EMat4(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 10, 99, 12, 1));
  EXPECT_EQ(EMat4(cg_mIdentity3), cg_mIdentity);
  EXPECT_EQ(MatrixTranslate(1, 2, 3).Transpose().m[3], 1);

  EMat4 A = RigidSample(), B = MatrixScale(2, 3, 4);
  EXPECT_EQ(EMat4::Lerp(A, B, 1), A);
  EXPECT_EQ(EMat4::Lerp(A, B, 0), B);
  EMat4 C = A;
  C.MAdd(B, 0.5f);
  EXPECT_EQ(C.m[0], A.m[0] + 1.0f);
  EXPECT_EQ(C.m[15], A.m[15] + 0.5f);
  EXPECT_EQ((A * 2.0f).m[12], 40);
  EXPECT_EQ(A.MulVec4(EVec4(1, 0, 0, 0)).w, 0);
}

TEST(Mat4, PlanesAndReflection) {
  EMat4 M = MatrixRotateEuler(EEuler(10, 20, 30));
  M.SetTranslation(EVec3(3, -4, 5));
  EPlane p(EVec3(0, 0, 1), -2.0f);  // z = 2
  EPlane q = M.Transform(p);
  EVec3 onPlane = M % EVec3(7, -1, 2);
  EXPECT_NEAR(q.n.Dot(onPlane) + q.d, 0, 1e-4);
  EXPECT_NEAR(q.n.Length(), 1, 1e-6);
  // Uniform scale keeps the convention.
  EMat4 S = MatrixScale(3, 3, 3) * M;
  EPlane qs = S.Transform(p);
  EXPECT_NEAR(qs.n.Dot(S % EVec3(7, -1, 2)) + qs.d, 0, 1e-4);

  EMat4 R = MatrixReflect(EPlane(EVec3(0, 2, 0), -4.0f));  // y = 2
  ExpectNear3(R % EVec3(1, 5, 3), 1, -1, 3);
  EMat4 Z = MatrixReflect(EPlane(EVec3(0, 0, 0), 3.0f));
  ExpectMatNear(Z, cg_mIdentity, 0);
}

}  // namespace
