// The player's metric and real-time clocks: rates, counting, boundaries,
// drop-frame, reports, marker positions and child bracketing.
#include <gtest/gtest.h>

#include <cstring>

#include "NonTW/IAUDEng/tests/PlayerTestSupport.h"

namespace {

using playertest::PlayerRuntimeTest;
using playertest::ScriptedContent;

class PlayerTimeCodeTest : public PlayerRuntimeTest {
 protected:
  // Plays the content for n periods; the content counts what the previous
  // periods earned, so n + 1 cycles count n periods.
  void PlayPeriods(CPlayer& player, ScriptedContent& content, int n) {
    player.AttachPrimaryContent(&content);
    player.StartPlayer();
    Tick(n + 1);
  }
};

TEST_F(PlayerTimeCodeTest, ResetWithoutContentUsesDefaultRatesAndFlagsEveryBoundary) {
  CPlayer player;
  player.SetProcessSelector(1);
  player.ResetAllTimeCode();
  EXPECT_EQ(player.GetInProcessStatusFlags(), 0x10007C07u | 0x18u) << "tempo and signature bits join the reset word";
  SPlayerMetricTime m;
  int entries = render.exclusiveEntries;
  player.GetPrimaryMetricTime(&m);
  EXPECT_GT(render.exclusiveEntries, entries) << "a report holds the timer thread off";
  EXPECT_EQ(render.exclusiveDepth, 0);
  EXPECT_EQ(m.dwStatus, 0x10007C07u);
  EXPECT_EQ(m.dwTempo, 500000u);
  EXPECT_EQ(m.dwTimeSignature, 0x00040004u);
  EXPECT_EQ(m.dwBar, 1u);
  EXPECT_EQ(m.dwBeat, 1u);
  EXPECT_EQ(m.dwClock, 0u);
  // The report cleared bits 0 to 4; the real-time bits stay until their own report.
  player.GetPrimaryMetricTime(&m);
  EXPECT_EQ(m.dwStatus, 0x10007C00u);
  SPlayerRealTime r;
  player.GetPrimaryRealTime(&r);
  EXPECT_EQ(r.dwStatus, 0x10007C00u);
  player.GetPrimaryRealTime(&r);
  EXPECT_EQ(r.dwStatus, 0x10000000u);
  // No record selected: nothing is addressed.
  player.SetProcessSelector(0);
  EXPECT_EQ(player.GetInProcessStatusFlags(), 0u);
  EXPECT_EQ(player.GetMetricProcessClockCount(), 0u);
}

// Rates from the content's base values; rates that would divide by zero
// keep the previous rate (120 a minute, four-four, 25 frames of 40).
TEST_F(PlayerTimeCodeTest, ClocksEarnedOverOneSecond) {
  struct Case {
    const char* name;
    uint32_t tempo, signature, timeCode;
    uint32_t totalClocks, bar, beat, clock, totalSubframes, seconds;
  };
  const Case cases[] = {
      {"defaults", 500000, 0x00040004, 0x00190028, 192, 1, 3, 0, 1000, 1},
      {"numerator 0, eighths", 500000, 0x00000008, 0x00190028, 192, 2, 1, 0, 1000, 1},
      {"numerator 65, eighths", 500000, 0x00410008, 0x00190028, 192, 2, 1, 0, 1000, 1},
      {"three-four", 500000, 0x00030004, 0x00190028, 192, 1, 3, 0, 1000, 1},
      {"double tempo", 250000, 0x00040004, 0x00190028, 384, 2, 1, 0, 1000, 1},
      {"half notes", 500000, 0x00040002, 0x00190028, 192, 1, 2, 0, 1000, 1},
      {"30 fps of 10", 500000, 0x00040004, 0x001E000A, 192, 1, 3, 0, 300, 1},
      {"zero tempo", 0, 0x00040004, 0x00190028, 192, 1, 3, 0, 1000, 1},
      {"zero denominator", 500000, 0x00030000, 0x00190028, 192, 1, 3, 0, 1000, 1},
      {"zero frame rate", 500000, 0x00040004, 0x00000028, 192, 1, 3, 0, 1000, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedContent content;
    content.SetBaseTempo(c.tempo);
    content.SetBaseTimeSignature(c.signature);
    content.SetBaseTimeCode(c.timeCode);
    CPlayer player;
    PlayPeriods(player, content, 100);
    SPlayerMetricTime m;
    player.GetPrimaryMetricTime(&m);
    EXPECT_EQ(m.dwTotalClocks, c.totalClocks);
    EXPECT_EQ(m.dwBar, c.bar);
    EXPECT_EQ(m.dwBeat, c.beat);
    EXPECT_EQ(m.dwClock, c.clock);
    SPlayerRealTime r;
    player.GetPrimaryRealTime(&r);
    EXPECT_EQ(r.dwTotalSubframes, c.totalSubframes);
    EXPECT_EQ(r.dwSeconds, c.seconds);
    EXPECT_EQ(r.dwFrames, 0u);
  }
}

TEST_F(PlayerTimeCodeTest, TempoChangeRescalesAndMarksTheInProcessWord) {
  ScriptedContent content;
  content.countClocks = false;
  CPlayer player;
  player.AttachPrimaryContent(&content);
  player.StartPlayer();
  Tick(50);  // 96 clocks pending at 120 a minute
  player.SetProcessSelector(1);
  player.ProcessTempo(250000);
  EXPECT_NE(player.GetInProcessStatusFlags() & 0x8u, 0u);
  player.ProcessMetricTimeCode();
  EXPECT_EQ(player.GetProcessMetricTotalClock(), 96u) << "clocks already earned are kept";
  player.SetProcessSelector(0);
  // Ten more periods at the doubled tempo earn 38 clocks (3.84 a period).
  content.countClocks = true;
  Tick(11);
  SPlayerMetricTime m;
  player.GetPrimaryMetricTime(&m);
  EXPECT_EQ(m.dwTempo, 250000u);
  EXPECT_EQ(m.dwTotalClocks, 96u + 38u);
}

TEST_F(PlayerTimeCodeTest, CountingOneClockAtATimeReportsItsBoundaries) {
  ScriptedContent content;
  content.countClocks = false;
  CPlayer player;
  player.AttachPrimaryContent(&content);
  player.StartPlayer();
  Tick(60);  // 115 clocks pending
  player.SetProcessSelector(1);
  uint32_t counted = 0, beats = 0;
  uint32_t before;
  while ((before = player.GetMetricProcessClockCount()) != 0) {
    EXPECT_EQ(before, 115u - counted);
    ++counted;
    uint32_t flags = player.GetInProcessStatusFlags();
    EXPECT_EQ(flags & 1u, 1u);
    if (flags & 2u) {
      ++beats;
      EXPECT_EQ(player.GetProcessClocks(), 0u);
      EXPECT_EQ(player.GetProcessBeats(), 1u);
    }
  }
  EXPECT_EQ(counted, 115u);
  EXPECT_EQ(beats, 1u) << "the beat bit is set by the clock that crossed it only";
}

TEST_F(PlayerTimeCodeTest, RealBoundaryBitsReportOnlyTheirOwnPeriod) {
  // 25 frames of 40 subframes: 10 subframes a period, a frame every 4 periods.
  ScriptedContent content;
  CPlayer player;
  PlayPeriods(player, content, 0);
  SPlayerRealTime r;
  player.GetPrimaryRealTime(&r);
  uint32_t lastFrame = r.dwFrames;
  for (int i = 0; i < 40; ++i) {
    Tick();
    player.GetPrimaryRealTime(&r);
    bool frameChanged = r.dwFrames != lastFrame;
    EXPECT_EQ((r.dwStatus & 0x800u) != 0, frameChanged) << "period " << i;
    EXPECT_NE(r.dwStatus & 0x400u, 0u);
    lastFrame = r.dwFrames;
  }
  player.SetProcessSelector(1);
  EXPECT_EQ(player.GetInProcessStatusFlags() & 0x10000000u, 0u) << "no longer at the reset position";
  player.SetProcessSelector(0);
}

TEST_F(PlayerTimeCodeTest, DropFrameRestartsAtFrameTwoExceptEveryTenthSecond) {
  ScriptedContent content;
  content.SetBaseTimeCode(0x80000000u | (30u << 16) | 1u);  // 30 fps, one subframe each
  CPlayer player;
  PlayPeriods(player, content, 0);
  SPlayerRealTime r;
  player.GetPrimaryRealTime(&r);
  uint32_t lastSecond = r.dwSeconds;
  int checked = 0;
  while (checked < 12) {
    Tick();
    player.GetPrimaryRealTime(&r);
    if (r.dwSeconds == lastSecond) continue;
    EXPECT_EQ(r.dwFrames, r.dwSeconds % 10 == 0 ? 0u : 2u) << "second " << r.dwSeconds;
    EXPECT_NE(r.dwStatus & 0x1000u, 0u);
    lastSecond = r.dwSeconds;
    ++checked;
  }
}

TEST_F(PlayerTimeCodeTest, MarkerPositionRoundTripsIntoAnotherPlayer) {
  ScriptedContent content;
  content.SetBaseTimeSignature(0x00030008);
  CPlayer player;
  PlayPeriods(player, content, 1234);
  IAUDContentMarker marker;
  std::memset(&marker, 0, sizeof(marker));
  ASSERT_EQ(player.EstablishPrimaryMarker(&marker), &marker);
  SPlayerMetricTime m1;
  SPlayerRealTime r1;
  player.GetPrimaryMetricTime(&m1);
  player.GetPrimaryRealTime(&r1);

  ScriptedContent other;
  CPlayer second;
  second.AttachPrimaryContent(&other);
  second.StartPlayer(0, &marker);
  EXPECT_EQ(other.startMarker, &marker);
  SPlayerMetricTime m2;
  SPlayerRealTime r2;
  second.GetPrimaryMetricTime(&m2);
  second.GetPrimaryRealTime(&r2);
  EXPECT_EQ(m2.dwBar, m1.dwBar);
  EXPECT_EQ(m2.dwBeat, m1.dwBeat);
  EXPECT_EQ(m2.dwClock, m1.dwClock);
  EXPECT_EQ(m2.dwTotalClocks, m1.dwTotalClocks);
  EXPECT_EQ(m2.dwTimeSignature, 0x00030008u);
  EXPECT_EQ(r2.dwSeconds, r1.dwSeconds);
  EXPECT_EQ(r2.dwFrames, r1.dwFrames);
  EXPECT_EQ(r2.dwTotalSubframes, r1.dwTotalSubframes);
}

TEST_F(PlayerTimeCodeTest, ChildBracketingSwapsRecordsAndConsumesTheCycleTick) {
  ScriptedContent content;
  CPlayer player;
  PlayPeriods(player, content, 3);  // the fourth cycle raises the 30 ms tick
  SMetricTime savedMetric, childMetric{};
  SRealTime savedReal, childReal{};
  SStatusFlags savedFlags, childFlags{0, 0};
  childMetric.dwBar = 7;
  childMetric.dwClocksPerBeat = 96;
  player.SetProcessSelector(1);
  uint32_t ownBar = player.GetProcessBars();
  // Every child sees the tick; the end of the bracket consumes it.
  player.BeginChildProcessStatusVariables(&savedMetric, &savedReal, &savedFlags, &childMetric, &childReal, &childFlags);
  EXPECT_EQ(player.GetProcessBars(), 7u);
  EXPECT_TRUE(player.IsCycleUpdateTime());
  EXPECT_TRUE(player.IsCycleUpdateTime()) << "inside a child the tick stays";
  childMetric.dwBar = 0;
  player.EndChildProcessStatusVariables(&savedMetric, &savedReal, &savedFlags, &childMetric, &childReal, &childFlags);
  EXPECT_EQ(childMetric.dwBar, 7u) << "the child's record is written back";
  EXPECT_EQ(player.GetProcessBars(), ownBar);
  EXPECT_FALSE(player.IsCycleUpdateTime());
  player.SetProcessSelector(0);
}

}  // namespace
