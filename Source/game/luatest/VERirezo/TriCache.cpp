// The triangle cache of a moving object.
#include "VERirezo/TriCache.h"

#include "VERirezo/CollisionManager.h"
#include "VERirezo/Domain.h"

ETriCache::ETriCache(float fMaxRadius, unsigned dwSurfaceFlags, const char* szName, ECollisionManager* pCM)
    : m_fMaxRadius(fMaxRadius), m_dwSurfaceFlags(dwSurfaceFlags), m_szName(szName),
      m_pCM(pCM ? pCM : &ECollisionManager::sm_CM) {}

ETriCache::~ETriCache() {}

void ETriCache::onDomainChange(EDomain* pOld, EDomain* pNew) {
  ECollisionManager* pFrom = pOld ? pOld->GetCollisionManager() : &ECollisionManager::sm_CM_dummy;
  ECollisionManager* pTo = pNew ? pNew->GetCollisionManager() : &ECollisionManager::sm_CM_dummy;
  if (pFrom != pTo) m_pCM = pTo;
}

void ETriCache::NotifyCollidee(EMeshEntity*, const EBox3&) {}
void ETriCache::NotifyNotCollidee(EMeshEntity*) {}
void ETriCache::NotifyMeshUnloaded(const EMesh*) {}
