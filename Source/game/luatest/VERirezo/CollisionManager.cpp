// The collision manager's entity registration.
#include "VERirezo/CollisionManager.h"

#include "TWUtil/ErrorManager.h"
#include "VERirezo/Entity.h"

ECollisionManager ECollisionManager::sm_CM(false);
ECollisionManager ECollisionManager::sm_CM_dummy(true);

void ECollisionManager::Register(EEntity* pEntity) {
  if (m_bInert) return;
  EASSERT(pEntity->GetCollisionIndex() == EEntity::kNO_INDEX);
  EASSERT(m_aEntities.Num() < EEntity::kNO_INDEX);
  pEntity->SetCollisionIndex((uint16_t)m_aEntities.AddData(pEntity));
}

void ECollisionManager::Unregister(EEntity* pEntity) {
  if (m_bInert) return;
  const int idx = pEntity->GetCollisionIndex();
  EASSERT(idx < m_aEntities.Num() && m_aEntities[idx] == pEntity);
  // The last entry moves into the freed slot.
  const int last = m_aEntities.Num() - 1;
  if (idx != last) {
    m_aEntities[idx] = m_aEntities[last];
    m_aEntities[idx]->SetCollisionIndex((uint16_t)idx);
  }
  m_aEntities.RemoveSwap(last, 1);
  pEntity->SetCollisionIndex(EEntity::kNO_INDEX);
}
