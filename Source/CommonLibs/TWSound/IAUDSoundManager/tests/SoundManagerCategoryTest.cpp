// Category volumes (corrections, ducking, fades), muting, pausing sets, and
// looping sounds that pause while far or asleep, with the runtime's calls
// recorded.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "SoundManagerTestSupport.h"

namespace {

using soundtest::SManagerRun;

EEntity* Owner(uintptr_t n) { return reinterpret_cast<EEntity*>(n * 16); }

float Last(const std::vector<float>& v) { return v.empty() ? -1.0f : v.back(); }

TEST(SoundManagerCategories, VolumesGetTheirCategoryCorrections) {
  soundtest::WithManager([](SManagerRun& run) {
    EIAUDSoundManager& m = *run.pManager;
    m.SetFXVolume(0.5f, 0);
    m.SetMusicVolume(1.0f, 0);
    m.SetVoiceVolume(1.0f, 0);
    struct GainCase {
      SOUNDCATEGORY category;
      float gain;
    };
    const GainCase cases[] = {{kSOUNDCAT_FX, 0.31548f},    {kSOUNDCAT_AMBFX, 0.28117f},   {kSOUNDCAT_MENU, 0.31548f},
                              {kSOUNDCAT_GIOFX, 0.31548f}, {kSOUNDCAT_MUSIC, 0.50119f},   {kSOUNDCAT_CUTSCENE, 0.63096f},
                              {kSOUNDCAT_VOICE, 1.0f},     {kSOUNDCAT_EMOBAG, 0.31548f}};
    for (const GainCase& c : cases) {
      EXPECT_NEAR(c.gain, Last(run.Gains(c.category)), 0.00001f) << sg_aszCategoryGroupNames[c.category];
      EXPECT_NEAR(c.gain, m.GetDesiredCategoryVolume(c.category), 0.00001f);
    }
    EXPECT_TRUE(run.Gains(kSOUNDCAT_ALL).empty());
    EXPECT_FLOAT_EQ(-5.0f, m.GetCategoryAdjustment(kSOUNDCAT_AMBFX));

    // Silence is applied as given; master volume is the listener's gain.
    m.SetDesiredCategoryVolume(kSOUNDCAT_FX, 0.000005f, 0.0f);
    EXPECT_FLOAT_EQ(0.000005f, m.GetDesiredCategoryVolume(kSOUNDCAT_FX));
    m.SetMasterVolume(1.5f, 0);
    ASSERT_EQ(1u, run.pRecord->Count("SetListenerGain"));
    EXPECT_FLOAT_EQ(1.0f, run.pRecord->Calls("SetListenerGain")[0].floats[0]);
    EXPECT_FLOAT_EQ(1.5f, m.GetMasterVolume());
  });
}

TEST(SoundManagerCategories, DuckingFadesFromTheLastFadedLevelOverAFewFrames) {
  soundtest::WithManager([](SManagerRun& run) {
    EIAUDSoundManager& m = *run.pManager;
    m.SetFXVolume(0.5f, 0);
    m.SetMusicVolume(1.0f, 0);
    run.pRecord->m_aCalls.clear();
    m.SetDucking(true);
    m.SetDucking(true);  // no change: nothing more
    EXPECT_TRUE(run.Gains(kSOUNDCAT_FX).empty());
    m.DoWork(0.075f);
    // Half way from 1.0 (nothing has faded yet) towards 0.19905.
    EXPECT_NEAR(1.0f + (0.19905f - 1.0f) * 0.5f, Last(run.Gains(kSOUNDCAT_FX)), 0.0001f);
    m.DoWork(0.075f);
    EXPECT_NEAR(0.19905f, Last(run.Gains(kSOUNDCAT_FX)), 0.00001f);
    EXPECT_NEAR(0.31623f, Last(run.Gains(kSOUNDCAT_MUSIC)), 0.00001f);
    EXPECT_NEAR(0.31548f, Last(run.Gains(kSOUNDCAT_MENU)), 0.00001f);  // no ducking offset
    EXPECT_TRUE(run.Gains(kSOUNDCAT_CUTSCENE).empty());                // not refreshed
    EXPECT_TRUE(run.Gains(kSOUNDCAT_GIOFX).empty());
    // The fade has ended: a further frame sends nothing.
    const size_t nGains = run.pRecord->Count("SetGroupGain");
    m.DoWork(0.075f);
    EXPECT_EQ(nGains, run.pRecord->Count("SetGroupGain"));
    EXPECT_NEAR(0.19905f, m.GetActualCategoryVolume(kSOUNDCAT_FX), 0.00001f);
  });
}

TEST(SoundManagerCategories, FadesEndExactlyAndMutingGoesToSilenceAndBack) {
  soundtest::WithManager([](SManagerRun& run) {
    EIAUDSoundManager& m = *run.pManager;
    m.SetDesiredCategoryVolume(kSOUNDCAT_FX, 0.5f, 1.0f);
    const float v = m.GetDesiredCategoryVolume(kSOUNDCAT_FX);
    for (int i = 0; i < 4; ++i) m.DoWork(0.25f);
    const std::vector<float> gains = run.Gains(kSOUNDCAT_FX);
    ASSERT_EQ(4u, gains.size());
    EXPECT_LT(gains[2], gains[1]);
    EXPECT_EQ(v, gains[3]);
    m.SetDesiredCategoryVolume(kSOUNDCAT_FX, 1.0f, 1.0f);
    m.DoWork(2.0f);  // a long frame jumps to the end
    EXPECT_NEAR(0.63096f, Last(run.Gains(kSOUNDCAT_FX)), 0.00001f);

    m.SetFXVolume(1.0f, 0);
    m.MuteCategory(kSOUNDCAT_ALL, 2.0f);
    m.DoWork(2.0f);
    for (int i = 0; i < kSOUNDCAT_ALL; ++i) EXPECT_EQ(0.0f, Last(run.Gains((SOUNDCATEGORY)i))) << i;
    EXPECT_TRUE(run.Gains(kSOUNDCAT_ALL).empty());
    m.UnmuteCategory(kSOUNDCAT_FX);
    m.DoWork(0.15f);
    EXPECT_NEAR(0.63096f, Last(run.Gains(kSOUNDCAT_FX)), 0.00001f);
    EXPECT_EQ(0.0f, Last(run.Gains(kSOUNDCAT_AMBFX)));
  });
}

TEST(SoundManagerCategories, PausingSetsLeaveTheirCategoriesPlaying) {
  struct SetCase {
    void (EIAUDSoundManager::*op)();
    const char* call;
    std::vector<SOUNDCATEGORY> spared;
  };
  const SetCase cases[] = {
      {&EIAUDSoundManager::PauseNonMenu, "PauseAllAudio", {kSOUNDCAT_MENU, kSOUNDCAT_GIOFX, kSOUNDCAT_ALL}},
      {&EIAUDSoundManager::ResumeNonMenu, "RestartAllAudio", {kSOUNDCAT_MENU, kSOUNDCAT_GIOFX, kSOUNDCAT_ALL}},
      {&EIAUDSoundManager::PauseNonBubble,
       "PauseAllAudio",
       {kSOUNDCAT_MENU, kSOUNDCAT_GIOFX, kSOUNDCAT_EMOBAG, kSOUNDCAT_BUBBLE, kSOUNDCAT_ALL}},
  };
  soundtest::WithManager([&](SManagerRun& run) {
    EIAUDSoundManager& m = *run.pManager;
    for (const SetCase& c : cases) {
      run.pRecord->m_aCalls.clear();
      (m.*c.op)();
      std::vector<void*> groups;
      for (const soundtest::SRecord& r : run.pRecord->Calls(c.call)) groups.push_back(r.pointers[0]);
      EXPECT_EQ((size_t)kNUM_SOUNDCATEGORIES - c.spared.size(), groups.size()) << c.call;
      for (int i = 0; i < kNUM_SOUNDCATEGORIES; ++i) {
        const bool bSpared = std::find(c.spared.begin(), c.spared.end(), (SOUNDCATEGORY)i) != c.spared.end();
        EXPECT_EQ(!bSpared, std::find(groups.begin(), groups.end(), run.Group((SOUNDCATEGORY)i)) != groups.end())
            << c.call << " " << sg_aszCategoryGroupNames[i];
      }
    }
    run.pRecord->m_aCalls.clear();
    m.PauseAll();
    m.StopCategory(kSOUNDCAT_FX);
    ASSERT_EQ(1u, run.pRecord->Count("PauseAllAudio"));
    EXPECT_EQ(nullptr, run.pRecord->Calls("PauseAllAudio")[0].pointers[0]);
    ASSERT_EQ(1u, run.pRecord->Count("StopAllAudio"));
    EXPECT_EQ(run.Group(kSOUNDCAT_FX), run.pRecord->Calls("StopAllAudio")[0].pointers[0]);
    EXPECT_TRUE(soundtest::Traced("sg_pIAUD->PauseAllAudio(NULL)"));
    EXPECT_TRUE(soundtest::Traced("sg_pIAUD->PauseAllAudio('Footsteps')"));
  });
}

struct LoopCase {
  float distanceSq;
  bool pausedAtStart;
};

TEST(SoundManagerLoops, AFarLoopPausesInTheFrameThatStartsItAndANearOnePlays) {
  const LoopCase cases[] = {{9000000.0f, true}, {8999999.0f, false}};
  for (const LoopCase& c : cases) {
    soundtest::WithManager([&](SManagerRun& run) {
      EIAUDSoundManager& m = *run.pManager;
      EEntity* pDisplaced = nullptr;
      const uint32_t uSource = m.RequestSoundSource(Owner(1), EVec3(sqrtf(c.distanceSq), 0.0f, 0.0f), &pDisplaced);
      m.m_pSoundSourceArray->ElementGet(uSource)->m_fDistanceSq = c.distanceSq;  // exactly
      const uint32_t uHum = m.GetSoundCue("Hum");
      const uint32_t uInstance = (uint32_t)m.PlaySoundCue(uHum, uSource, false);
      ASSERT_NE(0u, uInstance);
      EXPECT_EQ(1, ELoopingSound::s_aLoopingSounds.GetNumUsed());
      // A second instance of the loop on the same source is refused.
      EXPECT_EQ(0, m.PlaySoundCue(uHum, uSource, false));
      EXPECT_TRUE(soundtest::Traced("Not playing second instance of 'Hum' on the same sound source"));
      m.DoWork(0.016f);
      EXPECT_EQ(1u, run.pRecord->Count("PlayAudioPlayer"));
      EXPECT_EQ(c.pausedAtStart ? 1u : 0u, run.pRecord->Count("PauseAudioPlayer"));
      EXPECT_EQ(c.pausedAtStart, m.GetChannel(uInstance)->IsPaused());
      EXPECT_EQ(c.pausedAtStart, m.m_pSoundSourceArray->ElementGet(uSource)->m_bPaused);

      // Asleep: paused; awake and near: playing again.
      m.m_pSoundSourceArray->ElementGet(uSource)->m_fDistanceSq = 100.0f;
      m.SetSoundSourceSleeping(Owner(1), true);
      m.DoWork(0.016f);
      EXPECT_TRUE(m.GetChannel(uInstance)->IsPaused());
      m.SetSoundSourceSleeping(Owner(1), false);
      m.DoWork(0.016f);
      EXPECT_FALSE(m.GetChannel(uInstance)->IsPaused());
      EXPECT_FALSE(m.m_pSoundSourceArray->ElementGet(uSource)->m_bPaused);

      m.StopAll();
      EXPECT_EQ(0, m.m_pChannelArray->GetNumUsed());
      EXPECT_EQ(0, ELoopingSound::s_aLoopingSounds.GetNumUsed());
      EXPECT_NE(0, m.PlaySoundCue(uHum, uSource, false));  // ended: may play again
    });
  }
}

TEST(SoundManagerLoops, ResumingEverythingPausesFarLoopsAgainBeforeReturning) {
  soundtest::WithManager([](SManagerRun& run) {
    EIAUDSoundManager& m = *run.pManager;
    EEntity* pDisplaced = nullptr;
    const uint32_t uSource = m.RequestSoundSource(Owner(1), EVec3(5000.0f, 0.0f, 0.0f), &pDisplaced);
    const uint32_t uInstance = (uint32_t)m.PlaySoundCue(m.GetSoundCue("Hum"), uSource, false);
    ASSERT_NE(0u, uInstance);
    m.DoWork(0.016f);
    ASSERT_TRUE(m.GetChannel(uInstance)->IsPaused());
    for (bool bAll : {true, false}) {
      run.pRecord->m_aCalls.clear();
      if (bAll)
        m.ResumeAll();
      else
        m.ResumeCategory(kSOUNDCAT_FX);
      ASSERT_EQ(2u, run.pRecord->m_aCalls.size()) << bAll;
      EXPECT_EQ("RestartAllAudio", run.pRecord->m_aCalls[0].name);
      EXPECT_EQ("PauseAudioPlayer", run.pRecord->m_aCalls[1].name);
      EXPECT_TRUE(m.GetChannel(uInstance)->IsPaused());
    }
    // A channel that went away takes its record with it.
    m.StopSoundsOnSource(uSource);
    EXPECT_EQ(0, ELoopingSound::s_aLoopingSounds.GetNumUsed());
  });
}

}  // namespace
