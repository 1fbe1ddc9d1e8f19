// The trigger volume's common operations: handles, listeners, sleep and
// manager, and the contents bookkeeping with its messages.
#include "VERirezo/Trigger.h"

#include <cstdio>

#include "Game/GameApp.h"
#include "ScriptVM/ScriptMessage.h"
#include "ScriptVM/ScriptObject.h"
#include "TWUtil/EMemStack.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/MemType.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/CollisionQuery.h"
#include "VERirezo/Entity.h"
#include "VERirezo/Font.h"
#include "VERirezo/Physics.h"

namespace triggerbase {
ETriggerBase::HandleTable& Handles() {
  static ETriggerBase::HandleTable s_TriggerHandles(kMEMTYPE_Trigger);
  return s_TriggerHandles;
}
}  // namespace triggerbase

const char* const ETriggerWithContents::sm_szEnterMessage = "EnteredTriggerVolume";
const char* const ETriggerWithContents::sm_szExitMessage = "ExitedTriggerVolume";

// --- ETriggerBase --------------------------------------------------------------------------

ETriggerBase::ETriggerBase()
    : m_pOwner(nullptr),
      m_pNextOnOwner(nullptr),
      m_iCollisionIndex(NULL_INDEX),
      m_bSleeping(1),
      m_aListeners(kMEMTYPE_Trigger),
      m_eType(kTRIGGER_None),
      m_hHandle(~0u),
      m_pCM(nullptr) {
  unsigned int h = 0;
  TriggerRef* pRef = new (triggerbase::Handles(), h) TriggerRef();
  pRef->m_pTrigger = this;
  m_hHandle = h;
}

ETriggerBase::~ETriggerBase() {
  if (m_pOwner) {
    EPhysics* pPhys = m_pOwner->GetPhysics();
    ETriggerBase** ppCur = pPhys ? &pPhys->m_pAttachedTriggers : nullptr;
    while (ppCur && *ppCur && *ppCur != this) ppCur = &(*ppCur)->m_pNextOnOwner;
    EASSERT(ppCur && *ppCur == this);
    if (ppCur && *ppCur == this) *ppCur = m_pNextOnOwner;
    m_pNextOnOwner = nullptr;
    m_pOwner = nullptr;
  }
  ETriggerBase::HandleTable& handles = triggerbase::Handles();
  if (handles.IsValid(m_hHandle)) {
    handles[m_hHandle].m_pTrigger = nullptr;
    handles.Delete(m_hHandle);
  }
  SetCollisionManager(nullptr);
}

ETriggerBase* ETriggerBase::Get(unsigned int hHandle) {
  ETriggerBase::HandleTable& handles = triggerbase::Handles();
  return handles.IsValid(hHandle) ? handles[hHandle].m_pTrigger : nullptr;
}

void ETriggerBase::Init(const ETriggerBase& source) {
  EASSERT(m_pCM == 0);
  SetCollisionManager(source.m_pCM);
}

void ETriggerBase::Refile() {
  if (m_pCM) m_pCM->Update(this);
}

bool ETriggerBase::RegisterListener(EScriptObject* pScript) {
  if (!pScript) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Trying to register null script");
    return false;
  }
  for (int i = 0; i < m_aListeners.Num(); ++i) {
    if (m_aListeners[i] == pScript) {
      const char* szName = pScript->GetName();
      g_ErrorManager.TraceMessagef(TT_Warning, "Duplicate trigger register: %s", szName ? szName : "(null)");
      return false;
    }
  }
  // The contents are brought up to date before anyone listens, so that pass tells nobody.
  if (m_aListeners.Num() == 0) Refile();
  m_aListeners.AddData(pScript);
  return true;
}

bool ETriggerBase::UnregisterListener(EScriptObject* pScript) {
  if (!pScript) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Trying to unregister null script");
    return false;
  }
  for (int i = 0; i < m_aListeners.Num(); ++i) {
    if (m_aListeners[i] == pScript) {
      m_aListeners.RemoveSwap(i, 1);
      return true;
    }
  }
  return false;
}

void ETriggerBase::CleanupReferences() {
  for (int i = 0; i < m_aListeners.Num();) {
    if (m_aListeners[i]->IsDead()) m_aListeners.RemoveSwap(i, 1);
    else ++i;
  }
}

void ETriggerBase::SetSleeping(bool bSleeping) {
  if (bSleeping == (m_bSleeping != 0)) return;
  m_bSleeping = bSleeping ? 1 : 0;
  if (!m_pCM) return;
  if (bSleeping) m_pCM->Unregister(this, 0);
  else m_pCM->Register(this);
}

void ETriggerBase::SetCollisionManager(ECollisionManager* pCM) {
  if (pCM == m_pCM) return;
  const bool bWasSleeping = IsSleeping();
  SetSleeping(true);
  m_pCM = pCM;
  SetSleeping(bWasSleeping);
}

void ETriggerBase::Describe(char* szBuf, int nSize) const {
  if (szBuf && nSize > 0) snprintf(szBuf, (size_t)nSize, "generic trigger");
}

void ETriggerBase::RequestRenderListenerNames(const char* szTitle, const EVec3& vPos) const {
  EFont* pFont = gGameApp ? gGameApp->GetFont(2) : nullptr;
  if (!pFont) return;
  const EVec4 vWhite(1.0f, 1.0f, 1.0f, 1.0f);
  const float y0 = -10.0f * (float)m_aListeners.Num();
  pFont->Display3dText(vPos, szTitle ? szTitle : "", 0.5f, 4000.0f, vWhite, EVec2(0.0f, y0), 1);
  for (int i = 1; i <= m_aListeners.Num(); ++i) {
    EScriptObject* pListener = m_aListeners[i - 1];
    if (pListener->IsDead()) continue;
    const char* szName = pListener->GetName();
    pFont->Display3dText(vPos, szName ? szName : "", 0.5f, 4000.0f, vWhite, EVec2(0.0f, y0 + 20.0f * (float)i), 1);
  }
}

ESphere ETriggerBase::GetTriggeringSphere(EEntity* pEntity) {
  const EPhysics* phys = pEntity ? pEntity->GetPhysics() : nullptr;
  if (!phys) return ESphere(EVec3(0.0f, 0.0f, 0.0f), 0.0f);
  const int eType = phys->GetCollisionType();
  if (eType == CPT_OneSphere || eType == CPT_Spheres || eType == CPT_Spheres_ModelSpace) {
    const bool bPlayer = gGameApp && gGameApp->GetPlayer() == pEntity;
    return phys->GetTransformedCollideSphere(bPlayer && phys->GetNumCollideSpheres() == 3 ? 2 : 0);
  }
  return ESphere(phys->GetAbsPosition(), 0.0f);
}

void ETriggerBase::AttachToOwner(EEntity* pOwner) {
  EPhysics* pPhys = pOwner ? pOwner->GetPhysics() : nullptr;
  if (!pPhys) return;
  m_pOwner = pOwner;
  m_pNextOnOwner = pPhys->m_pAttachedTriggers;
  pPhys->m_pAttachedTriggers = this;
}

void ETriggerBase::ParentMovedAll(ETriggerBase* pHead, EPhysics* pParent) {
  for (ETriggerBase* p = pHead; p;) {
    ETriggerBase* pNext = p->m_pNextOnOwner;
    p->ParentMoved(pParent);
    p = pNext;
  }
}

void ETriggerBase::OwnerDeletedAll(ETriggerBase* pHead) {
  while (pHead) {
    ETriggerBase* pNext = pHead->m_pNextOnOwner;
    pHead->m_pOwner = nullptr;
    pHead->m_pNextOnOwner = nullptr;
    pHead = pNext;
  }
}

void ETriggerBase::StaticCleanupReferences() {
  ETriggerBase::HandleTable& handles = triggerbase::Handles();
  for (int i = 0; i < handles.NumSlots(); ++i) {
    if (!handles.IsSlotUsed(i)) continue;
    if (ETriggerBase* p = handles.SlotAt(i)->m_pTrigger) p->CleanupReferences();
  }
}

void ETriggerBase::onUnloadLevel1() {
  ETriggerBase::HandleTable& handles = triggerbase::Handles();
  for (int i = 0; i < handles.NumSlots(); ++i) {
    if (!handles.IsSlotUsed(i)) continue;
    ETriggerBase* p = handles.SlotAt(i)->m_pTrigger;
    // Deleting frees the trigger's own entry, which the walk passes by.
    if (p && p->GetType() == kTRIGGER_MESH) delete p;
  }
}

void ETriggerBase::onUnloadLevel2() {
  ETriggerBase::HandleTable& handles = triggerbase::Handles();
  for (int i = 0; i < handles.NumSlots(); ++i) {
    if (!handles.IsSlotUsed(i)) continue;
    ETriggerBase* p = handles.SlotAt(i)->m_pTrigger;
    if (!p) continue;
    EASSERT(p->GetType() != kTRIGGER_MESH);
    delete p;
  }
  handles.DeallocateAll();
}

// --- ETriggerWithContents ------------------------------------------------------------------

ETriggerWithContents::ETriggerWithContents() : m_aContents(kMEMTYPE_Trigger) {}

ETriggerWithContents::~ETriggerWithContents() { m_aContents.Empty(); }

bool ETriggerWithContents::HasInContents(EEntity* pEntity) const {
  for (int i = 0; i < m_aContents.Num(); ++i) {
    if (m_aContents[i] == pEntity) return true;
  }
  return false;
}

void ETriggerWithContents::AddEntity(EEntity* pEntity, EVec3* pPoint) {
  if (!pEntity || HasInContents(pEntity)) return;
  m_aContents.AddData(pEntity);
  BroadcastEnterExit(sm_szEnterMessage, pEntity, pPoint);
}

void ETriggerWithContents::RemoveEntity(EEntity* pEntity, EVec3* pPoint) {
  for (int i = 0; i < m_aContents.Num(); ++i) {
    if (m_aContents[i] != pEntity) continue;
    m_aContents.RemoveSwap(i, 1);
    BroadcastEnterExit(sm_szExitMessage, pEntity, pPoint);
    return;
  }
}

void ETriggerWithContents::ProcessRemoval(EEntity* pEntity) { RemoveEntity(pEntity, nullptr); }

void ETriggerWithContents::Reset() {
  while (m_aContents.Num()) RemoveEntity(m_aContents[0], nullptr);
}

bool ETriggerWithContents::RegisterListener(EScriptObject* pScript) {
  if (!ETriggerBase::RegisterListener(pScript)) return false;
  for (int i = 0; i < m_aContents.Num(); ++i) SendOneEnterExit(pScript, sm_szEnterMessage, m_aContents[i]);
  return true;
}

void ETriggerWithContents::CleanupReferences() {
  ETriggerBase::CleanupReferences();
  for (int i = 0; i < m_aContents.Num();) {
    if (m_aContents[i]->IsDead()) m_aContents.RemoveSwap(i, 1);
    else ++i;
  }
}

void ETriggerWithContents::NotifyMoved(const EBox3& box) {
  if (!m_pCM) return;
  EMemStack& stack = *GetThreadLocalStack();
  // The walk keeps its marks on the memory stack as it goes, so the list
  // it fills lives elsewhere.
  EArray<EEntity*> aInside(kMEMTYPE_Trigger);
  {
    ECollisionManager::CollideeInfo::Iter it(m_pCM, box, ECollisionManager::kCollideeEntity, stack);
    for (; it; ++it) {
      EEntity* pEntity = static_cast<EEntity*>(it->pObject);
      const EPhysics* pPhys = pEntity ? pEntity->GetPhysics() : nullptr;
      if (pPhys && pPhys->GetFlag(PHYSICS_CHECKTRIGGERS) && Contains(pEntity)) aInside.AddData(pEntity);
    }
  }
  // Those that stay are struck off the new list; the others leave.
  for (int i = 0; i < m_aContents.Num();) {
    EEntity* pEntity = m_aContents[i];
    bool bStays = false;
    for (int j = 0; j < aInside.Num(); ++j) {
      if (aInside[j] == pEntity) {
        aInside[j] = nullptr;
        bStays = true;
        break;
      }
    }
    if (bStays) {
      ++i;
      continue;
    }
    m_aContents.RemoveSwap(i, 1);
    BroadcastEnterExit(sm_szExitMessage, pEntity, nullptr);
  }
  for (int j = 0; j < aInside.Num(); ++j) {
    if (!aInside[j]) continue;
    m_aContents.AddData(aInside[j]);
    BroadcastEnterExit(sm_szEnterMessage, aInside[j], nullptr);
  }
}

void ETriggerWithContents::BroadcastEnterExit(const char* szMessage, EEntity* pEntity, EVec3* pPoint) const {
  EScriptObject* pSender = pEntity ? pEntity->GetScriptObject() : nullptr;
  const char* szName = GetName();
  const unsigned int h = GetHandle();
  for (int i = 0; i < m_aListeners.Num(); ++i) {
    EScriptObject* pListener = m_aListeners[i];
    if (szName) {
      if (pPoint)
        pListener->SendMessagef(szMessage, pSender, kMESSAGE_Queued, "SHfff", szName, h, (double)pPoint->x,
                                (double)pPoint->y, (double)pPoint->z);
      else
        pListener->SendMessagef(szMessage, pSender, kMESSAGE_Queued, "SH", szName, h);
    } else {
      if (pPoint)
        pListener->SendMessagef(szMessage, pSender, kMESSAGE_Queued, "HHfff", h, h, (double)pPoint->x,
                                (double)pPoint->y, (double)pPoint->z);
      else
        pListener->SendMessagef(szMessage, pSender, kMESSAGE_Queued, "HH", h, h);
    }
  }
}

void ETriggerWithContents::SendOneEnterExit(EScriptObject* pListener, const char* szMessage,
                                            EEntity* pEntity) const {
  EScriptObject* pSender = pEntity ? pEntity->GetScriptObject() : nullptr;
  const char* szName = GetName();
  const unsigned int h = GetHandle();
  if (szName) pListener->SendMessagef(szMessage, pSender, kMESSAGE_Queued, "SH", szName, h);
  else pListener->SendMessagef(szMessage, pSender, kMESSAGE_Queued, "HH", h, h);
}
