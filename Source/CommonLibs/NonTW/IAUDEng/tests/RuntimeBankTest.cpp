// The opened runtime with the banks it loads: a project read through the
// resource manager, its samples played on voices and streamed through the
// voice controller's track answers, on the recording driver.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "RecordingRender.h"
#include "IAUDTestSupport.h"
#include "NonTW/IAUDEng/CGlobalEffect.h"
#include "NonTW/IAUDEng/CSample.h"
#include "NonTW/IAUDEng/IAUDContentBank.h"
#include "NonTW/IAUDEng/IAUDFileObject.h"
#include "NonTW/IAUDEng/IAUDResourceManager.h"
#include "NonTW/IAUDEng/IAUDSampleBank.h"
#include "NonTW/IAUDEng/IAUDScheduler.h"
#include "NonTW/IAUDEng/IAUDVoiceController.h"
#include "NonTW/IAUDEng/IAUDVorbis.h"
#include "SampleTestSupport.h"

namespace {

using namespace iaudtest;

std::vector<uint8_t> RuntimeBankRamp(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = (uint8_t)(i * 5 + i / 253);
  return v;
}

std::vector<uint8_t> RuntimeBankSlice(const std::vector<uint8_t>& v, size_t from, size_t n) {
  return std::vector<uint8_t>(v.begin() + (long)from, v.begin() + (long)(from + n));
}

// A project naming a content bank with two global effects on one index, a
// resident sample bank in slot 3 and a streaming one in slot 4, opened on
// the recording driver and loaded through the resource manager.
class RuntimeBankTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resident = RuntimeBankRamp(64);
    streamed = RuntimeBankRamp(100000);
    WriteFileBytes(dir / "short.bin", resident);
    WriteFileBytes(dir / "long.bin", streamed);
    std::string effects = MakeRiff(dir, "effects", R"(
RIFF icbf
  chunk titl text "Effects"
  LIST gbef
    chunk titl text "First"
    chunk indx u32 1
  end
  LIST gbef
    chunk titl text "Second"
    chunk indx u32 1
  end
end
)");
    std::string residentBank = MakeRiff(dir, "resident", R"(
RIFF isbf
  LIST samp
    chunk indx u32 2
    chunk sinf u32 0 0 22050 64 u16 16 0
    chunk data file short.bin
  end
end
)");
    // 20000 mono frames a second: 1000 ms packets of 40000 bytes, 2500 ms in all.
    std::string streamingBank = MakeRiff(dir, "streaming", R"(
RIFF isbf
  chunk stri u32 1000
  LIST samp
    chunk indx u32 0
    chunk sinf u32 0 0 20000 100000 u16 16 0
    chunk data file long.bin
  end
end
)");
    ASSERT_FALSE(effects.empty());
    ASSERT_FALSE(residentBank.empty());
    ASSERT_FALSE(streamingBank.empty());
    project = MakeRiff(dir, "project",
                       "RIFF isac\n  chunk icbr text \"" + effects + "\"\n  chunk isbr u32 3 text \"" + residentBank +
                           "\"\n  chunk isbr u32 4 text \"" + streamingBank + "\"\n  chunk ghrg f32 0.5\nend\n");
    ASSERT_FALSE(project.empty());
    new IAUDResourceManager(&driver);
    FILE* f = fopen(project.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    loaded = IAUDResourceManager::LoadFile(f);
    fclose(f);
    voices = IAUDResourceManager::GetVoiceController();
    ASSERT_NE(voices, nullptr);
  }
  void TearDown() override {
    if (m_papiResourceManager) {
      IAUDResourceManager::ReleaseAll();
      delete m_papiResourceManager;
      m_papiResourceManager = nullptr;
    }
    IAUDResourceManager::SetHeadRoomGain(1.0f);
    IAUDResourceManager::SetIAUDErrorCode(0);
  }
  void* OneTrackVoice() {
    SVoiceData request{};
    request.dwNumTracks = 1;
    request.flLevel = 1.0f;
    request.flPitch = 1.0f;
    return voices->GetVoiceHandle(&request);
  }
  void Tick(int n) {
    for (int i = 0; i < n; ++i) driver.proc();
  }

  TempDir dir;
  std::vector<uint8_t> resident, streamed;
  std::string project;
  FakeRenderDriver driver;
  IAUDFileObject* loaded = nullptr;
  IAUDVoiceController* voices = nullptr;
};

TEST_F(RuntimeBankTest, TheProjectLoadsThroughTheResourceManager) {
  EXPECT_EQ(IAUDResourceManager::GetFileObject(), loaded);
  EXPECT_EQ(IAUDResourceManager::GetIAUDErrorCode(), 0);
  EXPECT_FLOAT_EQ(IAUDResourceManager::GetHeadRoomGain(), 0.5f);
  EXPECT_EQ(g_pStreamTracks, static_cast<IAUDStreamTracks*>(voices));
  EXPECT_NE(fn_ov_read, nullptr);
  EXPECT_EQ(g_bVorbisSupport, 1);

  IAUDContentBank* bank = IAUDResourceManager::GetFirstContentBank();
  ASSERT_NE(bank, nullptr);
  EXPECT_EQ(Narrow(bank->GetTitle()), "Effects");
  // The second effect on index 1 replaced the first, which left the bank.
  CGlobalEffect* effect = bank->GetGlobalEffect(1);
  ASSERT_NE(effect, nullptr);
  EXPECT_EQ(Narrow(effect->GetTitle()), "Second");
  EXPECT_EQ(ChildTitles(bank), std::vector<std::string>{"Second"});

  CSample* sample = IAUDResourceManager::GetSample(0x40002);
  ASSERT_NE(sample, nullptr);
  EXPECT_TRUE(IAUDResourceManager::IsValidSamplePointer(sample));
  EXPECT_TRUE(IAUDResourceManager::IsValidSamplePointer(IAUDResourceManager::GetSample(0x50000)));
  EXPECT_FALSE(IAUDResourceManager::IsValidSamplePointer(nullptr));
  CSample stray(nullptr);
  EXPECT_FALSE(IAUDResourceManager::IsValidSamplePointer(&stray));
  // A bank put again into its own slot is kept, not removed.
  IAUDSampleBank* slot3 = IAUDResourceManager::GetResourceSampleBank(3);
  IAUDResourceManager::AddSampleBank(slot3, 3);
  EXPECT_EQ(IAUDResourceManager::GetResourceSampleBank(3), slot3);
  EXPECT_EQ(IAUDResourceManager::GetSample(0x40002), sample);
  EXPECT_FALSE(driver.loads.empty() || driver.loads[0]->freed);
  ASSERT_EQ(driver.loads.size(), 1u);  // the streaming bank preloads nothing
  EXPECT_EQ(driver.loads[0]->bytes, resident);

  // Loading again releases everything of the first load first.
  FILE* f = fopen(project.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  IAUDFileObject* again = IAUDResourceManager::LoadFile(f);
  fclose(f);
  EXPECT_EQ(IAUDResourceManager::GetFileObject(), again);
  EXPECT_EQ(IAUDResourceManager::GetFirstContentBank()->GetPostContentBank(), nullptr);
  EXPECT_TRUE(driver.loads[0]->freed);
  EXPECT_NE(IAUDResourceManager::GetSample(0x40002), nullptr);
}

TEST_F(RuntimeBankTest, ContentBanksLoadUnlinked) {
  std::string path = MakeRiff(dir, "single", "RIFF icbf\n  chunk titl text \"Single\"\nend\n");
  ASSERT_FALSE(path.empty());
  FILE* f = fopen(path.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  IAUDContentBank* bank = IAUDResourceManager::LoadContentBank(f);
  fclose(f);
  ASSERT_NE(bank, nullptr);
  EXPECT_EQ(Narrow(bank->GetTitle()), "Single");
  for (IAUDContentBank* b = IAUDResourceManager::GetFirstContentBank(); b; b = b->GetPostContentBank())
    EXPECT_NE(b, bank);
  bank->RemoveObject();
}

TEST_F(RuntimeBankTest, AResidentSamplePlaysOnAVoice) {
  void* voice = OneTrackVoice();
  ASSERT_NE(voice, nullptr);
  long track = voices->GetVoiceTrack(voice, 0);
  voices->AttachSample(0, 0x40002, voice);
  ASSERT_EQ(driver.loads.size(), 1u);
  EXPECT_EQ(driver.tracks[track].attached, driver.loads[0].get());
  EXPECT_EQ(voices->GetTrackSample(0, voice), IAUDResourceManager::GetSample(0x40002));
  driver.calls.clear();
  voices->PlayVoiceTrack(0, voice, 0);
  EXPECT_EQ(driver.calls, std::vector<std::string>{"PlayTracks " + std::to_string(track) + " loop 0"});
  // 32 frames at 22050 Hz last 1 ms; once the driver is done, the track is.
  EXPECT_TRUE(voices->IsTrackPlaying(0, voice, nullptr));
  Tick(1);
  driver.tracks[track].playing = false;
  driver.calls.clear();
  EXPECT_FALSE(voices->IsTrackPlaying(0, voice, nullptr));
  EXPECT_TRUE(driver.calls.empty());  // a resident sample needs no stop
  voices->CloseVoiceHandle(voice);
}

TEST_F(RuntimeBankTest, AStreamedSampleRefillsThroughTheVoiceController) {
  IAUDSampleBank* bank = IAUDResourceManager::GetResourceSampleBank(4);
  ASSERT_NE(bank, nullptr);
  ASSERT_EQ(bank->GetStreamPacketTimeLength(), 1000u);
  void* voice = OneTrackVoice();
  ASSERT_NE(voice, nullptr);
  long track = voices->GetVoiceTrack(voice, 0);
  voices->AttachSample(0, 0x50000, voice);
  ASSERT_EQ(driver.loads.size(), 2u);  // the resident sample, then the first packet
  EXPECT_TRUE(driver.loads[1]->streaming);
  EXPECT_EQ(driver.loads[1]->bytes, RuntimeBankSlice(streamed, 0, 40000));
  EXPECT_EQ(driver.tracks[track].attached, driver.loads[1].get());
  voices->PlayVoiceTrack(0, voice, 1);
  ASSERT_EQ(bank->GetStreamInstanceCount(), 1);

  // The refills ask the voice controller: the track plays this sample, and
  // its one loop is used up by the wrap.
  FakeTrack& t = driver.tracks[track];
  t.processed = 3;
  bank->ProcessActiveStreams();
  ASSERT_EQ(t.refills.size(), 3u);
  EXPECT_EQ(t.refills[0], RuntimeBankSlice(streamed, 40000, 40000));
  std::vector<uint8_t> wrap = RuntimeBankSlice(streamed, 80000, 20000);
  std::vector<uint8_t> head = RuntimeBankSlice(streamed, 0, 20000);
  wrap.insert(wrap.end(), head.begin(), head.end());
  EXPECT_EQ(t.refills[1], wrap);
  EXPECT_EQ(t.refills[2], RuntimeBankSlice(streamed, 20000, 40000));
  EXPECT_EQ(voices->GetTrackLoopCount(track), 0);
  EXPECT_EQ(driver.exclusiveDepth, 0);

  // Stopping the voice ends its stream.
  voices->StopVoice(voice);
  EXPECT_EQ(bank->GetStreamInstanceCount(), 0);
  voices->CloseVoiceHandle(voice);
}

TEST_F(RuntimeBankTest, AStreamedTrackThatRanDryIsStoppedAndItsStreamEnds) {
  IAUDSampleBank* bank = IAUDResourceManager::GetResourceSampleBank(4);
  ASSERT_NE(bank, nullptr);
  void* voice = OneTrackVoice();
  ASSERT_NE(voice, nullptr);
  long track = voices->GetVoiceTrack(voice, 0);
  voices->AttachSample(0, 0x50000, voice);
  voices->PlayVoiceTrack(0, voice, 0);
  ASSERT_EQ(bank->GetStreamInstanceCount(), 1);
  Tick(250);  // 2500 ms: the end is reached, but the driver still plays
  driver.calls.clear();
  EXPECT_TRUE(voices->IsTrackPlaying(0, voice, nullptr));
  EXPECT_TRUE(driver.calls.empty());
  driver.tracks[track].playing = false;
  EXPECT_FALSE(voices->IsTrackPlaying(0, voice, nullptr));
  EXPECT_EQ(driver.calls, std::vector<std::string>{"StopTracks " + std::to_string(track)});
  driver.tracks[track].processed = 1;
  bank->ProcessActiveStreams();
  EXPECT_EQ(bank->GetStreamInstanceCount(), 0);
  EXPECT_TRUE(driver.tracks[track].refills.empty());
  voices->CloseVoiceHandle(voice);
}

}  // namespace
