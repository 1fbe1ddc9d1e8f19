// Sound timelines of sound events on the recording driver, cycled by the
// test: seamless detection, drawn delays, pauses, whole-timeline loops and
// what damaged track lists do.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "NonTW/IAUDEng/CSoundTimeline.h"
#include "NonTW/IAUDEng/tests/ContentTestSupport.h"

namespace {

using contenttest::ContentRuntimeTest;
using contenttest::EventList;

struct TrackSpec {
  const char* kind;
  uint32_t event, start, delayMin, delayMax;
};

class SoundTimelineTest : public ContentRuntimeTest {
 protected:
  // Events of the given lengths and a timeline of the tracks.
  CSoundTimeline* Timeline(const std::vector<uint32_t>& lengths, const std::vector<TrackSpec>& tracks,
                           uint32_t independent = 0, const std::string& extra = "") {
    std::string lists;
    for (uint32_t i = 0; i < lengths.size(); ++i) lists += EventList(i, AddSample(lengths[i]));
    lists += " LIST sdtl\n  chunk stin u32 " + std::to_string(independent) + "\n";
    if (!tracks.empty()) {
      lists += "  chunk trck";
      for (const TrackSpec& t : tracks)
        lists += std::string(" fourcc ") + t.kind + " u32 " + std::to_string(t.event) + " " + std::to_string(t.start) +
                 " " + std::to_string(t.delayMin) + " " + std::to_string(t.delayMax);
      lists += "\n";
    }
    lists += extra + " end\n";
    return Bank(lists)->GetSoundTimeline(0);
  }
  // Millisecond of each driver track's first start, -1 when it never started.
  struct Run {
    std::vector<int32_t> results;
    std::vector<int64_t> firstStart;
    int32_t loops;
  };
  Run Play(CSoundTimeline* t, int32_t loops, int periods, int pauseAt = -1, int pauseFor = 0) {
    render.playing = false;
    uint32_t n = t->GetNumTracks();
    void* voice = n ? OpenVoice(n) : nullptr;
    void* inst = nullptr;
    t->InitObject(&inst);
    render.calls.clear();
    t->StartObject(voice, nullptr, inst, (uint32_t)loops, nullptr);
    Run r{{}, std::vector<int64_t>(n, -1), loops};
    auto note = [&] {
      for (uint32_t k = 0; k < n; ++k)
        if (r.firstStart[k] < 0 && Count("PlayTracks " + std::to_string(k) + " ") > 0) r.firstStart[k] = Now();
    };
    note();
    for (int i = 0; i < periods; ++i) {
      if (i == pauseAt) {
        t->PauseObject(voice, inst);
        Tick(pauseFor);
        t->RestartObject(voice, inst);
      }
      Tick();
      int32_t result = t->CycleObject(voice, &r.loops, inst, nullptr);
      r.results.push_back(result);
      note();
      if (result == 0) break;
    }
    t->ReleaseObject(inst);
    if (voice) vc->CloseVoiceHandle(voice);
    return r;
  }
};

TEST_F(SoundTimelineTest, TracksLastingWithinTenMillisecondsLoopOnTheirOwn) {
  CSoundTimeline* t = Timeline({2000, 2005}, {{"snde", 0, 0, 0, 0}, {"snde", 1, 0, 0, 0}});
  ASSERT_NE(t, nullptr);
  Run r = Play(t, 2, 10);
  EXPECT_TRUE(t->IsSeamless());
  EXPECT_EQ(Count("PlayTracks 0 loop 1"), 1);
  EXPECT_EQ(Count("PlayTracks 1 loop 1"), 1);

  CSoundTimeline* apart = Timeline({2000, 2020}, {{"snde", 0, 0, 0, 0}, {"snde", 1, 0, 0, 0}});
  Run whole = Play(apart, 1, 700);
  EXPECT_FALSE(apart->IsSeamless());
  EXPECT_EQ(Count("PlayTracks 0 loop 0"), 2) << "started again as a whole";
  EXPECT_EQ(Count("PlayTracks 1 loop 0"), 2);
  std::vector<size_t> restarts;
  for (size_t i = 0; i < whole.results.size(); ++i)
    if (whole.results[i] == 2) restarts.push_back(i);
  ASSERT_EQ(restarts.size(), 1u);
  EXPECT_NEAR((double)restarts[0] * 10, 2020.0, 20.0) << "after the longer track ended";
  EXPECT_EQ(whole.results.back(), 0);
  EXPECT_NEAR((double)whole.results.size() * 10, 4040.0, 40.0);
}

// The track starts at the first period at or after its drawn offset.
TEST_F(SoundTimelineTest, DelayedTracksStartWithinTheirDrawnDelay) {
  CSoundTimeline* t = Timeline({50, 50}, {{"snde", 0, 0, 0, 0}, {"snde", 1, 500, 0, 100}});
  std::vector<int64_t> starts;
  for (unsigned seed : {1u, 7u, 42u, 1234u, 99999u, 5u}) {
    srand(seed);
    uint32_t t0 = Now();
    Run r = Play(t, 0, 80);
    EXPECT_EQ(r.firstStart[0], (int64_t)t0);
    ASSERT_GE(r.firstStart[1], 0);
    int64_t at = r.firstStart[1] - t0;
    EXPECT_GE(at, 500);
    EXPECT_LE(at, 610);
    starts.push_back(at);
  }
  EXPECT_NE(*std::min_element(starts.begin(), starts.end()), *std::max_element(starts.begin(), starts.end()))
      << "the delay is drawn";
}

TEST_F(SoundTimelineTest, APauseDelaysTheWaitingTracks) {
  CSoundTimeline* t = Timeline({50, 50}, {{"snde", 0, 0, 0, 0}, {"snde", 1, 500, 0, 0}});
  uint32_t t0 = Now();
  Run r = Play(t, 0, 100, 10, 300);
  ASSERT_GE(r.firstStart[1], 0);
  EXPECT_NEAR((double)(r.firstStart[1] - t0), 3500.0, 10.0);
}

TEST_F(SoundTimelineTest, IndependentLoopsGiveADelayedTrackItsOwnCount) {
  CSoundTimeline* t = Timeline({100, 100}, {{"snde", 0, 0, 0, 0}, {"snde", 1, 200, 0, 0}}, 1);
  Run r = Play(t, 2, 30);
  EXPECT_EQ(Count("PlayTracks 0 loop 1"), 1);
  EXPECT_EQ(Count("PlayTracks 1 loop 1"), 1);
  EXPECT_NE(r.results.back(), 0);
}

// Damaged track lists: a maximum below the minimum, a track of another
// kind, tracks spread over two chunks; and no tracks at all.
TEST_F(SoundTimelineTest, OddTrackListsStillPlayAndEnd) {
  CSoundTimeline* backwards = Timeline({50}, {{"snde", 0, 100, 300, 200}});
  for (unsigned seed : {3u, 4u}) {
    srand(seed);
    uint32_t t0 = Now();
    Run r = Play(backwards, 0, 60);
    EXPECT_NEAR((double)(r.firstStart[0] - t0), 400.0, 10.0);
  }

  CSoundTimeline* mixed = Timeline({50}, {{"snde", 0, 0, 0, 0}, {"sdqu", 0, 100, 0, 0}});
  Run r = Play(mixed, 0, 100);
  EXPECT_EQ(r.results.back(), 0) << "the other kind counts as ended once due";
  EXPECT_LT(r.results.size(), 20u);

  CSoundTimeline* split = Timeline({50}, {{"snde", 0, 0, 0, 0}}, 0,
                                   "  chunk sttk fourcc snde u32 0 30 fourcc snde u32 0 60\n");
  EXPECT_EQ(split->GetTrackCount(), 3);
  EXPECT_EQ(split->GetNumTracks(), 3u);
  Run all = Play(split, 0, 30);
  EXPECT_GE(all.firstStart[2], 0);

  CSoundTimeline* empty = Timeline({}, {});
  EXPECT_EQ(empty->GetNumTracks(), 0u);
  Run none = Play(empty, 3, 10);
  EXPECT_EQ(none.results, (std::vector<int32_t>{0}));
}

TEST_F(SoundTimelineTest, DurationsAndTheWriter) {
  CSoundTimeline* t = Timeline({2000, 300}, {{"snde", 0, 0, 0, 0}, {"snde", 1, 1000, 50, 400}, {"snde", 7, 0, 0, 0}});
  uint32_t lo = 0, hi = 0;
  t->GetMinMaxDuration(&lo, &hi);
  EXPECT_EQ(lo, 1350u);
  EXPECT_EQ(hi, 2000u);
  std::vector<uint8_t> first = iaudtest::Archive(t);
  IAUDContentBank* again = iaudtest::SaveAndReload(owned.back(), dir, "again.icb");
  owned.push_back(again);
  ASSERT_NE(again->GetSoundTimeline(0), nullptr);
  EXPECT_EQ(iaudtest::Archive(again->GetSoundTimeline(0)), first);
}

}  // namespace
