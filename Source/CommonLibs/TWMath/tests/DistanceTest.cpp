#include <gtest/gtest.h>

#include <cmath>

#include "TWMath/Intersect.h"

namespace {

using TWMath::Distance;
using TWMath::SqrDistance;

const float kSqrt2 = std::sqrt(2.0f);
const float kSqrt3 = std::sqrt(3.0f);

TEST(Distance, PointTo2DLine) {
  float t = -9;
  EXPECT_NEAR(Distance(EVec2(2, 2), ELine2(EVec2(0, 2), EVec2(2, 0), TagPOINTS()), &t), kSqrt2, 1e-6f);
  EXPECT_NEAR(t, 0.5f, 1e-6f);
  EXPECT_NEAR(Distance(EVec2(2, 2), ELine2(EVec2(0, 2), EVec2(-2, 4), TagPOINTS()), &t), kSqrt2, 1e-6f);
  EXPECT_NEAR(t, -0.5f, 1e-6f);
}

TEST(Distance, PointTo2DLineThroughOnePointMeasuresToThatPoint) {
  ELine2 line(EVec2(1, 1), EVec2(1, 1), TagPOINTS());
  float t = -9;
  EXPECT_FLOAT_EQ(Distance(EVec2(4, 5), line, &t), 5.0f);
  EXPECT_EQ(t, 0.0f);
  EXPECT_EQ(Distance(EVec2(1, 1), line, &t), 0.0f);
}

TEST(Distance, PointTo2DSegment) {
  ESeg2 seg(EVec2(1, 1), EVec2(4, 5));
  float t = -9;
  EXPECT_NEAR(Distance(EVec2(1, 5), seg, &t), 2.4f, 1e-5f);
  EXPECT_NEAR(t, 0.64f, 1e-5f);
  EXPECT_NEAR(Distance(EVec2(0, 0), seg, &t), kSqrt2, 1e-6f);
  EXPECT_EQ(t, 0.0f);
  EXPECT_NEAR(Distance(EVec2(5, 6), seg, &t), kSqrt2, 1e-6f);
  EXPECT_EQ(t, 1.0f);
  // A parameter of 0.000005 snaps to the start: the distance is to the start point.
  EVec2 p = EVec2(1, 1) + EVec2(0.6f, 0.8f) * 0.000025f + EVec2(-0.8f, 0.6f) * 3.0f;
  EXPECT_NEAR(Distance(p, seg, &t), (p - EVec2(1, 1)).Magnitude(), 1e-6f);
  EXPECT_EQ(t, 0.0f);
}

TEST(Distance, PointsAndPlanes) {
  EXPECT_NEAR(Distance(EVec3(1, 1, 1), EVec3(2, 3, 4)), std::sqrt(14.0f), 1e-6f);
  EXPECT_EQ(SqrDistance(EVec3(1, 1, 1), EVec3(2, 3, 4)), 14.0f);
  EXPECT_EQ(Distance(EVec3(0, 5.5f, 0), EPlane(EVec3(0, 1, 0), 0.0f)), 5.5f);
  EVec3 n(1, 1, 0);
  n.Normalize();
  EXPECT_NEAR(Distance(EVec3(2, 2, 10), EPlane(n, 0.0f)), 2 * kSqrt2, 1e-5f);
  EXPECT_LT(Distance(EVec3(-2, 0, 0), EPlane(n, 0.0f)), 0.0f);
}

TEST(Distance, PointToLineAndSegments) {
  EVec3 a(2, 0, 4), b(2, 4, 0), p(1, 1, 1);
  float t = -9;
  EXPECT_NEAR(Distance(p, ELine3(a, b, TagPOINTS()), &t), kSqrt3, 1e-5f);
  EXPECT_NEAR(t, 0.5f, 1e-6f);
  EXPECT_NEAR(Distance(p, EFastSeg3(a, b, TagPOINTS()), &t), kSqrt3, 1e-5f);
  EXPECT_NEAR(t, 0.5f, 1e-6f);
  ESeg3 seg(a, b);
  EXPECT_NEAR(Distance(p, seg, &t), kSqrt3, 1e-5f);
  EXPECT_NEAR(t, 0.5f, 1e-6f);
  EXPECT_NEAR(Distance(a - EVec3(1, kSqrt2, 0), seg, &t), kSqrt3, 1e-5f);
  EXPECT_EQ(t, 0.0f);
  EXPECT_NEAR(Distance(b + EVec3(1, kSqrt2, 0), seg, &t), kSqrt3, 1e-5f);
  EXPECT_EQ(t, 1.0f);

  // Lines are unbounded; a line through one point measures to that point.
  EXPECT_NEAR(SqrDistance(EVec3(2, 8, -4), ELine3(a, b, TagPOINTS()), &t), 0.0f, 1e-4f);
  EXPECT_NEAR(t, 2.0f, 1e-6f);
  EXPECT_NEAR(Distance(EVec3(2, 3, 4), ELine3(a, a, TagPOINTS()), &t), 3.0f, 1e-6f);
  EXPECT_EQ(t, 0.0f);
}

TEST(Distance, LineToLine) {
  float s = -9, t = -9;
  ELine3 xAxis(EVec3(0, 0, 0), EVec3(1, 0, 0), TagPARAMETRIC());
  EXPECT_NEAR(Distance(xAxis, ELine3(EVec3(1, 1, 1), EVec3(-1, -1, -1), TagPARAMETRIC()), &s, &t), 0.0f, 1e-3f);
  EXPECT_NEAR(s, 0.0f, 1e-5f);
  EXPECT_NEAR(t, 1.0f, 1e-5f);

  ELine3 a(EVec3(-1, -2, 1), EVec3(1, 2, 0), TagPARAMETRIC());
  EXPECT_NEAR(Distance(a, ELine3(EVec3(0, 0, 2), EVec3(1, 3, 0), TagPARAMETRIC()), &s, &t), 1.0f, 1e-5f);
  EXPECT_NEAR(s, 1.0f, 1e-5f);
  EXPECT_NEAR(t, 0.0f, 1e-5f);
  // Parallel: s projects b's first point onto a, t = 0.
  EXPECT_NEAR(Distance(a, ELine3(EVec3(-1, -2, 2), EVec3(1, 2, 0), TagPARAMETRIC()), &s, &t), 1.0f, 1e-5f);
  EXPECT_EQ(t, 0.0f);
  EXPECT_NEAR(s, 0.0f, 1e-6f);
  EXPECT_NEAR(Distance(a, a), 0.0f, 1e-3f);
}

TEST(Distance, LineToSegmentAgreesWithThePointQueries) {
  const EVec3 segEnds[2] = {EVec3(1, 1, 1), EVec3(3, 2, 1)};
  const float lines[4][4] = {{1, 0, 0, 1}, {0, 1, -1, 2}, {1, 0, 2, 2}, {3, 3, 5, 7}};
  for (int order = 0; order < 2; order++) {
    EFastSeg3 seg(segEnds[order], segEnds[1 - order], TagPOINTS());
    for (const auto& l : lines) {
      for (int lo = 0; lo < 2; lo++) {
        EVec3 p0(l[0], l[1], 1.1f), p1(l[2], l[3], 1.1f);
        ELine3 line = lo ? ELine3(p1, p0, TagPOINTS()) : ELine3(p0, p1, TagPOINTS());
        float s, t;
        float d = SqrDistance(line, seg, &s, &t);
        float refS, refT = 0;
        float ref;
        if (t == 0.0f) {
          ref = SqrDistance(seg.p0, line, &refS);
        } else if (t == 1.0f) {
          ref = SqrDistance(seg.p1, line, &refS);
        } else {
          ref = SqrDistance(line, ELine3(seg.p0, seg.p1, TagPOINTS()), &refS, &refT);
          EXPECT_NEAR(t, refT, 1e-4f);
        }
        EXPECT_NEAR(d, ref, 1e-4f);
        EXPECT_NEAR(s, refS, 1e-4f);
      }
    }
  }
  // A line parallel to the segment: t = 0 and s projects the segment's start.
  float s, t;
  EXPECT_NEAR(SqrDistance(ELine3(EVec3(0, 0, 0), EVec3(2, 0, 0), TagPOINTS()),
                          EFastSeg3(EVec3(3, 1, 0), EVec3(5, 1, 0), TagPOINTS()), &s, &t),
              1.0f, 1e-5f);
  EXPECT_EQ(t, 0.0f);
  EXPECT_NEAR(s, 1.5f, 1e-6f);
}

TEST(Distance, SpheresAndBoxes) {
  ESphere sphere(EVec3(1, 1, 1), 1);
  EXPECT_EQ(Distance(EVec3(1, 1, 1.9f), sphere), 0.0f);
  EXPECT_EQ(Distance(EVec3(1, 1, 2), sphere), 0.0f);
  EXPECT_NEAR(Distance(EVec3(1, 1, 2.1f), sphere), 0.1f, 1e-5f);
  EXPECT_NEAR(Distance(EVec3(2, 2, 2), sphere), kSqrt3 - 1, 1e-5f);

  EBox3 box(EVec3(1, 1, 1), EVec3(2, 2, 2));
  EXPECT_EQ(Distance(EVec3(1.5f, 1.5f, 1.5f), box), 0.0f);
  EXPECT_EQ(Distance(EVec3(2, 1.5f, 1), box), 0.0f);
  EXPECT_EQ(Distance(EVec3(1.5f, 1.5f, 3), box), 1.0f);
  EXPECT_NEAR(Distance(EVec3(1.5f, 3, 3), box), kSqrt2, 1e-6f);
  EXPECT_NEAR(Distance(EVec3(3, 3, 3), box), kSqrt3, 1e-6f);

  EBox3 a(EVec3(1, 1, 1), EVec3(3, 3, 3));
  struct { EBox3 b; float d; } cases[] = {
      {EBox3(EVec3(0, 0, 0), EVec3(4, 4, 4)), 0},     {EBox3(EVec3(2, 2, 2), EVec3(4, 4, 4)), 0},
      {EBox3(EVec3(3, 3, 3), EVec3(5, 5, 5)), 0},     {EBox3(EVec3(1, 1, 4), EVec3(3, 3, 6)), 1},
      {EBox3(EVec3(1, 4, 4), EVec3(3, 6, 6)), kSqrt2}, {EBox3(EVec3(4, 4, 4), EVec3(6, 6, 6)), kSqrt3},
  };
  for (const auto& c : cases) {
    EXPECT_NEAR(Distance(a, c.b), c.d, 1e-6f);
    EXPECT_NEAR(Distance(c.b, a), c.d, 1e-6f);
  }
}

}  // namespace
