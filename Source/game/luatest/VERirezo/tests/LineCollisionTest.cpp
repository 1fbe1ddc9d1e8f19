// Line collision shapes: times, segment lookups with hints, spline tangents,
// distances along the line, directions and the capsule tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "TWMath/Intersect.h"
#include "TWMath/Primitives.h"
#include "TWUtil/EMemStack.h"
#include "VERirezo/CollisionQuery.h"
#include "VERirezo/Entity.h"
#include "VERirezo/LineCollision.h"
#include "VERirezo/Physics.h"

namespace {

class LinePlainEntity : public EEntity {
public:
  explicit LinePlainEntity(const char* szName) : EEntity(nullptr, szName) {}
  void RequestRender() override {}
  void RunAffectors() override {}
  void SetupDefaultCollision() override {}
};

// A line of the points, no normals, owned by pOwner.
ELineCollision* MakeLine(EEntity* pOwner, std::vector<EVec3> aPoint, int iStyle, std::vector<float> aTime = {},
                         std::vector<EVec3> aNormal = {}) {
  ELineCollision* p = new ELineCollision(pOwner);
  EXPECT_TRUE(p->Init(aPoint, aNormal, iStyle, aTime.empty() ? nullptr : &aTime, false));
  return p;
}

void ExpectVec(const EVec3& want, const EVec3& got, float eps, const char* what) {
  EXPECT_NEAR(want.x, got.x, eps) << what;
  EXPECT_NEAR(want.y, got.y, eps) << what;
  EXPECT_NEAR(want.z, got.z, eps) << what;
}

// Segment lengths 5 and 12.
const std::vector<EVec3> kBent = {EVec3(0, 0, 0), EVec3(3, 4, 0), EVec3(3, 4, 12)};

}  // namespace

TEST(LineCollision, ConstructionAndInit) {
  ELineCollision line(nullptr);
  EXPECT_EQ(0.0f, line.GetRadius());
  EXPECT_EQ(ELineCollision::kTIME_None, line.GetTimeStyle());
  EXPECT_EQ(EVec3(0, 0, 0), line.GetBounds().vMin);
  EXPECT_EQ(EVec3(0, 0, 0), line.GetBounds().vMax);
  EXPECT_EQ(1.0f, line.GetColor().x);
  EXPECT_FLOAT_EQ(0.7f, line.GetColor().w);
  // A line never given points has no length to report.
  float fBefore = -1.0f, fAfter = -1.0f;
  line.GetDistances(0.5f, fBefore, fAfter);
  EXPECT_EQ(0.0f, fBefore);
  EXPECT_EQ(0.0f, fAfter);

  // Refused shapes change nothing.
  std::vector<EVec3> one = {EVec3(1, 2, 3)}, none;
  EXPECT_FALSE(line.Init(one, none, 2, nullptr, false));
  std::vector<EVec3> two = {EVec3(0, 0, 0), EVec3(1, 0, 0)}, badNormals = {EVec3(0, 1, 0)};
  EXPECT_FALSE(line.Init(two, badNormals, 2, nullptr, false));
  EXPECT_EQ(0, line.NumPoints());

  // Init swaps the arrays: the caller gets the previous (empty) ones back.
  std::vector<EVec3> normals = {EVec3(0, 1, 0), EVec3(0, 1, 0)};
  ASSERT_TRUE(line.Init(two, normals, 7, nullptr, true));
  EXPECT_TRUE(two.empty());
  EXPECT_TRUE(normals.empty());
  EXPECT_EQ(2, line.NumPoints());
  EXPECT_EQ(ELineCollision::kTIME_PointIndex, line.GetTimeStyle()) << "unknown styles become point indices";
  EXPECT_TRUE(line.IsLooping());

  // Given times with the wrong count fall back to point indices.
  std::vector<float> times = {0.0f};
  line.SetTimes(ELineCollision::kTIME_Given, &times);
  EXPECT_EQ(ELineCollision::kTIME_PointIndex, line.GetTimeStyle());
  EXPECT_EQ(std::vector<float>({0.0f, 1.0f}), line.GetTimes());
  std::vector<float> good = {0.0f, 4.0f};
  line.SetTimes(ELineCollision::kTIME_Given, &good);
  EXPECT_EQ(std::vector<float>({0.0f, 4.0f}), line.GetTimes());
  line.SetTimes(ELineCollision::kTIME_ArcLength, nullptr);
  EXPECT_EQ(std::vector<float>({0.0f, 1.0f}), line.GetTimes());
}

TEST(LineCollision, ParametricToSegment) {
  ELineCollision* index = MakeLine(nullptr, {EVec3(0, 0, 0), EVec3(1, 0, 0), EVec3(2, 0, 0), EVec3(3, 0, 0)}, 2);
  ELineCollision* given = MakeLine(nullptr, {EVec3(0, 0, 0), EVec3(1, 0, 0), EVec3(2, 0, 0)}, 1, {0.0f, 2.0f, 3.0f});
  struct Case {
    ELineCollision* line;
    float t;
    unsigned seg;
    float frac;
  } cases[] = {
      {index, 3.0f, 2, 1.0f}, {index, 1.5f, 1, 0.5f},  {index, -1.0f, 0, 0.0f}, {index, 0.0f, 0, 0.0f},
      {index, 9.0f, 2, 1.0f}, {given, 2.0f, 1, 0.0f},  {given, 3.0f, 1, 1.0f},  {given, 1.0f, 0, 0.5f},
      {given, 2.5f, 1, 0.5f}, {given, 50.0f, 1, 1.0f}, {given, -2.0f, 0, 0.0f},
  };
  for (const Case& c : cases) {
    float frac = -1.0f;
    EXPECT_EQ(c.seg, c.line->ParametricToSegment(c.t, &frac)) << c.t;
    EXPECT_FLOAT_EQ(c.frac, frac) << c.t;
  }
  delete index;
  delete given;
}

TEST(LineCollision, SearchHints) {
  ELineCollision* line = MakeLine(nullptr, {EVec3(0, 0, 0), EVec3(1, 0, 0), EVec3(3, 0, 0), EVec3(6, 0, 0)}, 3);
  // Distance times 0, 1, 3, 6.
  struct Case {
    unsigned hintIn;
    float t;
    unsigned seg;
    float frac;
    unsigned hintOut;
  } cases[] = {
      {2, 0.5f, 0, 0.5f, 0},   // back from the hint: the hint follows
      {0, 4.5f, 2, 0.5f, 0},   // forward: the hint stays
      {1, 2.0f, 1, 0.5f, 1},   // inside the hint's segment
      {1, 60.0f, 2, 1.0f, 2},  // past the end: last segment, hint moved there
      {2, 1.0f, 1, 0.0f, 1},   // exactly on a point behind the hint
  };
  for (const Case& c : cases) {
    unsigned hint = c.hintIn;
    float frac = -1.0f;
    EXPECT_EQ(c.seg, line->ParametricToSegment(c.t, &frac, &hint)) << c.t;
    EXPECT_FLOAT_EQ(c.frac, frac) << c.t;
    EXPECT_EQ(c.hintOut, hint) << c.t;
  }
  // A walk with a hint finds what the plain search finds.
  unsigned hint = 0;
  for (float t = 0.0f; t <= 6.0f; t += 0.37f) {
    float a, b;
    const unsigned sa = line->ParametricToSegment(t, &a, &hint);
    const unsigned sb = line->ParametricToSegment(t, &b);
    EXPECT_EQ(sb, sa) << t;
    EXPECT_FLOAT_EQ(b, a) << t;
  }
  delete line;
}

TEST(LineCollision, GetTOfHitsAndSegments) {
  ELineCollision* line = MakeLine(nullptr, {EVec3(0, 0, 0), EVec3(1, 0, 0), EVec3(3, 0, 0)}, 1, {0.0f, 2.0f, 10.0f});
  EXPECT_FLOAT_EQ(1.0f, line->GetT(0u, 0.5f));
  EXPECT_FLOAT_EQ(6.0f, line->GetT(1u, 0.5f));
  EHitResult hit;
  hit.pLines = line;
  hit.iDstPrimitive = 1;
  hit.fDstT = 0.25f;
  EXPECT_FLOAT_EQ(4.0f, line->GetT(hit));
  delete line;
}

TEST(LineCollision, TwoPointSplineIsTheStraightSegment) {
  const EVec3 P0(1, 2, 3), P1(7, 2, -5);  // length 10
  struct Case {
    int style;
    std::vector<float> times;
    EVec3 tangent;  // both the outgoing tangent of P0 and the incoming one of P1
    float length;   // parametric length
  } cases[] = {
      {3, {}, P1 - P0, 10.0f},
      {1, {0.0f, 4.0f}, P1 - P0, 4.0f},
      {2, {}, (P1 - P0) * 0.5f, 1.0f},
  };
  for (const Case& c : cases) {
    ELineCollision* line = MakeLine(nullptr, {P0, P1}, c.style, c.times);
    ExpectVec(c.tangent, line->GetTCBTangent(0, false), 1e-5f, "outgoing");
    ExpectVec(c.tangent, line->GetTCBTangent(1, true), 1e-5f, "incoming");
    for (float f = 0.0f; f <= 1.0f; f += 0.125f) {
      const EVec3 p = line->ParametricToPointTCB(f * c.length);
      // On the segment whatever the times.
      EXPECT_LT(TWMath::SqrDistance(p, EFastSeg3(P0, P1, TagPOINTS())), 1e-6f) << c.style << " " << f;
      if (c.style != 2) {
        // At constant speed.
        ExpectVec(P0.Lerp(P1, f), p, 1e-4f, "position");
        EVec3 tan, second;
        line->ParametricToInfoTCB(f * c.length, nullptr, &tan, &second);
        ExpectVec((P1 - P0) / c.length, tan, 1e-4f, "tangent");
        ExpectVec(EVec3(0, 0, 0), second, 1e-4f, "second derivative");
      }
    }
    delete line;
  }
}

TEST(LineCollision, TangentsOfInnerAndLoopingPoints) {
  // Index times: the Catmull-Rom tangent (next - previous) / 2.
  ELineCollision* line = MakeLine(nullptr, {EVec3(0, 0, 0), EVec3(2, 0, 0), EVec3(2, 4, 0)}, 2);
  ExpectVec(EVec3(1, 2, 0), line->GetTCBTangent(1, true), 1e-6f, "inner");
  ExpectVec(EVec3(1, 2, 0), line->CalculateTCBTangent(1, false, 0, 0, 0), 1e-6f, "inner, computed");
  // Tension 1 flattens the tangent, bias 1 leans it on the next point.
  ExpectVec(EVec3(0, 0, 0), line->CalculateTCBTangent(1, false, 1, 0, 0), 1e-6f, "tension");
  ExpectVec(EVec3(0, 4, 0), line->CalculateTCBTangent(1, false, 0, 0, 1), 1e-6f, "bias");
  delete line;

  // A closed square with distance times: the first point's neighbours wrap round.
  std::vector<EVec3> pts = {EVec3(0, 0, 0), EVec3(1, 0, 0), EVec3(1, 1, 0), EVec3(0, 1, 0), EVec3(0, 0, 0)};
  std::vector<EVec3> none;
  ELineCollision loop(nullptr);
  ASSERT_TRUE(loop.Init(pts, none, 3, nullptr, true));
  ExpectVec(EVec3(0.5f, -0.5f, 0), loop.GetTCBTangent(0, false), 1e-6f, "first point of a loop");
  ExpectVec(EVec3(0.5f, -0.5f, 0), loop.GetTCBTangent(4, true), 1e-6f, "last point of a loop");
}

TEST(LineCollision, DistancesAlongTheLine) {
  ELineCollision* index = MakeLine(nullptr, kBent, 2);
  ELineCollision* dist = MakeLine(nullptr, kBent, 3);
  struct ToParam {
    ELineCollision* line;
    float d, t;
  } toParam[] = {{index, 5.0f, 1.0f}, {index, 11.0f, 1.5f}, {index, 100.0f, 2.0f}, {index, -1.0f, 0.0f},
                 {index, 2.5f, 0.5f}, {dist, 11.0f, 11.0f},  {dist, 100.0f, 17.0f},  {dist, -3.0f, 0.0f}};
  for (const ToParam& c : toParam) EXPECT_FLOAT_EQ(c.t, c.line->DistanceToParametric(c.d)) << c.d;

  struct Around {
    ELineCollision* line;
    float t, before, after;
  } around[] = {{index, 1.5f, 11.0f, 6.0f}, {index, 0.0f, 0.0f, 17.0f}, {index, 2.0f, 17.0f, 0.0f},
                {dist, 7.0f, 7.0f, 10.0f}};
  for (const Around& c : around) {
    float b = -1, a = -1;
    c.line->GetDistances(c.t, b, a);
    EXPECT_FLOAT_EQ(c.before, b) << c.t;
    EXPECT_FLOAT_EQ(c.after, a) << c.t;
  }

  struct Between {
    float t1, t2, d;
  } between[] = {{0.5f, 1.5f, 8.5f}, {1.5f, 0.5f, -8.5f}, {1.0f, 1.0f, 0.0f},
                 {-1.0f, 5.0f, 17.0f}, {2.0f, 2.0f, 0.0f}, {1.25f, 1.75f, 6.0f}};
  for (const Between& c : between) EXPECT_FLOAT_EQ(c.d, index->GetDistanceBetween(c.t1, c.t2)) << c.t1 << " " << c.t2;
  delete index;
  delete dist;
}

TEST(LineCollision, DirectionsAndNormals) {
  // Along +X, then along +Z.
  ELineCollision* line = MakeLine(nullptr, {EVec3(0, 0, 0), EVec3(2, 0, 0), EVec3(2, 0, 2)}, 2, {},
                                  {EVec3(0, 1, 0), EVec3(1, 0, 0), EVec3(1, 0, 0)});
  const float h = std::sqrt(0.5f);
  struct Case {
    float t;
    EVec3 forward;
    EVec3 smoothed;
  } cases[] = {
      {0.0f, EVec3(1, 0, 0), EVec3(0, 1, 0)},
      {0.4f, EVec3(1, 0, 0), EVec3(0, 1, 0)},
      {1.0f, EVec3(h, 0, h), EVec3(h, h, 0)},  // half of each neighbour
      {1.5f, EVec3(0, 0, 1), EVec3(1, 0, 0)},
      {2.0f, EVec3(0, 0, 1), EVec3(1, 0, 0)},
  };
  for (const Case& c : cases) {
    ExpectVec(c.forward, line->GetForward(c.t), 1e-5f, "forward");
    ExpectVec(c.smoothed, line->GetSmoothedNormal(c.t), 1e-5f, "smoothed normal");
  }
  ExpectVec(EVec3(1, 0, 0), line->GetUnsmoothedNormal(1.2f), 0.0f, "unsmoothed");
  delete line;
}

TEST(LineCollision, OwnerTransformCarriesResultsIntoTheWorld) {
  LinePlainEntity owner("rope");
  owner.SetPhysics(new EPhysics(&owner));
  EMat4 m = MatrixRotateY(90.0f);
  m.SetTranslation(EVec3(100, 0, 0));
  owner.GetPhysics()->SetRelTrans(m, SRT_Position | SRT_Rotation | SRT_Teleport);
  const EMat4& abs = owner.GetPhysics()->GetAbsTrans();

  ELineCollision* line = MakeLine(&owner, {EVec3(0, 0, 0), EVec3(10, 0, 0)}, 2);
  ExpectVec(abs.TransformPoint(EVec3(5, 0, 0)), line->ParametricToPoint(0.5f), 1e-4f, "point");
  ExpectVec(abs.TransformPoint(EVec3(5, 0, 0)), line->ParametricToPointTCB(0.5f), 1e-4f, "spline point");
  ExpectVec(abs.Mul3Vec3(EVec3(1, 0, 0)), line->GetForward(0.5f), 1e-5f, "forward");
  // Without normals the up vector is reported as it is.
  EXPECT_EQ(EVec3(0, 1, 0), line->GetUnsmoothedNormal(0.5f));
  EXPECT_EQ(EVec3(0, 1, 0), line->GetSmoothedNormal(0.5f));
  line->SetRadius(1.0f);
  const EBox3 box = line->GetTransformedCollisionBoundingBox();
  for (float t : {0.0f, 0.5f, 1.0f}) {
    const EVec3 p = line->ParametricToPoint(t);
    EXPECT_LE(TWMath::SqrDistance(p, box), 1e-6f) << t;
  }
  owner.SetLineCollision(line);
  EXPECT_EQ(line, owner.GetLineCollision());
}

TEST(LineCollision, FittedBoxHugsTheLine) {
  ELineCollision* line = MakeLine(nullptr, {EVec3(0, 0, 0), EVec3(50, 50, 0), EVec3(100, 100, 0)}, 2, {},
                                  {EVec3(0, 0, 1), EVec3(0, 0, 1), EVec3(0, 0, 1)});
  line->SetRadius(2.0f);
  // Two of the box's extents are the radius, the third the line's half length and the radius.
  std::vector<float> ext = {line->GetBounds().GetExtent().x, line->GetBounds().GetExtent().y,
                            line->GetBounds().GetExtent().z};
  std::sort(ext.begin(), ext.end());
  EXPECT_NEAR(2.0f, ext[0], 1e-3f);
  EXPECT_NEAR(2.0f, ext[1], 1e-3f);
  EXPECT_NEAR(std::sqrt(2.0f) * 50.0f + 2.0f, ext[2], 1e-2f);
  // Frame and inverse agree.
  const EVec3 p(30, 40, 5);
  ExpectVec(p, line->GetFrame().TransformPoint(line->GetInvFrame().TransformPoint(p)), 1e-3f, "round trip");
  // A sphere inside the axis-aligned box but far from the line is rejected by the box.
  const int nTests = (int)g_CollideStats.nCapsuleTests;
  EHitResult hit;
  EXPECT_EQ(nullptr, line->CheckForIntersection(ESphere(EVec3(100, 0, 0), 5.0f), &hit));
  EXPECT_EQ(nTests, (int)g_CollideStats.nCapsuleTests) << "no segment tested";
  delete line;
}

TEST(LineCollision, SphereAndLineIntersections) {
  // Radius 1 along X from 0 to 10, then to (10, 10, 0).
  ELineCollision* line = MakeLine(nullptr, {EVec3(0, 0, 0), EVec3(10, 0, 0), EVec3(10, 10, 0)}, 2);
  line->SetRadius(1.0f);
  struct Case {
    ESphere sphere;
    bool hit;
    int seg;
    float frac;
  } cases[] = {
      {ESphere(EVec3(5, 3, 0), 2.0f), false, -1, 0},    // exactly r + R away: no touch
      {ESphere(EVec3(5, 2.99f, 0), 2.0f), true, 0, 0.5f},
      {ESphere(EVec3(11, 5, 0), 0.5f), true, 1, 0.5f},
      {ESphere(EVec3(9.8f, 0.5f, 0), 0.5f), true, 1, 0.05f},  // the nearer segment wins
      {ESphere(EVec3(-3, 0, 0), 1.0f), false, -1, 0},
  };
  for (const Case& c : cases) {
    EHitResult hit;
    hit.pNext = &hit;
    EHitResult* p = line->CheckForIntersection(c.sphere, &hit);
    EXPECT_EQ(c.hit, p != nullptr) << c.sphere.centre.x << "," << c.sphere.centre.y;
    EXPECT_EQ(c.hit, TestIntersection(c.sphere, *line, false));
    if (!p) {
      EXPECT_FLOAT_EQ(0.7f, line->GetColor().w);
      continue;
    }
    EXPECT_EQ(&hit, p);
    EXPECT_EQ(CCT_CapsuleEdge, p->eType);
    EXPECT_EQ(line, p->pLines);
    EXPECT_EQ(0.0f, p->fTime);
    EXPECT_EQ(c.seg, (int)p->iDstPrimitive);
    EXPECT_NEAR(c.frac, p->fDstT, 1e-5f);
    EXPECT_EQ(nullptr, p->pNext);
    EXPECT_EQ(EVec4(1, 1, 0, 1).z, line->GetColor().z) << "yellow on a hit";
  }

  // Skips: the marked segment is passed over unless skips are ignored.
  line->AddSkip(0);
  line->AddSkip(7);  // outside: ignored
  EXPECT_TRUE(line->IsSkipped(0));
  EXPECT_FALSE(line->IsSkipped(1));
  EXPECT_FALSE(line->IsSkipped(7));
  const ESphere onFirst(EVec3(5, 0.5f, 0), 0.5f);
  EXPECT_EQ(nullptr, line->CheckForIntersection(onFirst, nullptr));
  EXPECT_TRUE(TestIntersection(onFirst, *line, true));
  int seg;
  float frac;
  EXPECT_NEAR(5.0f, Distance(EVec3(5, 0.5f, 0), *line, seg, frac, false), 1e-3f);
  EXPECT_EQ(1, seg);
  EXPECT_NEAR(0.5f, Distance(EVec3(5, 0.5f, 0), *line, seg, frac, true), 1e-5f);
  EXPECT_EQ(0, seg);
  line->AddSkip(1);
  Distance(EVec3(5, 0.5f, 0), *line, seg, frac, false);
  EXPECT_EQ(-1, seg);
  EXPECT_EQ(-1.0f, frac);
  line->ClearSkips();
  EXPECT_FALSE(line->IsSkipped(0));

  // A line query: the ray along Z through (5, 0.5) passes within the radius.
  EHitResult hit;
  EHitResult* p = line->CheckForIntersection(ELine3(EVec3(5, 0.5f, -10), EVec3(5, 0.5f, 10), TagPOINTS()), &hit);
  ASSERT_NE(nullptr, p);
  EXPECT_NEAR(0.5f, p->fTime, 1e-5f);
  EXPECT_EQ(0, (int)p->iDstPrimitive);
  EXPECT_NEAR(0.5f, p->fDstT, 1e-5f);
  EXPECT_EQ(nullptr, line->CheckForIntersection(ELine3(EVec3(5, 2, -10), EVec3(5, 2, 10), TagPOINTS()), &hit));

  // Without a record the hit lives on the thread's stack until the mark goes.
  EMemStack& stack = *GetThreadLocalStack();
  {
    EMemMark mark(stack);
    EHitResult* q = line->CheckForIntersection(ESphere(EVec3(5, 0, 0), 0.1f), nullptr);
    ASSERT_NE(nullptr, q);
    EXPECT_TRUE(stack.IsValidPointer(q));
    EXPECT_EQ(line, q->pLines);
  }
  delete line;
}
