// The player's EAX source properties: kept for the voices it opens later and
// passed on to the voices it has open. EAX 3.0 buffer properties are the
// EAX 4.0 source properties; EAX 2.0 buffer properties are translated.
#include <cstring>

#include "NonTW/AudioDrv/AudioOAL.h"
#include "NonTW/IAUDEng/CPlayer.h"
#include "NonTW/IAUDEng/IAUDResourceManager.h"
#include "NonTW/IAUDEng/IAUDVoiceController.h"

namespace {

const _GUID kPlayerEAX3Buffer = {0xa8fa6881, 0xb476, 0x11d3, {0xbd, 0xb9, 0x00, 0xc0, 0xf0, 0x2d, 0xdf, 0x87}};
const _GUID kPlayerEAX2Buffer = {0x0306a6a7, 0xb224, 0x11d2, {0x99, 0xe5, 0x00, 0x00, 0xe8, 0xd8, 0xc7, 0x22}};

constexpr uint32_t kEAXDeferred = 0x80000000u;
constexpr uint32_t kEAXSourceValues = 18;
constexpr uint32_t kEAXGuidBytes = sizeof(_GUID);

bool PlayerSameGUID(const _GUID& a, const _GUID& b) { return std::memcmp(&a, &b, sizeof(_GUID)) == 0; }

uint32_t PlayerFloatWord(float f) {
  uint32_t w;
  std::memcpy(&w, &f, sizeof(w));
  return w;
}

// Where the EAX 4.0 source values of a property number live: the first
// value and how many; the minimum size of the data follows.
struct SPlayerEAXRange {
  uint32_t first;
  uint32_t count;
};

bool PlayerEAXValueRange(uint32_t property, SPlayerEAXRange* range) {
  switch (property) {
    case 1: *range = {0, 18}; return true;
    case 2: *range = {4, 2}; return true;
    case 3: *range = {6, 4}; return true;
    case 4: *range = {10, 2}; return true;
    default:
      if (property >= 5 && property <= 22) {
        *range = {property - 5, 1};
        return true;
      }
      return false;
  }
}

// Per-slot send properties: record size and the words after the GUID.
struct SPlayerEAXSendKind {
  uint32_t recordSize;
  uint32_t firstWord;
  uint32_t words;
};

bool PlayerEAXSendKind(uint32_t property, SPlayerEAXSendKind* kind) {
  switch (property) {
    case 23: *kind = {24, 0, 2}; return true;
    case 24: *kind = {48, 0, 8}; return true;
    case 25: *kind = {32, 2, 4}; return true;
    case 26: *kind = {24, 6, 2}; return true;
    default: return false;
  }
}

// EAX 2.0 buffer property numbers as EAX 4.0 source numbers; -1 for none.
long PlayerEAX2ToEAX4(uint32_t property) {
  static const long kMap[15] = {0, 1, 5, 6, 7, 8, 20, 9, 10, 11, 12, 13, 17, 21, 22};
  return property < 15 ? kMap[property] : -1;
}

// The EAX 2.0 all-parameters record's values as indices of the EAX 4.0
// source values.
const uint32_t kPlayerEAX2AllOrder[13] = {0, 1, 2, 3, 15, 4, 5, 6, 7, 8, 12, 16, 17};

}  // namespace

void CPlayer::StoreEAXDefaults() {
  uint32_t values[kEAXSourceValues] = {};
  values[7] = PlayerFloatWord(0.25f);
  values[8] = PlayerFloatWord(1.5f);
  values[9] = PlayerFloatWord(1.0f);
  values[11] = PlayerFloatWord(1.0f);
  values[13] = PlayerFloatWord(1.0f);
  values[17] = 7;
  StoreEAXValues(0, values, kEAXSourceValues);
  for (long slot = 0; slot < 4; ++slot) {
    EAX40SOURCEALLSENDPROPERTIES& s = m_aEAXSends[slot];
    s.guidReceivingFXSlotID = GetGUID(slot);
    s.lSend = s.lSendHF = s.lOcclusion = s.lExclusion = 0;
    s.flOcclusionLFRatio = 0.25f;
    s.flOcclusionRoomRatio = 1.5f;
    s.flOcclusionDirectRatio = 1.0f;
    s.flExclusionLFRatio = 1.0f;
  }
  std::memset(&m_EAXActiveSlots, 0, sizeof(m_EAXActiveSlots));
}

void CPlayer::StoreEAXValues(uint32_t first, const void* data, uint32_t count) {
  std::memcpy(reinterpret_cast<uint8_t*>(&m_EAXSource) + first * 4, data, count * 4);
}

void CPlayer::LoadEAXValues(uint32_t first, void* data, uint32_t count) const {
  std::memcpy(data, reinterpret_cast<const uint8_t*>(&m_EAXSource) + first * 4, count * 4);
}

bool CPlayer::StoreEAXSends(const void* data, unsigned long size, uint32_t recordSize, uint32_t firstWord,
                            uint32_t words) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  for (unsigned long at = 0; at + recordSize <= size; at += recordSize) {
    _GUID guid;
    std::memcpy(&guid, p + at, sizeof(guid));
    long slot = GetSlotIndex(guid);
    if (slot < 0) continue;  // not one of the four effect slots
    std::memcpy(reinterpret_cast<uint8_t*>(&m_aEAXSends[slot]) + kEAXGuidBytes + firstWord * 4, p + at + kEAXGuidBytes,
                words * 4);
  }
  return true;
}

void CPlayer::LoadEAXSends(void* data, unsigned long size, uint32_t recordSize, uint32_t firstWord,
                           uint32_t words) const {
  uint8_t* p = static_cast<uint8_t*>(data);
  // One record per slot; records past the fourth are left as they are.
  long slot = 0;
  for (unsigned long at = 0; at + recordSize <= size && slot < 4; at += recordSize, ++slot)
    std::memcpy(p + at + kEAXGuidBytes,
                reinterpret_cast<const uint8_t*>(&m_aEAXSends[slot]) + kEAXGuidBytes + firstWord * 4, words * 4);
}

int32_t CPlayer::SetEAX4Source(unsigned long id, void* data, unsigned long size) {
  uint32_t property = (uint32_t)id & ~kEAXDeferred;
  SPlayerEAXRange range;
  SPlayerEAXSendKind kind;
  if (property == 0) {
    // Nothing to store; passed on as it came.
  } else if (PlayerEAXValueRange(property, &range)) {
    if (!data || size < range.count * 4) return -2;
    StoreEAXValues(range.first, data, range.count);
  } else if (PlayerEAXSendKind(property, &kind)) {
    if (!data || size < kind.recordSize) return -2;
    StoreEAXSends(data, size, kind.recordSize, kind.firstWord, kind.words);
  } else if (property == 27) {
    if (!data || size < kEAXGuidBytes) return -2;
    unsigned long n = size / kEAXGuidBytes > 2 ? 2 : size / kEAXGuidBytes;
    std::memcpy(m_EAXActiveSlots.guidActiveFXSlots, data, n * kEAXGuidBytes);
  } else {
    return -2;
  }
  if (IAUDVoiceController* vc = IAUDResourceManager::GetVoiceController())
    EachVoice([&](void* v) { vc->SetVoiceEAXProp(v, id, data, size); });
  return 0;
}

int32_t CPlayer::GetEAX4Source(unsigned long id, void* data, unsigned long size) {
  uint32_t property = (uint32_t)id;
  SPlayerEAXRange range;
  SPlayerEAXSendKind kind;
  if (property == 0) return 0;
  if (PlayerEAXValueRange(property, &range)) {
    if (!data || size < range.count * 4) return -2;
    LoadEAXValues(range.first, data, range.count);
    return 0;
  }
  if (PlayerEAXSendKind(property, &kind)) {
    if (!data || size < kind.recordSize) return -2;
    LoadEAXSends(data, size, kind.recordSize, kind.firstWord, kind.words);
    return 0;
  }
  if (property == 27) {
    if (!data || size < kEAXGuidBytes) return -2;
    unsigned long n = size / kEAXGuidBytes > 2 ? 2 : size / kEAXGuidBytes;
    std::memcpy(data, m_EAXActiveSlots.guidActiveFXSlots, n * kEAXGuidBytes);
    return 0;
  }
  return -2;
}

int32_t CPlayer::SetEAX2Source(unsigned long id, void* data, unsigned long size) {
  uint32_t deferred = (uint32_t)id & kEAXDeferred;
  long mapped = PlayerEAX2ToEAX4((uint32_t)id & ~kEAXDeferred);
  if (mapped < 0) return -2;
  if (mapped != 1) return SetEAX4Source((unsigned long)mapped | deferred, data, size);
  if (!data || size < 13 * 4) return -2;
  uint32_t eax2[13];
  std::memcpy(eax2, data, sizeof(eax2));
  uint32_t values[kEAXSourceValues] = {};
  for (int i = 0; i < 13; ++i) values[kPlayerEAX2AllOrder[i]] = eax2[i];
  values[9] = PlayerFloatWord(1.0f);   // occlusion direct ratio
  values[10] = 0;                      // exclusion
  values[11] = PlayerFloatWord(1.0f);  // exclusion LF ratio
  values[13] = PlayerFloatWord(1.0f);  // Doppler factor
  values[14] = PlayerFloatWord(0.0f);  // rolloff factor
  EAX40SOURCEPROPERTIES record;
  std::memcpy(&record, values, sizeof(record));
  return SetEAX4Source(1u | deferred, &record, sizeof(record));
}

int32_t CPlayer::GetEAX2Source(unsigned long id, void* data, unsigned long size) {
  long mapped = PlayerEAX2ToEAX4((uint32_t)id);
  if (mapped < 0) return -2;
  if (mapped != 1) return GetEAX4Source((unsigned long)mapped, data, size);
  if (!data || size < 13 * 4) return -2;
  uint32_t values[kEAXSourceValues];
  LoadEAXValues(0, values, kEAXSourceValues);
  uint32_t eax2[13];
  for (int i = 0; i < 13; ++i) eax2[i] = values[kPlayerEAX2AllOrder[i]];
  std::memcpy(data, eax2, sizeof(eax2));
  return 0;
}

int32_t CPlayer::SetEAXProperty(const _GUID& propertySet, unsigned long id, void* data, unsigned long size) {
  if (!m_papiResourceManager || !IAUDResourceManager::GetRenderInterface()) return -9;
  BeginExclusiveMode();
  int32_t result = -2;
  if (PlayerSameGUID(propertySet, g_guidEAX40Source))
    result = SetEAX4Source(id, data, size);
  else if (PlayerSameGUID(propertySet, kPlayerEAX3Buffer))
    result = SetEAX3Source(id, data, size);
  else if (PlayerSameGUID(propertySet, kPlayerEAX2Buffer))
    result = SetEAX2Source(id, data, size);
  EndExclusiveMode();
  return result;
}

int32_t CPlayer::GetEAXProperty(const _GUID& propertySet, unsigned long id, void* data, unsigned long size) {
  if (!m_papiResourceManager || !IAUDResourceManager::GetRenderInterface()) return -9;
  BeginExclusiveMode();
  int32_t result = -2;
  if (PlayerSameGUID(propertySet, g_guidEAX40Source))
    result = GetEAX4Source(id, data, size);
  else if (PlayerSameGUID(propertySet, kPlayerEAX3Buffer))
    result = GetEAX3Source(id, data, size);
  else if (PlayerSameGUID(propertySet, kPlayerEAX2Buffer))
    result = GetEAX2Source(id, data, size);
  EndExclusiveMode();
  return result;
}
