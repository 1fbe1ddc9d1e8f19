#include "VERirezo/FreezeManager.h"

#include <cstdio>
#include <cstring>

#include "Game/Camera.h"
#include "Game/GameApp.h"
#include "ScriptVM/ScriptObject.h"
#include "ScriptVM/ScriptVM.h"
#include "TWMath/MathGeneral.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/Entity.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/Physics.h"

namespace freeze_manager {
// Physics update flags of the transform a thawed entity starts with.
const unsigned kThawTransFlags = 11;
// The default distance: Lerp(1000, 8000, 0.6).
const float kDefaultDist = 5200.0f;
}  // namespace freeze_manager

FFrozenEntity::FFrozenEntity(uint16_t uClass, EDomain* pDomain)
    : m_uClass(uClass),
      m_vPosition(0, 0, 0),
      m_pDomain(pDomain),
      m_fDistSq(0),
      m_uIndex(0xFFFF),
      m_eState(kFS_None) {
  m_pEntity = nullptr;
}

void FFrozenEntity::SetState(FreezeState eState) {
  if (m_eState == kFS_InitialFrozen && eState != kFS_InitialFrozen && m_szText) {
    StringFreePooled(m_szText, kMEMTYPE_String);
    m_szText = nullptr;
  }
  m_eState = eState;
}

EFreezeManager::EFreezeManager()
    : m_Records(kMEMTYPE_Entity),
      m_Classes(kMEMTYPE_Entity),
      m_bInstaThaw(false),
      m_fThawDistSq(freeze_manager::kDefaultDist * freeze_manager::kDefaultDist),
      m_fFreezeDistSq(freeze_manager::kDefaultDist * freeze_manager::kDefaultDist),
      m_iThawed(0),
      m_iFreezeLimit(100),
      m_iThawLimit(10) {}

EFreezeManager::~EFreezeManager() { m_Records.DeleteAll(); }

uint16_t EFreezeManager::GetClassInfo(const char* szClass) {
  unsigned int uIndex;
  if (m_ClassIndex.Contains(szClass, &uIndex)) return (uint16_t)uIndex;
  FFrozenClass entry;
  entry.m_sName = szClass;
  uIndex = (unsigned int)m_Classes.AddData(entry);
  m_ClassIndex.Set(szClass, uIndex);
  return (uint16_t)uIndex;
}

uint16_t EFreezeManager::AddEntity(const char* szClass, char*& szText, EDomain* pDomain, const EVec3& vPosition,
                                   const EQuat& qRotation) {
  if (m_Records.Num() >= kMaxRecords) {
    // Every handle is taken: the object is not kept (its text is the caller's).
    g_ErrorManager.TraceMessagef(TT_Warning, "FreezeManager: too many frozen objects, %s not added", szClass);
    return kInvalidHandle;
  }
  const uint16_t uClass = GetClassInfo(szClass);
  uint16_t hRecord;
  FFrozenEntity* pRecord = new (m_Records, hRecord) FFrozenEntity(uClass, pDomain);
  pRecord->SetState(kFS_InitialFrozen);
  pRecord->m_szText = szText;
  szText = nullptr;
  pRecord->m_vPosition = vPosition;
  pRecord->m_qRotation = qRotation;
  pRecord->m_uIndex = m_Classes[uClass].m_uCount++;
  if (EScriptVM::m_spScriptVM) EScriptVM::m_spScriptVM->PreloadLuaClass(szClass);
  return hRecord;
}

void EFreezeManager::ProcessFrame(float fSeconds) {
  EVec3 vReference(0, 0, 0);
  if (gGameApp && !gGameApp->GetLockedSimulationPosition(vReference)) {
    if (ECamera* pCamera = gGameApp->GetCurrentCamera()) vReference = pCamera->GetPosition();
  }
  ProcessFrameAt(fSeconds, vReference);
}

void EFreezeManager::ProcessFrameAt(float fSeconds, const EVec3& vReference) {
  const float fFreeze = FastSqrt(m_fFreezeDistSq);
  const float fFadeStart = 0.85f * fFreeze;
  const float fFadeStartSq = fFadeStart * fFadeStart;
  const float fFadeFactor = 1.0f / (fFreeze - fFadeStart);
  const float fRiseStep = 4.0f * fSeconds;
  const float fFallStep = -1000000.0f * fSeconds;
  const float fThawDistSq = m_fThawDistSq;
  const float fFreezeDistSq = m_fFreezeDistSq;
  int iThaws = 0, iFreezes = 0;

  // Records live in one block that a script call may move: the record is
  // fetched again after every thaw or freeze.
  for (int i = 0; i < m_Records.NumSlots(); ++i) {
    if (!m_Records.IsSlotUsed(i)) continue;
    FFrozenEntity* pRecord = m_Records.SlotAt(i);
    const float fDistSq = (vReference - pRecord->m_vPosition).LengthSquared();
    pRecord->m_fDistSq = fDistSq;
    const uint16_t hRecord = (uint16_t)i;

    if (pRecord->m_eState != kFS_Thawed) {
      if (fDistSq >= fThawDistSq) continue;
      if (!m_bInstaThaw) ++iThaws;
      if (!m_bInstaThaw && iThaws >= m_iThawLimit) continue;
      Thaw(hRecord);
      if (!m_Records.IsSlotUsed(i)) continue;
      pRecord = m_Records.SlotAt(i);
      if (pRecord->m_eState != kFS_Thawed) continue;
      static_cast<EMeshEntity*>(pRecord->m_pEntity)->SetDetailCullingAlpha(0);
    }

    EMeshEntity* pEntity = static_cast<EMeshEntity*>(pRecord->m_pEntity);
    float fTarget = 0;
    if (fDistSq > fFreezeDistSq) {
      const EVec3 vNow = pEntity->GetPhysics()->GetAbsPosition();
      if (vNow.x != pRecord->m_vPosition.x || vNow.y != pRecord->m_vPosition.y ||
          vNow.z != pRecord->m_vPosition.z) {
        pRecord->m_vPosition = vNow;  // a moving object is never frozen
      } else {
        if (!m_bInstaThaw) ++iFreezes;
        if (m_bInstaThaw || iFreezes < m_iFreezeLimit) {
          pEntity->SetDetailCullingAlpha(0);
          Freeze(hRecord);
          if (!m_Records.IsSlotUsed(i)) continue;
          pRecord = m_Records.SlotAt(i);
        }
      }
    } else if (fDistSq > fFadeStartSq) {
      fTarget = 1.0f - PIN((FastSqrt(fDistSq) - fFadeStart) * fFadeFactor, 0.0f, 1.0f);
    } else {
      fTarget = 1.0f;
    }
    if (pRecord->m_eState != kFS_Thawed) continue;
    pEntity = static_cast<EMeshEntity*>(pRecord->m_pEntity);
    if (m_bInstaThaw) {
      pEntity->SetDetailCullingAlpha(fTarget);
    } else {
      const float fAlpha = pEntity->GetDetailCullingAlpha();
      pEntity->SetDetailCullingAlpha(fAlpha + PIN(fTarget - fAlpha, fFallStep, fRiseStep));
    }
  }
  m_bInstaThaw = false;
}

EEntity* EFreezeManager::CreateEntity(uint16_t hRecord) {
  FFrozenEntity& ent = *m_Records.Get(hRecord);
  EASSERT(ent.GetState() == kFS_InitialFrozen || ent.GetState() == kFS_Frozen);
  EScriptVM* pVM = EScriptVM::m_spScriptVM;
  if (!pVM) return nullptr;

  // The class name after its last dot, cut to 25 characters.
  const char* szClass = *m_Classes[ent.m_uClass].m_sName;
  const char* szDot = strrchr(szClass, '.');
  const char* szShort = szDot ? szDot + 1 : szClass;
  char szName[60];
  snprintf(szName, sizeof(szName), "gio_%.25s_%d", szShort, (int)ent.m_uIndex);
  const char* szInit = ent.GetState() == kFS_InitialFrozen ? ent.m_szText : nullptr;
  EDomain* pDomain = ent.m_pDomain;
  const EVec3 vPosition = ent.m_vPosition;
  const EQuat qRotation = ent.m_qRotation;

  // Making the script object runs script code: ent may move after this.
  EScriptObject* pObject = pVM->CreateScriptObject1(szClass, szName, 8, szInit, nullptr);
  if (!pObject) {
    g_ErrorManager.TraceMessagef(TT_Warning, "FreezeManager: could not create the script object %s", szName);
    return nullptr;
  }
  const EEntity::EClassInfo* pClass = pObject->GetEntityClass();
  EEntity* pEnt = pClass ? pClass->Create(pDomain, szName) : nullptr;
  if (!pEnt) {
    g_ErrorManager.TraceMessagef(TT_Warning, "FreezeManager: could not create the entity %s", szName);
    pVM->DelayedRemoveScript(pObject);
    return nullptr;
  }
  pObject->AttachToEntity(pEnt);
  EPhysics* pPhysics = pEnt->GetPhysics();
  pPhysics->SetAbsTrans(qRotation.ToMatrix(), freeze_manager::kThawTransFlags);
  pEnt->SetPosition(vPosition);
  pPhysics->SetGravityDir(pPhysics->GetUp());
  pObject->SendUnsentStateMessages();
  EASSERT(pEnt->IsMeshEntity());
  return pEnt;
}

void EFreezeManager::Thaw(uint16_t hRecord) {
  const bool bInitial = m_Records.Get(hRecord)->GetState() == kFS_InitialFrozen;
  EEntity* pEntity = CreateEntity(hRecord);
  if (!pEntity) return;
  FFrozenEntity* pRecord = m_Records.Get(hRecord);
  const uint32_t uKept = bInitial ? 0 : pRecord->m_uKept;
  const int iIndex = pRecord->m_uIndex;
  pRecord->SetState(kFS_Thawed);
  ++m_iThawed;
  pRecord->m_pEntity = pEntity;

  EScriptObject* pObject = pEntity->GetScriptObject();
  const bool bOk = bInitial ? pObject->CallMethodf("onThaw", "iin", (int)hRecord, iIndex, 0)
                            : pObject->CallMethodf("onThaw", "iii", (int)hRecord, iIndex, (int)uKept);
  if (!bOk) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Error calling %s:onThaw (won't be called again)", pEntity->GetName());
    DeleteThawedRecord(hRecord);
  }
}

void EFreezeManager::Freeze(uint16_t hRecord) {
  FFrozenEntity& ent = *m_Records.Get(hRecord);
  EASSERT(ent.GetState() == kFS_Thawed);
  EEntity* pEntity = ent.m_pEntity;
  if (pEntity->IsDead()) {
    DeleteThawedRecord(hRecord);
    return;
  }
  const int iIndex = ent.m_uIndex;
  EScriptObject* pObject = pEntity->GetScriptObject();
  double dResult = 0;
  if (!pObject || !pObject->CallMethodf("onFreeze", "ii/d", (int)hRecord, iIndex, &dResult)) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Error calling %s:onFreeze (won't be called again)", pEntity->GetName());
    DeleteThawedRecord(hRecord);
    return;
  }
  if (dResult == -1.0) return;  // kFREEZE_DelayFreeze: asked again later
  EScriptVM* pVM = EScriptVM::m_spScriptVM;
  if (dResult == -2.0) {  // kFREEZE_Remove
    if (!pObject->IsBeingRemoved()) pVM->DelayedRemoveScript(pObject);
    DeleteThawedRecord(hRecord);
    return;
  }
  if (!(dResult >= 0.0 && dResult <= 4294967295.0)) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Invalid freeze value %f", dResult);
    dResult = 0;
  }
  const uint32_t uKept = (uint32_t)dResult;
  if (!pObject->IsBeingRemoved()) pVM->DelayedRemoveScript(pObject);
  FFrozenEntity* pRecord = m_Records.Get(hRecord);
  pRecord->m_pDomain = pEntity->GetOwnerDomain();
  pRecord->m_qRotation = EQuat(pEntity->GetPhysics()->GetAbsTrans());
  pRecord->SetState(kFS_Frozen);
  --m_iThawed;
  pRecord->m_uKept = uKept;
}

void EFreezeManager::DeleteThawedRecord(uint16_t hRecord) {
  m_Records.Delete(hRecord);
  --m_iThawed;
}

void EFreezeManager::MoveEntitiesToDomain(EDomain* pNewDomain, EDomain* pOldDomain) {
  for (int i = 0; i < m_Records.NumSlots(); ++i) {
    if (!m_Records.IsSlotUsed(i)) continue;
    FFrozenEntity* pRecord = m_Records.SlotAt(i);
    if (pRecord->m_pDomain != pOldDomain) continue;
    const bool bThawed = pRecord->m_eState == kFS_Thawed;
    if (pNewDomain) {
      pRecord->m_pDomain = pNewDomain;
      if (bThawed) pRecord->m_pEntity->SetOwnerDomain(pNewDomain);
    } else if (bThawed) {
      EEntity* pEntity = pRecord->m_pEntity;
      DeleteThawedRecord((uint16_t)i);
      if (gGameApp) {
        gGameApp->DelayedDelete(pEntity);
      } else if (!pEntity->IsDead()) {
        pEntity->InternalDelayedDelete();
      }
    } else {
      m_Records.Delete((uint16_t)i);
    }
  }
}

void EFreezeManager::CleanupReferences() {
  for (int i = 0; i < m_Records.NumSlots(); ++i) {
    if (!m_Records.IsSlotUsed(i)) continue;
    FFrozenEntity* pRecord = m_Records.SlotAt(i);
    if (pRecord->m_eState == kFS_Thawed && pRecord->m_pEntity->IsDead()) DeleteThawedRecord((uint16_t)i);
  }
}

void EFreezeManager::LevelReset() {
  m_Records.DeleteAll();
  m_ClassIndex.RemoveAll();
  m_Classes.Empty();
  m_iThawed = 0;
}
