#include "VERirezo/AnimManager.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Game/GameApp.h"
#include "Lua/lua.h"
#include "ScriptVM/LuaHelper.h"
#include "ScriptVM/ScriptVM.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/EPackageFile.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"
#include "Event/EEventAnim.h"
#include "TWUtil/EMemStack.h"
#include "TWUtil/Profiler.h"
#include "VERirezo/BlendAnim.h"
#include "VERirezo/EBlendAnimManager.h"
#include "VERirezo/SkelAnim.h"

namespace AnimCache {
const uint32_t kCODE_APAK = 0x4150414B;
const uint32_t kCODE_ASTB = 0x41535442;
const uint32_t kCODE_EVNT = 0x65766E74;
const uint32_t kCODE_BLND = 0x626C6E64;
const uint32_t kCODE_END = 0x656E645F;
const uint32_t kUNKNOWN = 0xFFFFFFFFu;

double ApplicationClock() { return gGameApp ? gGameApp->GetSimElapsedTime() : 0.0; }
}  // namespace AnimCache

// ---------------------------------------------------------------------------
// EQueuedReloadAnim

EQueuedReloadAnim::EQueuedReloadAnim() : m_iFileOffset(AnimCache::kUNKNOWN), m_iFileSize(AnimCache::kUNKNOWN) { Reset(); }

EQueuedReloadAnim::EQueuedReloadAnim(const char* szName, uint32_t uOffset, uint32_t uSize)
    : m_FileName(szName), m_iFileOffset(uOffset), m_iFileSize(uSize) {
  Reset();
}

EQueuedReloadAnim::~EQueuedReloadAnim() {
  CloseDescriptor();
  if (m_pMap && m_bUnmapOnClose) munmap(m_pMap, m_iMapLength);
}

void EQueuedReloadAnim::Reset() {
  m_pMap = nullptr;
  m_iMapLength = 0;
  m_iDataSize = 0;
  m_nFramesWaited = 0;
  m_hFile = -1;
  m_bUnmapOnClose = true;
  m_bSharedFile = false;
}

// The package's shared descriptor stays open for the next reader; 0 is a
// descriptor like any other.
void EQueuedReloadAnim::CloseDescriptor() {
  if (m_hFile != -1 && !m_bSharedFile) close(m_hFile);
  m_hFile = -1;
  m_bSharedFile = false;
}

bool EQueuedReloadAnim::Close() {
  CloseDescriptor();
  if (m_pMap && m_bUnmapOnClose) munmap(m_pMap, m_iMapLength);
  m_pMap = nullptr;
  m_iMapLength = 0;
  return true;
}

bool EQueuedReloadAnim::Init(const char* szName, uint32_t uOffset, uint32_t uSize, bool bUnmapOnClose,
                             int eMemType) {
  m_FileName = szName;
  m_iFileOffset = uOffset;
  m_iFileSize = uSize;
  m_bUnmapOnClose = bUnmapOnClose;
  return Init(eMemType);
}

bool EQueuedReloadAnim::Init(int) {
  using AnimCache::kUNKNOWN;
  char szPath[EFileManager::kMAX_PATH];
  szPath[0] = '\0';
  int hShared = -1;
  if (m_iFileOffset != kUNKNOWN && m_iFileSize != kUNKNOWN) {
    const char* szMaster = EPackageFile::GetMasterPackageFileName();
    if (szMaster) {
      snprintf(szPath, sizeof(szPath), "%s", szMaster);
      hShared = EPackageFile::GetAsyncHandle(nullptr);
    }
  } else {
    EPackageFile::Directory* pPackage = nullptr;
    EPackageFile::FileEntry* pEntry = nullptr;
    const char* szResolved = gFile->GetFullPath(*m_FileName, g_masterFilePackage ? kFILELOC_Packages : kFILELOC_ReadPaths,
                                                &pPackage, &pEntry);
    if (szResolved && pPackage) {
      unsigned uOffset = 0, uSize = 0;
      const char* szPackage = EPackageFile::GetDirectAccessDetailsForFile(pPackage, pEntry, &uOffset, &uSize);
      if (szPackage) {
        snprintf(szPath, sizeof(szPath), "%s", szPackage);
        m_iFileOffset = uOffset;
        m_iFileSize = uSize;
        hShared = EPackageFile::GetAsyncHandle(pPackage);
      }
    } else if (szResolved) {
      if (g_masterFilePackage)
        g_ErrorManager.TraceMessagef("Loading %s from disk, but we have a package file", *m_FileName);
      m_iFileOffset = m_iFileSize = kUNKNOWN;
      snprintf(szPath, sizeof(szPath), "%s", szResolved);
    }
  }
  // A package without a direct handle reports 0: no descriptor to share.
  if (hShared > 0) {
    m_hFile = hShared;
    m_bSharedFile = true;
  }

  bool bOk = szPath[0] != '\0';
  if (bOk && m_hFile == -1) {
    m_hFile = open(szPath, O_RDONLY);
    bOk = m_hFile != -1;
  }
  off_t iOffset = 0;
  if (bOk) {
    if (m_iFileOffset == kUNKNOWN || m_iFileSize == kUNKNOWN) {
      struct stat st;
      bOk = fstat(m_hFile, &st) == 0 && st.st_size <= 0x7fffffff;
      m_iDataSize = bOk ? (uint32_t)st.st_size : 0;
    } else {
      iOffset = (off_t)m_iFileOffset;
      m_iDataSize = m_iFileSize;
    }
  }
  if (bOk && m_iDataSize == 0) bOk = false;
  if (bOk) {
    m_iMapLength = m_iDataSize;
    void* p = mmap(nullptr, m_iMapLength, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) {
      bOk = false;
    } else {
      m_pMap = p;
      bOk = lseek(m_hFile, iOffset, SEEK_SET) == iOffset && read(m_hFile, m_pMap, m_iDataSize) == (ssize_t)m_iDataSize;
    }
  }
  if (!bOk) {
    CloseDescriptor();
    if (m_pMap) munmap(m_pMap, m_iMapLength);
    m_pMap = nullptr;
    m_iMapLength = 0;
    return false;
  }
  return true;
}

const char* ErrorString(int) {
  STUBBED("win32 error strings?");
  return "???";
}

// ---------------------------------------------------------------------------
// The cache

EAnimManager* EAnimManager::m_pAnimManager = nullptr;
EAnimManager::ClockFn EAnimManager::sm_pfnClock = &AnimCache::ApplicationClock;

EAnimManager::EAnimManager(unsigned uBudget)
    : m_ReloadQueue(kMEMTYPE_Anim), m_Hash(kMEMTYPE_Anim), m_iCurMem(0), m_iMaxMem(uBudget) {}

EAnimManager::~EAnimManager() {
  for (EHashIter<ESkelAnimShared*> it(m_Hash); it;) delete it.remove_cur();
  for (int i = 0; i < m_ReloadQueue.Num(); ++i) delete m_ReloadQueue[i];
}

bool EAnimManager::Create(unsigned uBudget) {
  if (m_pAnimManager) {
    g_ErrorManager.TraceMessagef("Anim manager already created\n");
    return false;
  }
  m_pAnimManager = new EAnimManager(uBudget ? uBudget : (unsigned)kDEFAULT_BUDGET);
  return true;
}

bool EAnimManager::Destroy() {
  if (!m_pAnimManager) {
    g_ErrorManager.TraceMessagef("AnimManager was not initialized");
    return false;
  }
  delete m_pAnimManager;
  m_pAnimManager = nullptr;
  return true;
}

EAnimManager* EAnimManager::Get() {
  EASSERT(m_pAnimManager);
  return m_pAnimManager;
}

void EAnimManager::SetClock(ClockFn pfnClock) { sm_pfnClock = pfnClock ? pfnClock : &AnimCache::ApplicationClock; }

int EAnimManager::Now() const { return (int)sm_pfnClock(); }

const char* EAnimManager::NormalizeName(const char* szName, char* szOut, int iOutSize) {
  std::string s = szName ? szName : "";
  for (char& c : s) c = (char)tolower((unsigned char)c);
  size_t uStart = 0;
  const size_t uWord = s.find("workresource");
  if (uWord != std::string::npos) uStart = uWord + 12;
  for (char& c : s) {
    if (c == '/') c = '\\';
  }
  while (uStart < s.size() && s[uStart] == '\\') ++uStart;
  snprintf(szOut, (size_t)iOutSize, "%s", s.c_str() + uStart);
  return szOut;
}

int EAnimManager::SumOfSizes() {
  int iSum = 0;
  for (EHashIter<ESkelAnimShared*> it(m_Hash); it; ++it) iSum += (*it)->GetSize();
  return iSum;
}

void EAnimManager::DeleteAnim(ESkelAnimShared* pAnim) { delete pAnim; }

ESkelAnimShared* EAnimManager::Get(const char* szName, float fBias, unsigned uFlags) {
  if (!szName || !*szName) {
    g_ErrorManager.TraceMessagef("LoadAnimFile: Blank anim name");
    return nullptr;
  }
  char szKey[EFileManager::kMAX_PATH];
  NormalizeName(szName, szKey, sizeof(szKey));
  ESkelAnimShared* pAnim = m_Hash.Find(szKey, nullptr);
  if (pAnim) {
    ++pAnim->m_iSkelRefCount;
  } else {
    if (gGameApp && gGameApp->GetPrefs().m_bProductionLoading && gGameApp->GetLevelLoadedState() == 3) {
      char szMessage[EFileManager::kMAX_PATH + 256];
      const char* szLevel = gGameApp->GetFullCurrentLevelName();
      snprintf(szMessage, sizeof(szMessage), "Anim preload error: '%s' <%s>", szName, szLevel ? szLevel : "");
      gGameApp->GetScriptVM()->HardBreak(szMessage, nullptr);
    }
    pAnim = new ESkelAnimShared();
    if (!pAnim->Init(szKey)) {
      delete pAnim;
      return nullptr;
    }
    ++pAnim->m_iSkelRefCount;
    m_Hash.Set(szKey, pAnim);
    AdjustMemoryUsage(pAnim->GetSize());
    // The event track beside the file ("eve" in place of the extension) and
    // the blend-shape animation (".pba").
    char szSide[200];
    size_t uSideLength = strlen(szKey);
    if (uSideLength > sizeof(szSide) - 1) uSideLength = sizeof(szSide) - 1;
    memcpy(szSide, szKey, uSideLength);
    szSide[uSideLength] = '\0';
    if (uSideLength > 2) {
      memcpy(szSide + uSideLength - 3, "eve", 3);
      if (EFile* pSide = gFile->Open(szSide, FILE_READ, kFILELOC_Default)) {
        const int iSideSize = pSide->GetFilesize();
        {
          EFileReader side(pSide, kAUTOCLOSE_No);
          if (iSideSize > 0) pAnim->m_pEventAnim = LoadEventAnim(side, (unsigned)iSideSize);
        }
        pSide->Close();
      }
    }
    LoadBlendAnimSideFile(pAnim, szKey);
  }
  pAnim->m_iTimeStamp = Now();
  if (fBias > 0.0f) pAnim->m_fBias = fBias;
  if (pAnim->m_bReloadNeeded && !(uFlags & kFLAG_NoReload)) {
    AddToReloadQueue(pAnim);
    if (uFlags & kFLAG_Block) {
      BlockOnReloadQueue();
      if (pAnim->m_bReloadNeeded)
        g_ErrorManager.TraceMessagef(TT_Warning, "%s: %s", pAnim->GetName(), "! pAnim->m_bReloadNeeded");
    }
  }
  if (uFlags & kFLAG_Common) pAnim->m_bCommon = true;
  return pAnim;
}

ESkelAnimShared* EAnimManager::Preload(const char* szName, float fBias, unsigned uFlags) {
  ESkelAnimShared* pAnim = Get(szName, fBias, uFlags);
  if (pAnim) Release(pAnim);
  return pAnim;
}

void EAnimManager::Release(ESkelAnimShared* pAnim) {
  --pAnim->m_iSkelRefCount;
  EASSERT(pAnim->m_iSkelRefCount >= 0);
  pAnim->m_iTimeStamp = Now();
  // An animation purged from the table while held goes with its last holder.
  if (pAnim->GetRefCount() == 0 && m_Hash.Find(pAnim->GetName() ? pAnim->GetName() : "", nullptr) != pAnim)
    DeleteAnim(pAnim);
}

void EAnimManager::AdjustMemoryUsage(int iDelta) {
  m_iCurMem += iDelta;
  if (iDelta < 0) return;
  while ((unsigned)m_iCurMem > m_iMaxMem) {
    if (!RemoveBestItem()) break;
  }
  if ((unsigned)m_iCurMem > m_iMaxMem)
    g_ErrorManager.TraceMessagef(TT_Warning, "Anim cache usage too high: %d (max %d)", m_iCurMem, (int)m_iMaxMem);
}

bool EAnimManager::RemoveBestItem() {
  const int iNow = Now();
  ESkelAnimShared* pBest = nullptr;
  float fBest = 0.0f;
  for (EHashIter<ESkelAnimShared*> it(m_Hash); it; ++it) {
    ESkelAnimShared* p = *it;
    if (p->m_bReloadNeeded || p->m_iSkelRefCount > 0) continue;
    const uint32_t uRaw = (uint32_t)(iNow - p->m_iTimeStamp + p->GetSize() / 1024);
    const float fScore = (float)uRaw / p->m_fBias;
    if (fScore > fBest) {
      fBest = fScore;
      pBest = p;
    }
  }
  if (!pBest) return false;
  const int iOld = pBest->GetSize();
  pBest->DiscardData();
  m_iCurMem += pBest->GetSize() - iOld;
  return true;
}

void EAnimManager::SqueezeCache(bool bForce) {
  int iNet = 0;
  for (EHashIter<ESkelAnimShared*> it(m_Hash); it; ++it) {
    ESkelAnimShared* p = *it;
    if (p->m_bReloadNeeded || (!bForce && p->m_iSkelRefCount > 0)) continue;
    const int iOld = p->GetSize();
    p->DiscardData();
    iNet += p->GetSize() - iOld;
  }
  AdjustMemoryUsage(iNet);
  g_ErrorManager.TraceMessagef("Net change: %d bytes (now at %d/%d)", iNet, m_iCurMem, (int)m_iMaxMem);
}

void EAnimManager::SafePurgeCache(bool bForce) {
  for (EHashIter<ESkelAnimShared*> it(m_Hash); it;) {
    ESkelAnimShared* p = *it;
    if (!bForce && p->GetRefCount() != 0) {
      ++it;
      continue;
    }
    it.remove_cur();
    m_iCurMem -= p->GetSize();
    if (p->GetRefCount() == 0) DeleteAnim(p);
  }
  if (bForce) {
    EASSERT(m_iCurMem == 0);
    EASSERT(m_Hash.GetNumEntries() == 0);
    m_Hash.RemoveAll();
  }
}

void EAnimManager::onEndLevel() {
  for (EHashIter<ESkelAnimShared*> it(m_Hash); it;) {
    ESkelAnimShared* p = *it;
    if (p->GetRefCount() != 0 || p->m_bCommon) {
      ++it;
      continue;
    }
    it.remove_cur();
    m_iCurMem -= p->GetSize();
    DeleteAnim(p);
  }
}

void EAnimManager::SetCacheSize(unsigned uBytes) {
  m_iMaxMem = uBytes;
  AdjustMemoryUsage(0);
}

void EAnimManager::PurgeOneAnim(const char* szName) {
  ESkelAnimShared* p = m_Hash.Find(szName ? szName : "", nullptr);
  if (!p) {
    g_ErrorManager.TraceMessagef("%s not found in cache", szName ? szName : "");
    return;
  }
  m_Hash.Remove(szName);
  AdjustMemoryUsage(-p->GetSize());
  if (p->GetRefCount() == 0) DeleteAnim(p);
}

bool EAnimManager::ReadPackFile(EStream& reader, bool bCommon) {
  using namespace AnimCache;
  uint32_t uCode = 0, nEntries = 0;
  reader << uCode << nEntries;
  if (reader.Err() || uCode != kCODE_APAK) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Bad animation pack: %s", "cooky == 'APAK'");
    return false;
  }
  for (uint32_t i = 0; i < nEntries; ++i) {
    reader << uCode;
    if (reader.Err() || uCode != kCODE_ASTB) {
      g_ErrorManager.TraceMessagef(TT_Warning, "Bad animation pack: %s", "cooky == 'ASTB'");
      return false;
    }
    char szName[4096];
    reader.StreamString_2b(szName, sizeof(szName));
    char szKey[EFileManager::kMAX_PATH];
    NormalizeName(szName, szKey, sizeof(szKey));
    ESkelAnimShared* pAnim = new ESkelAnimShared();
    if (!pAnim->InitAsStub(szKey, reader)) {
      delete pAnim;
      return false;
    }
    pAnim->m_bCommon = bCommon;
    pAnim->m_bReloadNeeded = true;
    reader << uCode;
    // The optional event track, then the optional blend-shape animation.
    if (uCode == kCODE_EVNT) {
      uint32_t uSize = 0;
      reader << uSize;
      pAnim->m_pEventAnim = LoadEventAnim(reader, uSize);
      reader << uCode;
    }
    if (uCode == kCODE_BLND) {
      uint32_t uSize = 0;
      reader << uSize;
      const unsigned uBytes = reader.BoundLength(uSize);
      if (EBlendAnimManager* pBlend = EBlendAnimManager::Get())
        pAnim->m_pBlendAnimShared = pBlend->getBlendAnimNoCache(reader, uBytes, szKey);
      else
        reader.Stream(nullptr, uBytes);
      reader << uCode;
    }
    if (reader.Err() || uCode != kCODE_END) {
      delete pAnim;
      g_ErrorManager.TraceMessagef(TT_Warning, "Bad animation pack: %s", "cooky == 'end_'");
      return false;
    }
    AdjustMemoryUsage(pAnim->GetSize());
    if (m_Hash.Find(szKey, nullptr)) {
      g_ErrorManager.TraceMessagef(TT_Warning, "Redundant packfile read: %s", szKey);
      AdjustMemoryUsage(-pAnim->GetSize());
      delete pAnim;
    } else {
      m_Hash.Set(szKey, pAnim);
    }
  }
  return true;
}

void EAnimManager::AddToReloadQueue(ESkelAnimShared* pAnim) {
  if (pAnim->m_bReloadInProgress) return;
  EQueuedReloadAnim* pRequest = new EQueuedReloadAnim(pAnim->GetName(), pAnim->m_iPackOffset, pAnim->m_iPackSize);
  if (!pRequest->Init(kMEMTYPE_Anim)) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Could not reload '%s'", pAnim->GetName() ? pAnim->GetName() : "");
    delete pRequest;
    return;
  }
  pAnim->m_bReloadInProgress = true;
  m_ReloadQueue.AddData(pRequest);
}

void EAnimManager::ProcessFrame(float) {
  int iDelta = 0;
  for (int i = 0; i < m_ReloadQueue.Num();) {
    EQueuedReloadAnim* pRequest = m_ReloadQueue[i];
    ++pRequest->m_nFramesWaited;
    if (!pRequest->IsDone()) {
      ++i;
      continue;
    }
    ESkelAnimShared* pAnim = m_Hash.Find(pRequest->GetFileName(), nullptr);
    if (pAnim) {
      g_ErrorManager.TraceMessagef(TT_Anim, "%s: loaded (%d frames latency)", pRequest->GetFileName(),
                                   pRequest->m_nFramesWaited);
      const int iOld = pAnim->GetSize();
      if (pAnim->m_bReloadInProgress && pAnim->m_bReloadNeeded) {
        if (!pAnim->ReloadData(pRequest->GetData(), pRequest->GetDataSize()))
          g_ErrorManager.TraceMessagef(TT_Warning, "Could not reload '%s'", pRequest->GetFileName());
      }
      iDelta += pAnim->GetSize() - iOld;
    } else {
      g_ErrorManager.TraceMessagef(TT_Warning, "Reloaded data for %s: not in cache???", pRequest->GetFileName());
    }
    delete pRequest;
    m_ReloadQueue.RemoveSwap(i);
  }
  AdjustMemoryUsage(iDelta);
}

void EAnimManager::BlockOnReloadQueue() {
  for (int i = 0; i < m_ReloadQueue.Num(); ++i) m_ReloadQueue[i]->Finish();
  ProcessFrame(0.0f);
}

void EAnimManager::LoadBlendAnimSideFile(ESkelAnimShared* pAnim, const char* szKey) {
  EBlendAnimManager* pBlend = EBlendAnimManager::Get();
  char szSide[200];
  snprintf(szSide, sizeof(szSide), "%s", szKey);
  const size_t n = strlen(szSide);
  if (!pBlend || n <= 2) return;
  memcpy(szSide + n - 3, "pba", 3);
  EFile* pFile = gFile->Open(szSide, FILE_READ, kFILELOC_Default);
  if (!pFile) return;
  EASSERT(pAnim->m_pBlendAnimShared == 0);
  const int64_t iStart = Profile_GetTimestamp();
  const int iSize = pFile->GetFilesize();
  EFileReader reader(pFile, kAUTOCLOSE_Yes);
  pAnim->m_pBlendAnimShared = pBlend->getBlendAnimNoCache(reader, iSize > 0 ? (unsigned)iSize : 0u, szSide);
  const double dSeconds = Profile_TimestampsToSeconds(Profile_GetTimestamp() - iStart);
  if (dSeconds > 0.05)
    g_ErrorManager.TraceMessagef(TT_Warning, "EAnimManager::Get getBlendAnimNoCache: %s took %lf secs", szSide,
                                 dSeconds);
}

EEventAnim* EAnimManager::LoadEventAnim(EStream& reader, unsigned uSize) {
  uSize = reader.BoundLength(uSize);
  EMemStack& stack = *GetThreadLocalStack();
  if (uSize > (stack.GetSize() - stack.GetUsedBytes()) / 2) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Bad event track: %u bytes do not fit the scratch memory", uSize);
    reader.Stream(nullptr, uSize);
    return nullptr;
  }
  EMemMark mark(stack);
  unsigned char* pData = uSize ? stack.Push(uSize, 4) : nullptr;
  if (pData) reader.Stream(pData, uSize);
  if (reader.Err()) return nullptr;
  EEventAnim* pTrack = new EEventAnim;
  if (!pTrack->loadFromMemory(pData, uSize)) {
    delete pTrack;
    return nullptr;
  }
  return pTrack;
}

// ---------------------------------------------------------------------------
// Reports

void EAnimManager::DebugReport(int iLevel) {
  const int iSum = SumOfSizes();
  if (iSum != m_iCurMem) g_ErrorManager.TraceMessagef("!!! Bad cur mem count: %d / %d", iSum, m_iCurMem);
  g_ErrorManager.TraceMessagef("Cur:   %5d K   Max: %5d K", m_iCurMem / 1024, (int)(m_iMaxMem / 1024));
  g_ErrorManager.TraceMessagef("Anims: %d", GetNumAnims());
  std::vector<ESkelAnimShared*> loaded, discarded;
  int nLocked = 0, iLocked = 0, nLoaded = 0, iLoaded = 0, nPartial = 0, iPartial = 0;
  for (EHashIter<ESkelAnimShared*> it(m_Hash); it; ++it) {
    ESkelAnimShared* p = *it;
    if (p->m_bReloadNeeded) {
      ++nPartial;
      iPartial += p->GetSize();
      discarded.push_back(p);
    } else {
      if (p->m_iSkelRefCount > 0) {
        ++nLocked;
        iLocked += p->GetSize();
      } else {
        ++nLoaded;
        iLoaded += p->GetSize();
      }
      loaded.push_back(p);
    }
  }
  g_ErrorManager.TraceMessagef("Locked and loaded: %4d   %7d", nLocked, iLocked);
  g_ErrorManager.TraceMessagef("Loaded:            %4d   %7d", nLoaded, iLoaded);
  g_ErrorManager.TraceMessagef("Partially loaded:  %4d   %7d", nPartial, iPartial);
  const int iNow = Now();
  auto line = [iNow](ESkelAnimShared* p) {
    g_ErrorManager.TraceMessagef("%-5d %6.1f %6.1f %3d %c%c %s", iNow - p->m_iTimeStamp, p->GetSize() / 1024.0,
                                 (double)p->m_fBias, p->GetRefCount(), p->m_Header.fileVersion > 200 ? 'o' : ' ',
                                 p->m_bCommon ? 'C' : ' ', p->GetName() ? p->GetName() : "");
  };
  if (iLevel >= 1) {
    g_ErrorManager.TraceMessagef("------------------ (Loaded anims)");
    g_ErrorManager.TraceMessagef("Age     Size   Bias Ref Name");
    std::stable_sort(loaded.begin(), loaded.end(), [](ESkelAnimShared* a, ESkelAnimShared* b) {
      const bool ra = a->GetRefCount() > 0, rb = b->GetRefCount() > 0;
      if (ra != rb) return ra;
      if (a->m_iTimeStamp != b->m_iTimeStamp) return a->m_iTimeStamp > b->m_iTimeStamp;
      return a->GetSize() > b->GetSize();
    });
    for (ESkelAnimShared* p : loaded) {
      if (iLevel >= 2 || p->GetRefCount() > 0) line(p);
    }
  }
  if (iLevel >= 3) {
    g_ErrorManager.TraceMessagef("------------------ (Loaded anims)");
    g_ErrorManager.TraceMessagef("Age     Size   Bias Ref (o)ptimized/(C)ommon/Name");
    std::stable_sort(discarded.begin(), discarded.end(),
                     [](ESkelAnimShared* a, ESkelAnimShared* b) { return a->GetSize() > b->GetSize(); });
    for (ESkelAnimShared* p : discarded) line(p);
  }
}

void EAnimManager::PackfileReport() {
  std::vector<ESkelAnimShared*> all;
  for (EHashIter<ESkelAnimShared*> it(m_Hash); it; ++it) all.push_back(*it);
  std::sort(all.begin(), all.end(), [](ESkelAnimShared* a, ESkelAnimShared* b) {
    return strcmp(a->GetName() ? a->GetName() : "", b->GetName() ? b->GetName() : "") < 0;
  });
  g_ErrorManager.TraceMessagef("# Begin report");
  for (ESkelAnimShared* p : all) g_ErrorManager.TraceMessagef("%d %s", p->m_bCommon ? 1 : 0, p->GetName() ? p->GetName() : "");
  g_ErrorManager.TraceMessagef("# End report");
}

// ---------------------------------------------------------------------------
// Script natives

LUA_NATIVE(AnimManager_SqueezeCache) {
  if (!_lh_checkArgs(L, 0, 1)) return 0;
  const bool bForce = lua_gettop(L) >= 1 && Lua_ToNumberStrict(L, 1, true) != 0.0f;
  EAnimManager::Get()->SqueezeCache(bForce);
  return 0;
}

LUA_NATIVE(AnimManager_PurgeCache) {
  if (!_lh_checkArgs(L, 0, 1)) return 0;
  const bool bForce = lua_gettop(L) >= 1 && Lua_ToNumberStrict(L, 1, true) != 0.0f;
  EAnimManager::Get()->SafePurgeCache(bForce);
  return 0;
}

LUA_NATIVE(AnimManager_SetCacheSize) {
  if (!_lh_checkArgs(L, 1, 1)) return 0;
  const int iKilobytes = (int)Lua_ToNumberStrict(L, 1, false);
  if (iKilobytes >= 129 && iKilobytes <= 65535) EAnimManager::Get()->SetCacheSize((unsigned)iKilobytes * 1024u);
  else g_ErrorManager.TraceMessagef("Bad cache size: %d K", iKilobytes);
  return 0;
}

LUA_NATIVE(AnimManager_PurgeOneAnim) {
  if (!_lh_checkArgs(L, 1, 1)) return 0;
  const char* szName = Lua_ToStringStrict(L, 1, false);
  if (szName) EAnimManager::Get()->PurgeOneAnim(szName);
  return 0;
}

LUA_NATIVE(AnimManager_ReadPackfile) {
  if (!_lh_checkArgs(L, 2, 2)) return 0;
  const char* szName = Lua_ToStringStrict(L, 1, false);
  const bool bCommon = Lua_ToNumberStrict(L, 2, false) != 0.0f;
  if (!szName) return 0;
  char szPath[EFileManager::kMAX_PATH];
  snprintf(szPath, sizeof(szPath), "LevelPackFiles/%s.apf", szName);
  EFile* pFile = gFile->Open(szPath, FILE_READ, kFILELOC_Default);
  if (!pFile) return 0;
  {
    EFileReader reader(pFile, kAUTOCLOSE_No);
    EAnimManager::Get()->ReadPackFile(reader, bCommon);
  }
  pFile->Close();
  return 0;
}

LUA_NATIVE(AnimManager_Report) {
  if (!_lh_checkArgs(L, 0, 1)) return 0;
  const int iLevel = lua_gettop(L) >= 1 ? (int)Lua_ToNumberStrict(L, 1, true) : 0;
  EAnimManager::Get()->DebugReport(iLevel);
  return 0;
}

LUA_NATIVE(AnimManager_PackfileReport) {
  if (!_lh_checkArgs(L, 0, 0)) return 0;
  EAnimManager::Get()->PackfileReport();
  return 0;
}
