// The scheduler's timer thread and the exclusive-mode lock.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "AudioTestSupport.h"
#include "NonTW/AudioDrv/AudioDrv.h"

using namespace AudioDrvTest;

namespace {

std::mutex s_TimerTicksLock;
std::vector<std::chrono::steady_clock::time_point> s_TimerTicks;
std::atomic<int> s_iTimerEntered{0};
std::atomic<int> s_iTimerDone{0};

void TimerRecordTick() {
  std::lock_guard<std::mutex> lock(s_TimerTicksLock);
  s_TimerTicks.push_back(std::chrono::steady_clock::now());
}

size_t TimerTickCount() {
  std::lock_guard<std::mutex> lock(s_TimerTicksLock);
  return s_TimerTicks.size();
}

// Like the scheduler: the whole tick runs under the exclusive lock, which
// it takes a second time inside.
void TimerLockedTick() {
  ++s_iTimerEntered;
  g_pMainAudioDrv->BeginExclusiveMode();
  g_pMainAudioDrv->BeginExclusiveMode();
  ++s_iTimerDone;
  g_pMainAudioDrv->EndExclusiveMode();
  g_pMainAudioDrv->EndExclusiveMode();
}

TEST(AudioDrvTimer, TicksComeAtLeastTenMillisecondsApartUntilStopped) {
  RunWithOpenAL("null", "", [](const SRun&) {
    CAudioDrv* pDrv = InitAudioDriver(nullptr, 4, 0);
    EXPECT_EQ(10000, pDrv->SetSchedulerTimerProc(&TimerRecordTick));
    EXPECT_EQ(10000, pDrv->SetSchedulerTimerProc(&TimerRecordTick)) << "a second start only replaces the procedure";
    ASSERT_TRUE(WaitFor([] { return TimerTickCount() >= 6; }));
    EXPECT_EQ(0, pDrv->SetSchedulerTimerProc(nullptr));
    EXPECT_EQ(nullptr, CAudioDrv::m_SchedulerTimerProc.load());
    std::vector<std::chrono::steady_clock::time_point> ticks;
    {
      std::lock_guard<std::mutex> lock(s_TimerTicksLock);
      ticks = s_TimerTicks;
    }
    for (size_t i = 1; i < ticks.size(); ++i)
      EXPECT_GE(ticks[i] - ticks[i - 1], std::chrono::milliseconds(10)) << "tick " << i;
    EXPECT_EQ(ticks.size(), TimerTickCount()) << "no tick after the stop returned";

    // The timer starts again after a stop.
    EXPECT_EQ(10000, pDrv->SetSchedulerTimerProc(&TimerRecordTick));
    ASSERT_TRUE(WaitFor([&] { return TimerTickCount() > ticks.size(); }));
    EXPECT_EQ(0, pDrv->SetSchedulerTimerProc(nullptr));
    EXPECT_EQ(0, pDrv->SetSchedulerTimerProc(nullptr)) << "stopping a stopped timer";
    pDrv->ReleaseInterface();
  });
}

TEST(AudioDrvTimer, StoppingEndsWhileATickWaitsForTheLock) {
  RunWithOpenAL("null", "", [](const SRun&) {
    CAudioDrv* pDrv = InitAudioDriver(nullptr, 4, 0);
    pDrv->BeginExclusiveMode();
    EXPECT_EQ(10000, pDrv->SetSchedulerTimerProc(&TimerLockedTick));
    ASSERT_TRUE(WaitFor([] { return s_iTimerEntered.load() >= 1; }));
    EXPECT_EQ(0, s_iTimerDone.load()) << "the tick waits for the lock held here";
    long lStopResult = -1;
    std::thread stopper([&] { lStopResult = pDrv->SetSchedulerTimerProc(nullptr); });
    pDrv->EndExclusiveMode();
    stopper.join();
    EXPECT_EQ(0, lStopResult);
    EXPECT_EQ(s_iTimerEntered.load(), s_iTimerDone.load()) << "the waiting tick ran to its end";
    pDrv->ReleaseInterface();
  });
}

TEST(AudioDrvTimer, TheExclusiveLockNestsOnOneThread) {
  RunWithOpenAL("null", "", [](const SRun&) {
    CAudioDrv* pDrv = InitAudioDriver(nullptr, 4, 0);
    pDrv->BeginExclusiveMode();
    pDrv->BeginExclusiveMode();
    pDrv->EndExclusiveMode();
    // Still held once: another thread waits until the last release.
    std::atomic<bool> bOtherHasIt{false};
    std::thread other([&] {
      pDrv->BeginExclusiveMode();
      bOtherHasIt = true;
      pDrv->EndExclusiveMode();
    });
    EXPECT_FALSE(bOtherHasIt.load());
    pDrv->EndExclusiveMode();
    other.join();
    EXPECT_TRUE(bOtherHasIt.load());
    pDrv->ReleaseInterface();
  });
}

}  // namespace
