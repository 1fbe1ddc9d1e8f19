// Domains: names, the child tree, sleeping and messages to their entities.
#include "VERirezo/Domain.h"

#include <cstring>

#include "Game/GameApp.h"
#include "ScriptVM/ScriptVM.h"
#include "TWUtil/Array.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/MemType.h"
#include "TWUtil/String.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/Entity.h"
#include "VERirezo/EntityManager.h"
#include "VERirezo/FreezeManager.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/Scene.h"

EDomain::EDomain(EScene* pScene, ECollisionManager* pCM)
    : m_pCM(pCM ? pCM : &ECollisionManager::sm_CM_dummy),
      m_bMarked(false),
      m_szName(nullptr),
      m_bSleeping(false),
      m_Bounds(EVec3(0.0f, 0.0f, 0.0f), EVec3(0.0f, 0.0f, 0.0f)),
      m_pScene(pScene),
      m_pParent(nullptr) {}

EDomain::~EDomain() {
  Clear();
  StringFreePooled(m_szName, kMEMTYPE_String);
  m_szName = nullptr;
}

void EDomain::SetName(const char* szName) {
  StringFreePooled(m_szName, kMEMTYPE_String);
  m_szName = StringDuplicatePooled(szName, kMEMTYPE_String);
}

bool EDomain::IsChildOf(const EDomain* pDomain) const {
  for (const EDomain* p = this; p; p = p->m_pParent) {
    if (p == pDomain) return true;
  }
  return false;
}

EDomain* EDomain::CreateChildDomain(const char* szName, ECollisionManager* pCM) {
  EDomain* pChild = new EDomain(m_pScene, pCM ? pCM : m_pCM);
  pChild->SetName(szName);
  pChild->SetParent(this);
  m_lChildDomains.AddTail(pChild);
  return pChild;
}

EDomain* EDomain::FindDomain(const char* szName) {
  if (!szName) return nullptr;
  if (m_szName && strcmp(m_szName, szName) == 0) return this;
  for (POSITION pos = m_lChildDomains.GetHeadPosition(); pos;) {
    EDomain* pFound = m_lChildDomains.GetNext(pos)->FindDomain(szName);
    if (pFound) return pFound;
  }
  return nullptr;
}

void EDomain::SetSleepFlag(bool bAsleep) {
  if (m_bSleeping != bAsleep) {
    m_bSleeping = bAsleep;
    for (POSITION pos = m_lMeshes.GetHeadPosition(); pos;) m_lMeshes.GetNext(pos)->onDomainSleep(bAsleep);
    for (EEntityIter it(this); it; ++it) it->SetDomainIsSleeping(bAsleep);
  }
  for (POSITION pos = m_lChildDomains.GetHeadPosition(); pos;) m_lChildDomains.GetNext(pos)->SetSleepFlag(bAsleep);
}

void EDomain::RunAffectors(float fFrameMS) {
  if (m_bSleeping) return;
  for (POSITION pos = m_lChildDomains.GetHeadPosition(); pos;) m_lChildDomains.GetNext(pos)->RunAffectors(fFrameMS);
  for (POSITION pos = m_lMeshes.GetHeadPosition(); pos;) m_lMeshes.GetNext(pos)->RunAffectors(fFrameMS);
}

void EDomain::SendMessageToAllEntities(EScriptObject* pSender, const char* szMessage, const char* szText,
                                       int iPriority, bool bRecurse) {
  {
    EEntityIter it(this);
    for (; it; ++it) {
      EScriptObject* pObject = it->GetScriptObject();
      if (pObject && EScriptVM::m_spScriptVM)
        EScriptVM::m_spScriptVM->QueueScriptMessage(szMessage, szText, pObject, pSender, iPriority);
    }
  }
  // The own iteration has ended: each child may start its own.
  if (!bRecurse) return;
  for (POSITION pos = m_lChildDomains.GetHeadPosition(); pos;)
    m_lChildDomains.GetNext(pos)->SendMessageToAllEntities(pSender, szMessage, szText, iPriority, true);
}

void EDomain::ResetAllEntityFrameCount() {
  for (EEntityIter it(this, true); it; ++it) it->ResetFrameCount();
}

void EDomain::Clear() {
  while (!m_lMeshes.IsEmpty()) delete m_lMeshes.RemoveTail();
  if (gGameApp && gGameApp->m_pFreezeManager) gGameApp->m_pFreezeManager->MoveEntitiesToDomain(nullptr, this);
  // Collected first: each request changes the table under the iteration.
  EArray<EEntity*> entities(kMEMTYPE_Entity);
  for (EEntityIter it(this); it; ++it) entities.AddData(*it);
  for (int i = 0; i < entities.Num(); ++i) {
    if (gGameApp)
      gGameApp->DelayedDelete(entities[i]);
    else
      entities[i]->InternalDelayedDelete();
  }
  while (!m_lChildDomains.IsEmpty()) delete m_lChildDomains.RemoveTail();
  // A cleared domain starts the next level with fresh bounds.
  m_Bounds.Set(EVec3(0.0f, 0.0f, 0.0f), EVec3(0.0f, 0.0f, 0.0f));
}
