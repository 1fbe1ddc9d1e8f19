#include "NonTW/IAUDEng/IAUDScheduler.h"

#include "NonTW/AudioDrv/AudioIAUD.h"
#include "NonTW/IAUDEng/CPlayer.h"
#include "NonTW/IAUDEng/IAUDTypes.h"

IAUDScheduler::IAUDScheduler() {
  if (m_pRenderInterface) m_dwMicrosPerPeriod = (uint32_t)m_pRenderInterface->SetSchedulerTimerProc(&IAUDSchedulerTimerProc);
}

void IAUDScheduler::UpdateSystemTimer() {
  m_dwMicrosRemainder += m_dwMicrosPerPeriod;
  if (m_dwMicrosRemainder < 1000) return;
  uint32_t before = m_dwMilliseconds;
  m_dwMilliseconds += m_dwMicrosRemainder / 1000;
  m_dwMicrosRemainder %= 1000;
  if (m_dwMilliseconds < before) ++m_dwWrapCount;
}

void IAUDScheduler::SetSyncLock(bool lock) {
  IAUDRenderInterface* ri = m_pRenderInterface;
  if (!ri) return;
  ri->BeginExclusiveMode();
  m_bSyncLock = lock;
  ri->EndExclusiveMode();
}

void IAUDScheduler::IAUDSchedulerTimerProc() {
  IAUDRenderInterface* ri = m_pRenderInterface;
  if (!ri) return;
  ri->BeginExclusiveMode();
  IAUDScheduler* scheduler = m_pScheduler;
  if (!scheduler) {
    ri->EndExclusiveMode();
    return;
  }
  ++scheduler->m_nPendingTicks;
  while (scheduler->m_nPendingTicks != 0 && !scheduler->m_bSyncLock) {
    scheduler->UpdateSystemTimer();
    CPlayer* master = m_pMasterPlayer;
    for (CPlayer* p = m_pActivePlayers; p; p = p->NextActive()) {
      if (p == master) {
        p->CyclePlayer();
        break;
      }
    }
    for (CPlayer* p = m_pActivePlayers; p;) {
      CPlayer* next = p->NextActive();
      if (p != master) p->CyclePlayer();
      p = next;
    }
    --scheduler->m_nPendingTicks;
  }
  ri->EndExclusiveMode();
}

int32_t apiPlayerSyncLock() {
  IAUDScheduler* s = IAUDResourceManager::m_pScheduler;
  if (!m_papiResourceManager || !s) return kIAUD_NOT_STARTED;
  s->SetSyncLock(true);
  return kIAUD_OK;
}

int32_t apiPlayerSyncUnlock() {
  IAUDScheduler* s = IAUDResourceManager::m_pScheduler;
  if (!m_papiResourceManager || !s) return kIAUD_NOT_STARTED;
  s->SetSyncLock(false);
  return kIAUD_OK;
}
