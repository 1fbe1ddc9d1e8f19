// The render interface through which the audio runtime plays sound. The
// runtime never touches OpenAL; every track, sample, slot and listener
// operation goes through one object of this interface (CAudioDrv).
#pragma once

#include "NonTW/AudioDrv/AudioTypes.h"

class IAUDRenderInterface {
public:
  virtual long SetSchedulerTimerProc(void (*pProc)()) = 0;
  virtual void BeginExclusiveMode() = 0;
  virtual void EndExclusiveMode() = 0;
  virtual void SendMidiDataStream(unsigned char* pData, unsigned long ulSize) = 0;
  virtual void LockProcessing() = 0;
  virtual void UnlockProcessing() = 0;
  virtual long GetTotalTrackCount() = 0;
  virtual long GetTotalSlotCount() = 0;
  virtual void ReleaseInterface() = 0;
  virtual bool LoadAudioSample(unsigned long ulChannels, unsigned short usBitsPerSample,
                               unsigned long ulSamplesPerSecond, unsigned long ulSize, const void* pData,
                               void** ppSample, bool bTemporary) = 0;
  virtual bool LoadAudioStreamingSample(unsigned long ulChannels, unsigned short usBitsPerSample,
                                        unsigned long ulSamplesPerSecond, unsigned long ulSize,
                                        const void* pData, void** ppSample, bool bTemporary) = 0;
  virtual void FreeAudioSample(void* pSample) = 0;
  virtual void AttachSample(long lTrack, void* pSample, IAUDSoundDistance* pDistance, IAUDSoundCone* pCone) = 0;
  virtual long GetTrackProcessedStreamBufferCount(long lTrack) = 0;
  virtual bool UpdateTrackStreamBuffer(long lTrack, void* pData, unsigned long ulSize) = 0;
  virtual void PlayTracks(long* plTracks, long lCount, unsigned long ulLoop) = 0;
  virtual void PauseTracks(long* plTracks, long lCount) = 0;
  virtual void StopTracks(long* plTracks, long lCount) = 0;
  virtual void StopAllTracks() = 0;
  virtual void StopTracksLooping(long* plTracks, long lCount) = 0;
  virtual void SetTrackLevel(long lTrack, float fLevel) = 0;
  virtual void SetTrackPosition(long lTrack, IAUDVector& vPosition) = 0;
  virtual void SetTrackVelocity(long lTrack, IAUDVector& vVelocity) = 0;
  virtual void SetTrackOrientation(long lTrack, IAUDVector& vOrientation) = 0;
  virtual void SetTrackMode(long lTrack, unsigned long ulMode) = 0;
  virtual void SetTrackPitch(long lTrack, float fPitch) = 0;
  virtual void GetTrackState(long lTrack, IAUDTrackState* pState) = 0;
  virtual bool GetTrackPlayingState(long lTrack) = 0;
  virtual IAUDVector GetTrackPosition(long lTrack) = 0;
  virtual void SetTrackDirectLevel(long lTrack, long lMillibels, unsigned long ulFlags) = 0;
  virtual void SetTrackDirectHFLevel(long lTrack, long lMillibels, unsigned long ulFlags) = 0;
  virtual void SetTrackActiveSends(long lTrack, unsigned long ulSlotMask, unsigned long ulFlags) = 0;
  virtual void SetTrackSendLevel(long lTrack, long lSend, long lMillibels, unsigned long ulFlags) = 0;
  virtual void SetTrackSendHFLevel(long lTrack, long lSend, long lMillibels, unsigned long ulFlags) = 0;
  virtual void SetSlotLevel(long lSlot, float fLevel, unsigned long ulFlags) = 0;
  virtual void SetSlotFlags(long lSlot, unsigned long ulFlags, unsigned long ulDeferFlags) = 0;
  virtual void SetSlotEffect(long lSlot, _GUID guidEffect) = 0;
  virtual void SetSlotEffectParameter(long lSlot, long lParameter, void* pData, unsigned long ulSize,
                                      unsigned long ulFlags) = 0;
  virtual void GetSlotLevel(long lSlot, float* pfLevel) = 0;
  virtual void GetSlotFlags(long lSlot, unsigned long* pulFlags) = 0;
  virtual void GetSlotEffect(long lSlot, _GUID* pGuid) = 0;
  virtual void GetSlotEffectParameter(long lSlot, long lParameter, void* pData, unsigned long ulSize) = 0;
  virtual void SetTrackEAX(long lTrack, unsigned long ulProperty, void* pData, unsigned long ulSize) = 0;
  virtual void GetTrackEAX(long lTrack, unsigned long ulProperty, void* pData, unsigned long ulSize) = 0;
  virtual void SetSlotEAX(long lSlot, unsigned long ulProperty, void* pData, unsigned long ulSize) = 0;
  virtual void GetSlotEAX(long lSlot, unsigned long ulProperty, void* pData, unsigned long ulSize) = 0;
  virtual void SetContextEAX(unsigned long ulProperty, void* pData, unsigned long ulSize) = 0;
  virtual void GetContextEAX(unsigned long ulProperty, void* pData, unsigned long ulSize) = 0;
  virtual void SetListenerLevel(float fLevel) = 0;
  virtual void SetListenerPosition(IAUDVector& vPosition) = 0;
  virtual void SetListenerVelocity(IAUDVector& vVelocity) = 0;
  virtual void SetListenerOrientation(IAUDVector& vFront, IAUDVector& vTop) = 0;

protected:
  ~IAUDRenderInterface() = default;
};

// Builds the one render driver on the given OpenAL context (or on a device
// and context of its own when none is given) and returns it; later calls
// return the same driver.
class CAudioDrv;
CAudioDrv* InitAudioDriver(void* pContext, long lNumTracks, long lExtraTracks);
IAUDRenderInterface* RetrieveIAUDRenderInterface(void* pContext, long lNumTracks);
