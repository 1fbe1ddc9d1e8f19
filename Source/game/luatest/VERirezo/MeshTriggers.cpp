// A mesh's trigger instances: lookup, re-filing, copies for new instances
// and clean-up.
#include <cstring>

#include "VERirezo/CollisionManager.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/Model.h"
#include "VERirezo/TriggerShapes.h"

ETriggerOBB* EMesh::GetTrigger(int i) const {
  ETriggerBase* pTrigger = ETriggerBase::Get(m_aTriggerHandles[i]);
  return pTrigger && pTrigger->GetType() == kTRIGGER_OBB ? static_cast<ETriggerOBB*>(pTrigger) : nullptr;
}

ETriggerOBB* EMesh::FindTrigger(const char* szName) {
  if (!szName) return nullptr;
  for (int i = 0; i < m_aTriggerHandles.Num(); ++i) {
    ETriggerOBB* pTrigger = GetTrigger(i);
    const char* szOwn = pTrigger ? pTrigger->GetName() : nullptr;
    if (szOwn && strcmp(szOwn, szName) == 0) return pTrigger;
  }
  for (int i = 0; i < m_aChildren.Num(); ++i) {
    if (ETriggerOBB* pFound = m_aChildren[i]->FindTrigger(szName)) return pFound;
  }
  return nullptr;
}

void EMesh::UpdateTriggers() {
  for (int i = 0; i < m_aTriggerHandles.Num(); ++i) {
    ETriggerOBB* pTrigger = GetTrigger(i);
    if (pTrigger && pTrigger->GetCollisionManager()) pTrigger->GetCollisionManager()->Update(pTrigger);
  }
}

void EMesh::DeleteTriggers() {
  for (int i = 0; i < m_aTriggerHandles.Num(); ++i) {
    ETriggerOBB* pTrigger = GetTrigger(i);
    if (!pTrigger) continue;
    pTrigger->ForgetMesh();
    delete pTrigger;
  }
  m_aTriggerHandles.Empty();
}

void EMesh::CopyTriggersFrom(const EMesh& source) {
  for (int i = 0; i < source.m_aTriggerHandles.Num(); ++i) {
    const ETriggerOBB* pSource = source.GetTrigger(i);
    if (!pSource) continue;
    ETriggerOBB* pCopy = new ETriggerOBB();
    pCopy->Init(this, *pSource);
    m_aTriggerHandles.AddData(pCopy->GetHandle());
  }
}

void EMesh::RenewTriggers() {
  EArray<unsigned int> aOld;
  EArray<unsigned int>::Swap(aOld, m_aTriggerHandles);
  for (int i = 0; i < aOld.Num(); ++i) {
    ETriggerBase* pOld = ETriggerBase::Get(aOld[i]);
    if (!pOld || pOld->GetType() != kTRIGGER_OBB) continue;
    ETriggerOBB* pCopy = new ETriggerOBB();
    pCopy->Init(this, *static_cast<ETriggerOBB*>(pOld));
    m_aTriggerHandles.AddData(pCopy->GetHandle());
  }
  for (int i = 0; i < aOld.Num(); ++i) delete ETriggerBase::Get(aOld[i]);
}
