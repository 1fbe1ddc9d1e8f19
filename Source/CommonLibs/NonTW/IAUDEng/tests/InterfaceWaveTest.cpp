// The programming interface end to end on the OpenAL driver: a project file
// with a content bank and a streaming sample bank is loaded, a streamed
// sample is played on a player as the game plays its cues, served once a
// frame, then stopped by its group; read back from OpenAL Soft's wave output.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "NonTW/AudioDrv/AudioIAUD.h"
#include "NonTW/AudioDrv/tests/AudioTestSupport.h"
#include "NonTW/IAUDEng/CPlayer.h"
#include "NonTW/IAUDEng/IAUDInterface.h"
#include "NonTW/IAUDEng/tests/IAUDTestSupport.h"
#include "NonTW/IAUDEng/tests/InterfaceTestSupport.h"
#include "NonTW/IAUDEng/tests/SampleTestSupport.h"

namespace {

TEST(InterfaceWave, AProjectsStreamedSamplePlaysWithoutAGapAndStopsWithItsGroup) {
  AudioDrvTest::RunWithOpenAL("wave", "", [](const AudioDrvTest::SRun& run) {
    const int kRate = 48000;
    std::vector<uint8_t> pcm = iaudtest::PcmBytes(AudioDrvTest::MakeTone(440.0, 0.5, 2.0, kRate));
    iaudtest::TempDir dir;
    iaudtest::WriteFileBytes(dir / "tone.bin", pcm);
    std::string cues =
        iaudtest::MakeRiff(dir, "cues",
                           "RIFF icbf\n chunk titl text \"Cues\"\n " + interfacetest::EffectIndexChunk({{"Hall", 0}}) +
                               " LIST gbef\n"
                               "  chunk indx u32 0\n  chunk titl text \"Hall\"\n end\nend\n");
    std::string samples = iaudtest::MakeRiff(
        dir, "samples",
        "RIFF isbf\n chunk titl text \"Streams\"\n chunk stri u32 250\n LIST samp\n  chunk indx u32 0\n"
        "  chunk titl text \"Tone\"\n  chunk isgn text \"Sfx\"\n  chunk sinf u32 0 2000 48000 " +
            std::to_string(pcm.size()) + " u16 16 0\n  chunk data file tone.bin\n end\nend\n");
    ASSERT_FALSE(cues.empty());
    ASSERT_FALSE(samples.empty());
    std::string project = iaudtest::MakeRiff(
        dir, "game", "RIFF isac\n chunk icbr text \"" + cues + "\"\n chunk isbr u32 0 text \"" + samples + "\"\nend\n");
    ASSERT_FALSE(project.empty());

    IAUDRenderInterface* ri = RetrieveIAUDRenderInterface(nullptr, 8);
    ASSERT_NE(ri, nullptr);
    IAUDInterface* audio = RetrieveIAUDInterface(ri);
    ASSERT_NE(audio, nullptr);
    ASSERT_EQ(audio->LoadFile(project.c_str()), 0);
    void* hall = nullptr;
    EXPECT_EQ(audio->GetContentHandle(&hall, "Hall", nullptr), kIAUD_NO_OBJECT);  // not in the project itself
    EXPECT_EQ(audio->GetContentHandle(&hall, "Hall", IAUDAllContentBanks()), 0);
    uint32_t slot = 99;
    ASSERT_EQ(audio->GetSampleBankIndex(&slot, "Streams"), 0);
    ASSERT_EQ(slot, 0u);
    void* tone = nullptr;
    ASSERT_EQ(audio->GetSampleHandle(&tone, "Tone", slot), 0);
    void* group = nullptr;
    ASSERT_EQ(audio->GetSampleGroupHandle(&group, tone), 0);
    ASSERT_NE(group, nullptr);

    void* player = nullptr;
    ASSERT_EQ(audio->CreateAudioPlayer(&player), 0);
    IAUDVector origin{0, 0, 0};
    ASSERT_EQ(audio->AttachPlayerPrimaryContent(player, tone), 0);
    ASSERT_EQ(audio->SetAudioPlayerMode(player, 1), 0);
    ASSERT_EQ(audio->SetAudioPlayerPosition(player, origin), 0);
    SPlayerStatus status{};
    auto frame = [&] {
      audio->UpdateStreamingSampleBanks();
      audio->GetAudioPlayerStatus(player, &status);
      return status.nStatus == 0;
    };
    // The whole tone, served once a frame.
    ASSERT_EQ(audio->PlayAudioPlayer(player, 0, nullptr), 0);
    EXPECT_TRUE(AudioDrvTest::WaitFor(frame, 20.0));
    // Frames for a while: a stretch of silence, or a stretch of the tone.
    auto frames = [&](double seconds) {
      AudioDrvTest::WaitFor(
          [&] {
            frame();
            return false;
          },
          seconds);
    };
    frames(0.3);
    // Again, stopped by its group after a while.
    ASSERT_EQ(audio->PlayAudioPlayer(player, 0, nullptr), 0);
    frames(0.5);
    EXPECT_NE(status.nStatus, 0);
    EXPECT_EQ(audio->StopAllAudio(group), 0);
    EXPECT_TRUE(AudioDrvTest::WaitFor(frame, 5.0));
    EXPECT_EQ(status.nStatus, 0);

    EXPECT_EQ(audio->ReleaseAllResources(), 0);
    audio->ReleaseInterface();
    ri->ReleaseInterface();

    AudioDrvTest::SWave wave;
    ASSERT_TRUE(AudioDrvTest::ReadWave(run.wave, &wave));
    std::vector<AudioDrvTest::SBurst> bursts = AudioDrvTest::FindBursts(wave, 100.0);
    ASSERT_EQ(bursts.size(), 2u) << "the whole tone, then the stopped one";
    EXPECT_NEAR((double)bursts[0].count, 2.0 * wave.rate, 0.03 * wave.rate);
    for (size_t f = bursts[0].first + 480; f + 480 < bursts[0].first + bursts[0].count; f += 48)
      ASSERT_GT(AudioDrvTest::ChannelRMS(wave, 0, f, 48), 300.0) << "gap at frame " << f - bursts[0].first;
    EXPECT_LT((double)bursts[1].count, 1.5 * wave.rate);
  });
}

}  // namespace
