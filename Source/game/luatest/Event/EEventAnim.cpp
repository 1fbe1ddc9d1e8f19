#include "Event/EEventAnim.h"

#include <cstdlib>
#include <cstring>

#include "TWUtil/ByteOrder.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/Entity.h"
#include "VERirezo/EventAnimInstance.h"

// Little-endian values of a track file in memory; a read past the end
// fails and leaves the value 0.
class EEventAnimReader {
public:
  EEventAnimReader(const uint8_t* pData, uint32_t uSize) : m_pData(pData), m_uSize(uSize), m_uPos(0) {}

  bool Read32(uint32_t& u) {
    u = 0;
    if (m_uSize - m_uPos < 4) return false;
    u = GetLE32(m_pData + m_uPos);
    m_uPos += 4;
    return true;
  }
  bool Read16(uint16_t& u) {
    u = 0;
    if (m_uSize - m_uPos < 2) return false;
    u = GetLE16(m_pData + m_uPos);
    m_uPos += 2;
    return true;
  }
  bool ReadFloat(float& f) {
    f = 0.0f;
    if (m_uSize - m_uPos < 4) return false;
    f = GetLEFloat(m_pData + m_uPos);
    m_uPos += 4;
    return true;
  }
  const uint8_t* Take(uint32_t n) {
    if (m_uSize - m_uPos < n) return nullptr;
    const uint8_t* p = m_pData + m_uPos;
    m_uPos += n;
    return p;
  }
  uint32_t Left() const { return m_uSize - m_uPos; }

private:
  const uint8_t* m_pData;
  uint32_t m_uSize;
  uint32_t m_uPos;
};

namespace EventAnimDetail {

bool Refuse(const char* szWhat) {
  g_ErrorManager.TraceMessagef(TT_Warning, "Bad event track: %s", szWhat);
  return false;
}

}  // namespace EventAnimDetail

// ---- String tables ----------------------------------------------------------------------------

EEventAnimTable::~EEventAnimTable() { free(m_pBuffer); }

bool EEventAnimTable::loadFromMemory(EEventAnimReader& file, uint32_t uVersion) {
  free(m_pBuffer);
  m_pBuffer = m_pEnd = m_pNext = nullptr;
  uint16_t uLength = 0;
  if (!file.Read16(uLength)) return EventAnimDetail::Refuse("string table past the data");
  const uint8_t* pBytes = file.Take(uLength);
  if (!pBytes) return EventAnimDetail::Refuse("string table past the data");
  const void* pNul = memchr(pBytes, 0, uLength);
  if (!pNul) return EventAnimDetail::Refuse("string table without a NUL");
  m_pBuffer = static_cast<char*>(malloc(uLength));
  EASSERT(m_pBuffer);
  memcpy(m_pBuffer, pBytes, uLength);
  const char cSeparator = uVersion == kEVENTANIM_VERSION_BLANKS ? ' ' : uVersion == kEVENTANIM_VERSION_TABS ? '\t' : '\0';
  char* p = m_pBuffer;
  for (; *p; ++p) {
    if (cSeparator && *p == cSeparator) *p = '\0';
  }
  m_pEnd = p;
  m_pNext = m_pBuffer;
  return true;
}

const char* EEventAnimTable::getString() {
  if (!m_pBuffer) return "";
  const char* sz = m_pNext;
  m_pNext += strlen(m_pNext) + 1;
  if (m_pNext >= m_pEnd) m_pNext = m_pBuffer;
  return sz;
}

// ---- Channels ---------------------------------------------------------------------------------

bool EEventAnimChannel::loadFromMemory(EEventAnimReader& file, uint32_t) {
  uint32_t nKeys = 0;
  if (!file.Read32(nKeys)) return EventAnimDetail::Refuse("channel past the data");
  if (nKeys >= kEVENTANIM_MAX_KEYS) return EventAnimDetail::Refuse("4096 or more keys in a channel");
  if (file.Left() / 8 < nKeys) return EventAnimDetail::Refuse("keys past the data");
  delete[] m_pKeyData;
  m_pKeyData = nKeys ? new EEventAnimKey[nKeys] : nullptr;
  m_nKeys = nKeys;
  m_fMaxFrame = 0.0f;
  for (uint32_t i = 0; i < nKeys; ++i) {
    uint32_t uFrame = 0;
    file.Read32(uFrame);
    EEventAnimKey& key = m_pKeyData[i];
    key.m_fFrame = (float)uFrame;
    file.ReadFloat(key.m_fValue);
    key.m_szText = m_pTable ? m_pTable->getString() : "";
    if (key.m_fFrame > m_fMaxFrame) m_fMaxFrame = key.m_fFrame;
  }
  return true;
}

int EEventAnimChannel::update(float fFrame, int k, EEntity* pEntity, bool bFire, bool* pRefused) const {
  if (m_nKeys == 0 || k < 0 || (uint32_t)k >= m_nKeys) return -1;
  while ((uint32_t)k < m_nKeys && m_pKeyData[k].m_fFrame < fFrame) {
    if (bFire && pEntity) {
      EEventAnimDesc desc;
      desc.setChannel(m_uId);
      desc.setIndex((uint32_t)k);
      desc.setToken(0);
      desc.setTime(m_pKeyData[k].m_fFrame);
      desc.setString(m_pKeyData[k].m_szText);
      if (pEntity->EventHandler(desc) != 0) {
        *pRefused = true;
        return k;
      }
    }
    ++k;
  }
  return k;
}

// ---- Tracks -----------------------------------------------------------------------------------

EEventAnim::EEventAnim()
    : m_nEventObjects(0), m_nTables(0), m_nEventAnimChannels(0), m_pEventAnimChannels(nullptr),
      m_pEventAnimTables(nullptr) {}

EEventAnim::~EEventAnim() { Clear(); }

void EEventAnim::Clear() {
  delete[] m_pEventAnimChannels;
  delete[] m_pEventAnimTables;
  m_pEventAnimChannels = nullptr;
  m_pEventAnimTables = nullptr;
  m_nEventObjects = m_nTables = m_nEventAnimChannels = 0;
}

bool EEventAnim::loadFromMemory(const void* pBuffer, uint32_t uSize) {
  using EventAnimDetail::Refuse;
  Clear();
  if (!pBuffer) return Refuse("no data");
  EEventAnimReader file(static_cast<const uint8_t*>(pBuffer), uSize);
  uint32_t uMagic = 0, uVersion = 0, nObjects = 0, nTables = 0, nChannels = 0;
  if (!file.Read32(uMagic) || !file.Read32(uVersion) || !file.Read32(nObjects)) return Refuse("short header");
  if (nObjects != 1) return Refuse("object count other than 1");
  if (!file.Read32(nTables)) return Refuse("short header");
  if (file.Left() / 2 < nTables) return Refuse("string tables past the data");
  bool bOk = true;
  m_pEventAnimTables = nTables ? new EEventAnimTable[nTables] : nullptr;
  m_nTables = nTables;
  for (uint32_t i = 0; bOk && i < nTables; ++i) bOk = m_pEventAnimTables[i].loadFromMemory(file, uVersion);
  if (bOk && !file.Read32(nChannels)) bOk = Refuse("no channel count");
  if (bOk && nChannels > kEVENTANIM_MAX_CHANNELS) bOk = Refuse("more than 16 channels");
  if (bOk && nChannels > nTables) bOk = Refuse("more channels than string tables");
  if (bOk) {
    m_pEventAnimChannels = nChannels ? new EEventAnimChannel[nChannels] : nullptr;
    m_nEventAnimChannels = nChannels;
    for (uint32_t i = 0; bOk && i < nChannels; ++i) {
      m_pEventAnimChannels[i].setEventTable(&m_pEventAnimTables[i]);
      bOk = m_pEventAnimChannels[i].loadFromMemory(file, uVersion);
      m_pEventAnimChannels[i].setId(i);
    }
  }
  if (!bOk) {
    Clear();
    return false;
  }
  m_nEventObjects = nObjects;
  return true;
}

bool EEventAnim::update(EEventAnimInstance& instance, bool bFire) const {
  const float fFrame = instance.GetTime() * 30.0f;
  bool bFinished = true;
  for (uint32_t i = 0; i < m_nEventAnimChannels; ++i) {
    if (instance.GetCursor((int)i) != -1) {
      bool bRefused = false;
      const int k = m_pEventAnimChannels[i].update(fFrame, instance.GetCursor((int)i), instance.GetEntity(), bFire,
                                                   &bRefused);
      instance.SetCursor((int)i, k);
      if (bRefused) return false;
    }
    if (instance.GetCursor((int)i) != -1) bFinished = false;
  }
  if (bFinished && instance.GetLoop() && instance.GetTime() >= instance.GetLoopLength()) {
    instance.reset();
    instance.SetTime(instance.GetTime() - instance.GetLoopLength());
  }
  return bFinished;
}

// ---- Instances --------------------------------------------------------------------------------

bool EEventAnimInstance::HasChannels() const { return m_pEventAnim && m_pEventAnim->numChannels() > 0; }

bool EEventAnimInstance::update(float fStep) {
  if (!m_pEventAnim) return false;
  m_fTime += fStep;
  const bool bFire = !m_pEntity || !m_pEntity->GetEntityFlag(ENTITY_SPARSE_EVENTS) || m_fWeight > 0.5f;
  return m_pEventAnim->update(*this, bFire);
}
