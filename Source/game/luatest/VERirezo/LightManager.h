// The light manager: the pool of scene lights, the lists of registered
// lights, the per-frame fades and the strongest-lights query.
#pragma once

#include "TWUtil/DataArray.h"
#include "TWUtil/Array.h"
#include "VERirezo/Light.h"

class EBox3;
class EMesh;
class EMeshEntity;
class EStream;

class ELightManager {
public:
  enum { kMAX_LIGHTS = 256 };

  ELightManager();
  ~ELightManager();
  ELightManager(const ELightManager&) = delete;
  ELightManager& operator=(const ELightManager&) = delete;

  // A new light with the defaults; null, traced, when the pool is full.
  ELight* AddLight();
  void DeleteLight(ELight* pLight);
  // One light record of a mesh (its type word first): false when the pool is
  // full or the record is damaged. Lights of other types than point,
  // directional, spot and projected, and dynamic point lights without a
  // linear term, are dropped (pKept null); the others are registered and
  // handed back for the mesh's list.
  bool ReadMeshLight(EStream& s, unsigned version, EMesh* pMesh, ELight*& pKept);
  // Settles the range and files the light in its lists.
  void RegisterLight(ELight* pLight);
  void UnregisterLight(ELight* pLight);
  ELight* GetLight(unsigned id) const { return id ? m_pLights->ElementTryToGet(id) : nullptr; }
  // The data id of the first light (pool order) of exactly that name, of the
  // mesh when one is given; 0 when none.
  unsigned FindLightByName(const char* szName, EMesh* pMesh) const;
  void UpdateLights(float dt);
  void CleanupReferences();
  void SetPsiLightColor(const EVec3& colour);

  // Fills the block with at most iMaxCount of the strongest lights reaching
  // the box: search flags 1 static lights, 2 dynamic lights.
  void GetStrongestLights(const EBox3& box, int iMaxCount, unsigned dwSearchFlags, ELightBlock* pLightBlock,
                          EMeshEntity* pLitEntity, EMeshEntity* pOwnerEntity);
  // Moves the block's spot lights to its front, in their order.
  static void SortLightsByType(ELightBlock* pLightBlock);

  void RequestRenderSpheres(EMeshEntity* pEntity);
  void DisplayLightBlocks();
  void DumpLightInfo();

  const EArray<ELight*>& GetAllLights() const { return m_lAllLights; }
  const EArray<ELight*>& GetDynamicLights() const { return m_lDynamicLights; }
  const EArray<ELight*>& GetProjectedLights() const { return m_lProjectedLights; }
  EDataArray<ELight>* GetLightArray() const { return m_pLights; }

  // The current scene's light factors.
  ESceneLightFactors m_SceneFactors;

private:
  EArray<ELight*> m_lAllLights;
  EArray<ELight*> m_lDynamicLights;
  EArray<ELight*> m_lProjectedLights;
  EDataArray<ELight>* m_pLights;
};

// The application's light manager, or null.
ELightManager* GetAppLightManager();
