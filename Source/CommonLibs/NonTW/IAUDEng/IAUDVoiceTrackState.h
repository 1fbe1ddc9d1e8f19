// The voice controller's stored settings of one driver track (82 32-bit
// words); the render driver fills the same record in GetTrackState.
#pragma once

#include <cstdint>

#include "NonTW/IAUDEng/IAUDTypes.h"

#ifndef IAUD_TRACKSTATE_DECLARED
#define IAUD_TRACKSTATE_DECLARED
struct IAUDTrackState {
  float flLevel;
  float flDirectLevel;
  float flDirectHFLevel;
  float flPitch;
  float aflSendLevel[32];
  float aflSendHFLevel[32];
  uint32_t dwActiveSends;
  uint32_t dwMode;  // 0 world coordinates, 1 relative to the listener
  IAUDVector vPosition;
  IAUDVector vOrientation;
  IAUDVector vVelocity;
  IAUDVector vPathOffset;  // added to the position before it is placed in the voice frame
};
static_assert(sizeof(IAUDTrackState) == 82 * 4, "IAUDTrackState is 82 words");
#endif
