// The distance and intersection groups of the math self-test.
#include <cmath>

#include "TWMath/BoundingBox.h"
#include "TWMath/Frustum.h"
#include "TWMath/Intersect.h"
#include "TWMath/MathUnitTest.h"
#include "TWMath/MathUnitTestCompare.h"
#include "TWMath/Primitives.h"
#include "TWMath/Vector.h"
#include "TWUtil/UnitTest.h"

namespace TWMath {

namespace {

const float kSqrt2 = 1.4142135f;
const float kSqrt3 = 1.7320508f;

// Cases of the segment against the triangle (0, 0, 0), (0, 1, 0), (2, 0, 0).
// bBack: the reversed segment reaches the triangle from behind.
struct SegTriCase {
  const char* szName;
  EVec3 start, end;
  bool bResult, bBack, bNoCount;
};

const SegTriCase kSegTriCases[] = {
    {"tangent to vtx 0", EVec3(-1, 1, 1), EVec3(1, -1, -1), true, true, false},
    {"tangent to vtx 0 (coplanar)", EVec3(-1, 1, 0), EVec3(1, -1, 0), true, false, true},
    {"tangent to vtx 2", EVec3(2, -1, 1), EVec3(2, 1, -1), true, true, false},
    {"start on vtx 2", EVec3(2, 0, 0), EVec3(2, -1, -1), true, true, false},
    {"end on vtx 2", EVec3(2, -1, 1), EVec3(2, 0, 0), true, true, true},
    {"tangent to edge 2", EVec3(3, 0, 1), EVec3(1, 0, -1), true, true, false},
    {"end on edge 2", EVec3(3, 0, 1), EVec3(1, 0, 0), true, true, false},
    {"end on edge 2 (colinear)", EVec3(3, 0, 0), EVec3(1, 0, 0), true, false, true},
    {"start on edge 2", EVec3(1, 0, 0), EVec3(3, 0, -1), true, true, false},
    {"start on edge 2 (colinear)", EVec3(1, 0, 0), EVec3(3, 0, 0), true, false, true},
    {"coplanar, start/end in", EVec3(0.2f, 0.2f, 0), EVec3(0.3f, 0.3f, 0), true, false, true},
    {"coplanar, end in", EVec3(3, 3, 0), EVec3(0.3f, 0.3f, 0), true, false, true},
    {"coplanar, start in", EVec3(-3, -3, 0), EVec3(0.3f, 0.3f, 0), true, false, true},
    {"coplanar, start/end out, no intersect", EVec3(3, 3, 0), EVec3(4, 4, 0), false, false, false},
    {"coplanar, start/end out, intersect", EVec3(0.2f, 5, 0), EVec3(0.3f, -5, 0), true, false, true},
    {"start in interior ", EVec3(0.2f, 0.2f, 0), EVec3(0.3f, 0.3f, -1), true, true, false},
    {"end in interior", EVec3(0.2f, 0.2f, 1), EVec3(0.3f, 0.3f, 0), true, true, false},
    {"intersect interior", EVec3(0.2f, 0.2f, 1), EVec3(0.3f, 0.3f, -1), true, true, false},
};
const int kNumSegTriCases = (int)(sizeof(kSegTriCases) / sizeof(kSegTriCases[0]));

const ETri3 kSegTriTriangle(EVec3(0, 0, 0), EVec3(0, 1, 0), EVec3(2, 0, 0));
const EBox3 kBox2(EVec3(-2, -2, -2), EVec3(2, 2, 2));
const EBox3 kBox02(EVec3(0, 0, 0), EVec3(2, 2, 2));
const ESphere kSphere333(EVec3(3, 3, 3), 3.0f);

// Box overlap cases against (0, 0, 0)-(2, 2, 2): touching a face, an edge
// and a corner, then moved 0.1 inward and 0.1 outward on the touching axes.
struct BoxCase {
  EBox3 box;
  bool bResult;
};
const BoxCase kBoxCases[] = {
    {EBox3(EVec3(2, 0, 0), EVec3(4, 2, 2)), true},          {EBox3(EVec3(2, 2, 0), EVec3(4, 4, 2)), true},
    {EBox3(EVec3(2, 2, 2), EVec3(4, 4, 4)), true},          {EBox3(EVec3(1.9f, 0, 0), EVec3(4, 2, 2)), true},
    {EBox3(EVec3(1.9f, 1.9f, 0), EVec3(4, 4, 2)), true},    {EBox3(EVec3(1.9f, 1.9f, 1.9f), EVec3(4, 4, 4)), true},
    {EBox3(EVec3(2.1f, 0, 0), EVec3(4, 2, 2)), false},      {EBox3(EVec3(2.1f, 2.1f, 0), EVec3(4, 4, 2)), false},
    {EBox3(EVec3(2.1f, 2.1f, 2.1f), EVec3(4, 4, 4)), false}, {EBox3(EVec3(-1, -1, -1), EVec3(3, 3, 3)), true},
};

void DistanceGroup() {
  float t = 0.0f, s = 0.0f;

  // 2D point against lines and a segment.
  UT_CHECK_FLOAT(Distance(EVec2(2, 2), ELine2(EVec2(0, 2), EVec2(2, 0), TagPOINTS()), &t), kSqrt2, false);
  UT_CHECK_FLOAT(t, 0.5f, false);
  UT_CHECK_FLOAT(Distance(EVec2(2, 2), ELine2(EVec2(0, 2), EVec2(-2, 4), TagPOINTS()), &t), kSqrt2, false);
  UT_CHECK_FLOAT(t, -0.5f, false);
  {
    const EVec2 start(1, 1), end(4, 5);
    const ESeg2 seg(start, end);
    UT_CHECK_FLOAT(Distance(start + EVec2(0, 4), seg, &t), 3.0f * sinf(0.9272952f), false);
    UT_CHECK_FLOAT(t, (5.0f - 3.0f * cosf(0.9272952f)) / 5.0f, false);
    UT_CHECK_FLOAT(Distance(start - EVec2(1, 1), seg, &t), kSqrt2, false);
    UT_CHECK_FLOAT(t, 0.0f, false);
    UT_CHECK_FLOAT(Distance(end + EVec2(1, 1), seg, &t), kSqrt2, false);
    UT_CHECK_FLOAT(t, 1.0f, false);
  }

  // Point to point.
  UT_CHECK_FLOAT(Distance(EVec3(1, 1, 1), EVec3(2, 3, 4)), sqrtf(14.0f), false);
  UT_CHECK_FLOAT(SqrDistance(EVec3(1, 1, 1), EVec3(2, 3, 4)), 14.0f, false);

  // Point against a line and the two segment forms.
  {
    const EVec3 a(2, 0, 4), b(2, 4, 0), p(1, 1, 1);
    UT_CHECK_FLOAT(Distance(p, ELine3(a, b, TagPOINTS()), &t), kSqrt3, false);
    UT_CHECK_FLOAT(t, 0.5f, false);
    UT_CHECK_FLOAT(Distance(p, EFastSeg3(a, b, TagPOINTS()), &t), kSqrt3, false);
    UT_CHECK_FLOAT(t, 0.5f, false);
    const ESeg3 seg(a, b);
    UT_CHECK_FLOAT(Distance(p, seg, &t), kSqrt3, false);
    UT_CHECK_FLOAT(t, 0.5f, false);
    UT_CHECK_FLOAT(Distance(a - EVec3(1, kSqrt2, 0), seg, &t), kSqrt3, false);
    UT_CHECK_FLOAT(t, 0.0f, false);
    UT_CHECK_FLOAT(Distance(b + EVec3(1, kSqrt2, 0), seg, &t), kSqrt3, false);
    UT_CHECK_FLOAT(t, 1.0f, false);
  }

  // Line against segment, checked against the point and line queries.
  {
    const EVec2 aPairs[4][2] = {{EVec2(1, 0), EVec2(0, 1)},
                                {EVec2(0, 1), EVec2(-1, 2)},
                                {EVec2(1, 0), EVec2(2, 2)},
                                {EVec2(3, 3), EVec2(5, 7)}};
    const EVec3 segEnds[2] = {EVec3(1, 1, 1), EVec3(3, 2, 1)};
    for (int iSeg = 0; iSeg < 2; ++iSeg) {
      const EFastSeg3 seg(segEnds[iSeg], segEnds[1 - iSeg], TagPOINTS());
      for (int iPair = 0; iPair < 4; ++iPair) {
        for (int iOrder = 0; iOrder < 2; ++iOrder) {
          const EVec2& q0 = aPairs[iPair][iOrder];
          const EVec2& q1 = aPairs[iPair][1 - iOrder];
          const ELine3 line(EVec3(q0, 1.1f), EVec3(q1, 1.1f), TagPOINTS());
          float fS = 0.0f, fT = 0.0f, fRefS = 0.0f, fRefT = 0.0f;
          float d2 = SqrDistance(line, seg, &fS, &fT);
          if (fT == 0.0f || fT == 1.0f) {
            float d2Ref = SqrDistance(fT == 0.0f ? seg.p0 : seg.p1, line, &fRefS);
            UT_CHECK_FLOAT(d2, d2Ref, false);
            UT_CHECK_FLOAT(fS, fRefS, false);
          } else {
            const ELine3 segLine(seg.p0, seg.p1, TagPOINTS());
            float d2Ref = SqrDistance(line, segLine, &fRefS, &fRefT);
            UT_CHECK_FLOAT(d2, d2Ref, false);
            UT_CHECK_FLOAT(fS, fRefS, false);
            UT_CHECK_FLOAT(fT, fRefT, false);
          }
        }
      }
    }
  }

  // Signed distance to planes.
  UT_CHECK_FLOAT(Distance(EVec3(0, 5.5f, 0), EPlane(EVec3(0, 1, 0), 0.0f)), 5.5f, false);
  UT_CHECK_FLOAT(Distance(EVec3(2, 2, 10), EPlane(EVec3(1, 1, 0).GetNormal(), 0.0f)), 2.0f * kSqrt2, false);

  // Point to sphere.
  {
    const ESphere sphere(EVec3(1, 1, 1), 1.0f);
    UT_CHECK_FLOAT(Distance(EVec3(1, 1, 1.9f), sphere), 0.0f, false);
    UT_CHECK_FLOAT(Distance(EVec3(1, 1, 2.1f), sphere), 0.1f, false);
    UT_CHECK_FLOAT(Distance(EVec3(2, 2, 2), sphere), kSqrt3 - 1.0f, false);
  }

  // Point to box.
  {
    const EBox3 box(EVec3(1, 1, 1), EVec3(2, 2, 2));
    UT_CHECK_FLOAT(Distance(EVec3(1.5f, 1.5f, 1.5f), box), 0.0f, false);
    UT_CHECK_FLOAT(Distance(EVec3(1.5f, 1.5f, 3), box), 1.0f, false);
    UT_CHECK_FLOAT(Distance(EVec3(1.5f, 3, 3), box), kSqrt2, false);
    UT_CHECK_FLOAT(Distance(EVec3(3, 3, 3), box), kSqrt3, false);
  }

  // Line to line.
  {
    const ELine3 xAxis(EVec3(0, 0, 0), EVec3(1, 0, 0), TagPARAMETRIC());
    const ELine3 diagonal(EVec3(1, 1, 1), EVec3(-1, -1, -1), TagPARAMETRIC());
    UT_CHECK_FLOAT(Distance(xAxis, diagonal, &s, &t), 0.0f, false);
    UT_CHECK_FLOAT(s, 0.0f, false);
    UT_CHECK_FLOAT(t, 1.0f, false);
    const ELine3 a(EVec3(-1, -2, 1), EVec3(1, 2, 0), TagPARAMETRIC());
    UT_CHECK_FLOAT(Distance(a, ELine3(EVec3(0, 0, 2), EVec3(1, 3, 0), TagPARAMETRIC()), &s, &t), 1.0f, false);
    UT_CHECK_FLOAT(s, 1.0f, false);
    UT_CHECK_FLOAT(t, 0.0f, false);
    UT_CHECK_FLOAT(Distance(a, ELine3(EVec3(-1, -2, 2), EVec3(1, 2, 0), TagPARAMETRIC())), 1.0f, false);
    UT_CHECK_FLOAT(Distance(a, a), 0.0f, false);
  }

  // Box to box.
  {
    const EBox3 box(EVec3(1, 1, 1), EVec3(3, 3, 3));
    const EBox3 around(EVec3(0, 0, 0), EVec3(4, 4, 4));
    UT_CHECK_FLOAT(Distance(box, around), 0.0f, false);
    UT_CHECK_FLOAT(Distance(around, box), 0.0f, false);
    UT_CHECK_FLOAT(Distance(box, EBox3(EVec3(2, 2, 2), EVec3(4, 4, 4))), 0.0f, false);
    UT_CHECK_FLOAT(Distance(box, EBox3(EVec3(1, 1, 4), EVec3(3, 3, 6))), 1.0f, false);
    UT_CHECK_FLOAT(Distance(box, EBox3(EVec3(1, 4, 4), EVec3(3, 6, 6))), kSqrt2, false);
    UT_CHECK_FLOAT(Distance(box, EBox3(EVec3(4, 4, 4), EVec3(6, 6, 6))), kSqrt3, false);
  }
}

void TestSegmentsAgainstBoxes() {
  struct Case {
    EVec3 start, end;
    bool bResult;
  };
  const Case aCases[7] = {
      {EVec3(3, 0, 0), EVec3(2, 0, 0), true},        {EVec3(3, 0, 0), EVec3(2.01f, 0, 0), false},
      {EVec3(3, 0, 0), EVec3(1.99f, 0, 0), true},    {EVec3(2, 0, 0), EVec3(3, 0, 0), true},
      {EVec3(2.01f, 0, 0), EVec3(3, 0, 0), false},   {EVec3(1.99f, 0, 0), EVec3(3, 0, 0), true},
      {EVec3(3, 5, 5), EVec3(1.99f, 5, 5), false},
  };
  for (const Case& c : aCases) UT_CHECK_EQUAL(TestIntersection(ESeg3(c.start, c.end), kBox2), c.bResult, false);
  for (const Case& c : aCases)
    UT_CHECK_EQUAL(TestIntersection(EFastSeg3(c.start, c.end, TagPOINTS()), kBox2), c.bResult, false);

  UT_CHECK_EQUAL(TestIntersection(EFastSeg3(EVec3(4, 0, 0), EVec3(3, 0, 0), TagPOINTS()), 1.0f, kBox2), true, false);
  UT_CHECK_EQUAL(TestIntersection(EFastSeg3(EVec3(4, 0, 0), EVec3(3.01f, 0, 0), TagPOINTS()), 1.0f, kBox2), false,
                 false);
  UT_CHECK_EQUAL(TestIntersection(EFastSeg3(EVec3(3, 0, 0), EVec3(4, 0, 0), TagPOINTS()), 1.0f, kBox2), true, false);
  // The grown box is square at its corners, the capsule round.
  UT_CHECK_EQUAL(TestIntersection(EFastSeg3(EVec3(4, 4, 4), EVec3(2.99f, 2.99f, 2.99f), TagPOINTS()), 1.0f, kBox2),
                 false, true);
}

void TestPoints() {
  const ESphere sphere(EVec3(1, 1, 1), 1.0f);
  UT_CHECK_EQUAL(TestIntersection(EVec3(1, 1, 1), sphere), true, false);
  UT_CHECK_EQUAL(TestIntersection(EVec3(1, 1, 1.9f), sphere), true, false);
  UT_CHECK_EQUAL(TestIntersection(EVec3(1, 1, 2), sphere), false, false);
  UT_CHECK_EQUAL(TestIntersection(EVec3(2, 2, 2), sphere), false, false);

  const EBox3 box(EVec3(1, 1, 1), EVec3(2, 2, 2));
  UT_CHECK_EQUAL(TestIntersection(EVec3(1.5f, 1.5f, 1.5f), box), true, false);
  UT_CHECK_EQUAL(TestIntersection(EVec3(1, 1.5f, 1.5f), box), true, false);
  UT_CHECK_EQUAL(TestIntersection(EVec3(2, 2, 2), box), true, false);
  UT_CHECK_EQUAL(TestIntersection(EVec3(2.1f, 1.5f, 1.5f), box), false, false);
}

void TestSegmentsAgainstPlane() {
  const EPlane plane(EVec3(0, 1, 0), -1.0f);
  struct Case {
    EVec3 start, end;
    bool bResult;
  };
  const Case aCases[9] = {
      {EVec3(0, 1, 0), EVec3(1, 1, 1), true},  {EVec3(0, 2, 0), EVec3(1, 2, 1), false},
      {EVec3(0, 2, 0), EVec3(1, 1, 1), true},  {EVec3(0, 0, 0), EVec3(1, 1, 1), false},
      {EVec3(1, 1, 1), EVec3(2, 0, 2), true},  {EVec3(1, 1, 1), EVec3(2, 2, 2), false},
      {EVec3(0, 2, 0), EVec3(2, 0, 2), true},  {EVec3(0, 0, 0), EVec3(2, 2, 2), false},
      {EVec3(1, 2, 1), EVec3(2, 2, 2), false},
  };
  for (const Case& c : aCases)
    UT_CHECK_EQUAL(TestIntersectionCullBackfacing(ESeg3(c.start, c.end), plane), c.bResult, false);
}

void TestSegmentsAgainstTriangle() {
  for (int i = 0; i < kNumSegTriCases; ++i) {
    const SegTriCase& c = kSegTriCases[i];
    const ESeg3 seg(c.start, c.end), back(c.end, c.start);
    UT_CHECK_EQUAL(TestIntersection(seg, kSegTriTriangle), c.bResult, c.bNoCount);
    UT_CHECK_EQUAL(TestIntersectionCullBackfacing(seg, kSegTriTriangle), c.bResult, c.bNoCount);
    UT_CHECK_EQUAL(TestIntersection(back, kSegTriTriangle), c.bResult, c.bNoCount);
    UT_CHECK_EQUAL(TestIntersectionCullBackfacing(back, kSegTriTriangle), c.bResult && !c.bBack, c.bNoCount);
  }
  UT_CHECK_EQUAL(TestIntersection(ESeg3(EVec3(2, 1, 1), EVec3(2, 1, -1)), kSegTriTriangle), false, false);
}

void TestSegmentsAgainstSphere() {
  struct Case {
    EVec3 start, end;
    float fIgnored;
    bool bResult, bNoCount;
  };
  const Case aCases[7] = {
      {EVec3(2, 2, 2), EVec3(2, 2, 2), 0.0f, true, false},
      {EVec3(3, 6, 0.00001f), EVec3(3, 0, 0.00001f), 0.0f, true, false},
      {EVec3(3.1f, 6, 0), EVec3(3.1f, 0, 0), 0.0f, false, false},
      {EVec3(3, 10, 3), EVec3(3, 7, 3), 0.0f, false, false},
      {EVec3(3, 10, 3), EVec3(3, 5, 3), 0.0f, true, false},
      {EVec3(-1, 3, 3), EVec3(-5, 3, 3), 0.0f, false, false},
      {EVec3(0, 0, 0), EVec3(6, 6, 6), 0.0f, true, false},
  };
  for (const Case& c : aCases)
    UT_CHECK_EQUAL(TestIntersection(ESeg3(c.start, c.end), kSphere333), c.bResult, c.bNoCount);
  // Level coordinates against a huge sphere: float precision runs out.
  const ESeg3 far(EVec3(-547.2549f, 99.65959f, 2177.3911f), EVec3(-547.2549f, 39.65959f, 2177.3911f));
  UT_CHECK_EQUAL(TestIntersection(far, ESphere(EVec3(-747.80127f, -24769.023f, 3908.6494f), 24869.91f)), true, true);
}

void TestTriangleAgainstSpheres() {
  const ETri3 tri(EVec3(0, 0, 0), EVec3(2, 0, 0), EVec3(0, 1, 0));
  struct Case {
    EVec3 centre;
    float r;
    bool bResult;
  };
  const Case aCases[12] = {
      {EVec3(2, 0, 0), 0.0f, true},      {EVec3(2, 0, 0), 0.0f, true},        {EVec3(0, 1, 0), 0.0f, true},
      {EVec3(0.5f, 0.5f, 0), 0.0f, true}, {EVec3(1, -1, 0), 1.0f, true},       {EVec3(0.5f, 0.5f, 1), 1.0f, true},
      {EVec3(2, 0, 0), 1.3f, true},      {EVec3(0, -1, 0), 1.3f, true},       {EVec3(0.5f, 0.5f, 1), 1.3f, true},
      {EVec3(0, 0, 0), 2.1f, true},      {EVec3(0.5f, 0.5f, 1), 0.9f, false}, {EVec3(2.9f, -0.9f, 0), 1.0f, false},
  };
  for (const Case& c : aCases) UT_CHECK_EQUAL(TestIntersection(tri, ESphere(c.centre, c.r)), c.bResult, false);
}

void TestTrianglesAgainstBox() {
  struct Case {
    EVec3 p0, p1, p2;
    bool bResult;
  };
  const Case aCases[4] = {
      {EVec3(1, 0, 0), EVec3(10, 2, 2), EVec3(10, -2, -2), true},
      {EVec3(3, 1, 0), EVec3(-1, -3, 0), EVec3(3, -3, 0), true},
      {EVec3(3, 0, 0), EVec3(0, 3, 0), EVec3(0, 0, 3), true},
      {EVec3(8, 0, 0), EVec3(0, 8, 0), EVec3(0, 0, 8), false},
  };
  for (const Case& c : aCases) UT_CHECK_EQUAL(TestIntersection(ETri3(c.p0, c.p1, c.p2), kBox2), c.bResult, false);
}

void TestVolumes() {
  struct SphereCase {
    EVec3 centre;
    float r;
    bool bResult;
  };
  // Touching a face, an edge ((1, 5, 6): 3 and 4 from it) and a corner ((4, 5, 8): 2, 3 and 6 from it).
  const SphereCase aSpheres[11] = {
      {EVec3(1, 1, 3), 1.0f, true},  {EVec3(1, 1, 3.1f), 1.0f, false}, {EVec3(1, 1, -1), 1.0f, true},
      {EVec3(1, 5, 6), 5.0f, true},  {EVec3(1, 5, 6), 4.9f, false},    {EVec3(4, 5, 8), 7.0f, true},
      {EVec3(4, 5, 8), 6.9f, false}, {EVec3(1, 1, 1), 0.5f, true},     {EVec3(1, 1, 1), 10.0f, true},
      {EVec3(-1, 1, 1), 1.0f, true}, {EVec3(-1.1f, 1, 1), 1.0f, false},
  };
  for (const SphereCase& c : aSpheres)
    UT_CHECK_EQUAL(TestIntersection(ESphere(c.centre, c.r), kBox02), c.bResult, false);

  const ESSECube cube(EVec3(1, 1, 1), 1.0f);
  for (const BoxCase& c : kBoxCases) {
    UT_CHECK_EQUAL(TestIntersection(c.box, kBox02), c.bResult, false);
    UT_CHECK_EQUAL(TestIntersection(c.box, cube), c.bResult, false);
  }
  UT_CHECK_EQUAL(TestIntersection(kBox02, kBoxCases[9].box), true, false);

  const ECylinder cylinder(EVec3(0, -2, 0), 2.0f, 4.0f);
  const BoxCase aCylinderBoxes[10] = {
      {EBox3(EVec3(2, -1, -1), EVec3(3, 1, 1)), true},          {EBox3(EVec3(-1, -1, 2), EVec3(1, 1, 3)), true},
      {EBox3(EVec3(2, 2, 0), EVec3(3, 3, 1)), true},            {EBox3(EVec3(-1, 2, -1), EVec3(1, 3, 1)), true},
      {EBox3(EVec3(-1, -3, -1), EVec3(1, -2, 1)), true},        {EBox3(EVec3(-0.5f, -1, -0.5f), EVec3(0.5f, 1, 0.5f)), true},
      {EBox3(EVec3(-3, -3, -3), EVec3(3, 3, 3)), true},         {EBox3(EVec3(1.9f, -1, -1), EVec3(3, 1, 1)), true},
      {EBox3(EVec3(2.1f, -1, -1), EVec3(3, 1, 1)), false},      {EBox3(EVec3(2.1f, 0, -1), EVec3(3, 1, 1)), false},
  };
  for (const BoxCase& c : aCylinderBoxes) UT_CHECK_EQUAL(TestIntersection(c.box, cylinder), c.bResult, false);
}

void TestBoxesAgainstFrustum() {
  EFrustum frustum;
  frustum.FromViewport(180.0f, 1.0f, 1.0f, 100.0f, 200.0f, EVec3(0, 0, 0), EVec3(1, 0, 0), EVec3(0, 1, 0));
  struct Case {
    EVec3 centre, half;
    bool bResult;
    const char* szName;
    bool bNoCount;
  };
  const Case aCases[7] = {
      {EVec3(50, 0, 0), EVec3(1, 1, 1), false, "Inside side planes, before near plane", false},
      {EVec3(250, 0, 0), EVec3(1, 1, 1), false, "Inside side planes, after far plane", false},
      {EVec3(99, 0, 0), EVec3(5, 5, 5), true, "Intersect near plane", false},
      {EVec3(201, 0, 0), EVec3(5, 5, 5), true, "Intersect far plane", false},
      {EVec3(150, 161, 0), EVec3(5, 5, 5), false, "Box borner barely misses a side plane", false},
      {EVec3(150, 159, 0), EVec3(5, 5, 5), true, "Box borner barely hits a side plane", false},
      {EVec3(150, 30, 30), EVec3(5, 5, 5), true, "Fully enclosed", false},
  };
  for (const Case& c : aCases) {
    const EBox3 box(c.centre - c.half, c.centre + c.half);
    UT_CHECK_EQUAL(TestIntersection(box, frustum), c.bResult, c.bNoCount);
  }
}

void FindRaysAgainstBox() {
  struct Case {
    EVec3 start, end;
    float maxT, fEnter, fExit;
    bool bResult;
  };
  const Case aCases[8] = {
      {EVec3(5, 0, 1), EVec3(1, 0, 0), 1.0f, 0.75f, 1.0f, true},
      {EVec3(5, 0, 0), EVec3(1, 0, 0), 0.4f, -1.0f, -1.0f, false},
      {EVec3(5, 3, 0), EVec3(1, 3, 0), 1.0f, -1.0f, -1.0f, false},
      {EVec3(5, 3, 0), EVec3(1, 3.1f, 0.1f), 1.0f, -1.0f, -1.0f, false},
      {EVec3(5, 0, 1), EVec3(0, 5, 1.1f), 1.0f, -1.0f, -1.0f, false},
      {EVec3(-1, -1, -1), EVec3(1, 1, 1), 1.0f, 0.0f, 1.0f, true},
      {EVec3(-4, 0, 1), EVec3(16, 0, 0), 0.5f, 0.1f, 0.3f, true},
      {EVec3(-5, -1, 0), EVec3(4, 5, 1), 0.7f, 1.0f / 3.0f, 0.5f, true},
  };
  for (const Case& c : aCases) {
    const EVec3 dir = c.end - c.start;
    float fEnter = -1.0f, fExit = -1.0f;
    bool bHit = FindIntersection(c.start, dir, c.maxT, kBox2, fEnter, fExit);
    UT_CHECK_EQUAL(bHit, c.bResult, false);
    if (!bHit || !c.bResult) continue;
    UT_CHECK_FLOAT(fEnter, c.fEnter, false);
    if (c.fExit != -1.0f) UT_CHECK_FLOAT(fExit, c.fExit, false);

    float fBackEnter = -1.0f, fBackExit = -1.0f;
    const EVec3 farEnd = c.start + dir * c.maxT;
    UT_CHECK_EQUAL(FindIntersection(farEnd, -dir, c.maxT, kBox2, fBackEnter, fBackExit), true, false);
    UT_CHECK_FLOAT(fBackEnter, c.maxT - fExit, false);
    UT_CHECK_FLOAT(fBackExit, c.maxT - fEnter, false);
  }

  float t = -1.0f;
  UT_CHECK_EQUAL(FindIntersection(ESeg3(EVec3(5, 0, 0), EVec3(1, 0, 0)), kBox2, t), true, false);
  UT_CHECK_FLOAT(t, 3.0f, false);
}

void FindCapsuleEdgeVertex() {
  const EFastSeg3 edge(EVec3(0, 0, 0), EVec3(0, 0, 10), TagPOINTS());
  const float r2 = 4.0f;
  const float kNearVertex = 1.0f - sqrtf(0.75f);
  struct Case {
    EVec3 start, end;
    float tIn;
    int iCode;
    float tOut, s;  // s < 0: not compared
  };
  const Case aCases[20] = {
      // Parallel to the edge.
      {EVec3(4, 0, 0), EVec3(4, 0, 1), 1.0f, 0, 1.0f, -1.0f},
      {EVec3(1, 0, 2), EVec3(1, 0, 4), 1.0f, kINTERSECT_EDGE, 0.0f, 0.2f},
      {EVec3(1, 0, -2), EVec3(1, 0, 0), 0.1f, 0, 0.1f, -1.0f},
      {EVec3(1, 0, -2), EVec3(1, 0, 0), 1.0f, kINTERSECT_VERTEX, kNearVertex, -1.0f},
      {EVec3(1, 0, 10.1f), EVec3(1, 0, 11), 1.0f, 0, 1.0f, -1.0f},
      {EVec3(0, 0, -5), EVec3(0, 0, -1), 1.0f, kINTERSECT_VERTEX, 0.75f, -1.0f},
      {EVec3(0, 0, 15), EVec3(0, 0, 11), 1.0f, 0, 1.0f, -1.0f},
      {EVec3(1, 1, -1), EVec3(1, 1, -3), 1.0f, 0, 1.0f, -1.0f},
      // Across the edge's line.
      {EVec3(4, 0, 1), EVec3(0, 0, 1), 1.0f, kINTERSECT_EDGE, 0.5f, 0.1f},
      {EVec3(4, 0, 1), EVec3(0, 0, 1), 0.3f, 0, 0.3f, -1.0f},
      {EVec3(1, 2, 1), EVec3(1, 0, 1), 1.0f, kINTERSECT_EDGE, kNearVertex, 0.1f},
      {EVec3(1, 0, 1), EVec3(1, 2, 1), 1.0f, kINTERSECT_EDGE, 0.0f, 0.1f},
      {EVec3(3, 0, 1), EVec3(4, 0, 1), 1.0f, 0, 1.0f, -1.0f},
      {EVec3(3, 1, 11), EVec3(-3, 1, 11), 1.0f, 0, 1.0f, -1.0f},
      {EVec3(0, 3, 5), EVec3(0, -3, 5), 1.0f, kINTERSECT_EDGE, 1.0f / 6.0f, 0.5f},
      {EVec3(5, 5, 5), EVec3(1, 1, 5), 1.0f, kINTERSECT_EDGE, (5.0f - kSqrt2) / 4.0f, 0.5f},
      {EVec3(0, 0, 5), EVec3(1, 0, 5), 1.0f, kINTERSECT_EDGE, 0.0f, 0.5f},
      // Before the edge's start: its vertex.
      {EVec3(2, 0, -1), EVec3(0, 0, -1), 1.0f, kINTERSECT_VERTEX, kNearVertex, -1.0f},
      {EVec3(0, 0, -1), EVec3(2, 0, -1), 1.0f, kINTERSECT_VERTEX, 0.0f, -1.0f},
      {EVec3(3, 0, -3), EVec3(-3, 0, -3), 1.0f, 0, 1.0f, -1.0f},
  };
  for (const Case& c : aCases) {
    float t = c.tIn, s = -1.0f;
    int iCode = FindIntersection_Capsule_Edgevert(EFastSeg3(c.start, c.end, TagPOINTS()), edge, r2, t, s);
    UT_CHECK_EQUALI(iCode, c.iCode, false);
    UT_CHECK_FLOAT(t, c.tOut, false);
    if (c.s >= 0.0f) UT_CHECK_FLOAT(s, c.s, false);
  }
}

void FindSweptSphere() {
  const ETri3 small(EVec3(0, 0, 0), EVec3(0, 10, 0), EVec3(10, 0, 0));
  const ETri3 level(EVec3(6739.8418f, 888.55359f, -8131.4092f), EVec3(7014.5391f, 858.4303f, -8335.1943f),
                    EVec3(7014.582f, 890.55017f, -8334.8857f));
  struct Case {
    const char* szName;
    EVec3 start, end;
    float r;
    const ETri3* pTri;
    bool bTwoSided;
    float fTime, fPos;  // -1: not compared
    int iKind, iIndex;
  };
  const Case aCases[12] = {
      {"leave vtx", EVec3(7101.2065f, 813.51257f, -8425.451f), EVec3(7101.2065f, -227946.11f, -8425.451f), 200.0f,
       &level, false, -1.0f, -1.0f, 0, 0},
      {"frontface (nohit)", EVec3(2, 2, 5), EVec3(2, 2, 3), 1.0f, &small, true, -1.0f, -1.0f, 0, 0},
      {"frontface (nohit)", EVec3(8, 8, 2), EVec3(8, 8, 0), 1.0f, &small, true, -1.0f, -1.0f, 0, 0},
      {"frontface", EVec3(2, 2, 2), EVec3(2, 2, 0), 1.0f, &small, true, 0.5f, -1.0f, kINTERSECT_FACE, 0},
      {"backface", EVec3(2, 2, -2), EVec3(2, 2, 0), 1.0f, &small, true, 0.5f, -1.0f, kINTERSECT_FACE, 1},
      {"backface (nohit)", EVec3(2, 2, -2), EVec3(2, 2, 0), 1.0f, &small, false, -1.0f, -1.0f, 0, 0},
      {"backface edge", EVec3(-1, 4, -2), EVec3(-1, 4, 0), 1.1f, &small, true, -1.0f, 0.4f, kINTERSECT_EDGE, 0},
      {"backface edge", EVec3(4, -1, -2), EVec3(4, -1, 0), 1.1f, &small, true, -1.0f, 0.6f, kINTERSECT_EDGE, 2},
      {"backface vtx", EVec3(-1, -1, -2), EVec3(-1, -1, 0), 2.0f, &small, true, -1.0f, -1.0f, kINTERSECT_VERTEX, 0},
      {"backface vtx", EVec3(0, 11, -2), EVec3(0, 11, 0), 2.0f, &small, true, -1.0f, -1.0f, kINTERSECT_VERTEX, 1},
      {"leave frontface", EVec3(2, 2, 1), EVec3(2, 2, 3), 2.0f, &small, true, 1.0f, -1.0f, 0, 0},
      {"leave backface", EVec3(2, 2, -1), EVec3(2, 2, -3), 2.0f, &small, true, 1.0f, -1.0f, 0, 0},
  };
  for (const Case& c : aCases) {
    float t = 1.0f, s = -1.0f;
    int iCode = FindIntersection(EFastSeg3(c.start, c.end, TagPOINTS()), c.r, *c.pTri, c.pTri->GetFacePlane(),
                                 c.bTwoSided, t, s);
    UT_CHECK_EQUALI(iCode & 0xF000, c.iKind, false);
    UT_CHECK_EQUALI(iCode & 0x0FFF, c.iIndex, false);
    if (c.fTime != -1.0f) UT_CHECK_FLOAT(t, c.fTime, false);
    if (c.fPos != -1.0f && (iCode & 0xF000) == kINTERSECT_EDGE) UT_CHECK_FLOAT(s, c.fPos, false);
  }
}

void FindSegmentsAgainstTriangle() {
  for (int i = 0; i < kNumSegTriCases; ++i) {
    const SegTriCase& c = kSegTriCases[i];
    EVec3 start = c.start, end = c.end;
    float fDistance = -1.0f;
    if (i == 0) fDistance = kSqrt3;
    if (i == 2 || i == 4) fDistance = kSqrt2;
    if (i == 3) fDistance = 0.0f;
    if (i == 5) {
      // Crosses edge 2 at its midpoint (1, 0, 0).
      start = EVec3(2, 0, 1);
      end = EVec3(0, 0, -1);
      fDistance = kSqrt2;
    }
    const ESeg3 seg(start, end), back(end, start);
    float t = -1.0f;
    EVec2 uv;

    bool bHit = FindIntersection(seg, kSegTriTriangle, t, &uv);
    UT_CHECK_EQUAL(bHit, c.bResult, c.bNoCount);
    if (bHit && fDistance >= 0.0f) UT_CHECK_FLOAT(t, fDistance, c.bNoCount);
    bHit = FindIntersectionCullBackfacing(seg, kSegTriTriangle, t, &uv);
    UT_CHECK_EQUAL(bHit, c.bResult, c.bNoCount);
    if (bHit && fDistance >= 0.0f) UT_CHECK_FLOAT(t, fDistance, c.bNoCount);

    bHit = FindIntersection(back, kSegTriTriangle, t, &uv);
    UT_CHECK_EQUAL(bHit, c.bResult, c.bNoCount);
    if (bHit && fDistance >= 0.0f) UT_CHECK_FLOAT(t, back.length - fDistance, c.bNoCount);
    bHit = FindIntersectionCullBackfacing(back, kSegTriTriangle, t, &uv);
    UT_CHECK_EQUAL(bHit, c.bResult && !c.bBack, c.bNoCount);
    if (bHit && fDistance >= 0.0f) UT_CHECK_FLOAT(t, back.length - fDistance, c.bNoCount);
  }
}

void FindHitPoints() {
  const ETri3 tri(EVec3(0, 0, 0), EVec3(0, 3, 0), EVec3(3, 0, 0));
  const EVec3 aStarts[2] = {EVec3(1, 1, 1), EVec3(1, 1.5f, 1)};
  for (const EVec3& start : aStarts) {
    const EVec3 end = start - EVec3(0, 0, 2);
    const ESeg3 seg(start, end), back(end, start);
    float t = -1.0f;
    EVec2 uv(-1, -1);

    UT_CHECK_EQUAL(FindIntersection(seg, tri, t, &uv), true, false);
    UT_CHECK_VEC(tri.ConvertBarycentricToPoint(uv), seg.start + seg.dir * t, false);
    const float fContact = t;
    UT_CHECK_EQUAL(FindIntersection(back, tri, t, &uv), true, false);
    UT_CHECK_VEC(tri.ConvertBarycentricToPoint(uv), back.start + back.dir * t, false);
    UT_CHECK_EQUAL(FindIntersectionCullBackfacing(seg, tri, t, &uv), true, false);
    UT_CHECK_VEC(tri.ConvertBarycentricToPoint(uv), seg.start + seg.dir * t, false);

    const EVec3 ray = (end - start) * 3.0f;
    UT_CHECK_EQUALI(FindIntersection(start, ray, 1.0f, tri, t, &uv), kINTERSECT_FACE, false);
    UT_CHECK_FLOAT(t, fContact / (3.0f * seg.length), false);
    UT_CHECK_EQUALI(FindIntersection(end, -ray, 1.0f, tri, t, &uv), kINTERSECT_FACE + 1, false);
    UT_CHECK_FLOAT(t, fContact / (3.0f * seg.length), false);
  }
}

void FindSegmentsAgainstSphere() {
  struct Case {
    EVec3 start, end;
    bool bResult, bBack, bNoCount;
  };
  const Case aCases[8] = {
      {EVec3(3, 10, 3), EVec3(3, 5, 3), true, true, false},   {EVec3(3, 10, 3), EVec3(3, -4, 3), true, false, false},
      {EVec3(3, 10, 3), EVec3(3, 7, 3), false, false, false}, {EVec3(-1, 3, 3), EVec3(0.5f, 3, 3), true, true, false},
      {EVec3(0, 0, 0), EVec3(6, 6, 6), true, false, false},   {EVec3(3.1f, 6, 0), EVec3(3.1f, 0, 0), false, false, false},
      {EVec3(2, 2, 2), EVec3(2, 2, 2), true, false, false},   {EVec3(0, 6, 3), EVec3(6, 6, 3), true, false, false},
  };
  for (const Case& c : aCases) {
    for (int iDir = 0; iDir < 2; ++iDir) {
      const ESeg3 seg = iDir == 0 ? ESeg3(c.start, c.end) : ESeg3(c.end, c.start);
      for (int iCull = 0; iCull < 2; ++iCull) {
        float t = -1.0f;
        bool bHit = iCull ? FindIntersectionCullBackfacing(seg, kSphere333, t) : FindIntersection(seg, kSphere333, t);
        bool bExpected = c.bResult && !(iDir == 1 && iCull == 1 && c.bBack);
        UT_CHECK_EQUAL(bHit, bExpected, c.bNoCount);
        if (!bHit) continue;
        float fFromCentre = Distance(seg.start + seg.dir * t, kSphere333.centre);
        if (t > 0.0f)
          UT_CHECK_FLOAT(fFromCentre, kSphere333.radius, c.bNoCount);
        else
          UT_CHECK_EQUAL(fFromCentre <= kSphere333.radius, true, c.bNoCount);
      }
    }
  }
}

void FindBoxOverlap() {
  EBox3 overlap(EVec3(0, 0, 0), EVec3(0, 0, 0));
  UT_CHECK_EQUAL(FindIntersection(kBox02, EBox3(EVec3(1, -1, 1), EVec3(3, 1, 4)), overlap), true, false);
  UT_CHECK_BOX(overlap, EBox3(EVec3(1, 0, 1), EVec3(2, 1, 2)), false);
}

}  // namespace

void UnitTest_Distance() { DistanceGroup(); }

void UnitTest_TestIntersection() {
  TestSegmentsAgainstBoxes();
  TestPoints();
  TestSegmentsAgainstPlane();
  TestSegmentsAgainstTriangle();
  TestSegmentsAgainstSphere();
  TestTriangleAgainstSpheres();
  TestTrianglesAgainstBox();
  TestVolumes();
  TestBoxesAgainstFrustum();
}

void UnitTest_FindIntersection() {
  FindRaysAgainstBox();
  FindCapsuleEdgeVertex();
  FindSweptSphere();
  FindSegmentsAgainstTriangle();
  FindHitPoints();
  FindSegmentsAgainstSphere();
  FindBoxOverlap();
}

}  // namespace TWMath
