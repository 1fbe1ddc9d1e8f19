#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "IAUDTestSupport.h"
#include "NonTW/IAUDEng/CPath.h"
#include "NonTW/IAUDEng/CRPController.h"
#include "NonTW/IAUDEng/IAUDContentBank.h"
#include "NonTW/IAUDEng/IAUDMath.h"

namespace {

using namespace iaudtest;

struct CurveBankDeleter {
  void operator()(IAUDContentObject* o) const { o->RemoveObject(); }
};
using CurveBankPtr = std::unique_ptr<IAUDContentBank, CurveBankDeleter>;

void ExpectVec(const IAUDVector& v, float x, float y, float z, float tol = 1e-3f) {
  EXPECT_NEAR(v.x, x, tol);
  EXPECT_NEAR(v.y, y, tol);
  EXPECT_NEAR(v.z, z, tol);
}

// ---------------------------------------------------------------- curves

TEST(CRPController, CurveValues) {
  CurveBankPtr bank(new IAUDContentBank());
  CRPController* rpc = static_cast<CRPController*>(bank->CreateNewContentObject(IAUDFourCC("rpc "), nullptr));
  ASSERT_NE(rpc, nullptr);
  // A fresh set: every parameter inactive, level 1.0, pitch 0.5 x 2.0.
  for (uint32_t id = 0; id < 68; ++id) EXPECT_EQ(rpc->GetActive(id), 0u);
  EXPECT_EQ(rpc->GetParameterValue(CRPController::kLevel, 0.3f), 1.0f);
  EXPECT_EQ(rpc->GetParameterValue(CRPController::kPitch, 0.3f), 1.0f);
  EXPECT_EQ(rpc->GetParameterValue(68, 0.3f), 1.0f);
  EXPECT_EQ(rpc->GetDefaultValue(68), 0.0f);
  EXPECT_EQ(rpc->GetActive(68), 0u);

  const FPOINT level[] = {{0.0f, 0.2f}, {1.0f, 1.0f}};
  const FPOINT pitch[] = {{0.0f, 0.0f}, {1.0f, 1.0f}};
  const FPOINT single[] = {{0.5f, 0.3f}};
  const FPOINT stepped[] = {{0.0f, 0.0f}, {0.5f, 0.25f}, {0.5f, 0.75f}, {1.0f, 1.0f}};
  rpc->SetCurve(CRPController::kLevel, level, 2);
  rpc->SetCurve(CRPController::kPitch, pitch, 2);
  rpc->SetCurve(2, single, 1);
  rpc->SetCurve(3, stepped, 4);
  struct Case {
    uint32_t id;
    float input, expect;
  } cases[] = {
      {0, 0.5f, 0.6f},  {0, 0.0f, 0.2f},  {0, -0.1f, 1.0f}, {0, 1.5f, 1.0f},  // outside the curve: 1.0
      {1, 0.0f, 0.01f}, {1, 0.5f, 1.0f},  {1, 1.0f, 2.0f},                    // pitch scaled by 2, 0 gives 0.01
      {2, 0.5f, 1.0f},  {2, 0.1f, 1.0f},                                      // one point is no curve
      {3, 0.5f, 0.25f}, {3, 0.25f, 0.125f}, {3, 0.75f, 0.875f},               // shared x: the earlier segment
  };
  for (const Case& c : cases) EXPECT_NEAR(rpc->GetParameterValue(c.id, c.input), c.expect, 1e-6f) << c.id << " " << c.input;

  // Neighbours with the same x give the earlier value, not 0/0.
  const FPOINT vertical[] = {{0.5f, 0.1f}, {0.5f, 0.9f}};
  rpc->SetCurve(4, vertical, 2);
  EXPECT_EQ(rpc->GetParamValue(4, 0.5f), 0.1f);
  float lo = -1, hi = -1;
  rpc->GetRange(CRPController::kPitch, &lo, &hi);
  EXPECT_EQ(lo, 0.0f);
  EXPECT_EQ(hi, 2.0f);
}

TEST(CRPController, ChunkReplacesEveryCurveAndSkipsUnknownIds) {
  TempDir dir;
  std::string path = MakeRiff(dir, "rpc", R"(
RIFF icbf
  LIST rpc 
    chunk rpcd u32 2  0 2 f32 0 0.2 1 1.0  u32 5 2 f32 0 0 1 1
    chunk rpcd u32 3  1 2 f32 0 0 1 1  u32 68 1 f32 0 0.5  u32 6 2 f32 0 1 1 0
  end
  LIST rpc 
    chunk rpcd u32 2  0 1000 f32 0 0
  end
end
)");
  CurveBankPtr bank(LoadBank(path));
  CRPController* rpc = static_cast<CRPController*>(bank->GetChild());
  ASSERT_NE(rpc, nullptr);
  EXPECT_EQ(rpc->GetActive(0), 0u);  // replaced by the second chunk
  EXPECT_EQ(rpc->GetActive(5), 0u);
  EXPECT_EQ(rpc->GetActive(1), 1u);
  EXPECT_EQ(rpc->GetActive(6), 1u);  // read after the skipped id 68
  EXPECT_NEAR(rpc->GetParameterValue(6, 0.25f), 0.75f, 1e-6f);
  EXPECT_NEAR(rpc->GetParameterValue(1, 0.5f), 1.0f, 1e-6f);
  EXPECT_EQ(bank->GetRPController(0), rpc);

  // A point count beyond the chunk reads nothing.
  CRPController* damaged = static_cast<CRPController*>(rpc->GetAfter());
  ASSERT_NE(damaged, nullptr);
  EXPECT_EQ(damaged->GetActive(0), 0u);

  // The writer keeps the active curves.
  CurveBankPtr again(SaveAndReload(bank.get(), dir, "again.riff"));
  CRPController* r2 = static_cast<CRPController*>(again->GetChild());
  ASSERT_NE(r2, nullptr);
  for (uint32_t id = 0; id < 68; ++id) EXPECT_EQ(r2->GetActive(id), rpc->GetActive(id)) << id;
  EXPECT_NEAR(r2->GetParameterValue(6, 0.25f), 0.75f, 1e-6f);
}

// ---------------------------------------------------------------- maths

TEST(IAUDMath, TableSineAndOrientation) {
  const float pi = 3.14159265f;
  EXPECT_EQ(IAUDsin(pi / 2), 1.0f);
  EXPECT_EQ(IAUDsin(-pi / 2), -1.0f);
  EXPECT_NEAR(IAUDsin(pi / 6), 0.5f, 1e-3f);
  EXPECT_NEAR(IAUDsin(pi / 6 + 4 * pi), 0.5f, 1e-3f);  // whole turns wrap
  EXPECT_NEAR(IAUDcos(pi), -1.0f, 1e-6f);
  EXPECT_NEAR(IAUDcos(-pi / 3), 0.5f, 1e-3f);
  EXPECT_EQ(IAUDsin(1e30f), IAUDsin(1e30f));  // huge angles stay inside the table
  EXPECT_EQ(g_bMathInitialized, 1);

  IAUDVector front, top;
  IAUDcreateorientation(0, 0, 0, front, top);
  ExpectVec(front, 0, 0, 1, 0);
  ExpectVec(top, 0, 1, 0, 0);
  IAUDcreateorientation(pi / 2, 0, 0, front, top);
  ExpectVec(front, 0, 1, 0);

  // The frame matrix gives a vector's parts along right, top and front.
  IAUDVector f = {0, 0, 2}, t = {0, 3, 0};
  float m[3][3];
  IAUDcreatematrix(f, t, m);
  EXPECT_EQ(f.z, 2.0f);  // arguments unchanged
  IAUDVector v = {1, 2, 3};
  IAUDmatrixvector(v, m);
  ExpectVec(v, 1, 2, 3);
  IAUDVector f2 = {1, 0, 0};
  IAUDcreatematrix(f2, t, m);  // front along x: right is -z
  IAUDVector w = {0, 0, -5};
  IAUDmatrixvector(w, m);
  ExpectVec(w, 5, 0, 0);

  IAUDVector zero = {0, 0, 0};
  IAUDnormalize(zero);
  ExpectVec(zero, 0, 0, 0, 0);
}

// ---------------------------------------------------------------- paths

CPath* NewPath(IAUDContentBank* bank, std::initializer_list<IAUDVector> knots, char type) {
  CPath* p = static_cast<CPath*>(bank->CreateNewContentObject(IAUDFourCC("path"), nullptr));
  for (const IAUDVector& k : knots) p->addKnot(k, type);
  p->updateTimeStamps(1);
  return p;
}

TEST(CPath, SegmentTypes) {
  CurveBankPtr bank(new IAUDContentBank());
  CPath* arcDown = NewPath(bank.get(), {{1, 0, 0}, {0, 0, 1}}, 4);
  IAUDVector out;
  arcDown->GetPathPosition(500, 1000, &out);
  ExpectVec(out, 0.7071f, 0, 0.7071f);
  CPath* arcUp = NewPath(bank.get(), {{1, 0, 0}, {0, 0, 1}}, 3);
  arcUp->GetPathPosition(500, 1000, &out);
  ExpectVec(out, -0.7071f, 0, -0.7071f);

  CPath* spline = NewPath(bank.get(), {{0, 0, 0}, {10, 20, 30}}, 1);
  spline->GetPathPosition(500, 1000, &out);
  ExpectVec(out, 5, 10, 15);

  CPath* three = NewPath(bank.get(), {{0, 0, 0}, {4, 0, 0}, {4, 8, 0}}, 1);
  three->GetPathPosition(0, 1000, &out);
  ExpectVec(out, 0, 0, 0, 0);
  three->GetPathPosition(1000, 1000, &out);
  ExpectVec(out, 4, 8, 0, 0);
  three->GetPathPosition(500, 1000, &out);
  ExpectVec(out, 4, 0, 0);

  CPath* stay = NewPath(bank.get(), {{1, 1, 1}, {9, 9, 9}}, 2);
  stay->GetPathPosition(900, 1000, &out);
  ExpectVec(out, 1, 1, 1, 0);

  // A looping path past its last stamp runs the closing segment to knot 0.
  CPath* loop = NewPath(bank.get(), {{0, 0, 0}, {10, 0, 0}}, 0);
  loop->setLooping(true);
  loop->updateTimeStamps(1);
  EXPECT_EQ(loop->getTimeStamp(1), 0.5f);
  loop->GetPathPosition(750, 1000, &out);
  ExpectVec(out, 5, 0, 0);

  CPath* empty = NewPath(bank.get(), {}, 0);
  out = {7, 7, 7};
  empty->GetPathPosition(10, 100, &out);
  ExpectVec(out, 0, 0, 0, 0);
}

TEST(CPath, Velocity) {
  CurveBankPtr bank(new IAUDContentBank());
  CPath* line = NewPath(bank.get(), {{0, 0, 0}, {1000, 0, 0}}, 0);
  for (uint32_t t : {500u, 990u, 10u, 0u, 1000u}) {
    IAUDVector pos, vel;
    line->GetPathPositionVelocity(t, 1000, &pos, &vel);
    ExpectVec(vel, 1000, 0, 0, 0.5f);
    EXPECT_NEAR(pos.x, (float)t, 1e-3f) << t;
  }
}

TEST(CPath, TimeStamps) {
  CurveBankPtr bank(new IAUDContentBank());
  CPath* p = NewPath(bank.get(), {{0, 0, 0}, {1, 0, 0}, {4, 0, 0}, {4, 0, 0}}, 0);
  p->updateTimeStamps(0);  // by length 1 + 3 + 0
  EXPECT_FLOAT_EQ(p->getTimeStamp(1), 0.25f);
  EXPECT_FLOAT_EQ(p->getTimeStamp(2), 1.0f);
  EXPECT_FLOAT_EQ(p->getTimeStamp(3), 1.0f);
  p->updateTimeStamps(1);
  EXPECT_FLOAT_EQ(p->getTimeStamp(1), 1.0f / 3);
  p->setTimeStamp(3, 0.5f);
  p->updateTimeStamps(2);  // stretched by 1 / 0.5
  EXPECT_FLOAT_EQ(p->getTimeStamp(1), 2.0f / 3);
  EXPECT_FLOAT_EQ(p->getTimeStamp(3), 1.0f);
  p->setTimeStamp(2, 1.0f);
  p->updateTimeStamps(4);
  EXPECT_FLOAT_EQ(p->getTimeStamp(2), 2.0f / 3 / 2 + 0.5f);
  p->readjustTimeStamps(1, 2);
  EXPECT_FLOAT_EQ(p->getTimeStamp(1), 1.0f / 3);
  p->readjustTimeStamps(5, 0);
  EXPECT_EQ(p->getTimeStamp(1), 0.0f);
  EXPECT_EQ(p->getTimeStamp(3), 1.0f);

  p->updateTimeStamps(1);
  p->insertKnot({2, 0, 0}, 0, 0.5f);  // between stamps 1/3 and 2/3
  ASSERT_EQ(p->getNbKnots(), 5);
  EXPECT_EQ(p->getKnot(2).x, 2.0f);
  EXPECT_EQ(p->getTimeStamp(2), 0.5f);
}

TEST(CPath, KnotEditingStaysInRange) {
  CurveBankPtr bank(new IAUDContentBank());
  CPath* p = NewPath(bank.get(), {{1, 0, 0}, {2, 0, 0}}, 0);
  p->setKnot(2, {9, 9, 9});
  p->setKnot(-1, {9, 9, 9});
  p->translateKnot(5, {1, 1, 1});
  p->deleteKnot(2);
  p->deleteKnot(-1);
  p->insertKnotAt({9, 9, 9}, 0, 3);
  p->insertKnotAt({9, 9, 9}, 0, -1);
  p->setTimeStamp(7, 0.3f);
  ASSERT_EQ(p->getNbKnots(), 2);
  EXPECT_EQ(p->getKnot(0).x, 1.0f);
  EXPECT_EQ(p->getKnot(1).x, 2.0f);
  EXPECT_EQ(p->getKnot(-4).x, 1.0f);  // reads clamp
  EXPECT_EQ(p->getKnot(40).x, 2.0f);

  p->insertKnotAt({3, 0, 0}, 2, 2);  // at the end
  p->translateKnot(0, {1, 0, 0});
  p->deleteKnot(1);
  ASSERT_EQ(p->getNbKnots(), 2);
  EXPECT_EQ(p->getKnot(0).x, 2.0f);
  EXPECT_EQ(p->getKnot(1).x, 3.0f);
  EXPECT_EQ(p->getSegmentType(1), 2);

  CPath* empty = NewPath(bank.get(), {}, 0);
  KnotData d = {{5, 5, 5}, 7, 0.5f};
  empty->getKnotData(&d, 0);
  EXPECT_EQ(d.segmentType, 7);
  EXPECT_EQ(empty->getKnot(0).x, 0.0f);
  empty->setSegmentType(0, 3);
  empty->stretchTimeStamps(2.0f);
  EXPECT_EQ(empty->getNbKnots(), 0);
}

TEST(CPath, ArchiveKeepsKnotsAndLooping) {
  TempDir dir;
  CurveBankPtr bank(new IAUDContentBank());
  CPath* open = NewPath(bank.get(), {{0, 0, 0}, {1, 2, 3}, {4, 5, 6}}, 1);
  open->setSegmentType(1, 3);
  open->SetTitle(W(U16("open")));
  CPath* closed = NewPath(bank.get(), {{0, 0, 0}, {1, 0, 0}}, 0);
  closed->setLooping(true);
  closed->SetTitle(W(U16("closed")));
  CurveBankPtr again(SaveAndReload(bank.get(), dir, "paths.riff"));
  CPath* a = static_cast<CPath*>(again->GetChild());
  ASSERT_NE(a, nullptr);
  CPath* b = static_cast<CPath*>(a->GetAfter());
  ASSERT_NE(b, nullptr);
  EXPECT_FALSE(a->isLooping());
  EXPECT_TRUE(b->isLooping());
  ASSERT_EQ(a->getNbKnots(), 3);
  ExpectVec(a->getKnot(2), 4, 5, 6, 0);
  EXPECT_EQ(a->getSegmentType(1), 3);
  EXPECT_EQ(a->getTimeStamp(1), 0.5f);
  EXPECT_EQ(again->GetPath(a->GetResourceIndex()), a);
  EXPECT_EQ(Archive(a), Archive(open));
}

TEST(CPath, LongerTypeAndStampChunksAreCut) {
  TempDir dir;
  std::string path = MakeRiff(dir, "long", R"(
RIFF icbf
  LIST path
    chunk knot f32 1 0 0  2 0 0
    chunk segt u8 0 2 4 4 4 4 4
    chunk tmst f32 0 0.25 0.5 0.75
    chunk loop u32 7
  end
  LIST path
    chunk knot f32 1 0 0  2 0 0  3 0 0
  end
end
)");
  CurveBankPtr bank(LoadBank(path));
  CPath* p = static_cast<CPath*>(bank->GetChild());
  ASSERT_NE(p, nullptr);
  ASSERT_EQ(p->getNbKnots(), 2);
  EXPECT_EQ(p->getSegmentType(1), 2);
  EXPECT_EQ(p->getTimeStamp(1), 0.25f);
  EXPECT_FALSE(p->isLooping());  // a 4-byte "loop" is the loop count
  EXPECT_EQ(p->GetLoopCount(), 7u);
  CPath* q = static_cast<CPath*>(p->GetAfter());
  ASSERT_EQ(q->getNbKnots(), 3);
  EXPECT_EQ(q->getSegmentType(0), 1);  // knots from a file are splines
  EXPECT_EQ(q->getTimeStamp(1), 0.5f);  // uniform without stamps
}

}  // namespace
