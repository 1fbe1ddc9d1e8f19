// A sample played as a player's content through the runtime on the OpenAL
// driver, its own timer thread cycling the player, read back from OpenAL
// Soft's wave output.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "IAUDTestSupport.h"
#include "NonTW/AudioDrv/AudioIAUD.h"
#include "NonTW/AudioDrv/tests/AudioTestSupport.h"
#include "NonTW/IAUDEng/CPlayer.h"
#include "NonTW/IAUDEng/CSample.h"
#include "NonTW/IAUDEng/IAUDResourceManager.h"
#include "NonTW/IAUDEng/IAUDSampleBank.h"
#include "SampleTestSupport.h"

namespace {

TEST(PlayerWave, ASampleAsContentIsHeardForItsLengthAndThePlayerStops) {
  AudioDrvTest::RunWithOpenAL("wave", "", [](const AudioDrvTest::SRun& run) {
    const int kRate = 48000;
    std::vector<short> tone = AudioDrvTest::MakeTone(440.0, 0.5, 1.0, kRate);
    std::vector<uint8_t> pcm = iaudtest::PcmBytes(tone);
    iaudtest::TempDir dir;
    iaudtest::WriteFileBytes(dir / "tone.bin", pcm);
    std::string path = iaudtest::MakeRiff(dir, "tone", "RIFF isbf\n LIST samp\n  chunk indx u32 0\n"
                                                       "  chunk sinf u32 0 1000 48000 " + std::to_string(pcm.size()) +
                                                       " u16 16 0\n  chunk data file tone.bin\n end\nend\n");
    ASSERT_FALSE(path.empty());
    IAUDRenderInterface* ri = RetrieveIAUDRenderInterface(nullptr, 8);
    ASSERT_NE(ri, nullptr);
    new IAUDResourceManager(ri);
    IAUDSampleBank* bank = iaudtest::LoadSampleBank(path);
    IAUDResourceManager::AddSampleBank(bank, 0);
    CSample* sample = bank->GetBankSample(0);
    ASSERT_NE(sample, nullptr);

    CPlayer* player = new CPlayer();
    player->SetMode(1);
    player->AttachPrimaryContent(sample);
    player->StartPlayer();
    SPlayerStatus status{};
    EXPECT_TRUE(AudioDrvTest::WaitFor(
        [&] {
          player->GetStatus(&status);
          return status.nStatus == 0;
        },
        10.0));
    IAUDResourceManager::ReleaseAll();  // destroys the player
    delete m_papiResourceManager;
    m_papiResourceManager = nullptr;
    ri->ReleaseInterface();

    AudioDrvTest::SWave wave;
    ASSERT_TRUE(AudioDrvTest::ReadWave(run.wave, &wave));
    std::vector<AudioDrvTest::SBurst> bursts = AudioDrvTest::FindBursts(wave, 100.0);
    ASSERT_EQ(bursts.size(), 1u);
    EXPECT_NEAR((double)bursts[0].count, 1.0 * wave.rate, 0.05 * wave.rate);
  });
}

}  // namespace
