// Fixtures of the sound content tests: banks written as mkriff descriptions
// (sound tracks, silence tracks, queue items, timeline tracks), samples of a
// chosen length in sample-bank slot 0, and voices of the voice controller.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>

#include "NonTW/IAUDEng/CSample.h"
#include "NonTW/IAUDEng/IAUDResourceManager.h"
#include "NonTW/IAUDEng/IAUDSampleBank.h"
#include "NonTW/IAUDEng/IAUDVoiceController.h"
#include "NonTW/IAUDEng/tests/IAUDTestSupport.h"
#include "NonTW/IAUDEng/tests/PlayerTestSupport.h"

namespace contenttest {

// The settings of one sound track that the tests vary.
struct TrackSpec {
  uint32_t sample = 0x10000;  // slot 0, sample 0
  int32_t path = -1;
  uint32_t order = 1;
  uint32_t chance = 100;
  float level[2] = {1.0f, 1.0f};
  float pitch[2] = {1.0f, 1.0f};
  uint32_t randomFlags = 0;
};

// The 728 bytes of one sound track as mkriff fields.
inline std::string SoundTrackFields(const TrackSpec& t) {
  std::ostringstream s;
  s << "u32 " << t.sample << " i32 " << t.path << " u32 " << t.order << " " << t.chance << " f32 0 0 0 i32 0 0 0"
    << " f32 0 0 0 " << t.level[0] << " " << t.level[1] << " " << t.pitch[0] << " " << t.pitch[1] << " 1 1 1 1"
    << " u32 0*32 f32 0*32 0*32 1*32 1*32 u32 " << t.randomFlags;
  return s.str();
}

inline std::string SilenceFields(uint32_t order, uint32_t chance, uint32_t lo, uint32_t hi, uint32_t random) {
  std::ostringstream s;
  s << "u32 " << order << " " << chance << " " << lo << " " << hi << " " << random;
  return s.str();
}

// A sound event list at a bank index with one track of the sample at full chance.
inline std::string EventList(uint32_t index, uint32_t sample) {
  TrackSpec t;
  t.sample = sample;
  return " LIST snde\n  chunk indx u32 " + std::to_string(index) + "\n  chunk info u32 1 50 0 0 1\n  chunk sndt " +
         SoundTrackFields(t) + "\n end\n";
}

// A runtime on the recording driver with a sample bank in slot 0 whose
// samples last the given milliseconds.
class ContentRuntimeTest : public playertest::PlayerRuntimeTest {
 protected:
  void SetUp() override {
    PlayerRuntimeTest::SetUp();
    samples = new IAUDSampleBank();
    IAUDResourceManager::AddSampleBank(samples, 0);
    vc = IAUDResourceManager::GetVoiceController();
  }
  // The reference of a new sample of the bank in slot 0.
  uint32_t AddSample(uint32_t ms) {
    CSample* sample = new CSample(samples);
    samples->LinkObject(sample);
    sample->SetResourceIndex((uint32_t)samples->AddNewSample(sample));
    sample->GetSampleInfo()->dwDuration = ms;
    return 0x10000u | sample->GetResourceIndex();
  }
  void* OpenVoice(uint32_t tracks) {
    SVoiceData d{};
    d.dwNumTracks = tracks;
    d.flLevel = 1.0f;
    d.flPitch = 1.0f;
    d.vFront = IAUDVector{0, 0, 1};
    d.vTop = IAUDVector{0, 1, 0};
    return vc->GetVoiceHandle(&d);
  }
  // A content bank from a description of its lists.
  IAUDContentBank* Bank(const std::string& lists) {
    std::string path = iaudtest::MakeRiff(dir, "bank" + std::to_string(++banks), "RIFF icbf\n" + lists + "end\n");
    EXPECT_FALSE(path.empty());
    IAUDContentBank* bank = iaudtest::LoadBank(path);
    owned.push_back(bank);
    return bank;
  }
  int Count(const std::string& prefix) const {
    int n = 0;
    for (const std::string& c : render.calls) n += c.compare(0, prefix.size(), prefix) == 0;
    return n;
  }
  void TearDown() override {
    for (IAUDContentBank* b : owned) b->RemoveObject();
    PlayerRuntimeTest::TearDown();
  }

  iaudtest::TempDir dir;
  IAUDSampleBank* samples = nullptr;
  IAUDVoiceController* vc = nullptr;
  std::vector<IAUDContentBank*> owned;
  int banks = 0;
};

}  // namespace contenttest
