#include <gtest/gtest.h>

#include <cmath>

#include "TWMath/Matrix.h"
#include "TWMath/MathUnitTest.h"
#include "TWMath/MathUnitTestCompare.h"
#include "TraceCapture.h"
#include "TWUtil/UnitTest.h"

namespace {

using TWMath::UnitTestDetail::CompareAxisAngle;
using TWMath::UnitTestDetail::CompareFloat;
using TWMath::UnitTestDetail::CompareVec;

// Runs f with a cleared counter and returns what it counted.
template <class F> int Counted(F f) {
  UnitTest::g_iNumFailures = 0;
  f();
  int n = UnitTest::g_iNumFailures;
  UnitTest::g_iNumFailures = 0;
  return n;
}

// The products as they were when only stubs stood for them: the identity
// comes back and the output is left as it was.
EMat4 StubMul2(const EMat4&, const EMat4&) { return EMat4(); }
void StubMul3(EMat4&, const EMat4&, const EMat4&) {}

void Mat4WithStubbedProducts() { TWMath::UnitTest_Mat4With(StubMul2, StubMul3); }

TEST(MathSelfTest, PassesAndLeavesTheCounterAtZero) {
  TraceCapture trace;
  for (int run = 0; run < 2; ++run) {
    UnitTest::g_iNumFailures = 5;
    EXPECT_TRUE(TWMath::UnitTest()) << "run " << run;
    EXPECT_EQ(0, UnitTest::g_iNumFailures);
  }
  for (const std::string& line : trace.lines()) ADD_FAILURE() << line;
}

TEST(MathSelfTest, EveryGroupCountsNothing) {
  const UnitTest::GroupFn groups[] = {TWMath::UnitTest_Misc, TWMath::UnitTest_Mat4, TWMath::UnitTest_Distance,
                                      TWMath::UnitTest_TestIntersection, TWMath::UnitTest_FindIntersection};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(0, Counted(groups[i])) << "group " << i;
}

TEST(MathSelfTest, StubbedProductsFailTheSelfTestAndTraceTheChecks) {
  TraceCapture trace;
  const UnitTest::GroupFn groups[] = {TWMath::UnitTest_Misc, Mat4WithStubbedProducts, TWMath::UnitTest_Distance,
                                      TWMath::UnitTest_TestIntersection, TWMath::UnitTest_FindIntersection};
  EXPECT_FALSE(UnitTest::RunGroups(groups, 5));
  EXPECT_EQ(0, UnitTest::g_iNumFailures);
  EXPECT_TRUE(trace.Contains("Unit test check failed at"));
  EXPECT_TRUE(trace.Contains("MathUnitTest.cpp"));

  // Three comparisons against a random rigid product: most of their 16
  // elements differ from the identity and from the untouched outputs.
  int n = Counted(Mat4WithStubbedProducts);
  EXPECT_GE(n, 3 * 8);
  EXPECT_LE(n, 3 * 16);
}

TEST(MathSelfTest, ScalarCompareUsesAbsoluteThenRelativeTolerance) {
  struct Case {
    double a, b;
    float scale;
    int failures;
  };
  const Case cases[] = {
      {0.00003, 0.0, 1.0f, 0},        {0.00005, 0.0, 1.0f, 1},       {0.00005, 0.0, 2.0f, 0},
      {100000.0, 100003.0, 1.0f, 0},  {100004.0, 100000.0, 1.0f, 1}, {100004.0, 100000.0, 1.5f, 0},
      {0.5, 2.0, 1.0f, 1},            {-3.0, 3.0, 1.0f, 1},          {std::nan(""), 1.0, 1.0f, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.failures, Counted([&] { CompareFloat(c.a, c.b, false, c.scale, "f", 1); })) << c.a << " " << c.b;
    EXPECT_EQ(0, Counted([&] { CompareFloat(c.a, c.b, true, c.scale, "f", 1); })) << c.a << " " << c.b;
  }
}

TEST(MathSelfTest, VectorCompareCountsEachComponent) {
  EXPECT_EQ(2, Counted([] { CompareVec(EVec3(1, 2, 3), EVec3(1, 5, 6), false, 1.0f, "f", 1); }));
  EXPECT_EQ(4, Counted([] { CompareVec(EQuat(1, 2, 3, 4), EQuat(5, 6, 7, 8), false, 1.0f, "f", 1); }));
  EXPECT_EQ(0, Counted([] { CompareVec(EVec4(1, 2, 3, 4), EVec4(5, 6, 7, 8), true, 1.0f, "f", 1); }));
}

TEST(MathSelfTest, AxisAngleCompareSkipsTheAxisOfANullRotationAndAlwaysCountsAxes) {
  // 370 and 10 are the same angle; a null rotation has no meaningful axis.
  EXPECT_EQ(0, Counted([] { CompareAxisAngle(EVec4(0, 0, 1, 370), EVec4(0, 0, 1, 10), false, "f", 1); }));
  EXPECT_EQ(0, Counted([] { CompareAxisAngle(EVec4(1, 0, 0, 0), EVec4(0, 0, 1, 360), false, "f", 1); }));
  // A wrong axis counts even when the check is marked noCount.
  EXPECT_EQ(2, Counted([] { CompareAxisAngle(EVec4(1, 0, 0, 90), EVec4(0, 1, 0, 90), true, "f", 1); }));
  EXPECT_EQ(0, Counted([] { CompareAxisAngle(EVec4(1, 0, 0, 90), EVec4(1, 0, 0, 91), true, "f", 1); }));
}

}  // namespace
