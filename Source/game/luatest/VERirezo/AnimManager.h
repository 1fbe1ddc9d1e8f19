// The animation cache: shared skeletal animations by name within a memory
// budget, animation packs (".apf") of stubs, and the queue of reloads.
#pragma once

#include <cstdint>

#include "TWUtil/Array.h"
#include "TWUtil/HashTable.h"
#include "TWUtil/String.h"

class EStream;
class EEventAnim;
class ESkelAnimShared;

// One pending read of a whole animation file image into an anonymous
// mapping, from the master package at a known offset or from a file.
class EQueuedReloadAnim {
public:
  EQueuedReloadAnim();
  EQueuedReloadAnim(const char* szName, uint32_t uOffset, uint32_t uSize);
  ~EQueuedReloadAnim();
  EQueuedReloadAnim(const EQueuedReloadAnim&) = delete;
  EQueuedReloadAnim& operator=(const EQueuedReloadAnim&) = delete;

  bool Init(int eMemType);
  bool Init(const char* szName, uint32_t uOffset, uint32_t uSize, bool bUnmapOnClose, int eMemType);
  const void* GetData() const { return m_pMap; }
  uint32_t GetDataSize() const { return m_iDataSize; }
  bool IsDone() const { return true; }
  bool Finish() { return true; }
  bool Close();
  void Reset();

  const char* GetFileName() const { return *m_FileName; }
  int GetFramesWaited() const { return m_nFramesWaited; }
  int GetDescriptor() const { return m_hFile; }

  EString m_FileName;
  uint32_t m_iFileOffset;
  uint32_t m_iFileSize;
  void* m_pMap;
  uint32_t m_iMapLength;
  uint32_t m_iDataSize;
  int m_nFramesWaited;
  int m_hFile;
  bool m_bUnmapOnClose;

private:
  void CloseDescriptor();
  // m_hFile is the package's descriptor, shared with its other readers.
  bool m_bSharedFile;
};

// The text of a system error code; this platform has none ("???").
const char* ErrorString(int iError);

class EAnimManager {
public:
  enum {
    kFLAG_NoReload = 1,
    kFLAG_Block = 2,
    kFLAG_Common = 4,
    kDEFAULT_BUDGET = 0x480000,
  };

  // Makes the one cache; a budget of 0 means kDEFAULT_BUDGET. False (traced)
  // when it exists already.
  static bool Create(unsigned uBudget);
  static bool Destroy();
  // The one cache; fatal when there is none.
  static EAnimManager* Get();
  // Whether the cache exists, for callers that may run without one.
  static bool IsCreated() { return m_pAnimManager != nullptr; }

  // The simulated clock in seconds that stamps requests; the application's
  // by default.
  typedef double (*ClockFn)();
  static void SetClock(ClockFn pfnClock);

  // The name as it is stored and opened, in the caller's buffer.
  static const char* NormalizeName(const char* szName, char* szOut, int iOutSize);

  ESkelAnimShared* Get(const char* szName, float fBias, unsigned uFlags);
  ESkelAnimShared* Preload(const char* szName, float fBias, unsigned uFlags);
  void Release(ESkelAnimShared* pAnim);
  // Reads one animation pack; false when it ends early (traced), with the
  // entries read so far kept.
  bool ReadPackFile(EStream& reader, bool bCommon);
  // The blend-shape animation (".pba") beside a newly loaded animation.
  void LoadBlendAnimSideFile(ESkelAnimShared* pAnim, const char* szKey);
  void onEndLevel();
  void SetCacheSize(unsigned uBytes);
  void PurgeOneAnim(const char* szName);
  void SafePurgeCache(bool bForce);
  void SqueezeCache(bool bForce);
  void AdjustMemoryUsage(int iDelta);
  bool RemoveBestItem();
  void AddToReloadQueue(ESkelAnimShared* pAnim);
  void BlockOnReloadQueue();
  void ProcessFrame(float fSeconds);
  EEventAnim* LoadEventAnim(EStream& reader, unsigned uSize);
  void DebugReport(int iLevel);
  void PackfileReport();

  unsigned GetCacheSize() const { return m_iMaxMem; }
  int GetCurMem() const { return m_iCurMem; }
  int GetNumAnims() const { return (int)m_Hash.GetNumEntries(); }
  int GetNumQueued() const { return m_ReloadQueue.Num(); }
  // The cached animation under a normalised name, or null; no reference.
  ESkelAnimShared* Find(const char* szNormalisedName) const { return m_Hash.Find(szNormalisedName, nullptr); }
  // Sum of the sizes of the cached animations.
  int SumOfSizes();

private:
  explicit EAnimManager(unsigned uBudget);
  ~EAnimManager();
  int Now() const;
  void DeleteAnim(ESkelAnimShared* pAnim);

  EArray<EQueuedReloadAnim*> m_ReloadQueue;
  EHashTable<ESkelAnimShared*> m_Hash;
  int m_iCurMem;
  unsigned m_iMaxMem;

  static EAnimManager* m_pAnimManager;
  static ClockFn sm_pfnClock;
};
