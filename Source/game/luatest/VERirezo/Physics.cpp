// Physics of one entity: construction, flags with their side effects, the
// collision shape, standing links with passengers, and the life cycle.
#include "VERirezo/Physics.h"

#include <cfloat>
#include <cstring>

#include "Game/GameApp.h"
#include "ScriptVM/ScriptObject.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/CollisionTree.h"
#include "VERirezo/Domain.h"
#include "VERirezo/LineCollision.h"
#include "VERirezo/Entity.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/TriCache.h"
#include "VERirezo/Trigger.h"

EArray<EEntity*> EPhysics::sm_aWithGravity;
EArray<EPhysics*> EPhysics::sm_aPostProcess;
int EPhysics::sm_bDeferCollisionUpdate = 0;
bool gb_Interpolate = true;

namespace physicsobj {

const char* const kFILE = "Physics.cpp";

void Fatal(int iLine, const char* szExpr) { g_ErrorManager.ErrorMessage(kFILE, iLine, szExpr, false); }

EEntity* GlobalEntity() { return gGameApp ? gGameApp->GetGlobalEntity() : nullptr; }

const char* NameOf(const EEntity* e) { return e ? e->GetName() : "(null)"; }

// Meshes carry no skeleton and no backwards flag yet: neither rule applies.
bool MeshHasSkeleton(const EMesh*) { return false; }
bool MeshIsBackwards(const EMeshEntity* me) { return me && me->IsMeshBackwards(); }

// Animations carry no velocity flags yet: none hands its velocity over.
bool TakeAnimCarryVelocity(ESkelAnim*) { return false; }

}  // namespace physicsobj

int EPhysicsStateFlags::Word(int f) {
  const int index = f >> 5;
  if (index >= FLAG_BUF_SIZE || index < 0) physicsobj::Fatal(__LINE__, "index<FLAG_BUF_SIZE");
  return index;
}

const char* GetPrimitiveTypeName(int eType) {
  static const char* const s_aNames[] = {"None", "OneSphere", "Spheres", "Spheres_ModelSpace", "Triangles", "Capsules"};
  return eType >= 0 && eType < 6 ? s_aNames[eType] : "Unknown";
}

// ---------------------------------------------------------------- life

EPhysics::EPhysics(EEntity* pOwner)
    : m_bIsPlayer(false),
      m_pOwner(pOwner),
      m_dwFlags(0),
      m_pCM(&ECollisionManager::sm_CM_dummy),
      m_pBase(nullptr),
      m_pBaseSibling(nullptr),
      m_pBaseChild(nullptr),
      m_vVelocity(0.0f, 0.0f, 0.0f),
      m_vRelAnimVel(0.0f, 0.0f, 0.0f),
      m_vRelAnimMove(0.0f, 0.0f, 0.0f),
      m_dwGroundFlags(0),
      m_pCollidedWithEntity(nullptr),
      m_nNumTouching(0),
      m_bCollidedWithDomain(0),
      m_bAddAnimVelocity(0),
      m_nNavGroup(0),
      m_nRotateCount(0),
      m_pTempTouchHead(nullptr),
      m_pGroundEntity(nullptr),
      m_pAttach(nullptr),
      m_pAttachSibling(nullptr),
      m_pAttachChild(nullptr),
      m_pAttachedTriggers(nullptr),
      m_vForward(0.0f, 0.0f, 1.0f),
      m_vRight(-1.0f, 0.0f, 0.0f),
      m_vUp(0.0f, 1.0f, 0.0f),
      m_vGravityDir(0.0f, 1.0f, 0.0f),
      m_pTriCache(nullptr),
      m_pCollideIgnoreEntity(nullptr),
      m_fCollideIgnoreTime(0.0f),
      m_fMass(1.0f),
      m_nPushSpeed(0),
      m_nPushLevel(0),
      m_fNoAttachTime(0.0f),
      m_eCollisionType(CPT_None),
      m_fStepHeight(45.0f),
      m_vGroundNormal(0.0f, 1.0f, 0.0f),
      m_vGroundFaceNormal(0.0f, 1.0f, 0.0f),
      m_fGroundDist(FLT_MAX),
      m_vMoveToPosition(0.0f, 0.0f, 0.0f),
      m_nNumCollideSpheres(0) {
  m_NavInfo = NavInfo{255, 0, 0};
  m_LastNavInfo = m_NavInfo;
  ResetNavInfo(true);
  // The object being replaced leaves the gravity list before this one exists.
  if (pOwner && pOwner->GetPhysics()) pOwner->GetPhysics()->SetFlag(PHYSICS_APPLYGRAVITY, false);
  m_apTouching[0] = m_apTouching[1] = nullptr;
  for (ESphere& s : m_aCollideSpheres) s = ESphere(EVec3(0.0f, 0.0f, 0.0f), 0.0f);
  EPhysics::SetupDefaultCollision();
}

EPhysics::~EPhysics() {
  SetFlag(PHYSICS_APPLYGRAVITY, false);
  if (m_pAttach) physicsobj::Fatal(__LINE__, "m_pAttach==0");
  delete m_pTriCache;
}

EPhysics* EPhysicsFactory::CreatePhysics(EEntity* pOwner) { return new EPhysics(pOwner); }

void EPhysics::InitFrom(EPhysics* pOther) {
  if (pOther == this) physicsobj::Fatal(__LINE__, "pOther != this");
  m_pCM = pOther->m_pCM;
  SetRelTrans(pOther->m_mAbsTrans, SRT_Position | SRT_Rotation | SRT_Teleport);
  m_vGravityDir = pOther->m_vGravityDir;
  delete m_pTriCache;
  m_pTriCache = pOther->m_pTriCache;
  pOther->m_pTriCache = nullptr;
  m_fGroundDist = pOther->m_fGroundDist;
  m_dwGroundFlags = pOther->m_dwGroundFlags;
  // The attachment, with the other's place in its parent's child list.
  if (pOther->m_pAttach) {
    m_pAttach = pOther->m_pAttach;
    pOther->m_pAttach = nullptr;
    pOther->m_dwFlags &= ~PHYSICS_ISATTACHED;
    EPhysics* pParent = m_pAttach->m_pParent;
    for (EPhysics** pp = &pParent->m_pAttachChild; *pp; pp = &(*pp)->m_pAttachSibling) {
      if (*pp == pOther) {
        *pp = this;
        m_pAttachSibling = pOther->m_pAttachSibling;
        pOther->m_pAttachSibling = nullptr;
        break;
      }
    }
    m_dwFlags |= PHYSICS_ISATTACHED;
  }
  if (m_pAttachChild) physicsobj::Fatal(__LINE__, "m_pAttachChild == 0");
  m_pAttachChild = pOther->m_pAttachChild;
  pOther->m_pAttachChild = nullptr;
  for (EPhysics* c = m_pAttachChild; c; c = c->m_pAttachSibling) c->m_pAttach->m_pParent = this;
  SetBase(pOther->m_pBase, true);
  pOther->SetBase(nullptr, true);
  while (pOther->m_pBaseChild) pOther->m_pBaseChild->SetBase(this, false);
  m_nPushLevel = pOther->m_nPushLevel;
  m_nPushSpeed = pOther->m_nPushSpeed;
  m_nNavGroup = pOther->m_nNavGroup;
}

void EPhysics::OwnerDeleted() {
  while (m_pAttachChild) m_pAttachChild->DetachFromParent();
  DetachFromParent();
  while (m_pBaseChild) m_pBaseChild->SetBase(nullptr, false);
  SetBase(nullptr, false);
  // The triggers that follow this object lose their owner.
  ETriggerBase::OwnerDeletedAll(m_pAttachedTriggers);
  m_pAttachedTriggers = nullptr;
}

void EPhysics::Shutdown() {
  m_pCollidedWithEntity = nullptr;
  DetachFromParent();
  while (m_pAttachChild) m_pAttachChild->DetachFromParent();
}

void EPhysics::CleanupReferences() {
  int n = 0;
  for (int i = 0; i < (int)m_nNumTouching; i++)
    if (!m_apTouching[i]->IsDead()) m_apTouching[n++] = m_apTouching[i];
  for (int i = n; i < 2; i++) m_apTouching[i] = nullptr;
  m_nNumTouching = (unsigned)n;
  if (m_pCollideIgnoreEntity && m_pCollideIgnoreEntity->IsDead()) m_pCollideIgnoreEntity = nullptr;
  if (m_pCollidedWithEntity && m_pCollidedWithEntity->IsDead()) m_pCollidedWithEntity = nullptr;
}

void EPhysics::StaticCleanupReferences() {
  for (int i = 0; i < sm_aWithGravity.Num();) {
    EEntity* e = sm_aWithGravity[i];
    if (!e->IsDead()) {
      i++;
      continue;
    }
    if (e->GetPhysics()) e->GetPhysics()->m_dwFlags &= ~PHYSICS_APPLYGRAVITY;
    sm_aWithGravity.RemoveSwap(i);
  }
}

// ---------------------------------------------------------------- domain

void EPhysics::onDomainChange(EDomain* pOld, EDomain* pNew) {
  if (pOld && m_pOwner && m_pOwner->GetCollisionIndex() != EEntity::kNO_INDEX)
    pOld->GetCollisionManager()->Unregister(m_pOwner);
  m_pCM = &ECollisionManager::sm_CM_dummy;
  if (pNew && m_pOwner) {
    EDomain* pDomain = m_pOwner->GetOwnerDomain() ? m_pOwner->GetOwnerDomain() : pNew;
    m_pCM = pDomain->GetCollisionManager();
    if (m_pOwner->GetCollisionIndex() == EEntity::kNO_INDEX) m_pCM->Register(m_pOwner);
  }
  if (m_pTriCache) m_pTriCache->onDomainChange(pOld, pNew);
}

void EPhysics::onDomainSleep(bool bSleeping) {
  if (!bSleeping) UpdateCollision();
}

bool EPhysics::IsDomainSleeping() const { return m_pOwner && m_pOwner->DomainIsSleeping(); }

// ---------------------------------------------------------------- transform

EMat4 EPhysics::FromFRU(const EVec3& F, const EVec3& R, const EVec3& U) const {
  EMeshEntity* me = GetOwnerME();
  if (physicsobj::MeshIsBackwards(me)) return EMat4(-R, U, F, EVec3(0.0f, 0.0f, 0.0f));
  return EMat4(R, U, -F, EVec3(0.0f, 0.0f, 0.0f));
}

EMeshEntity* EPhysics::GetOwnerME() const {
  return m_pOwner && m_pOwner->IsMeshEntity() ? static_cast<EMeshEntity*>(m_pOwner) : nullptr;
}

const EVec3& EPhysics::GetUltimateGravityDir() const {
  const EPhysics* p = this;
  while (p->GetAttachParent()) p = p->GetAttachParent();
  return p->m_vGravityDir;
}

// ---------------------------------------------------------------- flags

void EPhysics::SetFlag(uint32_t dwMask, bool bOn) {
  for (uint32_t bit = 1; bit; bit <<= 1) {
    if (!(dwMask & bit)) continue;
    if (bOn) _SetFlag(bit);
    else _UnsetFlag(bit);
  }
}

void EPhysics::_SetFlag(uint32_t dwBit) {
  if (m_dwFlags & dwBit) return;
  m_dwFlags |= dwBit;
  switch (dwBit) {
    case PHYSICS_COLLIDEE:
      if (m_eCollisionType == CPT_None) m_dwFlags &= ~PHYSICS_COLLIDEE;
      UpdateCollision();
      break;
    case PHYSICS_NOPHYSICS: m_dwFlags &= ~(PHYSICS_MOVETOPOSITION | PHYSICS_MOVETOFORCED); break;
    case PHYSICS_APPLYGRAVITY: sm_aWithGravity.AddData(m_pOwner); break;
    case PHYSICS_CHECKTRIGGERS: m_pCM->RefreshTriggersFor(this, true); break;
    default: break;
  }
}

void EPhysics::_UnsetFlag(uint32_t dwBit) {
  if (!(m_dwFlags & dwBit)) return;
  m_dwFlags &= ~dwBit;
  switch (dwBit) {
    case PHYSICS_APPLYGRAVITY: {
      bool bFound = false;
      for (int i = 0; i < sm_aWithGravity.Num(); i++) {
        if (sm_aWithGravity[i] != m_pOwner) continue;
        sm_aWithGravity.RemoveSwap(i);
        bFound = true;
        break;
      }
      if (!bFound) physicsobj::Fatal(__LINE__, "bFound");
      break;
    }
    case PHYSICS_CHECKTRIGGERS: m_pCM->RefreshTriggersFor(this, false); break;
    case PHYSICS_COLLIDEE:
      while (m_pBaseChild) m_pBaseChild->SetBase(nullptr, false);
      SetBase(nullptr, false);
      UpdateCollision();
      break;
    default: break;
  }
}

// ---------------------------------------------------------------- shape

void EPhysics::SetupDefaultCollision() {
  EMeshEntity* me = GetOwnerME();
  EMesh* pMesh = me ? me->GetMesh() : nullptr;
  if (!pMesh) return;
  sm_bDeferCollisionUpdate++;
  const ECollisionPrimitiveType eOld = m_eCollisionType;
  if (m_pOwner->m_pLineCollision) {
    const bool bFiled = m_pOwner->GetCollisionIndex() != EEntity::kNO_INDEX;
    if (bFiled) m_pCM->Unregister(m_pOwner);
    m_eCollisionType = CPT_Capsules;
    if (bFiled) m_pCM->Register(m_pOwner);
  } else if (physicsobj::MeshHasSkeleton(pMesh)) {
    const EBox3& box = pMesh->GetBox();
    const ESphere s(box.GetCenter(), (box.vMax - box.vMin).Length() * 0.5f);
    SetCollision(&s, 1);
    _SetFlag(PHYSICS_COLLIDEE);
  } else if (pMesh->GetCollisionTree()) {
    m_eCollisionType = CPT_Triangles;
    _SetFlag(PHYSICS_COLLIDEE);
  } else {
    m_eCollisionType = CPT_None;
    m_dwFlags &= ~(PHYSICS_COLLIDEE | PHYSICS_COLLIDER);
  }
  // The caches hear of the change as they do from SetCollisionType.
  NotifyTriCaches(eOld, m_eCollisionType);
  sm_bDeferCollisionUpdate--;
  UpdateCollision();
}

void EPhysics::NotifyTriCaches(ECollisionPrimitiveType eOld, ECollisionPrimitiveType eNew) {
  if (eOld == eNew || !IsCollidee()) return;
  EMeshEntity* me = GetOwnerME();
  if (eNew == CPT_Triangles) ETriCache::NotifyCollidee(me, GetCollisionBoundingBox(nullptr));
  else if (eOld == CPT_Triangles) ETriCache::NotifyNotCollidee(me);
}

void EPhysics::SetCollision(const ESphere* pSpheres, int n) {
  m_nNumCollideSpheres = n < 3 ? n : 3;
  m_eCollisionType = CPT_Spheres_ModelSpace;
  for (int i = 0; i < m_nNumCollideSpheres; i++) m_aCollideSpheres[i] = pSpheres[i];
  if (m_nNumCollideSpheres == 1 && m_aCollideSpheres[0].centre == EVec3(0.0f, 0.0f, 0.0f))
    m_eCollisionType = CPT_OneSphere;
  UpdateCollision();
}

void EPhysics::SetCollisionType(ECollisionPrimitiveType eType) {
  if (m_eCollisionType == CPT_Capsules || m_eCollisionType == eType) return;
  const ECollisionPrimitiveType eOld = m_eCollisionType;
  m_eCollisionType = eType;
  NotifyTriCaches(eOld, eType);
  UpdateCollision();
}

void EPhysics::UpdateCollision() {
  if (sm_bDeferCollisionUpdate || !m_pOwner) return;
  m_pCM->Update(m_pOwner);
}

EBox3 EPhysics::GetCollisionBoundingBox(const EMat4* pMat) const {
  const EVec3 vZero(0.0f, 0.0f, 0.0f);
  if (!IsCollidee()) return EBox3(vZero, vZero);
  const EMat4& m = pMat ? *pMat : m_mAbsTrans;
  switch (m_eCollisionType) {
    case CPT_None: return EBox3(vZero, vZero);
    case CPT_OneSphere:
    case CPT_Spheres:
    case CPT_Spheres_ModelSpace: {
      const bool bTurn = m_eCollisionType == CPT_Spheres_ModelSpace;
      EBox3 box(m.GetTranslation(), m.GetTranslation());
      for (int i = 0; i < m_nNumCollideSpheres; i++) {
        const ESphere& s = m_aCollideSpheres[i];
        const EVec3 c = bTurn ? m.TransformPoint(s.centre) : s.centre + m.GetTranslation();
        const EBox3 b(ESphere(c, s.radius));
        box = i == 0 ? b : box.GetUnion(b);
      }
      return box;
    }
    case CPT_Triangles: {
      EMeshEntity* me = GetOwnerME();
      EMesh* pMesh = me ? me->GetMesh() : nullptr;
      if (!pMesh) return EBox3(m_mAbsTrans.GetTranslation(), m_mAbsTrans.GetTranslation());
      if (!pMesh->GetCollisionTree()) return pMesh->GetTransformedBoundingBox();
      const EBox3& b = pMesh->GetCollisionTree()->GetBoundingBox();
      const EMat4& t = pMesh->GetInclusiveTrans();
      EVec3 aCorners[8];
      for (int i = 0; i < 8; i++)
        aCorners[i] = t.TransformPoint(
            EVec3((i & 1) ? b.vMax.x : b.vMin.x, (i & 2) ? b.vMax.y : b.vMin.y, (i & 4) ? b.vMax.z : b.vMin.z));
      return EBox3(aCorners, 8);
    }
    case CPT_Capsules:
      if (const ELineCollision* pLines = m_pOwner ? m_pOwner->GetLineCollision() : nullptr)
        return pLines->GetTransformedCollisionBoundingBox(&m);
      return EBox3(m_mAbsTrans.GetTranslation(), m_mAbsTrans.GetTranslation());
    default: physicsobj::Fatal(__LINE__, "false"); return EBox3(vZero, vZero);
  }
}

ESphere EPhysics::GetTransformedCollideSphere(int i) const {
  const EVec3& p = m_mAbsTrans.GetTranslation();
  switch (m_eCollisionType) {
    case CPT_OneSphere:
    case CPT_Spheres: return ESphere(p + m_aCollideSpheres[i].centre, m_aCollideSpheres[i].radius);
    case CPT_Spheres_ModelSpace:
      return ESphere(p + m_mAbsTrans.Mul3Vec3(m_aCollideSpheres[i].centre), m_aCollideSpheres[i].radius);
    default: return ESphere(p, 0.1f);
  }
}

float EPhysics::GetMinY() const {
  if (m_eCollisionType < CPT_OneSphere || m_eCollisionType > CPT_Spheres_ModelSpace) return 0.0f;
  float f = 0.0f;
  for (int i = 0; i < m_nNumCollideSpheres; i++) {
    const float y = m_aCollideSpheres[i].centre.y - m_aCollideSpheres[i].radius;
    if (i == 0 || y < f) f = y;
  }
  return f;
}

ETriCache* EPhysics::GetTriCache(bool bCreate) {
  if (!m_pTriCache && bCreate) {
    ECollisionManager* pCM = m_pOwner && m_pOwner->GetOwnerDomain() ? m_pOwner->GetOwnerDomain()->GetCollisionManager()
                                                                    : nullptr;
    m_pTriCache = new ETriCache(300.0f, kSurfacePhysical, "player", pCM);
  }
  return m_pTriCache;
}

// ---------------------------------------------------------------- standing

EEntity* EPhysics::GetStandingOn() const { return m_pBase ? m_pBase->m_pOwner : nullptr; }

void EPhysics::SetBase(EPhysics* pBase, bool bQuiet) {
  if (pBase == m_pBase) return;
  if (pBase && pBase->m_pOwner) {
    if (pBase->m_pOwner->GetEntityFlag(ENTITY_CANNOTBESTOODON)) return;
    if (m_bIsPlayer && pBase->m_pOwner->GetEntityFlag(ENTITY_CANNOTBESTOODONBYPLAYER)) return;
  }
  for (EPhysics* p = pBase; p; p = p->m_pBase) {
    if (p != this) continue;
    g_ErrorManager.TraceMessagef(TT_Physics, "Ignoring circular stand: %s trying to stand on %s",
                                 physicsobj::NameOf(m_pOwner), physicsobj::NameOf(pBase->m_pOwner));
    return;
  }
  EEntity* pGlobal = physicsobj::GlobalEntity();
  EPhysics* pOld = m_pBase;
  EEntity* pOldOwner = pOld ? pOld->m_pOwner : nullptr;
  if (pOld) {
    if (!pOldOwner || pOldOwner != pGlobal) {
      EPhysics** ppCur = &pOld->m_pBaseChild;
      while (*ppCur && *ppCur != this) ppCur = &(*ppCur)->m_pBaseSibling;
      if (*ppCur != this) physicsobj::Fatal(__LINE__, "*ppCur == this");
      *ppCur = m_pBaseSibling;
      m_pBaseSibling = nullptr;
      if (pOldOwner) pOldOwner->onSupportingExit(m_pOwner);
    }
    m_pBase = nullptr;
  }
  if (m_pBaseSibling) physicsobj::Fatal(__LINE__, "m_pBaseSibling == 0");
  EEntity* pNewOwner = pBase ? pBase->m_pOwner : nullptr;
  if (pBase) {
    m_pBase = pBase;
    if (!pNewOwner || pNewOwner != pGlobal) {
      m_pBaseSibling = pBase->m_pBaseChild;
      pBase->m_pBaseChild = this;
      if (pNewOwner) pNewOwner->onSupporting(m_pOwner);
    }
  }
  if (m_pOwner) m_pOwner->onGroundChange(pOldOwner, pNewOwner, bQuiet);
}

// ---------------------------------------------------------------- navigation

void EPhysics::ResetNavInfo(bool bAll) {
  m_NavInfo.nMesh = 255;
  m_NavInfo.nPoly = 0;
  if (bAll) m_NavInfo.nGroupMask = 0;
  m_LastNavInfo = m_NavInfo;
}

void EPhysics::SetNavInfo(unsigned nMesh, unsigned nPoly) {
  m_NavInfo.nMesh = (uint8_t)nMesh;
  m_NavInfo.nPoly = (uint16_t)nPoly;
  m_LastNavInfo = m_NavInfo;
}

void EPhysics::SetNavGroup(unsigned nGroup) {
  // Groups past 7 keep only the bit of group 0 in the byte.
  const uint8_t mask = (uint8_t)((nGroup < 8 ? 1u << nGroup : 0u) | 1u);
  m_NavInfo.nGroupMask = mask;
  m_LastNavInfo.nGroupMask = mask;
  m_nNavGroup = nGroup & 7;
}

void EPhysics::GetNavInfo(unsigned& nMesh, unsigned& nPoly) const {
  nMesh = m_NavInfo.nMesh;
  nPoly = m_NavInfo.nPoly;
}

void EPhysics::GetLastNavInfo(unsigned& nMesh, unsigned& nPoly) const {
  nMesh = m_LastNavInfo.nMesh;
  nPoly = m_LastNavInfo.nPoly;
}

// ---------------------------------------------------------------- motion

void EPhysics::SetMass(float fMass) { m_fMass = fMass > 0.001f ? fMass : 0.001f; }

void EPhysics::MoveToPosition(const EVec3& p, bool bForce) {
  if (GetFlag(PHYSICS_NOPHYSICS)) {
    if (bForce) SetAbsPosition(p, true);
    return;
  }
  m_vMoveToPosition = p;
  m_dwFlags |= PHYSICS_MOVETOPOSITION;
  if (bForce) m_dwFlags |= PHYSICS_MOVETOFORCED;
}

void EPhysics::ApplyAnimTranslation(const EVec3& v, ESkelAnim* pAnim) {
  if (pAnim && physicsobj::TakeAnimCarryVelocity(pAnim)) m_bAddAnimVelocity = 1;
  EVec3 d = v;
  if (m_pAttach) d = m_pAttach->m_pParent->m_mAbsTrans.OrthoInverse().Mul3Vec3(v);
  m_vRelAnimMove = m_vRelAnimMove + d;
}

void EPhysics::AddEffectiveAnimationVelocity() {
  const float u = m_vRelAnimVel.Dot(m_vUp);
  if (u > 300.0f) m_vRelAnimVel = m_vRelAnimVel + m_vUp * (300.0f - u);
  m_vVelocity = m_vVelocity + m_vRelAnimVel;
}

void EPhysics::SendMessage_BiDir(EEntity* pOther, const char* szMsg, const EVec3* v) {
  SendMessage_BiDir(pOther, szMsg, szMsg, v);
}

void EPhysics::SendMessage_BiDir(EEntity* pOther, const char* szMsgSelf, const char* szMsgOther, const EVec3* v) {
  EScriptObject* pSelf = m_pOwner ? m_pOwner->GetScriptObject() : nullptr;
  EScriptObject* pThem = pOther ? pOther->GetScriptObject() : nullptr;
  if (pSelf) {
    if (v) pSelf->SendMessagef(szMsgSelf, pThem, 0, "fff", (double)v->x, (double)v->y, (double)v->z);
    else pSelf->SendMessagef(szMsgSelf, pThem, 0, nullptr);
  }
  if (pThem) {
    if (v) pThem->SendMessagef(szMsgOther, pSelf, 0, "fff", (double)-v->x, (double)-v->y, (double)-v->z);
    else pThem->SendMessagef(szMsgOther, pSelf, 0, nullptr);
  }
}
