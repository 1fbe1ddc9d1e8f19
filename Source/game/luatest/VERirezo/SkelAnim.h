// Skeletal animation data: the shared keyframes of one animation, loaded from
// a ".jan" file or kept as a small stub until its data is read back.
#pragma once

#include <cstdint>

#include "TWMath/Quaternion.h"
#include "TWMath/Vector.h"
#include "TWUtil/Array.h"
#include "TWUtil/ByteOrder.h"
#include "TWUtil/EStream.h"

class EEventAnim;
class EBlendAnimShared;

// How an animation's root translation moves its entity.
enum ETranslateMode {
  TRANS_None = 0,
  TRANS_XZ = 1,
  TRANS_XYZ = 2,
  TRANS_STRIPTRANS = 3,
};

enum EChannelType {
  CHANNEL_POS = 0,
  CHANNEL_ROT = 1,
  CHANNEL_SCALE = 2,
  CHANNEL_ROTCOMP = 3,
};

// Bytes of one loaded key of a channel kind (a 16-bit time, then the value).
int SkelAnimKeySize(int eKind);
// Bytes of the value alone.
int SkelAnimValueSize(int eKind);

enum {
  kSKELANIM_MAGIC = 0x504A4158,
  kSKELANIM_HEADER201 = 18,
  kSKELANIM_HEADER200 = 80,
  kSKELANIM_FLAG_TransAtEnd = 4,
};

struct ESkelAnimHeader {
  uint32_t fileVersion;
  uint8_t nJoints;
  uint8_t anChannels[3];
  uint32_t nNullPosKeys;
  uint32_t nNullRotKeys;
  uint32_t nNullScaleKeys;
  // Bits 0-1 the translate mode, bit 2 the transfer-at-end flag.
  uint32_t eTranslateMode;

  int GetTranslateMode() const { return (int)(eTranslateMode & 3); }
  int GetNumChannels() const { return anChannels[0] + anChannels[1] + anChannels[2]; }
};

// The key records of one channel, read in place from the animation's data.
class EKeyframeChannelUntyped {
public:
  uint16_t m_nKeys;
  uint16_t m_nMaxKeys;
  const unsigned char* m_pKeys;

  int GetKeyTime(int i, int iKeySize) const;
};

class EKeyframeChannelVec3 : public EKeyframeChannelUntyped {
public:
  struct Key {
    uint16_t m_iTime;
    EVec3 m_vValue;
  };
  EVec3 GetKeyValue(int i) const {
    const unsigned char* p = m_pKeys + i * 14 + 2;
    return EVec3(GetLEFloat(p), GetLEFloat(p + 4), GetLEFloat(p + 8));
  }
  EVec3 GetValue(float t, uint16_t* pHint) const;
  EVec3 GetFinalValue() const { return GetKeyValue(m_nKeys - 1); }
  int GetFinalTime() const { return GetKeyTime(m_nKeys - 1, 14); }
};

class EKeyframeChannelQuat : public EKeyframeChannelUntyped {
public:
  struct Key {
    uint16_t m_iTime;
    EQuat m_qValue;
  };
  EQuat GetKeyValue(int i) const {
    const unsigned char* p = m_pKeys + i * 18 + 2;
    return EQuat(GetLEFloat(p), GetLEFloat(p + 4), GetLEFloat(p + 8), GetLEFloat(p + 12));
  }
  EQuat GetValue(float t, uint16_t* pHint) const;
  int GetFinalTime() const { return GetKeyTime(m_nKeys - 1, 18); }
};

class EKeyframeChannelQuatComp : public EKeyframeChannelUntyped {
public:
  struct Key {
    uint16_t m_iTime;
    ECompQuat m_qValue;
  };
  // Inlined: two keys are unpacked per sample.
  __attribute__((always_inline)) EQuat GetKeyValue(int i) const {
    const unsigned char* p = m_pKeys + i * 8 + 2;
    return ECompQuat(GetLE32(p), GetLE16(p + 4)).Get();
  }
  EQuat GetValue(float t, uint16_t* pHint) const;
};

struct EJointAnimShared {
  const EKeyframeChannelVec3* m_pPos;
  const EKeyframeChannelVec3* m_pScale;
  const EKeyframeChannelQuat* m_pRot;
  const EKeyframeChannelQuatComp* m_pRotComp;
};

// A writing stream that appends to a byte array.
class EArrayWriter : public EStream {
public:
  explicit EArrayWriter(EArray<unsigned char>& array) : EStream(kSTREAM_Writer), m_Array(array), m_uPos(0) {}
  ~EArrayWriter() override {}
  void StreamLow(void* data, unsigned bytes) override;
  unsigned GetPos() const { return m_uPos; }
  unsigned char* GetPointer(unsigned uPos) { return &m_Array[(int)uPos]; }

private:
  EArray<unsigned char>& m_Array;
  unsigned m_uPos;
};

class ESkelAnimShared {
public:
  ESkelAnimShared();
  ~ESkelAnimShared();
  ESkelAnimShared(const ESkelAnimShared&) = delete;
  ESkelAnimShared& operator=(const ESkelAnimShared&) = delete;

  // Loads a whole animation file by its normalised name. False for an empty
  // name, a file that does not open or damaged data (traced).
  bool Init(const char* szPath);
  // Reads header and joint data from a stream at the magic; size counts the
  // bytes from there to the animation's end. False for damaged data (traced);
  // the animation is then unchanged.
  bool InitFromFile(EStream& reader, unsigned uSize);
  // The stub of a pack entry, from its offset field on. False for damaged
  // data (traced).
  bool InitAsStub(const char* szName, EStream& reader);
  void DiscardData();
  // Rebuilds the data from a whole file image. False for damaged data
  // (traced): the stub stays and the reload is no longer in progress.
  bool ReloadData(const void* pData, unsigned uSize);
  void CalculateMemUsage();

  const ESkelAnimHeader* GetHeader() const { return &m_Header; }
  const char* GetName() const { return m_pName; }
  const char* GetRootName() const { return m_pRootName; }
  int GetSize() const { return m_iSize; }
  int GetTimeStamp() const { return m_iTimeStamp; }
  float GetBias() const { return m_fBias; }
  int GetAnimLength() const { return m_nAnimLength; }
  EEventAnim* GetEventAnim() const { return m_pEventAnim; }
  EBlendAnimShared* GetBlendAnimShared() const { return m_pBlendAnimShared; }
  bool GetReloadNeeded() const { return m_bReloadNeeded; }
  bool GetReloadInProgress() const { return m_bReloadInProgress; }
  bool IsCommon() const { return m_bCommon; }
  int GetNumJoints() const { return m_Header.nJoints; }
  int GetNumLoadedJoints() const { return m_Anims.Num(); }
  int GetSkelRefCount() const { return m_iSkelRefCount; }
  int GetRefCount() const;
  // The joint record at i, clamped to the last one; null without any.
  const EJointAnimShared* GetAnim(int i) const {
    const int n = m_Anims.Num();
    if (n == 0) return nullptr;
    return &m_Anims[i >= n ? n - 1 : (i < 0 ? 0 : i)];
  }
  int GetLoadedDeltaTransLength() const;
  uint32_t GetPackOffset() const { return m_iPackOffset; }
  uint32_t GetPackSize() const { return m_iPackSize; }

  ESkelAnimHeader m_Header;
  char* m_pName;
  char* m_pRootName;
  int m_iSize;
  uint16_t m_nAnimLength;
  float m_fBias;
  int m_iTimeStamp;
  int m_iSkelRefCount;
  EArray<EJointAnimShared> m_Anims;
  EArray<EKeyframeChannelUntyped> m_ChannelHeaders;
  EArray<unsigned char> m_Data;
  EEventAnim* m_pEventAnim;
  EBlendAnimShared* m_pBlendAnimShared;
  uint32_t m_iPackOffset;
  uint32_t m_iPackSize;
  bool m_bCommon : 1;
  bool m_bReloadNeeded : 1;
  bool m_bReloadInProgress : 1;

private:
  void SetRootName(const char* szName);
  void BuildStub();
};
