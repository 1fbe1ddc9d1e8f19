// The audio runtime opened on the OpenAL driver (null output): its timer
// ticks the scheduler, and open, close, open again leaves nothing behind.
#include <gtest/gtest.h>

#include "AudioTestSupport.h"
#include "NonTW/AudioDrv/AudioDrv.h"
#include "NonTW/IAUDEng/CPlayer.h"
#include "NonTW/IAUDEng/IAUDEffectSlotController.h"
#include "NonTW/IAUDEng/IAUDScheduler.h"
#include "NonTW/IAUDEng/IAUDVoiceController.h"

using namespace AudioDrvTest;

namespace {

// Opens the runtime, lets the scheduler tick, takes a voice, and closes.
void RuntimeOpenTickClose() {
  IAUDRenderInterface* ri = RetrieveIAUDRenderInterface(nullptr, 8);
  ASSERT_NE(ri, nullptr);
  new IAUDResourceManager(ri);
  ASSERT_NE(IAUDResourceManager::GetScheduler(), nullptr);
  EXPECT_EQ(IAUDResourceManager::GetMicrosPerPeriod(), 10000u);
  EXPECT_TRUE(WaitFor([] {
    IAUDRenderInterface* r = IAUDResourceManager::GetRenderInterface();
    r->BeginExclusiveMode();
    uint32_t ms = IAUDResourceManager::GetScheduler()->GetMilliseconds();
    r->EndExclusiveMode();
    return ms >= 30;
  }));
  IAUDVoiceController* vc = IAUDResourceManager::GetVoiceController();
  EXPECT_GT(vc->GetAvailableVoiceCount(), 0);
  SVoiceData request{};
  request.dwNumTracks = 2;
  request.flLevel = 1.0f;
  request.flPitch = 1.0f;
  request.vFront = IAUDVector{0, 0, 1};
  request.vTop = IAUDVector{0, 1, 0};
  void* voice = vc->GetVoiceHandle(&request);
  EXPECT_NE(voice, nullptr);
  vc->SetTrackLevel(0, 0.5f, voice);
  IAUDResourceManager::GetSlotController()->ResetSlotState(0);
  CPlayer* player = new CPlayer();
  player->StartPlayer();
  (void)player;  // the close destroys it

  IAUDResourceManager::ReleaseAll();
  delete m_papiResourceManager;
  m_papiResourceManager = nullptr;
  EXPECT_EQ(IAUDResourceManager::m_pPlayerList, nullptr);
  EXPECT_EQ(CAudioDrv::m_SchedulerTimerProc.load(), nullptr);
  ri->ReleaseInterface();
}

}  // namespace

TEST(AudioRuntime, OpensTicksAndClosesTwiceOnTheOpenALDriver) {
  RunWithOpenAL("null", "", [](const SRun&) {
    RuntimeOpenTickClose();
    RuntimeOpenTickClose();
  });
}
