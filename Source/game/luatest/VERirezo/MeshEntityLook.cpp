// Look targets and head tracking: the candidates around an entity, the
// most interesting one it can see, and the smooth turn of its head joint
// toward the look point within its limits.
#include <algorithm>
#include <cmath>

#include "Game/GameApp.h"
#include "TWGraphics/Color.h"
#include "TWMath/MathGeneral.h"
#include "TWUtil/Array.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/CollisionQuery.h"
#include "VERirezo/DebugLine.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Joint.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/Physics.h"
#include "VERirezo/Skeleton.h"

namespace meshentitylook {

// Half size of the box searched for candidates.
const float kSEARCH_REACH = 1000.0f;
// Score distance scale.
const float kSCORE_DISTANCE = 1000.0f;
// Eye height of an entity without a head joint.
const float kEYE_HEIGHT = 150.0f;
// Flags of the line-of-sight checks.
const uint32_t kSIGHT_QUERY_FLAGS = 0x88;
// The head approaches at this rate per second, never slower than the floor
// speed in degrees per second.
const float kHEAD_RATE = 6.0f;
const float kHEAD_FLOOR_SPEED = 10.0f;
const float kDEBUG_ARROW = 200.0f;

bool LineBlocked(EDomain* pDomain, const EVec3& vFrom, const EVec3& vTo, EEntity* pQuerier) {
  ECollisionManager* pCM = pDomain ? pDomain->GetCollisionManager() : nullptr;
  if (!pCM) return false;
  ECollide query(nullptr);
  query.dwFlags |= kSIGHT_QUERY_FLAGS;
  return pCM->LineCheck(vFrom, vTo, query, pQuerier, 0.0f);
}

}  // namespace meshentitylook

void EMeshEntity::SetLookTarget(EEntity* pTarget, bool bFixed, bool bTemporary) {
  if (!GetEntityFlag(ENTITY_LOOKATINTERESTINGTHINGS) || !pTarget) {
    m_pLookTarget = nullptr;
    SetEntityFlag(ENTITY_FIXEDLOOKTARGET | ENTITY_PERSISTENTLOOKTARGET, false);
    return;
  }
  m_pLookTarget = pTarget;
  SetEntityFlag(ENTITY_FIXEDLOOKTARGET, bFixed);
  SetEntityFlag(ENTITY_PERSISTENTLOOKTARGET, bFixed && !bTemporary);
}

EVec3 EMeshEntity::GetLookTargetOffset() const {
  const EVec3 vOffset = EEntity::GetLookTargetOffset();
  if (!m_pMesh) return vOffset;
  return m_pMesh->GetInclusiveTrans().Mul3Vec3(vOffset);
}

bool EMeshEntity::QuickCullLookTarget(EEntity* pEntity, float& fOutInterest, unsigned dwRequiredFlag) {
  if (pEntity == this) return true;
  const EPhysics* pOwn = GetPhysics();
  const EPhysics* pOther = pEntity->GetPhysics();
  if (pOther && pOwn && pOther->GetAttachParent() == pOwn) return true;
  if (!pEntity->GetVisible() || pEntity->DomainIsSleeping()) return true;
  const float fInterest = (float)pEntity->GetBaseInterestLevel();
  if (fInterest <= 0.0f) return true;
  if (pOwn && pOther) {
    const EVec3 d = pOther->GetAbsPosition() - pOwn->GetAbsPosition();
    const float fMax = pEntity->GetMaxLookDistance();
    if (d.LengthSquared() > fMax * fMax) return true;
  }
  if (!CanHoldLookTarget(pEntity)) return true;
  if (dwRequiredFlag && !pEntity->GetEntityFlag(dwRequiredFlag)) return true;
  fOutInterest = fInterest;
  return false;
}

void EMeshEntity::GetCandidateLookTargets(ETempArray<LookTarget>& aOut, float& fMaxInterest, unsigned dwRequiredFlag,
                                          const EVec3*, const EVec3*) {
  EDomain* pDomain = GetOwnerDomain();
  ECollisionManager* pCM = pDomain ? pDomain->GetCollisionManager() : nullptr;
  if (!pCM || !GetPhysics()) return;
  const EVec3 vPos = GetPhysics()->GetAbsPosition();
  const EVec3 vReach(meshentitylook::kSEARCH_REACH, meshentitylook::kSEARCH_REACH, meshentitylook::kSEARCH_REACH);
  // The walk uses the memory stack too: gather first, append after it.
  EArray<LookTarget> aFound;
  {
    ECollisionManager::CollideeInfo::Iter it(pCM, EBox3(vPos - vReach, vPos + vReach),
                                             ECollisionManager::kCollideeEntity, *GetThreadLocalStack());
    for (; it; ++it) {
      EEntity* pEntity = static_cast<EEntity*>(it->pObject);
      float fInterest = 0.0f;
      if (QuickCullLookTarget(pEntity, fInterest, dwRequiredFlag)) continue;
      LookTarget target;
      target.m_pEntity = static_cast<EMeshEntity*>(pEntity);
      target.m_fInterest = fInterest;
      target.m_fScore = 0.0f;
      aFound.AddData(target);
      fMaxInterest = std::max(fMaxInterest, fInterest);
    }
  }
  for (int i = 0; i < aFound.Num(); ++i) aOut.AddData(aFound[i]);
}

bool EMeshEntity::LookTargetVisible(EEntity* pCandidate, const EVec3& vEye) {
  EDomain* pDomain = GetOwnerDomain();
  if (pCandidate->IsMeshEntity()) {
    EMesh* pMesh = static_cast<EMeshEntity*>(pCandidate)->GetMesh();
    if (!pMesh) return true;
    const EMat4& M = pMesh->GetInclusiveTrans();
    const EVec3& a = pMesh->GetBox().vMin;
    const EVec3& b = pMesh->GetBox().vMax;
    const EVec3 aPoints[5] = {pMesh->GetBox().GetCenter(), EVec3(a.x, a.y, a.z), EVec3(a.x, b.y, b.z),
                              EVec3(b.x, a.y, b.z), EVec3(b.x, b.y, a.z)};
    for (const EVec3& p : aPoints) {
      if (!meshentitylook::LineBlocked(pDomain, vEye, M.MulVec3(p), this)) return true;
    }
    return false;
  }
  const EPhysics* pPhysics = pCandidate->GetPhysics();
  const EVec3 vTarget =
      pPhysics ? pPhysics->GetAbsTrans().MulVec3(pCandidate->GetLookTargetOffset()) : pCandidate->GetPosition();
  return !meshentitylook::LineBlocked(pDomain, vEye, vTarget, nullptr);
}

EMeshEntity* EMeshEntity::FindNextInterestingTarget(EEntity* pAfter, const EVec3* pDir, unsigned dwRequiredFlag) {
  EEntity* pRef = pAfter ? pAfter : this;
  const EVec3 vRefPos = pRef->GetPosition();
  ETempArray<LookTarget> aTargets(*GetThreadLocalStack());
  float fMaxInterest = -1.0f;
  GetCandidateLookTargets(aTargets, fMaxInterest, dwRequiredFlag, pDir, &vRefPos);

  const EVec3 vForward = GetPhysics() ? GetPhysics()->GetForward() : EVec3(0.0f, 0.0f, -1.0f);
  for (unsigned i = 0; i < aTargets.Num(); ++i) {
    LookTarget& t = aTargets[i];
    if ((EEntity*)t.m_pEntity == pRef || t.m_fInterest <= 0.0f) {
      t.m_fScore = 0.0f;
      continue;
    }
    EVec3 v = t.m_pEntity->GetPosition() - vRefPos;
    const float d = v.Length();
    v.Normalize();
    const float fFacing = v.Dot(pDir ? *pDir : vForward);
    t.m_fScore = t.m_fInterest * fFacing * SafeDivide(meshentitylook::kSCORE_DISTANCE, d);
  }

  EVec3 vEye;
  if (m_pHeadJoint && m_pMesh) {
    vEye = m_pMesh->GetInclusiveTrans().MulVec3(m_pHeadJoint->m_mPose.GetTranslation());
  } else {
    const EVec3 vUp = GetPhysics() ? GetPhysics()->GetUp() : EVec3(0.0f, 1.0f, 0.0f);
    vEye = GetPosition() + vUp * meshentitylook::kEYE_HEIGHT;
  }

  const bool bTestSight = !gGameApp || gGameApp->m_DebugHooks.m_bLookTargetVisibility;
  for (;;) {
    int iBest = -1;
    for (unsigned i = 0; i < aTargets.Num(); ++i) {
      if (aTargets[i].m_fScore > 0.0f && (iBest < 0 || aTargets[i].m_fScore > aTargets[iBest].m_fScore))
        iBest = (int)i;
    }
    if (iBest < 0) return nullptr;
    EMeshEntity* pBest = aTargets[iBest].m_pEntity;
    if (!bTestSight || LookTargetVisible(pBest, vEye)) return pBest;
    aTargets[iBest].m_fScore = 0.0f;
  }
}

bool EMeshEntity::GetHeadTarget(EVec3& vOut) {
  if (!GetEntityFlag(ENTITY_LOOKATINTERESTINGTHINGS)) return false;
  if (!GetEntityFlag(ENTITY_FIXEDLOOKTARGET)) SetLookTarget(FindNextInterestingTarget(nullptr, nullptr, 0), false, false);
  if (!m_pLookTarget) return false;
  vOut = m_pLookTarget->GetPosition() + m_pLookTarget->GetLookTargetOffset();
  return true;
}

EMat4 EMeshEntity::GetLookDirMatrix() {
  EMat4 m;
  if (!m_pMesh) {
    m.LoadIdentity();
    return m;
  }
  if (m_pHeadJoint)
    return m_pMesh->GetInclusiveTrans().Mul(m_pHeadJoint->m_mPose.Mul(m_qLookAtParams.Conjugate().ToMatrix()));
  return m_pMesh->GetInclusiveTrans();
}

EVec3 EMeshEntity::GetHeadPos() {
  if (!m_pHeadJoint || !m_pMesh) return EVec3(0.0f, 0.0f, 0.0f);
  return m_pMesh->GetInclusiveTrans().MulVec3(m_pHeadJoint->m_mPose.GetTranslation());
}

EVec3 EMeshEntity::StepHeadAngles(const EVec3& vCurrent, const EVec3& vWanted, const EVec3& vLimits, float dt) {
  const float k = std::min(1.0f, dt * meshentitylook::kHEAD_RATE);
  const float fMinimum = dt * meshentitylook::kHEAD_FLOOR_SPEED;
  float aCur[3] = {vCurrent.x, vCurrent.y, vCurrent.z};
  const float aWanted[3] = {vWanted.x, vWanted.y, vWanted.z};
  const float aLimits[3] = {vLimits.x, vLimits.y, vLimits.z};
  for (int i = 0; i < 3; ++i) {
    const float fDiff = aWanted[i] - aCur[i];
    float fStep = fDiff * k;
    if (fabsf(fStep) < fMinimum) fStep = PIN(fDiff, -fMinimum, fMinimum);
    aCur[i] = PIN(aCur[i] + fStep, -aLimits[i], aLimits[i]);
  }
  return EVec3(aCur[0], aCur[1], aCur[2]);
}

void EMeshEntity::UpdateHead(float) {
  if (!m_pMesh || !m_pHeadJoint) return;
  EVec3 vWanted(0.0f, 0.0f, 0.0f);
  EVec3 vTarget;
  if (GetHeadTarget(vTarget)) {
    const EVec3 J = m_pHeadJoint->m_mPose.GetTranslation();
    const EVec3 L = m_pMesh->GetInclusiveTrans().Inverse().MulVec3(vTarget);
    if (L.z - J.z > 0.0f) {
      EVec3 vDir = IsMeshBackwards() ? J - L : L - J;
      vDir.Normalize();
      vWanted = vDir.CartesianToEuler();
    }
  }
  const EVec3 vZero(0.0f, 0.0f, 0.0f);
  if (vWanted == vZero && m_vHeadAngles == vZero) return;

  if (gGameApp && gGameApp->m_DebugHooks.m_bDebugLookAt && gDebugLine) {
    const EMat4 mJoint = m_pMesh->GetInclusiveTrans().Mul(m_pHeadJoint->m_mPose);
    const EVec3 vFrom = mJoint.GetTranslation();
    const EMat4 mWanted = EQuat(vWanted).ToMatrix();
    const EVec3 vWantedZ(mWanted.m[8], mWanted.m[9], mWanted.m[10]);
    gDebugLine->AddArrow(vFrom, vFrom + vWantedZ * meshentitylook::kDEBUG_ARROW, &cg_vBlue, 0);
    gDebugLine->AddArrow(vFrom, vFrom + EVec3(mJoint.m[0], mJoint.m[1], mJoint.m[2]) * meshentitylook::kDEBUG_ARROW,
                         &cg_vRed, 0);
    gDebugLine->AddArrow(vFrom, vFrom + EVec3(mJoint.m[8], mJoint.m[9], mJoint.m[10]) * meshentitylook::kDEBUG_ARROW,
                         &cg_vBlue, 0);
    gDebugLine->AddArrow(vFrom, vFrom + EVec3(mJoint.m[4], mJoint.m[5], mJoint.m[6]) * meshentitylook::kDEBUG_ARROW,
                         &cg_vGreen, 0);
  }

  const EVec3 vLimits(2.0f * m_aHeadConstraint[0], 2.0f * m_aHeadConstraint[1], 2.0f * m_aHeadConstraint[2]);
  float dt = 0.0f;
  if (gGameApp) dt = GetEntityFlag(ENTITY_FULL_SIM_SPEED) ? gGameApp->GetRealDeltaTime() : gGameApp->GetSimDeltaTime();
  m_vHeadAngles = StepHeadAngles(m_vHeadAngles, vWanted, vLimits, dt);

  const EQuat q(m_vHeadAngles);
  const EQuat qJoint = m_qLookAtParams.InvTransform(q);
  const EQuat R = m_pHeadJoint->m_qLocalRotation;
  m_pHeadJoint->UpdatePose(R * qJoint);
  m_pHeadJoint->m_qLocalRotation = R;
  if (ESkeleton* pSkeleton = m_pHeadJoint->GetSkeleton()) pSkeleton->SetAnimsChanged(true);

  if (gGameApp && gGameApp->GetPlayer() == this) {
    if (ESkeleton* pHat = m_pMesh->FindSkeleton("hatRoot_1")) pHat->Transform();
  }
}
