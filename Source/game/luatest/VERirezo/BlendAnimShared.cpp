// Blend-animation channels and the shared data of one ".pba" file: the
// copying, in-place and stream readers and the writer.
#include <cstdlib>
#include <cstring>

#include "TWUtil/ByteOrder.h"
#include "TWUtil/EFile.h"
#include "TWUtil/EFileCache.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/BlendAnim.h"
#include "VERirezo/BlendShape.h"
#include "VERirezo/EBlendAnimManager.h"

// A failed check that is reported and play goes on.
#define BLENDSHARED_CHECK(cond, text) \
  do { if (!(cond)) g_ErrorManager.ErrorMessage(__FILE__, __LINE__, text, true); } while (0)

// ---------------------------------------------------------------------------
// Channels

void EBlendAnimChannel::Free() {
  if (m_bOwned) {
    free(m_szName);
    free(m_pAnimData);
  }
  m_szName = nullptr;
  m_pAnimData = nullptr;
  m_nSamples = 0;
  m_bOwned = true;
}

int EBlendAnimChannel::GetMemUsage() const { return (int)(m_nSamples + strlen(getName()) + 1); }

float EBlendAnimChannel::valueInterpolated(float t, bool bLoop) const {
  const unsigned n = m_nSamples;
  if (!m_pAnimData || n == 0) return 0.0f;
  if (n == 1) return (float)m_pAnimData[0] / 255.0f;
  const float x = (float)n / (float)(n - 1) * t * (float)kBLENDANIM_FPS;
  // Times far outside any track are pinned where a 32-bit index still holds.
  const float xc = x > 2.0e9f ? 2.0e9f : (x < -2.0e9f ? -2.0e9f : x);
  const int32_t ix = (int32_t)xc;
  unsigned i0, i1;
  if (bLoop) {
    int64_t m = (int64_t)ix % (int64_t)n;
    if (m < 0) m += n;
    i0 = (unsigned)m;
    i1 = (i0 + 1) % n;
  } else {
    i0 = ix < 0 ? 0u : ((unsigned)ix > n - 1 ? n - 1 : (unsigned)ix);
    i1 = i0 + 1 > n - 1 ? n - 1 : i0 + 1;
  }
  const float f = xc - (float)ix;
  const int diff = (int)m_pAnimData[i1] - (int)m_pAnimData[i0];
  const float step = (float)diff * f;
  return ((float)m_pAnimData[i0] + step) / 255.0f;
}

void EBlendAnimChannel::loadFromMemory(const char* szName, unsigned nameLen, const uint8_t* pSamples,
                                       unsigned nSamples) {
  Free();
  m_szName = static_cast<char*>(malloc(nameLen + 1));
  EASSERT(m_szName);
  if (nameLen) memcpy(m_szName, szName, nameLen);
  m_szName[nameLen] = '\0';
  m_pAnimData = static_cast<uint8_t*>(malloc(nSamples ? nSamples : 1));
  EASSERT(m_pAnimData);
  if (nSamples) memcpy(m_pAnimData, pSamples, nSamples);
  m_nSamples = nSamples;
}

void EBlendAnimChannel::pointInto(const char* szName, const uint8_t* pSamples, unsigned nSamples) {
  Free();
  m_bOwned = false;
  m_szName = const_cast<char*>(szName);
  m_pAnimData = const_cast<uint8_t*>(pSamples);
  m_nSamples = nSamples;
}

void EBlendAnimChannel::clearInPlace() {
  if (m_bOwned) return;
  m_szName = nullptr;
  m_pAnimData = nullptr;
  m_nSamples = 0;
  m_bOwned = true;
}

bool EBlendAnimChannel::Stream(EStream& s) {
  if (s.IsWriter()) {
    const char* szName = getName();
    size_t len = strlen(szName);
    BLENDSHARED_CHECK(len < 0xff, "iLen < 0xff");
    if (len >= 0xff) len = 0xfe;
    uint8_t byLen = (uint8_t)(len + 1);
    s << byLen;
    s.Write(szName, 1, (unsigned)len);
    s.Write("", 1, 1);
    uint32_t n = m_nSamples;
    s << n;
    if (n) s.Write(m_pAnimData, 1, n);
    return !s.Err();
  }
  Free();
  uint8_t byLen = 0;
  s << byLen;
  const unsigned nameLen = s.BoundLength(byLen);
  m_szName = static_cast<char*>(malloc(nameLen + 1u));
  EASSERT(m_szName);
  s.Read(m_szName, 1, nameLen);
  m_szName[nameLen] = '\0';
  uint32_t n = 0;
  s << n;
  if (s.Err()) return false;
  const unsigned have = s.BoundLength(n);
  m_pAnimData = static_cast<uint8_t*>(malloc(have ? have : 1u));
  BLENDSHARED_CHECK(m_pAnimData, "m_pAnimData");
  if (!m_pAnimData) return false;
  s.Read(m_pAnimData, 1, have);
  m_nSamples = have;
  return !s.Err();
}

void EBlendAnimChannel::createSamples(unsigned n) {
  Free();
  m_pAnimData = static_cast<uint8_t*>(calloc(n ? n : 1, 1));
  EASSERT(m_pAnimData);
  m_nSamples = n;
  m_szName = static_cast<char*>(calloc(32, 1));
  EASSERT(m_szName);
}

void EBlendAnimChannel::setSample(unsigned i, float x) {
  if (i >= m_nSamples || !m_pAnimData) return;
  // Weights outside 0..1 are held at the nearest end.
  float v = x * 255.0f;
  if (!(v > 0.0f)) v = 0.0f;
  if (v > 255.0f) v = 255.0f;
  m_pAnimData[i] = (uint8_t)(int)v;
}

void EBlendAnimChannel::setName(const char* szName) {
  if (!m_bOwned) clearInPlace();
  char* szBuf = static_cast<char*>(calloc(32, 1));
  EASSERT(szBuf);
  if (szName) {
    size_t len = strlen(szName);
    if (len > 31) len = 31;
    memcpy(szBuf, szName, len);
  }
  free(m_szName);
  m_szName = szBuf;
}

// ---------------------------------------------------------------------------
// Shared data

EBlendAnimShared::EBlendAnimShared()
    : m_nAnimChannels(0), m_pBlendAnimChannels(nullptr), m_fTotalTime(0.0f), m_bLoaded(false), m_pCacheRef(nullptr),
      m_pData(nullptr), m_iDataSize(0), m_szName(nullptr), m_nRefCount(0) {}

EBlendAnimShared::~EBlendAnimShared() {
  if (EBlendAnimManager* pManager = EBlendAnimManager::Get()) {
    pManager->AbortAsyncRequest(this);
    BLENDSHARED_CHECK(!pManager->HasPendingAsyncRequest(this),
                      "!gGameApp->m_pBlendAnimManager->HasPendingAsyncRequest(this)");
    if (m_pCacheRef) pManager->ReleaseCacheUser(m_pCacheRef);
  }
  if (m_pData) {
    BLENDSHARED_CHECK(m_iDataSize >= 4 && GetLE32(reinterpret_cast<const uint8_t*>(m_pData)) == kPBA_MAGIC,
                      "(*((DWORD*)m_pData)) == 'EPBA'");
    BLENDSHARED_CHECK(m_iDataSize > 0 && m_pData[m_iDataSize - 1] == '\0', "(*(m_pData+m_iDataSize-1)) == '\\0'");
    for (unsigned i = 0; i < m_nAnimChannels; ++i) m_pBlendAnimChannels[i].clearInPlace();
    free(m_pData);
    m_pData = nullptr;
  }
  FreeChannels();
}

void EBlendAnimShared::FreeChannels() {
  delete[] m_pBlendAnimChannels;
  m_pBlendAnimChannels = nullptr;
  m_nAnimChannels = 0;
  m_fTotalTime = 0.0f;
}

float EBlendAnimShared::getTotalTimeInSecs() const {
  if (!m_pBlendAnimChannels || m_nAnimChannels == 0) return 0.0f;
  return m_fTotalTime;
}

bool EBlendAnimShared::loadFromMemory(EDynamicCacheFile* pFile) {
  m_pCacheRef = pFile;
  if (!pFile) return false;
  if (EBlendAnimManager* pManager = EBlendAnimManager::Get()) pManager->AddCacheUser(pFile);
  return loadFromMemory(reinterpret_cast<const char*>(pFile->data()), pFile->filesize());
}

bool EBlendAnimShared::loadFromMemory(const char* pData, unsigned len) { return ReadRecords(pData, len, false); }

bool EBlendAnimShared::loadFromMemoryFixup(char* pData, unsigned len) {
  m_pData = pData;
  m_iDataSize = (int)(len + (m_szName ? strlen(m_szName) : 0) + 1);
  return ReadRecords(pData, len, true);
}

// Walks the records of len bytes. In place the channels point into the
// bytes, otherwise they copy them. Stops at the first record that does not
// fit, keeping the channels before it.
bool EBlendAnimShared::ReadRecords(const char* pData, unsigned len, bool bInPlace) {
  FreeChannels();
  if (!pData) len = 0;
  const uint8_t* p = reinterpret_cast<const uint8_t*>(pData);
  const uint8_t* const end = p ? p + len : p;
  uint32_t nClaimed = 0;
  if (len >= 4) {
    const uint32_t fileSignature = GetLE32(p);
    BLENDSHARED_CHECK(fileSignature == kPBA_MAGIC, "fileSignature == 'EPBA'");
  }
  if (len >= kPBA_HEADER_BYTES) nClaimed = GetLE32(p + 8);
  p = len >= kPBA_HEADER_BYTES ? p + kPBA_HEADER_BYTES : end;
  uint32_t n = nClaimed;
  BLENDSHARED_CHECK(n <= MAX_BLENDCHANNELS, "m_nAnimChannels <= MAX_BLENDCHANNELS");
  if (n > MAX_BLENDCHANNELS) n = MAX_BLENDCHANNELS;
  m_pBlendAnimChannels = n ? new EBlendAnimChannel[n] : nullptr;
  m_nAnimChannels = n;
  m_fTotalTime = 0.0f;

  bool bOk = len >= kPBA_HEADER_BYTES;
  if (!bOk) g_ErrorManager.TraceMessagef(TT_Warning, "Fewer channels than claimed (%d/%d)", 0, (int)nClaimed);
  uint32_t i = 0;
  for (; bOk && i < n; ++i) {
    if (p >= end) {
      g_ErrorManager.TraceMessagef(TT_Warning, "Fewer channels than claimed (%d/%d)", (int)i, (int)nClaimed);
      bOk = false;
      break;
    }
    const unsigned nameLen = *p;
    const char* szName = reinterpret_cast<const char*>(p + 1);
    const size_t nameLeft = (size_t)(end - p) - 1;
    p += 1;
    if (nameLen > nameLeft || (size_t)(end - p) - nameLen < 4) {
      // The name runs past the data, or nothing is left for its sample count.
      const bool bIncomplete = nameLen > nameLeft;
      char szShown[256];
      const size_t shown = bIncomplete ? 0 : (nameLen && !szName[nameLen - 1] ? nameLen - 1 : nameLen);
      memcpy(szShown, szName, shown);
      szShown[shown] = '\0';
      g_ErrorManager.TraceMessagef(TT_Warning, "Channel %s has a name but no data",
                                   bIncomplete ? "(incomplete)" : szShown);
      bOk = false;
      break;
    }
    p += nameLen;
    const uint32_t nSamples = GetLE32(p);
    p += 4;
    const size_t left = (size_t)(end - p);
    if (nSamples > left) {
      char szShown[256];
      const size_t shown = nameLen && !szName[nameLen - 1] ? nameLen - 1 : nameLen;
      memcpy(szShown, szName, shown);
      szShown[shown] = '\0';
      g_ErrorManager.TraceMessagef(TT_Warning, "Channel %s claims to have %d samples, but at best has %d", szShown,
                                   (int)nSamples, (int)left);
      bOk = false;
      break;
    }
    EBlendAnimChannel& channel = m_pBlendAnimChannels[i];
    if (bInPlace)
      channel.pointInto(szName, p, nSamples);
    else
      channel.loadFromMemory(szName, nameLen, p, nSamples);
    p += nSamples;
    const float fTime = channel.getTotalTimeInSecs();
    if (fTime > m_fTotalTime) m_fTotalTime = fTime;
  }
  if (!bOk) {
    // The channels read so far stay usable.
    for (uint32_t k = i; k < n; ++k) {
      m_pBlendAnimChannels[k].clearInPlace();
    }
    m_nAnimChannels = i;
  }
  m_bLoaded = true;
  return bOk;
}

bool EBlendAnimShared::load(const char* szPath) {
  EFile* pFile = gFile ? gFile->Open(szPath, FILE_READ, kFILELOC_Default) : nullptr;
  if (!pFile) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Failed to open '%s'", szPath ? szPath : "");
    return false;
  }
  EFileReader reader(pFile, kAUTOCLOSE_Yes);
  load(reader);
  return true;
}

bool EBlendAnimShared::load(EStream& s) {
  FreeChannels();
  uint32_t magic = 0, version = 0, n = 0;
  s << magic << version << n;
  BLENDSHARED_CHECK(n < MAX_BLENDCHANNELS, "m_nAnimChannels < MAX_BLENDCHANNELS");
  if (n > MAX_BLENDCHANNELS) n = MAX_BLENDCHANNELS;
  if (s.Err()) n = 0;
  m_pBlendAnimChannels = n ? new EBlendAnimChannel[n] : nullptr;
  m_nAnimChannels = n;
  bool bOk = !s.Err();
  for (uint32_t i = 0; i < n; ++i) {
    if (!m_pBlendAnimChannels[i].load(s)) {
      // A record cut short ends the channels.
      m_nAnimChannels = i;
      bOk = false;
      break;
    }
    const float fTime = m_pBlendAnimChannels[i].getTotalTimeInSecs();
    if (fTime > m_fTotalTime) m_fTotalTime = fTime;
  }
  m_bLoaded = true;
  return bOk;
}

bool EBlendAnimShared::writeToFile(const char* szPath) {
  EFile* pFile = gFile ? gFile->Open(szPath, FILE_WRITE | FILE_CREATE | FILE_TRUNCATE, kFILELOC_AsGiven) : nullptr;
  if (!pFile) return false;
  EFileWriter writer(pFile, kAUTOCLOSE_Yes);
  return writeToFile(writer);
}

bool EBlendAnimShared::writeToFile(EStream& s) {
  uint32_t magic = kPBA_MAGIC, version = kPBA_VERSION, n = m_nAnimChannels;
  s << magic << version << n;
  for (uint32_t i = 0; i < m_nAnimChannels; ++i) m_pBlendAnimChannels[i].writeToFile(s);
  return !s.Err();
}

void EBlendAnimShared::createChannels(unsigned count, unsigned samples) {
  FreeChannels();
  if (count > MAX_BLENDCHANNELS) count = MAX_BLENDCHANNELS;
  m_pBlendAnimChannels = count ? new EBlendAnimChannel[count] : nullptr;
  m_nAnimChannels = count;
  for (unsigned i = 0; i < count; ++i) m_pBlendAnimChannels[i].createSamples(samples);
  m_fTotalTime = (float)samples / (float)kBLENDANIM_FPS;
}

void EBlendAnimShared::copyChannelNames(EBlendShape& shape) {
  for (unsigned t = 0; t < shape.numBlendTargets() && t < m_nAnimChannels; ++t)
    m_pBlendAnimChannels[t].setName(shape.blendTargets(t)->getName());
}

#undef BLENDSHARED_CHECK
