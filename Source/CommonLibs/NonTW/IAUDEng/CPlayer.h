// The audio player, as far as content objects drive its clocks while it
// processes them. A player that has not started processes no clocks.
#pragma once

#include <cstdint>

class CPlayer {
 public:
  // Status flags of the content being processed (bit 0x10000000: the
  // content starts in this period).
  uint32_t GetInProcessStatusFlags() { return m_dwInProcessStatusFlags; }
  // Consumes one pending metric clock of the period; 0 when none is left.
  uint32_t GetMetricProcessClockCount() { return 0; }
  uint32_t GetProcessBars() { return 0; }
  uint32_t GetProcessBeats() { return 0; }
  uint32_t GetProcessClocks() { return 0; }
  // Consumes every pending metric clock of the period for the time code.
  void ProcessMetricTimeCode() {}
  // False when a pending transition ends the primary content now.
  bool ProcessContentMarker() { return true; }

 private:
  uint32_t m_dwInProcessStatusFlags = 0;
};
