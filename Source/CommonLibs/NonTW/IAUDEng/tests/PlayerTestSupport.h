// Fixtures of the player tests: a runtime opened on the recording driver
// whose timer the test calls, a driver that logs every track level with the
// scheduler time it was sent at, and scripted content that records what the
// player asks of it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "NonTW/IAUDEng/CPlayer.h"
#include "NonTW/IAUDEng/IAUDContentObject.h"
#include "NonTW/IAUDEng/IAUDResourceManager.h"
#include "NonTW/IAUDEng/IAUDScheduler.h"
#include "NonTW/IAUDEng/IAUDVoiceController.h"
#include "NonTW/IAUDEng/tests/RecordingRender.h"

namespace playertest {

struct LevelSent {
  long track;
  float level;
  uint32_t ms;
};

class LevelRender : public iaudtest::RecordingRender {
 public:
  std::vector<LevelSent> levelLog;
  std::vector<uint32_t> lastAllParameters;  // the last EAX all-parameters record sent
  void SetTrackEAX(long track, unsigned long property, void* data, unsigned long size) override {
    RecordingRender::SetTrackEAX(track, property, data, size);
    if ((property & 0x7FFFFFFFul) == 1 && data && size >= 72) {
      const uint32_t* words = static_cast<const uint32_t*>(data);
      lastAllParameters.assign(words, words + 18);
    }
  }
  void SetTrackLevel(long track, float level) override {
    RecordingRender::SetTrackLevel(track, level);
    IAUDScheduler* s = IAUDResourceManager::GetScheduler();
    levelLog.push_back(LevelSent{track, level, s ? s->GetMilliseconds() : 0});
  }
  // The levels sent to one track, in order.
  std::vector<LevelSent> For(long track) const {
    std::vector<LevelSent> out;
    for (const LevelSent& l : levelLog)
      if (l.track == track) out.push_back(l);
    return out;
  }
};

// Plays for `cyclesToPlay` cycles (for ever when negative), counting the
// player's clocks each cycle; may pass a marker on a chosen cycle and refuse
// to stop a number of times (for ever when negative).
class ScriptedContent : public IAUDContentObject {
 public:
  explicit ScriptedContent(IAUDBankObject* bank = nullptr, uint32_t tracks = 1) : IAUDContentObject(bank) {
    SetNumTracks(tracks);
  }
  void InitObject(void** instance) override {
    ++inits;
    *instance = this;
  }
  void StartObject(void* voice, IAUDContentMarker* marker, void*, uint32_t loops, CPlayer* player) override {
    ++starts;
    startVoice = voice;
    startMarker = marker;
    startLoops = loops;
    startSelector = player->GetProcessSelector();
  }
  int32_t CycleObject(void* voice, int32_t*, void*, CPlayer* player) override {
    ++cycles;
    cycleVoice = voice;
    if (countClocks) {
      player->ProcessMetricTimeCode();
      player->ProcessRealTimeCode();
    }
    if (cycles == markerOnCycle && !player->ProcessContentMarker()) return false;
    return cyclesToPlay < 0 || cycles < cyclesToPlay;
  }
  bool StopObject(void*, void*) override {
    ++stops;
    if (stopRefusals == 0) return true;
    if (stopRefusals > 0) --stopRefusals;
    return false;
  }
  void ReleaseObject(void*) override { ++releases; }
  void PauseObject(void*, void*) override { ++pauses; }
  void RestartObject(void*, void*) override { ++restarts; }

  int inits = 0, starts = 0, cycles = 0, stops = 0, releases = 0, pauses = 0, restarts = 0;
  int cyclesToPlay = -1;
  int markerOnCycle = -1;
  int stopRefusals = 0;
  bool countClocks = true;
  void* startVoice = nullptr;
  void* cycleVoice = nullptr;
  IAUDContentMarker* startMarker = nullptr;
  uint32_t startLoops = 0;
  int32_t startSelector = -1;
};

// A runtime open on the recording driver (10 ms periods) for each test.
class PlayerRuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override { new IAUDResourceManager(&render); }
  void TearDown() override {
    IAUDResourceManager::ReleaseAll();
    delete m_papiResourceManager;
    m_papiResourceManager = nullptr;
  }
  // n scheduler periods.
  void Tick(int n = 1) {
    for (int i = 0; i < n; ++i) render.proc();
  }
  uint32_t Now() const { return IAUDResourceManager::GetScheduler()->GetMilliseconds(); }
  long TrackOf(void* voice) const { return IAUDResourceManager::GetVoiceController()->GetVoiceTrack(voice, 0); }

  LevelRender render;
};

}  // namespace playertest
