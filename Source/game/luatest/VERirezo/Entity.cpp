// Entities: class records, creation, domain and physics links, the frame
// step, simulation culling and the two steps of deletion.
#include "VERirezo/Entity.h"

#include <cstring>

#include "Game/GameApp.h"
#include "Path/SplineController.h"
#include "ScriptVM/ScriptIds.h"
#include "ScriptVM/ScriptObject.h"
#include "ScriptVM/ScriptVM.h"
#include "TWSound/SoundManager.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/MemType.h"
#include "TWUtil/String.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/Domain.h"
#include "VERirezo/EntityManager.h"
#include "VERirezo/LineCollision.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/LineParticleEntity.h"
#include "VERirezo/Physics.h"

namespace EntityDetail {
EScriptIdTable& EntityIds() {
  static EScriptIdTable s_Ids(EScriptIdTable::kKIND_Entity);
  return s_Ids;
}

// Freed pointers are overwritten with this so that later use fails visibly.
template <class T> void Poison(T*& p) { p = reinterpret_cast<T*>(uintptr_t(0xDEADBEEFu)); }
}  // namespace EntityDetail

// ---------------------------------------------------------------- records

EEntity::EClassInfo* EEntity::EClassInfo::sm_pHead = nullptr;

EEntity::EClassInfo::EClassInfo(const char* szName, int32_t iType, Factory fnFactory, const EClassInfo* pParent)
    : m_szName(szName), m_iType(iType), m_pParent(pParent), m_pNext(sm_pHead), m_fnFactory(fnFactory) {
  sm_pHead = this;
}

const EEntity::EClassInfo* EEntity::EClassInfo::Lookup(const char* szName) {
  if (!szName) return nullptr;
  for (const EClassInfo* p = sm_pHead; p; p = p->m_pNext) {
    if (strcmp(p->m_szName, szName) == 0) return p;
  }
  return nullptr;
}

const EEntity::EClassInfo* EEntity::EClassInfo::Lookup(int32_t iType) {
  switch (iType) {
    case EntityType_None: return nullptr;
    case EntityType_Base: return EEntity::StaticClass();
    case EntityType_Mesh: return EMeshEntity::StaticClass();
    case EntityType_ParticleEmitter: return EParticleEmitterEntity::StaticClass();
    case EntityType_ParticleAffector: return EParticleAffectorEntity::StaticClass();
    case EntityType_LineParticle: return ELineParticleEntity::StaticClass();
    case EntityType_MeshEmitter: return EMeshEmitterEntity::StaticClass();
    case EntityType_TableEmitter: return ETableEmitterEntity::StaticClass();
    default: break;
  }
  for (const EClassInfo* p = sm_pHead; p; p = p->m_pNext) {
    if (p->m_iType == iType) return p;
  }
  return nullptr;
}

bool EEntity::EClassInfo::IsSubclassOf(const EClassInfo* pOther) const {
  if (!pOther) return false;
  for (const EClassInfo* p = this; p; p = p->m_pParent) {
    if (p == pOther) return true;
  }
  return false;
}

EEntity* EEntity::EClassInfo::Create(EDomain* pDomain, const char* szName) const {
  if (!m_fnFactory) {
    g_ErrorManager.TraceMessagef(TT_Warning, "%s: this entity class cannot be created\n", m_szName);
    return nullptr;
  }
  EEntity* pEntity = m_fnFactory(pDomain, szName);
  pEntity->m_pClassInfo = this;
  pEntity->InitEntity(pDomain);
  if (pEntity->m_iEntityIndex == kNO_INDEX) {
    // The table refused it (and said so): the entity goes again at once.
    delete pEntity;
    return nullptr;
  }
  return pEntity;
}

EEntity::EClassInfo EEntity::sm_ClassInfo("EntityType_Base", EntityType_Base, nullptr, nullptr);

bool EEntity::IsA(const EClassInfo* pClass, bool bExact) const {
  if (!m_pClassInfo || !pClass) return false;
  if (m_pClassInfo == pClass) return true;
  return !bExact && m_pClassInfo->IsSubclassOf(pClass);
}

bool EEntity::IsA(int32_t iType, bool bExact) const {
  if (!m_pClassInfo) return false;
  if (m_pClassInfo->m_iType == iType) return true;
  if (bExact) return false;
  return m_pClassInfo->IsSubclassOf(EClassInfo::Lookup(iType));
}

// ---------------------------------------------------------------- life

EEntity::EEntity(EDomain*, const char* pName)
    : m_dwEntityFlags(ENTITY_VISIBLE),
      m_dwTransientFlags(ENTITYTRANSIENT_SIMULATED),
      m_pScriptObject(nullptr),
      m_pPhysics(nullptr),
      m_fSimCullDistSq(0.0f),
      m_pParentEntity(nullptr),
      m_pClassInfo(nullptr),
      m_szName(nullptr),
      m_iEntityIndex(kNO_INDEX),
      m_iCollisionIndex(kNO_INDEX),
      m_nFrameCount(0),
      m_uiAutoBabbleCue(0),
      m_pAutoBlendAnim(nullptr),
      m_pOwnerDomain(nullptr),
      m_uiSoundSource(0),
      m_pSplineController(nullptr),
      m_vLookTargetOffset(0.0f, 0.0f, 0.0f),
      m_vSplineAnimationDelta(0.0f, 0.0f, 0.0f),
      m_iBaseInterestLevel(0),
      m_fMaxLookDistance(600.0f),
      m_uState(0),
      m_pLineCollision(nullptr),
      m_uScriptId(0) {
  EASSERT(pName);
  m_szName = StringDuplicatePooled(pName, kMEMTYPE_Entity);
  m_uScriptId = EntityDetail::EntityIds().Add(this);
}

void EEntity::InitEntity(EDomain* pDomain) {
  // Nothing is told yet: there is neither physics nor a previous domain.
  m_pOwnerDomain = pDomain;
  m_uState = (uint8_t)((m_uState & ~kSTATE_DomainAsleep) | ((!pDomain || pDomain->IsSleeping()) ? kSTATE_DomainAsleep : 0));
  if (!gEntities.Register(this)) {
    m_pOwnerDomain = nullptr;
    return;
  }
  ResetPhysics();
}

EEntity::~EEntity() {
  EASSERT(m_pOwnerDomain == NULL);
  if (GetLifeState() == kLIFE_Live) BaseInternalDelayedDelete();
  SetLifeState(kLIFE_Destroyed);
  EntityDetail::EntityIds().Remove(m_uScriptId);
  m_uScriptId = 0;
  delete m_pLineCollision;
  EntityDetail::Poison(m_pLineCollision);
  delete m_pPhysics;
  EntityDetail::Poison(m_pPhysics);
  delete m_pSplineController;
  EntityDetail::Poison(m_pSplineController);
  if (m_uiSoundSource && gGameApp && gGameApp->m_pSoundManager)
    gGameApp->m_pSoundManager->FreeSoundSource(m_uiSoundSource, this);
  m_uiSoundSource = 0;
  StringFreePooled(m_szName, kMEMTYPE_Entity);
  m_szName = const_cast<char*>("Deleted entity");
  EntityDetail::Poison(m_pScriptObject);
  EntityDetail::Poison(m_pOwnerDomain);
}

void EEntity::InternalDelayedDelete() { BaseInternalDelayedDelete(); }

void EEntity::BaseInternalDelayedDelete() {
  if (m_pScriptObject) {
    if (EScriptVM::m_spScriptVM)
      EScriptVM::m_spScriptVM->RemoveScript(m_pScriptObject, false);
    else
      DetachScript();
  }
  if (m_pPhysics) m_pPhysics->OwnerDeleted();
  // An entity that never entered the table has no slot to give back.
  if (m_iEntityIndex != kNO_INDEX) gEntities.Unregister(this);
  SetLifeState(kLIFE_DeleteRequested);
  SetOwnerDomain(nullptr);
}

bool EEntity::IsDead() const {
  EASSERT(IsValid());
  return GetLifeState() != kLIFE_Live;
}

// ---------------------------------------------------------------- links

ECollisionManager* EEntity::GetCollisionManager() const {
  return m_pOwnerDomain ? m_pOwnerDomain->GetCollisionManager() : nullptr;
}

EEntity* EEntity::GetUltimateParentEntity() {
  EEntity* p = this;
  while (p->m_pParentEntity) p = p->m_pParentEntity;
  return p;
}

void EEntity::SetEntityFlag(uint32_t dwFlags, bool bOn) {
  m_dwEntityFlags = bOn ? (m_dwEntityFlags | dwFlags) : (m_dwEntityFlags & ~dwFlags);
}

EVec3 EEntity::GetPosition() const { return m_pPhysics ? m_pPhysics->GetAbsPosition() : EVec3(0.0f, 0.0f, 0.0f); }
void EEntity::SetPosition(const EVec3& vPosition) { m_pPhysics->SetPosition(vPosition); }
void EEntity::InitPosition(const EVec3& vPosition) { m_pPhysics->InitPosition(vPosition); }
EVec3 EEntity::GetVelocity() const { return m_pPhysics->GetVelocity(); }
void EEntity::SetVelocity(const EVec3& vVelocity) { m_pPhysics->SetVelocity(vVelocity); }
bool EEntity::GetPhysicsStateFlag(int iState) const { return m_pPhysics->GetStateFlag((PhysicsStateFlag)iState); }
void EEntity::SetPhysicsStateFlag(int iState) { m_pPhysics->SetStateFlag((PhysicsStateFlag)iState); }
void EEntity::UnsetPhysicsStateFlag(int iState) { m_pPhysics->UnsetStateFlag((PhysicsStateFlag)iState); }
EEntity* EEntity::GetCollidedWithEntity() const { return m_pPhysics->GetCollidedWithEntity(); }

void EEntity::SetPhysics(EPhysics* pPhysics) {
  EASSERT(pPhysics);
  if (m_pPhysics) {
    pPhysics->InitFrom(m_pPhysics);
    m_pPhysics->onDomainChange(m_pOwnerDomain, nullptr);
    delete m_pPhysics;
  }
  m_pPhysics = pPhysics;
  m_pParentEntity = pPhysics->GetAttachParent() ? pPhysics->GetAttachParent()->GetOwner() : nullptr;
  pPhysics->onDomainChange(nullptr, m_pOwnerDomain);
}

void EEntity::ResetPhysics() { SetPhysics(EPhysicsFactory::CreatePhysics(this)); }

void EEntity::SetupDefaultCollision() {
  if (m_pPhysics) m_pPhysics->SetupDefaultCollision();
}

bool EEntity::AttachToParent(EEntity* pParent, const EMat4* pOffset, const char* szJoint) {
  return m_pPhysics->AttachToParent(pParent ? pParent->GetPhysics() : nullptr, pOffset, szJoint);
}

void EEntity::DetachFromParent() {
  if (m_pPhysics) m_pPhysics->DetachFromParent();
  EASSERT_WARN(m_pParentEntity == 0);
  m_pParentEntity = nullptr;
}

// ---------------------------------------------------------------- domain

void EEntity::SetOwnerDomain(EDomain* pDomain) {
  if (m_pPhysics && pDomain && m_pPhysics->GetFlag(PHYSICS_COLLIDEE) && !m_pPhysics->GetFlag(PHYSICS_MOVINGGEOMETRY) &&
      m_pPhysics->GetCollisionType() == CPT_Triangles && pDomain->GetName() &&
      strncmp(pDomain->GetName(), "Inv", 3) == 0) {
    g_ErrorManager.TraceMessagef(TT_Warning, "%s is tri-cacheable and moving to inv domain", m_szName);
  }
  const bool bAsleep = !pDomain || pDomain->IsSleeping();
  m_uState = (uint8_t)((m_uState & ~kSTATE_DomainAsleep) | (bAsleep ? kSTATE_DomainAsleep : 0));
  EDomain* pOld = m_pOwnerDomain;
  m_pOwnerDomain = pDomain;
  UpdateEntityManager();
  if (pOld != pDomain) onDomainChange(pOld);
}

void EEntity::onDomainChange(EDomain* pOldDomain) {
  if (m_pPhysics) m_pPhysics->onDomainChange(pOldDomain, m_pOwnerDomain);
  if (pOldDomain && m_pOwnerDomain && m_pScriptObject) {
    m_pScriptObject->CallMethodf("onDomainChange", "ss", pOldDomain->GetName() ? pOldDomain->GetName() : "",
                                 m_pOwnerDomain->GetName() ? m_pOwnerDomain->GetName() : "");
  }
}

void EEntity::SetDomainIsSleeping(bool bAsleep) {
  if (DomainIsSleeping() == bAsleep) return;
  m_uState = (uint8_t)((m_uState & ~kSTATE_DomainAsleep) | (bAsleep ? kSTATE_DomainAsleep : 0));
  onDomainSleep();
}

void EEntity::onDomainSleep() {
  const bool bAsleep = DomainIsSleeping();
  if (m_pPhysics) m_pPhysics->onDomainSleep(bAsleep);
  if (gGameApp && gGameApp->m_pSoundManager) gGameApp->m_pSoundManager->SetSoundSourceSleeping(this, bAsleep);
}

void EEntity::UpdateEntityManager() {
  if (m_iEntityIndex == kNO_INDEX) return;
  EEntityInfo& info = gEntities.GetInfo(m_iEntityIndex);
  EASSERT(info.ptr == this);
  info.domain = m_pOwnerDomain;
}

// ---------------------------------------------------------------- script

bool EEntity::AttachScript(const char* szClass, const char* szName, const char* szEditVars, bool bLeading,
                           bool bProtected, bool bSendSpawn) {
  EScriptVM* pVM = EScriptVM::m_spScriptVM;
  if (!pVM) return false;
  EScriptObject* pObject =
      pVM->CreateScriptObject(szClass, szName, this, szEditVars, bLeading, bProtected, false, bSendSpawn);
  if (pObject) m_pScriptObject = pObject;
  return pObject != nullptr;
}

void EEntity::DetachScript() {
  if (m_pScriptObject) m_pScriptObject->SetEntity(nullptr);
  m_pScriptObject = nullptr;
}

bool EEntity::GetValue(const char* szKey, float& fValue) const {
  return m_pScriptObject && m_pScriptObject->GetTableValue(szKey, fValue);
}
bool EEntity::GetValue(const char* szKey, const char*& szValue) const {
  return m_pScriptObject && m_pScriptObject->GetTableValue(szKey, szValue);
}
bool EEntity::GetValue(const char* szKey, EScriptObject*& pValue) const {
  return m_pScriptObject && m_pScriptObject->GetTableValue(szKey, pValue);
}
bool EEntity::GetValue(const char* szKey, int& iValue) const {
  return m_pScriptObject && m_pScriptObject->GetTableValue(szKey, iValue);
}

EEntity* EEntity::FromScriptId(uint32_t id) { return static_cast<EEntity*>(EntityDetail::EntityIds().Find(id)); }

// ---------------------------------------------------------------- frame

void EEntity::ProcessFrame(float fFrameMS) {
  const uint32_t nFrame = gGameApp ? (uint32_t)gGameApp->m_iFrameCount : 0;
  m_nFrameCount = nFrame;
  // Ground and parent move before their riders.
  EEntity* pGround = m_pPhysics ? m_pPhysics->GetStandingOn() : nullptr;
  EEntity* aFirst[2] = {pGround, m_pParentEntity};
  for (EEntity* pOther : aFirst) {
    if (!pOther || pOther->m_nFrameCount == nFrame) continue;
    float fOtherMS = fFrameMS;
    if (gGameApp)
      fOtherMS = pOther->GetEntityFlag(ENTITY_FULL_SIM_SPEED) ? gGameApp->GetRealDeltaTimeMS()
                                                               : gGameApp->GetSimDeltaTimeMS();
    pOther->ProcessFrame(fOtherMS);
  }
  if (gGameApp) gGameApp->m_pCurrentEntity = this;
  if (m_pSplineController && (m_pSplineController->GetFlags() & ESplineController::kFLAG_Active))
    m_pSplineController->followSpline(this, fFrameMS * 0.001f);
  ProcessSoundSource();
  EndBabble();
}

void EEntity::ProcessSoundSource() {
  if (!m_uiSoundSource || !gGameApp || !gGameApp->m_pSoundManager) return;
  if (!gGameApp->m_pSoundManager->ProcessSoundSource(m_uiSoundSource, GetPosition())) m_uiSoundSource = 0;
}

void EEntity::SetSimulationCullDistance(float fDistance) {
  if (fDistance > 0.0f) {
    SetEntityFlag(ENTITY_HAS_CULL_DISTANCE, true);
    m_fSimCullDistSq = fDistance * fDistance;
  } else {
    SetEntityFlag(ENTITY_HAS_CULL_DISTANCE, false);
    m_fSimCullDistSq = fDistance;
  }
}

bool EEntity::ShouldBeSimulationCulled(const EVec3& vCamera, const EVec3& vPlayer) const {
  if (DomainIsSleeping()) return true;
  if (GetEntityFlag(ENTITY_NOSIMULATE)) return true;
  if (GetEntityFlag(ENTITY_HAS_CULL_DISTANCE)) {
    const EVec3 vPos = GetPosition();
    const EVec3 dp = vPos - vPlayer;
    const EVec3 dc = vPos - vCamera;
    const float fPlayer = dp.x * dp.x + dp.y * dp.y + dp.z * dp.z;
    const float fCamera = dc.x * dc.x + dc.y * dc.y + dc.z * dc.z;
    if ((fPlayer < fCamera ? fPlayer : fCamera) > m_fSimCullDistSq) return true;
  }
  if (gGameApp && gGameApp->m_DebugHooks.PlayerOnly && m_fSimCullDistSq >= 0.0f) return true;
  return false;
}

ESplineController* EEntity::getSplineController() {
  if (!m_pSplineController) {
    m_pSplineController = new ESplineController();
    m_pSplineController->setPathManager(gGameApp ? gGameApp->GetPathManager() : nullptr);
  }
  return m_pSplineController;
}

void EEntity::Debug_CheckPhysics() {
  EEntity* pEnt = this;
  if (pEnt->GetPhysics() && pEnt->GetPhysics()->GetOwner() != pEnt) {
    g_ErrorManager.TraceMessagef(TT_Warning, "I'm about to crash because of %s.  DO NOT REBOOT YOUR XBOX.", m_szName);
    EASSERT(pEnt == pEnt->GetPhysics()->GetOwner());
  }
}

void EEntity::CleanupReferences() {
  if (m_pParentEntity && m_pParentEntity->IsDead()) {
    DetachFromParent();
    m_pParentEntity = nullptr;
  }
  if (m_pPhysics) m_pPhysics->CleanupReferences();
  if (m_pSplineController) m_pSplineController->CleanupReferences();
}
