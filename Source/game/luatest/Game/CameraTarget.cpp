// What the camera aims at: its targets, the aim point and the entity it
// rides.
#include <cstdio>

#include "Game/Camera.h"
#include "Game/GameApp.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/Physics.h"

namespace CameraTarget {
// Physics states that keep a target on something; the state word holds 32.
const int kGROUNDED_STATES[] = {0 /*ONGROUND*/, 6 /*HANGING*/, 5 /*DROPDOWNLEDGE*/, 7 /*MOUNTINGBALL*/,
                                28 /*ONLADDER*/, 30 /*ONPOLE*/, 25 /*ONTRAPEZE*/};
const int kSUPPORTED_STATES[] = {18 /*ONCANTILEVER*/, 45, 52};

bool TestState(const EEntity* pEntity, int iState) {
  if (!pEntity->GetPhysics() || iState < 0 || iState >= 32) return false;
  return pEntity->GetPhysicsStateFlag(iState);
}
}  // namespace CameraTarget

void ECamera::SetPrimaryTargetJoint(const char* szJoint) {
  if (!szJoint) {
    setTargetFlag(kTARGET_UseJoint, false);
    return;
  }
  snprintf(m_szPrimaryTargetJoint, sizeof(m_szPrimaryTargetJoint), "%s", szJoint);
  setTargetFlag(kTARGET_UseJoint, true);
}

void ECamera::SetUpwardTracking(bool bUpward, bool bFast) {
  setTargetFlag(kTARGET_UpwardTracking, bUpward);
  setTargetFlag(kTARGET_UpwardTrackingFast, bFast);
}

void ECamera::SetThoughtBubbleMode(bool bOn) {
  m_byBubbleFlags = (m_byBubbleFlags & ~(kBUBBLE_Mode | kBUBBLE_Previous)) |
                    ((m_byBubbleFlags & kBUBBLE_Mode) ? kBUBBLE_Previous : 0) | (bOn ? kBUBBLE_Mode : 0);
}

EVec3 ECamera::GetTargetOffset() const {
  EVec3 v(0.0f, 0.0f, 0.0f);
  if (!(m_byTargetFlags & kTARGET_Fixed)) v.y += GetTargetHeight();
  if (m_eType == kCAMERA_CHASE) v += m_vTargetOffsetDrift;
  return v;
}

EVec3 ECamera::GetTargetPosition(bool bOnGround) {
  EVec3 p;
  if (m_byTargetFlags & kTARGET_Fixed) {
    p = m_vTargetPosition;
  } else {
    p = getEntityPosition(m_pPrimaryTarget, bOnGround);
    if (m_pSecondaryTarget && (m_dwSecondaryFlags & 2))
      p += (getEntityPosition(m_pSecondaryTarget, false) - p) * m_fDistanceAdjustParam;
  }
  return p + RelativeCartesianToCartesian(GetTargetOffset());
}

bool ECamera::GetTargetAerial() const {
  if (!m_pPrimaryTarget) return false;
  for (int s : CameraTarget::kGROUNDED_STATES)
    if (CameraTarget::TestState(m_pPrimaryTarget, s)) return false;
  for (int s : CameraTarget::kSUPPORTED_STATES)
    if (CameraTarget::TestState(m_pPrimaryTarget, s)) return false;
  return true;
}

void ECamera::SetTargetHeight(float fHeight) {
  m_vTargetOffsetDrift.y += GetTargetHeight() - fHeight;
  m_fTargetHeight = fHeight;
}

EVec3 ECamera::GetSphericalPosition() { return CartesianToRelativeSpherical(GetPosition() - GetTargetPosition(true)); }

void ECamera::applyKeepCamera(const EVec3& vOld, bool bKeepCamera) {
  if (bKeepCamera)
    m_vTargetOffsetDrift += CartesianToRelativeCartesian(vOld - GetTargetPosition(true));
  else
    MoveToIdeal();
}

void ECamera::SetPrimaryTarget(EMeshEntity* pEntity, bool bKeepCamera) {
  if (pEntity == m_pPrimaryTarget) return;
  const EVec3 vOld = GetTargetPosition(true);
  EMeshEntity* pOldTarget = m_pPrimaryTarget;
  m_pPrimaryTarget = pEntity;
  if (pEntity) setTargetFlag(kTARGET_Fixed, false);
  const bool bPlayer = pEntity && gGameApp && gGameApp->GetPlayer() == pEntity;
  SetPrimaryTargetJoint(bPlayer ? "focus_1" : nullptr);
  if (pEntity) applyKeepCamera(vOld, bKeepCamera);
  // A chase camera that loses its target keeps looking at where it was.
  if (m_eType == kCAMERA_CHASE && !pEntity && pOldTarget) SetFixedTarget(vOld, false);
  settleGround();
}

void ECamera::SetSecondaryTarget(EMeshEntity* pEntity, uint32_t dwFlags, bool bKeepCamera) {
  if (pEntity == m_pSecondaryTarget && dwFlags == m_dwSecondaryFlags) return;
  if (pEntity && dwFlags == 0) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Attempting to set a secondary target with zero flags\n");
    return;
  }
  const EVec3 vOld = GetTargetPosition(true);
  m_pSecondaryTarget = pEntity;
  m_dwSecondaryFlags = dwFlags;
  applyKeepCamera(vOld, bKeepCamera);
}

void ECamera::SetFixedTarget(const EVec3& vPoint, bool bKeepCamera) {
  const EVec3 vOld = GetTargetPosition(true);
  SetPrimaryTarget(nullptr, false);
  SetSecondaryTarget(nullptr, 1, false);
  setTargetFlag(kTARGET_Fixed, true);
  m_vTargetPosition = vPoint;
  m_qTargetRotation = EQuat();
  applyKeepCamera(vOld, bKeepCamera);
}

void ECamera::SetFloatingTarget(const EVec3& vPoint) {
  setTargetFlag(kTARGET_Floating, true);
  m_vFloatingTarget = vPoint;
}

void ECamera::AttachToEntity(EMeshEntity* pEntity, const EVec3& vOffset, const EQuat& qRotation, bool bKeepUp) {
  m_pAttachEntity = pEntity;
  m_vAttachOffset = vOffset;
  m_qAttachRotation = qRotation;
  m_byAttachFlags = bKeepUp ? (m_byAttachFlags | 1) : (m_byAttachFlags & ~1);
  if (pEntity && pEntity->GetPhysics()) {
    const EVec3 up = getDesiredUpVector();
    setTargetUpVector(up, up);
  }
}
