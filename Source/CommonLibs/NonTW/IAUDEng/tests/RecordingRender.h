// A render interface that records the calls the runtime makes, reports the
// track and slot counts a test chooses and lets the test call the timer
// procedure itself.
#pragma once

#include <string>
#include <vector>

#include "NonTW/AudioDrv/AudioIAUD.h"

namespace iaudtest {

class RecordingRender final : public IAUDRenderInterface {
 public:
  std::vector<std::string> calls;
  long period = 10000;
  long slots = 8;
  long tracks = 32;
  bool playing = true;
  float trackPitch[256];
  std::vector<float> trackLevels, pitches;
  float slotLevel[32] = {};
  _GUID slotEffect[32] = {};
  int exclusiveDepth = 0;
  void (*proc)() = nullptr;

  RecordingRender() {
    for (float& p : trackPitch) p = 1.0f;
  }
  static std::string List(long* tracks, long count) {
    std::string s;
    for (long i = 0; i < count; ++i) s += " " + std::to_string(tracks[i]);
    return s;
  }
  std::vector<_GUID> effects;
  std::vector<float> levels;
  std::vector<unsigned long> flags;

  long SetSchedulerTimerProc(void (*pProc)()) override {
    proc = pProc;
    calls.push_back(pProc ? "SetSchedulerTimerProc" : "SetSchedulerTimerProc(null)");
    return period;
  }
  void BeginExclusiveMode() override { ++exclusiveDepth; }
  void EndExclusiveMode() override { --exclusiveDepth; }
  void SendMidiDataStream(unsigned char*, unsigned long) override {}
  void LockProcessing() override {}
  void UnlockProcessing() override {}
  long GetTotalTrackCount() override { return tracks; }
  long GetTotalSlotCount() override {
    calls.push_back("GetTotalSlotCount");
    return slots;
  }
  void ReleaseInterface() override {}
  bool LoadAudioSample(unsigned long, unsigned short, unsigned long, unsigned long, const void*, void**,
                       bool) override {
    return false;
  }
  bool LoadAudioStreamingSample(unsigned long, unsigned short, unsigned long, unsigned long, const void*, void**,
                                bool) override {
    return false;
  }
  void FreeAudioSample(void*) override {}
  void AttachSample(long, void*, IAUDSoundDistance*, IAUDSoundCone*) override {}
  long GetTrackProcessedStreamBufferCount(long) override { return 0; }
  bool UpdateTrackStreamBuffer(long, void*, unsigned long) override { return false; }
  void PlayTracks(long* plTracks, long lCount, unsigned long ulLoop) override {
    calls.push_back("PlayTracks" + List(plTracks, lCount) + " loop " + std::to_string(ulLoop));
  }
  void PauseTracks(long* plTracks, long lCount) override { calls.push_back("PauseTracks" + List(plTracks, lCount)); }
  void StopTracks(long* plTracks, long lCount) override { calls.push_back("StopTracks" + List(plTracks, lCount)); }
  void StopAllTracks() override {}
  void StopTracksLooping(long* plTracks, long lCount) override {
    calls.push_back("StopTracksLooping" + List(plTracks, lCount));
  }
  void SetTrackLevel(long lTrack, float fLevel) override {
    calls.push_back("SetTrackLevel " + std::to_string(lTrack));
    trackLevels.push_back(fLevel);
  }
  void SetTrackPosition(long lTrack, IAUDVector&) override { calls.push_back("SetTrackPosition " + std::to_string(lTrack)); }
  void SetTrackVelocity(long, IAUDVector&) override {}
  void SetTrackOrientation(long, IAUDVector&) override {}
  void SetTrackMode(long, unsigned long) override {}
  void SetTrackPitch(long lTrack, float fPitch) override {
    calls.push_back("SetTrackPitch " + std::to_string(lTrack));
    pitches.push_back(fPitch);
    if (lTrack >= 0 && lTrack < 256) trackPitch[lTrack] = fPitch;
  }
  void GetTrackState(long lTrack, IAUDTrackState* pState) override {
    if (lTrack >= 0 && lTrack < 256) pState->flPitch = trackPitch[lTrack];
  }
  bool GetTrackPlayingState(long) override { return playing; }
  IAUDVector GetTrackPosition(long) override { return IAUDVector{0, 0, 0}; }
  void SetTrackDirectLevel(long lTrack, long lMillibels, unsigned long) override {
    calls.push_back("SetTrackDirectLevel " + std::to_string(lTrack) + " " + std::to_string(lMillibels));
  }
  void SetTrackDirectHFLevel(long, long, unsigned long) override {}
  void SetTrackActiveSends(long, unsigned long, unsigned long) override {}
  void SetTrackSendLevel(long, long, long, unsigned long) override {}
  void SetTrackSendHFLevel(long, long, long, unsigned long) override {}
  void SetSlotLevel(long slot, float fLevel, unsigned long ulFlags) override {
    calls.push_back("SetSlotLevel " + std::to_string(slot) + " " + std::to_string(ulFlags));
    levels.push_back(fLevel);
    if (slot >= 0 && slot < 32) slotLevel[slot] = fLevel;
  }
  void SetSlotFlags(long slot, unsigned long ulFlags, unsigned long ulDefer) override {
    calls.push_back("SetSlotFlags " + std::to_string(slot) + " " + std::to_string(ulDefer));
    flags.push_back(ulFlags);
  }
  void SetSlotEffect(long slot, _GUID guid) override {
    calls.push_back("SetSlotEffect " + std::to_string(slot));
    effects.push_back(guid);
    if (slot >= 0 && slot < 32) slotEffect[slot] = guid;
  }
  void SetSlotEffectParameter(long slot, long lParameter, void*, unsigned long ulSize, unsigned long ulFlags) override {
    calls.push_back("SetSlotEffectParameter " + std::to_string(slot) + " " + std::to_string(lParameter) + " " +
                    std::to_string(ulSize) + " " + std::to_string(ulFlags));
  }
  void GetSlotLevel(long slot, float* pfLevel) override { *pfLevel = slot >= 0 && slot < 32 ? slotLevel[slot] : 0.0f; }
  void GetSlotFlags(long, unsigned long*) override {}
  void GetSlotEffect(long slot, _GUID* pGuid) override {
    if (slot >= 0 && slot < 32) *pGuid = slotEffect[slot];
  }
  void GetSlotEffectParameter(long, long, void*, unsigned long) override {}
  void SetTrackEAX(long lTrack, unsigned long ulProperty, void*, unsigned long ulSize) override {
    calls.push_back("SetTrackEAX " + std::to_string(lTrack) + " " + std::to_string(ulProperty) + " " + std::to_string(ulSize));
  }
  void GetTrackEAX(long, unsigned long, void*, unsigned long) override {}
  void SetSlotEAX(long, unsigned long, void*, unsigned long) override {}
  void GetSlotEAX(long, unsigned long, void*, unsigned long) override {}
  void SetContextEAX(unsigned long, void*, unsigned long) override {}
  void GetContextEAX(unsigned long, void*, unsigned long) override {}
  void SetListenerLevel(float) override {}
  void SetListenerPosition(IAUDVector&) override {}
  void SetListenerVelocity(IAUDVector&) override {}
  void SetListenerOrientation(IAUDVector&, IAUDVector&) override {}
};

}  // namespace iaudtest
