// Blend animations: the one manager behind every mesh's blend player. It
// keeps ".pba" files in an in-memory cache by full path, makes the
// instances that play them, tracks those, serves asynchronous loads from a
// fixed pool of requests and reads blend data carried by animation packs.
#pragma once

#include <cstdint>

#include "TWUtil/DataArray.h"
#include "TWUtil/EFileCache.h"
#include "TWUtil/EStaticList.h"

class EBlendAnim;
class EBlendAnimShared;
class EQueuedReloadAnim;
class EStream;

// One asynchronous load: the whole file is read by the reload record into
// memory, then copied into the buffer that becomes the target's data.
struct BlendAnimRequest : EDataElement {
  BlendAnimRequest() : m_pTarget(nullptr), m_pReload(nullptr), m_pBuffer(nullptr) {}
  ~BlendAnimRequest();
  EBlendAnimShared* m_pTarget;   // null once detached
  EQueuedReloadAnim* m_pReload;  // owned
  char* m_pBuffer;               // file size + path + NUL bytes
};

class EBlendAnimManager {
public:
  enum {
    kCACHE_FILES = 1024,
    kMAX_INSTANCES = 1024,
    kMAX_REQUESTS = 20,
    kPURGE_REFRESH_MS = 30000,
  };

  // The one manager, made on the first call.
  static EBlendAnimManager* createBlendAnimManager();
  // Deletes it; false when there was none.
  static bool destroyBlendAnimManager();
  static EBlendAnimManager* Get() { return m_pBlendAnimManager; }

  // The cached file for a name, read when absent (a missing file is cached
  // empty); null when the cache cannot make room.
  EDynamicCacheFile* loadBlendAnim(const char* szName);
  // A new instance owning data copied from the cached file, or null.
  EBlendAnim* getBlendAnim(const char* szName);
  // The cached file for a name without loading it.
  EDynamicCacheFile* getBlendAnimCacheRef(const char* szName);
  // Data read from the next size bytes of the stream, named szName; null
  // (traced) for data that is not blend-animation data.
  EBlendAnimShared* getBlendAnimNoCache(EStream& reader, unsigned size, const char* szName);
  // Takes the instance out of use and deletes it.
  bool releaseBlendAnim(EBlendAnim* pAnim);
  // Drops the cached file of that key (taken as it is); false when there is
  // none or it still plays.
  bool purgeBlendAnim(const char* szKey);

  BlendAnimRequest* StartAsyncRequest();
  void AbortAsyncRequest(BlendAnimRequest* pRequest);
  void AbortAsyncRequest(EBlendAnimShared* pShared);
  bool HasPendingAsyncRequest(const EBlendAnimShared* pShared) const;
  // Completes finished requests; called once a frame.
  void DoWork(float fSeconds);
  // Completes every request now (level unload).
  void FinishAsyncRequests();
  // Data for a name read through a request, owned by the caller, or null
  // when no request is free or the file cannot be read.
  EBlendAnimShared* LoadAsync(const char* szFullPath);

  void DebugDumpBlendAnims();
  int GetMemUsage() const { return 0; }
  unsigned count() const { return m_Cache.count(); }
  unsigned used() const { return m_Cache.used(); }

  // Shared data copied from a cached file counts as a user of it; files in
  // use are never evicted.
  void AddCacheUser(EDynamicCacheFile* pFile) { pFile->addUser(); }
  void ReleaseCacheUser(EDynamicCacheFile* pFile) { pFile->removeUser(); }

  // The file manager's full path of a name (as given, no search path), cut
  // to 4095 characters, into out of kFULLPATH bytes.
  enum { kFULLPATH = 4096 };
  static void FullPath(const char* szName, char* szOut);

  const EStaticList<EBlendAnim*>& GetInstanceList() const { return m_List; }
  EDynamicFileCache& GetCache() { return m_Cache; }
  int GetNumRequests() const;

  // Statistics of the developer display.
  static int m_nBlendAnims;
  static int m_nBlendChannels;
  static int m_nBlendVertices;

private:
  EBlendAnimManager();
  ~EBlendAnimManager();
  EBlendAnimManager(const EBlendAnimManager&) = delete;
  EBlendAnimManager& operator=(const EBlendAnimManager&) = delete;
  void CompleteRequest(BlendAnimRequest* pRequest);
  BlendAnimRequest* RequestAt(int i) const;

  EStaticList<EBlendAnim*> m_List;
  EDynamicFileCache m_Cache;
  EDataArray<BlendAnimRequest>* m_pRequests;

  static EBlendAnimManager* m_pBlendAnimManager;
};
