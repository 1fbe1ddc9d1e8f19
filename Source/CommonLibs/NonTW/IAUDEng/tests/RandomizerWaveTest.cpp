// An interactive randomizer of three tone layers played by a player through
// the runtime on the OpenAL driver, its own timer thread cycling it: the
// layer the player's level selects is the one heard in OpenAL Soft's wave
// output.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "IAUDTestSupport.h"
#include "NonTW/AudioDrv/AudioIAUD.h"
#include "NonTW/AudioDrv/tests/AudioTestSupport.h"
#include "NonTW/IAUDEng/CPlayer.h"
#include "NonTW/IAUDEng/CSoundRandomizer.h"
#include "NonTW/IAUDEng/IAUDResourceManager.h"
#include "NonTW/IAUDEng/IAUDSampleBank.h"
#include "NonTW/IAUDEng/tests/ContentTestSupport.h"
#include "SampleTestSupport.h"

namespace {

TEST(RandomizerWave, OnlyTheSelectedLayerIsHeard) {
  AudioDrvTest::RunWithOpenAL("wave", "", [](const AudioDrvTest::SRun& run) {
    const int kRate = 48000;
    const double kTones[3] = {300.0, 700.0, 1500.0};
    iaudtest::TempDir dir;
    std::string samples = "RIFF isbf\n";
    std::string content = "RIFF icbf\n";
    for (int i = 0; i < 3; ++i) {
      std::vector<uint8_t> pcm = iaudtest::PcmBytes(AudioDrvTest::MakeTone(kTones[i], 0.5, 1.0, kRate));
      std::string file = "tone" + std::to_string(i) + ".bin";
      iaudtest::WriteFileBytes(dir / file, pcm);
      samples += " LIST samp\n  chunk indx u32 " + std::to_string(i) + "\n  chunk sinf u32 0 1000 48000 " +
                 std::to_string(pcm.size()) + " u16 16 0\n  chunk data file " + file + "\n end\n";
      content += contenttest::EventList((uint32_t)i, 0x10000u | (uint32_t)i);
      content += " LIST sdqu\n  chunk indx u32 " + std::to_string(i) +
                 "\n  chunk qinf i32 1 -1 -1\n  chunk qcnt fourcc snde u32 " + std::to_string(i) + "\n end\n";
    }
    content += " LIST sdri\n  chunk indx u32 0\n  chunk info u32 1 50 1 0\n  chunk rcnt fourcc sdqu u32 0 1 0 "
               "fourcc sdqu u32 1 2 0 fourcc sdqu u32 2 3 0\n  chunk srtn u32 0*32\n end\n";
    std::string samplePath = iaudtest::MakeRiff(dir, "tones", samples + "end\n");
    std::string contentPath = iaudtest::MakeRiff(dir, "layers", content + "end\n");
    ASSERT_FALSE(samplePath.empty());
    ASSERT_FALSE(contentPath.empty());

    IAUDRenderInterface* ri = RetrieveIAUDRenderInterface(nullptr, 8);
    ASSERT_NE(ri, nullptr);
    new IAUDResourceManager(ri);
    IAUDResourceManager::AddSampleBank(iaudtest::LoadSampleBank(samplePath), 0);
    IAUDContentBank* bank = iaudtest::LoadBank(contentPath);
    CSoundRandomizer* layers = bank->GetSoundRandomizer(0);
    ASSERT_NE(layers, nullptr);
    ASSERT_TRUE(layers->IsInteractive());

    CPlayer* player = new CPlayer();
    player->SetMode(1);
    player->AttachPrimaryContent(layers);
    player->StartPlayer();
    player->SetRPCLevel(2.0f);
    SPlayerStatus status{};
    EXPECT_TRUE(AudioDrvTest::WaitFor(
        [&] {
          player->GetStatus(&status);
          return status.nStatus == 0;
        },
        10.0))
        << "the play ends with its layers";
    IAUDResourceManager::ReleaseAll();  // destroys the player
    bank->RemoveObject();
    delete m_papiResourceManager;
    m_papiResourceManager = nullptr;
    ri->ReleaseInterface();

    AudioDrvTest::SWave wave;
    ASSERT_TRUE(AudioDrvTest::ReadWave(run.wave, &wave));
    std::vector<AudioDrvTest::SBurst> bursts = AudioDrvTest::FindBursts(wave, 100.0);
    ASSERT_GE(bursts.size(), 1u);
    size_t first = bursts[0].first + bursts[0].count / 4, count = bursts[0].count / 2;
    double heard = AudioDrvTest::ComponentAmplitude(wave, kTones[1], first, count);
    EXPECT_GT(heard, 1000.0);
    EXPECT_LT(AudioDrvTest::ComponentAmplitude(wave, kTones[0], first, count), heard / 20.0);
    EXPECT_LT(AudioDrvTest::ComponentAmplitude(wave, kTones[2], first, count), heard / 20.0);
  });
}

}  // namespace
