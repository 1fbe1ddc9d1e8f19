// Driver construction, track lists, parameter caches and the error lines,
// on OpenAL Soft's null output.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "AudioTestSupport.h"
#include "NonTW/AudioDrv/AudioDrv.h"
#include "NonTW/AudioDrv/Buffer.h"
#include "NonTW/AudioDrv/Source.h"

using namespace AudioDrvTest;

namespace {

void* ObjLoadMono(CAudioDrv* pDrv, double seconds = 0.5, bool bTemporary = false) {
  std::vector<short> data = MakeTone(440.0, 0.3, seconds);
  void* pSample = nullptr;
  EXPECT_TRUE(pDrv->LoadAudioSample(1, 16, 48000, data.size() * 2, data.data(), &pSample, bTemporary));
  return pSample;
}

void* ObjLoadStereo(CAudioDrv* pDrv) {
  std::vector<short> data(9600, 100);
  void* pSample = nullptr;
  EXPECT_TRUE(pDrv->LoadAudioSample(2, 16, 48000, data.size() * 2, data.data(), &pSample, false));
  return pSample;
}

ALuint ObjSourceName(long lTrack) { return CAudioOAL::m_pSource[lTrack]->GetSource(); }

float ObjSourceFloat(long lTrack, ALenum eParam) {
  ALfloat f = -1.0f;
  alGetSourcef(ObjSourceName(lTrack), eParam, &f);
  return f;
}

TEST(AudioDrvObjects, TrackCountFollowsTheRequestAndTheDevice) {
  struct {
    long requested;
    const char* conf;
    long tracks;
  } const cases[] = {
      {0, "sources = 300", 256},
      {1000, "sources = 300", 256},
      {12, "sources = 300", 12},
      {256, "sources = 64", 59},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.conf) + ", requested " + std::to_string(c.requested));
    RunWithOpenAL("null", c.conf, [&](const SRun&) {
      testing::internal::CaptureStdout();
      IAUDRenderInterface* pRender = RetrieveIAUDRenderInterface(nullptr, c.requested);
      std::string out = testing::internal::GetCapturedStdout();
      ASSERT_NE(nullptr, pRender);
      CAudioDrv* pDrv = g_pMainAudioDrv;
      EXPECT_EQ(c.tracks, pRender->GetTotalTrackCount());
      EXPECT_EQ(c.tracks - 1, pDrv->GetNumSources());
      EXPECT_EQ(0, pRender->GetTotalSlotCount());
      if (c.tracks < 256 && c.requested >= 256) {
        const std::string prefix = "ERROR: CAudioDrv::CAudioDrv->alGenSources reports ";
        EXPECT_EQ(0u, out.find(prefix)) << out;
        EXPECT_EQ(1, std::count(out.begin(), out.end(), '\n')) << out;
      } else {
        EXPECT_EQ("", out);
      }
      EXPECT_EQ(pDrv, InitAudioDriver(nullptr, 3, 0)) << "a second call returns the same driver";
      EXPECT_EQ(c.tracks, pDrv->GetTotalTrackCount());
      pRender->ReleaseInterface();
      EXPECT_EQ(nullptr, g_pMainAudioDrv);
      EXPECT_EQ(0u, CAudioOAL::GetCount()) << "every OpenAL object is gone";
    });
  }
}

TEST(AudioDrvObjects, AdoptedContextIsLeftToItsOwner) {
  RunWithOpenAL("null", "", [](const SRun&) {
    ALCdevice* pDevice = alcOpenDevice(nullptr);
    ASSERT_NE(nullptr, pDevice);
    ALCcontext* pContext = alcCreateContext(pDevice, nullptr);
    ASSERT_TRUE(alcMakeContextCurrent(pContext));
    CAudioDrv* pDrv = InitAudioDriver(pContext, 4, 0);
    EXPECT_EQ(1, CAudioOAL::m_lUserContext);
    EXPECT_EQ(4, pDrv->GetTotalTrackCount());
    ALint iModel = 0;
    iModel = alGetInteger(AL_DISTANCE_MODEL);
    EXPECT_EQ(AL_INVERSE_DISTANCE_CLAMPED, iModel);
    pDrv->ReleaseInterface();
    // Still ours and still current.
    EXPECT_EQ(pContext, alcGetCurrentContext());
    ALuint uiSource = 0;
    alGenSources(1, &uiSource);
    EXPECT_EQ(AL_NO_ERROR, alGetError());
    alDeleteSources(1, &uiSource);
    alcMakeContextCurrent(nullptr);
    alcDestroyContext(pContext);
    alcCloseDevice(pDevice);
  });
}

TEST(AudioDrvObjects, TrackListsStopAtTheFirstUnusableEntry) {
  RunWithOpenAL("null", "sources = 300", [](const SRun&) {
    CAudioDrv* pDrv = InitAudioDriver(nullptr, 256, 0);
    void* pSample = ObjLoadMono(pDrv, 2.0);
    for (long t : {2L, 3L}) pDrv->AttachSample(t, pSample, nullptr, nullptr);

    long alOutOfRange[] = {2, 400, 3};
    pDrv->PlayTracks(alOutOfRange, 3, 0);
    EXPECT_TRUE(pDrv->GetTrackPlayingState(2));
    EXPECT_FALSE(pDrv->GetTrackPlayingState(3));
    long alBoth[] = {2, 3};
    pDrv->StopTracks(alBoth, 2);
    EXPECT_FALSE(pDrv->GetTrackPlayingState(2));

    long alNoSample[] = {2, 5, 3};
    pDrv->PlayTracks(alNoSample, 3, 0);
    EXPECT_TRUE(pDrv->GetTrackPlayingState(2));
    EXPECT_FALSE(pDrv->GetTrackPlayingState(3)) << "track 5 has no sample and ends the list";
    pDrv->StopTracks(alBoth, 2);

    long alNegative[] = {-1, 2};
    pDrv->PlayTracks(alNegative, 2, 0);
    EXPECT_FALSE(pDrv->GetTrackPlayingState(2)) << "a negative index ends the list";
    pDrv->SetTrackLevel(-3, 0.5f);
    pDrv->SetTrackPitch(-3, 1.5f);
    EXPECT_FALSE(pDrv->GetTrackPlayingState(-1));
    EXPECT_EQ(0, pDrv->GetTrackProcessedStreamBufferCount(-1));

    // Lists longer than the collected-name table are cut to 256 entries.
    std::vector<long> aLong(1000, 2);
    pDrv->PlayTracks(aLong.data(), static_cast<long>(aLong.size()), 1);
    EXPECT_TRUE(pDrv->GetTrackPlayingState(2));
    pDrv->PauseTracks(aLong.data(), static_cast<long>(aLong.size()));
    EXPECT_TRUE(pDrv->GetTrackPlayingState(2)) << "a paused track counts as playing";
    EXPECT_EQ(AL_PAUSED, CAudioOAL::m_pSource[2]->GetState());
    pDrv->StopTracks(aLong.data(), static_cast<long>(aLong.size()));
    EXPECT_FALSE(pDrv->GetTrackPlayingState(2));

    // Looping is set by PlayTracks and cleared by StopTracksLooping.
    long lTrack = 2;
    pDrv->PlayTracks(&lTrack, 1, 1);
    ALint iLooping = 0;
    alGetSourcei(ObjSourceName(2), AL_LOOPING, &iLooping);
    EXPECT_EQ(AL_TRUE, iLooping);
    long alLoop[] = {2, 400, -1, 7};
    pDrv->StopTracksLooping(alLoop, 4);
    alGetSourcei(ObjSourceName(2), AL_LOOPING, &iLooping);
    EXPECT_EQ(AL_FALSE, iLooping);
    pDrv->StopAllTracks();
    EXPECT_FALSE(pDrv->GetTrackPlayingState(2));
    pDrv->ReleaseInterface();
  });
}

TEST(AudioDrvObjects, VectorsAreSentWithZNegatedAndOnlyWhenTheyChange) {
  RunWithOpenAL("null", "", [](const SRun&) {
    CAudioDrv* pDrv = InitAudioDriver(nullptr, 8, 0);
    IAUDVector v = {1.0f, 2.0f, 3.0f};
    pDrv->SetTrackPosition(1, v);
    EXPECT_EQ(3.0f, v.z) << "the caller's vector is not changed";
    ALfloat af[3] = {0, 0, 0};
    alGetSourcefv(ObjSourceName(1), AL_POSITION, af);
    EXPECT_EQ(1.0f, af[0]);
    EXPECT_EQ(2.0f, af[1]);
    EXPECT_EQ(-3.0f, af[2]);
    IAUDVector vCached = pDrv->GetTrackPosition(1);
    EXPECT_EQ(-3.0f, vCached.z);
    // Changed behind the driver's back: the same vector again sends nothing.
    alSource3f(ObjSourceName(1), AL_POSITION, 9.0f, 9.0f, 9.0f);
    pDrv->SetTrackPosition(1, v);
    alGetSourcefv(ObjSourceName(1), AL_POSITION, af);
    EXPECT_EQ(9.0f, af[0]);
    IAUDVector v2 = {1.0f, 2.0f, 4.0f};
    pDrv->SetTrackPosition(1, v2);
    alGetSourcefv(ObjSourceName(1), AL_POSITION, af);
    EXPECT_EQ(-4.0f, af[2]);

    // New tracks face (0, 0, -1) in OpenAL terms.
    alGetSourcefv(ObjSourceName(0), AL_DIRECTION, af);
    EXPECT_EQ(-1.0f, af[2]);
    IAUDVector vVel = {0.0f, 0.0f, 5.0f};
    pDrv->SetTrackVelocity(0, vVel);
    alGetSourcefv(ObjSourceName(0), AL_VELOCITY, af);
    EXPECT_EQ(-5.0f, af[2]);

    IAUDVector vListener = {4.0f, 5.0f, 6.0f};
    pDrv->SetListenerPosition(vListener);
    alGetListenerfv(AL_POSITION, af);
    EXPECT_EQ(-6.0f, af[2]);
    IAUDVector vFront = {0.0f, 0.0f, 1.0f}, vTop = {0.0f, 1.0f, 0.0f};
    pDrv->SetListenerOrientation(vFront, vTop);
    ALfloat afOrient[6];
    alGetListenerfv(AL_ORIENTATION, afOrient);
    EXPECT_EQ(-1.0f, afOrient[2]);
    EXPECT_EQ(1.0f, afOrient[4]);

    // Listener levels are clamped like track levels.
    pDrv->SetListenerLevel(3.0f);
    ALfloat fGain = 0.0f;
    alGetListenerf(AL_GAIN, &fGain);
    EXPECT_EQ(1.0f, fGain);
    pDrv->SetListenerLevel(-1.0f);
    alGetListenerf(AL_GAIN, &fGain);
    EXPECT_EQ(0.0f, fGain);
    pDrv->ReleaseInterface();
  });
}

TEST(AudioDrvObjects, DistanceAndConeRecordsReachOnlyMonoTracks) {
  RunWithOpenAL("null", "", [](const SRun&) {
    CAudioDrv* pDrv = InitAudioDriver(nullptr, 8, 0);
    EXPECT_NEAR(0.98783f, CSource::ComputeRolloff(64.0f, 2048.0f, -30.0f), 1e-5);
    EXPECT_NEAR(1.0f, CSource::ComputeRolloff(CSource::m_DefaultDistance.fMinDistance,
                                              CSource::m_DefaultDistance.fMaxDistance,
                                              CSource::m_DefaultDistance.fAttenuation), 1e-4);
    EXPECT_EQ(1.0f, CSource::ComputeRolloff(5.0f, 5.0f, -30.0f));
    EXPECT_EQ(0.0f, CSource::ComputeRolloff(1.0f, 10.0f, 6.0f)) << "a gain above 0 dB gives no rolloff";

    // New tracks: reference 64, maximum 2048.
    EXPECT_EQ(64.0f, ObjSourceFloat(0, AL_REFERENCE_DISTANCE));
    EXPECT_EQ(2048.0f, ObjSourceFloat(0, AL_MAX_DISTANCE));

    void* pMono = ObjLoadMono(pDrv);
    pDrv->AttachSample(0, pMono, nullptr, nullptr);
    EXPECT_EQ(1.0f, ObjSourceFloat(0, AL_REFERENCE_DISTANCE));
    EXPECT_NEAR(1584.89f, ObjSourceFloat(0, AL_MAX_DISTANCE), 0.01f);
    EXPECT_NEAR(1.0f, ObjSourceFloat(0, AL_ROLLOFF_FACTOR), 1e-4);

    IAUDSoundDistance dist = {64.0f, 2048.0f, -30.0f, 0};
    pDrv->UpdateBufferDistanceData(pMono, &dist);
    EXPECT_EQ(64.0f, ObjSourceFloat(0, AL_REFERENCE_DISTANCE));
    EXPECT_NEAR(0.98783f, ObjSourceFloat(0, AL_ROLLOFF_FACTOR), 1e-5);
    EXPECT_EQ(-30.0f, static_cast<CBuffer*>(pMono)->GetSoundDistance().fAttenuation);

    IAUDSoundCone cone = {90, 180, -600, 0, 0};
    pDrv->UpdateBufferSoundCone(pMono, &cone);
    EXPECT_EQ(90.0f, ObjSourceFloat(0, AL_CONE_INNER_ANGLE));
    EXPECT_EQ(180.0f, ObjSourceFloat(0, AL_CONE_OUTER_ANGLE));
    EXPECT_NEAR(exp(-600 * 0.0011513), ObjSourceFloat(0, AL_CONE_OUTER_GAIN), 1e-5);

    void* pStereo = ObjLoadStereo(pDrv);
    pDrv->AttachSample(1, pStereo, &dist, &cone);
    IAUDSoundDistance near = {5.0f, 10.0f, -20.0f, 0};
    pDrv->UpdateBufferDistanceData(pStereo, &near);
    EXPECT_EQ(64.0f, ObjSourceFloat(1, AL_REFERENCE_DISTANCE));
    EXPECT_EQ(2048.0f, ObjSourceFloat(1, AL_MAX_DISTANCE));
    EXPECT_EQ(360.0f, ObjSourceFloat(1, AL_CONE_OUTER_ANGLE));

    float fRef = 0.0f;
    EXPECT_EQ(0, pDrv->GetOpenALSourceProperty(1, AL_REFERENCE_DISTANCE, &fRef));
    EXPECT_EQ(64.0f, fRef);
    fRef = 12.0f;
    EXPECT_EQ(0, pDrv->SetOpenALSourceProperty(1, AL_REFERENCE_DISTANCE, &fRef));
    EXPECT_EQ(12.0f, ObjSourceFloat(1, AL_REFERENCE_DISTANCE));
    pDrv->ReleaseInterface();
  });
}

TEST(AudioDrvObjects, LevelsAndPitchesAreClampedAndCached) {
  RunWithOpenAL("null", "", [](const SRun&) {
    CAudioDrv* pDrv = InitAudioDriver(nullptr, 8, 0);
    struct {
      float in;
      float gain;
    } const levels[] = {{0.25f, 0.25f}, {1.5f, 1.0f}, {-0.5f, 0.0f}, {NAN, 0.0f}, {INFINITY, 1.0f}};
    for (const auto& c : levels) {
      pDrv->SetTrackLevel(3, c.in);
      EXPECT_EQ(c.gain, ObjSourceFloat(3, AL_GAIN)) << c.in;
      float fGain = -1.0f;
      pDrv->GetOpenALSourceProperty(3, AL_GAIN, &fGain);
      EXPECT_EQ(c.gain, fGain);
    }
    struct {
      float in;
      float pitch;
    } const pitches[] = {{1.5f, 1.5f}, {3.0f, 2.0f}, {INFINITY, 2.0f}, {0.5f, 0.5f},
                         {-1.0f, 0.5f}, {NAN, 0.5f}, {0.0f, 0.5f}};
    for (const auto& c : pitches) {
      pDrv->SetTrackPitch(3, c.in);
      EXPECT_EQ(c.pitch, ObjSourceFloat(3, AL_PITCH)) << c.in << ": a pitch of 0 or less keeps the last one";
    }
    // The audition track takes no level from the runtime.
    long lAudition = pDrv->GetAuditionSourceIndex();
    EXPECT_EQ(7, lAudition);
    pDrv->SetTrackLevel(lAudition, 0.3f);
    EXPECT_EQ(1.0f, ObjSourceFloat(lAudition, AL_GAIN));

    pDrv->SetTrackMode(3, 1);
    ALint iRelative = 0;
    alGetSourcei(ObjSourceName(3), AL_SOURCE_RELATIVE, &iRelative);
    EXPECT_EQ(AL_TRUE, iRelative);

    IAUDTrackState state;
    memset(&state, 0x7f, sizeof(state));
    pDrv->GetTrackState(3, &state);
    EXPECT_EQ(1.0f, state.flLevel) << "the last level set was infinity";
    EXPECT_EQ(0.5f, state.flPitch);
    EXPECT_EQ(0u, state.dwActiveSends);
    EXPECT_EQ(0u, state.dwMode);
    for (int s = 0; s < 32; ++s) {
      EXPECT_EQ(0.0f, state.aflSendLevel[s]) << "send " << s << " is reported as 0 without EAX";
      EXPECT_EQ(0.0f, state.aflSendHFLevel[s]);
    }
    for (const IAUDVector& v : {state.vPosition, state.vPathOffset}) {
      EXPECT_EQ(0.0f, v.x);
      EXPECT_EQ(0.0f, v.y);
      EXPECT_EQ(0.0f, v.z);
    }
    memset(&state, 0x7f, sizeof(state));
    float fUntouched = state.flPitch;
    pDrv->GetTrackState(lAudition, &state);
    EXPECT_EQ(0.0f, state.flLevel);
    EXPECT_EQ(fUntouched, state.flPitch) << "out of range the pitch is not written";

    // Slots do not exist: outputs stay untouched or zero.
    float fSlot = 42.0f;
    pDrv->GetSlotLevel(0, &fSlot);
    EXPECT_EQ(42.0f, fSlot);
    _GUID guid;
    memset(&guid, 0xff, sizeof(guid));
    pDrv->GetSlotEffect(0, &guid);
    const _GUID zero = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
    EXPECT_EQ(0, memcmp(&zero, &guid, sizeof(guid)));
    unsigned char abParam[8];
    memset(abParam, 0xff, sizeof(abParam));
    pDrv->GetSlotEffectParameter(0, 1, abParam, sizeof(abParam));
    EXPECT_EQ(0, abParam[0] | abParam[7]);
    EXPECT_FALSE(pDrv->VerifySlotUnlock(0));
    pDrv->ReleaseInterface();
  });
}

TEST(AudioDrvObjects, SamplesAreFreedWithTheirTracksAndTemporaryOnesByTheirStop) {
  RunWithOpenAL("null", "", [](const SRun&) {
    CAudioDrv* pDrv = InitAudioDriver(nullptr, 8, 0);
    void* pSample = ObjLoadMono(pDrv);
    void* pTemporary = ObjLoadMono(pDrv, 0.5, true);
    EXPECT_EQ(2, CAudioOAL::m_lNumBuffers);
    EXPECT_TRUE(pDrv->VerifyValidBuffer(static_cast<CBuffer*>(pTemporary)));
    EXPECT_FALSE(pDrv->VerifyValidBuffer(pDrv->GetAuditionBuffer())) << "the audition buffer is not listed";

    pDrv->AttachSample(1, pSample, nullptr, nullptr);
    pDrv->AttachSample(2, pTemporary, nullptr, nullptr);
    long alTracks[] = {1, 2};
    pDrv->PlayTracks(alTracks, 2, 0);
    pDrv->StopTracks(alTracks, 2);
    EXPECT_FALSE(pDrv->VerifyValidBuffer(static_cast<CBuffer*>(pTemporary)));
    EXPECT_EQ(nullptr, CAudioOAL::m_pSource[2]->GetAttachedBuffer());
    EXPECT_EQ(AL_STOPPED, CAudioOAL::m_pSource[2]->GetSetState());
    EXPECT_EQ(1, CAudioOAL::m_lNumBuffers);

    int iNotASample = 0;
    pDrv->FreeAudioSample(&iNotASample);
    EXPECT_EQ(1, CAudioOAL::m_lNumBuffers);
    pDrv->FreeAudioSample(pSample);
    EXPECT_EQ(0, CAudioOAL::m_lNumBuffers);
    EXPECT_EQ(nullptr, CAudioOAL::m_pSource[1]->GetAttachedBuffer());

    // A load OpenAL refuses leaves no sample behind.
    testing::internal::CaptureStdout();
    short aOdd[3] = {1, 2, 3};
    void* pBad = &iNotASample;
    EXPECT_FALSE(pDrv->LoadAudioSample(2, 16, 48000, 3, aOdd, &pBad, false));
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(nullptr, pBad);
    EXPECT_EQ(0u, out.find("ERROR: CBuffer::LoadBuffer->alBufferData reports ")) << out;
    EXPECT_EQ(0, CAudioOAL::m_lNumBuffers);
    pDrv->ReleaseInterface();
  });
}

TEST(AudioDrvObjects, SampleFormatsFollowChannelsAndBits) {
  RunWithOpenAL("null", "", [](const SRun&) {
    CAudioDrv* pDrv = InitAudioDriver(nullptr, 4, 0);
    ASSERT_NE(0, CAudioOAL::m_lMonoIMA4Enum);
    ASSERT_NE(0, CAudioOAL::m_lStereoIMA4Enum);
    // One IMA4 block holds 65 frames: 36 bytes per channel.
    unsigned char abData[144];
    memset(abData, 0, sizeof(abData));
    struct {
      unsigned long channels;
      unsigned short bits;
      unsigned long size;
      long format;
      uint32_t mono;
    } const cases[] = {
        {1, 8, 64, AL_FORMAT_MONO8, 1},
        {1, 16, 64, AL_FORMAT_MONO16, 1},
        {1, 4, 36, CAudioOAL::m_lMonoIMA4Enum, 1},
        {2, 8, 64, AL_FORMAT_STEREO8, 0},
        {2, 16, 64, AL_FORMAT_STEREO16, 0},
        {2, 4, 72, CAudioOAL::m_lStereoIMA4Enum, 0},
    };
    for (const auto& c : cases) {
      for (bool bStreaming : {false, true}) {
        void* pSample = nullptr;
        bool bLoaded = bStreaming
                           ? pDrv->LoadAudioStreamingSample(c.channels, c.bits, 22050, c.size, abData, &pSample, false)
                           : pDrv->LoadAudioSample(c.channels, c.bits, 22050, c.size, abData, &pSample, false);
        ASSERT_TRUE(bLoaded) << c.channels << " channels, " << c.bits << " bits";
        CBuffer* pBuffer = static_cast<CBuffer*>(pSample);
        EXPECT_EQ(c.format, pBuffer->GetBufferFormat());
        EXPECT_EQ(c.mono, pBuffer->GetBufferChannelCount());
        EXPECT_EQ(c.bits, pBuffer->GetBitsPerSample());
        EXPECT_EQ(22050u, pBuffer->GetSamplesPerSecond());
        EXPECT_EQ(bStreaming ? 0u : c.size, pBuffer->GetSize());
        EXPECT_EQ(bStreaming, pBuffer->IsBufferStreaming());
        pDrv->FreeAudioSample(pSample);
      }
    }
    // An IMA4 size that is not whole blocks is refused by OpenAL.
    testing::internal::CaptureStdout();
    void* pSample = nullptr;
    EXPECT_FALSE(pDrv->LoadAudioStreamingSample(1, 4, 22050, 35, abData, &pSample, false));
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(0u, out.find("ERROR: CBuffer::LoadStreamBuffer->alBufferData reports ")) << out;
    EXPECT_EQ(0, CAudioOAL::m_lNumBuffers);
    pDrv->ReleaseInterface();
  });
}

TEST(AudioDrvObjects, StreamingAndStaticTracksStopTogether) {
  RunWithOpenAL("null", "", [](const SRun&) {
    CAudioDrv* pDrv = InitAudioDriver(nullptr, 8, 0);
    std::vector<short> chunk = MakeTone(440.0, 0.3, 1.0);
    void* pStream = nullptr;
    ASSERT_TRUE(pDrv->LoadAudioStreamingSample(1, 16, 48000, chunk.size() * 2, chunk.data(), &pStream, false));
    void* pStatic = ObjLoadMono(pDrv, 2.0);
    pDrv->AttachSample(0, pStream, nullptr, nullptr);
    pDrv->AttachSample(1, pStatic, nullptr, nullptr);
    long alTracks[] = {0, 1};
    pDrv->PlayTracks(alTracks, 2, 0);
    CSource* pStreamTrack = CAudioOAL::m_pSource[0];
    EXPECT_EQ(CSource::BUFFER_QUEUE_COUNT, pStreamTrack->GetStreamBuffersCount());
    EXPECT_EQ(4, pDrv->GetTrackProcessedStreamBufferCount(0));
    EXPECT_TRUE(pDrv->UpdateTrackStreamBuffer(0, chunk.data(), chunk.size() * 2));
    // Playing again keeps the stream buffers it has.
    ALuint auiBefore[CSource::BUFFER_QUEUE_COUNT];
    memcpy(auiBefore, pStreamTrack->GetStreamBuffers(), sizeof(auiBefore));
    long lTrack = 0;
    pDrv->PlayTracks(&lTrack, 1, 0);
    EXPECT_EQ(CSource::BUFFER_QUEUE_COUNT, pStreamTrack->GetStreamBuffersCount());
    EXPECT_EQ(0, memcmp(auiBefore, pStreamTrack->GetStreamBuffers(), sizeof(auiBefore)));
    for (ALuint uiName : auiBefore) EXPECT_TRUE(alIsBuffer(uiName));
    EXPECT_TRUE(pDrv->GetTrackPlayingState(0));
    EXPECT_TRUE(pDrv->GetTrackPlayingState(1));

    pDrv->StopTracks(alTracks, 2);
    EXPECT_EQ(AL_STOPPED, pStreamTrack->GetSetState()) << "the stop is recorded at once";
    EXPECT_EQ(0, pStreamTrack->GetStreamBuffersCount());
    EXPECT_EQ(0, pDrv->GetTrackProcessedStreamBufferCount(0));
    EXPECT_FALSE(pDrv->UpdateTrackStreamBuffer(0, chunk.data(), chunk.size() * 2));
    EXPECT_FALSE(pDrv->GetTrackPlayingState(0));
    EXPECT_FALSE(pDrv->GetTrackPlayingState(1));
    EXPECT_EQ(pStream, pStreamTrack->GetAttachedBuffer()) << "the stream stays attached";
    for (ALuint uiName : auiBefore) EXPECT_FALSE(alIsBuffer(uiName)) << "the stop deletes the stream buffers";
    pDrv->ReleaseInterface();
  });
}

TEST(AudioDrvObjects, AuditionUsesTheLastTrackAndItsOwnBuffer) {
  RunWithOpenAL("null", "", [](const SRun&) {
    CAudioDrv* pDrv = InitAudioDriver(nullptr, 8, 0);
    std::vector<short> data = MakeTone(440.0, 0.3, 2.0);
    EXPECT_TRUE(pDrv->SetAuditionBufferData(1, 16, 48000, data.size() * 2, data.data()));
    CBuffer* pAudition = pDrv->GetAuditionBuffer();
    ASSERT_NE(nullptr, pAudition);
    pDrv->AttachSample(2, pAudition, nullptr, nullptr);
    EXPECT_EQ(nullptr, CAudioOAL::m_pSource[2]->GetAttachedBuffer()) << "the track argument is ignored";
    long lLast = pDrv->GetAuditionSourceIndex();
    EXPECT_EQ(pAudition, CAudioOAL::m_pSource[lLast]->GetAttachedBuffer());
    EXPECT_FALSE(pDrv->GetAuditionSourcePlayback());
    pDrv->PlayTracks(&lLast, 1, 0);
    EXPECT_TRUE(pDrv->GetAuditionSourcePlayback());
    pDrv->StopAllTracks();
    EXPECT_TRUE(pDrv->GetAuditionSourcePlayback()) << "StopAllTracks leaves the audition track alone";
    pDrv->PauseTracks(&lLast, 1);
    EXPECT_FALSE(pDrv->GetAuditionSourcePlayback()) << "paused is not playing";
    // New data detaches the buffer first.
    EXPECT_TRUE(pDrv->SetAuditionBufferData(1, 16, 48000, data.size(), data.data()));
    EXPECT_EQ(nullptr, CAudioOAL::m_pSource[lLast]->GetAttachedBuffer());
    pDrv->ReleaseInterface();
  });
}

TEST(AudioDrvObjects, ErrorLinesNameTheCallAndTheCode) {
  struct {
    int code;
    const char* line;
  } const cases[] = {
      {AL_INVALID_VALUE, "ERROR: here reports AL_INVALID_VALUE error.\n"},
      {AL_NO_ERROR, "ERROR: here reports AL_NO_ERROR error.\n"},
      {AL_INVALID_NAME, "ERROR: here reports AL_INVALID_NAME error.\n"},
      {AL_INVALID_ENUM, "ERROR: here reports AL_INVALID_ENUM error.\n"},
      {AL_INVALID_OPERATION, "ERROR: here reports AL_INVALID_OPERATION error.\n"},
      {AL_OUT_OF_MEMORY, "ERROR: here reports AL_OUT_OF_MEMORY error.\n"},
      {-1, "ERROR: here <- DEBUG_MESSAGE\n"},
      {0xBEEF, "ERROR: here reports unknown error beef.\n"},
  };
  for (const auto& c : cases) {
    testing::internal::CaptureStdout();
    CAudioOAL::ReportErrorCode(c.code, "here");
    EXPECT_EQ(c.line, testing::internal::GetCapturedStdout());
  }
  testing::internal::CaptureStdout();
  CAudioOAL::ReportErrorCode(AL_INVALID_VALUE, std::string(449, 'x').c_str());
  EXPECT_EQ("Error report string exceeded max length of 448 characters.\n", testing::internal::GetCapturedStdout());
  testing::internal::CaptureStdout();
  CAudioOAL::ReportErrorCode(AL_INVALID_VALUE, std::string(448, 'x').c_str());
  EXPECT_EQ("ERROR: " + std::string(448, 'x') + " reports AL_INVALID_VALUE error.\n",
            testing::internal::GetCapturedStdout());
  testing::internal::CaptureStdout();
  CAudioOAL::ReportEAXErrorCode(-7, "eax");
  EXPECT_EQ("ERROR: eax reports unknown error -7.\n", testing::internal::GetCapturedStdout());
}

}  // namespace
