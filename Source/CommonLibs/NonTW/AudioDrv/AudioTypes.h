// Value types that the audio runtime and its render driver pass between
// each other: vectors, effect GUIDs, the per-sample distance and cone
// records; the voice controller's per-track state record comes from the runtime.
#pragma once

#include <cstdint>

// The runtime's vector: x, y, z with y up. The driver negates z on the way
// to OpenAL.
#ifndef IAUD_VECTOR_DECLARED
#define IAUD_VECTOR_DECLARED
struct IAUDVector {
  float x;
  float y;
  float z;
};
#endif

// A 16-byte effect or property-set identifier.
#ifndef IAUD_GUID_DECLARED
#define IAUD_GUID_DECLARED
struct _GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
#endif

// Distance settings that travel with a sample (16 bytes in bank files).
struct IAUDSoundDistance {
  float fMinDistance;    // AL_REFERENCE_DISTANCE
  float fMaxDistance;    // AL_MAX_DISTANCE
  float fAttenuation;    // decibels at the maximum distance (negative)
  uint32_t ulFlags;      // bit 0: automatic room level (EAX)
};

// Cone settings that travel with a sample (20 bytes in bank files).
struct IAUDSoundCone {
  int32_t lInsideAngle;        // degrees
  int32_t lOutsideAngle;       // degrees
  int32_t lOutsideVolume;      // millibels, 0 = unattenuated
  int32_t lOutsideVolumeHF;    // millibels (EAX)
  uint32_t ulFlags;            // bit 0: auto direct HF, bit 1: auto room HF
};

static_assert(sizeof(IAUDSoundDistance) == 16, "IAUDSoundDistance is 16 bytes");
static_assert(sizeof(IAUDSoundCone) == 20, "IAUDSoundCone is 20 bytes");

#include "NonTW/IAUDEng/IAUDVoiceTrackState.h"

struct IAUDSlotState;
