#include <gtest/gtest.h>

#include "TWMath/BoundingBox.h"
#include "TWMath/Matrix.h"
#include "TWMath/Primitives.h"
#include "TWUtil/ErrorManager.h"

#include <string>

namespace {

void ExpectNear3(const EVec3& v, float x, float y, float z, float eps = 1e-5f) {
  EXPECT_NEAR(v.x, x, eps);
  EXPECT_NEAR(v.y, y, eps);
  EXPECT_NEAR(v.z, z, eps);
}

TEST(Segments, DirectionAndLengthFixedOnce) {
  ESeg3 s(EVec3(0, 0, 0), EVec3(0, 0, 2));
  EXPECT_EQ(s.dir, EVec3(0, 0, 1));
  EXPECT_EQ(s.length, 2);
  EXPECT_EQ(s.Mag2(), 4);
  EXPECT_EQ(s.ParametricToPoint(0.25f), EVec3(0, 0, 0.5f));
  ESeg3 z(EVec3(0, 0, 0), EVec3(0, 0, 0));
  EXPECT_EQ(z.length, 0);
  EXPECT_EQ(z.dir, EVec3(0, 0, 0));
  ESeg3 u(EVec3(0, 0, 0), EVec3(1, 0, 0));
  EXPECT_EQ(u.length, 1);
  ESeg3 d;
  EXPECT_EQ(d.start, EVec3());

  ESeg2 s2(EVec2(1, 1), EVec2(4, 5));
  EXPECT_EQ(s2.length, 5);
  EXPECT_FLOAT_EQ(s2.End().x, 4);
  EXPECT_FLOAT_EQ(s2.End().y, 5);

  EFastSeg3 f(EVec3(0, 0, 0), EVec3(2, 4, 6), TagPOINTS());
  EXPECT_EQ(f.ParametricToPoint(0.5f), EVec3(1, 2, 3));
  EXPECT_EQ(f.ParametricToPoint(1), EVec3(2, 4, 6));
  ELine3 l(EVec3(1, 1, 1), EVec3(0, 2, 0), TagPARAMETRIC());
  EXPECT_EQ(l.p1, EVec3(1, 3, 1));
  EXPECT_EQ(l.Dir(), EVec3(0, 2, 0));
}

TEST(Planes, FromPointsAndProjection) {
  EPlane p(EVec3(0, 0, 0), EVec3(1, 0, 0), EVec3(0, 1, 0));
  EXPECT_EQ(p.n, EVec3(0, 0, -1));
  EXPECT_EQ(p.d, 0);
  EXPECT_EQ(p.Project(EVec3(3, 4, 5)), EVec3(3, 4, 0));
  EPlane q(EVec3(0, 1, 0), EVec3(7, 3, -2));
  EXPECT_EQ(q.d, -3);
  ExpectNear3(q.Project(EVec3(1, 10, 1)), 1, 3, 1);
  EPlane t(EVec3(0, 1, 0), EVec3(1, 1, 1), EVec3(2, 2, 0));
  EVec3 x(5, -7, 9);
  EVec3 f = t.Project(x);
  EXPECT_NEAR(t.n.Dot(f) + t.d, 0, 1e-5);
  EXPECT_NEAR(ABS(t.n.Dot((x - f).GetNormal())), 1, 1e-5);
}

TEST(Spheres, FromBoxAndTransform) {
  ESphere s(EBox3(EVec3(0, 0, 0), EVec3(2, 4, 6)));
  EXPECT_EQ(s.centre, EVec3(1, 2, 3));
  EXPECT_EQ(s.radius, 2);
  ESphere t = s.Transform(MatrixTranslate(1, 1, 1) * MatrixScale(5, 5, 5));
  EXPECT_EQ(t.centre, EVec3(6, 11, 16));
  EXPECT_EQ(t.radius, 2);
  ECylinder c(EVec3(1, 2, 3), 4, 5);
  EXPECT_EQ(c.height, 5);
}

TEST(Triangles, UnitRightTriangle) {
  ETri3 t(EVec3(0, 0, 0), EVec3(1, 0, 0), EVec3(0, 1, 0));
  EXPECT_EQ(t.GetFaceNormal(), EVec3(0, 0, -1));
  EXPECT_EQ(t.GetArea(), 0.5f);
  EVec2 uv = t.ConvertPointToBarycentric(EVec3(0.25f, 0.5f, 0));
  EXPECT_EQ(uv.x, 0.25f);
  EXPECT_EQ(uv.y, 0.5f);
  EXPECT_EQ(t.ConvertBarycentricToPoint(uv), EVec3(0.25f, 0.5f, 0));
  EXPECT_EQ(t.GetRelativeCircumcenter(), EVec3(0.5f, 0.5f, 0));
  EPlane p = t.GetFacePlane();
  EXPECT_EQ(p.n, EVec3(0, 0, -1));
  // A degenerate triangle has no circumcentre to speak of: zero.
  ETri3 line(EVec3(0, 0, 0), EVec3(1, 0, 0), EVec3(2, 0, 0));
  EXPECT_EQ(line.GetRelativeCircumcenter(), EVec3(0, 0, 0));
  EXPECT_EQ(line.GetFaceNormal(), EVec3(0, 0, 0));
  // A tilted triangle: circumcentre equidistant from the three vertices.
  ETri3 g(EVec3(1, 2, 3), EVec3(4, -1, 2), EVec3(0, 5, -3));
  EVec3 cc = g.p0 + g.GetRelativeCircumcenter();
  EXPECT_NEAR((cc - g.p0).Length(), (cc - g.p1).Length(), 1e-4);
  EXPECT_NEAR((cc - g.p0).Length(), (cc - g.p2).Length(), 1e-4);
}

TEST(Triangles, IsZeroArea) {
  struct { EVec3 a, b, c; bool zero; } cases[] = {
      {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, false},
      {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}, true},
      {{3, 3, 3}, {3, 3, 3}, {3, 3, 3}, true},
      {{0, 0, 0}, {0, 0, 0}, {1, 2, 3}, true},
      {{0, 0, 0}, {1, 0, 0}, {1, 0, 0.000011f}, false},
      {{0, 0, 0}, {1, 0, 0}, {1, 0, 0.000009f}, true},
      {{0, 0, 0}, {100000, 0, 0}, {100000, 0, 1.1f}, false},
      {{0, 0, 0}, {100000, 0, 0}, {100000, 0, 0.9f}, true},
  };
  for (auto& c : cases) {
    // The test does not depend on which vertex comes first.
    EXPECT_EQ(ETri3(c.a, c.b, c.c).IsZeroArea(), c.zero) << c.c.z;
    EXPECT_EQ(ETri3(c.b, c.c, c.a).IsZeroArea(), c.zero) << c.c.z;
    EXPECT_EQ(ETri3(c.c, c.a, c.b).IsZeroArea(), c.zero) << c.c.z;
  }
}

TEST(Triangles, Containment) {
  const EVec2 samples[] = {{0, 0}, {1, 0}, {0, 1}, {0.5f, 0.5f}, {0.5f, 0.6f},
                           {-0.8f, 0.2f}, {-0.1f, 0.3f}, {0.3f, -0.1f}, {-0.1f, -0.1f}, {0.5f, 0.4f}};
  ETri3 t3(EVec3(3, 0, 0), EVec3(0, 8, 0), EVec3(0, 0, 5));
  ETri2D t2(EVec2(0, 0), EVec2(-1, 5), EVec2(1, 10));
  ETri2D t2r(EVec2(0, 0), EVec2(1, 10), EVec2(-1, 5));
  for (const EVec2& uv : samples) {
    bool closed = uv.x >= 0 && uv.y >= 0 && uv.x + uv.y <= 1;
    bool open = uv.x > 0 && uv.y > 0 && uv.x + uv.y < 1;
    EXPECT_EQ(t3.ContainsPoint(t3.ConvertBarycentricToPoint(uv), t3.GetFaceNormal(), -1), closed)
        << uv.x << "," << uv.y;
    EXPECT_EQ(t2.ContainsPoint(t2.ConvertBarycentricToPoint(uv)), open) << uv.x << "," << uv.y;
    // Either winding.
    EXPECT_EQ(t2r.ContainsPoint(t2r.ConvertBarycentricToPoint(EVec2(uv.y, uv.x))), open);
  }
  // A point on an edge: inside for the 3D test, outside for the 2D one.
  ETri3 flat(EVec3(0, 0, 0), EVec3(2, 0, 0), EVec3(0, 2, 0));
  EXPECT_TRUE(flat.ContainsPoint(EVec3(1, 0, 0), EVec3(0, 0, 1), -1));
  EXPECT_FALSE(ETri2D(EVec2(0, 0), EVec2(2, 0), EVec2(0, 2)).ContainsPoint(EVec2(1, 0)));
  EXPECT_FALSE(flat.ContainsPoint(EVec3(2, 2, 0), EVec3(0, 0, 1), -1));
  // An explicit axis drops that coordinate.
  ETri3 side(EVec3(0, 0, 0), EVec3(0, 2, 0), EVec3(0, 0, 2));
  EXPECT_TRUE(side.ContainsPoint(EVec3(9, 0.5f, 0.5f), EVec3(0, 0, 1), 0));
  EXPECT_FALSE(side.ContainsPoint(EVec3(9, 0.5f, 0.5f), EVec3(0, 0, 1), 2));
}

TEST(Boxes, BuildAndGrow) {
  EBox3 b;
  EXPECT_EQ(b.vMin, EVec3());
  const EVec3 pts[] = {{1, 5, -2}, {-3, 2, 4}, {0, 7, 1}};
  b.Set(pts, 3);
  EXPECT_EQ(b.vMin, EVec3(-3, 2, -2));
  EXPECT_EQ(b.vMax, EVec3(1, 7, 4));
  EXPECT_EQ(b.GetCenter(), EVec3(-1, 4.5f, 1));
  EXPECT_EQ(b.GetExtent(), EVec3(2, 2.5f, 3));
  EXPECT_EQ(b.GetAxialExtent(AXIS_X), 2);
  EXPECT_EQ(b.GetAxialExtent(AXIS_Y), 2.5f);
  EXPECT_EQ(b.GetAxialExtent(0), 3);
  EXPECT_EQ(b.GetMaxExtent(), 3);

  // A point never moves both corners of one axis, even for an inverted box.
  EBox3 inv(EVec3(1, 1, 1), EVec3(-1, -1, -1));
  inv.Add(EVec3(0, 0, 0));
  EXPECT_EQ(inv.vMin, EVec3(0, 0, 0));
  EXPECT_EQ(inv.vMax, EVec3(-1, -1, -1));

  EBox3 c(EVec3(0, 0, 0), EVec3(1, 1, 1));
  c.Add(EVec3(2, -1, 0.5f));
  EXPECT_EQ(c.vMin, EVec3(0, -1, 0));
  EXPECT_EQ(c.vMax, EVec3(2, 1, 1));
  c.Add(ESphere(EVec3(1, 0, 0.5f), 5));
  EXPECT_EQ(c.vMin, EVec3(-4, -5, -4.5f));
  EXPECT_EQ(c.vMax, EVec3(6, 5, 5.5f));
  EBox3 d(EVec3(0, 0, 0), EVec3(1, 1, 1));
  d.Add(EBox3(EVec3(-1, 0.5f, 0.5f), EVec3(0.5f, 3, 0.7f)));
  EXPECT_EQ(d.vMin, EVec3(-1, 0, 0));
  EXPECT_EQ(d.vMax, EVec3(1, 3, 1));
  EBox3 u = EBox3(EVec3(0, 0, 0), EVec3(1, 1, 1)).GetUnion(EBox3(EVec3(2, 2, 2), EVec3(3, 3, 3)));
  EXPECT_EQ(u.vMax, EVec3(3, 3, 3));
  EXPECT_EQ(u.vMin, EVec3(0, 0, 0));

  EBox3 inf = d.GetInflatedBox(1);
  EXPECT_EQ(inf.vMin, EVec3(-2, -1, -1));
  EXPECT_EQ(EBox3(EVec3(1, 2, 3), 2.0f).vMax, EVec3(3, 4, 5));
  EBox3 fromSphere(ESphere(EVec3(1, 2, 3), 1));
  EXPECT_EQ(fromSphere.vMin, EVec3(0, 1, 2));
  EBox3 fromCube(ESSECube(EVec3(1, 2, 3), 2));
  EXPECT_EQ(fromCube.vMax, EVec3(3, 4, 5));
}

TEST(Boxes, NearestAndFurthest) {
  EBox3 b(EVec3(0, 0, 0), EVec3(2, 2, 2));
  EXPECT_EQ(b.NearestPosition(EVec3(-1, 1, 5)), EVec3(0, 1, 2));
  EXPECT_EQ(b.FurthestPosition(EVec3(-1, 1, 1.5f)), EVec3(2, 2, 0));  // a tie gives the maximum
}

std::string g_sTraced;
void CaptureTrace(const char* text) { g_sTraced += text; g_sTraced += "\n"; }

TEST(Boxes, EmptyPointListIsReportedAndIgnored) {
  EBox3 b(EVec3(1, 1, 1), EVec3(2, 2, 2));
  g_sTraced.clear();
  g_ErrorManager.SetConsoleCallback(CaptureTrace);
  b.Set(nullptr, 0);
  g_ErrorManager.SetConsoleCallback(nullptr);
  EXPECT_EQ(b.vMin, EVec3(1, 1, 1));
  EXPECT_EQ(b.vMax, EVec3(2, 2, 2));
  EXPECT_NE(g_sTraced.find("iCount"), std::string::npos) << g_sTraced;
  EXPECT_NE(g_sTraced.find("BoundingBox.cpp"), std::string::npos) << g_sTraced;
}

TEST(Boxes, Transforms) {
  EBox3 b(EVec3(1, 2, 3), EVec3(5, 10, 15));
  EBox3 same = b.TransformAffine(cg_mIdentity);
  EXPECT_EQ(same.vMin, b.vMin);
  EXPECT_EQ(same.vMax, b.vMax);

  EBox3 mirrored = b.TransformAffine(MatrixScale(-1, 1, 1));
  EXPECT_EQ(mirrored.vMin, EVec3(-5, 2, 3));
  EXPECT_EQ(mirrored.vMax, EVec3(-1, 10, 15));

  // The affine and the in-place forms agree for the permutations of the
  // rotation angles; both bound the transformed corners.
  const EEuler perms[] = {{10, 20, 30}, {10, 30, 20}, {20, 10, 30}, {20, 30, 10}, {30, 10, 20}, {30, 20, 10}};
  for (const EEuler& e : perms) {
    EMat4 m = MatrixRotateEuler(e);
    m.SetTranslation(EVec3(4, -5, 6));
    EBox3 a = b.TransformAffine(m);
    EBox3 t = b;
    t.TransformBy(m);
    ExpectNear3(a.vMin, t.vMin.x, t.vMin.y, t.vMin.z, 1e-4f);
    ExpectNear3(a.vMax, t.vMax.x, t.vMax.y, t.vMax.z, 1e-4f);
    for (int i = 0; i < 8; ++i) {
      EVec3 c((i & 4) ? b.vMax.x : b.vMin.x, (i & 2) ? b.vMax.y : b.vMin.y, (i & 1) ? b.vMax.z : b.vMin.z);
      EVec3 p = m % c;
      for (int k = 0; k < 3; ++k) {
        EXPECT_GE(p[k], a.vMin[k] - 1e-4f);
        EXPECT_LE(p[k], a.vMax[k] + 1e-4f);
      }
    }
  }

  EMat4 P = MatrixPerspectiveProjection(90, 1, 1, 100);
  EBox3 view(EVec3(-1, -1, -10), EVec3(1, 1, -2));
  EBox3 clip = view.TransformPerspective(P);
  EXPECT_GE(clip.vMin.z, 0);
  EXPECT_LE(clip.vMax.z, 1);
  // A corner at w = 0 maps through SafeDivide rather than to infinity.
  EBox3 atEye(EVec3(0, 0, 0), EVec3(1, 1, 0));
  EBox3 e = atEye.TransformPerspective(P);
  EXPECT_FALSE(std::isinf(e.vMax.x));
  EXPECT_GE(e.vMax.x, 1e8f);
}

TEST(Boxes, TwoDimensionalAndCubes) {
  EBox2 a(EVec2(0, 0), EVec2(-2, 3));
  EXPECT_EQ(a.Width(), 2);
  EXPECT_EQ(a.Height(), 3);
  EBox2 b(EVec2(0, 0), EVec2(2, 3));
  EXPECT_TRUE(b.ContainsPoint(EVec2(2, 3)));
  EXPECT_FALSE(b.ContainsPoint(EVec2(2.001f, 1)));
  EXPECT_TRUE(b.IntersectsBox(EBox2(EVec2(2, 3), EVec2(5, 5))));  // touching counts
  EXPECT_FALSE(b.IntersectsBox(EBox2(EVec2(2.5f, 0), EVec2(5, 5))));

  ESSECube c(EVec3(100, 200, 300), 10);
  EXPECT_TRUE(c.ContainsPoint(EVec3(110, 200, 300)));  // on a face
  EXPECT_TRUE(c.ContainsPoint(EVec3(95, 209, 291)));
  for (int axis = 0; axis < 3; ++axis) {
    EVec3 p(100, 200, 300);
    p[axis] += 11;
    EXPECT_FALSE(c.ContainsPoint(p));
  }
  EXPECT_EQ(alignof(ESSECube), 16u);
  ECube old;
  EXPECT_EQ(old.corner, EVec3());
  old.size = 4;
  EXPECT_EQ(old.GetCenter(), EVec3(2, 2, 2));
}

}  // namespace
