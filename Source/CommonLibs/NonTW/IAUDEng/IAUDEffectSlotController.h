// The runtime's one access point to the render driver's effect slots: their
// count (32 at most), their default effects, and forwarders of every slot
// query and setting to the render interface.
#pragma once

#include <cstdint>

#include "NonTW/AudioDrv/AudioTypes.h"
#include "NonTW/IAUDEng/IAUDResourceManager.h"

class IAUDSlotController : public IAUDResourceManager {
 public:
  IAUDSlotController();
  virtual ~IAUDSlotController() {}
  virtual void DeleteObject() { delete this; }

  uint32_t GetSlotCount() const { return m_dwSlotCount; }
  // Installs the slot's default effect at level 1.0 with flags 1; slots
  // outside the default table are left alone.
  long ResetSlotState(long slot);
  long SetEAX(long slot, unsigned long property, void* data, unsigned long size);
  long GetEAX(long slot, unsigned long property, void* data, unsigned long size);
  long SetSlotLevel(long slot, float level, unsigned long deferral);
  long SetSlotFlags(long slot, unsigned long flags, unsigned long deferral);
  long SetSlotEffect(long slot, const _GUID& effect);
  long GetSlotLevel(long slot, float* level);
  long GetSlotFlags(long slot, unsigned long* flags);
  long GetSlotEffect(long slot, _GUID* effect);
  long SetSlotEffectParameter(long slot, long parameter, void* data, unsigned long size, unsigned long deferral);
  long GetSlotEffectParameter(long slot, long parameter, void* data, unsigned long size);

  // The default effect of each of the 32 slots: reverb, chorus, then none.
  static const _GUID m_guidFXSlotDefault[32];

 private:
  uint32_t m_dwSlotCount = 0;
};
