// Categories: volumes with their corrections, ducking and fades; muting,
// pausing, resuming and stopping; looping 3D sounds that pause while far
// from the listener or while their source sleeps.
#include <cmath>

#include "NonTW/IAUDEng/IAUDInterface.h"
#include "TWMath/MathGeneral.h"
#include "TWSound/IAUDSoundManager/IAUDSoundManager.h"

namespace SoundCategoryDetail {

const float kSILENCE = 0.00001f;
const float kUNMUTE_FADE = 0.15f;

// Everything but Menu and GIOFX.
const SOUNDCATEGORY s_aNonMenu[] = {kSOUNDCAT_MUSIC, kSOUNDCAT_OATMEAL,  kSOUNDCAT_VOICE,
                                    kSOUNDCAT_FX,    kSOUNDCAT_AMBFX,    kSOUNDCAT_FOOTSTEPS,
                                    kSOUNDCAT_CUTSCENE, kSOUNDCAT_BUBBLE, kSOUNDCAT_EMOBAG};
// Everything but EmoBag, Menu, GIOFX and Bubble.
const SOUNDCATEGORY s_aNonBubble[] = {kSOUNDCAT_MUSIC, kSOUNDCAT_OATMEAL,   kSOUNDCAT_VOICE,   kSOUNDCAT_FX,
                                      kSOUNDCAT_AMBFX, kSOUNDCAT_FOOTSTEPS, kSOUNDCAT_CUTSCENE};
// The categories that follow the FX volume, in the order they are set.
const SOUNDCATEGORY s_aFXCategories[] = {kSOUNDCAT_MENU,      kSOUNDCAT_OATMEAL, kSOUNDCAT_FX,     kSOUNDCAT_AMBFX,
                                         kSOUNDCAT_FOOTSTEPS, kSOUNDCAT_GIOFX,   kSOUNDCAT_BUBBLE, kSOUNDCAT_EMOBAG};

}  // namespace SoundCategoryDetail

using namespace SoundCategoryDetail;

EDataArray<ELoopingSound> ELoopingSound::s_aLoopingSounds("looping sounds", 32, kDATAARRAY_GROWABLE, kMEMTYPE_Misc);

// ---- Volumes -----------------------------------------------------------------------------------

void EIAUDSoundManager::SetDesiredCategoryVolume(SOUNDCATEGORY eCategory, float fVolume, float fFadeSeconds) {
  if (!m_bActive) return;
  if (fVolume > kSILENCE) {
    const float fOffset = m_fCatVolumeCorrection[eCategory] + (m_bDucking ? m_fCatDuckAdjustment[eCategory] : 0.0f);
    fVolume = powf(10.0f, (20.0f * log10f(fVolume) + fOffset) * 0.05f);
  }
  m_fDesiredLevel[eCategory] = fVolume;
  m_fTimeLeft[eCategory] = fFadeSeconds;
  if (fFadeSeconds <= 0.0f) SetCategoryVolume(eCategory, fVolume);
}

void EIAUDSoundManager::SetCategoryVolume(SOUNDCATEGORY eCategory, float fVolume) {
  if (!m_bActive) return;
  if (fVolume > 1.0f) fVolume = 1.0f;
  if (void* hGroup = iaudGetGroupHandle(eCategory)) sg_pIAUD->SetGroupGain(hGroup, iaudVolume(fVolume));
}

void EIAUDSoundManager::SetMusicVolume(float fVolume, int iFade) {
  if (!m_bActive) return;
  m_fMusicVolume = fVolume;
  m_fNominalLevel[kSOUNDCAT_MUSIC] = m_fNominalLevel[kSOUNDCAT_CUTSCENE] = fVolume;
  SetDesiredCategoryVolume(kSOUNDCAT_MUSIC, fVolume, (float)iFade);
  SetDesiredCategoryVolume(kSOUNDCAT_CUTSCENE, fVolume, (float)iFade);
}

void EIAUDSoundManager::SetFXVolume(float fVolume, int iFade) {
  if (!m_bActive) return;
  m_fFXVolume = fVolume;
  for (SOUNDCATEGORY e : s_aFXCategories) m_fNominalLevel[e] = fVolume;
  for (SOUNDCATEGORY e : s_aFXCategories) SetDesiredCategoryVolume(e, fVolume, (float)iFade);
}

void EIAUDSoundManager::SetVoiceVolume(float fVolume, int iFade) {
  if (!m_bActive) return;
  m_fVoiceVolume = fVolume;
  m_fNominalLevel[kSOUNDCAT_VOICE] = fVolume;
  SetDesiredCategoryVolume(kSOUNDCAT_VOICE, fVolume, (float)iFade);
}

void EIAUDSoundManager::SetMasterVolume(float fVolume, int iFade) {
  (void)iFade;
  if (!m_bActive) return;
  m_fMasterVolume = fVolume;
  sg_pIAUD->SetListenerGain(PIN(fVolume, 0.0f, 1.0f));
}

void EIAUDSoundManager::SetDucking(bool bDucking) {
  if (!m_bActive || m_bDucking == bDucking) return;
  m_bDucking = bDucking;
  SetDesiredCategoryVolume(kSOUNDCAT_MUSIC, m_fMusicVolume, kUNMUTE_FADE);
  static const SOUNDCATEGORY s_aDuckedFX[] = {kSOUNDCAT_EMOBAG, kSOUNDCAT_MENU,  kSOUNDCAT_OATMEAL,
                                              kSOUNDCAT_FX,     kSOUNDCAT_AMBFX, kSOUNDCAT_FOOTSTEPS};
  for (SOUNDCATEGORY e : s_aDuckedFX) SetDesiredCategoryVolume(e, m_fFXVolume, kUNMUTE_FADE);
  SetDesiredCategoryVolume(kSOUNDCAT_VOICE, m_fVoiceVolume, kUNMUTE_FADE);
}

void EIAUDSoundManager::MuteCategory(SOUNDCATEGORY eCategory, float fFadeSeconds) {
  if (!m_bActive) return;
  if (eCategory != kSOUNDCAT_ALL) {
    SetDesiredCategoryVolume(eCategory, 0.0f, fFadeSeconds);
    return;
  }
  for (int i = 0; i < kSOUNDCAT_ALL; ++i) SetDesiredCategoryVolume((SOUNDCATEGORY)i, 0.0f, fFadeSeconds);
}

void EIAUDSoundManager::UnmuteCategory(SOUNDCATEGORY eCategory) {
  if (!m_bActive) return;
  if (eCategory != kSOUNDCAT_ALL) {
    SetDesiredCategoryVolume(eCategory, m_fNominalLevel[eCategory], kUNMUTE_FADE);
    return;
  }
  for (int i = 0; i < kSOUNDCAT_ALL; ++i)
    SetDesiredCategoryVolume((SOUNDCATEGORY)i, m_fNominalLevel[i], kUNMUTE_FADE);
}

// ---- Pausing and stopping ----------------------------------------------------------------------

void EIAUDSoundManager::PauseAll() {
  if (!m_bActive) return;
  sg_pIAUD->PauseAllAudio(nullptr);
  g_ErrorManager.TraceMessagef(TT_Sound, "%d: sg_pIAUD->PauseAllAudio(NULL)", (int)sg_soundFrame);
}

void EIAUDSoundManager::PauseCategory(SOUNDCATEGORY eCategory) {
  if (!m_bActive) return;
  void* hGroup = iaudGetGroupHandle(eCategory);
  if (!hGroup) return;
  sg_pIAUD->PauseAllAudio(hGroup);
  g_ErrorManager.TraceMessagef(TT_Sound, "%d: sg_pIAUD->PauseAllAudio('%s')", (int)sg_soundFrame,
                               sg_aszCategoryGroupNames[eCategory]);
}

void EIAUDSoundManager::ResumeAll() {
  if (!m_bActive) return;
  sg_pIAUD->RestartAllAudio(nullptr);
  ELoopingSound::ForceRepause();
  g_ErrorManager.TraceMessagef(TT_Sound, "%d: sg_pIAUD->RestartAllAudio(NULL)", (int)sg_soundFrame);
}

void EIAUDSoundManager::ResumeCategory(SOUNDCATEGORY eCategory) {
  if (!m_bActive) return;
  void* hGroup = iaudGetGroupHandle(eCategory);
  if (!hGroup) return;
  sg_pIAUD->RestartAllAudio(hGroup);
  g_ErrorManager.TraceMessagef(TT_Sound, "%d: sg_pIAUD->RestartAllAudio('%s')", (int)sg_soundFrame,
                               sg_aszCategoryGroupNames[eCategory]);
  ELoopingSound::ForceRepause();
}

void EIAUDSoundManager::PauseNonMenu() {
  for (SOUNDCATEGORY e : s_aNonMenu) PauseCategory(e);
}

void EIAUDSoundManager::ResumeNonMenu() {
  for (SOUNDCATEGORY e : s_aNonMenu) ResumeCategory(e);
}

void EIAUDSoundManager::PauseNonBubble() {
  for (SOUNDCATEGORY e : s_aNonBubble) PauseCategory(e);
}

void EIAUDSoundManager::ResumeNonBubble() {
  for (SOUNDCATEGORY e : s_aNonBubble) ResumeCategory(e);
}

void EIAUDSoundManager::StopAll() {
  if (!m_bActive) return;
  if (m_pChannelArray) {
    for (int i = 0; i < m_pChannelArray->GetAllocCount(); ++i) {
      EChannel& channel = (*m_pChannelArray)[i];
      if (channel.m_id) DeleteChannelNow(channel);
    }
  }
  ELoopingSound::PurgeList();
}

void EIAUDSoundManager::StopCategory(SOUNDCATEGORY eCategory) {
  if (!m_bActive) return;
  if (void* hGroup = iaudGetGroupHandle(eCategory)) sg_pIAUD->StopAllAudio(hGroup);
}

// ---- Looping sounds ----------------------------------------------------------------------------

void ELoopingSound::Pause() {
  EChannel* pChannel = sg_pIAUDSoundManager ? sg_pIAUDSoundManager->GetChannel(m_uChannel) : nullptr;
  if (!pChannel) {
    SoundStopped(m_uChannel);
    return;
  }
  pChannel->Pause();
  if (m_pSource) m_pSource->m_bPaused = true;
}

void ELoopingSound::Resume() {
  EChannel* pChannel = sg_pIAUDSoundManager ? sg_pIAUDSoundManager->GetChannel(m_uChannel) : nullptr;
  if (!pChannel) {
    SoundStopped(m_uChannel);
    return;
  }
  pChannel->Resume();
  if (m_pSource) m_pSource->m_bPaused = false;
}

void ELoopingSound::Update() {
  EChannel* pChannel = sg_pIAUDSoundManager ? sg_pIAUDSoundManager->GetChannel(m_uChannel) : nullptr;
  if (!pChannel || !m_pSource) return;
  const bool bFar = m_pSource->m_fDistanceSq >= m_fPauseDistanceSq;
  if (pChannel->IsPaused()) {
    if (!m_pSource->m_bSleeping && !bFar) Resume();
  } else if (m_pSource->m_bSleeping || bFar) {
    Pause();
  }
}

void ELoopingSound::UpdateLoops() {
  for (int i = 0; i <= s_aLoopingSounds.GetHighestUsed(); ++i) {
    if (s_aLoopingSounds[i].m_id) s_aLoopingSounds[i].Update();
  }
}

void ELoopingSound::SoundStopped(uint32_t uChannel) {
  for (int i = 0; i <= s_aLoopingSounds.GetHighestUsed(); ++i) {
    ELoopingSound& loop = s_aLoopingSounds[i];
    if (loop.m_id && loop.m_uChannel == uChannel) {
      s_aLoopingSounds.ElementDelete(&loop);
      return;
    }
  }
}

void ELoopingSound::PurgeList() { s_aLoopingSounds.DeleteAll(); }

void ELoopingSound::ForceRepause() {
  for (int i = 0; i <= s_aLoopingSounds.GetHighestUsed(); ++i) {
    const ELoopingSound& loop = s_aLoopingSounds[i];
    if (!loop.m_id) continue;
    EChannel* pChannel = sg_pIAUDSoundManager ? sg_pIAUDSoundManager->GetChannel(loop.m_uChannel) : nullptr;
    if (pChannel && pChannel->IsPaused()) pChannel->Pause();
  }
}
