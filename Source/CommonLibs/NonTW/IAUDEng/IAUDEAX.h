// EAX 4.0 records that voices, players and the effect functions pass to the
// render driver, and the four effect-slot identifiers.
#pragma once

#include <cstdint>

#include "NonTW/AudioDrv/AudioTypes.h"

// Source properties (72 bytes): the direct and direct high-frequency levels
// in millibels first, then the other source fields, passed on unchanged.
struct EAX40SOURCEPROPERTIES {
  int32_t lDirect;
  int32_t lDirectHF;
  int32_t alOther[16];
};

// One send (24 bytes).
struct EAX40SOURCESENDPROPERTIES {
  _GUID guidReceivingFXSlotID;
  int32_t lSend;
  int32_t lSendHF;
};

// One full send record (48 bytes).
struct EAX40SOURCEALLSENDPROPERTIES {
  _GUID guidReceivingFXSlotID;
  int32_t lSend;
  int32_t lSendHF;
  int32_t lOcclusion;
  float flOcclusionLFRatio;
  float flOcclusionRoomRatio;
  float flOcclusionDirectRatio;
  int32_t lExclusion;
  float flExclusionLFRatio;
};

// The two effect slots a source sends to (32 bytes).
struct EAX40ACTIVEFXSLOTS {
  _GUID guidActiveFXSlots[2];
};

static_assert(sizeof(EAX40SOURCEPROPERTIES) == 72, "EAX40SOURCEPROPERTIES is 72 bytes");
static_assert(sizeof(EAX40SOURCESENDPROPERTIES) == 24, "EAX40SOURCESENDPROPERTIES is 24 bytes");
static_assert(sizeof(EAX40SOURCEALLSENDPROPERTIES) == 48, "EAX40SOURCEALLSENDPROPERTIES is 48 bytes");
static_assert(sizeof(EAX40ACTIVEFXSLOTS) == 32, "EAX40ACTIVEFXSLOTS is 32 bytes");

// 0 to 3 for the four effect-slot identifiers, -1 for any other.
long GetSlotIndex(const _GUID& guid);
// The slot identifier for 0 to 3, the null identifier otherwise.
_GUID GetGUID(long index);
bool IAUDIsNullGUID(const _GUID& guid);
