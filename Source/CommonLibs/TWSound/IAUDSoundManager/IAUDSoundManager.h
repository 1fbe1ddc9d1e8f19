// The game's sound manager on the interactive-audio runtime and OpenAL:
// wave banks (sample banks, ".isb") and sound banks (content banks, ".icb"),
// named cues, channels (one runtime player per channel slot), sound sources
// that follow their owners, category volumes with fades and ducking,
// pausing, and looping sounds that pause while far away or asleep.
// Everything runs on the main thread.
#pragma once

#include <cstdint>

#include "TWSound/SoundManager.h"
#include "TWUtil/Array.h"
#include "TWUtil/DataArray.h"

class IAUDInterface;
class IAUDRenderInterface;

// ---- Pool records

struct EWaveBank : public EDataElement {
  EWaveBank() : m_szName(nullptr), m_iSlot(-1), m_bStreamed(false), m_bPermanent(false) {}
  ~EWaveBank();
  char* m_szName;  // lower case, '/' separators
  int32_t m_iSlot;
  bool m_bStreamed;
  bool m_bPermanent;
};

struct ESoundBank : public EDataElement {
  ESoundBank() : m_hContentBank(nullptr), m_szName(nullptr), m_bPermanent(false), m_bMusic(false) {}
  // Unloads the content bank from the runtime.
  ~ESoundBank();
  // The content of that name within this bank, or null.
  void* ConvertNameToIAUDContentHandle(const char* szName) const;
  void* m_hContentBank;
  char* m_szName;  // lower case, '/' separators
  bool m_bPermanent;
  bool m_bMusic;  // every cue of the bank is music
};

struct ESoundCue : public EDataElement {
  ESoundCue()
      : m_uBank(0), m_iRefCount(0), m_uLength(0), m_bLooping(false), m_iCategory(-1), m_hContent(nullptr),
        m_szRPCName(nullptr), m_szName(nullptr) {}
  ~ESoundCue();
  uint32_t m_uBank;
  int32_t m_iRefCount;  // channels prepared with the cue and not yet stopped
  uint32_t m_uLength;
  bool m_bLooping;
  int32_t m_iCategory;  // SOUNDCATEGORY, -1 unknown
  void* m_hContent;
  char* m_szRPCName;  // the cue's parameter controller, or null
  char* m_szName;
};

struct ESoundSource : public EDataElement {
  enum { kFLAG_2D = 0x4, kFLAG_PosChanged = 0x8 };
  ESoundSource()
      : m_uFlags(0), m_vPosition(0.0f, 0.0f, 0.0f), m_fDistanceSq(0.0f), m_pOwner(nullptr), m_nChannelsOnSource(0),
        m_bSleeping(false), m_bPaused(false) {}
  // Unless forced, a move of 0.1 (squared) or less changes nothing.
  void SetPosition(const EVec3& vPosition, const EVec3& vListener, bool bForce);
  void SetEcho(bool bEcho) { (void)bEcho; }
  EEntity* SetOwner(EEntity* pOwner) {
    EEntity* pOld = m_pOwner;
    m_pOwner = pOwner;
    return pOld;
  }
  int32_t CueStopped();
  // Clears the moved flag; the channel count.
  int32_t Update() {
    m_uFlags &= ~(uint32_t)kFLAG_PosChanged;
    return m_nChannelsOnSource;
  }
  void Set2d() { m_uFlags |= kFLAG_2D; }
  void Set3d() { m_uFlags &= ~(uint32_t)kFLAG_2D; }
  bool Is2d() const { return (m_uFlags & kFLAG_2D) != 0; }
  bool Is3d() const { return !Is2d(); }
  bool PosChanged() const { return (m_uFlags & kFLAG_PosChanged) != 0; }
  EEntity* GetOwner() const { return m_pOwner; }

  uint32_t m_uFlags;
  EVec3 m_vPosition;
  float m_fDistanceSq;
  EEntity* m_pOwner;
  int32_t m_nChannelsOnSource;
  bool m_bSleeping;
  bool m_bPaused;
};

// One playing instance of a cue on a source; its id is the instance id.
// The runtime player belongs to the pool slot, not to the record.
struct EChannel : public EDataElement {
  enum { kFLAG_Active = 0x2, kFLAG_2D = 0x4, kFLAG_StartPending = 0x8, kFLAG_Paused = 0x10 };
  EChannel()
      : m_uFlags(0), m_dwStartFrame(0), m_pIAUDAudioPlayer(nullptr), m_pSoundCue(nullptr), m_pSoundSource(nullptr),
        m_pOwner(nullptr) {}
  // Stops at once when still active.
  ~EChannel();

  void Startup();
  void Shutdown();
  bool Prepare(ESoundCue* pCue);
  void SetSoundSource(ESoundSource* pSource);
  void Stop(bool bImmediate);
  // False: the channel has finished and may be deleted.
  bool Update(const EVec3& vListener);
  void CueStopped();
  void FlushPosition();
  void Set2d();
  void Set3d();
  void Pause();
  void Resume();
  bool IsActive() const { return (m_uFlags & kFLAG_Active) != 0; }
  bool Is2d() const { return (m_uFlags & kFLAG_2D) != 0; }
  bool Is3d() const { return !Is2d(); }
  bool IsPaused() const { return (m_uFlags & kFLAG_Paused) != 0; }
  ESoundCue* GetCue() const { return m_pSoundCue; }
  ESoundSource* GetSource() const { return m_pSoundSource; }
  EEntity* GetOwner() const { return m_pOwner; }
  void SetOwner(EEntity* pOwner) { m_pOwner = pOwner; }

  uint32_t m_uFlags;
  uint32_t m_dwStartFrame;
  void* m_pIAUDAudioPlayer;
  ESoundCue* m_pSoundCue;
  ESoundSource* m_pSoundSource;
  EEntity* m_pOwner;
};

// A looping 3D sound that pauses while its source is far or asleep.
struct ELoopingSound : public EDataElement {
  ELoopingSound() : m_fPauseDistanceSq(9000000.0f), m_pSource(nullptr), m_uChannel(0), m_pCue(nullptr) {}
  void Pause();
  void Resume();
  void Update();
  static void UpdateLoops();
  static void SoundStopped(uint32_t uChannel);
  static void PurgeList();
  static void ForceRepause();

  float m_fPauseDistanceSq;
  ESoundSource* m_pSource;
  uint32_t m_uChannel;
  ESoundCue* m_pCue;

  static EDataArray<ELoopingSound> s_aLoopingSounds;
};

// A row of the sample-bank table: the file name and its runtime slot.
struct SSampleBankName {
  const char* szFileName;
  uint32_t uSlot;
};
enum { kNUM_SAMPLE_BANK_NAMES = 102 };
extern const SSampleBankName QUILLOMAR_SAMPLE_BANK_NAMES[kNUM_SAMPLE_BANK_NAMES];

class EIAUDSoundManager : public ESoundManager {
public:
  EIAUDSoundManager(bool bEnable, bool bHardwareAccel);
  ~EIAUDSoundManager() override;

  uint32_t RegisterStreamedWaveBank(const char* szFile, uint32_t uPacketSize, bool bPermanent) override;
  uint32_t RegisterMemoryWaveBank(const char* szFile, bool bPermanent) override;
  void UnregisterWaveBank(uint32_t uWaveBank) override;
  bool BankBelongsToLevel(const char* szBank, const char* szLevel, const char* szVariant) override;
  uint32_t LoadSoundBank(const char* szFile, bool bPermanent) override;
  void DeleteSoundBank(uint32_t uSoundBank) override;
  void PurgeBanks(const char* szLevel, const char* szVariant, bool bPurgeAll) override;

  uint32_t GetSoundCue(const char* szName) override;
  void DeleteSoundCue(uint32_t uCue) override;
  int PlaySoundCue(uint32_t uiCue, uint32_t uiSource, bool bIgnoreDistance) override;
  void StopSoundCue(uint32_t uCue, uint32_t uSource, uint32_t uInstance) override;
  bool SoundCueIsPlaying(uint32_t uiCue) override;
  void StopSoundsOnSource(uint32_t uiSource) override;
  int32_t SoundCueNumRefs(uint32_t uCue) override;
  uint32_t SoundCueLength(uint32_t uCue) override;
  bool IsSoundCueInCategory(uint32_t uCue, SOUNDCATEGORY eCategory) override;

  void DoWork(float fSeconds) override;

  void StopAll() override;
  void StopCategory(SOUNDCATEGORY eCategory) override;
  void MuteCategory(SOUNDCATEGORY eCategory, float fFadeSeconds) override;
  void UnmuteCategory(SOUNDCATEGORY eCategory) override;
  void PauseAll() override;
  void PauseCategory(SOUNDCATEGORY eCategory) override;
  void ResumeAll() override;
  void ResumeCategory(SOUNDCATEGORY eCategory) override;
  void PauseNonMenu() override;
  void ResumeNonMenu() override;
  void PauseNonBubble() override;
  void ResumeNonBubble() override;

  void SetDesiredCategoryVolume(SOUNDCATEGORY eCategory, float fVolume, float fFadeSeconds) override;
  void SetCategoryVolume(SOUNDCATEGORY eCategory, float fVolume) override;
  void SetMusicVolume(float fVolume, int iFade) override;
  void SetFXVolume(float fVolume, int iFade) override;
  void SetVoiceVolume(float fVolume, int iFade) override;
  void SetMasterVolume(float fVolume, int iFade) override;
  void SetDucking(bool bDucking) override;

  void SetTriggerVariable(uint32_t uVariable, float fValue, bool bFlag) override;
  void SetParameterControl(const char* szParameter, float fValue, uint32_t uInstance, uint32_t uCue) override;

  uint32_t RequestSoundSource(EEntity* pOwner, const EVec3& vPosition, EEntity** ppDisplaced) override;
  void FreeSoundSource(uint32_t uiSource, EEntity* pOwner) override;
  bool ProcessSoundSource(uint32_t uiSource, const EVec3& vPosition) override;
  void SetDistanceFactor(float fFactor) override;
  bool IsSourcePlayingCategory(uint32_t uSource, SOUNDCATEGORY eCategory) override;
  bool IsEntityPlayingCategory(EEntity* pOwner, SOUNDCATEGORY eCategory) override;
  void AssociateEntityWithInstance(EEntity* pOwner, uint32_t uInstance) override;
  void SetSoundSourceSleeping(EEntity* pOwner, bool bSleeping) override;

  void SetListenerPosition(const EVec3& vPosition) override;
  void SetListenerOrientation(const EVec3& vForward, const EVec3& vUp) override;

  void DebugDumpSounds(bool bUnused) override;

  // ---- Life cycle and OpenAL
  // False when no runtime could be reached; what was opened is closed again.
  bool OpenIAUD(bool bHardwareAccel);
  void CloseIAUD();
  void* CreateOpenALDevice(bool bHardwareAccel);
  bool InitOpenAL();
  uint32_t GetNumOpenALDeviceStrings() const { return (uint32_t)m_aDeviceStrings.Num(); }
  const char* GetOpenALDeviceString(uint32_t uIndex) const {
    return uIndex < (uint32_t)m_aDeviceStrings.Num() ? m_aDeviceStrings[(int)uIndex] : nullptr;
  }

  // ---- Sample banks and groups
  const SSampleBankName* iaudFindSampleBank(const char* szName);
  int32_t iaudLoadSampleBank(const char* szName, bool bStreamed, int32_t iPacketSize, bool bPreload);
  void iaudUnloadSampleBank(int32_t iSlot);
  void iaudCacheGroupHandles();
  void* iaudGetGroupHandle(SOUNDCATEGORY eCategory);
  bool iaudGetCategoryFromGroupHandle(void* hGroup, uint32_t& uCategory);
  static float iaudVolume(float fVolume) { return fVolume; }
  ESoundBank* GetSoundBank(uint32_t uId);

  // ---- Channels and sources
  bool iaudVoiceCheck(ESoundCue* pSoundCue);
  void stopAllBySource(uint32_t uSource, bool bImmediate);
  void stopAllBySource(ESoundSource* pSource, bool bImmediate);
  void stopAllByCue(uint32_t uCue, bool bImmediate);
  ESoundSource* getFurthestSoundSource();
  // The live channel with that id, or null.
  EChannel* GetChannel(uint32_t uId) const;

  // ---- Settings kept for the options menu
  bool GetEAXSupported() const { return m_bEAXSupported; }
  void SetEAXEnabled(bool b) { m_bEAXEnabled = b; }
  bool GetEAXEnabled() const { return m_bEAXEnabled; }
  bool GetHardwareAccelEnabled() const { return m_bHardwareAccelEnabled; }
  void SetHardwareAccelEnabled(bool b) { m_bHardwareAccelEnabled = b; }
  void SetPreloadVoiceEnabled(bool b) { m_bPreloadVoiceEnabled = b; }
  bool GetPreloadVoiceEnabled() const { return m_bPreloadVoiceEnabled; }
  float GetMasterVolume() const { return m_fMasterVolume; }
  float GetFXVolume() const { return m_fFXVolume; }
  float GetMusicVolume() const { return m_fMusicVolume; }
  float GetVoiceVolume() const { return m_fVoiceVolume; }
  float GetInteractiveMusicLevel() const { return m_fInteractiveMusicLevel; }

  enum { kMAX_CHANNELS = 64, kNUM_SAMPLE_BANK_SLOTS = 256 };

  EDataArray<EChannel>* m_pChannelArray;
  const SSampleBankName* m_apSampleBankSlots[kNUM_SAMPLE_BANK_SLOTS];
  uint32_t m_dwDefault2DSource;
  uint32_t m_dwSecond2DSource;
  bool m_bEAXSupported;
  bool m_bEAXEnabled;
  bool m_bHardwareAccelEnabled;
  bool m_bPreloadVoiceEnabled;
  float m_fMasterVolume;
  float m_fInteractiveMusicLevel;
  EArray<char*> m_aDeviceStrings;
  void* m_pALCDevice;
  void* m_pALCContext;
  // The runtime player of each channel slot, made when the pool is made.
  void* m_apChannelPlayers[kMAX_CHANNELS];

private:
  // The registered wave bank of that normalised name, or 0.
  uint32_t FindWaveBank(const char* szName) const;
  // Files a sample bank loaded into iSlot as a wave bank; 0 (and the slot
  // unloaded) when the table is full.
  uint32_t AddWaveBank(const char* szName, int32_t iSlot, bool bStreamed, bool bPermanent);
  EChannel* NewChannel();
  void DeleteChannelNow(EChannel& channel);
  void DeleteCuesOfBank(uint32_t uBank);
  void StopChannelsOfCue(const ESoundCue* pCue);
};

// The one manager, the runtime's interface and render interface, the group
// of each category, the sound frame and the last kept runtime result.
extern EIAUDSoundManager* sg_pIAUDSoundManager;
extern IAUDInterface* sg_pIAUD;
extern IAUDRenderInterface* sg_pIAUDRender;
extern void* sg_aGroupHandles[kNUM_SOUNDCATEGORIES];
extern uint32_t sg_soundFrame;
extern int32_t iaudReturn;
extern const int sg_nSoundSources;
// The runtime group name of each category.
extern const char* const sg_aszCategoryGroupNames[kNUM_SOUNDCATEGORIES];
