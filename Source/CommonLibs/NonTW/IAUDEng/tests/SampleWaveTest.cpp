// A streamed sample played end to end through the OpenAL render driver,
// read back from OpenAL Soft's wave output.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "IAUDTestSupport.h"
#include "NonTW/AudioDrv/AudioDrv.h"
#include "NonTW/AudioDrv/tests/AudioTestSupport.h"
#include "NonTW/IAUDEng/CSample.h"
#include "NonTW/IAUDEng/IAUDResourceManager.h"
#include "NonTW/IAUDEng/IAUDSampleBank.h"
#include "SampleTestSupport.h"

namespace {

// The driver's own answers, for one sample on one track.
class WaveTracks final : public IAUDStreamTracks {
 public:
  WaveTracks(CAudioDrv* driver, CSample* sample) : m_pDriver(driver), m_pSample(sample) {}
  bool IsTrackPlaying(long track, void*, long*) override { return m_pDriver->GetTrackPlayingState(track); }
  CSample* GetTrackSample(long, void*) override { return m_pSample; }
  long GetTrackLoopCount(long) const override { return 0; }
  void DecrementTrackLoopCount(long) override {}

 private:
  CAudioDrv* m_pDriver;
  CSample* m_pSample;
};

TEST(IAUDSampleWave, AStreamedToneOfThreeSecondsPlaysWithoutAGap) {
  AudioDrvTest::RunWithOpenAL("wave", "", [](const AudioDrvTest::SRun& run) {
    const int kRate = 48000;
    std::vector<short> tone = AudioDrvTest::MakeTone(440.0, 0.5, 3.0, kRate);
    std::vector<uint8_t> pcm = iaudtest::PcmBytes(tone);
    iaudtest::TempDir dir;
    iaudtest::WriteFileBytes(dir / "tone.bin", pcm);
    std::string path = iaudtest::MakeRiff(dir, "tone", "RIFF isbf\n chunk stri u32 250\n LIST samp\n  chunk indx u32 0\n"
                                                       "  chunk sinf u32 0 0 48000 " + std::to_string(pcm.size()) +
                                                       " u16 16 0\n  chunk data file tone.bin\n end\nend\n");
    ASSERT_FALSE(path.empty());
    CAudioDrv* driver = InitAudioDriver(nullptr, 8, 0);
    ASSERT_NE(driver, nullptr);
    IAUDResourceManager::m_pRenderInterface = driver;
    IAUDSampleBank* bank = iaudtest::LoadSampleBank(path);
    CSample* sample = bank->GetBankSample(0);
    ASSERT_NE(sample, nullptr);
    WaveTracks tracks(driver, sample);
    g_pStreamTracks = &tracks;
    sample->AttachSample(0);
    ASSERT_EQ(bank->GetStreamInstanceCount(), 1);
    long track = 0;
    driver->PlayTracks(&track, 1, 0);
    // Once a frame, as the game does, until the whole sample is handed over.
    EXPECT_TRUE(AudioDrvTest::WaitFor(
        [&] {
          bank->ProcessActiveStreams();
          return bank->GetStreamInstanceCount() == 0;
        },
        20.0));
    EXPECT_TRUE(AudioDrvTest::WaitFor([&] { return !driver->GetTrackPlayingState(0); }, 20.0));
    g_pStreamTracks = nullptr;
    bank->RemoveObject();
    IAUDResourceManager::m_pRenderInterface = nullptr;
    driver->ReleaseInterface();

    AudioDrvTest::SWave wave;
    ASSERT_TRUE(AudioDrvTest::ReadWave(run.wave, &wave));
    std::vector<AudioDrvTest::SBurst> bursts = AudioDrvTest::FindBursts(wave, 100.0);
    ASSERT_EQ(bursts.size(), 1u) << "one tone, no gap";
    EXPECT_NEAR((double)bursts[0].count, 3.0 * kRate, 0.02 * kRate);
    for (size_t f = bursts[0].first + 480; f + 480 < bursts[0].first + bursts[0].count; f += 48)
      ASSERT_GT(AudioDrvTest::ChannelRMS(wave, 0, f, 48), 300.0) << "gap at frame " << f - bursts[0].first;
  });
}

}  // namespace
