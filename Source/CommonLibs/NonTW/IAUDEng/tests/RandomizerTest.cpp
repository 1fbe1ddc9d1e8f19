// Sound randomizers on the recording driver, cycled by the test: picks by
// chance, by order and without repeats, the seamless rule, loops and empty
// picks, the load rules of the transition matrix, and interactive layers
// switched through a player's level, at once or by a timed cross-fade.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "NonTW/IAUDEng/CPlayer.h"
#include "NonTW/IAUDEng/CSequence.h"
#include "NonTW/IAUDEng/CSoundRandomizer.h"
#include "NonTW/IAUDEng/IAUDApi.h"
#include "NonTW/IAUDEng/tests/ContentTestSupport.h"

namespace {

using contenttest::ContentRuntimeTest;
using contenttest::EventList;

struct Item {
  const char* kind;
  uint32_t index;
  uint32_t order;
  uint32_t chance;
};

std::string RandomizerList(uint32_t random, uint32_t flags, const std::vector<Item>& items,
                           const std::string& extra = "") {
  std::string s = " LIST sdri\n  chunk indx u32 0\n  chunk info u32 " + std::to_string(random) + " 50 1 " +
                  std::to_string(flags) + "\n  chunk rcnt";
  for (const Item& i : items)
    s += std::string(" fourcc ") + i.kind + " u32 " + std::to_string(i.index) + " " + std::to_string(i.order) + " " +
         std::to_string(i.chance);
  if (items.empty()) s += " u32";
  return s + "\n" + extra + " end\n";
}

// An "srtn" chunk of side x side cells, all immediate but the given ones.
struct Fade {
  uint32_t row, column, in, out;
};
std::string Matrix(uint32_t side, const std::vector<Fade>& fades) {
  std::string s = "  chunk srtn u32";
  for (uint32_t r = 0; r < side; ++r) {
    for (uint32_t c = 0; c < side; ++c) {
      uint32_t in = 0, out = 0;
      for (const Fade& f : fades)
        if (f.row == r && f.column == c) in = f.in, out = f.out;
      s += " " + std::to_string(in) + " " + std::to_string(out);
    }
  }
  return s + "\n";
}

class RandomizerTest : public ContentRuntimeTest {
 protected:
  // Events 0..n-1 of the given lengths, then the randomizer.
  CSoundRandomizer* Randomizer(const std::vector<uint32_t>& eventMs, const std::string& list) {
    std::string lists = sequence;
    for (size_t i = 0; i < eventMs.size(); ++i) lists += EventList((uint32_t)i, AddSample(eventMs[i]));
    return Bank(lists + list)->GetSoundRandomizer(0);
  }
  struct Run {
    std::vector<int32_t> items;  // the playing item after each pick, repeats of one pass folded
    std::vector<int32_t> results;
    int32_t loops;
  };
  // Starts and cycles by hand until the play ends or n periods pass.
  Run Play(CSoundRandomizer* r, int32_t loops, int periods) {
    render.playing = false;
    void* voice = OpenVoice(1);
    void* inst = nullptr;
    r->InitObject(&inst);
    r->StartObject(voice, nullptr, inst, (uint32_t)loops, nullptr);
    Run run{{r->GetPlayingContentIndex()}, {}, loops};
    for (int i = 0; i < periods; ++i) {
      Tick();
      int32_t result = r->CycleObject(voice, &run.loops, inst, nullptr);
      run.results.push_back(result);
      if (result == 2 || (result != 0 && r->GetPlayingContentIndex() != run.items.back()))
        run.items.push_back(r->GetPlayingContentIndex());
      if (result == 0) break;
    }
    r->StopObject(voice, inst);
    r->ReleaseObject(inst);
    vc->CloseVoiceHandle(voice);
    return run;
  }
  // A sequence list added to the banks made after it is set: level 128 on
  // its one track at once, 64 a quarter note later, then its end.
  std::string sequence;
  void AddSequence() {
    using std::to_string;
    sequence = " LIST sqob\n  chunk indx u32 0\n  chunk trks u32 1\n  chunk data u32 0 " +
               to_string(CSequence::kOpLevel) + " 128 96 " + to_string(CSequence::kOpLevel) + " 64 0 " +
               to_string(CSequence::kOpEnd) + " 0\n end\n";
  }
};

TEST_F(RandomizerTest, OnlyALoneNonSequenceItemThatAlwaysPlaysIsSeamless) {
  struct Case {
    uint32_t random;
    std::vector<Item> items;
    bool seamless;
  } cases[] = {
      {1, {{"snde", 0, 1, 100}}, true},
      {0, {{"snde", 0, 1, 40}}, true},  // ordered play ignores the chance
      {1, {{"snde", 0, 1, 99}}, false},
      {1, {{"snde", 0, 1, 50}, {"snde", 1, 2, 50}}, false},
      {1, {{"sqob", 0, 1, 100}}, false},
  };
  AddSequence();
  for (const Case& c : cases) {
    CSoundRandomizer* r = Randomizer({100, 100}, RandomizerList(c.random, 0, c.items));
    ASSERT_NE(r, nullptr);
    void* inst = nullptr;
    r->InitObject(&inst);
    srand(7);
    r->StartObject(nullptr, nullptr, inst, 0, nullptr);
    EXPECT_EQ(r->IsSeamless(), c.seamless) << c.items.size() << " items, chance " << c.items[0].chance;
    r->StopObject(nullptr, inst);
    r->ReleaseObject(inst);
  }

  // Seamless: the event gets the loop count and loops on its voice.
  CSoundRandomizer* lone = Randomizer({100}, RandomizerList(1, 0, {{"snde", 0, 1, 100}}));
  render.calls.clear();
  Run run = Play(lone, 2, 100);
  EXPECT_EQ(Count("PlayTracks"), 1);
  EXPECT_EQ(Count("PlayTracks 0 loop 1"), 1);
  EXPECT_EQ(run.results.back(), 0);
  EXPECT_NEAR(run.results.size() * 10.0, 300.0, 20.0);
}

// The re-picked sequence runs its first commands in the period the last
// pass ended in: its 128 is sent together with the ending pass's 64.
TEST_F(RandomizerTest, ARePickedSequenceIsCycledInThePeriodOfThePick) {
  AddSequence();
  CSoundRandomizer* r = Randomizer({}, RandomizerList(1, 0, {{"sqob", 0, 1, 100}}));
  ASSERT_NE(r, nullptr);
  CPlayer player;
  player.AttachPrimaryContent(r);
  player.StartPlayer(1);
  long track = vc->GetVoiceTrack(player.GetPrimaryVoice(), 0);
  Tick(200);
  EXPECT_EQ(player.GetPlayerStatus(), CPlayer::kStopped);
  std::vector<uint32_t> at128, at64;
  for (const playertest::LevelSent& l : render.For(track)) {
    if (l.level == 128.0f / 255.0f) at128.push_back(l.ms);
    if (l.level == 64.0f / 255.0f) at64.push_back(l.ms);
  }
  ASSERT_EQ(at128.size(), 2u) << "two passes";
  ASSERT_EQ(at64.size(), 2u);
  EXPECT_GT(at64[0], at128[0]);
  EXPECT_EQ(at128[1], at64[0]);
}

TEST_F(RandomizerTest, LoopsPickAgainAndEmptyPicksUseThemUp) {
  // Ordered play of two items with two loops: three picks, 0, 1, 0.
  CSoundRandomizer* ordered =
      Randomizer({50, 60}, RandomizerList(0, 0, {{"snde", 0, 1, 100}, {"snde", 1, 2, 100}}));
  render.calls.clear();
  Run run = Play(ordered, 2, 200);
  EXPECT_EQ(run.items, (std::vector<int32_t>{0, 1, 0}));
  EXPECT_EQ(Count("PlayTracks 0 loop 0"), 3);
  EXPECT_EQ(run.results.back(), 0);
  EXPECT_EQ(run.loops, 0);
  EXPECT_EQ(ordered->GetPlayingContentIndex(), -1);

  // Chances 30 and 30: about 40 % of the picks find nothing.
  CSoundRandomizer* sparse =
      Randomizer({50, 50}, RandomizerList(1, 0, {{"snde", 0, 1, 30}, {"snde", 1, 2, 30}}));
  srand(4321);
  int empty = 0;
  for (int i = 0; i < 10000; ++i) empty += sparse->SelectContentToPlay() == -1;
  EXPECT_NEAR(empty, 4000, 200);

  // An empty first pick ends the play at its first cycle, loops or not.
  CSoundRandomizer* never = Randomizer({50}, RandomizerList(1, 0, {{"snde", 0, 1, 0}}));
  render.calls.clear();
  Run none = Play(never, 5, 50);
  EXPECT_EQ(none.results, (std::vector<int32_t>{0}));
  EXPECT_EQ(Count("PlayTracks"), 0);
}

TEST_F(RandomizerTest, NoRepeatPicksAnotherItemOrTheLastWhenNothingElseCanPlay) {
  struct Case {
    std::vector<Item> items;
    const char* what;
    std::vector<int32_t> allowed;  // what the 2nd to 200th picks may be
  } cases[] = {
      {{{"snde", 0, 1, 50}, {"snde", 1, 2, 50}}, "two halves alternate", {}},
      // The last item holds all 100: the range left to draw is empty, so it plays again.
      {{{"snde", 0, 1, 100}, {"snde", 1, 2, 50}}, "the full item repeats", {0}},
      {{{"snde", 0, 1, 100}, {"snde", 1, 2, 0}}, "nothing else has a chance", {0}},
  };
  for (const Case& c : cases) {
    CSoundRandomizer* r = Randomizer({50, 50}, RandomizerList(1, 1, c.items));
    srand(99);
    int32_t previous = r->SelectContentToPlay();
    ASSERT_GE(previous, 0) << c.what;
    for (int i = 0; i < 200; ++i) {
      int32_t pick = r->SelectContentToPlay();
      if (c.allowed.empty()) {
        EXPECT_EQ(pick, 1 - previous) << c.what;
      } else {
        EXPECT_EQ(pick, c.allowed[0]) << c.what;
      }
      previous = pick;
    }
  }
}

TEST_F(RandomizerTest, TheMatrixMakesItInteractiveOnlyWhenItsSizeFitsTheItems) {
  const std::vector<Item> two = {{"snde", 0, 1, 50}, {"snde", 1, 2, 50}};
  struct Case {
    std::string list;
    bool interactive;
  } cases[] = {
      {RandomizerList(1, 0, two, Matrix(3, {{0, 1, 100, 0}})), true},
      {RandomizerList(1, 0, two, Matrix(2, {})), false},
      {RandomizerList(1, 0, two, Matrix(4, {})), false},
      {RandomizerList(1, 0, two), false},
  };
  for (const Case& c : cases) {
    CSoundRandomizer* r = Randomizer({50, 50}, c.list);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->IsInteractive(), c.interactive) << c.list;
  }

  // Written and read again: the same bytes, the matrix included.
  CSoundRandomizer* r = Randomizer({50, 50}, cases[0].list);
  std::vector<uint8_t> first = iaudtest::Archive(r);
  IAUDContentBank* again = iaudtest::SaveAndReload(owned.back(), dir, "again.icb");
  owned.push_back(again);
  ASSERT_NE(again->GetSoundRandomizer(0), nullptr);
  EXPECT_TRUE(again->GetSoundRandomizer(0)->IsInteractive());
  EXPECT_EQ(iaudtest::Archive(again->GetSoundRandomizer(0)), first);
}

TEST_F(RandomizerTest, ChanceAndOrderRulesApplyOnRequestOnly) {
  struct Case {
    uint32_t equal;
    std::vector<uint32_t> chances, orders;
    int32_t excluded;
    std::vector<uint32_t> chancesAfter, ordersAfter;
  } cases[] = {
      {0, {70, 50}, {2, 2}, -1, {60, 40}, {1, 2}},
      {0, {70, 50, 10}, {5, 1, 9}, 0, {70, 30, 0}, {2, 1, 3}},
      {0, {60, 41}, {1, 2}, -1, {59, 41}, {1, 2}},
      {1, {0, 0, 0}, {3, 3, 3}, -1, {34, 33, 33}, {1, 2, 3}},
  };
  for (const Case& c : cases) {
    std::vector<Item> items;
    for (size_t i = 0; i < c.chances.size(); ++i) items.push_back(Item{"snde", 0, c.orders[i], c.chances[i]});
    std::string list = RandomizerList(1, 0, items);
    list.replace(list.find("info u32 1 50 1"), 15, "info u32 1 50 " + std::to_string(c.equal));
    CSoundRandomizer* r = Randomizer({50}, list);
    std::vector<uint32_t> stored;
    for (int32_t i = 0; i < r->GetItemCount(); ++i) stored.push_back(r->GetItem(i)->dwChance);
    EXPECT_EQ(stored, c.chances) << "loading keeps them";
    r->CheckChancesInRange(c.excluded);
    r->CheckOrderNumbersInRange();
    std::vector<uint32_t> chances, orders;
    for (int32_t i = 0; i < r->GetItemCount(); ++i) {
      chances.push_back(r->GetItem(i)->dwChance);
      orders.push_back(r->GetItem(i)->dwOrder);
    }
    EXPECT_EQ(chances, c.chancesAfter);
    EXPECT_EQ(orders, c.ordersAfter);
  }
}

// Three queue layers of long events; the player's level selects the track.
class InteractiveTest : public RandomizerTest {
 protected:
  void SetUp() override {
    RandomizerTest::SetUp();
    std::string lists;
    for (uint32_t i = 0; i < 3; ++i) {
      lists += EventList(i, AddSample(60000));
      lists += " LIST sdqu\n  chunk indx u32 " + std::to_string(i) + "\n  chunk qinf i32 1 -1 -1\n  chunk qcnt fourcc snde u32 " +
               std::to_string(i) + "\n end\n";
    }
    lists += RandomizerList(1, 0, {{"sdqu", 0, 1, 0}, {"sdqu", 1, 2, 0}, {"sdqu", 2, 3, 0}},
                            Matrix(4, {{2, 3, 300, 150}}));
    randomizer = Bank(lists)->GetSoundRandomizer(0);
    ASSERT_NE(randomizer, nullptr);
    ASSERT_TRUE(randomizer->IsInteractive());
    player = new CPlayer();
    player->AttachPrimaryContent(randomizer);
    player->StartPlayer();
  }
  void TearDown() override {
    delete player;
    RandomizerTest::TearDown();
  }
  // The last level sent to each of the three layer tracks.
  std::vector<float> Levels() const {
    std::vector<float> out;
    for (long t = 0; t < 3; ++t) {
      std::vector<playertest::LevelSent> sent = render.For(t);
      out.push_back(sent.empty() ? -1.0f : sent.back().level);
    }
    return out;
  }
  CSoundRandomizer* randomizer = nullptr;
  CPlayer* player = nullptr;
};

TEST_F(InteractiveTest, TheSelectedLayerAloneIsHeardAndTimedCellsCrossFade) {
  int32_t voices = 0;
  EXPECT_EQ(apiGetContentVoiceCount(randomizer, &voices), 0);
  EXPECT_EQ(voices, 3);
  ASSERT_EQ(TrackOf(player->GetPrimaryVoice()), 0) << "the first layer plays on the player's voice";
  Tick(5);
  EXPECT_EQ(Count("PlayTracks"), 0) << "track 0: the layers wait";
  EXPECT_EQ(player->GetPlayerStatus(), CPlayer::kPlaying);

  // Immediate cell (0, 2): every layer starts, only item 1 is heard.
  player->SetRPCLevel(2.0f);
  EXPECT_EQ(Count("PlayTracks"), 3);
  EXPECT_EQ(Levels(), (std::vector<float>{0.0f, 1.0f, 0.0f}));
  Tick(3);

  // Timed cell (2, 3): item 1 fades out over 150 ms, item 2 in over 300 ms.
  render.levelLog.clear();
  uint32_t start = Now();
  player->SetRPCLevel(3.9f);
  player->SetRPCLevel(1.0f);  // during the fade: applied when it ends
  Tick(40);
  std::vector<playertest::LevelSent> out = render.For(1), in = render.For(2);
  ASSERT_GE(in.size(), 8u);
  for (size_t i = 1; i < in.size(); ++i) {
    uint32_t gap = in[i].ms - in[i - 1].ms;
    EXPECT_TRUE(gap == 30 || gap == 0) << "steps at the 30 ms ticks, not " << gap;
  }
  for (const playertest::LevelSent& l : in) {
    if (l.ms - start < 300) {
      EXPECT_NEAR(l.level, (l.ms - start) / 300.0f, 0.04f) << l.ms - start;
    }
  }
  for (const playertest::LevelSent& l : out) {
    if (l.ms - start < 150) {
      EXPECT_NEAR(l.level, 1.0f - (l.ms - start) / 150.0f, 0.07f) << l.ms - start;
    }
  }
  // After the fade the pending request for track 1 (an immediate cell) applied.
  EXPECT_EQ(Levels(), (std::vector<float>{1.0f, 0.0f, 0.0f}));

  // Track 0 stops every layer; the play idles until a track is chosen.
  render.calls.clear();
  player->SetRPCLevel(0.0f);
  EXPECT_EQ(Count("StopTracks"), 3);
  Tick(10);
  EXPECT_EQ(player->GetPlayerStatus(), CPlayer::kPlaying);
  EXPECT_EQ(Count("PlayTracks"), 0);
  player->SetRPCLevel(3.0f);
  EXPECT_EQ(Count("PlayTracks"), 3);
  EXPECT_EQ(Levels(), (std::vector<float>{0.0f, 0.0f, 1.0f}));

  // A track above the item count acts as 0.
  render.calls.clear();
  player->SetRPCLevel(7.0f);
  EXPECT_EQ(Count("StopTracks"), 3);
}

}  // namespace
