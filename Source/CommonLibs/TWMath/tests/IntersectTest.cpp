#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "TWMath/Frustum.h"
#include "TWMath/Intersect.h"
#include "TWMath/Matrix.h"

namespace {

using TWMath::FindIntersection;
using TWMath::FindIntersectionCullBackfacing;
using TWMath::TestIntersection;
using TWMath::TestIntersectionCullBackfacing;

EBox3 CentredBox(const EVec3& c, float h) { return EBox3(c - EVec3(h, h, h), c + EVec3(h, h, h)); }

TEST(TestIntersection, PointContainment) {
  ESphere sphere(EVec3(1, 1, 1), 1);
  EXPECT_TRUE(TestIntersection(EVec3(1, 1, 1.5f), sphere));
  EXPECT_FALSE(TestIntersection(EVec3(1, 1, 2), sphere));  // the surface is outside
  EBox3 box(EVec3(1, 1, 1), EVec3(2, 2, 2));
  EXPECT_TRUE(TestIntersection(EVec3(2, 1.5f, 1), box));  // a face is inside
  EXPECT_FALSE(TestIntersection(EVec3(2.01f, 1.5f, 1.5f), box));
}

TEST(TestIntersection, VolumesTouchingCountAsOverlap) {
  const EBox3 box(EVec3(0, 0, 0), EVec3(2, 2, 2));
  const ESSECube cube(EVec3(1, 1, 1), 1);
  struct { EVec3 lo, hi; bool overlap; } cases[] = {
      {{2, 0, 0}, {4, 2, 2}, true},          {{2, 2, 0}, {4, 4, 2}, true},       {{2, 2, 2}, {4, 4, 4}, true},
      {{1.9f, 0, 0}, {4, 2, 2}, true},       {{2.1f, 0, 0}, {4, 2, 2}, false},   {{2.1f, 2.1f, 0}, {4, 4, 2}, false},
      {{1.9f, 1.9f, 1.9f}, {4, 4, 4}, true}, {{2, 2, 2.1f}, {4, 4, 4}, false},   {{-1, -1, -1}, {3, 3, 3}, true},
  };
  for (const auto& c : cases) {
    EBox3 other(c.lo, c.hi);
    EXPECT_EQ(TestIntersection(box, other), c.overlap) << c.lo.x << "," << c.lo.y << "," << c.lo.z;
    EXPECT_EQ(TestIntersection(other, box), c.overlap);
    EXPECT_EQ(TestIntersection(other, cube), c.overlap);
  }
  EBox3 overlap(EVec3(9, 9, 9), EVec3(9, 9, 9));
  EXPECT_FALSE(FindIntersection(box, EBox3(EVec3(3, 0, 0), EVec3(4, 1, 1)), overlap));
  EXPECT_EQ(overlap.vMin, EVec3(9, 9, 9));
  ASSERT_TRUE(FindIntersection(box, EBox3(EVec3(1, -1, 2), EVec3(3, 1, 5)), overlap));
  EXPECT_EQ(overlap.vMin, EVec3(1, 0, 2));
  EXPECT_EQ(overlap.vMax, EVec3(2, 1, 2));  // flat: they share a face

  struct { EVec3 c; float r; bool hit; } spheres[] = {
      {{3, 1, 1}, 1, true},   {{3, 3, 1}, 1.5f, true}, {{1, 1, 3.1f}, 1, false},
      {{1, 1, 1}, 0.1f, true}, {{3.1f, 1, 1}, 1, false},          {{-0.7f, -0.7f, -0.7f}, 1.3f, true},
  };
  for (const auto& s : spheres) EXPECT_EQ(TestIntersection(ESphere(s.c, s.r), box), s.hit) << s.c.x;
}

TEST(TestIntersection, BoxAgainstUprightCylinder) {
  ECylinder cyl(EVec3(0, -2, 0), 2, 4);
  struct { EVec3 lo, hi; bool hit; } cases[] = {
      {{2, 2, 0}, {3, 3, 1}, true},        // touches the top rim at one point
      {{2.1f, -1, -1}, {3, 1, 1}, false},  {{2.1f, 0, -1}, {3, 1, 1}, false},
      {{2, -1, -1}, {3, 1, 1}, true},      {{1.9f, -1, -1}, {3, 1, 1}, true},
      {{-1, -1, -1}, {1, 1, 1}, true},     {{-5, -5, -5}, {5, 5, 5}, true},
      {{1.5f, -1, 1.5f}, {3, 1, 3}, false}, {{1.4f, -1, 1.4f}, {3, 1, 3}, true},
      {{-1, 2.1f, -1}, {1, 3, 1}, false},   {{-1, -3, -1}, {1, -2, 1}, true},
  };
  for (const auto& c : cases) EXPECT_EQ(TestIntersection(EBox3(c.lo, c.hi), cyl), c.hit) << c.lo.x << "," << c.lo.z;
}

TEST(TestIntersection, SegmentsAgainstBoxes) {
  EBox3 box(EVec3(-2, -2, -2), EVec3(2, 2, 2));
  struct { EVec3 a, b; bool hit; } cases[] = {
      {{3, 0, 0}, {2, 0, 0}, true},     {{3, 0, 0}, {2.01f, 0, 0}, false}, {{3, 0, 0}, {1.99f, 0, 0}, true},
      {{2, 0, 0}, {3, 0, 0}, true},     {{2.01f, 0, 0}, {3, 0, 0}, false}, {{1.99f, 0, 0}, {3, 0, 0}, true},
      {{3, 5, 5}, {1.99f, 5, 5}, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TestIntersection(ESeg3(c.a, c.b), box), c.hit) << c.a.x << " -> " << c.b.x;
    EXPECT_EQ(TestIntersection(EFastSeg3(c.a, c.b, TagPOINTS()), box), c.hit);
  }
  EXPECT_TRUE(TestIntersection(EFastSeg3(EVec3(4, 0, 0), EVec3(3, 0, 0), TagPOINTS()), 1, box));
  EXPECT_FALSE(TestIntersection(EFastSeg3(EVec3(4, 0, 0), EVec3(3.01f, 0, 0), TagPOINTS()), 1, box));
  // The grown box over-reports near corners.
  EXPECT_TRUE(TestIntersection(EFastSeg3(EVec3(4, 4, 4), EVec3(2.99f, 2.99f, 2.99f), TagPOINTS()), 1, box));

  ESSECube cube(EVec3(0, 0, 0), 2);
  EXPECT_TRUE(TestIntersection(EVec3(4, 0, 0), EVec3(-1, 0, 0), 1.5f, 1.0f, cube));  // reaches 2.5
  EXPECT_FALSE(TestIntersection(EVec3(4, 0, 0), EVec3(-1, 0, 0), 1.4f, 1.0f, cube));
}

TEST(FindIntersection, RayAgainstBox) {
  EBox3 box(EVec3(-2, -2, -2), EVec3(2, 2, 2));
  struct { EVec3 a, b; float maxT, enter, exit; bool hit; } cases[] = {
      {{5, 0, 1}, {1, 0, 0}, 1, 0.75f, 1, true},
      {{5, 0, 0}, {1, 0, 0}, 0.4f, 0, 0, false},
      {{5, 3, 0}, {1, 3, 0}, 1, 0, 0, false},
      {{5, 3, 0}, {1, 3.1f, 0.1f}, 1, 0, 0, false},
      {{5, 0, 1}, {0, 5, 1.1f}, 1, 0, 0, false},
      {{-1, -1, -1}, {1, 1, 1}, 1, 0, 1, true},
      {{-4, 0, 1}, {16, 0, 0}, 0.5f, 0.1f, 0.3f, true},
      {{-5, -1, 0}, {4, 5, 1}, 0.7f, 1.0f / 3, 0.5f, true},
  };
  for (const auto& c : cases) {
    float enter = -9, exit = -9;
    EVec3 dir = c.b - c.a;
    ASSERT_EQ(FindIntersection(c.a, dir, c.maxT, box, enter, exit), c.hit) << c.a.x << "," << c.a.y;
    if (!c.hit) continue;
    EXPECT_NEAR(enter, c.enter, 1e-5f);
    EXPECT_NEAR(exit, c.exit, 1e-5f);
    // Reversed from the point at maxT.
    float rEnter, rExit;
    ASSERT_TRUE(FindIntersection(c.a + dir * c.maxT, -dir, c.maxT, box, rEnter, rExit));
    EXPECT_NEAR(rEnter, c.maxT - exit, 1e-5f);
    EXPECT_NEAR(rExit, c.maxT - enter, 1e-5f);
  }
  float t;
  ASSERT_TRUE(FindIntersection(ESeg3(EVec3(5, 0, 0), EVec3(1, 0, 0)), box, t));
  EXPECT_NEAR(t, 3.0f, 1e-6f);

  // Axis-parallel rays lying in a face plane: the maximum face passes, the minimum one misses.
  float enter, exit;
  EXPECT_TRUE(FindIntersection(EVec3(-5, 2, 0), EVec3(1, 0, 0), 10, box, enter, exit));
  EXPECT_FALSE(FindIntersection(EVec3(-5, -2, 0), EVec3(1, 0, 0), 10, box, enter, exit));
}

TEST(Planes, CulledSegmentTestAndCrossing) {
  EPlane plane(EVec3(0, 1, 0), -1.0f);  // y = 1
  struct { EVec3 a, b; bool hit; } cases[] = {
      {{0, 1, 0}, {1, 1, 1}, true},  {{0, 2, 0}, {1, 2, 1}, false}, {{0, 2, 0}, {1, 1, 1}, true},
      {{0, 0, 0}, {1, 1, 1}, false}, {{1, 1, 1}, {2, 0, 2}, true},  {{1, 1, 1}, {2, 2, 2}, false},
      {{0, 2, 0}, {2, 0, 2}, true},  {{0, 0, 0}, {2, 2, 2}, false}, {{1, 2, 1}, {2, 2, 2}, false},
  };
  for (const auto& c : cases) EXPECT_EQ(TestIntersectionCullBackfacing(ESeg3(c.a, c.b), plane), c.hit) << c.a.y;

  float t;
  bool behind;
  FindIntersection(EFastSeg3(EVec3(0, 3, 0), EVec3(0, -1, 0), TagPOINTS()), plane, t, behind);
  EXPECT_FLOAT_EQ(t, 0.5f);
  EXPECT_FALSE(behind);
  FindIntersection(EFastSeg3(EVec3(0, 0, 0), EVec3(0, 0.5f, 0), TagPOINTS()), plane, t, behind);
  EXPECT_FLOAT_EQ(t, 2.0f);  // not clamped
  EXPECT_TRUE(behind);
  FindIntersection(EFastSeg3(EVec3(0, 2, 0), EVec3(5, 2, 0), TagPOINTS()), plane, t, behind);
  EXPECT_TRUE(std::isinf(t));
}

// Triangle (0, 0, 0), (0, 1, 0), (2, 0, 0): its front faces +Z.
const ETri3 kTri(EVec3(0, 0, 0), EVec3(0, 1, 0), EVec3(2, 0, 0));

TEST(Triangles, SegmentCasts) {
  struct Case { const char* name; EVec3 a, b; bool hit, back; float dist; };
  const Case cases[] = {
      {"tangent to vtx 0", {-1, 1, 1}, {1, -1, -1}, true, true, std::sqrt(3.0f)},
      {"tangent to vtx 2", {2, -1, 1}, {2, 1, -1}, true, true, std::sqrt(2.0f)},
      {"start on vtx 2", {2, 0, 0}, {2, -1, -1}, true, true, 0},
      {"tangent to edge 2", {2, 0, 1}, {0, 0, -1}, true, true, std::sqrt(2.0f)},
      {"end on edge 2", {3, 0, 1}, {1, 0, 0}, true, true, -1},
      {"start on edge 2", {1, 0, 0}, {3, 0, -1}, true, true, -1},
      {"coplanar, start/end out, no intersect", {3, 3, 0}, {4, 4, 0}, false, false, -1},
      {"start in interior ", {0.2f, 0.2f, 0}, {0.3f, 0.3f, -1}, true, true, -1},
      {"end in interior", {0.2f, 0.2f, 1}, {0.3f, 0.3f, 0}, true, true, -1},
      {"intersect interior", {0.2f, 0.2f, 1}, {0.3f, 0.3f, -1}, true, true, -1},
  };
  for (const Case& c : cases) {
    ESeg3 fwd(c.a, c.b), rev(c.b, c.a);
    float t = -9;
    EXPECT_EQ(TestIntersection(fwd, kTri), c.hit) << c.name;
    EXPECT_EQ(TestIntersectionCullBackfacing(fwd, kTri), c.hit) << c.name;
    EXPECT_EQ(FindIntersection(fwd, kTri, t), c.hit) << c.name;
    if (c.hit && c.dist >= 0) {
      EXPECT_NEAR(t, c.dist, 1e-5f) << c.name;
    }
    EXPECT_EQ(TestIntersection(rev, kTri), c.hit) << c.name;
    // From behind: the two-sided cast hits, the culling one does not.
    EXPECT_EQ(TestIntersectionCullBackfacing(rev, kTri), c.hit && !c.back) << c.name;
    if (c.hit && c.dist >= 0) {
      ASSERT_TRUE(FindIntersection(rev, kTri, t)) << c.name;
      EXPECT_NEAR(t, rev.length - c.dist, 1e-5f) << c.name;
    }
  }
  EXPECT_FALSE(TestIntersection(ESeg3(EVec3(2, 1, 1), EVec3(2, 1, -1)), kTri));
}

TEST(Triangles, RayFeatureCodesAndHitPoints) {
  ETri3 tri(EVec3(0, 0, 0), EVec3(0, 3, 0), EVec3(3, 0, 0));
  for (EVec3 a : {EVec3(1, 1, 1), EVec3(1, 1.5f, 1)}) {
    EVec3 b = a - EVec3(0, 0, 2);
    for (int dir = 0; dir < 2; dir++) {
      ESeg3 seg = dir ? ESeg3(b, a) : ESeg3(a, b);
      float t;
      EVec2 uv;
      ASSERT_TRUE(FindIntersection(seg, tri, t, &uv));
      EVec3 hit = tri.ConvertBarycentricToPoint(uv);
      EVec3 expect = seg.start + seg.dir * t;
      EXPECT_NEAR(hit.x, expect.x, 1e-5f);
      EXPECT_NEAR(hit.y, expect.y, 1e-5f);
      EXPECT_NEAR(hit.z, expect.z, 1e-5f);
      if (dir == 0) {
        ASSERT_TRUE(FindIntersectionCullBackfacing(seg, tri, t, &uv));
        hit = tri.ConvertBarycentricToPoint(uv);
        EXPECT_NEAR(hit.x, a.x, 1e-5f);
        EXPECT_NEAR(hit.y, a.y, 1e-5f);
      }
      EVec3 vec = (seg.end - seg.start) * 3.0f;
      float tr = -9;
      EXPECT_EQ(FindIntersection(seg.start, vec, 1.0f, tri, tr), dir ? kINTERSECT_FACE + 1 : kINTERSECT_FACE);
      EXPECT_NEAR(tr, 1.0f / 6.0f, 1e-6f);
    }
  }
  // A ray from behind: two-sided 0x3001, culling 0.
  float t;
  EXPECT_EQ(FindIntersection(EVec3(1, 1, -1), EVec3(0, 0, 1), 5, tri, t), 0x3001);
  EXPECT_EQ(FindIntersectionCullBackfacing(EVec3(1, 1, -1), EVec3(0, 0, 1), 5, tri, t), 0);
  // Exactly at maxT hits; a little short misses; in the plane misses.
  EXPECT_EQ(FindIntersection(EVec3(1, 1, 1), EVec3(0, 0, -1), 1.0f, tri, t), kINTERSECT_FACE);
  EXPECT_EQ(FindIntersection(EVec3(1, 1, 1), EVec3(0, 0, -1), 0.999f, tri, t), 0);
  EXPECT_EQ(FindIntersection(EVec3(-1, 1, 0), EVec3(1, 0, 0), 5, tri, t), 0);
}

TEST(Triangles, AgainstSpheresAndBoxes) {
  ETri3 tri(EVec3(0, 0, 0), EVec3(2, 0, 0), EVec3(0, 1, 0));
  struct { EVec3 c; float r; bool hit; } spheres[] = {
      {{2, 0, 0}, 0, true},        {{0, 1, 0}, 0, true},         {{0.5f, 0.5f, 0}, 0, true},   {{1, -1, 0}, 1, true},
      {{0.5f, 0.5f, 1}, 1, true},   {{2, 0, 0}, 1.3f, true},      {{0, -1, 0}, 1.3f, true},
      {{0.5f, 0.5f, 1}, 1.3f, true}, {{0, 0, 0}, 2.1f, true},      {{0.5f, 0.5f, 1}, 0.9f, false},
      {{2.9f, -0.9f, 0}, 1, false},
  };
  for (const auto& s : spheres)
    EXPECT_EQ(TestIntersection(tri, ESphere(s.c, s.r)), s.hit) << s.c.x << "," << s.c.y << "," << s.c.z << " r" << s.r;
  // Degenerate: only a vertex inside counts.
  ETri3 line(EVec3(0, 0, 0), EVec3(1, 0, 0), EVec3(2, 0, 0));
  EXPECT_FALSE(TestIntersection(line, ESphere(EVec3(1, 1.5f, 0), 1)));
  EXPECT_TRUE(TestIntersection(line, ESphere(EVec3(1, 1.5f, 0), 1.6f)));

  EBox3 box(EVec3(-2, -2, -2), EVec3(2, 2, 2));
  EXPECT_TRUE(TestIntersection(ETri3(EVec3(1, 0, 0), EVec3(10, 2, 2), EVec3(10, -2, -2)), box));
  EXPECT_TRUE(TestIntersection(ETri3(EVec3(3, 1, 0), EVec3(-1, -3, 0), EVec3(3, -3, 0)), box));
  EXPECT_TRUE(TestIntersection(ETri3(EVec3(3, 0, 0), EVec3(0, 3, 0), EVec3(0, 0, 3)), box));
  EXPECT_FALSE(TestIntersection(ETri3(EVec3(8, 0, 0), EVec3(0, 8, 0), EVec3(0, 0, 8)), box));
  // The box pierces a large triangle's interior: only the diagonals find it.
  EXPECT_TRUE(TestIntersection(ETri3(EVec3(-10, -10, 0), EVec3(-10, 30, 0), EVec3(30, -10, 0)), box));
}

TEST(Spheres, SegmentCasts) {
  ESphere sphere(EVec3(3, 3, 3), 3);
  float t = -9;
  EXPECT_TRUE(FindIntersection(ESeg3(EVec3(2, 2, 2), EVec3(2, 2, 2)), sphere, t));
  EXPECT_EQ(t, 0.0f);
  EXPECT_TRUE(TestIntersection(ESeg3(EVec3(3, 6, 0.00001f), EVec3(3, 0, 0.00001f)), sphere));
  EXPECT_FALSE(TestIntersection(ESeg3(EVec3(3.1f, 6, 0), EVec3(3.1f, 0, 0)), sphere));

  ASSERT_TRUE(FindIntersection(ESeg3(EVec3(10, 3, 3), EVec3(0, 3, 3)), sphere, t));
  EXPECT_FLOAT_EQ(t, 4.0f);
  // Ending exactly on the surface misses (t equals the length).
  EXPECT_FALSE(FindIntersection(ESeg3(EVec3(10, 3, 3), EVec3(6, 3, 3)), sphere, t));
  EXPECT_FLOAT_EQ(t, 4.0f);
  // Starting inside and heading away: only the culling cast refuses it.
  ESeg3 away(EVec3(4, 3, 3), EVec3(10, 3, 3));
  EXPECT_TRUE(FindIntersection(away, sphere, t));
  EXPECT_EQ(t, 0.0f);
  EXPECT_FALSE(FindIntersectionCullBackfacing(away, sphere, t));
  ASSERT_TRUE(FindIntersectionCullBackfacing(ESeg3(EVec3(10, 3, 3), EVec3(0, 3, 3)), sphere, t));
  EXPECT_FLOAT_EQ(t, 4.0f);
}

// ---------------------------------------------------------------------------
// Swept sphere

TEST(SweptSphere, EdgeAndVertexPaths) {
  EFastSeg3 edge(EVec3(0, 0, 0), EVec3(0, 0, 10), TagPOINTS());
  const float kEarly = 1.0f - std::sqrt(0.75f);
  struct Case { EVec3 a, b; float tIn; int code; float t, s; };
  const Case cases[] = {
      {{4, 0, 0}, {4, 0, 1}, 1, 0, 1, -1},
      {{1, 0, 2}, {1, 0, 4}, 1, kINTERSECT_EDGE, 0, 0.2f},
      {{1, 0, -2}, {1, 0, 0}, 0.1f, 0, 0.1f, -1},
      {{1, 0, -2}, {1, 0, 0}, 1, kINTERSECT_VERTEX, kEarly, -1},
      {{1, 0, 10.1f}, {1, 0, 11}, 1, 0, 1, -1},
      {{4, 0, 1}, {0, 0, 1}, 1, kINTERSECT_EDGE, 0.5f, 0.1f},
      {{4, 0, 1}, {0, 0, 1}, 0.3f, 0, 0.3f, -1},
      {{1, 2, 1}, {1, 0, 1}, 1, kINTERSECT_EDGE, kEarly, 0.1f},
      {{1, 0, 1}, {1, 2, 1}, 1, kINTERSECT_EDGE, 0, 0.1f},
      {{3, 0, 1}, {4, 0, 1}, 1, 0, 1, -1},
      {{3, 1, 11}, {-3, 1, 11}, 1, 0, 1, -1},
      {{2, 0, -1}, {0, 0, -1}, 1, kINTERSECT_VERTEX, kEarly, -1},
      {{0, 0, -1}, {2, 0, -1}, 1, kINTERSECT_VERTEX, 0, -1},
  };
  for (const Case& c : cases) {
    float t = c.tIn, s = -7;
    int code = TWMath::FindIntersection_Capsule_Edgevert(EFastSeg3(c.a, c.b, TagPOINTS()), edge, 4, t, s);
    EXPECT_EQ(code, c.code) << c.a.x << "," << c.a.y << "," << c.a.z << " -> " << c.b.x << "," << c.b.y << "," << c.b.z;
    EXPECT_NEAR(t, c.t, 1e-5f) << c.a.x << "," << c.a.y << "," << c.a.z;
    if (c.s >= 0)
      EXPECT_NEAR(s, c.s, 1e-5f);
    else
      EXPECT_EQ(s, -7.0f);
  }
}

TEST(SweptSphere, AgainstTriangle) {
  const ETri3 small(EVec3(0, 0, 0), EVec3(0, 10, 0), EVec3(10, 0, 0));
  const EPlane plane = small.GetFacePlane();
  ASSERT_EQ(plane.n, EVec3(0, 0, 1));
  struct Case { const char* name; EVec3 a, b; float r; bool twoSided; float t, s; int code; };
  const Case cases[] = {
      {"frontface (nohit)", {2, 2, 5}, {2, 2, 3}, 1, true, -1, -1, 0},
      {"frontface (nohit)", {8, 8, 2}, {8, 8, 0}, 1, true, -1, -1, 0},
      {"frontface", {2, 2, 2}, {2, 2, 0}, 1, true, 0.5f, -1, kINTERSECT_FACE},
      {"backface", {2, 2, -2}, {2, 2, 0}, 1, true, 0.5f, -1, kINTERSECT_FACE + 1},
      {"backface (nohit)", {2, 2, -2}, {2, 2, 0}, 1, false, -1, -1, 0},
      {"backface edge", {-1, 4, -2}, {-1, 4, 0}, 1.1f, true, -1, 0.4f, kINTERSECT_EDGE + 0},
      {"backface edge", {4, -1, -2}, {4, -1, 0}, 1.1f, true, -1, 0.6f, kINTERSECT_EDGE + 2},
      {"backface vtx", {-1, -1, -2}, {-1, -1, 0}, 2, true, -1, -1, kINTERSECT_VERTEX + 0},
      {"backface vtx", {0, 11, -2}, {0, 11, 0}, 2, true, -1, -1, kINTERSECT_VERTEX + 1},
      {"leave frontface", {2, 2, 1}, {2, 2, 3}, 2, true, 1, -1, 0},
      {"leave backface", {2, 2, -1}, {2, 2, -3}, 2, true, 1, -1, 0},
      {"slide into edge", {-3, 5, 0.5f}, {3, 5, 0.5f}, 1, true, 1, -1, 0},
      {"overlapping, inside", {3, 3, 0.5f}, {3, 3, 0}, 1, false, 0, -1, kINTERSECT_FACE},
      {"behind by less than r", {3, 3, -0.5f}, {3, 3, -1}, 1, false, 0, -1, kINTERSECT_FACE},
      {"behind by more than r", {3, 3, -1.5f}, {3, 3, -3}, 1, false, 1, -1, 0},
  };
  for (const Case& c : cases) {
    float t = 1, s = -7;
    int code = TWMath::FindIntersection(EFastSeg3(c.a, c.b, TagPOINTS()), c.r, small, plane, c.twoSided, t, s);
    EXPECT_EQ(code & 0xF000, c.code & 0xF000) << c.name;
    EXPECT_EQ(code & 0x0FFF, c.code & 0x0FFF) << c.name;
    if (c.t >= 0) {
      EXPECT_NEAR(t, c.t, 1e-5f) << c.name;
    }
    if (c.s >= 0) {
      EXPECT_NEAR(s, c.s, 1e-5f) << c.name;
    }
  }

  // A level triangle the sphere leaves.
  ETri3 level(EVec3(6739.8418f, 888.55359f, -8131.4092f), EVec3(7014.5391f, 858.4303f, -8335.1943f),
              EVec3(7014.582f, 890.55017f, -8334.8857f));
  float t = 1, s = 0;
  EXPECT_EQ(TWMath::FindIntersection(EFastSeg3(EVec3(7101.2065f, 813.51257f, -8425.451f),
                                               EVec3(7101.2065f, -227946.11f, -8425.451f), TagPOINTS()),
                                     200, level, level.GetFacePlane(), false, t, s),
            0);

  // A plane contact later than the incoming time writes nothing.
  t = 0.2f;
  s = -7;
  EXPECT_EQ(TWMath::FindIntersection(EFastSeg3(EVec3(2, 2, 2), EVec3(2, 2, 0), TagPOINTS()), 1, small, plane, true,
                                     t, s),
            0);
  EXPECT_EQ(t, 0.2f);
  EXPECT_EQ(s, -7.0f);
}

// ---------------------------------------------------------------------------
// Frustums

TEST(Frustum, DefaultIntersectsNothing) {
  EFrustum frustum;
  EXPECT_FALSE(frustum.m_bValid);
  EXPECT_FALSE(TestIntersection(EBox3(EVec3(-1e30f, -1e30f, -1e30f), EVec3(1e30f, 1e30f, 1e30f)), frustum));
}

TEST(Frustum, ViewportPlanesFaceOutInTheirOrder) {
  EFrustum frustum;
  frustum.FromViewport(180, 1, 1, 100, 200, EVec3(0, 0, 0), EVec3(1, 0, 0), EVec3(0, 1, 0));
  ASSERT_TRUE(frustum.m_bValid);
  const float h = std::sqrt(0.5f);
  const EVec3 normals[6] = {{-1, 0, 0}, {1, 0, 0}, {-h, h, 0}, {-h, -h, 0}, {-h, 0, -h}, {-h, 0, h}};
  const char* names[6] = {"near", "far", "top", "bottom", "left", "right"};
  for (int i = 0; i < 6; i++) {
    const EPlane& p = frustum.m_aPlanes[i];
    EXPECT_NEAR(p.n.x, normals[i].x, 1e-4f) << names[i];
    EXPECT_NEAR(p.n.y, normals[i].y, 1e-4f) << names[i];
    EXPECT_NEAR(p.n.z, normals[i].z, 1e-4f) << names[i];
    // The point on the axis half way in lies inside every plane.
    EXPECT_LT(p.n.Dot(EVec3(150, 0, 0)) + p.d, 0.0f) << names[i];
  }
  EXPECT_NEAR(frustum.m_aCorners[0].x, 200, 1e-2f);  // far top left
  EXPECT_NEAR(frustum.m_aCorners[0].y, 200, 1e-2f);
  EXPECT_NEAR(frustum.m_aCorners[0].z, -200, 1e-2f);
  EXPECT_NEAR(frustum.m_aCorners[7].x, 100, 1e-2f);  // near bottom right
  EXPECT_NEAR(frustum.m_aCorners[7].y, -100, 1e-2f);
  EXPECT_NEAR(frustum.m_aCorners[7].z, 100, 1e-2f);
  EXPECT_NEAR(frustum.m_Bounds.vMax.x, 200, 1e-2f);
  EXPECT_NEAR(frustum.m_Bounds.vMin.y, -200, 1e-2f);

  struct { const char* name; EVec3 c; float h; bool hit; } boxes[] = {
      {"Inside side planes, before near plane", {50, 0, 0}, 1, false},
      {"Inside side planes, after far plane", {250, 0, 0}, 1, false},
      {"Intersect near plane", {99, 0, 0}, 5, true},
      {"Intersect far plane", {201, 0, 0}, 5, true},
      {"Box corner barely misses a side plane", {150, 161, 0}, 5, false},
      {"Box corner barely hits a side plane", {150, 159, 0}, 5, true},
      {"Fully enclosed", {150, 30, 30}, 5, true},
  };
  for (const auto& b : boxes) EXPECT_EQ(TestIntersection(CentredBox(b.c, b.h), frustum), b.hit) << b.name;
}

TEST(Frustum, OrthographicAndMatrixBuilds) {
  EFrustum ortho;
  ortho.FromViewport(0, 20, 10, 1, 50, EVec3(0, 0, 0), EVec3(0, 0, -1), EVec3(0, 1, 0));
  EXPECT_NEAR(ortho.m_Bounds.vMin.x, -10, 1e-3f);
  EXPECT_NEAR(ortho.m_Bounds.vMax.y, 5, 1e-3f);
  EXPECT_NEAR(ortho.m_Bounds.vMin.z, -50, 1e-3f);
  EXPECT_NEAR(ortho.m_Bounds.vMax.z, -1, 1e-3f);
  EXPECT_TRUE(TestIntersection(CentredBox(EVec3(9, 4, -25), 0.5f), ortho));
  EXPECT_FALSE(TestIntersection(CentredBox(EVec3(11, 0, -25), 0.5f), ortho));

  // Any matrix: the corners are the transformed clip-cube corners.
  EFrustum scaled;
  scaled.FromMatrix(MatrixScale(2, 3, 4));
  EXPECT_EQ(scaled.m_aCorners[0], EVec3(-2, 3, 4));
  EXPECT_EQ(scaled.m_aCorners[7], EVec3(2, -3, 0));
  EXPECT_EQ(scaled.m_Bounds.vMin, EVec3(-2, -3, 0));
  EXPECT_EQ(scaled.m_Bounds.vMax, EVec3(2, 3, 4));
}

}  // namespace
