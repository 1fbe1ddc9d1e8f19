// The triangles of static geometry near a moving object. Until the cache
// fills itself it holds nothing, and queries that take it find nothing more.
#pragma once

#include "TWMath/BoundingBox.h"

class ECollisionManager;
class EDomain;
class EMesh;
class EMeshEntity;

class ETriCache {
public:
  // A null manager means the game's own.
  ETriCache(float fMaxRadius, unsigned dwSurfaceFlags, const char* szName, ECollisionManager* pCM);
  ~ETriCache();
  ETriCache(const ETriCache&) = delete;
  ETriCache& operator=(const ETriCache&) = delete;

  void onDomainChange(EDomain* pOld, EDomain* pNew);
  ECollisionManager* GetCollisionManager() const { return m_pCM; }
  const char* GetName() const { return m_szName; }
  float GetMaxRadius() const { return m_fMaxRadius; }
  unsigned GetSurfaceFlags() const { return m_dwSurfaceFlags; }

  // A triangle entity started or stopped being a collidee.
  static void NotifyCollidee(EMeshEntity* pEntity, const EBox3& box);
  static void NotifyNotCollidee(EMeshEntity* pEntity);
  // The level's collision mesh went away.
  static void NotifyMeshUnloaded(const EMesh* pMesh);

private:
  float m_fMaxRadius;
  unsigned m_dwSurfaceFlags;
  const char* m_szName;
  ECollisionManager* m_pCM;
};
