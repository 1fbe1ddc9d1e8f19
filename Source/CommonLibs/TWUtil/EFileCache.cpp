#include "TWUtil/EFileCache.h"

#include <SDL/SDL.h>
#include <algorithm>
#include <cstdlib>

#include "TWUtil/EFileManager.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/String.h"

EDynamicCacheFile::EDynamicCacheFile(const char* name)
    : m_szName(StringDuplicatePooled(name, kMEMTYPE_String)), m_uHandle((unsigned)-1), m_uSize(0), m_pData(nullptr),
      m_uLastAccess(0), m_uUsers(0) {}

EDynamicCacheFile::~EDynamicCacheFile() {
  StringFreePooled(m_szName, kMEMTYPE_String);
  free(m_pData);
}

EDynamicFileCache::EDynamicFileCache(EMemType type, unsigned capacity, int)
    : m_iHandleCounter(0), m_uUsed(0), m_List(type, capacity), m_Names(type) {}

EDynamicFileCache::~EDynamicFileCache() {
  for (EStaticListIter<EDynamicCacheFile*> it(m_List); !it.isDone(); it.next()) delete it.item();
  m_List.purge();
  m_Names.RemoveAll();
}

EDynamicCacheFile* EDynamicFileCache::FindEntry(const char* name) const {
  int handle = 0;
  if (!name || !m_Names.Contains(name, &handle)) return nullptr;
  for (EStaticListIter<EDynamicCacheFile*> it(m_List); !it.isDone(); it.next())
    if (it.item()->matchHandle((unsigned)handle)) return it.item();
  return nullptr;
}

bool EDynamicFileCache::cacheFileOrEmpty(const char* name) {
  if (!name) return false;
  if (cacheFile(name)) return true;
  if (!hasFreeSlots()) return false;
  EDynamicCacheFile* pCachedFile = new EDynamicCacheFile(name);
  EASSERT(pCachedFile);
  ++m_iHandleCounter;
  m_Names.Set(name, m_iHandleCounter);
  pCachedFile->m_uHandle = (unsigned)m_iHandleCounter;
  pCachedFile->m_uLastAccess = SDL_GetTicks();
  m_List.add(pCachedFile);
  return true;
}

bool EDynamicFileCache::cacheFile(const char* name) {
  if (!name) return false;
  if (EDynamicCacheFile* existing = FindEntry(name)) {
    // Callers may hold the entry: keep it rather than replace it.
    existing->setLastAccess(SDL_GetTicks());
    return true;
  }
  if (!hasFreeSlots()) return false;

  EFile* file = gFile->Open(name, FILE_READ, kFILELOC_Default);
  if (!file) return false;
  int size = file->GetFilesize();
  if (size < 0) {
    file->Close();
    return false;
  }
  unsigned char* fileData = static_cast<unsigned char*>(malloc(size ? (size_t)size : 1));
  EASSERT(fileData);
  int got = size ? file->Read(fileData, 1u, (unsigned)size) : 0;
  file->Close();
  if (got != size) {
    free(fileData);
    return false;
  }

  EDynamicCacheFile* pCachedFile = new EDynamicCacheFile(name);
  EASSERT(pCachedFile);
  ++m_iHandleCounter;
  m_Names.Set(name, m_iHandleCounter);
  pCachedFile->m_uHandle = (unsigned)m_iHandleCounter;
  pCachedFile->m_pData = fileData;
  pCachedFile->m_uSize = (unsigned)size;
  pCachedFile->m_uLastAccess = SDL_GetTicks();
  m_uUsed += (unsigned)size;
  m_List.add(pCachedFile);
  return true;
}

EDynamicCacheFile* EDynamicFileCache::getCachedFile(const char* name) {
  EDynamicCacheFile* file = FindEntry(name);
  if (file) file->setLastAccess(SDL_GetTicks());
  return file;
}

bool EDynamicFileCache::isCached(const char* name) const { return FindEntry(name) != nullptr; }

bool EDynamicFileCache::uncacheFile(const char* name) {
  EDynamicCacheFile* file = FindEntry(name);
  if (!file) return false;
  m_List.remove(file);
  m_Names.Remove(file->filename());
  m_uUsed -= file->filesize();
  delete file;
  return true;
}

void EDynamicFileCache::Evict(EDynamicCacheFile* file) {
  g_ErrorManager.TraceMessagef(TT_Warning, "Purging %s", file->filename());
  m_List.remove(file);
  m_Names.Remove(file->filename());
  m_uUsed -= file->filesize();
  delete file;
}

bool EDynamicFileCache::purgeEmptyFiles(float seconds) {
  const unsigned threshold = (unsigned)(seconds * 1000.0f);
  const unsigned now = SDL_GetTicks();

  EDynamicCacheFile** idle = static_cast<EDynamicCacheFile**>(malloc(sizeof(EDynamicCacheFile*) * (m_List.count() + 1)));
  EASSERT(idle);
  unsigned numIdle = 0;
  for (EStaticListIter<EDynamicCacheFile*> it(m_List); !it.isDone(); it.next()) {
    if (!it.item()->users() && now - it.item()->lastAccess() > threshold) idle[numIdle++] = it.item();
  }
  unsigned numEvict = numIdle;
  if ((float)numIdle > (float)m_List.maxcount() / 2.0f) {
    // The longest idle first.
    std::stable_sort(idle, idle + numIdle, [now](const EDynamicCacheFile* a, const EDynamicCacheFile* b) {
      return now - a->lastAccess() > now - b->lastAccess();
    });
    numEvict = m_List.maxcount() / 2;
    if (numEvict == 0) numEvict = 1;  // a cache of one file can still make room
  }

  if (numEvict == 0) {
    free(idle);
    if (seconds > 0.5f) return purgeEmptyFiles(seconds * 0.5f);
    g_ErrorManager.TraceMessagef(TT_None, "Failed to LRU-replace %d anims that have all been accessed within 0.5s\n",
                                 (int)m_List.count());
    return false;
  }
  for (unsigned i = 0; i < numEvict; ++i) Evict(idle[i]);
  free(idle);
  return true;
}
