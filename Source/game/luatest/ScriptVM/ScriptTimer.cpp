// Script timers: the timer record and the host's heap of timers.
#include "ScriptVM/ScriptTimer.h"

#include <cstring>

#include "Game/GameApp.h"
#include "ScriptVM/ScriptObject.h"
#include "ScriptVM/ScriptVM.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/Heap.h"

namespace {
const float kMIN_TIMER_TIME = 0.01f;

// An empty name is no name, wherever a timer is made or looked for.
const char* TimerName(const char* szName) { return (szName && szName[0]) ? szName : nullptr; }

bool SameName(const char* a, const char* b) {
  if (!a || !b) return a == b;
  return strcmp(a, b) == 0;
}
}  // namespace

// ---------------------------------------------------------------------------
// EScriptTimer

void* EScriptTimer::operator new(size_t bytes) { return EScriptVM::HostAlloc(bytes); }
void EScriptTimer::operator delete(void* p, size_t bytes) { EScriptVM::HostFree(p, bytes); }

EScriptTimer::EScriptTimer(EScriptVM* pHost, EScriptObject* pObject, float fTime, uint16_t uId, unsigned uFlags,
                           const char* szName)
    : m_pHost(pHost), m_pObject(pObject), m_szName(nullptr), m_dFireTime(GetCurrentTimerTime() + fTime),
      m_fPeriod((uFlags & kFLAG_FireOnce) ? 0.0f : fTime), m_uId(uId) {
  if (szName) {
    size_t n = strlen(szName) + 1;
    m_szName = static_cast<char*>(EScriptVM::HostAlloc(n));
    memcpy(m_szName, szName, n);
  }
}

EScriptTimer::~EScriptTimer() {
  if (m_szName) EScriptVM::HostFree(m_szName, strlen(m_szName) + 1);
}

double EScriptTimer::GetCurrentTimerTime() { return gGameApp ? gGameApp->GetSimElapsedTime() : 0.0; }

void EScriptTimer::CleanupReferences() {
  if (m_pObject && m_pObject->IsDead()) Deactivate();
}

bool EScriptTimer::IsLessThan(EScriptTimer* const& a, EScriptTimer* const& b, void*) {
  return a->m_dFireTime < b->m_dFireTime;
}

// ---------------------------------------------------------------------------
// The host's timers

void EScriptVM::CreateTimer(EScriptObject* pObject, float fTime, uint16_t uId, unsigned uFlags, const char* szName) {
  szName = TimerName(szName);
  const char* szObject = (pObject && pObject->DebugGetName()) ? pObject->DebugGetName() : "";
  if (fTime < kMIN_TIMER_TIME) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Timer repeat too short: %f, timer %s %d %s", fTime, szObject, (int)uId,
                                 szName ? szName : "");
    fTime = kMIN_TIMER_TIME;
  }
  if (FindTimer(pObject, uId, szName, nullptr)) {
    g_ErrorManager.TraceMessagef(TT_Warning, "CreateTimer: %s timer %s/%d already exists", szObject,
                                 szName ? szName : "None", (int)uId);
    return;
  }
  if (!m_pTimerHeap) m_pTimerHeap = new EHeap<EScriptTimer*>(&EScriptTimer::IsLessThan, kMEMTYPE_ScriptVM);
  m_pTimerHeap->HeapPush(new EScriptTimer(this, pObject, fTime, uId, uFlags, szName));
}

EScriptTimer* EScriptVM::FindTimer(EScriptObject* pObject, uint16_t uId, const char* szName, int* pPos) {
  szName = TimerName(szName);
  if (pPos) *pPos = -1;
  if (!m_pTimerHeap) return nullptr;
  for (int i = 0; i < m_pTimerHeap->Num(); ++i) {
    EScriptTimer* pTimer = (*m_pTimerHeap)[i];
    if (pTimer->GetId() == uId && pTimer->GetScript() == pObject && SameName(pTimer->GetName(), szName)) {
      if (pPos) *pPos = i;
      return pTimer;
    }
  }
  return nullptr;
}

bool EScriptVM::KillTimer(EScriptObject* pObject, uint16_t uId, const char* szName) {
  int iPos;
  EScriptTimer* pTimer = FindTimer(pObject, uId, szName, &iPos);
  if (!pTimer) return false;
  m_pTimerHeap->HeapRemove(iPos);
  delete pTimer;
  return true;
}

void EScriptVM::KillAllTimers(EScriptObject* pObject) {
  if (!m_pTimerHeap) return;
  for (int i = m_pTimerHeap->Num() - 1; i >= 0;) {
    EScriptTimer* pTimer = (*m_pTimerHeap)[i];
    if (pTimer->GetScript() == pObject) {
      m_pTimerHeap->HeapRemove(i);
      delete pTimer;
      // The timer moved into this place is looked at next.
      if (i < m_pTimerHeap->Num()) continue;
    }
    --i;
  }
}

int EScriptVM::GetNumTimers() const { return m_pTimerHeap ? m_pTimerHeap->Num() : 0; }

EScriptTimer* EScriptVM::GetTimerAt(int iIndex) const {
  if (!m_pTimerHeap || iIndex < 0 || iIndex >= m_pTimerHeap->Num()) return nullptr;
  return (*m_pTimerHeap)[iIndex];
}

void EScriptVM::CleanupTimerReferences() {
  if (!m_pTimerHeap) return;
  for (int i = 0; i < m_pTimerHeap->Num(); ++i) (*m_pTimerHeap)[i]->CleanupReferences();
}

void EScriptVM::DestroyAllTimers() {
  if (!m_pTimerHeap) return;
  for (int i = 0; i < m_pTimerHeap->Num(); ++i) delete (*m_pTimerHeap)[i];
  delete m_pTimerHeap;
  m_pTimerHeap = nullptr;
}
