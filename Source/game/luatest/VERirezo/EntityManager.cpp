// The entity table and its iterator.
#include "VERirezo/EntityManager.h"

#include "TWUtil/ErrorManager.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Entity.h"

int EEntityIter::sm_iNumActive = 0;

bool EEntityManager::Register(EEntity* pEntity) {
  const uint16_t idx = GetFreeIndex();
  if (idx == kNO_SLOT) {
    g_ErrorManager.ErrorReportFileLine(__FILE__, __LINE__, true);
    g_ErrorManager.ErrorMessagef("Entity table full: %d entities are registered; \"%s\" is refused", kMAX_ENTITIES,
                                 pEntity->GetName());
    return false;
  }
  m_aInfo[idx].ptr = pEntity;
  m_aInfo[idx].domain = nullptr;
  pEntity->m_iEntityIndex = idx;
  pEntity->UpdateEntityManager();
  return true;
}

void EEntityManager::Unregister(EEntity* pEntity) {
  const int idx = pEntity->m_iEntityIndex;
  EASSERT(idx < m_aInfo.Num());
  EASSERT(m_aInfo[idx].ptr == pEntity);
  pEntity->m_iEntityIndex = EEntity::kNO_INDEX;
  AddFreeIndex((uint16_t)idx);
}

uint16_t EEntityManager::GetFreeIndex() {
  if (m_uFirstFree == kNO_SLOT) {
    if (m_aInfo.Num() >= kMAX_ENTITIES) return kNO_SLOT;
    const int idx = m_aInfo.Add();
    m_aInfo[idx].ptr = nullptr;
    m_aInfo[idx].domain = nullptr;
    return (uint16_t)idx;
  }
  const uint16_t idx = m_uFirstFree;
  EASSERT(m_aInfo[idx].IsFree());
  m_uFirstFree = m_aInfo[idx].GetNextFree();
  return idx;
}

void EEntityManager::AddFreeIndex(uint16_t idx) {
  EASSERT(idx < m_aInfo.Num());
  m_aInfo[idx].SetFree(m_uFirstFree);
  m_aInfo[idx].domain = nullptr;
  m_uFirstFree = idx;
  if (idx != m_aInfo.Num() - 1) return;

  // Trim the free slots at the end: find where the free run starts, drop
  // those slots from the free list (keeping its order), shrink the table.
  int iFirst = idx;
  while (iFirst > 0 && m_aInfo[iFirst - 1].IsFree()) --iFirst;
  uint16_t uPrev = kNO_SLOT;
  for (uint16_t uCur = m_uFirstFree; uCur != kNO_SLOT;) {
    const uint16_t uNext = m_aInfo[uCur].GetNextFree();
    if (uCur >= iFirst) {
      if (uPrev == kNO_SLOT)
        m_uFirstFree = uNext;
      else
        m_aInfo[uPrev].SetFree(uNext);
    } else {
      uPrev = uCur;
    }
    uCur = uNext;
  }
  m_aInfo.GrowTo(iFirst, true);
}

int EEntityManager::GetNumFree() const {
  int n = 0;
  for (uint16_t u = m_uFirstFree; u != kNO_SLOT; u = m_aInfo[u].GetNextFree()) ++n;
  return n;
}

EEntityManager gEntities;

EEntityIter::EEntityIter(EDomain* pDomain, bool bRecurse, bool bAll)
    : m_pDomain(pDomain), m_pTable(gEntities.GetSlots()), m_iIndex(-1), m_bRecurse(bRecurse), m_bAll(bAll) {
  if (m_pDomain) {
    EASSERT(sm_iNumActive == 0);
    ++sm_iNumActive;
    if (m_bRecurse)
      RecurseMarkDomain(m_pDomain, true);
    else
      m_pDomain->m_bMarked = true;
  }
  ++*this;
}

EEntityIter::~EEntityIter() {
  if (!m_pDomain) return;
  --sm_iNumActive;
  if (m_bRecurse)
    RecurseMarkDomain(m_pDomain, false);
  else
    m_pDomain->m_bMarked = false;
}

EEntityIter& EEntityIter::operator++() {
  const int n = m_pTable->Num();
  const EEntityInfo* pSlots = m_pTable->GetData();
  int i = m_iIndex + 1;
  if (m_bAll || !m_pDomain) {
    while (i < n && pSlots[i].IsFree()) ++i;
  } else {
    while (i < n && (pSlots[i].IsFree() || !pSlots[i].domain || !pSlots[i].domain->m_bMarked)) ++i;
  }
  m_iIndex = i;
  return *this;
}

void EEntityIter::RecurseMarkDomain(EDomain* pDomain, bool bMark) {
  EASSERT(pDomain->m_bMarked != bMark);
  pDomain->m_bMarked = bMark;
  for (POSITION pos = pDomain->m_lChildDomains.GetHeadPosition(); pos;)
    RecurseMarkDomain(pDomain->m_lChildDomains.GetNext(pos), bMark);
}
