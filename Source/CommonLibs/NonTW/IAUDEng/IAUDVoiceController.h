// The voice controller owns the render driver's tracks. A player asks it for
// a voice: a block of tracks that its content addresses by local index. The
// controller combines each track's own settings with the voice's (level,
// pitch, curves, 3D frame, group gain, head-room, EAX sends) into driver
// calls, and times every track in scheduler milliseconds so that loops end
// on their last pass.
#pragma once

#include <cstdint>

#include "NonTW/IAUDEng/IAUDEAX.h"
#include "NonTW/IAUDEng/IAUDResourceManager.h"
#include "NonTW/IAUDEng/IAUDSampleBank.h"
#include "NonTW/IAUDEng/IAUDVoiceTrackState.h"

class CGroup;
class CRPController;
class CSample;
class IAUDContentObject;

// What a player asks for when it starts content.
struct SVoiceData {
  uint32_t dwNumTracks;
  float flLevel;
  float flPitch;
  uint32_t dwMode;
  IAUDVector vPosition;
  IAUDVector vVelocity;
  IAUDVector vFront;
  IAUDVector vTop;
  CRPController* pCurves;
  float flCurveInput;
  CGroup* pGroup;
  IAUDContentObject* pContent;
  EAX40SOURCEPROPERTIES eaxSource;
  EAX40SOURCEALLSENDPROPERTIES eaxSends[4];
  EAX40ACTIVEFXSLOTS eaxActiveSlots;
};

class IAUDVoiceController : public IAUDResourceManager, public IAUDStreamTracks {
 public:
  static constexpr uint32_t kNever = 0xFFFFFFFFu;

  // Answers the sample banks' stream refills (g_pStreamTracks) while it lives.
  IAUDVoiceController();
  virtual ~IAUDVoiceController();
  virtual void DeleteObject() { delete this; }

  // Handles and timing.
  void* GetVoiceHandle(SVoiceData* request);
  void CloseVoiceHandle(void* handle);
  bool IsHandleValid(void* handle) const;
  void BlockHandleOutput(void* handle, bool block);
  bool IsTrackPlaying(long local, void* handle, long* ownerLoops) override;
  void SetTrackPlayTime(long track, float voicePitch, float curvePitch, unsigned long loops);
  void SetSilenceTrackPlayTime(long track, unsigned long ms);
  void PlayVoiceTrack(long local, void* handle, unsigned long loops);
  void PlayTrackSilence(long local, void* handle, unsigned long ms);
  void PlayTracks(long* locals, long count, void* handle);
  void StopTracks(long* locals, long count, void* handle);
  void PauseVoice(void* handle);
  void RestartVoice(void* handle);
  void StopVoice(void* handle);
  void AttachSample(long local, unsigned long sampleReference, void* handle);
  void ResetTrackState(long local, void* handle);
  void FlushTrackState(long local, void* handle);
  void GetTrackState(long local, IAUDTrackState* out, void* handle);
  CSample* GetTrackSample(long local, void* handle) override;
  long GetTrackLoopCount(long track) const override;
  void DecrementTrackLoopCount(long track) override;
  long GetAvailableVoiceCount() const { return m_nFreeTracks; }
  uint32_t GetTotalTrackCount() const { return m_dwTotalTracks; }
  uint32_t GetTrackStartTime(long track) const { return m_adwStart[track & 255]; }
  uint32_t GetTrackEndTime(long track) const { return m_adwEnd[track & 255]; }
  // The driver track behind a local index of the voice; -1 when out of range.
  long GetVoiceTrack(void* handle, long local) const;

  // Per-track setters.
  void SetTrackLevel(long local, float level, void* handle);
  void SetTrackDirectLevel(long local, float level, void* handle);
  void SetTrackDirectHFLevel(long local, float level, void* handle);
  void SetTrackActiveSends(long local, unsigned long mask, void* handle);
  void SetTrackSendLevel(long local, long send, float level, void* handle);
  void SetTrackSendHFLevel(long local, long send, float level, void* handle);
  void SetTrackPosition(long local, IAUDVector& position, void* handle);
  void SetTrackVelocity(long local, IAUDVector& velocity, void* handle);
  void SetTrackOrientation(long local, IAUDVector& orientation, void* handle);
  void SetTrackOrientation(long local, long a, long b, long c, void* handle);
  void SetTrackMode(long local, unsigned long mode, void* handle);
  void SetTrackPitch(long local, float pitch, void* handle);
  void SetTrackPositionPath(long local, IAUDVector* position, IAUDVector* offset, void* handle);

  // Per-voice setters.
  void SetVoicePosition(void* handle, IAUDVector& position);
  void SetVoiceOrientation(void* handle, IAUDVector& front, IAUDVector& top);
  void SetVoiceVelocity(void* handle, IAUDVector& velocity);
  void SetVoiceLevel(void* handle, float level);
  void SetVoiceGroupGain(void* handle);
  void SetVoiceMode(void* handle, unsigned long mode);
  void SetVoicePitch(void* handle, float pitch);
  void SetVoiceRPC(void* handle, CRPController* curves, float input);
  void SetVoiceEAXProp(void* handle, unsigned long id, void* data, unsigned long size);
  // The voice's own settings as a request for another voice: track count,
  // level, pitch, mode, 3D frame, curves, group and content; the direct and
  // send levels in millibels and the active slots. The other EAX fields are
  // zero. False for a handle that is not open.
  bool GetVoiceData(void* handle, SVoiceData* out) const;

  // Unit conversions: linear 0 (or less) is -10000 mB.
  static long LinearToMillibels(float linear);
  static float MillibelsToLinear(long millibels);

 private:
  struct SVoice;

  void SetVoiceEAXAll(SVoice* voice, EAX40SOURCEPROPERTIES* props, unsigned long deferred);
  void SetVoiceEAXDirect(SVoice* voice, long millibels, unsigned long deferred, bool highFrequency);
  void SetVoiceEAXSendLevels(SVoice* voice, void* data, unsigned long size, unsigned long deferred, bool all);
  void SetVoiceEAXActiveSlots(SVoice* voice, EAX40ACTIVEFXSLOTS* slots, unsigned long size, unsigned long deferred);

  bool MapTrack(long local, const SVoice* voice, long* track) const;
  float EffectiveLevel(const SVoice* voice, float trackLevel) const;
  float TrackPitchFor(const SVoice* voice, float trackPitch) const;
  uint32_t PassLength(long track, float pitch) const;
  void RescaleEndTime(long track, uint32_t ref, float newPitch);
  void SendWorldPosition(long track, const SVoice* voice, bool withOffset);
  bool TrackIsStereo(long track) const;
  bool VoiceHasActiveSlots(const SVoice* voice) const;
  uint32_t Now() const;

  uint32_t m_dwTotalTracks = 0;
  int32_t m_nFreeTracks = 0;
  uint32_t m_dwOpenHandles = 0;
  uint32_t m_adwInUse[8] = {};
  uint32_t m_adwStart[256] = {};
  uint32_t m_adwPause[256] = {};
  uint32_t m_adwEnd[256] = {};
  int32_t m_anAttached[256] = {};
  int32_t m_anLoops[256] = {};
  SVoice* m_apHandles[256] = {};
  IAUDTrackState m_aState[256] = {};
  uint8_t m_abPlaying[256] = {};
};
