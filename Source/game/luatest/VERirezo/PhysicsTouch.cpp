// What a physics object tells the game about its contacts: collision
// callbacks, the two-slot touch memory with its script messages, pushing by
// push level; and cube gravity and the navigation limit of the collision stage.
#include <cmath>

#include "Game/GameApp.h"
#include "Path/SplineController.h"
#include "ScriptVM/ScriptObject.h"
#include "TWUtil/EMemStack.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Entity.h"
#include "VERirezo/NavMesh.h"
#include "VERirezo/PhysicsCollide.h"
#include "VERirezo/Scene.h"

namespace physicstouch {

void Fatal(int iLine, const char* szExpr) { g_ErrorManager.ErrorMessage("PhysicsTouch.cpp", iLine, szExpr, false); }

EScriptObject* ScriptOf(const EEntity* e) { return e ? e->GetScriptObject() : nullptr; }

ECollisionManager* ManagerOf(EEntity* e) {
  EPhysics* p = e->GetPhysics();
  return p ? p->GetCollisionManager() : nullptr;
}

// Records the touch on both sides, in the frame's scratch memory.
void RecordBoth(EEntity* pMover, EEntity* pHit, const EVec3& vNormal) {
  if (!pHit || pHit == (gGameApp ? gGameApp->GetGlobalEntity() : nullptr)) return;
  if (ManagerOf(pMover) != ManagerOf(pHit)) {
    g_ErrorManager.ErrorMessage("PhysicsTouch.cpp", __LINE__, "false", true);
    return;
  }
  // Touches live until the end of the frame: without its scratch mark there is nowhere to keep them.
  if (!g_pAffectorMark) return;
  g_pAffectorMark->MakeTop(0);
  if (g_pAffectorMark->m_Stack.GetTopMark() != g_pAffectorMark) Fatal(__LINE__, "g_pAffectorMark->IsTopMark()");
  if (EPhysics* p = pMover->GetPhysics()) p->InsertTouch(pHit, vNormal);
  if (EPhysics* p = pHit->GetPhysics()) p->InsertTouch(pMover, -vNormal);
}

ENavMesh* CurrentNavMesh() {
  if (!gGameApp || !gGameApp->GetSceneManager()) return nullptr;
  EScene* pScene = gGameApp->GetSceneManager()->GetCurrentScene();
  return pScene ? pScene->GetNavMesh() : nullptr;
}

}  // namespace physicstouch

// ---------------------------------------------------------------- callbacks

void EPhysics::SendCollideNotification(ECollideEx& c, bool& bOnGround) {
  const EVec3 vVelocity = m_vVelocity;
  const bool bWasAttached = m_pAttach != nullptr;
  if (c.m_bOnGround) SetStateFlag(PHYSICSSTATE_ONGROUND);
  if (m_pOwner) m_pOwner->onCollide(c.pEntity, c.vNormal, c.iSrcPrimitive, c.dwSurfaceFlags, false);
  if (c.pEntity) c.pEntity->onCollide(m_pOwner, c.vNormal, -1, 0, true);
  if (!(m_vVelocity == vVelocity)) {
    c.m_vVelocity = m_vVelocity;
    m_vRelAnimVel = EVec3(0.0f, 0.0f, 0.0f);
  }
  if (c.m_bOnGround && !GetStateFlag(PHYSICSSTATE_ONGROUND)) {
    bOnGround = false;
    c.m_bOnGround = false;
    c.m_bWalkable = false;
  }
  if (!bWasAttached && m_pAttach)
    g_ErrorManager.TraceMessagef(TT_Warning, "%s changed attachment in onCollide.  See onCollide docs.",
                                 m_pOwner ? m_pOwner->GetName() : "(null)");
}

// ---------------------------------------------------------------- touches

void EPhysics::ProcessTouch(const ECollide& hit) {
  if (!hit.pCollider) {
    physicstouch::Fatal(__LINE__, "hit.pCollider");
    return;
  }
  physicstouch::RecordBoth(hit.pCollider, hit.pEntity, hit.vNormal);
}

void EPhysics::ProcessTouch(const EHitResult& hit, EEntity* pCollider) {
  if (!pCollider) {
    physicstouch::Fatal(__LINE__, "hit.pCollider");
    return;
  }
  physicstouch::RecordBoth(pCollider, hit.pEntity, hit.vNormal);
}

void EPhysics::InsertTouch(EEntity* pOther, const EVec3& vNormal) {
  if (!m_pOwner || !m_pOwner->GetTransientFlag(ENTITYTRANSIENT_SIMULATED)) {
    if (m_pTempTouchHead) physicstouch::Fatal(__LINE__, "m_pTempTouchHead == 0");
    return;
  }
  EMemStack& stack = g_pAffectorMark ? g_pAffectorMark->m_Stack : *GetThreadLocalStack();
  for (TempTouch* t = m_pTempTouchHead; t; t = t->pNext) {
    if (!stack.IsValidPointer(t)) physicstouch::Fatal(__LINE__, "g_Stack.IsValidPointer(pCursor)");
    if (t->pEntity != pOther) continue;
    t->vNormal = vNormal;
    return;
  }
  RegisterPostprocess();
  TempTouch rec;
  rec.pEntity = pOther;
  rec.vNormal = vNormal;
  rec.pNext = m_pTempTouchHead;
  rec.bUsed = false;
  m_pTempTouchHead = PushData(stack, rec);
}

void EPhysics::End_ProcessTouch() {
  EScriptObject* pSelf = physicstouch::ScriptOf(m_pOwner);
  for (int i = 0; i < (int)m_nNumTouching; i++) {
    TempTouch* t = m_pTempTouchHead;
    while (t && t->pEntity != m_apTouching[i]) t = t->pNext;
    if (t) {
      t->bUsed = true;
      continue;
    }
    if (pSelf) pSelf->SendMessagef("NewMoveCollideExit", physicstouch::ScriptOf(m_apTouching[i]), 0, nullptr);
    m_apTouching[i] = nullptr;
  }
  int n = 0;
  for (int i = 0; i < (int)m_nNumTouching; i++)
    if (m_apTouching[i]) m_apTouching[n++] = m_apTouching[i];
  for (int i = n; i < 2; i++) m_apTouching[i] = nullptr;
  m_nNumTouching = (unsigned)n;
  if (n == 0) m_dwFlags &= ~PHYSICS_HASTOUCHES;
  for (TempTouch* t = m_pTempTouchHead; t; t = t->pNext) {
    if (t->bUsed) continue;
    if (n == 2) break;
    if (n == 0) m_dwFlags |= PHYSICS_HASTOUCHES;
    m_apTouching[n++] = t->pEntity;
    m_nNumTouching = (unsigned)n;
    if (pSelf)
      pSelf->SendMessagef("NewMoveCollide", physicstouch::ScriptOf(t->pEntity), 0, "fff", (double)t->vNormal.x,
                          (double)t->vNormal.y, (double)t->vNormal.z);
  }
  m_pTempTouchHead = nullptr;
}

// ---------------------------------------------------------------- pushing

bool EPhysics::CanPush(EPhysics* pOther) const {
  if (!pOther || pOther->m_pAttach || m_nPushLevel == 0 || pOther->m_nPushLevel == 0) return false;
  return m_nPushLevel > (pOther->m_nPushLevel & ~1u) && pOther->IsCollider();
}

void EPhysics::onPushed(EPhysics* pPusher, const EVec3& vDir, float fLength) {
  const float dt = gGameApp ? gGameApp->GetSimDeltaTime() : 0.0f;
  const float fMax = dt * (float)m_nPushSpeed;
  const float d = fLength < fMax ? fLength : fMax;
  const EMat4 mOld = m_mAbsTrans;
  EMat4 mTarget = m_mAbsTrans;
  mTarget.SetTranslation(mTarget.GetTranslation() + vDir * d);
  if (GetAttachParent()) {
    physicstouch::Fatal(__LINE__, "GetAttachParent() == 0");
    return;
  }
  if (EScriptObject* pSelf = physicstouch::ScriptOf(m_pOwner))
    pSelf->SendMessagef("Pushed", nullptr, 1, "E", pPusher ? pPusher->m_pOwner : nullptr);
  Collide(mOld, mTarget, true);
}

// ---------------------------------------------------------------- gravity

void EPhysics::DoCubeGravity(const EBox3& box, float fRadius) {
  for (int i = 0; i < sm_aWithGravity.Num(); i++) {
    EPhysics* p = sm_aWithGravity[i]->GetPhysics();
    if (!p || !(p->m_dwFlags & PHYSICS_ORIENTTOGRAVITY)) continue;
    const EVec3& pos = p->GetAbsPosition();
    const float aP[3] = {pos.x, pos.y, pos.z};
    const float aMin[3] = {box.vMin.x, box.vMin.y, box.vMin.z};
    const float aMax[3] = {box.vMax.x, box.vMax.y, box.vMax.z};
    float aSign[3], aQ[3];
    int k = 0;
    for (int a = 0; a < 3; a++) {
      if (aP[a] > aMax[a]) {
        aSign[a] = 1.0f;
        aQ[a] = aMax[a];
      } else if (aP[a] < aMin[a]) {
        aSign[a] = -1.0f;
        aQ[a] = aMin[a];
      } else {
        aSign[a] = 0.0f;
        aQ[a] = aP[a];
        k++;
      }
    }
    const EVec3 d = pos - EVec3(aQ[0], aQ[1], aQ[2]);
    const EVec3& g = p->m_vGravityDir;
    switch (k) {
      case 2: p->m_vGravityDir = EVec3(aSign[0], aSign[1], aSign[2]); break;
      case 1:
        if (std::fabs(g.x) + std::fabs(g.y) + std::fabs(g.z) != 1.0f || d.LengthSquared() < fRadius * fRadius)
          p->m_vGravityDir = d.SafeGetNormal();
        break;
      case 0: p->m_vGravityDir = d.SafeGetNormal(); break;
      default: break;
    }
  }
}

// ---------------------------------------------------------------- navigation

void EPhysics::handleNavigationConstraints(float dt, const EMat4& mOld, EVec3&, EVec3& p) {
  if (!(m_dwFlags & PHYSICS_NAVIGATION) || m_pAttach) {
    m_NavInfo.nGroupMask = m_LastNavInfo.nGroupMask;
    return;
  }
  const uint32_t G = (1u << m_nNavGroup) | 1u;
  const float fSnap = m_fStepHeight * dt * 30.0f;
  const float fProbe = fSnap > 1000.0f ? fSnap : 1000.0f;
  ECollide c(nullptr);
  c.dwFlags |= kCOLLIDEFLAG_IgnoreSpheres;
  c.InitSegment(p, p - m_vGravityDir * fProbe);
  if (m_pCM->CheckCollision(c) && (c.dwSurfaceFlags & kSurfaceNav) && c.IsTriangleHit()) {
    if (m_dwFlags & PHYSICS_STICKYNAVIGATION) {
      EVec3 n;
      if (c.GetInterpolatedNormal(kSurfaceNav, n)) m_vGravityDir = n;
    }
    unsigned nMesh = 255, nPoly = 0;
    c.GetNavPoly(nMesh, nPoly);
    ENavMesh* pNav = physicstouch::CurrentNavMesh();
    const uint32_t dwGroup = pNav ? pNav->NavPolyGroup((int)nMesh, (int)nPoly) : 0u;
    if ((m_LastNavInfo.nMesh != nMesh && m_LastNavInfo.nMesh != 255) || !(dwGroup & G)) m_NavInfo.nMesh = 255;
  } else {
    m_NavInfo.nMesh = 255;
  }
  ESplineController* pSpline = m_pOwner ? m_pOwner->GetSplineControllerIfAny() : nullptr;
  const bool bStay = (m_NavInfo.nMesh == m_LastNavInfo.nMesh && (m_NavInfo.nGroupMask & G)) ||
                     (pSpline && (pSpline->GetFlags() & ESplineController::kFLAG_Active)) ||
                     m_LastNavInfo.nMesh == 255;
  if (!bStay) {
    p = mOld.GetTranslation();
    m_NavInfo = m_LastNavInfo;
    return;
  }
  m_NavInfo.nGroupMask = m_LastNavInfo.nGroupMask;
}
