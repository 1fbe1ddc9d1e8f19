// The interface's own state: the per-category tables and the getters that
// need no runtime.
#include "TWSound/SoundManager.h"

const float ESoundManager::m_fCatVolumeCorrection[kNUM_SOUNDCATEGORIES] = {-6.0f, -4.0f, -4.0f, -4.0f, 0.0f, -4.0f,
                                                                           -5.0f, -4.0f, -4.0f, -4.0f, -4.0f, 0.0f};
const float ESoundManager::m_fCatDuckAdjustment[kNUM_SOUNDCATEGORIES] = {-4.0f, 0.0f,  0.0f,  -4.0f, 0.0f,  -4.0f,
                                                                         -4.0f, -4.0f, -4.0f, -4.0f, -4.0f, 0.0f};
float ESoundManager::m_fNominalLevel[kNUM_SOUNDCATEGORIES];
float ESoundManager::m_fDesiredLevel[kNUM_SOUNDCATEGORIES];
float ESoundManager::m_fCurrentLevel[kNUM_SOUNDCATEGORIES];
float ESoundManager::m_fTimeLeft[kNUM_SOUNDCATEGORIES];
int32_t ESoundManager::m_iRealXACTLevel[kNUM_SOUNDCATEGORIES];

// Each manager starts from full levels with no fade running.
ESoundManager::ESoundManager()
    : m_bActive(false), m_bDolbyDigital(false), m_pWaveBankArray(nullptr), m_pSoundBankArray(nullptr),
      m_pSoundCueArray(nullptr), m_pSoundSourceArray(nullptr), m_fFXVolume(1.0f), m_fVoiceVolume(1.0f),
      m_fMusicVolume(1.0f), m_bDucking(false), m_vListenerPos(cg_vZero3), m_vListenerForward(cg_vDefaultForwardVector),
      m_vListenerUp(cg_vDefaultUpVector) {
  for (int i = 0; i < kNUM_SOUNDCATEGORIES; ++i) {
    m_fNominalLevel[i] = m_fDesiredLevel[i] = m_fCurrentLevel[i] = 1.0f;
    m_fTimeLeft[i] = 0.0f;
    m_iRealXACTLevel[i] = 0;
  }
}

ESoundManager::~ESoundManager() {}

float ESoundManager::GetDesiredCategoryVolume(SOUNDCATEGORY eCategory) { return m_fDesiredLevel[eCategory]; }

float ESoundManager::GetActualCategoryVolume(SOUNDCATEGORY eCategory) { return m_fCurrentLevel[eCategory]; }

float ESoundManager::GetCategoryAdjustment(SOUNDCATEGORY eCategory) {
  return m_fCatVolumeCorrection[eCategory] + (m_bDucking ? m_fCatDuckAdjustment[eCategory] : 0.0f);
}

int32_t ESoundManager::GetRealXACTVolume(SOUNDCATEGORY eCategory) { return m_iRealXACTLevel[eCategory]; }
