// Whole files kept in memory by name, evicted least recently used first.
#pragma once

#include "TWUtil/EStaticList.h"
#include "TWUtil/HashTable.h"
#include "TWUtil/MemType.h"

class EDynamicCacheFile {
public:
  explicit EDynamicCacheFile(const char* name);
  ~EDynamicCacheFile();
  EDynamicCacheFile(const EDynamicCacheFile&) = delete;
  EDynamicCacheFile& operator=(const EDynamicCacheFile&) = delete;

  const char* filename() const { return m_szName; }
  unsigned filesize() const { return m_uSize; }
  const unsigned char* data() const { return m_pData; }
  unsigned lastAccess() const { return m_uLastAccess; }
  void setLastAccess(unsigned ms) { m_uLastAccess = ms; }
  bool matchHandle(unsigned handle) const { return m_uHandle == handle; }
  // Holders that still read the entry; a purge passes over entries in use.
  void addUser() { ++m_uUsers; }
  void removeUser() {
    if (m_uUsers) --m_uUsers;
  }
  unsigned users() const { return m_uUsers; }

private:
  friend class EDynamicFileCache;
  char* m_szName;
  unsigned m_uHandle;
  unsigned m_uSize;
  unsigned char* m_pData;
  unsigned m_uLastAccess;  // SDL milliseconds
  unsigned m_uUsers;
};

class EDynamicFileCache {
public:
  // Holds up to capacity files; the third argument is not used.
  EDynamicFileCache(EMemType type, unsigned capacity, int unused);
  ~EDynamicFileCache();
  EDynamicFileCache(const EDynamicFileCache&) = delete;
  EDynamicFileCache& operator=(const EDynamicFileCache&) = delete;

  // Reads the whole file into the cache. True when the file is cached
  // afterwards (already cached counts); false when the cache is full or the
  // file cannot be read, and then nothing is kept.
  bool cacheFile(const char* name);
  // The same, but a file that cannot be read is cached as an entry without
  // data, so later requests do not try it again.
  bool cacheFileOrEmpty(const char* name);
  // The cached file, marked as accessed now, or null.
  EDynamicCacheFile* getCachedFile(const char* name);
  bool isCached(const char* name) const;
  // Drops the file; false when it is not cached.
  bool uncacheFile(const char* name);
  bool hasFreeSlots() const { return m_List.free() > 0; }
  // Evicts files not in use and idle for longer than seconds (at most half the capacity,
  // oldest first), halving the time down to half a second until some are
  // found. False when none could be evicted.
  bool purgeEmptyFiles(float seconds);

  unsigned count() const { return m_List.count(); }
  unsigned used() const { return m_uUsed; }
  const EStaticList<EDynamicCacheFile*>& GetCacheList() const { return m_List; }

private:
  EDynamicCacheFile* FindEntry(const char* name) const;
  void Evict(EDynamicCacheFile* file);

  int m_iHandleCounter;
  unsigned m_uUsed;
  EStaticList<EDynamicCacheFile*> m_List;
  EHashTable<int> m_Names;
};
