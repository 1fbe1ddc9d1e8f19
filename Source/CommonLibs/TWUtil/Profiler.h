// Microsecond time stamps, a scoped timer that traces how long a phase took,
// and the profiling zones and statistics (the zones record nothing).
#pragma once

#include <cstdint>

#include "TWUtil/Array.h"
#include "TWUtil/Timing.h"

// Monotonic time stamp in microseconds; unaffected by changes of the clock.
int64_t Profile_GetTimestamp();
double Profile_TimestampsToSeconds(int64_t stamps);

// Replaces the source of time stamps (tests drive time this way); null
// restores the monotonic clock.
typedef int64_t (*ProfileClockFn)();
void Profile_SetClock(ProfileClockFn fn);

// Traces "<text> completed in <seconds> seconds" when it goes out of scope.
class EProfileOneShot {
public:
  explicit EProfileOneShot(const char* szText);
  ~EProfileOneShot();

  EProfileOneShot(const EProfileOneShot&) = delete;
  EProfileOneShot& operator=(const EProfileOneShot&) = delete;

private:
  int64_t m_iStart;
  const char* m_szText;
};

class EProfileZone {
public:
  EProfileZone(const char*, int, bool) {}
  float GetHierTime() const { return 0.0f; }
};

struct EProfileZoneStats {
  EHistoryScalar m_aStats[3];
};

class EProfilerStats {
public:
  EProfilerStats() : m_ZoneStats(kMEMTYPE_Debug), m_iFrame(0) {}
  // Called once per frame while a debug screen wants the figures.
  void Update();

  const EHistoryScalar& GetFrameTime() const { return m_FrameTime; }
  int GetFrameCount() const { return m_iFrame; }

private:
  EHistoryScalar m_FrameTime;
  EArray<EProfileZoneStats> m_ZoneStats;
  int m_iFrame;
};
