#include "VERirezo/EBlendAnimManager.h"

#include <SDL/SDL.h>

#include <cstdlib>
#include <cstring>

#include "TWUtil/ByteOrder.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/AnimManager.h"
#include "VERirezo/BlendAnim.h"

EBlendAnimManager* EBlendAnimManager::m_pBlendAnimManager = nullptr;
int EBlendAnimManager::m_nBlendAnims = 0;
int EBlendAnimManager::m_nBlendChannels = 0;
int EBlendAnimManager::m_nBlendVertices = 0;

BlendAnimRequest::~BlendAnimRequest() {
  if (m_pReload) {
    m_pReload->Close();
    delete m_pReload;
  }
}

EBlendAnimManager* EBlendAnimManager::createBlendAnimManager() {
  if (!m_pBlendAnimManager) m_pBlendAnimManager = new EBlendAnimManager();
  return m_pBlendAnimManager;
}

bool EBlendAnimManager::destroyBlendAnimManager() {
  if (!m_pBlendAnimManager) return false;
  delete m_pBlendAnimManager;
  m_pBlendAnimManager = nullptr;
  return true;
}

EBlendAnimManager::EBlendAnimManager()
    : m_List(kMEMTYPE_BlndAnim, kMAX_INSTANCES), m_Cache(kMEMTYPE_BlndAnim, kCACHE_FILES, 0),
      m_pRequests(new EDataArray<BlendAnimRequest>("BlendAnim Requests", kMAX_REQUESTS, 0, kMEMTYPE_BlndAnim)) {}

EBlendAnimManager::~EBlendAnimManager() {
  // Requests still pending give their buffers back; their targets belong to
  // the instances that play them.
  for (int i = 0; i < kMAX_REQUESTS; ++i) {
    BlendAnimRequest* pRequest = RequestAt(i);
    if (!pRequest) continue;
    if (pRequest->m_pTarget) AbortAsyncRequest(pRequest->m_pTarget);
    AbortAsyncRequest(pRequest);
  }
  delete m_pRequests;
  m_pRequests = nullptr;
  // The instances belong to the players that hold them.
  m_List.purge();
}

BlendAnimRequest* EBlendAnimManager::RequestAt(int i) const {
  if (!m_pRequests || i > m_pRequests->GetHighestUsed()) return nullptr;
  BlendAnimRequest& request = (*m_pRequests)[i];
  return request.m_id ? &request : nullptr;
}

void EBlendAnimManager::FullPath(const char* szName, char* szOut) {
  const char* szFull = szName && gFile ? gFile->GetFullPath(szName, kFILELOC_AsGiven) : szName;
  if (!szFull) szFull = szName ? szName : "";
  size_t len = strlen(szFull);
  if (len > kFULLPATH - 1) len = kFULLPATH - 1;
  memmove(szOut, szFull, len);
  szOut[len] = '\0';
}

EDynamicCacheFile* EBlendAnimManager::loadBlendAnim(const char* szName) {
  char szPath[kFULLPATH];
  FullPath(szName, szPath);
  if (EDynamicCacheFile* pFile = m_Cache.getCachedFile(szPath)) return pFile;
  if (!m_Cache.hasFreeSlots()) {
    g_ErrorManager.TraceMessagef("Purging blend anim cache!");
    const unsigned now = SDL_GetTicks();
    for (EStaticListIter<EBlendAnim*> it(m_List); !it.isDone(); it.next()) {
      EBlendAnimShared* pShared = it.item()->m_pShared;
      EDynamicCacheFile* pFile = pShared ? pShared->getCacheRef() : nullptr;
      if (!pFile || now - pFile->lastAccess() <= (unsigned)kPURGE_REFRESH_MS) continue;
      g_ErrorManager.TraceMessagef("Trying to purge file still in use: %s, marking access time as now",
                                   pFile->filename());
      pFile->setLastAccess(now);
    }
    if (!m_Cache.purgeEmptyFiles(kPURGE_REFRESH_MS / 1000.0f)) return nullptr;
  }
  if (!m_Cache.cacheFileOrEmpty(szPath)) return nullptr;
  return m_Cache.getCachedFile(szPath);
}

EBlendAnim* EBlendAnimManager::getBlendAnim(const char* szName) {
  EDynamicCacheFile* pFile = loadBlendAnim(szName);
  if (!pFile) g_ErrorManager.TraceMessagef("Can't find cached file for blend anim '%s'\n", szName ? szName : "");
  if (!pFile || !pFile->data()) return nullptr;
  EBlendAnim* pAnim = new EBlendAnim();
  EBlendAnimShared* pShared = new EBlendAnimShared();
  pShared->loadFromMemory(pFile);
  pAnim->m_pShared = pShared;
  pAnim->SetOwnsShared(true);
  // A full list still hands the instance out; the file stays protected by
  // the instance's use of it.
  m_List.add(pAnim);
  return pAnim;
}

EDynamicCacheFile* EBlendAnimManager::getBlendAnimCacheRef(const char* szName) {
  char szPath[kFULLPATH];
  FullPath(szName, szPath);
  return m_Cache.getCachedFile(szPath);
}

EBlendAnimShared* EBlendAnimManager::getBlendAnimNoCache(EStream& reader, unsigned size, const char* szName) {
  const char* szShown = szName ? szName : "";
  if (size <= kPBA_HEADER_BYTES) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Bad pba, header only - '%s'", szShown);
    reader.Stream(nullptr, reader.BoundLength(size));
    return nullptr;
  }
  const size_t nameLen = strlen(szShown);
  const unsigned have = reader.BoundLength(size);
  char* pBuffer = static_cast<char*>(malloc((size_t)size + nameLen + 1));
  EASSERT(pBuffer);
  reader.Read(pBuffer, 1, have);
  if (have < 4 || GetLE32(reinterpret_cast<const uint8_t*>(pBuffer)) != kPBA_MAGIC || have != size) {
    if (reader.Err())
      g_ErrorManager.TraceMessagef(TT_Warning, "Error reading from pba - '%s'", szShown);
    else
      g_ErrorManager.TraceMessagef(TT_Warning, "Read from pba succeeded, but data is corrupt - '%s'", szShown);
    free(pBuffer);
    return nullptr;
  }
  memcpy(pBuffer + size, szShown, nameLen + 1);
  EBlendAnimShared* pShared = new EBlendAnimShared();
  pShared->setName(pBuffer + size);
  if (!pShared->loadFromMemoryFixup(pBuffer, size))
    g_ErrorManager.TraceMessagef(TT_Warning, "Bad pba, incomplete data - '%s' (loading anyway)", szShown);
  return pShared;
}

bool EBlendAnimManager::releaseBlendAnim(EBlendAnim* pAnim) {
  if (!pAnim) return true;
  m_List.remove(pAnim);
  pAnim->notifySkelAnim();
  if (!pAnim->OwnsShared() && pAnim->m_pShared) pAnim->m_pShared->RemoveRef();
  delete pAnim;
  return true;
}

bool EBlendAnimManager::purgeBlendAnim(const char* szKey) {
  EDynamicCacheFile* pFile = szKey ? m_Cache.getCachedFile(szKey) : nullptr;
  if (!pFile || pFile->users()) return false;
  return m_Cache.uncacheFile(szKey);
}

// ---------------------------------------------------------------------------
// Asynchronous requests

BlendAnimRequest* EBlendAnimManager::StartAsyncRequest() {
  const EDataId id = m_pRequests->ElementNew();
  return id ? m_pRequests->ElementTryToGet(id) : nullptr;
}

void EBlendAnimManager::AbortAsyncRequest(BlendAnimRequest* pRequest) {
  if (!pRequest || !EDataArray<BlendAnimRequest>::ElementIsUsed(pRequest)) return;
  m_pRequests->ElementDelete(pRequest);
}

void EBlendAnimManager::AbortAsyncRequest(EBlendAnimShared* pShared) {
  for (int i = 0; i < kMAX_REQUESTS; ++i) {
    BlendAnimRequest* pRequest = RequestAt(i);
    if (!pRequest || !pShared || pRequest->m_pTarget != pShared) continue;
    pShared->setName(nullptr);
    if (pRequest->m_pBuffer != pShared->getData()) free(pRequest->m_pBuffer);
    pRequest->m_pTarget = nullptr;
    pRequest->m_pBuffer = nullptr;
  }
}

bool EBlendAnimManager::HasPendingAsyncRequest(const EBlendAnimShared* pShared) const {
  for (int i = 0; i < kMAX_REQUESTS; ++i) {
    BlendAnimRequest* pRequest = RequestAt(i);
    if (pRequest && pShared && pRequest->m_pTarget == pShared) return true;
  }
  return false;
}

int EBlendAnimManager::GetNumRequests() const {
  int n = 0;
  for (int i = 0; i < kMAX_REQUESTS; ++i) {
    if (RequestAt(i)) ++n;
  }
  return n;
}

// Copies the finished read into the buffer and hands it to the target.
void EBlendAnimManager::CompleteRequest(BlendAnimRequest* pRequest) {
  if (!pRequest->m_pTarget || !pRequest->m_pBuffer) return;
  const uint32_t size = pRequest->m_pReload->GetDataSize();
  const uint8_t* pData = static_cast<const uint8_t*>(pRequest->m_pReload->GetData());
  const uint32_t fileSig = pData && size >= 4 ? GetLE32(pData) : 0;
  if (fileSig != kPBA_MAGIC) g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "fileSig == 'EPBA'", true);
  if (pData && size) memcpy(pRequest->m_pBuffer, pData, size);
  EBlendAnimShared* pTarget = pRequest->m_pTarget;
  char* pBuffer = pRequest->m_pBuffer;
  // The target owns the buffer from here on.
  pRequest->m_pTarget = nullptr;
  pRequest->m_pBuffer = nullptr;
  pTarget->loadFromMemoryFixup(pBuffer, size);
}

EBlendAnimShared* EBlendAnimManager::LoadAsync(const char* szFullPath) {
  BlendAnimRequest* pRequest = StartAsyncRequest();
  if (!pRequest) return nullptr;
  pRequest->m_pReload = new EQueuedReloadAnim();
  pRequest->m_pReload->m_FileName = szFullPath;
  if (!pRequest->m_pReload->Init(kMEMTYPE_Anim)) {
    AbortAsyncRequest(pRequest);
    return nullptr;
  }
  const uint32_t size = pRequest->m_pReload->GetDataSize();
  const size_t nameLen = strlen(szFullPath);
  EBlendAnimShared* pShared = new EBlendAnimShared();
  char* pBuffer = static_cast<char*>(malloc((size_t)size + nameLen + 1));
  EASSERT(pBuffer);
  memcpy(pBuffer + size, szFullPath, nameLen + 1);
  pShared->setName(pBuffer + size);
  pRequest->m_pBuffer = pBuffer;
  pRequest->m_pTarget = pShared;
  if (pRequest->m_pReload->IsDone()) {
    CompleteRequest(pRequest);
    AbortAsyncRequest(pRequest);
  }
  return pShared;
}

void EBlendAnimManager::DoWork(float) {
  for (int i = 0; i < kMAX_REQUESTS; ++i) {
    BlendAnimRequest* pRequest = RequestAt(i);
    if (!pRequest) continue;
    if (pRequest->m_pReload) ++pRequest->m_pReload->m_nFramesWaited;
    if (pRequest->m_pReload && !pRequest->m_pReload->IsDone()) continue;
    if (pRequest->m_pReload) CompleteRequest(pRequest);
    AbortAsyncRequest(pRequest);
  }
}

void EBlendAnimManager::FinishAsyncRequests() {
  for (int i = 0; i < kMAX_REQUESTS; ++i) {
    BlendAnimRequest* pRequest = RequestAt(i);
    if (!pRequest) continue;
    if (pRequest->m_pReload) {
      pRequest->m_pReload->Finish();
      CompleteRequest(pRequest);
      pRequest->m_pReload->Close();
    }
    AbortAsyncRequest(pRequest);
  }
}

void EBlendAnimManager::DebugDumpBlendAnims() {
  g_ErrorManager.TraceMessagef("%d blend anims\n", (int)m_List.count());
  for (EStaticListIter<EBlendAnim*> it(m_List); !it.isDone(); it.next()) {
    EBlendAnimShared* pShared = it.item()->m_pShared;
    if (pShared && pShared->getCacheRef()) g_ErrorManager.TraceMessagef("%s\n", pShared->getCacheRef()->filename());
  }
  unsigned total = 0;
  for (EStaticListIter<EDynamicCacheFile*> it(m_Cache.GetCacheList()); !it.isDone(); it.next()) {
    g_ErrorManager.TraceMessagef("%s: %d", it.item()->filename(), (int)it.item()->filesize());
    total += it.item()->filesize();
  }
  g_ErrorManager.TraceMessagef("Total: %d bytes", (int)total);
}
