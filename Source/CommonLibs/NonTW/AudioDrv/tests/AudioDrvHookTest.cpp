// Monitoring hooks, mute and solo.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "AudioTestSupport.h"
#include "NonTW/AudioDrv/AudioDrv.h"
#include "NonTW/AudioDrv/Source.h"

using namespace AudioDrvTest;

namespace {

struct SHookEvent {
  std::string name;
  long index = 0;
  long parameter = 0;
  double value = 0.0;
  void* sample = nullptr;
  IAUDVector vector = {0, 0, 0};
  uint32_t size = 0;
  unsigned char data[16] = {};
};

class CRecordingHook : public CAudioHook {
public:
  std::vector<SHookEvent> events;

  std::vector<SHookEvent> Named(const std::string& name) const {
    std::vector<SHookEvent> out;
    for (const SHookEvent& e : events)
      if (e.name == name) out.push_back(e);
    return out;
  }

  void OnTrackMute(long t, bool b) override { Add("TrackMute", t, b); }
  void OnTrackSolo(long t, bool b) override { Add("TrackSolo", t, b); }
  void OnTrackRecord(long t, bool b) override { Add("TrackRecord", t, b); }
  void OnTrackPlay(long t, void* p) override { Add("TrackPlay", t, 0.0).sample = p; }
  void OnTrackStop(long t, void* p) override { Add("TrackStop", t, 0.0).sample = p; }
  void OnTrackLevel(long t, float f) override { Add("TrackLevel", t, f); }
  void OnTrackActiveSends(long t, uint32_t u) override { Add("TrackActiveSends", t, u); }
  void OnTrackSendLevel(long t, long s, float f) override { Add("TrackSendLevel", t, f).parameter = s; }
  void OnTrackSendHFLevel(long t, long s, float f) override { Add("TrackSendHFLevel", t, f).parameter = s; }
  void OnTrackPosition(long t, const IAUDVector* v) override { Add("TrackPosition", t, 0.0).vector = *v; }
  void OnTrackPitch(long t, float f) override { Add("TrackPitch", t, f); }
  void OnTrackMode(long t, uint32_t u) override { Add("TrackMode", t, u); }
  void OnTrackDirectLevel(long t, float f) override { Add("TrackDirectLevel", t, f); }
  void OnTrackDirectHFLevel(long t, float f) override { Add("TrackDirectHFLevel", t, f); }
  void OnTrackVelocity(long t, const IAUDVector* v) override { Add("TrackVelocity", t, 0.0).vector = *v; }
  void OnTrackOrientation(long t, const IAUDVector* v) override { Add("TrackOrientation", t, 0.0).vector = *v; }
  void OnSlotMute(long s, bool b) override { Add("SlotMute", s, b); }
  void OnSlotSolo(long s, bool b) override { Add("SlotSolo", s, b); }
  void OnSlotRecord(long s, bool b) override { Add("SlotRecord", s, b); }
  void OnSlotLevel(long s, float f) override { Add("SlotLevel", s, f); }
  void OnSlotFlags(long s, uint32_t u) override { Add("SlotFlags", s, u); }
  void OnSlotEffect(long s, uint32_t, uint32_t, uint32_t, uint32_t) override { Add("SlotEffect", s, 0.0); }
  void OnSlotEffectParameter(long s, long p, const void* v, uint32_t size) override {
    SHookEvent& e = Add("SlotEffectParameter", s, 0.0);
    e.parameter = p;
    e.size = size;
    if (size <= sizeof(e.data)) memcpy(e.data, v, size);
  }

private:
  SHookEvent& Add(const char* name, long index, double value) {
    SHookEvent e;
    e.name = name;
    e.index = index;
    e.value = value;
    events.push_back(e);
    return events.back();
  }
};

void* HookLoadTone(CAudioDrv* pDrv, double seconds) {
  std::vector<short> data = MakeTone(440.0, 0.3, seconds);
  void* pSample = nullptr;
  EXPECT_TRUE(pDrv->LoadAudioSample(1, 16, 48000, data.size() * 2, data.data(), &pSample, false));
  return pSample;
}

float HookGain(long lTrack) {
  ALfloat f = -1.0f;
  alGetSourcef(CAudioOAL::m_pSource[lTrack]->GetSource(), AL_GAIN, &f);
  return f;
}

TEST(AudioDrvHooks, NothingIsRecordedWithoutAHook) {
  RunWithOpenAL("null", "", [](const SRun&) {
    CAudioDrv* pDrv = InitAudioDriver(nullptr, 8, 0);
    pDrv->SetTrackLevel(1, 0.5f);
    pDrv->SetTrackPitch(1, 1.5f);
    unsigned char abData[4] = {1, 2, 3, 4};
    pDrv->SetSlotEffectParameter(0, 3, abData, sizeof(abData), 0);
    EXPECT_EQ(0, pDrv->GetPendingHookRecordCount());
    pDrv->ProcessAudioHooks();
    EXPECT_EQ(0, pDrv->GetPendingHookRecordCount());
    pDrv->ReleaseInterface();
  });
}

TEST(AudioDrvHooks, ChangesArriveInOrderWithTheirValues) {
  RunWithOpenAL("null", "", [](const SRun&) {
    CAudioDrv* pDrv = InitAudioDriver(nullptr, 8, 0);
    void* pSample = HookLoadTone(pDrv, 2.0);
    CRecordingHook hook;
    pDrv->AddAudioHook(&hook);
    hook.events.clear();

    pDrv->SetTrackLevel(1, 0.5f);
    pDrv->SetTrackLevel(7, 0.3f);  // the audition track: level 0
    pDrv->SetTrackPitch(1, 3.0f);
    pDrv->SetTrackMode(1, 1);
    IAUDVector v = {1.0f, 2.0f, 3.0f};
    pDrv->SetTrackPosition(1, v);
    pDrv->SetTrackVelocity(1, v);
    pDrv->SetTrackOrientation(1, v);
    pDrv->SetTrackPosition(7, v);  // out of range: nothing
    pDrv->SetTrackDirectLevel(1, -2000, 0);
    pDrv->SetTrackDirectHFLevel(1, 0, 0);
    pDrv->SetTrackActiveSends(1, 5, 0);
    pDrv->SetTrackSendLevel(1, 2, -1000, 0);
    pDrv->SetTrackSendHFLevel(1, 3, -4000, 0);
    pDrv->SetSlotLevel(0, 0.5f, 0);
    pDrv->SetSlotFlags(0, 3, 0);
    unsigned char abSmall[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    unsigned char abLarge[16] = {};
    pDrv->SetSlotEffectParameter(0, 9, abSmall, sizeof(abSmall), 0);
    pDrv->SetSlotEffectParameter(0, 10, abLarge, sizeof(abLarge), 0);
    pDrv->AttachSample(1, pSample, nullptr, nullptr);
    long lTrack = 1;
    pDrv->PlayTracks(&lTrack, 1, 0);
    pDrv->StopTracks(&lTrack, 1);
    EXPECT_TRUE(hook.events.empty()) << "nothing is delivered before ProcessAudioHooks";
    pDrv->ProcessAudioHooks();
    EXPECT_EQ(0, pDrv->GetPendingHookRecordCount());

    struct {
      const char* name;
      long index;
      double value;
    } const expected[] = {
        {"TrackLevel", 1, 0.5},       {"TrackLevel", 7, 0.0},        {"TrackPitch", 1, 2.0},
        {"TrackMode", 1, 1.0},        {"TrackPosition", 1, 0.0},     {"TrackVelocity", 1, 0.0},
        {"TrackOrientation", 1, 0.0}, {"TrackDirectLevel", 1, 0.1},  {"TrackDirectHFLevel", 1, 1.0},
        {"TrackActiveSends", 1, 5.0}, {"TrackSendLevel", 1, pow(10.0, -0.5)},
        {"TrackSendHFLevel", 1, 0.01}, {"SlotLevel", 0, 0.5},        {"SlotFlags", 0, 0.0},
        {"SlotEffectParameter", 0, 0.0}, {"SlotEffectParameter", 0, 0.0},
        {"TrackPlay", 1, 0.0},        {"TrackStop", 1, 0.0},
    };
    ASSERT_EQ(sizeof(expected) / sizeof(expected[0]), hook.events.size());
    for (size_t i = 0; i < hook.events.size(); ++i) {
      EXPECT_EQ(expected[i].name, hook.events[i].name) << i;
      EXPECT_EQ(expected[i].index, hook.events[i].index) << i;
      EXPECT_NEAR(expected[i].value, hook.events[i].value, 1e-5) << i;
    }
    EXPECT_EQ(-3.0f, hook.events[4].vector.z) << "vectors as sent to OpenAL";
    EXPECT_EQ(2, hook.events[10].parameter);
    EXPECT_EQ(3, hook.events[11].parameter);
    EXPECT_EQ(9, hook.events[14].parameter);
    EXPECT_EQ(8u, hook.events[14].size);
    EXPECT_EQ(0, memcmp(abSmall, hook.events[14].data, 8));
    EXPECT_EQ(10, hook.events[15].parameter);
    EXPECT_EQ(0u, hook.events[15].size) << "more than 12 bytes arrive as size 0";
    EXPECT_EQ(pSample, hook.events[16].sample);
    EXPECT_EQ(pSample, hook.events[17].sample);
    pDrv->RemoveAudioHook(&hook);
    pDrv->ReleaseInterface();
  });
}

TEST(AudioDrvHooks, ASampleThatEndsByItselfIsReportedOnce) {
  RunWithOpenAL("null", "", [](const SRun&) {
    CAudioDrv* pDrv = InitAudioDriver(nullptr, 8, 0);
    void* pShort = HookLoadTone(pDrv, 0.02);
    CRecordingHook hook;
    pDrv->AddAudioHook(&hook);
    pDrv->AttachSample(3, pShort, nullptr, nullptr);
    hook.events.clear();
    long lTrack = 3;
    pDrv->PlayTracks(&lTrack, 1, 0);
    ALuint uiSource = CAudioOAL::m_pSource[3]->GetSource();
    ASSERT_TRUE(WaitFor([&] {
      ALint iState = 0;
      alGetSourcei(uiSource, AL_SOURCE_STATE, &iState);
      return iState == AL_STOPPED;
    }));
    pDrv->ProcessAudioHooks();
    pDrv->ProcessAudioHooks();
    ASSERT_EQ(1u, hook.Named("TrackPlay").size());
    std::vector<SHookEvent> stops = hook.Named("TrackStop");
    ASSERT_EQ(1u, stops.size());
    EXPECT_EQ(3, stops[0].index);
    EXPECT_EQ(pShort, stops[0].sample);
    pDrv->RemoveAudioHook(&hook);
    pDrv->ReleaseInterface();
  });
}

TEST(AudioDrvHooks, AddingAHookReplaysEveryTrack) {
  RunWithOpenAL("null", "", [](const SRun&) {
    CAudioDrv* pDrv = InitAudioDriver(nullptr, 8, 0);
    pDrv->SetTrackLevel(1, 0.25f);
    pDrv->SetTrackSolo(2, true);
    void* pSample = HookLoadTone(pDrv, 0.5);
    pDrv->AttachSample(4, pSample, nullptr, nullptr);
    long lTrack = 4;
    pDrv->PlayTracks(&lTrack, 1, 0);
    pDrv->StopTracks(&lTrack, 1);
    pDrv->AttachSample(5, pSample, nullptr, nullptr);  // never played: not stopped either
    CRecordingHook hook;
    pDrv->AddAudioHook(&hook);

    const char* const order[] = {"TrackLevel", "TrackMute", "TrackSolo", "TrackRecord", "TrackActiveSends",
                                 "TrackPitch", "TrackPosition", "TrackVelocity", "TrackOrientation",
                                 "TrackDirectLevel", "TrackDirectHFLevel"};
    const size_t kPerTrack = sizeof(order) / sizeof(order[0]);
    // Seven tracks (the audition track is left out); track 4 adds play and
    // stop, track 5 play.
    ASSERT_EQ(7 * kPerTrack + 3, hook.events.size());
    for (size_t i = 0; i < kPerTrack; ++i) EXPECT_EQ(order[i], hook.events[i].name);
    std::vector<SHookEvent> levels = hook.Named("TrackLevel");
    ASSERT_EQ(7u, levels.size());
    EXPECT_EQ(0.25, levels[1].value);
    std::vector<SHookEvent> mutes = hook.Named("TrackMute");
    EXPECT_EQ(1.0, mutes[0].value) << "under solo an unsoloed track shows as muted";
    EXPECT_EQ(0.0, mutes[2].value);
    for (const SHookEvent& e : hook.Named("TrackDirectLevel")) EXPECT_EQ(0.0, e.value);
    EXPECT_EQ(-1.0f, hook.events[8].vector.z) << "orientation as sent";
    std::vector<SHookEvent> plays = hook.Named("TrackPlay");
    ASSERT_EQ(2u, plays.size());
    EXPECT_EQ(4, plays[0].index);
    EXPECT_EQ(5, plays[1].index);
    EXPECT_EQ(nullptr, plays[0].sample);
    std::vector<SHookEvent> stops = hook.Named("TrackStop");
    ASSERT_EQ(1u, stops.size());
    EXPECT_EQ(4, stops[0].index);
    pDrv->RemoveAudioHook(&hook);
    pDrv->ReleaseInterface();
  });
}

TEST(AudioDrvHooks, RemovingAHookRemovesEveryEntryOfIt) {
  RunWithOpenAL("null", "", [](const SRun&) {
    CAudioDrv* pDrv = InitAudioDriver(nullptr, 2, 0);
    CRecordingHook a, b;
    pDrv->AddAudioHook(&a);
    pDrv->AddAudioHook(&a);
    pDrv->AddAudioHook(&b);
    pDrv->RemoveAudioHook(&a);
    a.events.clear();
    b.events.clear();
    pDrv->SetTrackLevel(0, 0.5f);
    pDrv->ProcessAudioHooks();
    EXPECT_TRUE(a.events.empty());
    EXPECT_EQ(1u, b.events.size());
    pDrv->RemoveAudioHook(&b);
    pDrv->ReleaseInterface();
  });
}

TEST(AudioDrvHooks, MuteUnderSoloActsOnTheSoloSwitch) {
  RunWithOpenAL("null", "", [](const SRun&) {
    CAudioDrv* pDrv = InitAudioDriver(nullptr, 10, 0);
    for (long t = 0; t < 9; ++t) pDrv->SetTrackLevel(t, 0.5f);
    pDrv->SetTrackMute(1, true);
    EXPECT_EQ(0.0f, HookGain(1));
    CRecordingHook hook;
    pDrv->AddAudioHook(&hook);
    hook.events.clear();

    pDrv->SetTrackSolo(3, true);
    EXPECT_EQ(0.5f, HookGain(3));
    EXPECT_EQ(0.0f, HookGain(0));
    // Solo reports every track: solo flag and the mute as seen.
    EXPECT_EQ(9u, hook.Named("TrackSolo").size());
    bool bMuted = false, bSoloed = false;
    EXPECT_EQ(1, pDrv->GetTrackMuteSolo(0, &bMuted, &bSoloed));
    EXPECT_TRUE(bMuted);
    EXPECT_FALSE(bSoloed);

    // Levels set while unsoloed are kept but stay silent.
    pDrv->SetTrackLevel(0, 0.75f);
    EXPECT_EQ(0.0f, HookGain(0));

    pDrv->SetTrackMute(7, false);
    EXPECT_EQ(2, pDrv->GetTrackMuteSolo(7, &bMuted, &bSoloed));
    EXPECT_FALSE(bMuted);
    EXPECT_TRUE(bSoloed);
    EXPECT_EQ(0.5f, HookGain(7));

    // Unpaired mutes of a track that is not soloed leave the count alone.
    pDrv->SetTrackMute(6, true);
    pDrv->SetTrackMute(6, true);
    EXPECT_EQ(2, pDrv->GetTrackMuteSolo(6, &bMuted, &bSoloed));
    pDrv->SetTrackMute(7, true);
    pDrv->SetTrackMute(7, true);
    EXPECT_EQ(1, pDrv->GetTrackMuteSolo(7, &bMuted, &bSoloed));
    EXPECT_EQ(0.0f, HookGain(7));

    // The last solo goes: every track's own mute applies again.
    hook.events.clear();
    pDrv->SetTrackSolo(3, false);
    EXPECT_EQ(0, pDrv->GetTrackMuteSolo(0, &bMuted, &bSoloed));
    EXPECT_EQ(0.75f, HookGain(0));
    EXPECT_EQ(0.0f, HookGain(1)) << "track 1 was muted before the solo";
    EXPECT_EQ(0.5f, HookGain(3));
    EXPECT_EQ(0.5f, HookGain(6));
    std::vector<SHookEvent> mutes = hook.Named("TrackMute");
    ASSERT_EQ(9u, mutes.size());
    EXPECT_EQ(1.0, mutes[1].value);
    EXPECT_EQ(0.0, mutes[0].value);
    // Solo of a track already soloed or unsoloed changes nothing.
    hook.events.clear();
    pDrv->SetTrackSolo(3, false);
    EXPECT_TRUE(hook.events.empty());

    pDrv->SetTrackRecord(2, true);
    ASSERT_EQ(1u, hook.Named("TrackRecord").size());
    EXPECT_TRUE(CAudioOAL::m_pSource[2]->GetRecord());
    pDrv->RemoveAudioHook(&hook);
    pDrv->ReleaseInterface();
  });
}

}  // namespace
