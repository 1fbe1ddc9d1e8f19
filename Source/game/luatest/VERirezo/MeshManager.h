// The mesh manager: loads each mesh once by its normalised file name, alone
// or from mesh packs (".mpf"), and hands out instances of it; keeps the
// meshes of placed entities until the next purge.
#pragma once

#include "TWUtil/Array.h"
#include "TWUtil/HashTable.h"

class EMesh;
class EMeshEntity;
class EStream;

// The category of loaded data: what a level purge frees.
enum DATATYPE {
  kDATATYPE_UNKNOWN = 0,
  kDATATYPE_COMMON = 1,
  kDATATYPE_LEVEL_WORLD = 2,
  kDATATYPE_LEVEL_CHARACTER = 3,
  kDATATYPE_LEVEL_MISC = 4,
};

class EMeshManager {
public:
  enum { kKEY_SIZE = 300 };

  // False when the manager exists already.
  static bool Initialize();
  static void Destroy();
  // The manager, created on first use.
  static EMeshManager* Get();
  // The manager, or null before Initialize and after Destroy.
  static EMeshManager* GetMeshManager() { return sm_pInstance; }

  // An instance of the mesh (the cached mesh itself for its first user),
  // or null.
  EMesh* LoadMesh(const char* szName, DATATYPE eType);
  // True when the mesh is cached afterwards.
  bool PreloadMesh(const char* szName, DATATYPE eType);
  // Gives back a mesh from LoadMesh or GetEmptyMesh.
  void UnloadMesh(EMesh* pMesh);
  // A new uncached empty mesh owned by the entity.
  EMesh* GetEmptyMesh(EMeshEntity* pEntity);
  bool IsTheEmptyMesh(EMesh*) const { return false; }
  // A placed entity's own mesh, deleted at the next purge.
  void RegisterEntityMesh(EMesh* pMesh);
  // bAll false: the level purge (common meshes and category-0 meshes in use
  // stay); true: everything.
  void PurgeCache(bool bAll);
  // "levels/packfiles/<level>.mpf", or a pack from the reader.
  void ReadPackFile(const char* szLevelName);
  void ReadPackFile(EStream& s);
  void DumpDebugInfo();
  void Debug_ShowUnusedMeshes();
  void GetBlendshapeMem(unsigned& uA, unsigned& uB) const { uA = uB = 0; }

  // The cache key of a file name: the name as given with slashes and the
  // on-disk case repaired, cut to 299 characters, in lower case.
  static void MakeKey(const char* szName, char* szKey, int iKeySize);
  EMesh* FindCached(const char* szKey) const { return m_Cache.Find(szKey, nullptr); }
  int GetNumCached() const { return (int)m_Cache.GetNumEntries(); }
  int GetNumEntityMeshes() const { return m_aEntityMeshes.Num(); }

private:
  EMeshManager();
  ~EMeshManager();
  EMesh* LoadFromFile(const char* szKey, int eType);
  bool IsCached(const EMesh* pMesh);

  EHashTable<EMesh*> m_Cache;
  EArray<EMesh*> m_aEntityMeshes;
  static EMeshManager* sm_pInstance;
};
