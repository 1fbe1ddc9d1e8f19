// What the driver plays, read back from OpenAL Soft's wave output.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "AudioTestSupport.h"
#include "NonTW/AudioDrv/AudioDrv.h"
#include "NonTW/AudioDrv/Source.h"

using namespace AudioDrvTest;

namespace {

const int kWaveRate = 48000;

// The tone is followed by 100 ms of silence, which keeps tones played one
// after the other apart in the output.
void* WaveLoadTone(CAudioDrv* pDrv, double frequency, double amplitude, double seconds) {
  std::vector<short> tone = MakeTone(frequency, amplitude, seconds, kWaveRate);
  tone.resize(tone.size() + kWaveRate / 10, 0);
  void* pSample = nullptr;
  EXPECT_TRUE(pDrv->LoadAudioSample(1, 16, kWaveRate, tone.size() * 2, tone.data(), &pSample, false));
  return pSample;
}

void WaveWaitUntilSilent(CAudioDrv* pDrv, std::initializer_list<long> tracks) {
  EXPECT_TRUE(WaitFor([&] {
    for (long t : tracks)
      if (pDrv->GetTrackPlayingState(t)) return false;
    return true;
  }));
}

void WavePlayAndWait(CAudioDrv* pDrv, long track) {
  pDrv->PlayTracks(&track, 1, 0);
  WaveWaitUntilSilent(pDrv, {track});
}

double WaveDb(double a, double b) { return 20.0 * log10(a / b); }

TEST(AudioDrvWave, TrackLevelsAreClampedAndHalfLevelIsSixDecibelsDown) {
  RunWithOpenAL("wave", "", [](const SRun& run) {
    CAudioDrv* pDrv = InitAudioDriver(nullptr, 8, 0);
    ASSERT_NE(nullptr, pDrv);
    void* pTone = WaveLoadTone(pDrv, 1000.0, 0.5, 0.25);
    pDrv->AttachSample(0, pTone, nullptr, nullptr);
    pDrv->SetTrackMode(0, 1);
    const float afLevels[] = {1.0f, 0.5f, 1.5f, std::numeric_limits<float>::quiet_NaN()};
    for (float fLevel : afLevels) {
      pDrv->SetTrackLevel(0, fLevel);
      WavePlayAndWait(pDrv, 0);
    }
    pDrv->ReleaseInterface();

    SWave wave;
    ASSERT_TRUE(ReadWave(run.wave, &wave));
    ASSERT_EQ(2, wave.channels);
    std::vector<SBurst> bursts = FindBursts(wave);
    ASSERT_EQ(3u, bursts.size()) << "the NaN level must play as silence";
    double rms[3];
    for (int i = 0; i < 3; ++i) {
      ASSERT_GT(bursts[i].count, 4800u);
      // The middle of each burst, clear of its edges.
      rms[i] = ChannelRMS(wave, 0, bursts[i].first + 2400, bursts[i].count - 4800);
    }
    EXPECT_NEAR(-6.0, WaveDb(rms[1], rms[0]), 0.3);
    EXPECT_NEAR(0.0, WaveDb(rms[2], rms[0]), 0.1) << "a level of 1.5 plays as 1.0";
  });
}

TEST(AudioDrvWave, WorldPositionsPanLeftAndRight) {
  RunWithOpenAL("wave", "", [](const SRun& run) {
    CAudioDrv* pDrv = InitAudioDriver(nullptr, 8, 0);
    void* pTone = WaveLoadTone(pDrv, 1000.0, 0.9, 0.25);
    pDrv->AttachSample(0, pTone, nullptr, nullptr);
    pDrv->SetTrackMode(0, 0);
    IAUDVector vRight = {10.0f, 0.0f, 0.0f};
    IAUDVector vLeft = {-10.0f, 0.0f, 0.0f};
    pDrv->SetTrackPosition(0, vRight);
    WavePlayAndWait(pDrv, 0);
    pDrv->SetTrackPosition(0, vLeft);
    WavePlayAndWait(pDrv, 0);
    pDrv->ReleaseInterface();

    SWave wave;
    ASSERT_TRUE(ReadWave(run.wave, &wave));
    std::vector<SBurst> bursts = FindBursts(wave, 50.0);
    ASSERT_EQ(2u, bursts.size());
    double firstL = ChannelRMS(wave, 0, bursts[0].first, bursts[0].count);
    double firstR = ChannelRMS(wave, 1, bursts[0].first, bursts[0].count);
    double secondL = ChannelRMS(wave, 0, bursts[1].first, bursts[1].count);
    double secondR = ChannelRMS(wave, 1, bursts[1].first, bursts[1].count);
    EXPECT_GT(firstR, 2.0 * firstL) << "runtime (10, 0, 0) is on the right";
    EXPECT_GT(secondL, 2.0 * secondR) << "runtime (-10, 0, 0) is on the left";
  });
}

// First 5 ms window in which the frequency is clearly present.
size_t WaveOnset(const SWave& wave, double frequency) {
  const size_t window = 240;
  for (size_t w = 0; w + window <= wave.Frames(); w += window)
    if (ComponentAmplitude(wave, frequency, w, window) > 2000.0) return w;
  return wave.Frames();
}

TEST(AudioDrvWave, TracksOfOnePlayCallStartTogether) {
  RunWithOpenAL("wave", "", [](const SRun& run) {
    CAudioDrv* pDrv = InitAudioDriver(nullptr, 8, 0);
    void* pLow = WaveLoadTone(pDrv, 1000.0, 0.4, 0.3);
    void* pHigh = WaveLoadTone(pDrv, 3000.0, 0.4, 0.3);
    pDrv->AttachSample(1, pLow, nullptr, nullptr);
    pDrv->AttachSample(4, pHigh, nullptr, nullptr);
    pDrv->SetTrackMode(1, 1);
    pDrv->SetTrackMode(4, 1);
    long alTracks[] = {1, 4};
    pDrv->PlayTracks(alTracks, 2, 0);
    WaveWaitUntilSilent(pDrv, {1, 4});
    pDrv->ReleaseInterface();

    SWave wave;
    ASSERT_TRUE(ReadWave(run.wave, &wave));
    size_t low = WaveOnset(wave, 1000.0);
    size_t high = WaveOnset(wave, 3000.0);
    ASSERT_LT(low, wave.Frames());
    ASSERT_LT(high, wave.Frames());
    // One output period of OpenAL Soft is 1024 frames by default.
    EXPECT_LE(low > high ? low - high : high - low, 1024u);
  });
}

double WaveZeroCrossingFrequency(const SWave& wave, const SBurst& burst) {
  size_t crossings = 0;
  size_t first = burst.first + 480, last = burst.first + burst.count - 480;
  for (size_t i = first + 1; i < last; ++i)
    if ((wave.At(i - 1, 0) < 0) != (wave.At(i, 0) < 0)) ++crossings;
  return crossings / 2.0 / (double(last - first) / wave.rate);
}

TEST(AudioDrvWave, PitchAboveTwoPlaysAtTwo) {
  RunWithOpenAL("wave", "", [](const SRun& run) {
    CAudioDrv* pDrv = InitAudioDriver(nullptr, 8, 0);
    void* pTone = WaveLoadTone(pDrv, 1000.0, 0.5, 0.4);
    pDrv->AttachSample(0, pTone, nullptr, nullptr);
    pDrv->SetTrackMode(0, 1);
    pDrv->SetTrackPitch(0, 3.0f);
    ALfloat fPitch = 0.0f;
    alGetSourcef(CAudioOAL::m_pSource[0]->GetSource(), AL_PITCH, &fPitch);
    EXPECT_FLOAT_EQ(2.0f, fPitch);
    WavePlayAndWait(pDrv, 0);
    pDrv->ReleaseInterface();

    SWave wave;
    ASSERT_TRUE(ReadWave(run.wave, &wave));
    std::vector<SBurst> bursts = FindBursts(wave);
    ASSERT_EQ(1u, bursts.size());
    EXPECT_NEAR(2000.0, WaveZeroCrossingFrequency(wave, bursts[0]), 40.0);
    EXPECT_NEAR(0.2 * wave.rate, double(bursts[0].count), 0.03 * wave.rate) << "twice the speed, half the length";
  });
}

TEST(AudioDrvWave, SoloSilencesTheOthersAndUnsoloRestoresOwnMutes) {
  RunWithOpenAL("wave", "", [](const SRun& run) {
    CAudioDrv* pDrv = InitAudioDriver(nullptr, 8, 0);
    const double afFreq[4] = {500.0, 1000.0, 1500.0, 2000.0};
    long alTracks[4] = {2, 3, 4, 5};
    for (int i = 0; i < 4; ++i) {
      pDrv->AttachSample(alTracks[i], WaveLoadTone(pDrv, afFreq[i], 0.2, 0.3), nullptr, nullptr);
      pDrv->SetTrackMode(alTracks[i], 1);
    }
    pDrv->SetTrackMute(2, true);
    pDrv->SetTrackSolo(3, true);
    pDrv->SetTrackSolo(5, true);
    pDrv->PlayTracks(alTracks, 4, 0);
    WaveWaitUntilSilent(pDrv, {2, 3, 4, 5});
    pDrv->SetTrackSolo(3, false);
    pDrv->SetTrackSolo(5, false);
    pDrv->PlayTracks(alTracks, 4, 0);
    WaveWaitUntilSilent(pDrv, {2, 3, 4, 5});
    pDrv->ReleaseInterface();

    SWave wave;
    ASSERT_TRUE(ReadWave(run.wave, &wave));
    std::vector<SBurst> bursts = FindBursts(wave, 100.0);
    ASSERT_EQ(2u, bursts.size());
    const bool abSoloed[4] = {false, true, false, true};
    const bool abAfter[4] = {false, true, true, true};  // track 2 keeps its own mute
    for (int b = 0; b < 2; ++b) {
      size_t first = bursts[b].first + 2400, count = 9600;
      for (int i = 0; i < 4; ++i) {
        double amp = ComponentAmplitude(wave, afFreq[i], first, count);
        bool expected = b == 0 ? abSoloed[i] : abAfter[i];
        if (expected)
          EXPECT_GT(amp, 1500.0) << "burst " << b << " track " << alTracks[i];
        else
          EXPECT_LT(amp, 100.0) << "burst " << b << " track " << alTracks[i];
      }
    }
  });
}

TEST(AudioDrvWave, StreamedChunksPlayInOrderWithoutAGapAndADryStreamRestarts) {
  RunWithOpenAL("wave", "", [](const SRun& run) {
    CAudioDrv* pDrv = InitAudioDriver(nullptr, 8, 0);
    // Eight chunks of 100 ms of one continuous 1 kHz tone, each chunk at its
    // own amplitude so that the order shows in the output.
    const int kChunks = 8;
    const size_t kChunkFrames = 4800;
    std::vector<std::vector<short>> chunks;
    for (int c = 0; c < kChunks; ++c) chunks.push_back(MakeTone(1000.0, 0.1 * (c + 1), 0.1, kWaveRate, 0.0));
    // The chunk that restarts the dry stream begins with 50 ms of silence.
    std::fill(chunks[kChunks - 1].begin(), chunks[kChunks - 1].begin() + kChunkFrames / 2, 0);
    void* pStream = nullptr;
    ASSERT_TRUE(pDrv->LoadAudioStreamingSample(1, 16, kWaveRate, kChunkFrames * 2, chunks[0].data(), &pStream,
                                               false));
    pDrv->AttachSample(0, pStream, nullptr, nullptr);
    pDrv->SetTrackMode(0, 1);
    long lTrack = 0;
    pDrv->PlayTracks(&lTrack, 1, 0);
    // The first four refills are asked for one by one: 4, 3, 2, 1.
    for (int c = 1; c <= 4; ++c) {
      EXPECT_EQ(5 - c, pDrv->GetTrackProcessedStreamBufferCount(0));
      EXPECT_TRUE(pDrv->UpdateTrackStreamBuffer(0, chunks[c].data(), kChunkFrames * 2));
    }
    // Then only finished buffers come back, to be refilled with the rest.
    int next = 5;
    while (next < kChunks - 1) {
      long lFree = 0;
      ASSERT_TRUE(WaitFor([&] { return (lFree = pDrv->GetTrackProcessedStreamBufferCount(0)) > 0; }));
      EXPECT_LE(lFree, 4);
      for (long i = 0; i < lFree && next < kChunks - 1; ++i, ++next)
        EXPECT_TRUE(pDrv->UpdateTrackStreamBuffer(0, chunks[next].data(), kChunkFrames * 2));
    }
    // Let the stream run dry; the next refill starts it again.
    ALuint uiSource = CAudioOAL::m_pSource[0]->GetSource();
    ASSERT_TRUE(WaitFor([&] {
      ALint iState = 0;
      alGetSourcei(uiSource, AL_SOURCE_STATE, &iState);
      return iState == AL_STOPPED;
    }));
    EXPECT_GT(pDrv->GetTrackProcessedStreamBufferCount(0), 0);
    EXPECT_TRUE(pDrv->UpdateTrackStreamBuffer(0, chunks[kChunks - 1].data(), kChunkFrames * 2));
    ALint iState = 0;
    alGetSourcei(uiSource, AL_SOURCE_STATE, &iState);
    EXPECT_EQ(AL_PLAYING, iState);
    ASSERT_TRUE(WaitFor([&] {
      alGetSourcei(uiSource, AL_SOURCE_STATE, &iState);
      return iState == AL_STOPPED;
    }));
    pDrv->ReleaseInterface();

    SWave wave;
    ASSERT_TRUE(ReadWave(run.wave, &wave));
    std::vector<SBurst> bursts = FindBursts(wave, 100.0);
    ASSERT_EQ(2u, bursts.size()) << "seven chunks without a gap, then the restarted one";
    EXPECT_NEAR(double(7 * kChunkFrames), double(bursts[0].count), 480.0);
    // No millisecond inside the seven chunks is silent.
    for (size_t f = bursts[0].first + 480; f + 480 < bursts[0].first + bursts[0].count; f += 48)
      ASSERT_GT(ChannelRMS(wave, 0, f, 48), 300.0) << "gap at frame " << f - bursts[0].first;
    // The level of each chunk, measured in its middle, rises chunk by chunk.
    double previous = 0.0;
    for (int c = 0; c < 7; ++c) {
      double rms = ChannelRMS(wave, 0, bursts[0].first + c * kChunkFrames + 1200, 2400);
      EXPECT_GT(rms, previous) << "chunk " << c;
      previous = rms;
    }
    double last = ChannelRMS(wave, 0, bursts[1].first + 600, 1200);
    EXPECT_GT(last, previous) << "the restarted stream plays the last chunk";
  });
}

}  // namespace
