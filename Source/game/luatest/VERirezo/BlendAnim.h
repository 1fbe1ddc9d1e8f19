// Blend (morph-target) animations: named tracks of 8-bit weights sampled 30
// times a second (".pba" files), their shared data and a playing instance
// that writes the 64 blend-target weights of one mesh.
#pragma once

#include <cstdint>

class EStream;
class ESkelAnim;
class EBlendShape;
class EBlendShapeController;
class EDynamicCacheFile;

enum {
  MAX_BLENDCHANNELS = 64,
  MAX_BLENDWEIGHTS = 64,
  kBLENDANIM_FPS = 30,
  kPBA_MAGIC = 0x45504241,  // 'EPBA', stored as the bytes "ABPE"
  kPBA_VERSION = 100,
  kPBA_HEADER_BYTES = 12,
};

// One named track of samples; a sample v stands for the weight v/255.
class EBlendAnimChannel {
public:
  EBlendAnimChannel() : m_szName(nullptr), m_nSamples(0), m_pAnimData(nullptr), m_bOwned(true) {}
  ~EBlendAnimChannel() { Free(); }
  EBlendAnimChannel(const EBlendAnimChannel&) = delete;
  EBlendAnimChannel& operator=(const EBlendAnimChannel&) = delete;

  const char* getName() const { return m_szName ? m_szName : ""; }
  unsigned getNumSamples() const { return m_nSamples; }
  const uint8_t* getSamples() const { return m_pAnimData; }
  float getTotalTimeInSecs() const { return (float)m_nSamples / (float)kBLENDANIM_FPS; }
  bool IsDone(float t) const { return t * (float)kBLENDANIM_FPS > (float)m_nSamples; }
  int GetMemUsage() const;

  float value(float t, bool bLoop) const { return valueInterpolated(t, bLoop); }
  float valueInterpolated(float t, bool bLoop) const;

  // Copies a record's name (nameLen bytes, NUL added) and samples.
  void loadFromMemory(const char* szName, unsigned nameLen, const uint8_t* pSamples, unsigned nSamples);
  // Points at a name and samples inside a buffer the shared data owns.
  void pointInto(const char* szName, const uint8_t* pSamples, unsigned nSamples);
  // Forgets pointers into a buffer that is about to go.
  void clearInPlace();

  // One record, read or written depending on the stream. A reader stops
  // (false) at lengths beyond the bytes left.
  bool load(EStream& s) { return Stream(s); }
  bool writeToFile(EStream& s) { return Stream(s); }

  // Authoring.
  void createSamples(unsigned n);
  void setSample(unsigned i, float x);
  void setName(const char* szName);

private:
  bool Stream(EStream& s);
  void Free();

  char* m_szName;
  uint32_t m_nSamples;
  uint8_t* m_pAnimData;
  bool m_bOwned;  // name and samples are the channel's own
};

// The data of one ".pba" file, shared by its instances.
class EBlendAnimShared {
public:
  EBlendAnimShared();
  ~EBlendAnimShared();
  EBlendAnimShared(const EBlendAnimShared&) = delete;
  EBlendAnimShared& operator=(const EBlendAnimShared&) = delete;

  // Copying readers: the channels own copies of names and samples. Data
  // shorter than it claims keeps the channels read whole and is loaded all
  // the same; the result is then false.
  bool loadFromMemory(EDynamicCacheFile* pFile);
  bool loadFromMemory(const char* pData, unsigned len);
  // Takes over data (len file bytes, followed by the name set with setName
  // and its NUL, in a block from malloc) in place.
  bool loadFromMemoryFixup(char* pData, unsigned len);
  // Stream reader: the file through the file manager, or any stream.
  bool load(const char* szPath);
  bool load(EStream& s);
  bool writeToFile(const char* szPath);
  bool writeToFile(EStream& s);

  // Authoring.
  void createChannels(unsigned count, unsigned samples);
  void copyChannelNames(EBlendShape& shape);

  unsigned getNumChannels() const { return m_nAnimChannels; }
  EBlendAnimChannel* getChannel(unsigned i) const { return i < m_nAnimChannels ? &m_pBlendAnimChannels[i] : nullptr; }
  float getTotalTimeInSecs() const;
  bool IsLoaded() const { return m_bLoaded; }
  char* getData() const { return m_pData; }
  int getDataSize() const { return m_iDataSize; }
  const char* getName() const { return m_szName; }
  void setName(const char* szName) { m_szName = szName; }
  EDynamicCacheFile* getCacheRef() const { return m_pCacheRef; }
  void AddRef() { ++m_nRefCount; }
  void RemoveRef() { --m_nRefCount; }
  int GetRefCount() const { return m_nRefCount; }

  uint32_t m_nAnimChannels;
  EBlendAnimChannel* m_pBlendAnimChannels;

private:
  void FreeChannels();
  bool ReadRecords(const char* pData, unsigned len, bool bInPlace);

  float m_fTotalTime;
  bool m_bLoaded;
  EDynamicCacheFile* m_pCacheRef;
  char* m_pData;
  int m_iDataSize;
  const char* m_szName;
  int m_nRefCount;
};

// One playing blend animation on one mesh.
class EBlendAnim {
public:
  EBlendAnim();
  ~EBlendAnim();
  EBlendAnim(const EBlendAnim&) = delete;
  EBlendAnim& operator=(const EBlendAnim&) = delete;

  void update(float dt);
  void updateBlend(float dt);
  // The weights at the current time, computed once per distinct time.
  const float* getBlendWeights();
  // Every bound channel's unscaled value at t (looping), over the table.
  const float* getBlendWeightsInterpolated(float t);
  void SetAutoBlend(bool bOn, float fSeconds);
  float GetAnimCompletion() const;

  void quickBind(const EBlendShapeController* pController);
  void dynamicBind(const EBlendShape* pShape);

  // The driving skeletal animation's state, each frame.
  void sync(bool bActive, float fBlendFactor, float fTime) {
    m_bActive = bActive;
    m_fBlendFactor = fBlendFactor;
    m_fTime = fTime;
  }
  void setSkelAnim(ESkelAnim* pAnim) { m_pSkelAnim = pAnim; }
  ESkelAnim* getSkelAnim() const { return m_pSkelAnim; }
  void notifySkelAnim();

  void active(bool bActive) { m_bActive = bActive; }
  void SetLooping(bool bLoop) { m_bLooping = bLoop; }
  void SetLipSync(bool bLipSync) { m_bLipSync = bLipSync; }
  void SetOwnsShared(bool bOwns) { m_bOwnsShared = bOwns; }
  void SetTime(float t) { m_fTime = t; }
  bool IsActive() const { return m_bActive; }
  bool isActive() const { return m_bActive; }
  bool IsLooping() const { return m_bLooping; }
  bool IsDone() const { return m_bDone; }
  bool IsBound() const { return m_bBound; }
  bool IsLipSync() const { return m_bLipSync; }
  bool IsAutoBlend() const { return m_bAutoBlend; }
  bool OwnsShared() const { return m_bOwnsShared; }
  float getBlendFactor() const { return m_fBlendFactor; }
  float getTime() const { return m_fTime; }
  const int* getChannelMap() const { return m_pChannelMap; }

  void ValidateData() const;

  EBlendAnimShared* m_pShared;

private:
  void PrepareMap();

  float m_afWeights[MAX_BLENDWEIGHTS];
  float m_fTime;
  float m_fLastEvalTime;
  bool m_bActive;
  bool m_bLooping;
  bool m_bDone;
  bool m_bAutoBlend;
  bool m_bOwnsShared;
  bool m_bLipSync;
  bool m_bBound;
  float m_fAutoBlendRate;
  float m_fBlendFactor;
  ESkelAnim* m_pSkelAnim;
  int* m_pChannelMap;
};
