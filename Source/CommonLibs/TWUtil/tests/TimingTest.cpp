#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <time.h>

#include "TWUtil/Profiler.h"
#include "TWUtil/Timing.h"

namespace {

int64_t g_now = 0;
int64_t FakeClock() { return g_now; }
void AdvanceMs(double ms) { g_now += (int64_t)(ms * 1000.0); }

class TimingTest : public ::testing::Test {
protected:
  void SetUp() override {
    g_now = 1000000000;
    Profile_SetClock(FakeClock);
  }
  void TearDown() override { Profile_SetClock(nullptr); }
  ETiming timing;
};

TEST_F(TimingTest, LatchReturnsTheSpanSinceTheLastLatch) {
  EXPECT_TRUE(timing.StartSubTimer("Main", 2));
  AdvanceMs(4);
  EXPECT_FLOAT_EQ(4.0f, timing.LatchSubTimer("Main"));
  AdvanceMs(10);
  EXPECT_FLOAT_EQ(10.0f, timing.LatchSubTimer("Main"));
  EXPECT_TRUE(timing.FindTimer("Main")->IsRunning());
  EXPECT_EQ(1, timing.GetNumTimers());
}

TEST_F(TimingTest, PauseAccumulatesAndStopReplaces) {
  timing.StartSubTimer("acc", 2);
  AdvanceMs(5);
  EXPECT_TRUE(timing.PauseSubTimer("acc"));
  AdvanceMs(100);  // paused: not counted
  timing.StartSubTimer("acc", 2);
  AdvanceMs(5);
  timing.PauseSubTimer("acc");
  EXPECT_FLOAT_EQ(10.0f, timing.GetMSTime("acc"));

  timing.StartSubTimer("stop", 2);
  AdvanceMs(5);
  timing.PauseSubTimer("stop");
  timing.StartSubTimer("stop", 2);
  AdvanceMs(3);
  EXPECT_TRUE(timing.StopSubTimer("stop"));
  EXPECT_FLOAT_EQ(3.0f, timing.GetMSTime("stop"));
}

TEST_F(TimingTest, NestedStartsMeasureFromTheOutermost) {
  timing.StartSubTimer("n", 2);
  AdvanceMs(2);
  timing.StartSubTimer("n", 2);
  AdvanceMs(3);
  timing.PauseSubTimer("n");
  EXPECT_TRUE(timing.FindTimer("n")->IsRunning());
  AdvanceMs(1);
  timing.PauseSubTimer("n");
  EXPECT_FLOAT_EQ(6.0f, timing.GetMSTime("n"));
}

TEST_F(TimingTest, UnknownNamesAnswerFalseOrZero) {
  EXPECT_FALSE(timing.PauseSubTimer("none"));
  EXPECT_FALSE(timing.StopSubTimer("none"));
  EXPECT_EQ(0.0f, timing.LatchSubTimer("none"));
  EXPECT_EQ(0.0f, timing.GetMSTime("none"));
  EXPECT_EQ(nullptr, timing.FindTimer("none"));
}

TEST_F(TimingTest, NamesMatchOnTheirFirst31Characters) {
  const std::string base(31, 'n');
  timing.StartSubTimer((base + "AAAA").c_str(), 2);
  ESubTimer* t = timing.FindTimer((base + "B").c_str());
  ASSERT_NE(nullptr, t);
  EXPECT_EQ(base, t->GetName());  // stored cut to 31 characters
  EXPECT_EQ(nullptr, timing.FindTimer(std::string(30, 'n').c_str()));
  EXPECT_EQ(1, timing.GetNumTimers());
}

TEST_F(TimingTest, RemoveStoppedTimersKeepsRunningOnes) {
  timing.StartSubTimer("a", 2);
  timing.StartSubTimer("b", 2);
  timing.StartSubTimer("c", 2);
  timing.StopSubTimer("a");
  timing.PauseSubTimer("c");
  timing.RemoveStoppedTimers();
  EXPECT_EQ(1, timing.GetNumTimers());
  EXPECT_EQ(nullptr, timing.FindTimer("a"));
  EXPECT_NE(nullptr, timing.FindTimer("b"));
  timing.ResetSubTimers();
  EXPECT_EQ(0, timing.GetNumTimers());
}

TEST_F(TimingTest, ExhaustedPoolReportsFailure) {
  int made = 0;
  while (timing.StartSubTimer(("t" + std::to_string(made)).c_str(), 2)) ++made;
  EXPECT_EQ(73, made);  // 50 timers' worth of stack holds 73
  EXPECT_EQ(73, timing.GetNumTimers());
  EXPECT_EQ(nullptr, timing.FindTimer("t73"));
  EXPECT_TRUE(timing.StartSubTimer("t5", 2));  // existing timers still start
  timing.ResetSubTimers();
  // Freed timers go back to the pool for every ETiming.
  ETiming other;
  EXPECT_TRUE(other.StartSubTimer("fresh", 2));
}

TEST_F(TimingTest, MisuseIsFatal) {
  EXPECT_EXIT(
      {
        timing.StartSubTimer("Main", 2);
        timing.StartSubTimer("Main", 2);
        timing.LatchSubTimer("Main");
      },
      ::testing::ExitedWithCode(255), "m_iRefCount == 1");
  EXPECT_EXIT(
      {
        timing.StartSubTimer("Main", 2);
        timing.GetMSTime("Main");
      },
      ::testing::ExitedWithCode(255), "!m_iRefCount");
}

TEST(ProfileClockTest, TimestampsAreMonotonicMicroseconds) {
  Profile_SetClock(nullptr);
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  int64_t ref = (int64_t)ts.tv_sec * 1000000 + ts.tv_nsec / 1000;
  int64_t a = Profile_GetTimestamp();
  int64_t b = Profile_GetTimestamp();
  EXPECT_LE(ref, a);
  EXPECT_LT(a - ref, 1000000);
  EXPECT_LE(a, b);
  EXPECT_DOUBLE_EQ(2.5, Profile_TimestampsToSeconds(2500000));
}

TEST_F(TimingTest, OneShotTracesTheElapsedSeconds) {
  testing::internal::CaptureStderr();
  {
    EProfileOneShot shot("Loading level");
    AdvanceMs(1500);
  }
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ("Loading level completed in 1.50 seconds\n", err);
}

class HistoryScalarTest : public ::testing::Test {
protected:
  void SetUp() override { EHistoryScalar::sm_dt = -1.0; }
  void TearDown() override { EHistoryScalar::sm_dt = -1.0; }
};

TEST_F(HistoryScalarTest, WithoutAStepEverySetIsEternal) {
  EHistoryScalar h;
  h.Set(3.0f);
  h.Set(5.0f);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(5.0f, h.GetAvg(i));
    EXPECT_EQ(25.0f, h.GetAvgSquare(i));
  }
  h.Clear();
  EXPECT_EQ(0.0f, h.GetAvg(2));
}

TEST_F(HistoryScalarTest, ValueKeepsATenthAfterOneDecayTime) {
  EHistoryScalar::SetDt(0.8);
  EHistoryScalar h;
  h.Set(10.0f);
  EXPECT_EQ(10.0f, h.GetAvg(0));  // decay 0 follows the last value
  EXPECT_NEAR(9.0f, h.GetAvg(1), 1e-5);
  EXPECT_NEAR(90.0f, h.GetAvgSquare(1), 1e-4);
  EXPECT_NEAR(10.0 * (1.0 - pow(0.1, 0.32)), h.GetAvg(2), 1e-5);
  h.Set(10.0f);
  EXPECT_NEAR(9.9f, h.GetAvg(1), 1e-5);
}

TEST_F(HistoryScalarTest, FactorsForAStepOfOneSecond) {
  EHistoryScalar::SetDt(1.0);
  EXPECT_EQ(0.0, EHistoryScalar::sm_adK[0]);
  EXPECT_NEAR(pow(0.1, 1.25), EHistoryScalar::sm_adK[1], 1e-7);
  EXPECT_NEAR(pow(0.1, 0.4), EHistoryScalar::sm_adK[2], 1e-7);
}

TEST_F(HistoryScalarTest, ProfilerStatsUseAFixedOneSecondStep) {
  EProfilerStats stats;
  testing::internal::CaptureStderr();
  stats.Update();
  stats.Update();
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos, err.find("This is probably wrong"));
  EXPECT_EQ(err.find("This is probably wrong"), err.rfind("This is probably wrong"));  // once
  EXPECT_EQ(1.0, EHistoryScalar::sm_dt);
  EXPECT_EQ(1.0f, stats.GetFrameTime().GetAvg(0));
  double k2 = EHistoryScalar::sm_adK[2];
  EXPECT_NEAR(1.0 - k2 * k2, stats.GetFrameTime().GetAvg(2), 1e-6);  // two smoothed steps from 0
  EXPECT_EQ(2, stats.GetFrameCount());
  EXPECT_EQ(0.0f, EProfileZone("zone", 0, false).GetHierTime());
}

}  // namespace
