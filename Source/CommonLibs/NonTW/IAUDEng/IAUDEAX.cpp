#include "NonTW/IAUDEng/IAUDEAX.h"

#include <cstring>

#include "NonTW/AudioDrv/AudioOAL.h"

long GetSlotIndex(const _GUID& guid) {
  for (long i = 0; i < 4; ++i)
    if (std::memcmp(&guid, &g_aguidEAX40FXSlot[i], sizeof(_GUID)) == 0) return i;
  return -1;
}

_GUID GetGUID(long index) {
  if (index >= 0 && index < 4) return g_aguidEAX40FXSlot[index];
  return _GUID{};
}

bool IAUDIsNullGUID(const _GUID& guid) {
  static const _GUID kNull{};
  return std::memcmp(&guid, &kNull, sizeof(_GUID)) == 0;
}
