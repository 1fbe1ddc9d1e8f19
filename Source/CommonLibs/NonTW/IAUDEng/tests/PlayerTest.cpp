// The audio player on the recording driver, its timer called by the test:
// starting, status, cross-fading transitions, synchronised starts, bank
// references, stopping and its 3D state.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "NonTW/IAUDEng/CGroup.h"
#include "NonTW/IAUDEng/CSample.h"
#include "NonTW/IAUDEng/IAUDSampleBank.h"
#include "NonTW/IAUDEng/IAUDContentBank.h"
#include "NonTW/IAUDEng/IAUDMath.h"
#include "NonTW/IAUDEng/tests/PlayerTestSupport.h"

namespace {

using playertest::LevelSent;
using playertest::PlayerRuntimeTest;
using playertest::ScriptedContent;

class PlayerTest : public PlayerRuntimeTest {
 protected:
  int Reported(CPlayer& player) {
    SPlayerStatus s;
    player.GetStatus(&s);
    return s.nStatus;
  }
};

TEST_F(PlayerTest, LoopCountZeroPlaysTheContentsOwnCount) {
  ScriptedContent content;
  content.SetLoopCount(3);
  CPlayer player;
  player.AttachPrimaryContent(&content);
  player.StartPlayer(0, nullptr);
  EXPECT_EQ(content.startLoops, 3u);
  EXPECT_EQ(content.startSelector, 1) << "content starts with the primary's clocks selected";
  EXPECT_NE(content.startVoice, nullptr);
  EXPECT_EQ(player.GetProcessSelector(), 0);
  player.StartPlayer(5, nullptr);
  EXPECT_EQ(content.startLoops, 5u);
  EXPECT_EQ(player.GetPlayerStatus(), CPlayer::kPlaying);
  EXPECT_EQ(IAUDResourceManager::m_pActivePlayers, &player);
  EXPECT_EQ(render.exclusiveDepth, 0);
}

TEST_F(PlayerTest, ContentWithoutAVoiceKeepsThePlayerActiveUntilItEnds) {
  ScriptedContent content(nullptr, 64);  // more tracks than the driver has
  content.cyclesToPlay = 3;
  CPlayer player;
  player.AttachPrimaryContent(&content);
  player.StartPlayer();
  EXPECT_EQ(content.starts, 0);
  EXPECT_EQ(player.GetPlayerStatus(), CPlayer::kPlaying);
  Tick(2);
  EXPECT_EQ(content.cycles, 2);
  EXPECT_EQ(content.cycleVoice, nullptr);
  EXPECT_EQ(player.GetPlayerStatus(), CPlayer::kPlaying);
  Tick();
  EXPECT_EQ(player.GetPlayerStatus(), CPlayer::kStopped);
  EXPECT_EQ(IAUDResourceManager::m_pActivePlayers, nullptr);
  Tick();
  EXPECT_EQ(content.cycles, 3);
}

TEST_F(PlayerTest, PauseAndRestartLeaveAndRejoinTheActiveList) {
  ScriptedContent content;
  CPlayer player;
  player.AttachPrimaryContent(&content);
  player.StartPlayer();
  Tick(5);
  player.PausePlayer();
  EXPECT_EQ(player.GetPlayerStatus(), CPlayer::kPaused);
  EXPECT_EQ(content.pauses, 1);
  Tick(5);
  EXPECT_EQ(content.cycles, 5);
  player.RestartPlayer();
  EXPECT_EQ(content.restarts, 1);
  Tick(2);
  EXPECT_EQ(content.cycles, 7);
  SPlayerStatus s;
  player.GetStatus(&s);
  EXPECT_EQ(s.dwElapsedMs, 70u);
  EXPECT_EQ(s.pPrimaryContent, &content);
}

TEST_F(PlayerTest, StopIsForcedWhenContentKeepsStopping) {
  ScriptedContent content;
  content.stopRefusals = -1;
  CPlayer player;
  player.AttachPrimaryContent(&content);
  player.StartPlayer();
  player.StopPlayer();
  EXPECT_EQ(player.GetPlayerStatus(), CPlayer::kStopping);
  // Starting again needs a stopped player: it does not wait for ever.
  player.StartPlayer();
  EXPECT_EQ(player.GetPlayerStatus(), CPlayer::kPlaying);
  EXPECT_LT(content.stops, 100);
  EXPECT_EQ(render.exclusiveDepth, 0);
}

// A timed transition with every time 0 starts the transition content at
// once and hands over on the next cycle.
TEST_F(PlayerTest, ImmediateTransitionHandsOverOnTheNextCycle) {
  ScriptedContent a, b;
  CPlayer player;
  player.AttachPrimaryContent(&a);
  player.StartPlayer();
  Tick(3);
  player.AttachTransitionContent(&b);
  STransition t{0, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f};
  player.TransitionPlayer(0, nullptr, &t);
  EXPECT_EQ(player.GetTransitionState(), 5);
  EXPECT_EQ(b.starts, 1);
  EXPECT_EQ(b.startSelector, 2);
  EXPECT_EQ(Reported(player), 5);
  void* primaryVoice = player.GetPrimaryVoice();
  void* transitionVoice = player.GetTransitionVoice();
  ASSERT_NE(transitionVoice, nullptr);
  long transitionTrack = TrackOf(transitionVoice);
  size_t before = render.levelLog.size();
  Tick();
  EXPECT_EQ(player.GetTransitionState(), 0);
  EXPECT_EQ(player.GetPrimaryContent(), &b);
  EXPECT_EQ(player.GetTransitionContent(), nullptr);
  EXPECT_EQ(player.GetPrimaryVoice(), transitionVoice);
  EXPECT_FALSE(IAUDResourceManager::GetVoiceController()->IsHandleValid(primaryVoice));
  EXPECT_EQ(a.releases, 1);
  ASSERT_GT(render.levelLog.size(), before);
  EXPECT_EQ(render.levelLog.back().track, transitionTrack);
  EXPECT_EQ(render.levelLog.back().level, 1.0f);
  EXPECT_EQ(Reported(player), CPlayer::kPlaying);
}

TEST_F(PlayerTest, PrimaryFadeStepsEveryThirtyMilliseconds) {
  ScriptedContent a, b;
  CPlayer player;
  player.AttachPrimaryContent(&a);
  player.StartPlayer();
  Tick(7);
  long track = TrackOf(player.GetPrimaryVoice());
  player.AttachTransitionContent(&b);
  STransition t{0, 4.0f, 2.0f, 0.5f, 0.0f, 1.0f};
  uint32_t start = Now();
  player.TransitionPlayer(0, nullptr, &t);
  size_t first = render.For(track).size();
  Tick(300);
  std::vector<LevelSent> sent = render.For(track);
  sent.erase(sent.begin(), sent.begin() + (long)first);
  ASSERT_GT(sent.size(), 90u);
  bool sawThreeQuarters = false;
  for (size_t i = 0; i < sent.size(); ++i) {
    uint32_t elapsed = sent[i].ms - start;
    float hundredths = sent[i].level * 100.0f;
    EXPECT_FLOAT_EQ(hundredths, std::round(hundredths)) << "whole percent at " << elapsed;
    if (elapsed <= 2000)
      EXPECT_GE(sent[i].level, 0.5f) << elapsed;
    else
      EXPECT_EQ(sent[i].level, 0.0f) << elapsed;
    if (elapsed >= 1000 && elapsed < 1040) {
      EXPECT_FLOAT_EQ(sent[i].level, 0.75f) << elapsed;
      sawThreeQuarters = true;
    }
    if (i > 0) {
      EXPECT_EQ(sent[i].ms - sent[i - 1].ms, 30u);
      EXPECT_LE(sent[i].level, sent[i - 1].level);
    }
  }
  EXPECT_TRUE(sawThreeQuarters);
}

TEST_F(PlayerTest, PauseDuringCrossFadeMovesTheHandOver) {
  ScriptedContent a, b;
  CPlayer player;
  player.AttachPrimaryContent(&a);
  player.StartPlayer();
  Tick(2);
  player.AttachTransitionContent(&b);
  STransition t{0, 1.0f, 1.0f, 0.0f, 0.0f, 1.0f};
  uint32_t start = Now();
  player.TransitionPlayer(0, nullptr, &t);
  Tick(50);
  player.PausePlayer();
  EXPECT_EQ(b.pauses, 1) << "the cross-fading transition content pauses too";
  Tick(500);
  player.RestartPlayer();
  EXPECT_EQ(b.restarts, 1);
  while (Now() - start < 5990) Tick();
  EXPECT_EQ(player.GetTransitionState(), 5);
  EXPECT_EQ(player.GetPrimaryContent(), &a);
  Tick();
  EXPECT_EQ(Now() - start, 6000u);
  EXPECT_EQ(player.GetTransitionState(), 0);
  EXPECT_EQ(player.GetPrimaryContent(), &b);
}

TEST_F(PlayerTest, TransitionAtAMarkerOrAtThePrimarysEnd) {
  struct Case {
    const char* name;
    uint32_t type;
    int markerOnCycle;
    uint32_t transitionSync;
    int waitingState, stateAfterStart;
  };
  const Case cases[] = {
      {"marker passed", 1, 4, 0, 2, 5},
      {"no marker: at the end", 1, -1, 0, 2, 5},
      {"at the end", 2, -1, 0, 3, 5},
      {"no marker, synchronised content", 1, -1, 2, 2, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedContent a, b;
    a.cyclesToPlay = 10;
    a.markerOnCycle = c.markerOnCycle;
    b.SetSyncStart(SSyncStart{c.transitionSync, 1});
    CPlayer master;
    IAUDResourceManager::m_pMasterPlayer = c.transitionSync ? &master : nullptr;
    CPlayer player;
    player.AttachPrimaryContent(&a);
    player.StartPlayer();
    Tick();
    player.AttachTransitionContent(&b);
    STransition t{c.type, 3.0f, 1.0f, 0.0f, 0.0f, 1.0f};
    player.TransitionPlayer(0, nullptr, &t);
    EXPECT_EQ(player.GetTransitionState(), c.waitingState);
    EXPECT_EQ(Reported(player), 4);
    int startedAt = -1;
    for (int cycle = 2; cycle <= 12 && startedAt < 0; ++cycle) {
      Tick();
      if (b.starts || player.GetTransitionState() == 1) startedAt = cycle;
    }
    int expected = c.markerOnCycle > 0 ? c.markerOnCycle : 10;
    EXPECT_EQ(startedAt, expected);
    EXPECT_EQ(player.GetTransitionState(), c.stateAfterStart);
    EXPECT_EQ(b.starts, c.stateAfterStart == 5 ? 1 : 0);
    IAUDResourceManager::m_pMasterPlayer = nullptr;
  }
}

TEST_F(PlayerTest, QueuedTransitionRunsAfterTheFirstHandOver) {
  ScriptedContent a, b, c, d;  // outlive the player
  CPlayer player;
  player.AttachPrimaryContent(&a);
  player.StartPlayer();
  Tick();
  player.AttachTransitionContent(&b);
  STransition first{0, 1.0f, 1.0f, 0.0f, 0.0f, 1.0f};
  player.TransitionPlayer(0, nullptr, &first);
  uint32_t start = Now();
  player.AttachTransitionContent(&c);
  EXPECT_EQ(player.GetTransitionContent(), &b) << "the running transition keeps its content";
  STransition second{0, 0.5f, 0.5f, 0.0f, 0.0f, 1.0f};
  player.TransitionPlayer(0, nullptr, &second);
  while (Now() - start < 1000) Tick();
  EXPECT_EQ(player.GetPrimaryContent(), &b);
  EXPECT_EQ(player.GetTransitionContent(), &c);
  EXPECT_EQ(c.starts, 1);
  EXPECT_EQ(player.GetTransitionState(), 5);
  while (Now() - start < 1500) Tick();
  EXPECT_EQ(player.GetPrimaryContent(), &c);
  EXPECT_EQ(player.GetTransitionState(), 0);
  // Without a queued content a request during a transition is dropped.
  player.AttachTransitionContent(&d);
  player.TransitionPlayer(0, nullptr, &first);
  player.TransitionPlayer(0, nullptr, &second);
  while (Now() - start < 2600) Tick();
  EXPECT_EQ(player.GetPrimaryContent(), &d);
  EXPECT_EQ(player.GetTransitionContent(), nullptr);
}

TEST_F(PlayerTest, TransitionContentEndingStopsThePlayer) {
  ScriptedContent a, b;
  b.cyclesToPlay = 2;
  CPlayer player;
  player.AttachPrimaryContent(&a);
  player.StartPlayer();
  player.AttachTransitionContent(&b);
  STransition t{0, 5.0f, 5.0f, 0.0f, 0.0f, 1.0f};
  player.TransitionPlayer(0, nullptr, &t);
  Tick(2);
  EXPECT_EQ(player.GetPlayerStatus(), CPlayer::kStopped);
  EXPECT_EQ(player.GetTransitionState(), 0);
  EXPECT_EQ(player.GetTransitionContent(), nullptr);
}

// The follower waits for an even beat of the master.
TEST_F(PlayerTest, SynchronisedStartOnTheMastersBeat) {
  ScriptedContent masterContent, content;
  content.SetSyncStart(SSyncStart{2, 2});
  CPlayer master, player;
  IAUDResourceManager::m_pMasterPlayer = &master;
  master.AttachPrimaryContent(&masterContent);
  master.StartPlayer();
  Tick(5);
  player.AttachPrimaryContent(&content);
  player.StartPlayer();
  EXPECT_EQ(content.starts, 0);
  EXPECT_EQ(player.GetPlayerStatus(), CPlayer::kPlaying);
  int startedAt = -1;
  std::vector<int> boundaries;
  for (int period = 0; period < 300 && startedAt < 0; ++period) {
    Tick();
    master.SetProcessSelector(0);
    if (master.GetMasterStatus() & 2u) boundaries.push_back((int)master.GetMasterBeats());
    if (content.starts) startedAt = period;
  }
  ASSERT_GE(startedAt, 0);
  ASSERT_FALSE(boundaries.empty());
  EXPECT_EQ(boundaries.back() % 2, 0) << "started on an even beat";
  for (size_t i = 0; i + 1 < boundaries.size(); ++i) EXPECT_NE(boundaries[i] % 2, 0) << "an earlier even beat was missed";
  EXPECT_EQ(player.GetSyncStartType(), 0u);
  IAUDResourceManager::m_pMasterPlayer = nullptr;
}

TEST_F(PlayerTest, SynchronisedStartWithoutAMaster) {
  ScriptedContent masterContent, content, waits;  // outlive the players
  content.SetSyncStart(SSyncStart{2, 2});
  CPlayer player;
  player.AttachPrimaryContent(&content);
  player.StartPlayer();
  EXPECT_EQ(content.starts, 1) << "no master: at once";

  CPlayer master, waiting;
  master.AttachPrimaryContent(&masterContent);
  master.StartPlayer();
  IAUDResourceManager::m_pMasterPlayer = &master;
  Tick(3);
  waits.SetSyncStart(SSyncStart{3, 0});
  waiting.AttachPrimaryContent(&waits);
  waiting.StartPlayer();
  Tick();
  EXPECT_EQ(waits.starts, 0);
  IAUDResourceManager::m_pMasterPlayer = nullptr;
  Tick();
  EXPECT_EQ(waiting.GetPlayerStatus(), CPlayer::kStopped);
  EXPECT_EQ(waits.starts, 0);
}

TEST_F(PlayerTest, BankReferencesFollowTheContents) {
  IAUDContentBank* bank = new IAUDContentBank();
  ScriptedContent* a = new ScriptedContent(bank);
  ScriptedContent* b = new ScriptedContent(bank);
  ScriptedContent* c = new ScriptedContent(bank);
  bank->LinkObject(a);
  bank->LinkObject(b);
  bank->LinkObject(c);
  {
    CPlayer player;
    player.AttachPrimaryContent(a);
    EXPECT_EQ(bank->GetContentBankReference(), 1);
    player.StartPlayer();
    player.AttachTransitionContent(b);
    EXPECT_EQ(bank->GetContentBankReference(), 2);
    STransition t{0, 1.0f, 1.0f, 0.0f, 0.0f, 1.0f};
    player.TransitionPlayer(0, nullptr, &t);
    player.AttachTransitionContent(c);  // queued
    EXPECT_EQ(bank->GetContentBankReference(), 3);
    player.TransitionPlayer(0, nullptr, &t);
    Tick(101);  // a hands over to b, c takes b's place
    EXPECT_EQ(player.GetPrimaryContent(), b);
    EXPECT_EQ(player.GetTransitionContent(), c);
    EXPECT_EQ(bank->GetContentBankReference(), 2);
  }
  EXPECT_EQ(bank->GetContentBankReference(), 0) << "a destroyed player gives its references back";
  {
    CPlayer player;
    player.AttachPrimaryContent(a);
    player.StartPlayer();
    player.AttachTransitionContent(b);
    STransition t{0, 1.0f, 1.0f, 0.0f, 0.0f, 1.0f};
    player.TransitionPlayer(0, nullptr, &t);
    player.AttachTransitionContent(c);
    player.StopPlayer();  // the queued and the transition content leave
    EXPECT_EQ(bank->GetContentBankReference(), 1);
    player.AttachPrimaryContent(nullptr);
    EXPECT_EQ(bank->GetContentBankReference(), 0);
  }
  EXPECT_EQ(bank->GetContentBankReference(), 0);
  bank->RemoveObject();
}

TEST_F(PlayerTest, ThreeDimensionalStateReachesTheVoicesScaled) {
  ScriptedContent content;
  CPlayer player;
  player.AttachPrimaryContent(&content);
  player.StartPlayer();
  g_flDistanceFactor = 2.0f;
  IAUDVector p{1.0f, 2.0f, 3.0f};
  render.calls.clear();
  player.SetPosition(p);
  EXPECT_EQ(render.calls.size(), 1u);
  player.SetPosition(p);
  EXPECT_EQ(render.calls.size(), 1u) << "an unchanged position sends nothing";
  IAUDVector back;
  player.GetPosition(&back);
  EXPECT_EQ(back.x, 1.0f);
  EXPECT_EQ(back.z, 3.0f);
  g_flDistanceFactor = 1.0f;

  // Angles: the same three send nothing, exchanged ones send a new frame.
  IAUDinitmath();
  player.SetOrientation(0.5f, 1.0f, 0.0f);
  IAUDVector f1, t1;
  player.GetOrientation(&f1, &t1);
  player.SetOrientation(0.5f, 1.0f, 0.0f);
  IAUDVector f2, t2;
  player.GetOrientation(&f2, &t2);
  EXPECT_EQ(f1.x, f2.x);
  player.SetOrientation(1.0f, 0.5f, 0.0f);
  player.GetOrientation(&f2, &t2);
  EXPECT_NE(f1.x, f2.x);
  float a1, a2, a3;
  player.GetOrientation(&a1, &a2, &a3);
  EXPECT_EQ(a1, 0.5f) << "the second angle comes first";
  EXPECT_EQ(a2, 1.0f);
  EXPECT_EQ(render.exclusiveDepth, 0);
}

// A sample played as content: its passes are counted down on the player's
// loop count, each pass restarts the clocks, and the end stops the player.
TEST_F(PlayerTest, ASampleAsContentCountsItsPasses) {
  IAUDSampleBank* bank = new IAUDSampleBank();
  IAUDResourceManager::AddSampleBank(bank, 0);
  CSample* sample = new CSample(bank);
  bank->LinkObject(sample);
  sample->SetResourceIndex((uint32_t)bank->AddNewSample(sample));
  sample->GetSampleInfo()->dwDuration = 100;
  CPlayer player;
  player.AttachPrimaryContent(sample);
  render.calls.clear();
  player.StartPlayer(2, nullptr);
  long track = TrackOf(player.GetPrimaryVoice());
  EXPECT_EQ(render.calls.back(), "PlayTracks " + std::to_string(track) + " loop 1");
  std::vector<int32_t> loops;
  std::vector<uint32_t> clocks;
  for (int i = 0; i < 30; ++i) {
    Tick();
    SPlayerStatus s;
    player.GetStatus(&s);
    loops.push_back(s.nPrimaryLoops);
    SPlayerMetricTime m;
    player.GetPrimaryMetricTime(&m);
    clocks.push_back(m.dwTotalClocks);
  }
  // The pass that started at 0 ms ends after 100 ms, at the 110 ms cycle.
  EXPECT_EQ(loops[9], 2);
  EXPECT_EQ(loops[10], 1);
  EXPECT_EQ(loops[20], 1);
  EXPECT_EQ(loops[21], 0);
  EXPECT_LT(clocks[10], clocks[9]) << "a new pass counts from the reset position";
  EXPECT_EQ(player.GetPlayerStatus(), CPlayer::kPlaying);
  render.tracks[track].playing = false;
  Tick(2);
  EXPECT_EQ(player.GetPlayerStatus(), CPlayer::kStopped);
  player.AttachPrimaryContent(nullptr);
}

TEST_F(PlayerTest, GroupsAndTheirGain) {
  int32_t group = IAUDResourceManager::AddGroup(reinterpret_cast<const uint16_t*>(u"music"));
  ScriptedContent content;
  content.SetGroupIndex(group);
  CPlayer player;
  player.AttachPrimaryContent(&content);
  player.StartPlayer();
  EXPECT_TRUE(player.IsContentInGroup((unsigned long)group));
  EXPECT_FALSE(player.IsContentInGroup((unsigned long)group + 1));
  long track = TrackOf(player.GetPrimaryVoice());
  size_t before = render.For(track).size();
  IAUDResourceManager::GetGroup((uint32_t)group)->SetGain(0.5f);
  std::vector<LevelSent> sent = render.For(track);
  ASSERT_GT(sent.size(), before);
  EXPECT_FLOAT_EQ(sent.back().level, 0.5f);
}

}  // namespace
