// Named microsecond timers and exponentially smoothed history values.
#pragma once

#include <cstdint>

#include "TWUtil/List.h"

class ESubTimer {
public:
  ESubTimer(const char* szName, unsigned flags);

  // Nested starts measure from the outermost one.
  void StartTimer();
  // Adds the span since the start to the time once the last start is paused.
  void PauseTimer();
  // Sets the time to the span since the start; the timer must have been
  // started exactly once.
  void StopTimer();
  // StopTimer then StartTimer; returns the span since the previous start.
  int64_t LatchTimer();
  // Measured time of a stopped or paused timer, in microseconds.
  int64_t GetTime() const;
  bool IsRunning() const { return m_iRefCount > 0; }
  const char* GetName() const { return m_szName; }
  unsigned GetFlags() const { return m_uFlags; }

private:
  int64_t m_iStart;
  int64_t m_iTime;
  unsigned m_uFlags;
  int m_iRefCount;
  char m_szName[32];
};

class ETiming {
public:
  ETiming();
  ~ETiming();

  ETiming(const ETiming&) = delete;
  ETiming& operator=(const ETiming&) = delete;

  // Finds or creates the timer and starts it; false when no timer is left
  // to create one.
  bool StartSubTimer(const char* szName, unsigned flags);
  bool PauseSubTimer(const char* szName);
  bool StopSubTimer(const char* szName);
  // Milliseconds since the previous start or latch; 0 for an unknown name.
  float LatchSubTimer(const char* szName);
  // Milliseconds measured by a stopped or paused timer; 0 for an unknown name.
  float GetMSTime(const char* szName);
  // The first timer whose name matches in its first 31 characters.
  ESubTimer* FindTimer(const char* szName);
  void RemoveStoppedTimers();
  void ResetSubTimers();

  int GetNumTimers() const { return m_Timers.GetCount(); }
  int64_t GetTicksPerSecond() const { return m_iTicksPerSecond; }

private:
  int64_t m_iTicksPerSecond;
  double m_dMSPerTick;
  ETypedPtrList<false, ESubTimer*> m_Timers;
};

// Three smoothed averages of a value (and of its square) with decay times of
// 0, 0.8 and 2.5 seconds; a value keeps a tenth of its weight after one
// decay time. The step is class-wide.
class EHistoryScalar {
public:
  enum { kNUM_AVERAGES = 3 };

  EHistoryScalar() { Clear(); }

  static void SetDt(double dt);
  void Set(float x);
  void EternitySet(float x);
  void Clear() { EternitySet(0.0f); }
  float GetAvg(int i) const { return m_afAvg[i]; }
  float GetAvgSquare(int i) const { return m_afAvgSq[i]; }

  static const double sm_adDecayTime[kNUM_AVERAGES];
  static double sm_dt;
  static double sm_adK[kNUM_AVERAGES];

private:
  float m_afAvg[kNUM_AVERAGES];
  float m_afAvgSq[kNUM_AVERAGES];
};
