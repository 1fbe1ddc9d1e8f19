// The collision manager: the entities that take part in collision queries.
// This is the registration that entities and domains rely on; the grid and
// the queries come with the collision system.
#pragma once

#include "TWUtil/Array.h"

class EEntity;

class ECollisionManager {
public:
  // An inert manager registers nothing.
  explicit ECollisionManager(bool bInert = false) : m_aEntities(kMEMTYPE_Misc), m_bInert(bInert) {}
  ECollisionManager(const ECollisionManager&) = delete;
  ECollisionManager& operator=(const ECollisionManager&) = delete;

  // Gives the entity a slot and stores it in the entity's collision index.
  void Register(EEntity* pEntity);
  // Frees the entity's slot; its collision index becomes "none".
  void Unregister(EEntity* pEntity);
  int GetNumRegistered() const { return m_aEntities.Num(); }
  bool IsInert() const { return m_bInert; }

  // The main manager and the inert default of new domains.
  static ECollisionManager sm_CM;
  static ECollisionManager sm_CM_dummy;

private:
  EArray<EEntity*> m_aEntities;
  bool m_bInert;
};
