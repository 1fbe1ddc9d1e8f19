// Scenes: the domain tree read from scene files (".plb"), the visibility
// tree, the runtime references pending during a load; and the scene manager
// that owns the scenes.
#pragma once

#include <cstdint>

#include "TWUtil/Array.h"
#include "TWUtil/List.h"

class EDomain;
class EMesh;
class ENavMesh;
class ESceneManager;
class EStream;
class EVisibilityTree;
class ESceneSettings;

// A scene file named by a domain record, loaded into that domain once the
// file that named it has been read.
class SceneRuntimeReference {
public:
  SceneRuntimeReference(EDomain* pDomain, const char* szFile);
  ~SceneRuntimeReference();
  SceneRuntimeReference(const SceneRuntimeReference&) = delete;
  SceneRuntimeReference& operator=(const SceneRuntimeReference&) = delete;
  EDomain* GetReferencingDomain() const { return m_pDomain; }
  void SetReferencingDomain(EDomain* pDomain) { m_pDomain = pDomain; }
  const char* GetFilename() const { return m_szFile; }
  // How many references led to this one (0: named by the scene loaded).
  int m_iGeneration = 0;

private:
  EDomain* m_pDomain;
  char* m_szFile;
};

enum {
  kSCENE_VERSION_MIN = 317,
  kSCENE_VERSION_MAX = 319,
  kSCENEFLAG_Visibility = 0x1,
};

// The texture flags of a scene texture: the data type's bits (0x10001 for
// common data, type << 16 for level data), bit 1 for a != 0, bit 4 for b != 1.
unsigned SceneTextureFlags(int eDataType, uint8_t a, uint8_t b);

class EScene {
public:
  EScene();
  ~EScene();
  EScene(const EScene&) = delete;
  EScene& operator=(const EScene&) = delete;

  // A scene file into the domain; bNonScene (a single mesh) creates no
  // placed objects. False when the file is not a scene, has a refused
  // version, or its root domain is refused.
  bool LoadSceneInto(EDomain* pDomain, const char* szFile, bool bNonScene, int eDataType);
  bool LoadSceneInto(EDomain* pDomain, EStream& s, bool bNonScene, int eDataType);

  void AddRuntimeReferenceToList(EDomain* pDomain, const char* szFile);
  void SwapDomainsInRuntimeReferences(EDomain* pOld, EDomain* pNew);
  // Forgets the pending references of a domain that goes away.
  void RemoveRuntimeReferences(EDomain* pDomain);
  int GetNumRuntimeReferences() const { return m_lRuntimeReferences.GetCount(); }
  // References are read from the same stream instead of from files.
  void SetReferencesInline(bool bInline) { m_bReferencesInline = bInline; }

  EDomain* GetRootDomain() const { return m_pRootDomain; }
  EDomain* ActiveDomain() const { return m_pActiveDomain; }
  void ActiveDomain(EDomain* pDomain) { m_pActiveDomain = pDomain; }
  EMesh* FindMesh(const char* szName);
  ENavMesh* GetNavMesh();
  uint32_t GetSceneFlags() const { return m_dwSceneFlags; }
  EVisibilityTree* GetVisibilityTree() const { return m_pVisibilityTree; }
  ESceneManager* GetSceneManager() const { return m_pSceneManager; }
  void SetSceneManager(ESceneManager* pManager) { m_pSceneManager = pManager; }

  // Requests the sky box and the active domain for a view.
  void RequestRender(int iRenderMode, int iChannel);
  // Forgets the scene flags and the visibility tree, and puts every render
  // setting back to its level-start value.
  void Reset();
  // Once per frame before the simulation: blends the motion blur in real
  // and the psychedelic overlay in simulated milliseconds.
  void Update(float fRealMs, float fSimMs);
  // The clip, fog, blur and overlay settings of the scene.
  ESceneSettings& GetSettings() { return *m_pSettings; }
  // Set while the level loader reads the scene from a level pack.
  void SetLoadingFromPackfile(bool bOn) { m_bLoadingFromPackfile = bOn; }
  bool IsLoadingFromPackfile() const { return m_bLoadingFromPackfile; }

private:
  ESceneManager* m_pSceneManager;
  uint32_t m_dwSceneFlags;
  EVisibilityTree* m_pVisibilityTree;
  bool m_bLoadingReferences;
  bool m_bReferencesInline;
  EDomain* m_pRootDomain;
  EDomain* m_pActiveDomain;
  EList<SceneRuntimeReference*> m_lRuntimeReferences;
  int m_iLoadDepth;
  ESceneSettings* m_pSettings;
  bool m_bLoadingFromPackfile = false;
  // The generation of the reference being loaded; references it names are
  // one more. A file that names itself (or a ring of files) stops at
  // kMAX_REFERENCE_GENERATIONS instead of loading for ever.
  int m_iReferenceGeneration = 0;
  enum { kMAX_REFERENCE_GENERATIONS = 64 };
};

class ESceneManager {
public:
  ESceneManager();
  // Deletes the scenes, then purges the textures.
  ~ESceneManager();
  ESceneManager(const ESceneManager&) = delete;
  ESceneManager& operator=(const ESceneManager&) = delete;

  EScene* GetCurrentScene() const { return m_pCurrentScene; }
  void SetCurrentScene(EScene* pScene);
  // The root domain of the current scene.
  EDomain* GetDefaultSceneRootDomain() { return m_pCurrentScene ? m_pCurrentScene->GetRootDomain() : nullptr; }
  // The domain that the frame simulates.
  EDomain* GetActiveDomain() const { return m_pCurrentScene ? m_pCurrentScene->ActiveDomain() : nullptr; }
  void SetActiveDomain(EDomain* pDomain) {
    if (m_pCurrentScene) m_pCurrentScene->ActiveDomain(pDomain);
  }
  EMesh* FindMesh(const char* szName) { return m_pCurrentScene ? m_pCurrentScene->FindMesh(szName) : nullptr; }

private:
  EScene* m_pCurrentScene;
  EList<EScene*> m_SceneList;
};
