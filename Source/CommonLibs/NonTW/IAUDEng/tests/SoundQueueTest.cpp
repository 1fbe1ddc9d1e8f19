// Sound queues of sound events on the recording driver, cycled by the
// test: intro, loop section and outro, the two-step stop, whole-list loops,
// the load rules of the section and the durations.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "NonTW/IAUDEng/CPlayer.h"
#include "NonTW/IAUDEng/CSoundQueue.h"
#include "NonTW/IAUDEng/tests/ContentTestSupport.h"

namespace {

using contenttest::ContentRuntimeTest;
using contenttest::EventList;

class SoundQueueTest : public ContentRuntimeTest {
 protected:
  // Four events of 50, 60, 70 and 80 ms and a queue of them.
  CSoundQueue* Queue(int32_t loopStart, int32_t loopEnd, int items = 4) {
    std::string lists;
    for (uint32_t i = 0; i < 4; ++i) lists += EventList(i, AddSample(50 + 10 * i));
    lists += " LIST sdqu\n  chunk qinf i32 " + std::to_string(items) + " " + std::to_string(loopStart) + " " +
             std::to_string(loopEnd) + "\n  chunk qcnt";
    for (int i = 0; i < items; ++i) lists += " fourcc snde u32 " + std::to_string(i);
    lists += "\n end\n";
    return Bank(lists)->GetSoundQueue(0);
  }
  // Starts the queue and cycles it every period; the playing item of each
  // period, until it ends, n periods pass or stopAt(period) asks for a stop.
  struct Run {
    std::vector<int32_t> items;  // consecutive repeats folded
    std::vector<int32_t> results;
    int32_t loops;
  };
  template <class StopAt>
  Run Play(CSoundQueue* q, int32_t loops, int periods, StopAt stopAt) {
    render.playing = false;
    void* voice = OpenVoice(1);
    void* inst = nullptr;
    q->InitObject(&inst);
    q->StartObject(voice, nullptr, inst, 0, nullptr);
    Run r{{q->GetPlayingContentIndex(inst)}, {}, loops};
    for (int i = 0; i < periods; ++i) {
      Tick();
      if (stopAt(i, q->GetPlayingContentIndex(inst))) stops.push_back(q->StopObject(voice, inst));
      int32_t result = q->CycleObject(voice, &r.loops, inst, nullptr);
      r.results.push_back(result);
      int32_t now = q->GetPlayingContentIndex(inst);
      if (result != 0 && now != r.items.back()) r.items.push_back(now);
      if (result == 0) break;
    }
    q->ReleaseObject(inst);
    vc->CloseVoiceHandle(voice);
    return r;
  }
  Run Play(CSoundQueue* q, int32_t loops, int periods) {
    return Play(q, loops, periods, [](int, int32_t) { return false; });
  }
  std::vector<bool> stops;
};

TEST_F(SoundQueueTest, TheSectionRepeatsUntilAStopReleasesItToTheOutro) {
  CSoundQueue* q = Queue(1, 2);
  ASSERT_NE(q, nullptr);
  Run looping = Play(q, 0, 100);
  ASSERT_GE(looping.items.size(), 7u);
  EXPECT_EQ(std::vector<int32_t>(looping.items.begin(), looping.items.begin() + 7),
            (std::vector<int32_t>{0, 1, 2, 1, 2, 1, 2}));
  EXPECT_NE(looping.results.back(), 0) << "a looping queue never ends by itself";

  // Stopped during the second pass over item 2: it finishes, 3 plays, the queue ends.
  int seenTwo = 0;
  Run released = Play(q, 0, 200, [&](int, int32_t item) {
    if (item == 2 && ++seenTwo == 9) return true;  // well inside the second pass of item 2
    return false;
  });
  EXPECT_EQ(stops, (std::vector<bool>{false}));
  EXPECT_EQ(released.items, (std::vector<int32_t>{0, 1, 2, 1, 2, 3}));
  EXPECT_EQ(released.results.back(), 0);

  // A second request cuts it off at once.
  stops.clear();
  int requests = 0;
  Run cut = Play(q, 0, 200, [&](int period, int32_t) { return period == 3 || (period == 4 && ++requests); });
  EXPECT_EQ(stops, (std::vector<bool>{false, true}));
  EXPECT_EQ(cut.results.size(), 5u);
  EXPECT_EQ(cut.results.back(), 0);
}

TEST_F(SoundQueueTest, WithoutASectionTheListRepeatsWhileLoopsLast) {
  Run twice = Play(Queue(-1, -1), 1, 200);
  EXPECT_EQ(twice.items, (std::vector<int32_t>{0, 1, 2, 3, 0, 1, 2, 3}));
  EXPECT_EQ(twice.loops, 0);
  int newPasses = 0;
  for (int32_t r : twice.results) newPasses += r == 2;
  EXPECT_EQ(newPasses, 1);
  EXPECT_EQ(twice.results.back(), 0);
}

// A one-item section plays its item endlessly.
TEST_F(SoundQueueTest, AOneItemSectionLoopsItsItem) {
  CSoundQueue* q = Queue(2, -1);
  EXPECT_EQ(q->GetLoopEnd(), 2);
  Run r = Play(q, 0, 150);
  EXPECT_EQ(r.items, (std::vector<int32_t>{0, 1, 2}));
  EXPECT_NE(r.results.back(), 0);
  EXPECT_GE(Count("PlayTracks 0 loop 1"), 1) << "item 2 loops on the voice";
}

TEST_F(SoundQueueTest, SectionsAreCheckedAtLoad) {
  struct Case {
    int32_t start, end, items, wantStart, wantEnd;
  } cases[] = {
      {1, 2, 4, 1, 2}, {2, -1, 4, 2, 2}, {5, -1, 4, -1, -1}, {-1, 1, 4, -1, 1}, {3, 1, 4, 3, 3}, {0, 9, 2, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.start) + ".." + std::to_string(c.end));
    CSoundQueue* q = Queue(c.start, c.end, c.items);
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q->GetItemCount(), c.items);
    EXPECT_EQ(q->GetLoopStart(), c.wantStart);
    EXPECT_EQ(q->GetLoopEnd(), c.wantEnd);
  }
}

// Durations are the items' sums; a section makes them endless. A loop
// end without a loop start is no section: the queue plays through once.
TEST_F(SoundQueueTest, DurationsAreTheSumsUnlessASectionLoops) {
  struct Case {
    int32_t start, end, items;
    uint32_t want;
  } cases[] = {{-1, -1, 4, 260}, {-1, 1, 4, 260}, {1, 2, 4, 0xFFFFFFFFu}, {-1, -1, 0, 0}, {-1, -1, 2, 110}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.start) + ".." + std::to_string(c.end) + " of " + std::to_string(c.items));
    uint32_t lo = 1, hi = 1;
    Queue(c.start, c.end, c.items)->GetMinMaxDuration(&lo, &hi);
    EXPECT_EQ(lo, c.want);
    EXPECT_EQ(hi, c.want);
  }
  Run once = Play(Queue(-1, 1), 0, 200);
  EXPECT_EQ(once.items, (std::vector<int32_t>{0, 1, 2, 3}));
}

TEST_F(SoundQueueTest, WrittenAndReadAgainGivesTheSameBytes) {
  CSoundQueue* q = Queue(1, 2);
  std::vector<uint8_t> first = iaudtest::Archive(q);
  IAUDContentBank* again = iaudtest::SaveAndReload(owned.back(), dir, "again.icb");
  owned.push_back(again);
  ASSERT_NE(again->GetSoundQueue(0), nullptr);
  EXPECT_EQ(iaudtest::Archive(again->GetSoundQueue(0)), first);
  EXPECT_EQ(again->GetSoundQueue(0)->GetNumTracks(), 1u);
}

// Items keep clocks of their own in the queue: a sequence item counts its
// clocks from the queue's and plays to its end, and the queue moves on.
TEST_F(SoundQueueTest, ASequenceItemRunsOnTheQueuesClock) {
  const uint32_t level = 0x0D;  // track 0
  std::string lists = EventList(0, AddSample(50)) + " LIST sqob\n  chunk trks u32 1\n  chunk data u32 0 " +
                      std::to_string(level) + " 51 96 " + std::to_string(level) + " 102 96 " +
                      std::to_string(0xC0000002u) + " 0\n end\n" +
                      " LIST sdqu\n  chunk qinf i32 2 -1 -1\n  chunk qcnt fourcc sqob u32 0 fourcc snde u32 0\n end\n";
  CSoundQueue* q = Bank(lists)->GetSoundQueue(0);
  ASSERT_NE(q, nullptr);
  render.playing = false;
  CPlayer player;
  player.AttachPrimaryContent(q);
  player.StartPlayer();
  long track = vc->GetVoiceTrack(player.GetPrimaryVoice(), 0);
  render.levelLog.clear();
  int ticks = 0;
  while (player.GetPlayerStatus() != CPlayer::kStopped && ticks < 300) Tick(), ++ticks;
  std::vector<float> sent;
  for (const playertest::LevelSent& l : render.For(track)) sent.push_back(l.level);
  EXPECT_NE(std::find(sent.begin(), sent.end(), 102.0f / 255.0f), sent.end()) << "the second frame ran";
  EXPECT_EQ(Count("PlayTracks " + std::to_string(track) + " loop 0"), 1) << "then the event played";
  EXPECT_NEAR(ticks * 10.0, 1000.0 + 50.0, 40.0);
  EXPECT_EQ(player.GetPlayerStatus(), CPlayer::kStopped);
}

}  // namespace
