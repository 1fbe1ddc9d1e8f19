// A render interface that records what the runtime asks of it: the calls in
// order, the bytes and format of every sample loaded, every attachment and
// every stream refill. It reports the track and slot counts a test chooses,
// answers the stream refills' track questions per track and lets the test
// call the timer procedure itself. FakeRenderDriver installs one as the
// runtime's render interface for code that runs without an opened runtime.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "NonTW/AudioDrv/AudioIAUD.h"
#include "NonTW/IAUDEng/IAUDResourceManager.h"
#include "NonTW/IAUDEng/IAUDSampleBank.h"

namespace iaudtest {

struct FakeLoad {
  unsigned long channels, rate, size;
  unsigned short bits;
  bool streaming, temporary, freed;
  std::vector<uint8_t> bytes;
};

struct FakeTrack {
  bool playing = true;
  CSample* sample = nullptr;
  uint32_t loops = 0;
  long processed = 0;  // buffers the next refill may fill
  FakeLoad* attached = nullptr;
  std::vector<std::vector<uint8_t>> refills;
};

class RecordingRender : public IAUDRenderInterface, public IAUDStreamTracks {
 public:
  std::vector<std::string> calls;
  long period = 10000;
  long slots = 8;
  long trackCount = 32;
  bool playing = true;  // with each track's own flag
  std::vector<std::unique_ptr<FakeLoad>> loads;
  std::map<long, FakeTrack> tracks;
  int exclusiveEntries = 0;
  bool refuseUpdates = false;
  float trackPitch[256];
  std::vector<float> trackLevels, pitches;
  float slotLevel[32] = {};
  _GUID slotEffect[32] = {};
  int exclusiveDepth = 0;
  void (*proc)() = nullptr;

  RecordingRender() {
    for (float& p : trackPitch) p = 1.0f;
  }
  RecordingRender(const RecordingRender&) = delete;
  RecordingRender& operator=(const RecordingRender&) = delete;
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
  // IAUDStreamTracks
  bool IsTrackPlaying(long track, void*, long*) override { return tracks[track].playing; }
  CSample* GetTrackSample(long track, void*) override { return tracks[track].sample; }
  long GetTrackLoopCount(long track) const override {
    auto it = tracks.find(track);
    return it == tracks.end() ? 0 : (long)it->second.loops;
  }
  void DecrementTrackLoopCount(long track) override {
    if (tracks[track].loops) --tracks[track].loops;
  }

  // IAUDRenderInterface
  void BeginExclusiveMode() override {
    ++exclusiveDepth;
    ++exclusiveEntries;
  }
  void EndExclusiveMode() override { --exclusiveDepth; }
  void SendMidiDataStream(unsigned char*, unsigned long) override {}
  void LockProcessing() override {}
  void UnlockProcessing() override {}
  long GetTotalTrackCount() override { return trackCount; }
  long GetTotalSlotCount() override {
    calls.push_back("GetTotalSlotCount");
    return slots;
  }
  void ReleaseInterface() override {}
  bool LoadAudioSample(unsigned long ch, unsigned short bits, unsigned long rate, unsigned long size,
                       const void* data, void** handle, bool temporary) override {
    return Load(ch, bits, rate, size, data, handle, false, temporary);
  }
  bool LoadAudioStreamingSample(unsigned long ch, unsigned short bits, unsigned long rate, unsigned long size,
                                const void* data, void** handle, bool temporary) override {
    return Load(ch, bits, rate, size, data, handle, true, temporary);
  }
  void FreeAudioSample(void* sample) override {
    if (sample) static_cast<FakeLoad*>(sample)->freed = true;
  }
  void AttachSample(long track, void* sample, IAUDSoundDistance*, IAUDSoundCone*) override {
    tracks[track].attached = static_cast<FakeLoad*>(sample);
  }
  long GetTrackProcessedStreamBufferCount(long track) override {
    long n = tracks[track].processed;
    tracks[track].processed = 0;
    return n;
  }
  bool UpdateTrackStreamBuffer(long track, void* data, unsigned long size) override {
    if (refuseUpdates) return false;
    const uint8_t* p = static_cast<const uint8_t*>(data);
    tracks[track].refills.emplace_back(p, p + size);
    return true;
  }
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
  bool GetTrackPlayingState(long track) override { return playing && tracks[track].playing; }
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

 private:
  bool Load(unsigned long ch, unsigned short bits, unsigned long rate, unsigned long size, const void* data,
            void** handle, bool streaming, bool temporary) {
    if (!handle || !data || !size) return false;
    std::unique_ptr<FakeLoad> load(new FakeLoad{ch, rate, size, bits, streaming, temporary, false, {}});
    const uint8_t* p = static_cast<const uint8_t*>(data);
    load->bytes.assign(p, p + size);
    *handle = load.get();
    loads.push_back(std::move(load));
    return true;
  }
};

// The recording driver installed as the runtime's render interface and the
// stream track answers while it lives (an opened runtime's voice controller
// answers instead).
class FakeRenderDriver final : public RecordingRender {
 public:
  FakeRenderDriver() {
    m_pPrevious = IAUDResourceManager::m_pRenderInterface;
    IAUDResourceManager::m_pRenderInterface = this;
    g_pStreamTracks = this;
  }
  ~FakeRenderDriver() {
    IAUDResourceManager::m_pRenderInterface = m_pPrevious;
    if (g_pStreamTracks == this) g_pStreamTracks = nullptr;
  }

 private:
  IAUDRenderInterface* m_pPrevious;
};

}  // namespace iaudtest
