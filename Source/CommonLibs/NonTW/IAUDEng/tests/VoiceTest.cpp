// The voice controller against a recording render interface: track blocks,
// combined levels and pitches, loop timing and EAX routing.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "NonTW/IAUDEng/CGroup.h"
#include "NonTW/IAUDEng/CSample.h"
#include "NonTW/IAUDEng/IAUDContentObject.h"
#include "NonTW/IAUDEng/IAUDSampleBank.h"
#include "NonTW/IAUDEng/IAUDScheduler.h"
#include "NonTW/IAUDEng/IAUDVoiceController.h"
#include "NonTW/IAUDEng/tests/RecordingRender.h"

namespace {

using iaudtest::RecordingRender;

class VoiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    new IAUDResourceManager(&render);
    vc = IAUDResourceManager::GetVoiceController();
    bank = new IAUDSampleBank();
    slot = IAUDResourceManager::AddNewSampleBank(bank);
  }
  void TearDown() override {
    IAUDResourceManager::ReleaseAll();
    delete m_papiResourceManager;
    m_papiResourceManager = nullptr;
    IAUDResourceManager::SetHeadRoomGain(1.0f);
  }
  // A sample of the given length in the test bank; returns its reference.
  uint32_t AddSample(uint32_t durationMs, uint32_t channels = 1) {
    // The bank owns its samples: linked as its children, they go with it.
    CSample* s = new CSample(bank);
    bank->LinkObject(s);
    samples.push_back(s);
    int32_t index = bank->AddNewSample(s);
    s->SetResourceIndex((uint32_t)index);
    s->SetSampleChannels(channels);
    s->GetSampleInfo()->dwDuration = durationMs;
    EXPECT_EQ(((uint32_t)(slot + 1) << 16) | (uint32_t)index, s->GetSampleIndex());
    return s->GetSampleIndex();
  }
  SVoiceData Request(uint32_t tracks) {
    SVoiceData d{};
    d.dwNumTracks = tracks;
    d.flLevel = 1.0f;
    d.flPitch = 1.0f;
    d.vFront = IAUDVector{0, 0, 1};
    d.vTop = IAUDVector{0, 1, 0};
    return d;
  }
  // Advances the scheduler clock by ms (the recording driver's period is 10 ms).
  void Advance(uint32_t ms) {
    for (uint32_t i = 0; i < ms / 10; ++i) render.proc();
  }
  std::vector<std::string> CallsStartingWith(const std::string& prefix) {
    std::vector<std::string> out;
    for (const std::string& c : render.calls)
      if (c.compare(0, prefix.size(), prefix) == 0) out.push_back(c);
    return out;
  }

  RecordingRender render;
  IAUDVoiceController* vc = nullptr;
  IAUDSampleBank* bank = nullptr;
  int32_t slot = 0;
  std::vector<CSample*> samples;
};

class BoostedContent : public IAUDContentObject {
 public:
  BoostedContent() : IAUDContentObject(nullptr) {}
};

}  // namespace

TEST_F(VoiceTest, TracksAreTakenLowestFirstAndGivenBack) {
  EXPECT_EQ(vc->GetAvailableVoiceCount(), 32);
  SVoiceData r0 = Request(0), rTooMany = Request(33);
  EXPECT_EQ(vc->GetVoiceHandle(&r0), nullptr);
  EXPECT_EQ(vc->GetVoiceHandle(&rTooMany), nullptr);
  SVoiceData r3 = Request(3), r2 = Request(2);
  void* a = vc->GetVoiceHandle(&r3);
  void* b = vc->GetVoiceHandle(&r2);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(vc->GetVoiceTrack(b, 0), 3);
  EXPECT_EQ(vc->GetVoiceTrack(b, 1), 4);
  EXPECT_EQ(vc->GetVoiceTrack(b, 2), -1);
  vc->CloseVoiceHandle(a);
  EXPECT_FALSE(vc->IsHandleValid(a));
  EXPECT_EQ(vc->GetAvailableVoiceCount(), 30);
  render.calls.clear();
  void* c = vc->GetVoiceHandle(&r2);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(vc->GetVoiceTrack(c, 0), 0);
  EXPECT_EQ(vc->GetVoiceTrack(c, 1), 1);
  // Each new track gets the source, all-send and active-slot records.
  EXPECT_EQ(CallsStartingWith("SetTrackEAX"),
            (std::vector<std::string>{"SetTrackEAX 0 1 72", "SetTrackEAX 0 24 192", "SetTrackEAX 0 27 32",
                                      "SetTrackEAX 1 1 72", "SetTrackEAX 1 24 192", "SetTrackEAX 1 27 32"}));
  // Exactly the free count succeeds and leaves none.
  SVoiceData rest = Request((uint32_t)vc->GetAvailableVoiceCount());
  EXPECT_NE(vc->GetVoiceHandle(&rest), nullptr);
  EXPECT_EQ(vc->GetAvailableVoiceCount(), 0);
  vc->CloseVoiceHandle(&rest);  // not a handle: ignored
  EXPECT_EQ(vc->GetAvailableVoiceCount(), 0);
}

TEST_F(VoiceTest, LevelsPitchesAndMillibels) {
  BoostedContent content;
  content.SetGainBoost(4.0f);
  SVoiceData r = Request(1);
  r.pContent = &content;
  void* v = vc->GetVoiceHandle(&r);
  ASSERT_NE(v, nullptr);
  render.trackLevels.clear();
  render.pitches.clear();
  vc->SetTrackLevel(0, 1.3f, v);
  IAUDResourceManager::SetHeadRoomGain(0.5f);
  vc->SetTrackLevel(0, 0.8f, v);
  EXPECT_EQ(render.trackLevels, (std::vector<float>{1.0f, 0.8f}));
  vc->SetTrackPitch(0, 3.0f, v);
  EXPECT_EQ(render.pitches, (std::vector<float>{2.0f}));
  EXPECT_EQ(IAUDVoiceController::LinearToMillibels(0.0f), -10000);
  EXPECT_EQ(IAUDVoiceController::LinearToMillibels(0.5f), -602);
  EXPECT_EQ(IAUDVoiceController::LinearToMillibels(1.0f), 0);
  EXPECT_NEAR(IAUDVoiceController::MillibelsToLinear(-2000), 0.1f, 1e-4f);
  render.calls.clear();
  vc->SetTrackDirectLevel(0, 0.5f, v);
  EXPECT_EQ(render.calls, (std::vector<std::string>{"SetTrackDirectLevel " + std::to_string(vc->GetVoiceTrack(v, 0)) +
                                                    " -602"}));
  // A group's gain scales the level.
  CGroup group(nullptr);
  r.pGroup = &group;
  r.pContent = nullptr;
  void* g = vc->GetVoiceHandle(&r);
  IAUDResourceManager::SetHeadRoomGain(1.0f);
  vc->SetTrackLevel(0, 0.8f, g);
  render.trackLevels.clear();
  group.SetGain(0.5f);
  vc->SetVoiceGroupGain(g);
  EXPECT_EQ(render.trackLevels, (std::vector<float>{0.4f}));
}

TEST_F(VoiceTest, LoopsEndOnTheirLastPass) {
  uint32_t ref = AddSample(1000);
  SVoiceData r = Request(1);
  void* v = vc->GetVoiceHandle(&r);
  long t = vc->GetVoiceTrack(v, 0);
  vc->AttachSample(0, ref, v);
  EXPECT_EQ(vc->GetTrackSample(0, v), samples[0]);
  Advance(100);
  uint32_t start = IAUDResourceManager::GetScheduler()->GetMilliseconds();
  vc->PlayVoiceTrack(0, v, 2);
  EXPECT_EQ(vc->GetTrackEndTime(t), start + 3000);
  EXPECT_EQ(vc->GetTrackLoopCount(t), 2);
  Advance(2490);
  render.calls.clear();
  EXPECT_TRUE(vc->IsTrackPlaying(0, v, nullptr));
  EXPECT_TRUE(render.calls.empty());
  Advance(10);
  EXPECT_TRUE(vc->IsTrackPlaying(0, v, nullptr));
  EXPECT_EQ(render.calls, (std::vector<std::string>{"StopTracksLooping " + std::to_string(t)}));
  EXPECT_EQ(vc->GetTrackLoopCount(t), 0);
  // Past the end the driver decides.
  render.playing = false;
  Advance(500);
  EXPECT_FALSE(vc->IsTrackPlaying(0, v, nullptr));
}

TEST_F(VoiceTest, PauseMovesTheEndAndEndlessLoopsStayEndless) {
  uint32_t ref = AddSample(1000);
  SVoiceData r = Request(2);
  void* v = vc->GetVoiceHandle(&r);
  long t0 = vc->GetVoiceTrack(v, 0), t1 = vc->GetVoiceTrack(v, 1);
  vc->AttachSample(0, ref, v);
  vc->AttachSample(1, ref, v);
  vc->PlayVoiceTrack(0, v, 0);
  vc->PlayVoiceTrack(1, v, 0xFFFFFFFFu);
  uint32_t end0 = vc->GetTrackEndTime(t0);
  EXPECT_EQ(vc->GetTrackEndTime(t1), IAUDVoiceController::kNever);
  Advance(200);
  vc->PauseVoice(v);
  Advance(4000);
  render.calls.clear();
  vc->RestartVoice(v);
  EXPECT_EQ(vc->GetTrackEndTime(t0), end0 + 4000);
  EXPECT_EQ(vc->GetTrackEndTime(t1), IAUDVoiceController::kNever);
  EXPECT_EQ(render.calls, (std::vector<std::string>{"PlayTracks " + std::to_string(t0) + " loop 0",
                                                    "PlayTracks " + std::to_string(t1) + " loop 1"}));
  // The owner's loop counter reaching 0 ends the endless loop after this pass.
  long ownerLoops = 0;
  render.calls.clear();
  EXPECT_TRUE(vc->IsTrackPlaying(1, v, &ownerLoops));
  EXPECT_EQ(vc->GetTrackLoopCount(t1), 0);
  EXPECT_EQ(render.calls.front(), "StopTracksLooping " + std::to_string(t1));
}

TEST_F(VoiceTest, LongSamplesAndTinyPitchesAreTimedWithoutOverflow) {
  uint32_t longRef = AddSample(300000);
  SVoiceData r = Request(1);
  void* v = vc->GetVoiceHandle(&r);
  long t = vc->GetVoiceTrack(v, 0);
  vc->AttachSample(0, longRef, v);
  vc->PlayVoiceTrack(0, v, 0);
  uint32_t start = vc->GetTrackStartTime(t);
  EXPECT_EQ(vc->GetTrackEndTime(t), start + 300000);
  // A pitch far below the timing floor counts as 0.01: no division by zero.
  vc->SetTrackPitch(0, 0.00001f, v);
  EXPECT_GT(vc->GetTrackEndTime(t), start + 300000);
  vc->SetTrackPitch(0, 1.0f, v);
  vc->SetVoicePitch(v, 0.0f);
}

TEST_F(VoiceTest, BlockedVoiceStoresAndSendsNothing) {
  uint32_t ref = AddSample(1000);
  SVoiceData r = Request(1);
  void* v = vc->GetVoiceHandle(&r);
  vc->AttachSample(0, ref, v);
  vc->BlockHandleOutput(v, true);
  render.calls.clear();
  vc->SetTrackLevel(0, 0.25f, v);
  vc->SetTrackPitch(0, 1.5f, v);
  vc->PlayVoiceTrack(0, v, 0);
  vc->PlayTrackSilence(0, v, 100);
  vc->RestartVoice(v);
  EXPECT_TRUE(render.calls.empty());
  IAUDTrackState s;
  vc->GetTrackState(0, &s, v);
  EXPECT_EQ(s.flLevel, 0.25f);
  EXPECT_EQ(s.flPitch, 1.5f);
  EXPECT_FALSE(vc->IsTrackPlaying(0, v, nullptr));
}

TEST_F(VoiceTest, StereoTrackIgnoresPlacement) {
  uint32_t ref = AddSample(1000, 2);
  SVoiceData r = Request(1);
  void* v = vc->GetVoiceHandle(&r);
  vc->AttachSample(0, ref, v);
  render.calls.clear();
  IAUDVector p{1, 2, 3};
  vc->SetTrackPosition(0, p, v);
  IAUDTrackState s;
  vc->GetTrackState(0, &s, v);
  EXPECT_EQ(s.vPosition.x, 0.0f);
  EXPECT_TRUE(render.calls.empty());
}

TEST_F(VoiceTest, OutOfRangeNumbersAreIgnored) {
  SVoiceData r = Request(1);
  void* v = vc->GetVoiceHandle(&r);
  render.calls.clear();
  vc->SetTrackLevel(1, 0.5f, v);
  vc->SetTrackLevel(-1, 0.5f, v);
  vc->SetTrackLevel(256, 0.5f, nullptr);
  vc->SetTrackSendLevel(0, 32, 0.5f, v);
  vc->SetTrackSendHFLevel(0, -1, 0.5f, v);
  EXPECT_TRUE(render.calls.empty());
}

TEST_F(VoiceTest, EAXSourcePropertiesReachEveryTrack) {
  SVoiceData r = Request(2);
  void* v = vc->GetVoiceHandle(&r);
  long t0 = vc->GetVoiceTrack(v, 0);
  render.calls.clear();
  int32_t direct = -602;
  vc->SetVoiceEAXProp(v, 5 | 0x80000000ul, &direct, sizeof(direct));
  EXPECT_EQ(CallsStartingWith("SetTrackDirectLevel").size(), 2u);
  EXPECT_EQ(CallsStartingWith("SetTrackDirectLevel").front(), "SetTrackDirectLevel " + std::to_string(t0) + " -602");
  render.calls.clear();
  EAX40SOURCEPROPERTIES all{};
  vc->SetVoiceEAXProp(v, 1, &all, sizeof(all));
  vc->SetVoiceEAXProp(v, 9, &all, 4);
  vc->SetVoiceEAXProp(v, 28, &all, 4);
  EXPECT_EQ(render.calls, (std::vector<std::string>{"SetTrackEAX " + std::to_string(t0) + " 1 72",
                                                    "SetTrackEAX " + std::to_string(t0 + 1) + " 1 72",
                                                    "SetTrackEAX " + std::to_string(t0) + " 9 4",
                                                    "SetTrackEAX " + std::to_string(t0 + 1) + " 9 4"}));
  render.calls.clear();
  EAX40SOURCESENDPROPERTIES send{GetGUID(1), -2000, 0};
  EAX40SOURCESENDPROPERTIES unknown{_GUID{}, -2000, 0};
  EAX40SOURCESENDPROPERTIES both[2] = {unknown, send};
  vc->SetVoiceEAXProp(v, 23, both, sizeof(both));
  EXPECT_EQ(render.calls, (std::vector<std::string>{"SetTrackEAX " + std::to_string(t0) + " 23 24",
                                                    "SetTrackEAX " + std::to_string(t0 + 1) + " 23 24"}));
  EAX40ACTIVEFXSLOTS slots{{GetGUID(0), GetGUID(1)}};
  render.calls.clear();
  vc->SetVoiceEAXProp(v, 27, &slots, sizeof(slots));
  EXPECT_EQ(CallsStartingWith("SetTrackEAX"),
            (std::vector<std::string>{"SetTrackEAX " + std::to_string(t0) + " 27 32",
                                      "SetTrackEAX " + std::to_string(t0 + 1) + " 27 32"}));
}
