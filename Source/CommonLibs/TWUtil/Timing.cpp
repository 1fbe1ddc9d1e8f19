#include "TWUtil/Timing.h"

#include <cmath>
#include <cstring>
#include <new>

#include "TWUtil/ErrorManager.h"
#include "TWUtil/HandleAllocator.h"
#include "TWUtil/Profiler.h"

namespace {
// Every ETiming shares one pool of timers.
EVirtualAllocator<ESubTimer>& TimerPool() {
  static EVirtualAllocator<ESubTimer> s_Pool(50);
  return s_Pool;
}
}  // namespace

ESubTimer::ESubTimer(const char* szName, unsigned flags) : m_iStart(0), m_iTime(0), m_uFlags(flags), m_iRefCount(0) {
  strncpy(m_szName, szName, sizeof(m_szName));
  m_szName[sizeof(m_szName) - 1] = '\0';
}

void ESubTimer::StartTimer() {
  if (m_iRefCount == 0) m_iStart = Profile_GetTimestamp();
  ++m_iRefCount;
}

void ESubTimer::PauseTimer() {
  --m_iRefCount;
  if (m_iRefCount == 0) m_iTime += Profile_GetTimestamp() - m_iStart;
}

void ESubTimer::StopTimer() {
  EASSERT(m_iRefCount == 1);
  m_iRefCount = 0;
  m_iTime = Profile_GetTimestamp() - m_iStart;
}

int64_t ESubTimer::LatchTimer() {
  StopTimer();
  StartTimer();
  return m_iTime;
}

int64_t ESubTimer::GetTime() const {
  EASSERT(!m_iRefCount);
  return m_iTime;
}

ETiming::ETiming() : m_iTicksPerSecond(1000000), m_dMSPerTick(0.001) {}

ETiming::~ETiming() { ResetSubTimers(); }

ESubTimer* ETiming::FindTimer(const char* szName) {
  POSITION pos = m_Timers.GetHeadPosition();
  while (pos) {
    ESubTimer* t = m_Timers.GetNext(pos);
    if (strncmp(t->GetName(), szName, 31) == 0) return t;
  }
  return nullptr;
}

bool ETiming::StartSubTimer(const char* szName, unsigned flags) {
  ESubTimer* t = FindTimer(szName);
  if (!t) {
    t = new (TimerPool()) ESubTimer(szName, flags);
    if (!t) return false;
    m_Timers.AddTail(t);
  }
  t->StartTimer();
  return true;
}

bool ETiming::PauseSubTimer(const char* szName) {
  ESubTimer* t = FindTimer(szName);
  if (!t) return false;
  t->PauseTimer();
  return true;
}

bool ETiming::StopSubTimer(const char* szName) {
  ESubTimer* t = FindTimer(szName);
  if (!t) return false;
  t->StopTimer();
  return true;
}

float ETiming::LatchSubTimer(const char* szName) {
  ESubTimer* t = FindTimer(szName);
  if (!t) return 0.0f;
  return (float)((double)t->LatchTimer() * m_dMSPerTick);
}

float ETiming::GetMSTime(const char* szName) {
  ESubTimer* t = FindTimer(szName);
  if (!t) return 0.0f;
  return (float)((double)t->GetTime() * m_dMSPerTick);
}

void ETiming::RemoveStoppedTimers() {
  POSITION pos = m_Timers.GetHeadPosition();
  while (pos) {
    POSITION cur = pos;
    ESubTimer* t = m_Timers.GetNext(pos);
    if (!t->IsRunning()) {
      m_Timers.RemoveAt(cur);
      TimerPool().Delete(t);
    }
  }
}

void ETiming::ResetSubTimers() {
  while (!m_Timers.IsEmpty()) TimerPool().Delete(m_Timers.RemoveTail());
}

const double EHistoryScalar::sm_adDecayTime[EHistoryScalar::kNUM_AVERAGES] = {0.0, 0.8, 2.5};
double EHistoryScalar::sm_dt = -1.0;
double EHistoryScalar::sm_adK[EHistoryScalar::kNUM_AVERAGES] = {0.0, 0.0, 0.0};

void EHistoryScalar::SetDt(double dt) {
  if (dt == sm_dt) return;
  sm_dt = dt;
  for (int i = 0; i < kNUM_AVERAGES; ++i) {
    if (sm_adDecayTime[i] <= 0.0)
      sm_adK[i] = 0.0;
    else
      sm_adK[i] = pow((double)0.1f, (double)(float)(dt / sm_adDecayTime[i]));
  }
}

void EHistoryScalar::Set(float x) {
  if (sm_dt <= 0.0) {
    EternitySet(x);
    return;
  }
  for (int i = 0; i < kNUM_AVERAGES; ++i) {
    double k = sm_adK[i];
    m_afAvg[i] = (float)(m_afAvg[i] * k + x * (1.0 - k));
    m_afAvgSq[i] = (float)(m_afAvgSq[i] * k + (1.0 - k) * x * x);
  }
}

void EHistoryScalar::EternitySet(float x) {
  for (int i = 0; i < kNUM_AVERAGES; ++i) {
    m_afAvg[i] = x;
    m_afAvgSq[i] = x * x;
  }
}
