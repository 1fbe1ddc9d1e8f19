#include "TWUtil/Profiler.h"

#include <time.h>

#include "TWUtil/ErrorManager.h"

namespace {
const double kSecondsPerStamp = 1e-6;
ProfileClockFn s_pfnClock = nullptr;

int64_t MonotonicMicroseconds() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (int64_t)ts.tv_sec * 1000000 + ts.tv_nsec / 1000;
}

// The length of the last frame for the statistics.
double FrameSeconds() {
  STUBBED("This is probably wrong");
  return 1.0;
}
}  // namespace

int64_t Profile_GetTimestamp() { return s_pfnClock ? s_pfnClock() : MonotonicMicroseconds(); }

double Profile_TimestampsToSeconds(int64_t stamps) { return (double)stamps * kSecondsPerStamp; }

void Profile_SetClock(ProfileClockFn fn) { s_pfnClock = fn; }

EProfileOneShot::EProfileOneShot(const char* szText) : m_iStart(-Profile_GetTimestamp()), m_szText(szText) {}

EProfileOneShot::~EProfileOneShot() {
  m_iStart += Profile_GetTimestamp();
  g_ErrorManager.TraceMessagef(TT_None, "%s completed in %.2f seconds", m_szText, Profile_TimestampsToSeconds(m_iStart));
}

void EProfilerStats::Update() {
  double dt = FrameSeconds();
  EHistoryScalar::SetDt(dt);
  m_FrameTime.Set((float)dt);
  ++m_iFrame;
}
