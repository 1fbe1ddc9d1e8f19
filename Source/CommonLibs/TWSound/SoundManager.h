// The sound-manager interface that the whole game calls. EIAUDSoundManager
// (TWSound/IAUDSoundManager) is the one implementation; the bodies here are
// those of a manager without sound: nothing plays, every query answers empty.
// Cues, playing instances, sound sources and banks are 32-bit data ids; 0
// names nothing.
#pragma once

#include <cstdint>

#include "TWMath/Vector.h"

class EEntity;
template <class T>
class EDataArray;
struct EWaveBank;
struct ESoundBank;
struct ESoundCue;
struct ESoundSource;

// The categories; each is the runtime group of the same name.
enum SOUNDCATEGORY {
  kSOUNDCAT_MUSIC = 0,
  kSOUNDCAT_EMOBAG = 1,
  kSOUNDCAT_MENU = 2,
  kSOUNDCAT_OATMEAL = 3,
  kSOUNDCAT_VOICE = 4,
  kSOUNDCAT_FX = 5,
  kSOUNDCAT_AMBFX = 6,
  kSOUNDCAT_FOOTSTEPS = 7,
  kSOUNDCAT_GIOFX = 8,
  kSOUNDCAT_CUTSCENE = 9,
  kSOUNDCAT_BUBBLE = 10,
  kSOUNDCAT_ALL = 11,
};
enum { kNUM_SOUNDCATEGORIES = 12 };

// Taken by SetSoundMuted, which ignores it.
enum SOUNDMUTED { kSOUNDMUTED_Off = 0, kSOUNDMUTED_On = 1 };

class ESoundManager {
public:
  ESoundManager();
  virtual ~ESoundManager();

  // ---- Banks
  virtual uint32_t RegisterStreamedWaveBank(const char* szFile, uint32_t uPacketSize, bool bPermanent) {
    (void)szFile, (void)uPacketSize, (void)bPermanent;
    return 0;
  }
  virtual uint32_t RegisterMemoryWaveBank(const char* szFile, bool bPermanent) {
    (void)szFile, (void)bPermanent;
    return 0;
  }
  virtual void UnregisterWaveBank(uint32_t uWaveBank) { (void)uWaveBank; }
  virtual bool BankBelongsToLevel(const char* szBank, const char* szLevel, const char* szVariant) {
    (void)szBank, (void)szLevel, (void)szVariant;
    return false;
  }
  virtual uint32_t LoadSoundBank(const char* szFile, bool bPermanent) {
    (void)szFile, (void)bPermanent;
    return 0;
  }
  virtual void DeleteSoundBank(uint32_t uSoundBank) { (void)uSoundBank; }
  virtual void PurgeBanks(const char* szLevel, const char* szVariant, bool bPurgeAll) {
    (void)szLevel, (void)szVariant, (void)bPurgeAll;
  }

  // ---- Cues
  virtual uint32_t GetSoundCue(const char* szName) { (void)szName; return 0; }
  virtual void DeleteSoundCue(uint32_t uCue) { (void)uCue; }
  virtual const char* GetCueName(uint32_t uCue) { (void)uCue; return "Unknown"; }
  // Plays a cue on a source (0: the manager's own 2D source); the instance
  // id, or 0 when nothing plays.
  virtual int PlaySoundCue(uint32_t uiCue, uint32_t uiSource, bool bIgnoreDistance) {
    (void)uiCue, (void)uiSource, (void)bIgnoreDistance;
    return 0;
  }
  virtual void StopSoundCue(uint32_t uCue, uint32_t uSource, uint32_t uInstance) {
    (void)uCue, (void)uSource, (void)uInstance;
  }
  virtual bool SoundCueIsPlaying(uint32_t uiCue) { (void)uiCue; return false; }
  virtual void StopSoundsOnSource(uint32_t uiSource) { (void)uiSource; }
  virtual int32_t SoundCueNumRefs(uint32_t uCue) { (void)uCue; return -1; }
  virtual uint32_t SoundCueLength(uint32_t uCue) { (void)uCue; return 0; }
  virtual bool IsSoundCueInCategory(uint32_t uCue, SOUNDCATEGORY eCategory) {
    (void)uCue, (void)eCategory;
    return false;
  }

  // ---- State and frames
  virtual bool IsActive() { return m_bActive; }
  // Services fades, channels, loops and streams for a step of that many
  // seconds; blocking loops (movies) call it between their own frames.
  virtual void DoWork(float fSeconds) { (void)fSeconds; }
  virtual int ProcessNotifications() { return 0; }
  virtual bool IsDolbyDigital() { return m_bDolbyDigital; }

  // ---- Stopping, muting, pausing
  // Stops every sound at once.
  virtual void StopAll() {}
  virtual void StopCategory(SOUNDCATEGORY eCategory) { (void)eCategory; }
  virtual void SetSoundMuted(SOUNDMUTED eMuted) { (void)eMuted; }
  virtual void MuteCategory(SOUNDCATEGORY eCategory, float fFadeSeconds) { (void)eCategory, (void)fFadeSeconds; }
  virtual void MuteNonCutscene() {}
  virtual void UnmuteCategory(SOUNDCATEGORY eCategory) { (void)eCategory; }
  virtual void UnmuteNonCutscene() {}
  virtual void PauseAll() {}
  virtual void PauseCategory(SOUNDCATEGORY eCategory) { (void)eCategory; }
  virtual void ResumeAll() {}
  virtual void ResumeCategory(SOUNDCATEGORY eCategory) { (void)eCategory; }
  virtual void PauseNonMenu() {}
  virtual void ResumeNonMenu() {}
  virtual void PauseNonBubble() {}
  virtual void ResumeNonBubble() {}

  // ---- Volumes: linear 0..1, fades in seconds
  virtual void SetDesiredCategoryVolume(SOUNDCATEGORY eCategory, float fVolume, float fFadeSeconds) {
    (void)eCategory, (void)fVolume, (void)fFadeSeconds;
  }
  virtual void SetCategoryVolume(SOUNDCATEGORY eCategory, float fVolume) { (void)eCategory, (void)fVolume; }
  // The second argument is the fade time; every caller passes 0.
  virtual void SetMusicVolume(float fVolume, int iFade) { (void)fVolume, (void)iFade; }
  virtual void SetFXVolume(float fVolume, int iFade) { (void)fVolume, (void)iFade; }
  virtual void SetVoiceVolume(float fVolume, int iFade) { (void)fVolume, (void)iFade; }
  virtual void SetMasterVolume(float fVolume, int iFade) { (void)fVolume, (void)iFade; }
  virtual void SetDucking(bool bDucking) { (void)bDucking; }
  virtual float GetDesiredCategoryVolume(SOUNDCATEGORY eCategory);
  virtual float GetActualCategoryVolume(SOUNDCATEGORY eCategory);
  // Decibels: the category's correction, plus its ducking offset while ducking.
  virtual float GetCategoryAdjustment(SOUNDCATEGORY eCategory);
  virtual int32_t GetRealXACTVolume(SOUNDCATEGORY eCategory);

  // ---- Runtime parameters
  virtual void SetTriggerVariable(uint32_t uVariable, float fValue, bool bFlag) {
    (void)uVariable, (void)fValue, (void)bFlag;
  }
  virtual float GetTriggerVariable(uint32_t uVariable) { (void)uVariable; return 0.0f; }
  virtual void SetParameterControl(const char* szParameter, float fValue, uint32_t uInstance, uint32_t uCue) {
    (void)szParameter, (void)fValue, (void)uInstance, (void)uCue;
  }

  // ---- Sound sources
  // A source for the owner at the position, or 0. When the source was taken
  // from another entity, *ppDisplaced names that entity.
  virtual uint32_t RequestSoundSource(EEntity* pOwner, const EVec3& vPosition, EEntity** ppDisplaced) {
    (void)pOwner, (void)vPosition, (void)ppDisplaced;
    return 0;
  }
  // Gives a source back to the manager.
  virtual void FreeSoundSource(uint32_t uiSource, EEntity* pOwner) { (void)uiSource, (void)pOwner; }
  // Moves the source to the position; false when the manager took the
  // source back.
  virtual bool ProcessSoundSource(uint32_t uiSource, const EVec3& vPosition) {
    (void)uiSource, (void)vPosition;
    return false;
  }
  virtual void SetDistanceFactor(float fFactor) { (void)fFactor; }
  virtual void SetRolloffFactor(float fFactor) { (void)fFactor; }
  virtual void SetSoundSourceEcho(uint32_t uiSource, bool bEcho) { (void)uiSource, (void)bEcho; }
  virtual bool IsSourcePlayingCategory(uint32_t uSource, SOUNDCATEGORY eCategory) {
    (void)uSource, (void)eCategory;
    return false;
  }
  virtual bool IsEntityPlayingCategory(EEntity* pOwner, SOUNDCATEGORY eCategory) {
    (void)pOwner, (void)eCategory;
    return false;
  }
  virtual void AssociateEntityWithInstance(EEntity* pOwner, uint32_t uInstance) { (void)pOwner, (void)uInstance; }
  // The sounds of the owner's sources pause or resume with its domain.
  virtual void SetSoundSourceSleeping(EEntity* pOwner, bool bSleeping) { (void)pOwner, (void)bSleeping; }

  // ---- Listener
  virtual void SetListenerPosition(const EVec3& vPosition) { (void)vPosition; }
  virtual void SetListenerOrientation(const EVec3& vForward, const EVec3& vUp) { (void)vForward, (void)vUp; }
  virtual void CommitListenerSettings() {}

  // ---- Diagnostics and the rest
  virtual void DebugDumpSounds(bool bUnused) { (void)bUnused; }
  virtual void DumpConcurrency() {}
  virtual void ClearConcurrency() {}
  virtual void Set2DAttenuation(int iValue) { (void)iValue; }
  virtual uint32_t GetMemUsage() { return 0; }
  virtual bool loadEffectsImage(const char* szFile) { (void)szFile; return true; }

  bool m_bActive;
  bool m_bDolbyDigital;
  EDataArray<EWaveBank>* m_pWaveBankArray;
  EDataArray<ESoundBank>* m_pSoundBankArray;
  EDataArray<ESoundCue>* m_pSoundCueArray;
  EDataArray<ESoundSource>* m_pSoundSourceArray;
  float m_fFXVolume;
  float m_fVoiceVolume;
  float m_fMusicVolume;
  bool m_bDucking;
  EVec3 m_vListenerPos;
  EVec3 m_vListenerForward;
  EVec3 m_vListenerUp;

  // Per category: decibel corrections, ducking offsets, and the fade state
  // (nominal, desired and current levels, seconds of fade left).
  static const float m_fCatVolumeCorrection[kNUM_SOUNDCATEGORIES];
  static const float m_fCatDuckAdjustment[kNUM_SOUNDCATEGORIES];
  static float m_fNominalLevel[kNUM_SOUNDCATEGORIES];
  static float m_fDesiredLevel[kNUM_SOUNDCATEGORIES];
  static float m_fCurrentLevel[kNUM_SOUNDCATEGORIES];
  static float m_fTimeLeft[kNUM_SOUNDCATEGORIES];
  static int32_t m_iRealXACTLevel[kNUM_SOUNDCATEGORIES];
};
