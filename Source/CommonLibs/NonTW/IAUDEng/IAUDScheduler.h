// The runtime's heartbeat: the render driver calls the timer procedure once
// per period; each call advances the millisecond clock and cycles every
// playing player, the master player first. While the sync lock is set the
// calls are only counted, and the first unlocked call catches up.
#pragma once

#include <cstdint>

#include "NonTW/IAUDEng/IAUDResourceManager.h"

class IAUDScheduler : public IAUDResourceManager {
 public:
  // Registers the timer procedure with the render interface, whose answer
  // becomes the period; 1000 µs without a render interface.
  IAUDScheduler();
  virtual ~IAUDScheduler() {}
  virtual void DeleteObject() { delete this; }

  static void IAUDSchedulerTimerProc();
  void UpdateSystemTimer();
  void SetSyncLock(bool lock);
  uint32_t GetMilliseconds() const { return m_dwMilliseconds; }
  uint32_t GetWrapCount() const { return m_dwWrapCount; }
  uint32_t GetMicrosInPeriod() const { return m_dwMicrosPerPeriod; }
  int32_t GetPendingTicks() const { return m_nPendingTicks; }

 private:
  uint32_t m_dwWrapCount = 0;
  uint32_t m_dwMilliseconds = 0;
  uint32_t m_dwMicrosRemainder = 0;
  uint32_t m_dwMicrosPerPeriod = 1000;
  int32_t m_nPendingTicks = 0;
  bool m_bSyncLock = false;
};

// Hold back the players' ticks for a batch of changes, and let them catch
// up; -9 without an open runtime and its scheduler.
int32_t apiPlayerSyncLock();
int32_t apiPlayerSyncUnlock();
