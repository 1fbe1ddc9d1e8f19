// Transform changes of a physics object: the one place where a new transform
// is stored, with the passengers, obstacles, children and triggers that move
// along, the trigger check of the move and the rollback of a blocked move;
// the position and rotation setters; attachment to a parent.
#include <cmath>

#include "Game/GameApp.h"
#include "TWUtil/EMemStack.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/Entity.h"
#include "VERirezo/Joint.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/PhysicsCollide.h"
#include "VERirezo/Trigger.h"

namespace physicstrans {

void Fatal(int iLine, const char* szExpr) { g_ErrorManager.ErrorMessage("PhysicsTrans.cpp", iLine, szExpr, false); }

const char* NameOf(const EEntity* e) { return e ? e->GetName() : "(null)"; }

EMesh* OwnerMesh(const EEntity* e) {
  return e && e->IsMeshEntity() ? static_cast<const EMeshEntity*>(e)->GetMesh() : nullptr;
}

const unsigned kRestoreFlags = SRT_Position | SRT_Rotation | SRT_Sweep;

}  // namespace physicstrans

// ---------------------------------------------------------------- the change

bool EPhysics::SetRelTrans(const EMat4& m, unsigned dwFlags, bool bForce) {
  using namespace physicstrans;
  if (m_dwFlags & PHYSICS_INSETRELTRANS) return false;
  m_dwFlags |= PHYSICS_INSETRELTRANS;
  if (!(dwFlags & (SRT_Position | SRT_Rotation))) {
    if (m_pAttachChild) SRT_MoveAttachments(SRT_Sweep);
    m_dwFlags &= ~PHYSICS_INSETRELTRANS;
    return true;
  }
  const unsigned dwTrigFlags = dwFlags & (SRT_Sweep | SRT_Teleport);
  if (!(dwTrigFlags == SRT_Sweep || dwTrigFlags == SRT_Teleport))
    Fatal(__LINE__, "dwTrigFlags == SRT_Sweep || dwTrigFlags == SRT_Teleport");
  if (dwFlags & SRT_Teleport) ResetNavInfo(false);

  const EMat4 mOldRel = GetRelTrans();
  const EMat4 mOldAbs = m_mAbsTrans;
  ETempArray<RollbackData> aRollback(*GetThreadLocalStack());

  SRT_UpdatePosition(m, dwFlags);
  bool bOk = true;
  if ((dwFlags & SRT_Sweep) && m_pBaseChild) bOk = SRT_MovePassengers(mOldAbs, aRollback, bForce);
  if (bOk && (m_dwFlags & PHYSICS_MOVINGGEOMETRY)) bOk = SRT_MoveObstacles(mOldRel, aRollback, bForce);
  if (bOk && m_pAttachChild) bOk = SRT_MoveAttachments(dwFlags);
  if (!bOk) {
    SRT_UpdatePosition(mOldRel, dwFlags);
    for (unsigned i = 0; i < aRollback.Num(); i++) {
      RollbackData& r = aRollback[i];
      r.m_pPhysics->SetRelTrans(r.m_mRelTrans, r.m_dwFlags, false);
    }
    m_dwFlags &= ~PHYSICS_INSETRELTRANS;
    return false;
  }
  if (EMesh* pMesh = physicstrans::OwnerMesh(m_pOwner)) pMesh->UpdateTriggers();
  if (dwFlags & (SRT_Position | SRT_Rotation)) ETriggerBase::ParentMovedAll(m_pAttachedTriggers, this);
  if (dwFlags & SRT_Rotation) {
    if (!m_pAttach && (++m_nRotateCount & 15) == 0) m_mAbsTrans.Orthonormalize();
    SRT_CalculateFRU();
  }
  if ((dwFlags & SRT_Position) && (m_dwFlags & PHYSICS_CHECKTRIGGERS) && (m_dwFlags & PHYSICS_COLLIDEE) && m_pOwner) {
    const int nSpheres = m_nNumCollideSpheres;
    if (m_bIsPlayer) m_nNumCollideSpheres = 3;
    const EBox3 box = GetCollisionBoundingBox(&mOldAbs);
    m_nNumCollideSpheres = nSpheres;
    m_pCM->CheckTriggers(mOldAbs.GetTranslation(), m_mAbsTrans.GetTranslation(), m_pOwner,
                         (dwFlags & SRT_Teleport) != 0, box);
  }
  m_dwFlags &= ~PHYSICS_INSETRELTRANS;
  return true;
}

void EPhysics::SRT_UpdatePosition(const EMat4& m, unsigned dwFlags) {
  if (m_pAttach) {
    m_pAttach->m_mRelTrans = m;
    m_mAbsTrans = m_pAttach->GetFullTrans();
  } else {
    m_mAbsTrans = m;
  }
  if (EMesh* pMesh = physicstrans::OwnerMesh(m_pOwner)) {
    if (dwFlags & SRT_Position) pMesh->SetPosition(m_mAbsTrans.GetTranslation());
    if (dwFlags & SRT_Rotation) pMesh->SetRotation(m_mAbsTrans);
  }
  UpdateCollision();
}

void EPhysics::SRT_CalculateFRU() {
  m_mAbsTrans.GetBasisVectors(m_vRight, m_vUp, m_vForward);
  EMeshEntity* me = GetOwnerME();
  if (me && me->IsMeshBackwards()) m_vRight = -m_vRight;
  else m_vForward = -m_vForward;
}

bool EPhysics::SRT_MovePassengers(const EMat4& mOldAbs, ETempArray<RollbackData>& aRollback, bool bForce) {
  const EMat4 D = m_mAbsTrans * mOldAbs.OrthoInverse();
  for (EPhysics* P = m_pBaseChild; P; P = P->m_pBaseSibling) {
    RollbackData r;
    r.m_pPhysics = P;
    r.m_mRelTrans = P->GetRelTrans();
    r.m_dwFlags = physicstrans::kRestoreFlags;
    aRollback.AddData(r);
    const EMat4 A = P->m_mAbsTrans;
    EMat4 T = D * A;
    // Keep the passenger upright: it only turns about its own up axis.
    EVec3 ax, ay, az, tx, ty, tz;
    A.GetBasisVectors(ax, ay, az);
    T.GetBasisVectors(tx, ty, tz);
    const float y = GetAngleBetween(az, tz, ay);
    const EVec3 vAt = T.GetTranslation();
    T = A * MatrixRotateY(y);
    T.SetTranslation(vAt);
    bool bOk = true;
    if (P->IsCollider()) {
      ECollide c(nullptr);
      c.InitFor(P->m_pOwner, &T);
      c.pIgnore = m_pOwner;
      c.InitSegment(A.GetTranslation(), T.GetTranslation());
      m_pCM->CheckCollision(c);
      const EVec3 vEnd = c.vEnd;
      EVec3 vSafe;
      bOk = P->FindSafePosition(vSafe, vEnd, 4, true, &T);
      T.SetTranslation(vSafe);
    }
    bOk = bOk && P->SetAbsTrans(T, physicstrans::kRestoreFlags);
    if (!bOk && !bForce) return false;
  }
  return true;
}

bool EPhysics::SRT_MoveObstacles(const EMat4& mOldRel, ETempArray<RollbackData>& aRollback, bool bForce) {
  (void)mOldRel;
  if (m_eCollisionType != CPT_Triangles) {
    g_ErrorManager.TraceMessagef(TT_Warning, "%s: Non-triangle entity treated as mover!", physicstrans::NameOf(m_pOwner));
    m_dwFlags &= ~PHYSICS_MOVINGGEOMETRY;
    return true;
  }
  EMemStack& stack = *GetThreadLocalStack();
  const EBox3 box = GetCollisionBoundingBox(nullptr);
  EMesh* pOwnerMesh = physicstrans::OwnerMesh(m_pOwner);
  if (!pOwnerMesh) physicstrans::Fatal(__LINE__, "pOwnerMesh");
  ETempArray<EPhysics*> aObstacles(stack);
  {
    ECollisionManager::CollideeInfo::Iter it(m_pCM, box, ECollisionManager::kCollideeEntity, stack);
    for (EPhysics* P = m_pBaseChild; P; P = P->m_pBaseSibling)
      if (P->m_pOwner) it.FilterEntity(P->m_pOwner);
    for (; it; ++it) {
      EEntity* e = static_cast<EEntity*>(it->pObject);
      EPhysics* P = e ? e->GetPhysics() : nullptr;
      if (!P || P == this || P->m_pAttach) continue;
      const int eType = P->m_eCollisionType;
      if (eType != CPT_OneSphere && eType != CPT_Spheres && eType != CPT_Spheres_ModelSpace) continue;
      ECollide c(e);
      if (c.QuickCullEntity(m_pOwner)) continue;
      c.InitPoint(P->GetAbsPosition());
      if (pOwnerMesh && _TmpCollideWithMesh(pOwnerMesh, c)) aObstacles.AddData(P);
    }
  }
  bool bResult = true;
  for (unsigned i = 0; i < aObstacles.Num(); i++) {
    EPhysics* P = aObstacles[i];
    // A pushed-out obstacle goes back with everything else when the move is cancelled.
    RollbackData r;
    r.m_pPhysics = P;
    r.m_mRelTrans = P->GetRelTrans();
    r.m_dwFlags = physicstrans::kRestoreFlags;
    aRollback.AddData(r);
    if (!P->SafeSetAbsPosition(P->GetAbsPosition(), 4, true) && !bForce) bResult = false;
  }
  return bResult;
}

bool EPhysics::SRT_MoveAttachments(unsigned dwFlags) {
  unsigned f = dwFlags | SRT_Position;
  for (EPhysics* c = m_pAttachChild; c; c = c->m_pAttachSibling) {
    if ((f & (SRT_Position | SRT_Rotation)) != (SRT_Position | SRT_Rotation) && c->IsAttachedToJoint())
      f |= SRT_Position | SRT_Rotation;
    c->SetRelTrans(c->m_pAttach->m_mRelTrans, f, false);
  }
  return true;
}

// ---------------------------------------------------------------- setters

bool EPhysics::SetAbsTrans(const EMat4& mTrans, unsigned dwFlags) {
  if (m_pAttach) return SetRelTrans(m_pAttach->GetInvParentTrans() * mTrans, dwFlags, false);
  return SetRelTrans(mTrans, dwFlags, false);
}

bool EPhysics::SetAbsPosition(const EVec3& p, bool bTeleport) {
  EMat4 m = GetRelTrans();
  m.SetTranslation(m_pAttach ? m_pAttach->GetInvParentTrans().TransformPoint(p) : p);
  return SetRelTrans(m, bTeleport ? SRT_Position | SRT_Teleport : SRT_Position | SRT_Sweep, false);
}

bool EPhysics::SetRelPosition(const EVec3& p, bool bTeleport) {
  EMat4 m = GetRelTrans();
  m.SetTranslation(p);
  return SetRelTrans(m, bTeleport ? SRT_Position | SRT_Teleport : SRT_Position | SRT_Sweep, false);
}

void EPhysics::InitPosition(const EVec3& vPosition) {
  SetRelPosition(vPosition, true);
  m_vVelocity = EVec3(0.0f, 0.0f, 0.0f);
}

EVec3 EPhysics::AddRelPosition(const EVec3& v) {
  SetRelPosition(GetRelTrans().GetTranslation() + v, false);
  return GetRelTrans().GetTranslation();
}

bool EPhysics::SetAbsRotation(const EMat4& r, bool bTeleport) {
  EMat4 m = r;
  if (m_pAttach) m = m_pAttach->GetInvParentTrans() * r;
  m.SetTranslation(GetRelTrans().GetTranslation());
  return SetRelTrans(m, bTeleport ? SRT_Rotation | SRT_Teleport : SRT_Rotation | SRT_Sweep, false);
}

bool EPhysics::SetAbsRotation(const EVec3& a, const EVec3& b, const EVec3& c, bool bTeleport) {
  return SetAbsRotation(FromFRU(b, a, c), bTeleport);
}

bool EPhysics::SetRelRotation(const EMat4& r, bool bTeleport) {
  EMat4 m = GetRelTrans();
  m.SetRotation(r);
  return SetRelTrans(m, bTeleport ? SRT_Rotation | SRT_Teleport : SRT_Rotation | SRT_Sweep, false);
}

// ---------------------------------------------------------------- attachment

AttachInfo::AttachInfo(EPhysics* pParent, const EMat4& childAbs, const char* szJoint) : m_pParent(pParent) {
  if (szJoint) {
    EEntity* pOwner = pParent->GetOwner();
    EMesh* pMesh = physicstrans::OwnerMesh(pOwner);
    if (pMesh) m_pJoint = pMesh->FindJoint(szJoint);
    if (m_pJoint) {
      m_nJointID = m_pJoint->GetId();
    } else {
      g_ErrorManager.TraceMessagef("Couldn't find joint <%s> on <%s.%s>", szJoint, physicstrans::NameOf(pOwner),
                                   pMesh ? pMesh->GetName() : "None");
    }
  }
  m_mRelTrans = GetInvParentTrans() * childAbs;
}

EMat4 AttachInfo::GetParentTrans() const {
  if (!m_pJoint) return m_pParent->GetAbsTrans();
  EMat4 mMesh;
  EEntity* pOwner = m_pParent->GetOwner();
  if (pOwner && pOwner->IsMeshEntity()) static_cast<EMeshEntity*>(pOwner)->GetMeshTrans(mMesh);
  else mMesh = m_pParent->GetAbsTrans();
  return mMesh * m_pJoint->GetTransNoScale();
}

EMat4 AttachInfo::GetInvParentTrans() const {
  if (m_pJoint) return GetParentTrans().Inverse();
  return m_pParent->GetAbsTrans().OrthoInverse();
}

EMat4 AttachInfo::GetFullTrans() const { return GetParentTrans() * m_mRelTrans; }

void AttachInfo::UpdatePointers() {
  if (m_nJointID == 0xFFFF) return;
  EMesh* pMesh = physicstrans::OwnerMesh(m_pParent->GetOwner());
  m_pJoint = pMesh ? pMesh->GetJointFromID(m_nJointID) : nullptr;
}

bool EPhysics::AttachToParent(EPhysics* pParent, const EMat4* pRel, const char* szJoint) {
  if (!pParent || pParent == this) return false;
  if (m_pAttach) {
    if (m_pAttach->m_pParent == pParent) return true;
    g_ErrorManager.TraceMessagef("<%s> already has a parent <%s>; ignoring <%s>", physicstrans::NameOf(m_pOwner),
                                 physicstrans::NameOf(m_pAttach->m_pParent->m_pOwner),
                                 physicstrans::NameOf(pParent->m_pOwner));
    return false;
  }
  if (m_pOwner) m_pOwner->m_pParentEntity = pParent->m_pOwner;
  if (!(m_pAttachSibling == nullptr && m_pAttach == nullptr))
    physicstrans::Fatal(__LINE__, "m_pAttachSibling==0 && m_pAttach==0");
  m_pAttach = new AttachInfo(pParent, m_mAbsTrans, szJoint);
  m_pAttachSibling = pParent->m_pAttachChild;
  pParent->m_pAttachChild = this;
  m_dwFlags |= PHYSICS_ISATTACHED;
  if (pRel) SetRelTrans(*pRel, SRT_Position | SRT_Rotation | SRT_Teleport, false);
  return true;
}

void EPhysics::UnlinkAttach() {
  EPhysics** pp = &m_pAttach->m_pParent->m_pAttachChild;
  while (*pp && *pp != this) pp = &(*pp)->m_pAttachSibling;
  if (*pp != this) physicstrans::Fatal(__LINE__, "*ppCur == this");
  else *pp = m_pAttachSibling;
  m_pAttachSibling = nullptr;
}

void EPhysics::DetachFromParent() {
  if (!m_pAttach) return;
  EPhysics* pParent = m_pAttach->m_pParent;
  m_vVelocity = pParent->GetVelocity() + pParent->GetEffectiveAnimationVelocity();
  m_vRelAnimMove = EVec3(0.0f, 0.0f, 0.0f);
  UnlinkAttach();
  delete m_pAttach;
  m_pAttach = nullptr;
  m_dwFlags &= ~PHYSICS_ISATTACHED;
  if (m_pOwner) m_pOwner->m_pParentEntity = nullptr;
}

void EPhysics::DetachAllChildren() {
  while (m_pAttachChild) m_pAttachChild->DetachFromParent();
}

void EPhysics::onMeshChange() {
  SetupDefaultCollision();
  for (EPhysics* c = m_pAttachChild; c; c = c->m_pAttachSibling) c->m_pAttach->UpdatePointers();
  SetAbsTrans(m_mAbsTrans, SRT_Position | SRT_Rotation | SRT_Teleport);
}
