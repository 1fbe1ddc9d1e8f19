#include "VERirezo/SkelAnim.h"

#include <cstdlib>
#include <cstring>

#include "Event/EEventAnim.h"
#include "TWUtil/ByteOrder.h"
#include "TWUtil/EFile.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/String.h"
#include "VERirezo/BlendAnim.h"

int SkelAnimValueSize(int eKind) {
  switch (eKind) {
    case CHANNEL_POS:
    case CHANNEL_SCALE:
      return 12;
    case CHANNEL_ROT:
      return 16;
    case CHANNEL_ROTCOMP:
      return 6;
  }
  return 0;
}

int SkelAnimKeySize(int eKind) { return 2 + SkelAnimValueSize(eKind); }

// ---------------------------------------------------------------------------
// Keyframe channels

int EKeyframeChannelUntyped::GetKeyTime(int i, int iKeySize) const { return GetLE16(m_pKeys + i * iKeySize); }

namespace SkelAnimSample {

// The key before t and the fraction toward the next one; false when t lies
// outside the keys (iKey is then the key to hold). Played forward, the hint
// usually still holds the right key.
__attribute__((always_inline)) inline bool FindKeys(const unsigned char* pKeys, int n, int iKeySize, float t, uint16_t* pHint, int& iKey,
                     float& u) {
  int iStart = 0;
  if (pHint && *pHint < n) {
    const int h = *pHint;
    const float t1 = (float)GetLE16(pKeys + h * iKeySize);
    if (t >= t1) {
      iStart = h;
      if (h + 1 < n) {
        const float t2 = (float)GetLE16(pKeys + (h + 1) * iKeySize);
        if (t2 > t) {
          // Keys a frame apart need no division (dividing by 1 is exact).
          const float fSpan = t2 - t1;
          u = fSpan == 1.0f ? t - t1 : (t - t1) / fSpan;
          iKey = h;
          return true;
        }
      }
    }
  }
  if (t < (float)GetLE16(pKeys + iStart * iKeySize)) {
    if (pHint) *pHint = (uint16_t)iStart;
    iKey = iStart;
    return false;
  }
  for (int i = iStart + 1; i < n; ++i) {
    const float t2 = (float)GetLE16(pKeys + i * iKeySize);
    if (t2 > t) {
      const float t1 = (float)GetLE16(pKeys + (i - 1) * iKeySize);
      const float fSpan = t2 - t1;
      u = fSpan == 1.0f ? t - t1 : (t - t1) / fSpan;
      iKey = i - 1;
      if (pHint) *pHint = (uint16_t)iKey;
      return true;
    }
  }
  iKey = n - 1;
  if (pHint) *pHint = (uint16_t)iKey;
  return false;
}

// EQuat::Slerp along the shorter arc, with its linear path for near keys
// done here on plain floats: neighbouring keys are nearly always that close.
// The arithmetic is the same, in the same order.
__attribute__((always_inline)) inline EQuat Between(const float* a, const float* b, float u) {
  const float d = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
  if (d >= 0.999f || d <= -0.999f) {
    const float fSign = d < 0.0f ? -1.0f : 1.0f;
    float r0 = a[0] + (fSign * b[0] - a[0]) * u;
    float r1 = a[1] + (fSign * b[1] - a[1]) * u;
    float r2 = a[2] + (fSign * b[2] - a[2]) * u;
    float r3 = a[3] + (fSign * b[3] - a[3]) * u;
    const float len = FastSqrt(r0 * r0 + r1 * r1 + r2 * r2 + r3 * r3);
    if (len < 0.00001f) return cg_qIdentity;
    if (!Equal(len, 1.0f, 0.00001f)) {
      const float fScale = 1.0f / len;
      r0 *= fScale;
      r1 *= fScale;
      r2 *= fScale;
      r3 *= fScale;
    }
    return EQuat(r0, r1, r2, r3);
  }
  return EQuat(a[0], a[1], a[2], a[3]).Slerp(EQuat(b[0], b[1], b[2], b[3]), u, true);
}

inline void ReadFloats(const unsigned char* p, float* out, int n) {
  for (int k = 0; k < n; ++k) out[k] = GetLEFloat(p + 4 * k);
}

}  // namespace SkelAnimSample

EVec3 EKeyframeChannelVec3::GetValue(float t, uint16_t* pHint) const {
  if (!m_nKeys) return EVec3();
  int i = 0;
  float u = 0.0f;
  if (!SkelAnimSample::FindKeys(m_pKeys, m_nKeys, 14, t, pHint, i, u)) return GetKeyValue(i);
  float a[3], b[3];
  SkelAnimSample::ReadFloats(m_pKeys + i * 14 + 2, a, 3);
  SkelAnimSample::ReadFloats(m_pKeys + i * 14 + 16, b, 3);
  return EVec3(a[0] + (b[0] - a[0]) * u, a[1] + (b[1] - a[1]) * u, a[2] + (b[2] - a[2]) * u);
}

EQuat EKeyframeChannelQuat::GetValue(float t, uint16_t* pHint) const {
  if (!m_nKeys) return EQuat();
  int i = 0;
  float u = 0.0f;
  if (!SkelAnimSample::FindKeys(m_pKeys, m_nKeys, 18, t, pHint, i, u)) return GetKeyValue(i);
  float a[4], b[4];
  SkelAnimSample::ReadFloats(m_pKeys + i * 18 + 2, a, 4);
  SkelAnimSample::ReadFloats(m_pKeys + i * 18 + 20, b, 4);
  return SkelAnimSample::Between(a, b, u);
}

EQuat EKeyframeChannelQuatComp::GetValue(float t, uint16_t* pHint) const {
  if (!m_nKeys) return EQuat();
  int i = 0;
  float u = 0.0f;
  if (!SkelAnimSample::FindKeys(m_pKeys, m_nKeys, 8, t, pHint, i, u)) return GetKeyValue(i);
  const EQuat qa = GetKeyValue(i), qb = GetKeyValue(i + 1);
  const float a[4] = {qa.x, qa.y, qa.z, qa.w}, b[4] = {qb.x, qb.y, qb.z, qb.w};
  return SkelAnimSample::Between(a, b, u);
}

void EArrayWriter::StreamLow(void* data, unsigned bytes) {
  const unsigned uEnd = m_uPos + bytes;
  if ((int)uEnd > m_Array.Num()) m_Array.GrowTo((int)uEnd);
  if (data) memcpy(&m_Array[(int)m_uPos], data, bytes);
  else memset(&m_Array[(int)m_uPos], 0, bytes);
  m_uPos = uEnd;
}

// ---------------------------------------------------------------------------
// The joint data: one walk over the records serves the conversions of old
// files and the building of the channel records. Every count and length is
// checked against the bytes left; a failed check names its expression.

namespace SkelAnimFile {

struct Cursor {
  const unsigned char* p;
  unsigned uLeft;
  const unsigned char* Take(unsigned n) {
    if (n > uLeft) return nullptr;
    const unsigned char* r = p;
    p += n;
    uLeft -= n;
    return r;
  }
};

class Visitor {
public:
  virtual ~Visitor() {}
  // The joint's length field and name bytes.
  virtual bool Joint(int iJoint, const unsigned char* pBytes, unsigned uBytes) = 0;
  virtual void Count(uint16_t n) = 0;
  // A keyed channel (nKeys > 0, keys in the input layout) or a constant one
  // (nKeys 0, pKeys at the value).
  virtual bool Channel(int iJoint, int eKind, int nKeys, const unsigned char* pKeys) = 0;
};

struct Walk {
  bool bWideTimes;  // 32-bit key times
  bool bConstants;  // a key count of 0 marks a constant channel
  int iMaxJoints;
  int iJoints = 0;
  const char* szError = nullptr;

  bool Fail(const char* szExpr) {
    if (!szError) szError = szExpr;
    return false;
  }
  uint16_t Get16(Cursor& c, bool& bOk) {
    const unsigned char* p = c.Take(2);
    if (!p) {
      bOk = Fail("uBytes <= uBytesLeft");
      return 0;
    }
    return GetLE16(p);
  }

  bool Joint(Cursor& c, Visitor& v) {
    if (iJoints >= iMaxJoints) return Fail("m_Anims.Num() == m_Anims.Max()");
    const int iJoint = iJoints++;
    const unsigned char* pLen = c.p;
    const unsigned char* p = c.Take(4);
    if (!p) return Fail("uBytes <= uBytesLeft");
    const uint32_t uNameLen = GetLE32(p);
    const unsigned char* pName = c.Take(uNameLen);
    if (!pName) return Fail("uBytes <= uBytesLeft");
    if (uNameLen == 0 || pName[uNameLen - 1] != 0) return Fail("iNameLen > 0 && szName[iNameLen - 1] == 0");
    if (!v.Joint(iJoint, pLen, 4 + uNameLen)) return Fail("m_ChannelHeaders.Num() == m_ChannelHeaders.Max()");
    bool bOk = true;
    const uint16_t nChannels = Get16(c, bOk);
    if (!bOk) return false;
    v.Count(nChannels);
    for (int i = 0; i < nChannels; ++i) {
      const uint16_t eKind = Get16(c, bOk);
      const uint16_t nKeys = Get16(c, bOk);
      if (!bOk) return false;
      if (eKind > CHANNEL_ROTCOMP) return Fail("false");
      const unsigned uValue = (unsigned)SkelAnimValueSize(eKind);
      unsigned uBytes = 0;
      if (nKeys == 0) {
        if (!bConstants) return Fail("nKeys > 0");
        uBytes = uValue;
      } else {
        uBytes = nKeys * (uValue + (bWideTimes ? 4 : 2));
      }
      const unsigned char* pKeys = c.Take(uBytes);
      if (!pKeys) return Fail("uBytes <= uBytesLeft");
      if (!v.Channel(iJoint, eKind, nKeys, pKeys)) return Fail("m_ChannelHeaders.Num() == m_ChannelHeaders.Max()");
    }
    const uint16_t nChildren = Get16(c, bOk);
    if (!bOk) return false;
    v.Count(nChildren);
    for (int i = 0; i < nChildren; ++i) {
      if (!Joint(c, v)) return false;
    }
    return true;
  }
};

// Copies the joint data, changing channels where a filter wants to.
class Rewriter : public Visitor {
public:
  explicit Rewriter(EArray<unsigned char>& out) : m_Writer(out) {}
  bool Joint(int, const unsigned char* pBytes, unsigned uBytes) override {
    m_Writer.Stream(pBytes, uBytes);
    return true;
  }
  void Count(uint16_t n) override { Put16(n); }
  void Put16(uint16_t n) {
    unsigned char b[2];
    PutLE16(b, n);
    m_Writer.Stream(b, 2);
  }
  void PutVec3(const EVec3& v) {
    unsigned char b[12];
    PutLEFloat(b, v.x);
    PutLEFloat(b + 4, v.y);
    PutLEFloat(b + 8, v.z);
    m_Writer.Stream(b, 12);
  }
  void Copy(int eKind, int nKeys, const unsigned char* pKeys) {
    Put16((uint16_t)eKind);
    Put16((uint16_t)nKeys);
    const unsigned uValue = (unsigned)SkelAnimValueSize(eKind);
    m_Writer.Stream(pKeys, nKeys ? nKeys * (uValue + 2) : uValue);
  }

  EArrayWriter m_Writer;
};

// 32-bit key times become 16-bit ones; constant channels stay as they are.
class ChangeKeySize : public Rewriter {
public:
  using Rewriter::Rewriter;
  bool Channel(int, int eKind, int nKeys, const unsigned char* pKeys) override {
    const unsigned uValue = (unsigned)SkelAnimValueSize(eKind);
    Put16((uint16_t)eKind);
    Put16((uint16_t)nKeys);
    if (!nKeys) {
      m_Writer.Stream(pKeys, uValue);
      return true;
    }
    for (int i = 0; i < nKeys; ++i) {
      const unsigned char* p = pKeys + i * (uValue + 4);
      Put16((uint16_t)GetLE32(p));
      m_Writer.Stream(p + 4, uValue);
    }
    return true;
  }
};

// A constant channel becomes one key at time 0.
class RemoveConstants : public Rewriter {
public:
  RemoveConstants(EArray<unsigned char>& out, ESkelAnimHeader& header) : Rewriter(out), m_Header(header) {}
  bool Channel(int, int eKind, int nKeys, const unsigned char* pKeys) override {
    if (nKeys) {
      Copy(eKind, nKeys, pKeys);
      return true;
    }
    Put16((uint16_t)eKind);
    Put16(1);
    Put16(0);
    m_Writer.Stream(pKeys, (unsigned)SkelAnimValueSize(eKind));
    if (eKind == CHANNEL_POS) --m_Header.nNullPosKeys;
    else if (eKind == CHANNEL_ROT) --m_Header.nNullRotKeys;
    else if (eKind == CHANNEL_SCALE) --m_Header.nNullScaleKeys;
    return true;
  }
  ESkelAnimHeader& m_Header;
};

// The root's position keys hold deltas: they become positions.
class RemoveDeltaTranslation : public Rewriter {
public:
  RemoveDeltaTranslation(EArray<unsigned char>& out, int eMode) : Rewriter(out), m_eMode(eMode) {}
  bool Channel(int iJoint, int eKind, int nKeys, const unsigned char* pKeys) override {
    if (iJoint != 0 || eKind != CHANNEL_POS) {
      Copy(eKind, nKeys, pKeys);
      return true;
    }
    Put16((uint16_t)eKind);
    Put16((uint16_t)nKeys);
    EVec3 vSum;
    for (int i = 0; i < nKeys; ++i) {
      const unsigned char* p = pKeys + i * 14;
      if (m_eMode != TRANS_XYZ) vSum.y = 0.0f;
      vSum += EVec3(GetLEFloat(p + 2), GetLEFloat(p + 6), GetLEFloat(p + 10));
      m_Writer.Stream(p, 2);
      PutVec3(vSum);
    }
    return true;
  }
  int m_eMode;
};

// Builds the joint and channel records over data already in place.
class Builder : public Visitor {
public:
  Builder(EArray<EJointAnimShared>& anims, EArray<EKeyframeChannelUntyped>& channels)
      : m_Anims(anims), m_Channels(channels) {}
  bool Joint(int, const unsigned char*, unsigned) override {
    if (m_Anims.Num() >= m_Anims.Max()) return false;
    const int i = m_Anims.Add();
    memset(&m_Anims[i], 0, sizeof(EJointAnimShared));
    return true;
  }
  void Count(uint16_t) override {}
  bool Channel(int, int eKind, int nKeys, const unsigned char* pKeys) override {
    if (m_Channels.Num() >= m_Channels.Max()) return false;
    const int i = m_Channels.Add();
    EKeyframeChannelUntyped& c = m_Channels[i];
    c.m_nKeys = c.m_nMaxKeys = (uint16_t)nKeys;
    c.m_pKeys = pKeys;
    EJointAnimShared& j = m_Anims[m_Anims.Num() - 1];
    switch (eKind) {
      case CHANNEL_POS: j.m_pPos = static_cast<const EKeyframeChannelVec3*>(&c); break;
      case CHANNEL_ROT: j.m_pRot = static_cast<const EKeyframeChannelQuat*>(&c); break;
      case CHANNEL_SCALE: j.m_pScale = static_cast<const EKeyframeChannelVec3*>(&c); break;
      case CHANNEL_ROTCOMP: j.m_pRotComp = static_cast<const EKeyframeChannelQuatComp*>(&c); break;
    }
    return true;
  }
  EArray<EJointAnimShared>& m_Anims;
  EArray<EKeyframeChannelUntyped>& m_Channels;
};

bool RunFilter(EArray<unsigned char>& data, const ESkelAnimHeader& header, bool bWide, bool bConstants,
               Rewriter& filter, EArray<unsigned char>& out, const char*& szError) {
  Walk w{bWide, bConstants, header.nJoints};
  Cursor c{data.GetData(), (unsigned)data.Num()};
  if (!w.Joint(c, filter)) {
    szError = w.szError;
    return false;
  }
  EArray<unsigned char>::Swap(data, out);
  return true;
}

// Header, from a stream at the magic. bytes receives the header's size.
bool ReadHeader(EStream& s, ESkelAnimHeader& h, uint16_t& nLength, unsigned& uBytes, const char* szName) {
  unsigned char b[kSKELANIM_HEADER200];
  s.Stream(b, 8);
  if (s.Err() || GetLE32(b) != kSKELANIM_MAGIC) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Not an animation file '%s'", szName);
    return false;
  }
  memset(&h, 0, sizeof(h));
  h.fileVersion = GetLE32(b + 4);
  if (h.fileVersion == 201) {
    s.Stream(b + 8, kSKELANIM_HEADER201 - 8);
    uBytes = kSKELANIM_HEADER201;
  } else if (h.fileVersion == 200) {
    s.Stream(b + 8, kSKELANIM_HEADER200 - 8);
    uBytes = kSKELANIM_HEADER200;
  } else {
    g_ErrorManager.TraceMessagef(TT_Warning, "Unsupported anim version 0x%x '%s'", h.fileVersion, szName);
    return false;
  }
  if (s.Err()) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Not an animation file '%s'", szName);
    return false;
  }
  if (h.fileVersion == 201) {
    const uint16_t eMode = GetLE16(b + 8);
    const uint8_t iFlags = b[12];
    if (eMode & iFlags) {
      g_ErrorManager.TraceMessagef(TT_Warning, "%s '%s'", "(header.eTranslateMode & header.iFlags) == 0", szName);
      return false;
    }
    nLength = GetLE16(b + 10);
    h.nJoints = b[13];
    memcpy(h.anChannels, b + 14, 3);
    h.eTranslateMode = eMode | iFlags;
  } else {
    nLength = 0;
    h.nJoints = (uint8_t)GetLE32(b + 36);
    for (int i = 0; i < 3; ++i) h.anChannels[i] = (uint8_t)GetLE32(b + 40 + 4 * i);
    h.nNullPosKeys = GetLE32(b + 64);
    h.nNullRotKeys = GetLE32(b + 68);
    h.nNullScaleKeys = GetLE32(b + 72);
    h.eTranslateMode = GetLE32(b + 76);
  }
  return true;
}

}  // namespace SkelAnimFile

// ---------------------------------------------------------------------------

ESkelAnimShared::ESkelAnimShared()
    : m_pName(nullptr),
      m_pRootName(nullptr),
      m_iSize(0),
      m_nAnimLength(0),
      m_fBias(1.0f),
      m_iTimeStamp(0),
      m_iSkelRefCount(0),
      m_Anims(kMEMTYPE_Anim),
      m_ChannelHeaders(kMEMTYPE_Anim),
      m_Data(kMEMTYPE_Anim),
      m_pEventAnim(nullptr),
      m_pBlendAnimShared(nullptr),
      m_iPackOffset(0xFFFFFFFFu),
      m_iPackSize(0xFFFFFFFFu),
      m_bCommon(false),
      m_bReloadNeeded(false),
      m_bReloadInProgress(false) {
  memset(&m_Header, 0, sizeof(m_Header));
}

ESkelAnimShared::~ESkelAnimShared() {
  // The event track and the blend-shape animation go with the animation
  // once nothing plays them.
  delete m_pEventAnim;
  m_pEventAnim = nullptr;
  EASSERT(!m_pBlendAnimShared || m_pBlendAnimShared->GetRefCount() == 0);
  delete m_pBlendAnimShared;
  m_pBlendAnimShared = nullptr;
  StringFreePooled(m_pName, kMEMTYPE_Anim);
  StringFreePooled(m_pRootName, kMEMTYPE_Anim);
}

int ESkelAnimShared::GetRefCount() const {
  return m_iSkelRefCount + (m_pBlendAnimShared ? m_pBlendAnimShared->GetRefCount() : 0);
}


int ESkelAnimShared::GetLoadedDeltaTransLength() const {
  if (m_Anims.Num() == 0 || !m_Anims[0].m_pPos) return 0;
  return m_Anims[0].m_pPos->GetFinalTime();
}

void ESkelAnimShared::SetRootName(const char* szName) {
  StringFreePooled(m_pRootName, kMEMTYPE_Anim);
  m_pRootName = StringDuplicatePooled(szName, kMEMTYPE_Anim);
}

void ESkelAnimShared::CalculateMemUsage() {
  m_iSize = m_Anims.Max() * (int)sizeof(EJointAnimShared) +
            m_ChannelHeaders.Max() * (int)sizeof(EKeyframeChannelUntyped) + m_Data.Max() +
            (int)sizeof(ESkelAnimShared);
}

bool ESkelAnimShared::Init(const char* szPath) {
  if (!szPath || !*szPath) return false;
  StringFreePooled(m_pName, kMEMTYPE_Anim);
  m_pName = StringDuplicatePooled(szPath, kMEMTYPE_Anim);
  EFile* pFile = gFile->Open(szPath, FILE_READ, kFILELOC_Default);
  if (!pFile) {
    g_ErrorManager.TraceMessagef(TT_Anim, "Could not open '%s'", szPath);
    return false;
  }
  const int iSize = pFile->GetFilesize();
  bool bOk;
  {
    EFileReader reader(pFile, kAUTOCLOSE_No);
    bOk = iSize >= 0 && InitFromFile(reader, (unsigned)iSize);
  }
  pFile->Close();
  if (bOk && m_Header.fileVersion == 200) {
    int iLength = 1;
    if (m_Anims.Num() > 0 && m_Anims[0].m_pPos) iLength = MAX(iLength, m_Anims[0].m_pPos->GetFinalTime());
    if (m_Anims.Num() > 0 && m_Anims[0].m_pRot) iLength = MAX(iLength, m_Anims[0].m_pRot->GetFinalTime());
    m_nAnimLength = (uint16_t)iLength;
  }
  return bOk;
}

bool ESkelAnimShared::InitFromFile(EStream& reader, unsigned uSize) {
  using namespace SkelAnimFile;
  const char* szName = m_pName ? m_pName : "";
  ESkelAnimHeader header;
  uint16_t nLength = 0;
  unsigned uHeaderBytes = 0;
  if (uSize < 8 || !ReadHeader(reader, header, nLength, uHeaderBytes, szName)) {
    if (uSize < 8) g_ErrorManager.TraceMessagef(TT_Warning, "Not an animation file '%s'", szName);
    return false;
  }
  if (uSize < uHeaderBytes) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Not an animation file '%s'", szName);
    return false;
  }
  const unsigned uDataSize = reader.BoundLength(uSize - uHeaderBytes);
  EArray<unsigned char> data(kMEMTYPE_Anim);
  data.GrowTo((int)uDataSize, true);
  if (uDataSize) reader.Stream(data.GetData(), uDataSize);
  const char* szError = nullptr;
  if (reader.Err() || uDataSize != uSize - uHeaderBytes) szError = "uBytes <= uBytesLeft";

  if (!szError && header.fileVersion == 200) {
    EArray<unsigned char> out(kMEMTYPE_Anim);
    ChangeKeySize filter(out);
    bool bOk = RunFilter(data, header, true, true, filter, out, szError);
    if (bOk && header.nNullPosKeys + header.nNullRotKeys + header.nNullScaleKeys != 0) {
      EArray<unsigned char> out2(kMEMTYPE_Anim);
      RemoveConstants filter2(out2, header);
      bOk = RunFilter(data, header, false, true, filter2, out2, szError);
      if (bOk && header.nNullPosKeys + header.nNullRotKeys + header.nNullScaleKeys != 0) {
        szError = "(m_Header.nNullPosKeys + m_Header.nNullRotKeys + m_Header.nNullScaleKeys) == 0";
        bOk = false;
      }
    }
    if (bOk && header.GetTranslateMode() != TRANS_None) {
      EArray<unsigned char> out3(kMEMTYPE_Anim);
      RemoveDeltaTranslation filter3(out3, header.GetTranslateMode());
      bOk = RunFilter(data, header, false, false, filter3, out3, szError);
    }
  }
  if (!szError) data.Compact();

  // The records, built over the data in its final place.
  EArray<EJointAnimShared> anims(kMEMTYPE_Anim);
  EArray<EKeyframeChannelUntyped> channels(kMEMTYPE_Anim);
  if (!szError) {
    anims.Reserve(header.nJoints);
    channels.Reserve(header.GetNumChannels());
    Builder builder(anims, channels);
    Walk w{false, false, header.nJoints};
    Cursor c{data.GetData(), (unsigned)data.Num()};
    if (!w.Joint(c, builder)) szError = w.szError;
    else if (channels.Num() != channels.Max()) szError = "m_ChannelHeaders.Num() == m_ChannelHeaders.Max()";
    else if (anims.Num() != anims.Max()) szError = "m_Anims.Num() == m_Anims.Max()";
  }
  if (szError) {
    g_ErrorManager.TraceMessagef(TT_Warning, "%s '%s'", szError, szName);
    return false;
  }

  m_Header = header;
  if (header.fileVersion == 201) m_nAnimLength = nLength;
  EArray<unsigned char>::Swap(m_Data, data);
  EArray<EJointAnimShared>::Swap(m_Anims, anims);
  EArray<EKeyframeChannelUntyped>::Swap(m_ChannelHeaders, channels);
  if (!m_pRootName) SetRootName(reinterpret_cast<const char*>(m_Data.GetData() + 4));
  CalculateMemUsage();
  return true;
}

void ESkelAnimShared::BuildStub() {
  m_Anims.Empty();
  m_ChannelHeaders.Empty();
  if (m_Data.Num() == 0) return;
  m_Anims.GrowTo(1, true);
  memset(&m_Anims[0], 0, sizeof(EJointAnimShared));
  m_ChannelHeaders.GrowTo(1, true);
  EKeyframeChannelUntyped& c = m_ChannelHeaders[0];
  c.m_nKeys = c.m_nMaxKeys = (uint16_t)(m_Data.Num() / 14);
  c.m_pKeys = m_Data.GetData();
  m_Anims[0].m_pPos = static_cast<const EKeyframeChannelVec3*>(&c);
}

bool ESkelAnimShared::InitAsStub(const char* szName, EStream& reader) {
  StringFreePooled(m_pName, kMEMTYPE_Anim);
  m_pName = StringDuplicatePooled(szName, kMEMTYPE_Anim);
  const char* szShown = m_pName ? m_pName : "";
  reader << m_iPackOffset << m_iPackSize;
  char szRoot[4096];
  reader.StreamString_2b(szRoot, sizeof(szRoot));
  SetRootName(szRoot);
  uint16_t nLength = 0;
  unsigned uHeaderBytes = 0;
  ESkelAnimHeader header;
  if (!SkelAnimFile::ReadHeader(reader, header, nLength, uHeaderBytes, szShown)) return false;
  m_Header = header;
  m_nAnimLength = nLength;
  m_Data.Empty();
  const int eMode = header.GetTranslateMode();
  if (eMode == TRANS_XZ || eMode == TRANS_XYZ) {
    const char* szError = nullptr;
    uint16_t eType = 0, nKeys = 0;
    if (header.fileVersion < 201) szError = "m_Header.fileVersion >= 201";
    if (!szError) {
      reader << eType << nKeys;
      if (reader.Err()) szError = "uBytes <= uBytesLeft";
      else if (eType != CHANNEL_POS) szError = "eType == CHANNEL_POS";
      else if (nKeys == 0) szError = "nKeys > 0";
    }
    if (!szError) {
      const unsigned uBytes = nKeys * 14u;
      if (reader.BoundLength(uBytes) != uBytes) {
        szError = "uBytes <= uBytesLeft";
      } else {
        m_Data.GrowTo((int)uBytes, true);
        reader.Stream(m_Data.GetData(), uBytes);
        if (reader.Err()) szError = "uBytes <= uBytesLeft";
      }
    }
    if (szError) {
      m_Data.Empty();
      g_ErrorManager.TraceMessagef(TT_Warning, "%s '%s'", szError, szShown);
      return false;
    }
  }
  if (reader.Err()) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Not an animation file '%s'", szShown);
    return false;
  }
  BuildStub();
  CalculateMemUsage();
  return true;
}

void ESkelAnimShared::DiscardData() {
  if (m_bReloadNeeded) return;
  m_bReloadNeeded = true;
  const int eMode = m_Header.GetTranslateMode();
  EArray<unsigned char> keys(kMEMTYPE_Anim);
  if ((eMode == TRANS_XZ || eMode == TRANS_XYZ) && m_Anims.Num() > 0 && m_Anims[0].m_pPos) {
    const EKeyframeChannelUntyped* p = m_Anims[0].m_pPos;
    keys.GrowTo(p->m_nKeys * 14, true);
    memcpy(keys.GetData(), p->m_pKeys, (size_t)p->m_nKeys * 14);
  }
  m_Anims.Empty();
  m_ChannelHeaders.Empty();
  m_Data.Empty();
  EArray<unsigned char>::Swap(m_Data, keys);
  BuildStub();
  CalculateMemUsage();
}

bool ESkelAnimShared::ReloadData(const void* pData, unsigned uSize) {
  EASSERT(m_bReloadInProgress && m_bReloadNeeded);
  m_bReloadInProgress = false;
  EMemReader reader(pData, uSize);
  if (!InitFromFile(reader, uSize)) return false;
  m_bReloadNeeded = false;
  return true;
}
