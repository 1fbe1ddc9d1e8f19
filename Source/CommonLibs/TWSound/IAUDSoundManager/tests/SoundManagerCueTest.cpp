// Cues, channels and sound sources on the runtime, with every runtime call
// recorded: lookups, the deferred start, stops, distance culling,
// pre-emption of sources, positions and the trigger variable.
#include <gtest/gtest.h>

#include <string>

#include "SoundManagerTestSupport.h"

namespace {

using soundtest::SManagerRun;
using soundtest::Traced;

EEntity* Owner(uintptr_t n) { return reinterpret_cast<EEntity*>(n * 16); }

TEST(SoundManagerCues, ANameIsCutToItsBaseAndFoundOnce) {
  soundtest::WithManager([](SManagerRun& run) {
    EIAUDSoundManager& m = *run.pManager;
    const uint32_t uJump = m.GetSoundCue("Sounds\\FX\\Jump.wav");
    ASSERT_NE(0u, uJump);
    EXPECT_EQ(uJump, m.GetSoundCue("Jump"));
    EXPECT_EQ(uJump, m.GetSoundCue("a/b/Jump.ogg"));
    EXPECT_EQ(1, m.m_pSoundCueArray->GetNumUsed());
    EXPECT_STREQ("Jump", m.m_pSoundCueArray->ElementGet(uJump)->m_szName);
    // Its controller was found by the probe and let go again.
    EXPECT_STREQ("Jump-rpc", m.m_pSoundCueArray->ElementGet(uJump)->m_szRPCName);
    EXPECT_EQ(1u, run.pRecord->Count("ReleasePlayerRPC"));
    EXPECT_EQ(0, m.m_pChannelArray->GetNumUsed());

    EXPECT_EQ(0u, m.GetSoundCue("Nowhere"));
    EXPECT_TRUE(Traced("Sound cue not found matching name Nowhere (Nowhere)\n"));
    EXPECT_EQ(0xFFFFFFFFu, m.GetSoundCue(nullptr));
    // A name too long for the name buffer is refused.
    EXPECT_EQ(0u, m.GetSoundCue(std::string(4096, 'a').c_str()));
    EXPECT_TRUE(Traced("Sound cue name too long"));
    EXPECT_EQ(0u, m.GetSoundCue((std::string(4091, 'a') + "/Jump").c_str()));
    EXPECT_EQ(uJump, m.GetSoundCue((std::string(4090, 'a') + "/Jump").c_str()));

    struct CategoryCase {
      const char* cue;
      int category;
      bool looping;
    };
    const CategoryCase cases[] = {{"Jump", kSOUNDCAT_FX, false},          {"Hum", kSOUNDCAT_FX, true},
                                  {"Theme", kSOUNDCAT_MUSIC, false},      {"Odd", kSOUNDCAT_MUSIC, false},
                                  {"FootstepsCue", kSOUNDCAT_FOOTSTEPS, false}, {"BubbleCue", kSOUNDCAT_BUBBLE, false}};
    for (const CategoryCase& c : cases) {
      const uint32_t uCue = m.GetSoundCue(c.cue);
      ASSERT_NE(0u, uCue) << c.cue;
      EXPECT_TRUE(m.IsSoundCueInCategory(uCue, (SOUNDCATEGORY)c.category)) << c.cue;
      EXPECT_EQ(c.looping, m.m_pSoundCueArray->ElementGet(uCue)->m_bLooping) << c.cue;
      EXPECT_EQ(nullptr, c.cue == std::string("Jump") ? nullptr : m.m_pSoundCueArray->ElementGet(uCue)->m_szRPCName);
    }
  });
}

TEST(SoundManagerCues, ACueStartsInTheNextFrameAndAStopBeforeThatUndoesIt) {
  soundtest::WithManager([](SManagerRun& run) {
    EIAUDSoundManager& m = *run.pManager;
    const uint32_t uJump = m.GetSoundCue("Jump");
    const uint32_t uInstance = (uint32_t)m.PlaySoundCue(uJump, 0, false);
    ASSERT_NE(0u, uInstance);
    m.AssociateEntityWithInstance(Owner(1), uInstance);
    m.SetParameterControl("Level", 0.75f, uInstance, uJump);
    EXPECT_EQ(0u, run.pRecord->Count("PlayAudioPlayer"));
    EXPECT_EQ(1, m.SoundCueNumRefs(uJump));
    EXPECT_TRUE(m.SoundCueIsPlaying(uJump));
    EChannel* pChannel = m.GetChannel(uInstance);
    ASSERT_NE(nullptr, pChannel);
    EXPECT_TRUE(pChannel->Is2d());
    ASSERT_EQ(1u, run.pRecord->Count("SetAudioPlayerRPCLevel"));
    EXPECT_FLOAT_EQ(0.75f, run.pRecord->Calls("SetAudioPlayerRPCLevel")[0].floats[0]);
    EXPECT_TRUE(m.IsEntityPlayingCategory(Owner(1), kSOUNDCAT_FX));
    EXPECT_FALSE(m.IsEntityPlayingCategory(Owner(2), kSOUNDCAT_FX));

    m.DoWork(0.016f);
    ASSERT_EQ(1u, run.pRecord->Count("PlayAudioPlayer"));
    EXPECT_EQ(0, run.pRecord->Calls("PlayAudioPlayer")[0].result);
    EXPECT_TRUE(Traced("Deferred start of 'Jump'"));
    m.StopAll();
    EXPECT_EQ(0, m.SoundCueNumRefs(uJump));
    EXPECT_EQ(0, m.m_pChannelArray->GetNumUsed());

    // Stopped by its instance before it started: never played.
    run.pRecord->m_aCalls.clear();
    const uint32_t uAgain = (uint32_t)m.PlaySoundCue(uJump, 0, false);
    ASSERT_NE(0u, uAgain);
    m.StopSoundCue(uJump, 0, uAgain);
    EXPECT_EQ(0, m.SoundCueNumRefs(uJump));
    EXPECT_FALSE(m.SoundCueIsPlaying(uJump));
    m.DoWork(0.016f);
    EXPECT_EQ(0u, run.pRecord->Count("PlayAudioPlayer"));
    EXPECT_EQ(nullptr, m.GetChannel(uAgain));
    const ESoundSource* pDefault = m.m_pSoundSourceArray->ElementGet(m.m_dwDefault2DSource);
    EXPECT_EQ(0, pDefault->m_nChannelsOnSource);

    // Cue id 0 stops nothing, whatever else is named.
    const uint32_t uThird = (uint32_t)m.PlaySoundCue(uJump, 0, false);
    m.StopSoundCue(0, m.m_dwDefault2DSource, uThird);
    EXPECT_NE(nullptr, m.GetChannel(uThird));
    EXPECT_EQ(0, m.PlaySoundCue(0x80000000u | 1000u, 0, false));
    EXPECT_TRUE(Traced("Received request to play an invalid sound cue"));
  });
}

// The runtime plays the tone to its end; the channel and the cue's count go
// with it.
TEST(SoundManagerCues, APlayedCueEndsByItselfAndItsChannelIsFreed) {
  soundtest::WithManager([](SManagerRun& run) {
    EIAUDSoundManager& m = *run.pManager;
    const uint32_t uJump = m.GetSoundCue("Jump");
    ASSERT_NE(0, m.PlaySoundCue(uJump, 0, false));
    EXPECT_TRUE(AudioDrvTest::WaitFor(
        [&] {
          m.DoWork(0.01f);
          return !m.SoundCueIsPlaying(uJump);
        },
        10.0));
    EXPECT_EQ(0, m.m_pChannelArray->GetNumUsed());
    EXPECT_TRUE(Traced("(cue: "));
    EXPECT_GT(run.pRecord->Count("GetAudioPlayerStatus"), 0u);
  });
}

struct CullCase {
  float x;
  bool ignoreDistance;
  const char* cue;
  bool plays;
};

TEST(SoundManagerCues, FarNonLoopingCuesAreCulled) {
  const CullCase cases[] = {
      {3000.0f, false, "Jump", true},      // 9000000 exactly
      {3000.001f, false, "Jump", false},   // just beyond
      {3000.001f, true, "Jump", true},     // distance ignored
      {100000.0f, true, "Jump", true},
      {100000.0f, false, "Hum", true},     // a loop starts anywhere
  };
  soundtest::WithManager([&](SManagerRun& run) {
    EIAUDSoundManager& m = *run.pManager;
    for (const CullCase& c : cases) {
      EEntity* pDisplaced = nullptr;
      const uint32_t uSource = m.RequestSoundSource(Owner(1), EVec3(c.x, 0.0f, 0.0f), &pDisplaced);
      ASSERT_NE(0u, uSource);
      const int iInstance = m.PlaySoundCue(m.GetSoundCue(c.cue), uSource, c.ignoreDistance);
      EXPECT_EQ(c.plays, iInstance != 0) << c.x << " " << c.cue;
      m.FreeSoundSource(uSource, Owner(1));
    }
    EXPECT_EQ(0, m.m_pChannelArray->GetNumUsed());
  });
}

TEST(SoundManagerCues, PositionsReachTheRuntimeWithZNegatedAndSmallMovesAreKept) {
  soundtest::WithManager([](SManagerRun& run) {
    EIAUDSoundManager& m = *run.pManager;
    EEntity* pDisplaced = nullptr;
    const uint32_t uSource = m.RequestSoundSource(Owner(1), EVec3(1.0f, 2.0f, 3.0f), &pDisplaced);
    const uint32_t uInstance = (uint32_t)m.PlaySoundCue(m.GetSoundCue("Hum"), uSource, true);
    ASSERT_NE(0u, uInstance);
    std::vector<soundtest::SRecord> moves = run.pRecord->Calls("SetAudioPlayerPosition");
    ASSERT_FALSE(moves.empty());
    EXPECT_EQ("(1 2 -3)", moves.back().args[1]);
    m.DoWork(0.016f);

    run.pRecord->m_aCalls.clear();
    EXPECT_TRUE(m.ProcessSoundSource(uSource, EVec3(1.3f, 2.0f, 3.0f)));  // 0.09 squared: kept
    m.DoWork(0.016f);
    EXPECT_EQ(0u, run.pRecord->Count("SetAudioPlayerPosition"));
    EXPECT_TRUE(m.ProcessSoundSource(uSource, EVec3(1.0f, 2.0f, 13.0f)));
    m.DoWork(0.016f);
    moves = run.pRecord->Calls("SetAudioPlayerPosition");
    ASSERT_EQ(1u, moves.size());  // flushed once, in the frame after the move
    EXPECT_EQ("(1 2 -13)", moves[0].args[1]);
    m.DoWork(0.016f);
    EXPECT_EQ(1u, run.pRecord->Count("SetAudioPlayerPosition"));

    // The listener: z negated, changes below 0.00001 not sent.
    m.SetListenerPosition(EVec3(5.0f, 6.0f, 7.0f));
    m.SetListenerPosition(EVec3(5.000005f, 6.0f, 7.0f));
    m.SetListenerOrientation(EVec3(0.0f, 0.0f, 1.0f), EVec3(0.0f, 1.0f, 0.0f));  // unchanged
    m.SetListenerOrientation(EVec3(1.0f, 0.0f, 0.0f), EVec3(0.0f, 1.0f, 0.0f));
    ASSERT_EQ(1u, run.pRecord->Count("SetListenerPosition"));
    EXPECT_EQ("(5 6 -7)", run.pRecord->Calls("SetListenerPosition")[0].args[0]);
    ASSERT_EQ(1u, run.pRecord->Count("SetListenerOrientation"));

    // A source whose sounds have ended is given back.
    m.StopSoundsOnSource(uSource);
    EXPECT_FALSE(m.ProcessSoundSource(uSource, EVec3(0.0f, 0.0f, 0.0f)));
    EXPECT_EQ(nullptr, m.m_pSoundSourceArray->ElementTryToGet(uSource));
  });
}

TEST(SoundManagerCues, AFullSourcePoolPreemptsTheFurthest3DSourceOrRefusesAFartherRequest) {
  soundtest::WithManager([](SManagerRun& run) {
    EIAUDSoundManager& m = *run.pManager;
    EEntity* pDisplaced = nullptr;
    // 62 sources at x = 10, 20, ... ; two at the furthest distance (610).
    std::vector<uint32_t> sources;
    for (int i = 1; i <= 62; ++i) {
      const float x = 10.0f * (float)(i == 62 ? 61 : i);
      sources.push_back(m.RequestSoundSource(Owner((uintptr_t)i), EVec3(x, 0.0f, 0.0f), &pDisplaced));
      ASSERT_NE(0u, sources.back()) << i;
    }
    EXPECT_EQ(64, m.m_pSoundSourceArray->GetNumUsed());
    const uint32_t uHum = m.GetSoundCue("Hum");
    ASSERT_NE(0, m.PlaySoundCue(uHum, sources[60], true));

    EXPECT_EQ(0u, m.RequestSoundSource(Owner(100), EVec3(611.0f, 0.0f, 0.0f), &pDisplaced));
    EXPECT_EQ(nullptr, pDisplaced);
    // As far as the furthest: the lowest slot of the two goes, with its sound.
    const uint32_t uNew = m.RequestSoundSource(Owner(101), EVec3(0.0f, 610.0f, 0.0f), &pDisplaced);
    ASSERT_NE(0u, uNew);
    EXPECT_EQ(Owner(61), pDisplaced);
    EXPECT_EQ(nullptr, m.m_pSoundSourceArray->ElementTryToGet(sources[60]));
    EXPECT_EQ(0, m.m_pChannelArray->GetNumUsed());
    EXPECT_TRUE(Traced("Stopping furthest sound source preemptively"));
    // Now the new source (in the freed, lower slot) ties with the last one.
    const uint32_t uNear = m.RequestSoundSource(Owner(102), EVec3(1.0f, 0.0f, 0.0f), &pDisplaced);
    ASSERT_NE(0u, uNear);
    EXPECT_EQ(Owner(101), pDisplaced);
    // The 2D sources are never taken.
    EXPECT_NE(nullptr, m.m_pSoundSourceArray->ElementTryToGet(m.m_dwDefault2DSource));
    EXPECT_NE(nullptr, m.m_pSoundSourceArray->ElementTryToGet(m.m_dwSecond2DSource));

    // Only the owner (or anyone, with no owner named) frees a source.
    m.FreeSoundSource(uNear, Owner(5));
    EXPECT_NE(nullptr, m.m_pSoundSourceArray->ElementTryToGet(uNear));
    m.FreeSoundSource(uNear, nullptr);
    EXPECT_EQ(nullptr, m.m_pSoundSourceArray->ElementTryToGet(uNear));
  });
}

TEST(SoundManagerCues, TheTriggerVariableReachesMusicChannelsScaledAndClamped) {
  soundtest::WithManager([](SManagerRun& run) {
    EIAUDSoundManager& m = *run.pManager;
    ASSERT_NE(0, m.PlaySoundCue(m.GetSoundCue("Theme"), 0, false));
    ASSERT_NE(0, m.PlaySoundCue(m.GetSoundCue("Odd"), 0, false));  // a group of its own counts as music
    ASSERT_NE(0, m.PlaySoundCue(m.GetSoundCue("Jump"), 0, false));
    struct TriggerCase {
      float value;
      float sent;
    };
    for (TriggerCase c : {TriggerCase{0.2f, 2.0f}, TriggerCase{0.5f, 2.5f}, TriggerCase{0.3f, 3.0f}}) {
      run.pRecord->m_aCalls.clear();
      m.SetTriggerVariable(7, c.value, true);
      const std::vector<soundtest::SRecord> levels = run.pRecord->Calls("SetAudioPlayerRPCLevel");
      ASSERT_EQ(2u, levels.size()) << c.value;
      for (const soundtest::SRecord& r : levels) EXPECT_FLOAT_EQ(c.sent, r.floats[0]) << c.value;
      EXPECT_FLOAT_EQ(c.value, m.GetInteractiveMusicLevel());
    }
    EXPECT_TRUE(m.IsSourcePlayingCategory(0, kSOUNDCAT_MUSIC));
    EXPECT_TRUE(m.IsSourcePlayingCategory(m.m_dwDefault2DSource, kSOUNDCAT_FX));
    EXPECT_FALSE(m.IsSourcePlayingCategory(0, kSOUNDCAT_VOICE));
  });
}

// Deleting a cue or its bank while it plays stops its channels first, so no
// channel is left with a deleted cue.
TEST(SoundManagerCues, DeletingAPlayingCueOrItsBankStopsItsChannelsFirst) {
  for (bool bWholeBank : {false, true}) {
    soundtest::WithManager([&](SManagerRun& run) {
      EIAUDSoundManager& m = *run.pManager;
      const uint32_t uJump = m.GetSoundCue("Jump");
      EEntity* pDisplaced = nullptr;
      const uint32_t uSource = m.RequestSoundSource(Owner(1), EVec3(10.0f, 0.0f, 0.0f), &pDisplaced);
      const uint32_t uLoop = (uint32_t)m.PlaySoundCue(m.GetSoundCue("Hum"), uSource, false);
      const uint32_t uInstance = (uint32_t)m.PlaySoundCue(uJump, 0, false);
      ASSERT_NE(0u, uInstance);
      ASSERT_NE(0u, uLoop);
      m.DoWork(0.016f);
      if (bWholeBank)
        m.DeleteSoundBank(run.uSoundBank);
      else
        m.DeleteSoundCue(uJump);
      EXPECT_EQ(nullptr, m.GetChannel(uInstance));
      EXPECT_EQ(bWholeBank, m.GetChannel(uLoop) == nullptr);
      EXPECT_EQ(bWholeBank ? 0 : 1, ELoopingSound::s_aLoopingSounds.GetNumUsed());
      EXPECT_EQ(nullptr, m.m_pSoundCueArray->ElementTryToGet(uJump));
      EXPECT_EQ(bWholeBank ? 0 : 1, m.m_pSoundSourceArray->ElementGet(uSource)->m_nChannelsOnSource);
      m.DoWork(0.016f);
      m.DoWork(0.016f);
    });
  }
}

}  // namespace
