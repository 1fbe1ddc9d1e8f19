// The OpenAL render driver: tracks on OpenAL sources, samples, the listener,
// the scheduler's 10 ms timer thread and the exclusive-mode lock, plus the
// monitoring side (hooks, audition track, mute, solo and record).
#pragma once

#include <atomic>
#include <cstdint>

#include "NonTW/AudioDrv/AudioIAUD.h"
#include "NonTW/AudioDrv/AudioOAL.h"
#include "TWUtil/Array.h"

struct SDL_mutex;

// A monitoring client. The driver calls these from ProcessAudioHooks with
// the changes made since the last call, and from AddAudioHook with the
// state of every track.
class CAudioHook {
public:
  virtual void OnTrackMute(long lTrack, bool bMute) = 0;
  virtual void OnTrackSolo(long lTrack, bool bSolo) = 0;
  virtual void OnTrackRecord(long lTrack, bool bRecord) = 0;
  virtual void OnTrackPlay(long lTrack, void* pSample) = 0;
  virtual void OnTrackStop(long lTrack, void* pSample) = 0;
  virtual void OnTrackLevel(long lTrack, float fLevel) = 0;
  virtual void OnTrackActiveSends(long lTrack, uint32_t ulSends) = 0;
  virtual void OnTrackSendLevel(long lTrack, long lSend, float fLevel) = 0;
  virtual void OnTrackSendHFLevel(long lTrack, long lSend, float fLevel) = 0;
  virtual void OnTrackPosition(long lTrack, const IAUDVector* pPosition) = 0;
  virtual void OnTrackPitch(long lTrack, float fPitch) = 0;
  virtual void OnTrackMode(long lTrack, uint32_t ulMode) = 0;
  virtual void OnTrackDirectLevel(long lTrack, float fLevel) = 0;
  virtual void OnTrackDirectHFLevel(long lTrack, float fLevel) = 0;
  virtual void OnTrackVelocity(long lTrack, const IAUDVector* pVelocity) = 0;
  virtual void OnTrackOrientation(long lTrack, const IAUDVector* pOrientation) = 0;
  virtual void OnSlotMute(long lSlot, bool bMute) = 0;
  virtual void OnSlotSolo(long lSlot, bool bSolo) = 0;
  virtual void OnSlotRecord(long lSlot, bool bRecord) = 0;
  virtual void OnSlotLevel(long lSlot, float fLevel) = 0;
  virtual void OnSlotFlags(long lSlot, uint32_t ulFlags) = 0;
  virtual void OnSlotEffect(long lSlot, uint32_t ul0, uint32_t ul1, uint32_t ul2, uint32_t ul3) = 0;
  virtual void OnSlotEffectParameter(long lSlot, long lParameter, const void* pValue, uint32_t ulSize) = 0;

protected:
  ~CAudioHook() = default;
};

// One pending hook event.
struct SHookRecord {
  uint32_t ulType;
  long lIndex;
  long lParameter;
  union {
    uint32_t ulValue;
    float fValue;
    float afVector[3];
    void* pSample;
    uint32_t aulGuid[4];
    unsigned char abData[16];
  } Value;
  uint32_t ulSize;
};

enum EHookRecordType : uint32_t {
  kHOOK_TRACKPLAY = 0,
  kHOOK_TRACKSTOP = 1,
  kHOOK_TRACKLEVEL = 2,
  kHOOK_TRACKPITCH = 3,
  kHOOK_TRACKMODE = 4,
  kHOOK_TRACKACTIVESENDS = 5,
  kHOOK_TRACKDIRECTLEVEL = 6,
  kHOOK_TRACKDIRECTHFLEVEL = 7,
  kHOOK_TRACKSENDLEVEL = 8,
  kHOOK_TRACKSENDHFLEVEL = 9,
  kHOOK_TRACKPOSITION = 10,
  kHOOK_TRACKVELOCITY = 11,
  kHOOK_TRACKORIENTATION = 12,
  kHOOK_SLOTLEVEL = 14,
  kHOOK_SLOTFLAGS = 15,
  kHOOK_SLOTEFFECT = 16,
  kHOOK_SLOTEFFECTPARAMETER = 17,
};

class CAudioDrv final : public CAudioOAL, public IAUDRenderInterface {
public:
  CAudioDrv(void* pContext, long lNumTracks, long lExtraTracks);
  ~CAudioDrv();

  // IAUDRenderInterface
  long SetSchedulerTimerProc(void (*pProc)()) override;
  void BeginExclusiveMode() override;
  void EndExclusiveMode() override;
  void SendMidiDataStream(unsigned char* pData, unsigned long ulSize) override;
  void LockProcessing() override;
  void UnlockProcessing() override;
  long GetTotalTrackCount() override { return m_lNumSources; }
  long GetTotalSlotCount() override { return m_lNumSlots; }
  void ReleaseInterface() override;
  bool LoadAudioSample(unsigned long ulChannels, unsigned short usBitsPerSample, unsigned long ulSamplesPerSecond,
                       unsigned long ulSize, const void* pData, void** ppSample, bool bTemporary) override;
  bool LoadAudioStreamingSample(unsigned long ulChannels, unsigned short usBitsPerSample,
                                unsigned long ulSamplesPerSecond, unsigned long ulSize, const void* pData,
                                void** ppSample, bool bTemporary) override;
  void FreeAudioSample(void* pSample) override;
  void AttachSample(long lTrack, void* pSample, IAUDSoundDistance* pDistance, IAUDSoundCone* pCone) override;
  long GetTrackProcessedStreamBufferCount(long lTrack) override;
  bool UpdateTrackStreamBuffer(long lTrack, void* pData, unsigned long ulSize) override;
  void PlayTracks(long* plTracks, long lCount, unsigned long ulLoop) override;
  void PauseTracks(long* plTracks, long lCount) override;
  void StopTracks(long* plTracks, long lCount) override;
  void StopAllTracks() override;
  void StopTracksLooping(long* plTracks, long lCount) override;
  void SetTrackLevel(long lTrack, float fLevel) override;
  void SetTrackPosition(long lTrack, IAUDVector& vPosition) override;
  void SetTrackVelocity(long lTrack, IAUDVector& vVelocity) override;
  void SetTrackOrientation(long lTrack, IAUDVector& vOrientation) override;
  void SetTrackMode(long lTrack, unsigned long ulMode) override;
  void SetTrackPitch(long lTrack, float fPitch) override;
  void GetTrackState(long lTrack, IAUDTrackState* pState) override;
  bool GetTrackPlayingState(long lTrack) override;
  IAUDVector GetTrackPosition(long lTrack) override;
  void SetTrackDirectLevel(long lTrack, long lMillibels, unsigned long ulFlags) override;
  void SetTrackDirectHFLevel(long lTrack, long lMillibels, unsigned long ulFlags) override;
  void SetTrackActiveSends(long lTrack, unsigned long ulSlotMask, unsigned long ulFlags) override;
  void SetTrackSendLevel(long lTrack, long lSend, long lMillibels, unsigned long ulFlags) override;
  void SetTrackSendHFLevel(long lTrack, long lSend, long lMillibels, unsigned long ulFlags) override;
  void SetSlotLevel(long lSlot, float fLevel, unsigned long ulFlags) override;
  void SetSlotFlags(long lSlot, unsigned long ulFlags, unsigned long ulDeferFlags) override;
  void SetSlotEffect(long lSlot, _GUID guidEffect) override;
  void SetSlotEffectParameter(long lSlot, long lParameter, void* pData, unsigned long ulSize,
                              unsigned long ulFlags) override;
  void GetSlotLevel(long lSlot, float* pfLevel) override;
  void GetSlotFlags(long lSlot, unsigned long* pulFlags) override;
  void GetSlotEffect(long lSlot, _GUID* pGuid) override;
  void GetSlotEffectParameter(long lSlot, long lParameter, void* pData, unsigned long ulSize) override;
  void SetTrackEAX(long lTrack, unsigned long ulProperty, void* pData, unsigned long ulSize) override;
  void GetTrackEAX(long lTrack, unsigned long ulProperty, void* pData, unsigned long ulSize) override;
  void SetSlotEAX(long lSlot, unsigned long ulProperty, void* pData, unsigned long ulSize) override;
  void GetSlotEAX(long lSlot, unsigned long ulProperty, void* pData, unsigned long ulSize) override;
  void SetContextEAX(unsigned long ulProperty, void* pData, unsigned long ulSize) override;
  void GetContextEAX(unsigned long ulProperty, void* pData, unsigned long ulSize) override;
  void SetListenerLevel(float fLevel) override;
  void SetListenerPosition(IAUDVector& vPosition) override;
  void SetListenerVelocity(IAUDVector& vVelocity) override;
  void SetListenerOrientation(IAUDVector& vFront, IAUDVector& vTop) override;

  // Driver operations beyond the render interface.
  virtual long SetOpenALSourceProperty(long lTrack, unsigned int uiProperty, void* pValue);
  virtual long GetOpenALSourceProperty(long lTrack, unsigned int uiProperty, void* pValue);
  virtual long GetNumSources() { return m_lNumSources - 1; }
  virtual long GetNumSlots() { return m_lRealNumSlots; }
  virtual long GetNumActiveSlots() { return m_lRealMaxActiveSlots; }
  virtual bool VerifySlotUnlock(long lSlot);
  virtual bool VerifyEffect(_GUID) { return false; }
  virtual void VerifySlotState(long, IAUDSlotState*) {}
  virtual long GetAuditionSourceIndex() { return m_lNumSources - 1; }
  virtual bool GetAuditionSourcePlayback();
  virtual CBuffer* GetAuditionBuffer() { return m_pAuditionBuffer; }
  virtual bool SetAuditionBufferData(unsigned long ulChannels, unsigned short usBitsPerSample,
                                     unsigned long ulSamplesPerSecond, unsigned long ulSize, const void* pData);
  virtual void AddAudioHook(CAudioHook* pHook);
  virtual void RemoveAudioHook(CAudioHook* pHook);
  virtual void ProcessAudioHooks();
  virtual void UpdateBufferDistanceData(void* pSample, IAUDSoundDistance* pDistance);
  virtual void UpdateBufferSoundCone(void* pSample, IAUDSoundCone* pCone);
  virtual void SetTrackMute(long lTrack, bool bMute);
  virtual void SetTrackSolo(long lTrack, bool bSolo);
  virtual long GetTrackMuteSolo(long lTrack, bool* pbMuted, bool* pbSoloed);
  virtual void SetTrackRecord(long lTrack, bool bRecord);
  virtual void SetSlotMute(long lSlot, bool bMute);
  virtual void SetSlotSolo(long lSlot, bool bSolo);
  virtual long GetSlotMuteSolo(long lSlot, bool* pbMuted, bool* pbSoloed);
  virtual void SetSlotRecord(long lSlot, bool bRecord);

  bool VerifyValidBuffer(CBuffer* pBuffer);
  void UpdatePlayingStates();
  long GetActiveSends(long) { return 0; }
  void EventTimerProc(int);
  static void* UnixTimerThread(void* pArg);

  // The scheduler procedure the timer thread calls, or none.
  static std::atomic<void (*)()> m_SchedulerTimerProc;

  // Number of pending hook records (for monitoring clients and tests).
  int GetPendingHookRecordCount() const { return m_HookRecords.Num(); }

private:
  bool LoadSample(unsigned long ulChannels, unsigned short usBitsPerSample, unsigned long ulSamplesPerSecond,
                  unsigned long ulSize, const void* pData, void** ppSample, bool bTemporary, bool bStreaming);
  // True for 0 <= index < bound.
  static bool TrackInRange(long lTrack, long lBound) { return lTrack >= 0 && lTrack < lBound; }
  SHookRecord* NewHookRecord(uint32_t ulType, long lIndex);
  void RecordHookValue(uint32_t ulType, long lIndex, uint32_t ulValue);
  void RecordHookFloat(uint32_t ulType, long lIndex, float fValue);
  void RecordHookVector(uint32_t ulType, long lIndex, const IAUDVector& v);
  void RecordHookSample(uint32_t ulType, long lIndex, void* pSample);
  void ReplayTrackState(CAudioHook* pHook, long lTrack);
  void ReapplyTrackMutes();
  void ReapplyTrackSolos();
  void ReapplySlotMutes();
  void ReapplySlotSolos();

  EArray<CAudioHook*> m_AudioHooks;
  EArray<SHookRecord> m_HookRecords;
  SDL_mutex* m_pExclusiveLock;
};

extern CAudioDrv* g_pMainAudioDrv;
