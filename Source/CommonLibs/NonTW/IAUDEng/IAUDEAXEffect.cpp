#include "NonTW/IAUDEng/IAUDEAXEffect.h"

#include <cstring>

#include "NonTW/AudioDrv/AudioIAUD.h"
#include "NonTW/IAUDEng/IAUDEffectSlotController.h"
#include "NonTW/IAUDEng/IAUDMath.h"
#include "NonTW/IAUDEng/IAUDVoiceController.h"

namespace {

enum EAXFieldKind { kEAXNone, kEAXUnsigned, kEAXSigned, kEAXFloat, kEAXPan, kEAXAll };

struct EAXReverbField {
  EAXFieldKind kind;
  int word;  // position in the 112-byte reverb record
  float min;
  float max;
};

// EAX 4.0 reverb property numbers 0..25.
const EAXReverbField kEAXReverb[26] = {
    {kEAXNone, 0, 0, 0},
    {kEAXAll, 0, 0, 0},
    {kEAXUnsigned, 0, 0, 26},
    {kEAXFloat, 1, 1.0f, 100.0f},
    {kEAXFloat, 2, 0.0f, 1.0f},
    {kEAXSigned, 3, -10000, 0},
    {kEAXSigned, 4, -10000, 0},
    {kEAXSigned, 5, -10000, 0},
    {kEAXFloat, 6, 0.1f, 20.0f},
    {kEAXFloat, 7, 0.1f, 2.0f},
    {kEAXFloat, 8, 0.1f, 2.0f},
    {kEAXSigned, 9, -10000, 1000},
    {kEAXFloat, 10, 0.0f, 0.3f},
    {kEAXPan, 11, 0, 0},
    {kEAXSigned, 14, -10000, 2000},
    {kEAXFloat, 15, 0.0f, 0.1f},
    {kEAXPan, 16, 0, 0},
    {kEAXFloat, 19, 0.075f, 0.25f},
    {kEAXFloat, 20, 0.0f, 1.0f},
    {kEAXFloat, 21, 0.04f, 4.0f},
    {kEAXFloat, 22, 0.0f, 1.0f},
    {kEAXFloat, 23, -100.0f, 0.0f},
    {kEAXFloat, 24, 1000.0f, 20000.0f},
    {kEAXFloat, 25, 20.0f, 1000.0f},
    {kEAXFloat, 26, 0.0f, 10.0f},
    {kEAXUnsigned, 27, 0, 255},
};

// EAX 2.0 listener numbers 2..15: the word in the 56-byte record, the EAX
// 4.0 number, and the limits where they differ from the 4.0 ones.
struct EAX2Field {
  int word;
  unsigned long eax4;
  float max;  // 0: the 4.0 limit
};
const EAX2Field kEAX2Fields[16] = {
    {0, 0, 0},  {0, 1, 0},  {0, 5, 0},  {1, 6, 0},  {2, 24, 0}, {3, 8, 0},  {4, 9, 0},  {5, 11, 0},
    {6, 12, 0}, {7, 14, 0}, {8, 15, 0}, {9, 2, 25}, {10, 3, 0}, {11, 4, 0}, {12, 21, 0}, {13, 25, 63},
};

bool EAXValueInRange(const EAXReverbField& f, const void* value, float maxOverride) {
  float max = maxOverride != 0 ? maxOverride : f.max;
  switch (f.kind) {
    case kEAXUnsigned: {
      uint32_t v;
      std::memcpy(&v, value, 4);
      return ULongInRange(v, (unsigned long)f.min, (unsigned long)max);
    }
    case kEAXSigned: {
      int32_t v;
      std::memcpy(&v, value, 4);
      return LongInRange(v, (long)f.min, (long)max);
    }
    case kEAXFloat: {
      float v;
      std::memcpy(&v, value, 4);
      return FloatInRange(v, f.min, max);
    }
    default:
      return true;
  }
}

IAUDSlotController* EAXSlots() { return m_papiResourceManager ? IAUDResourceManager::m_pSlotController : nullptr; }

long EAXVolumeOfLevel(float level) { return IAUDVoiceController::LinearToMillibels(level); }

}  // namespace

bool LongInRange(long v, long min, long max) { return min <= v && v <= max; }
bool ULongInRange(unsigned long v, unsigned long min, unsigned long max) { return min <= v && v <= max; }
bool FloatInRange(float v, float min, float max) { return min <= v && v <= max; }

long SetEAX4Effect(unsigned long slot, unsigned long id, void* data, unsigned long size) {
  IAUDSlotController* slots = EAXSlots();
  if (!slots) return -9;
  unsigned long deferred = id & 0x80000000ul;
  unsigned long number = id & 0x7FFFFFFFul;
  long s = (long)slot;
  if (number == 0) {
    slots->SetSlotEffectParameter(s, 0, data, size, deferred);
    return 0;
  }
  if (number <= 25) {
    const EAXReverbField& f = kEAXReverb[number];
    if (!data) return -2;
    if (f.kind == kEAXAll) {
      if (size < 112) return -2;
      for (unsigned long n = 2; n <= 25; ++n) {
        const EAXReverbField& g = kEAXReverb[n];
        if (!EAXValueInRange(g, static_cast<uint8_t*>(data) + g.word * 4, 0)) return -2;
      }
      slots->SetSlotEffectParameter(s, 1, data, 112, deferred);
      return 0;
    }
    if (size < (f.kind == kEAXPan ? 12u : 4u)) return -2;
    if (!EAXValueInRange(f, data, 0)) return -2;
    slots->SetSlotEffectParameter(s, (long)number, data, size, deferred);
    return 0;
  }
  switch (number) {
    case 0x10000:
    case 0x10004:
      slots->SetEAX(s, number, data, size);
      return 0;
    case 0x10001: {
      if (!data || size < 28) return -2;
      _GUID effect;
      int32_t volume, lock;
      uint32_t flags;
      std::memcpy(&effect, data, 16);
      std::memcpy(&volume, static_cast<uint8_t*>(data) + 16, 4);
      std::memcpy(&lock, static_cast<uint8_t*>(data) + 20, 4);
      std::memcpy(&flags, static_cast<uint8_t*>(data) + 24, 4);
      if (!LongInRange(volume, -10000, 0) || !LongInRange(lock, 0, 1) || !ULongInRange(flags, 0, 1)) return -2;
      slots->SetSlotEffect(s, effect);
      slots->SetSlotLevel(s, IAUDpow(10.0f, (float)volume / 2000.0f), 0);
      slots->SetSlotFlags(s, flags, 0);
      slots->SetEAX(s, 0x10004, &lock, 4);
      return 0;
    }
    case 0x10002: {
      if (!data || size < 16) return -2;
      _GUID effect;
      std::memcpy(&effect, data, 16);
      slots->SetSlotEffect(s, effect);
      return 0;
    }
    case 0x10003: {
      int32_t volume;
      if (!data || size < 4) return -2;
      std::memcpy(&volume, data, 4);
      if (!LongInRange(volume, -10000, 0)) return -2;
      slots->SetSlotLevel(s, IAUDpow(10.0f, (float)volume / 2000.0f), deferred);
      return 0;
    }
    case 0x10005: {
      uint32_t flags;
      if (!data || size < 4) return -2;
      std::memcpy(&flags, data, 4);
      if (!ULongInRange(flags, 0, 1)) return -2;
      slots->SetSlotFlags(s, flags, deferred);
      return 0;
    }
    default:
      return -2;
  }
}

long GetEAX4Effect(unsigned long slot, unsigned long id, void* data, unsigned long size) {
  IAUDSlotController* slots = EAXSlots();
  if (!slots) return -9;
  long s = (long)slot;
  if (id == 0 || id == 0x10000) return 0;
  if (id == 1) {
    if (!data || size < 112) return -2;
    slots->GetSlotEffectParameter(s, 1, data, 112);
    return 0;
  }
  if (id <= 25) {
    // The pan vectors are three floats.
    unsigned long need = kEAXReverb[id].kind == kEAXPan ? 12u : 4u;
    if (!data || size < need) return -2;
    slots->GetSlotEffectParameter(s, (long)id, data, size);
    return 0;
  }
  switch (id) {
    case 0x10001: {
      if (!data || size < 28) return -2;
      uint8_t* out = static_cast<uint8_t*>(data);
      float level = 0.0f;
      slots->GetSlotLevel(s, &level);
      int32_t volume = (int32_t)EAXVolumeOfLevel(level);
      std::memcpy(out + 16, &volume, 4);
      slots->GetEAX(s, 0x10004, out + 20, 4);
      _GUID effect{};
      slots->GetSlotEffect(s, &effect);
      std::memcpy(out, &effect, 16);
      unsigned long flags = 0;
      slots->GetSlotFlags(s, &flags);
      uint32_t flags32 = (uint32_t)flags;
      std::memcpy(out + 24, &flags32, 4);
      return 0;
    }
    case 0x10002: {
      if (!data || size < 16) return -2;
      _GUID effect{};
      slots->GetSlotEffect(s, &effect);
      std::memcpy(data, &effect, 16);
      return 0;
    }
    case 0x10003: {
      if (!data || size < 4) return -2;
      float level = 0.0f;
      slots->GetSlotLevel(s, &level);
      int32_t volume = (int32_t)EAXVolumeOfLevel(level);
      std::memcpy(data, &volume, 4);
      return 0;
    }
    case 0x10004:
      if (!data || size < 4) return -2;
      slots->GetEAX(s, 0x10004, data, size);
      return 0;
    case 0x10005: {
      if (!data || size < 4) return -2;
      unsigned long flags = 0;
      slots->GetSlotFlags(s, &flags);
      uint32_t flags32 = (uint32_t)flags;
      std::memcpy(data, &flags32, 4);
      return 0;
    }
    default:
      return -2;
  }
}

long SetEAX2Effect(unsigned long id, void* data, unsigned long size) {
  IAUDSlotController* slots = EAXSlots();
  if (!slots) return -9;
  unsigned long deferred = id & 0x80000000ul;
  unsigned long number = id & 0x7FFFFFFFul;
  if (number == 0) {
    slots->SetSlotEffectParameter(0, 0, data, size, deferred);
    return 0;
  }
  if (number > 15 || !data) return -2;
  if (number == 1) {
    if (size < 56) return -2;
    const uint8_t* in = static_cast<const uint8_t*>(data);
    for (unsigned long n = 2; n <= 15; ++n) {
      const EAX2Field& f = kEAX2Fields[n];
      if (!EAXValueInRange(kEAXReverb[f.eax4], in + f.word * 4, f.max)) return -2;
    }
    uint32_t reverb[28] = {};
    for (unsigned long n = 2; n <= 15; ++n) {
      const EAX2Field& f = kEAX2Fields[n];
      std::memcpy(&reverb[kEAXReverb[f.eax4].word], in + f.word * 4, 4);
    }
    const float one = 1.0f, echoTime = 0.25f, modTime = 0.25f, hfRef = 5000.0f, lfRef = 250.0f;
    std::memcpy(&reverb[8], &one, 4);        // decay LF ratio
    std::memcpy(&reverb[19], &echoTime, 4);  // echo time
    std::memcpy(&reverb[21], &modTime, 4);   // modulation time
    std::memcpy(&reverb[24], &hfRef, 4);
    std::memcpy(&reverb[25], &lfRef, 4);
    slots->SetSlotEffectParameter(0, 1, reverb, sizeof(reverb), deferred);
    return 0;
  }
  if (size < 4) return -2;
  const EAX2Field& f = kEAX2Fields[number];
  if (!EAXValueInRange(kEAXReverb[f.eax4], data, f.max)) return -2;
  slots->SetSlotEffectParameter(0, (long)f.eax4, data, size, deferred);
  return 0;
}

long GetEAX2Effect(unsigned long id, void* data, unsigned long size) {
  IAUDSlotController* slots = EAXSlots();
  if (!slots) return -9;
  if (id == 0) return 0;
  if (id > 15 || !data) return -2;
  if (id == 1) {
    if (size < 56) return -2;
    uint32_t reverb[28] = {};
    slots->GetSlotEffectParameter(0, 1, reverb, sizeof(reverb));
    uint8_t* out = static_cast<uint8_t*>(data);
    for (unsigned long n = 2; n <= 15; ++n) {
      const EAX2Field& f = kEAX2Fields[n];
      std::memcpy(out + f.word * 4, &reverb[kEAXReverb[f.eax4].word], 4);
    }
    return 0;
  }
  if (size < 4) return -2;
  slots->GetSlotEffectParameter(0, (long)kEAX2Fields[id].eax4, data, size);
  return 0;
}

long SetEAX3Effect(unsigned long id, void* data, unsigned long size) { return SetEAX4Effect(0, id, data, size); }
long GetEAX3Effect(unsigned long id, void* data, unsigned long size) { return GetEAX4Effect(0, id, data, size); }

long SetEAX4Context(unsigned long id, void* data, unsigned long size) {
  if (!m_papiResourceManager || !IAUDResourceManager::m_pRenderInterface) return -9;
  IAUDResourceManager::m_pRenderInterface->SetContextEAX(id, data, size);
  return 0;
}

long GetEAX4Context(unsigned long id, void* data, unsigned long size) {
  if (!m_papiResourceManager || !IAUDResourceManager::m_pRenderInterface) return -9;
  IAUDResourceManager::m_pRenderInterface->GetContextEAX(id, data, size);
  return 0;
}
