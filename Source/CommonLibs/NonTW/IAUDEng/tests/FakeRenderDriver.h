// A render driver that only records: the bytes and format of every sample
// loaded, every attachment and every stream refill, so that tests and fuzz
// harnesses can look at exactly what the runtime handed over, and the
// track commands (play, stop, stop looping) in order. It installs itself as
// the runtime's render interface and the stream track answers while it
// lives (an opened runtime's voice controller answers instead); the test
// calls the timer procedure itself.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <memory>
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

class FakeRenderDriver final : public IAUDRenderInterface, public IAUDStreamTracks {
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
  FakeRenderDriver(const FakeRenderDriver&) = delete;
  FakeRenderDriver& operator=(const FakeRenderDriver&) = delete;

  std::vector<std::unique_ptr<FakeLoad>> loads;
  std::map<long, FakeTrack> tracks;
  int exclusiveDepth = 0, exclusiveEntries = 0;
  bool refuseUpdates = false;
  std::vector<std::string> calls;
  void (*proc)() = nullptr;

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
  long SetSchedulerTimerProc(void (*pProc)()) override {
    proc = pProc;
    return 10000;
  }
  void BeginExclusiveMode() override {
    ++exclusiveDepth;
    ++exclusiveEntries;
  }
  void EndExclusiveMode() override { --exclusiveDepth; }
  void SendMidiDataStream(unsigned char*, unsigned long) override {}
  void LockProcessing() override {}
  void UnlockProcessing() override {}
  long GetTotalTrackCount() override { return 32; }
  long GetTotalSlotCount() override { return 4; }
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
  void PlayTracks(long* list, long count, unsigned long loop) override {
    Record("PlayTracks", list, count);
    calls.back() += " loop " + std::to_string(loop);
  }
  void PauseTracks(long*, long) override {}
  void StopTracks(long* list, long count) override { Record("StopTracks", list, count); }
  void StopAllTracks() override {}
  void StopTracksLooping(long* list, long count) override { Record("StopTracksLooping", list, count); }
  void SetTrackLevel(long, float) override {}
  void SetTrackPosition(long, IAUDVector&) override {}
  void SetTrackVelocity(long, IAUDVector&) override {}
  void SetTrackOrientation(long, IAUDVector&) override {}
  void SetTrackMode(long, unsigned long) override {}
  void SetTrackPitch(long, float) override {}
  void GetTrackState(long, IAUDTrackState*) override {}
  bool GetTrackPlayingState(long track) override { return tracks[track].playing; }
  IAUDVector GetTrackPosition(long) override { return IAUDVector{0, 0, 0}; }
  void SetTrackDirectLevel(long, long, unsigned long) override {}
  void SetTrackDirectHFLevel(long, long, unsigned long) override {}
  void SetTrackActiveSends(long, unsigned long, unsigned long) override {}
  void SetTrackSendLevel(long, long, long, unsigned long) override {}
  void SetTrackSendHFLevel(long, long, long, unsigned long) override {}
  void SetSlotLevel(long, float, unsigned long) override {}
  void SetSlotFlags(long, unsigned long, unsigned long) override {}
  void SetSlotEffect(long, _GUID) override {}
  void SetSlotEffectParameter(long, long, void*, unsigned long, unsigned long) override {}
  void GetSlotLevel(long, float*) override {}
  void GetSlotFlags(long, unsigned long*) override {}
  void GetSlotEffect(long, _GUID*) override {}
  void GetSlotEffectParameter(long, long, void*, unsigned long) override {}
  void SetTrackEAX(long, unsigned long, void*, unsigned long) override {}
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
  void Record(const char* name, const long* list, long count) {
    std::string s = name;
    for (long i = 0; i < count; ++i) s += " " + std::to_string(list[i]);
    calls.push_back(s);
  }
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

  IAUDRenderInterface* m_pPrevious;
};

}  // namespace iaudtest
