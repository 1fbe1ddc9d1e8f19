#include <gtest/gtest.h>

#include <cmath>

#include "TWMath/Curve.h"
#include "TraceCapture.h"

namespace {

void ExpectNear3(const EVec3& v, const EVec3& e, float eps = 1e-5f) {
  EXPECT_NEAR(v.x, e.x, eps);
  EXPECT_NEAR(v.y, e.y, eps);
  EXPECT_NEAR(v.z, e.z, eps);
}

// ---------------------------------------------------------------------------
// Segments and interpolators

TEST(PositionCurveSegment, CatmullRomEndsAndTangents) {
  const EVec3 k[4] = {{0, 0, 0}, {0, 0, 0}, {4, 2, 0}, {6, 2, 2}};
  EPositionCurveSegment seg;
  seg.InitCatmullRom(k);
  EXPECT_EQ(seg.m_vT0, EVec3(2, 1, 0));  // k0 == k1: half the chord
  EXPECT_EQ(seg.m_vT1, EVec3(3, 1, 1));
  EXPECT_EQ(seg.Evaluate(0), k[1]);
  EXPECT_EQ(seg.Evaluate(1), k[2]);
  EXPECT_EQ(seg.Tangent(0), seg.m_vT0);
  EXPECT_EQ(seg.Tangent(1), seg.m_vT1);
  // The tangent is the derivative of the position.
  for (float t : {0.2f, 0.5f, 0.9f}) {
    EVec3 d = (seg.Evaluate(t + 0.001f) - seg.Evaluate(t - 0.001f)) * (1.0f / 0.002f);
    ExpectNear3(seg.Tangent(t), d, 2e-2f);
  }
}

TEST(PositionCurveSegment, KochanekBartelsParameters) {
  const EVec3 k[4] = {{-1, 0, 0}, {0, 0, 0}, {1, 1, 0}, {3, 1, 0}};
  EPositionCurveSegment cr, kb, tense, biased;
  cr.InitCatmullRom(k);
  kb.InitKochanekBartels(k, 0, 0, 0);
  ExpectNear3(kb.m_vT0, cr.m_vT0);
  ExpectNear3(kb.m_vT1, cr.m_vT1);
  tense.InitKochanekBartels(k, -1, 0, 0);
  ExpectNear3(tense.m_vT0, cr.m_vT0 * 2.0f);
  ExpectNear3(tense.m_vT1, cr.m_vT1 * 2.0f);
  // Bias 1 takes the incoming chords only.
  biased.InitKochanekBartels(k, 0, 0, 1);
  ExpectNear3(biased.m_vT0, (k[1] - k[0]));
  ExpectNear3(biased.m_vT1, (k[2] - k[1]));
}

TEST(RotationCurveSegment, PassesThroughItsKeys) {
  const EVec3 keys[4] = {{0, 0, 0}, {10, 20, 5}, {30, 60, -10}, {40, 80, 0}};
  ERotationCurveSegment seg;
  seg.InitRotationSpline(keys);
  ExpectNear3(seg.Evaluate(0), keys[1], 1e-3f);
  ExpectNear3(seg.Evaluate(1), keys[2], 1e-3f);
}

TEST(RotationCurveSegment, OppositeHemisphereKeysTakeTheShortWay) {
  // Yaw 170 and -170 are 20 degrees apart across 180.
  const EVec3 keys[4] = {{0, 170, 0}, {0, 170, 0}, {0, -170, 0}, {0, -170, 0}};
  ERotationCurveSegment seg;
  seg.InitRotationSpline(keys);
  EVec3 mid = seg.Evaluate(0.5f);
  EXPECT_GT(std::fabs(mid.y), 179.0f);
  EXPECT_NEAR(mid.x, 0.0f, 1e-3f);
}

TEST(Interpolator, Profiles) {
  EInterpolator linear;
  linear.Init(0, 0);
  for (float t : {0.0f, 0.3f, 0.7f, 1.0f}) EXPECT_FLOAT_EQ(linear.GetPosition(t), t);

  EInterpolator ease;
  ease.Init(0.5f, 0.5f);
  EXPECT_FLOAT_EQ(ease.GetPosition(0.5f), 0.5f);
  EXPECT_FLOAT_EQ(ease.GetPosition(0.25f), 0.125f);
  EXPECT_FLOAT_EQ(ease.GetPosition(0.75f), 0.875f);
  EXPECT_FLOAT_EQ(ease.GetPosition(1.0f), 1.0f);

  // Phase boundaries join without a jump.
  EInterpolator three;
  three.Init(0.2f, 0.3f);
  for (float b : {0.2f, 0.7f}) EXPECT_NEAR(three.GetPosition(b - 1e-4f), three.GetPosition(b + 1e-4f), 1e-3f);
  float prev = 0.0f;
  for (int i = 0; i <= 100; i++) {
    float p = three.GetPosition(i / 100.0f);
    EXPECT_GE(p, prev);
    prev = p;
  }
}

TEST(Interpolator, BadInputIsReportedAndComputed) {
  TraceCapture capture;
  EInterpolator never;
  EXPECT_EQ(never.GetPosition(0.5f), 0.0f);
  EXPECT_TRUE(capture.Contains("m_fAccelTime >= 0.0f && m_fDecelTime >= 0.0f"));

  capture.Clear();
  EInterpolator over;
  over.Init(0.6f, 0.6f);
  EXPECT_TRUE(capture.Contains("fAccelTime + fDecelTime <= 1.0f"));
  // Peak speed 1 / 0.4 = 2.5: overlapping phases, still pinned to [0, 1].
  EXPECT_FLOAT_EQ(over.GetPosition(0.2f), 2.5f * 0.2f / 0.6f * 0.2f * 0.5f);

  capture.Clear();
  float p = over.GetPosition(1.5f);
  EXPECT_GE(p, 0.0f);
  EXPECT_LE(p, 1.0f);
  EXPECT_TRUE(capture.Contains("fTime >= 0.0f && fTime <= 1.0f"));
}

// ---------------------------------------------------------------------------
// Spline paths

const EVec3 kWaypoints[4] = {{0, 0, 0}, {10, 0, 0}, {10, 0, -10}, {0, 5, -10}};

TEST(SplinePath, OpenAndClosedWindows) {
  ESplinePath open;
  open.setPath(false, 3, kWaypoints, nullptr, false);
  ASSERT_EQ(open.getSegmentCount(), 2u);
  const EPositionCurveSegment& s0 = open.GetControlPoint(0)->m_Segment;
  const EPositionCurveSegment& s1 = open.GetControlPoint(1)->m_Segment;
  // Windows (W0, W0, W1, W2) and (W0, W1, W2, W2).
  EXPECT_EQ(s0.m_vT0, (kWaypoints[1] - kWaypoints[0]) * 0.5f);
  EXPECT_EQ(s0.m_vT1, ((kWaypoints[2] - kWaypoints[1]) + (kWaypoints[1] - kWaypoints[0])) * 0.5f);
  EXPECT_EQ(s1.m_vT1, (kWaypoints[2] - kWaypoints[1]) * 0.5f);
  EXPECT_EQ(open.GetMemUsage(), 2 * 88);
  EXPECT_FALSE(open.IsExplicit());

  ESplinePath closed;
  closed.setPath(true, 3, kWaypoints, nullptr, false);
  ASSERT_EQ(closed.getSegmentCount(), 3u);
  const EPositionCurveSegment& last = closed.GetControlPoint(2)->m_Segment;
  // The last segment runs from W2 back to W0 with the window (W1, W2, W0, W1).
  EXPECT_EQ(last.m_vP0, kWaypoints[2]);
  EXPECT_EQ(last.m_vP1, kWaypoints[0]);
  EXPECT_EQ(last.m_vT0, ((kWaypoints[0] - kWaypoints[2]) + (kWaypoints[2] - kWaypoints[1])) * 0.5f);
  EXPECT_EQ(last.m_vT1, ((kWaypoints[1] - kWaypoints[0]) + (kWaypoints[0] - kWaypoints[2])) * 0.5f);

  ESplinePath single;
  single.setPath(false, 1, kWaypoints, nullptr, false);
  EXPECT_EQ(single.getSegmentCount(), 0u);
}

TEST(SplinePath, TwoWaypointsTakeTheFirstUpVector) {
  const EVec3 ups[2] = {{0, 0, 2}, {1, 0, 0}};
  ESplinePath path;
  path.setPath(false, 2, kWaypoints, ups, false);
  ASSERT_EQ(path.getSegmentCount(), 1u);
  EXPECT_EQ(path.GetControlPoint(0)->m_vUp, EVec3(0, 0, 1));
}

TEST(SplinePath, ChordLengthParametersWithoutSamples) {
  ESplinePath path;
  path.setPath(false, 4, kWaypoints, nullptr, false);
  float total = 10 + 10 + std::sqrt(125.0f);
  EXPECT_NEAR(path.GetControlPoint(0)->m_fParametricEnd, 10 / total, 1e-6f);
  EXPECT_NEAR(path.GetControlPoint(2)->m_fParametricEnd, 1.0f, 1e-6f);
  EXPECT_EQ(path.ImplicitEvaluation(0), kWaypoints[0]);
  ExpectNear3(path.ImplicitEvaluation(10 / total), kWaypoints[1], 1e-4f);
  ExpectNear3(path.ExplicitEvaluation(20 / total), kWaypoints[2], 1e-4f);
  ExpectNear3(path.ImplicitEvaluation(1.0f), kWaypoints[3], 1e-5f);

  EXPECT_EQ(path.getWayPointParametricValue(0), 0.0f);
  EXPECT_NEAR(path.getWayPointParametricValue(1), 10 / total, 1e-6f);
  EXPECT_EQ(path.getWayPointParametricValue(3), 0.0f);  // the final waypoint
  EXPECT_EQ(path.getWaypoint(7), 7u);
  EXPECT_EQ(path.getNearestPoint(EVec3()), 0.5f);

  unsigned key = 0xFFFFFFFF;
  EVec3 pos, fwd, up;
  EXPECT_EQ(path.ImplicitEvaluationIncludingUpVector(&key, 0.5f, 1, &pos, &fwd, &up), 1u);
  EXPECT_EQ(key, 1u);
  EXPECT_NEAR(fwd.Length(), 1.0f, 1e-5f);
  EXPECT_EQ(up, EVec3(0, 1, 0));
}

TEST(SplinePath, UniformSamples) {
  ESplinePath path;
  path.setPath(false, 4, kWaypoints, nullptr, true);
  ASSERT_TRUE(path.IsExplicit());
  ASSERT_EQ(path.getKeyCount(), 3u * 32 + 1);
  EXPECT_EQ(path.GetMemUsage(), 3 * 88 + 97 * 32);
  EXPECT_GT(path.getLength(), 25.0f);
  EXPECT_EQ(path.GetKey(0)->m_fParameter, 0.0f);
  EXPECT_EQ(path.GetKey(96)->m_fParameter, 1.0f);
  EXPECT_EQ(path.GetKey(96)->m_dwWaypoint, 2u);
  for (unsigned i = 1; i < path.getKeyCount(); i++)
    EXPECT_GE(path.GetKey(i)->m_fParameter, path.GetKey(i - 1)->m_fParameter);
  EXPECT_EQ(path.GetControlPoint(2)->m_fParametricEnd, 1.0f);

  // t = 1 from an unknown key ends exactly on the last sample.
  EXPECT_EQ(path.ExplicitEvaluation(1.0f), path.GetKey(96)->m_vPosition);
  EXPECT_EQ(path.ExplicitEvaluation(0.0f), kWaypoints[0]);

  // A remembered key gives the same answers as a fresh binary search.
  unsigned key = 0xFFFFFFFF;
  for (int i = 0; i <= 50; i++) {
    float t = i / 50.0f;
    unsigned fresh = 0xFFFFFFFF;
    EVec3 p1, f1, u1, p2, f2, u2;
    unsigned w1 = path.ExplicitEvaluationIncludingUpVector(&key, t, 1, &p1, &f1, &u1);
    unsigned w2 = path.ExplicitEvaluationIncludingUpVector(&fresh, t, 1, &p2, &f2, &u2);
    EXPECT_EQ(w1, w2) << t;
    ExpectNear3(p1, p2, 1e-5f);
    EXPECT_NEAR(f1.Length(), 1.0f, 1e-4f);
    EXPECT_NEAR(u1.Length(), 1.0f, 1e-4f);
    EXPECT_EQ(path.getKey(0, t), path.getKey(key, t));
  }
  EXPECT_EQ(path.getNearestPoint(kWaypoints[2] + EVec3(0, 0.1f, 0)), path.getWayPointParametricValue(2));
  EXPECT_EQ(path.getWayPointParametricValue(9), 1.0f);  // no sample carries it
  EXPECT_EQ(path.getWaypoint(1000), 0u);
}

TEST(SplinePath, ExplicitParameterValues) {
  ESplinePath path;
  path.setPath(false, 4, kWaypoints, nullptr, false);

  TraceCapture capture;
  float few[2] = {0, 1};
  EXPECT_FALSE(path.SetExplicitParametricValues(few, 2));
  EXPECT_TRUE(capture.Contains("Not enough values"));
  float many[5] = {0, 0.1f, 0.2f, 0.3f, 1};
  EXPECT_FALSE(path.SetExplicitParametricValues(many, 5));
  EXPECT_TRUE(capture.Contains("Too many values"));

  capture.Clear();
  float bogus[4] = {0, 0.5f, 0.5f, 1};
  EXPECT_FALSE(path.SetExplicitParametricValues(bogus, 4));
  EXPECT_TRUE(capture.Contains("Bogus value in  0.500000 at waypoint 2 (less than its predecessor)"));
  float total = 10 + 10 + std::sqrt(125.0f);
  EXPECT_NEAR(path.GetControlPoint(0)->m_fParametricEnd, 10 / total, 1e-6f);  // reset

  capture.Clear();
  float outside[4] = {0, 1.5f, 1.6f, 1};
  EXPECT_FALSE(path.SetExplicitParametricValues(outside, 4));
  EXPECT_TRUE(capture.Contains("out of range [0,1]"));

  float values[4] = {0, 0.2f, 0.3f, 1};
  EXPECT_TRUE(path.SetExplicitParametricValues(values, 4));
  EXPECT_FLOAT_EQ(path.GetControlPoint(0)->m_fParametricEnd, 0.2f);
  EXPECT_FLOAT_EQ(path.GetControlPoint(1)->m_fParametricEnd, 0.3f);
  EXPECT_EQ(path.GetControlPoint(2)->m_fParametricEnd, 1.0f);
  ExpectNear3(path.ImplicitEvaluation(0.2f), kWaypoints[1], 1e-4f);

  // With samples the values spread over each segment's samples.
  ESplinePath sampled;
  sampled.setPath(false, 4, kWaypoints, nullptr, true);
  EXPECT_TRUE(sampled.SetExplicitParametricValues(values, 4));
  EXPECT_EQ(sampled.GetKey(0)->m_fParameter, 0.0f);
  EXPECT_EQ(sampled.GetKey(96)->m_fParameter, 1.0f);
  for (unsigned i = 1; i < sampled.getKeyCount(); i++)
    EXPECT_GE(sampled.GetKey(i)->m_fParameter, sampled.GetKey(i - 1)->m_fParameter) << i;
  EXPECT_LE(sampled.GetKey(31)->m_fParameter, 0.2f);
  EXPECT_GT(sampled.GetKey(31)->m_fParameter, 0.19f);
  EXPECT_NEAR(sampled.getWayPointParametricValue(2), 0.3f, 0.01f);
}

TEST(SplinePath, GravityArc) {
  ESplinePath path;
  const EVec3 from(0, 0, 0), to(10, 0, 0), up(0, 1, 0);
  ASSERT_TRUE(path.createGravityPath(64, from, to, 2.0f, -9.8f, up));
  ASSERT_EQ(path.getKeyCount(), 64u);
  EXPECT_EQ(path.getSegmentCount(), 2u);
  EXPECT_EQ(path.GetKey(0)->m_vPosition, from);
  EXPECT_EQ(path.GetKey(63)->m_vPosition, to);
  // Symmetric throw: the apex is half way, at g T^2 / 8 above the ends.
  float top = 0.0f;
  for (unsigned i = 0; i < 64; i++) top = std::max(top, path.GetKey(i)->m_vPosition.y);
  EXPECT_NEAR(top, 9.8f * 4 / 8, 0.01f);
  EXPECT_EQ(path.GetKey(10)->m_dwWaypoint, 0u);
  EXPECT_EQ(path.GetKey(40)->m_dwWaypoint, 1u);
  EVec3 mid = path.ExplicitEvaluation(0.5f);
  EXPECT_NEAR(mid.x, 5.0f, 0.01f);
  EXPECT_NEAR(mid.y, 4.9f, 0.01f);

  ESplinePath two;
  ASSERT_TRUE(two.createGravityPath(2, from, to, 1.0f, -9.8f, up));
  EXPECT_EQ(two.GetKey(0)->m_vPosition, from);
  EXPECT_EQ(two.GetKey(0)->m_fParameter, 0.0f);
  EXPECT_EQ(two.GetKey(1)->m_vPosition, to);
  EXPECT_EQ(two.GetKey(1)->m_dwWaypoint, 1u);
  EXPECT_EQ(two.ExplicitEvaluation(1.0f), to);
}

TEST(SplinePath, GravityArcRefusesFewerThanTwoSamples) {
  for (int count : {1, 0, -5}) {
    TraceCapture capture;
    ESplinePath path;
    path.setPath(false, 3, kWaypoints, nullptr, true);
    EXPECT_FALSE(path.createGravityPath(count, EVec3(), EVec3(1, 0, 0), 1, -9.8f, EVec3(0, 1, 0)));
    EXPECT_TRUE(capture.Contains("iCount >= 2"));
    EXPECT_EQ(path.getKeyCount(), 65u);  // untouched
  }
}

TEST(SplinePath, GravityArcOnAPathWithOneSegmentUsesTheSamples) {
  ESplinePath path;
  path.setPath(false, 2, kWaypoints, nullptr, false);
  ASSERT_TRUE(path.createGravityPath(8, EVec3(), EVec3(4, 0, 0), 1, -9.8f, EVec3(0, 1, 0)));
  unsigned key = 0xFFFFFFFF;
  EVec3 pos, fwd, up;
  for (float t : {0.0f, 0.3f, 0.6f, 1.0f}) path.ExplicitEvaluationIncludingUpVector(&key, t, 1, &pos, &fwd, &up);
  EXPECT_EQ(pos, EVec3(4, 0, 0));
  EXPECT_EQ(up, EVec3(0, 1, 0));
}

TEST(SplinePath, SingleSampleTableEvaluatesToThatSample) {
  ESplinePath path;
  path.setPath(false, 3, kWaypoints, nullptr, false);
  path.createUniformPath(0);
  ASSERT_EQ(path.getKeyCount(), 1u);
  EXPECT_EQ(path.GetKey(0)->m_vPosition, kWaypoints[2]);
  EXPECT_EQ(path.ExplicitEvaluation(0.5f), kWaypoints[2]);
  EXPECT_EQ(path.getKey(0, 0.5f), 0u);
}

TEST(SplinePath, AdaptivePathOnlyTraces) {
  TraceCapture capture;
  ESplinePath path;
  path.createAdaptivePath(10, 0.1f);
  ASSERT_EQ(capture.lines().size(), 4u);
  EXPECT_EQ(capture.lines()[0], "3 = (0.000,0.250)");
  EXPECT_EQ(capture.lines()[1], "3 = (0.250,0.500)");
  EXPECT_EQ(capture.lines()[2], "3 = (0.500,0.750)");
  EXPECT_EQ(capture.lines()[3], "3 = (0.750,1.000)");
  EXPECT_EQ(path.getKeyCount(), 0u);
}

TEST(SplinePath, EmptyPathAnswersWithoutData) {
  ESplinePath path;
  unsigned key = 0xFFFFFFFF;
  EVec3 pos(1, 2, 3), fwd, up;
  EXPECT_EQ(path.ImplicitEvaluationIncludingUpVector(&key, 0.5f, 1, &pos, &fwd, &up), 0xFFFFFFFFu);
  EXPECT_EQ(pos, EVec3(1, 2, 3));
  EXPECT_EQ(path.ExplicitEvaluation(0.5f), EVec3());
  EXPECT_EQ(path.ImplicitEvaluation(0.5f), EVec3());
  EXPECT_EQ(path.getKey(0, 0.5f), 0u);
  EXPECT_EQ(path.getHandle(), 0xFFFFFFFFu);
  EXPECT_EQ(path.GetMemUsage(), 0);
}

TEST(SplinePath, NearestPointPrefersTheLowerIndexOnATie) {
  ESplinePath ends;
  ASSERT_TRUE(ends.createGravityPath(2, EVec3(-1, 0, 0), EVec3(1, 0, 0), 1, -1, EVec3(0, 1, 0)));
  EXPECT_EQ(ends.getNearestPoint(EVec3(0, 0, 0)), 0.0f);
  EXPECT_EQ(ends.getNearestPoint(EVec3(0.1f, 0, 0)), 1.0f);
}

}  // namespace
