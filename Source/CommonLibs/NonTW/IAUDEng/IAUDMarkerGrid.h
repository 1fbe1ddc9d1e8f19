// When a player raises content markers during metric playback. The marker
// division holds a unit in its top three bits and a count in the low 29.
#pragma once

#include <cstdint>

enum IAUDMarkerUnit { kIAUDMarkerUnit_None, kIAUDMarkerUnit_Clocks, kIAUDMarkerUnit_Beats, kIAUDMarkerUnit_Bars, kIAUDMarkerUnit_Off };

// A count of 0 has no grid to divide by: such a division is off.
inline IAUDMarkerUnit IAUDMarkerDivisionUnit(uint32_t division) {
  uint32_t count = division & 0x1FFFFFFFu;
  switch (division >> 29) {
    case 0: return kIAUDMarkerUnit_None;
    case 2: return count ? kIAUDMarkerUnit_Clocks : kIAUDMarkerUnit_Off;
    case 4: return count ? kIAUDMarkerUnit_Beats : kIAUDMarkerUnit_Off;
    case 6: return count ? kIAUDMarkerUnit_Bars : kIAUDMarkerUnit_Off;
    default: return kIAUDMarkerUnit_Off;
  }
}

// Runs one period of metric clocks of a player through the marker grid;
// false as soon as the player's ProcessContentMarker answers false.
template <class Player>
bool IAUDProcessMarkerGrid(uint32_t division, Player& player) {
  IAUDMarkerUnit unit = IAUDMarkerDivisionUnit(division);
  uint32_t count = division & 0x1FFFFFFFu;
  if (unit == kIAUDMarkerUnit_None) {
    player.ProcessMetricTimeCode();
    return true;
  }
  if (unit != kIAUDMarkerUnit_Off && (player.GetInProcessStatusFlags() & 0x10000000u)) {
    if (!player.ProcessContentMarker()) return false;
  }
  while (player.GetMetricProcessClockCount() != 0) {
    uint32_t status = player.GetInProcessStatusFlags();
    bool due = false;
    switch (unit) {
      case kIAUDMarkerUnit_Clocks: due = (status & 1u) && player.GetProcessClocks() % count == 0; break;
      case kIAUDMarkerUnit_Beats: due = (status & 2u) && player.GetProcessBeats() % count == 0; break;
      case kIAUDMarkerUnit_Bars: due = (status & 4u) && player.GetProcessBars() % count == 0; break;
      default: break;
    }
    if (due && !player.ProcessContentMarker()) return false;
  }
  return true;
}
