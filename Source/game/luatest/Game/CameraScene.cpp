// The camera's target frame and relative coordinates, its collision queries
// against the level, and the tracking of the target's ground and up vector.
#include <cmath>

#include "Game/Camera.h"
#include "Game/CameraSpring.h"
#include "Game/GameApp.h"
#include "Game/LadderControlHandler.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/CollisionQuery.h"
#include "VERirezo/CollisionTree.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Joint.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/Physics.h"
#include "VERirezo/Scene.h"

namespace CameraScene {
const float kUNSET = 1e9f;
inline bool IsSet(const EVec3& v) { return v.x != kUNSET; }
inline EVec3 Unset() { return EVec3(kUNSET, kUNSET, kUNSET); }

const EDebugHooks& Hooks() {
  static const EDebugHooks s_Defaults;
  return gGameApp ? gGameApp->m_DebugHooks : s_Defaults;
}

// Round half away from zero.
float RoundAway(float f) { return f < 0.0f ? -floorf(-f + 0.5f) : floorf(f + 0.5f); }
}  // namespace CameraScene

ECamera::SceneCollisionFn ECamera::sm_pfnSceneCollision = &ECamera::DefaultSceneCollision;

bool ECamera::DefaultSceneCollision(ECollide& query) {
  ESceneManager* pScenes = gGameApp ? gGameApp->GetSceneManager() : nullptr;
  EDomain* pDomain = pScenes ? pScenes->GetActiveDomain() : nullptr;
  ECollisionManager* pCM = pDomain ? pDomain->GetCollisionManager() : nullptr;
  return pCM && pCM->CheckCollision(query);
}

// ---- Target frame and conversions ----

void ECamera::SetTargetFrameRotationFlag(bool bOn) {
  m_byFrameFlags = bOn ? (m_byFrameFlags | kFRAME_Rotation) : (m_byFrameFlags & ~kFRAME_Rotation);
}

EMat4 ECamera::GetTargetFrameRotation() const { return GetTargetFrameRotationFlag() ? m_mWorldToTargetFrame : EMat4(); }

EVec3 ECamera::QuaternionToRelativeEuler(const EQuat& q) const {
  return (EMat4(q) * m_mWorldToTargetFrame).ToEuler().AsVec3();
}

EQuat ECamera::RelativeEulerToQuaternion(const EVec3& e) const {
  return EQuat(MatrixRotateEuler(EEuler(e)) * m_mTargetFrame);
}

EVec3 ECamera::CartesianToRelativeEuler(const EVec3& v) const {
  return (GetTargetFrameRotationFlag() ? m_mWorldToTargetFrame.Mul3Vec3(v) : v).CartesianToEuler();
}

EVec3 ECamera::RelativeEulerToCartesian(const EVec3& e) const {
  const EVec3 d = e.EulerToCartesian();
  return GetTargetFrameRotationFlag() ? m_mTargetFrame.Mul3Vec3(d) : d;
}

EVec3 ECamera::CartesianToRelativeCartesian(const EVec3& v) const {
  return GetTargetFrameRotationFlag() ? m_mWorldToTargetFrame.Mul3Vec3(v) : v;
}

EVec3 ECamera::RelativeCartesianToCartesian(const EVec3& v) const {
  return GetTargetFrameRotationFlag() ? m_mTargetFrame.Mul3Vec3(v) : v;
}

EVec3 ECamera::CartesianToRelativeSpherical(const EVec3& v) const {
  return CartesianToRelativeCartesian(v).CartesianToSpherical();
}

EVec3 ECamera::RelativeSphericalToCartesian(const EVec3& s) const {
  return RelativeCartesianToCartesian(s.SphericalToCartesian());
}

EVec3 ECamera::CartesianToRelativeCylindric(const EVec3& v) const {
  return CartesianToRelativeCartesian(v).CartesianToCylindric();
}

EVec3 ECamera::RelativeCylindricToCartesian(const EVec3& c) const {
  return RelativeCartesianToCartesian(c.CylindricToCartesian());
}

EQuat ECamera::CartesianToQuaternion(const EVec3& v) const {
  EQuat q;
  q.FromCartesian(CartesianToRelativeCartesian(v).SafeGetNormal());
  return GetTargetFrameRotationFlag() ? EQuat(m_mTargetFrame) * q : q;
}

void ECamera::CameraLookAt(const EVec3& vPoint) {
  const EQuat q = CartesianToQuaternion(vPoint - GetPosition()).InterpretAsForward(GetTargetUpVector());
  SetRotationQuat(q);
  m_qDesiredRotation = q;
}

// ---- Entities ----

EVec3 ECamera::getEntityPosition(EMeshEntity* pEntity, bool bOnGround) {
  if (!pEntity) return EVec3(0.0f, 0.0f, 0.0f);
  EVec3 p = pEntity->GetPosition();
  if ((m_byTargetFlags & kTARGET_UseJoint) && pEntity->GetMesh()) {
    if (EJoint* pJoint = pEntity->GetMesh()->FindJoint(m_szPrimaryTargetJoint))
      p = pEntity->GetMesh()->GetJointWorldPos(pJoint);
  }
  if (bOnGround) {
    EVec3 rel = CartesianToRelativeCartesian(p);
    rel.y = CartesianToRelativeCartesian(m_vGroundPosition).y;
    p = RelativeCartesianToCartesian(rel);
  }
  return p;
}

EQuat ECamera::getEntityRotation(EMeshEntity* pEntity) const {
  if (!pEntity || !pEntity->GetMesh()) return EQuat();
  return EQuat(pEntity->GetMesh()->GetRotationMatrix());
}

// ---- Scene queries ----

void ECamera::ClearCollisionHistory() {
  for (int i = 0; i < kCOLLISION_HISTORY; ++i) {
    sm_pInsideSphereHistory[i] = ESphere(CameraScene::Unset(), 0.0f);
    sm_pvOutsidePointHistory[i] = CameraScene::Unset();
  }
  sm_iInsideSphereIndex = sm_iOutsidePointIndex = 0;
}

bool ECamera::TestSceneCollision(const EVec3& vFrom, const EVec3& vTo, float fRadius, uint32_t dwOptions,
                                 EVec3* pOutPoint, EVec3* pOutNormal, ETri3* pOutTriangle) {
  uint32_t dwFlags = kCOLLIDEFLAG_Physical | kCOLLIDEFLAG_Camera | kCOLLIDEFLAG_IgnoreSpheres |
                     kCOLLIDEFLAG_IgnoreTrapeze;
  if (dwOptions & kSCENE_NoBackfaceCull) dwFlags |= kCOLLIDEFLAG_NoBackfaceCull;
  if (!(dwOptions & kSCENE_Always)) dwFlags &= ~(uint32_t)kCOLLIDEFLAG_Physical;
  if (!(dwOptions & kSCENE_Entities)) dwFlags |= kCOLLIDEFLAG_IgnoreEntities;
  if (dwOptions & kSCENE_Terrain)
    dwFlags = (dwFlags & ~(uint32_t)(kCOLLIDEFLAG_Physical | kCOLLIDEFLAG_Camera)) | kCOLLIDEFLAG_Terrain;
  if (ECollisionTree::sm_iGlobalCameraPolyCount == 0 && !(dwOptions & kSCENE_Always)) return false;

  EVec3 vDelta = vTo - vFrom;
  EVec3 vStart = vFrom;
  EVec3 vFirstDir(0.0f, 0.0f, 0.0f);
  bool bHit = false;
  ECollide query(nullptr);
  for (int i = 0; i < 7; ++i) {
    query = ECollide(nullptr);
    query.InitSegment(vStart, vStart + vDelta);
    query.dwFlags = dwFlags | (vDelta == EVec3(0.0f, 0.0f, 0.0f) ? (uint32_t)kCOLLIDEFLAG_CheckPosition : 0u);
    query.fRadius = fRadius;
    query.fPushDist = 0.1f;
    if (i == 0) vFirstDir = query.vDir;
    ++m_iCollisionTests;
    const bool bThisHit = sm_pfnSceneCollision(query);
    if (pOutPoint && (bThisHit || bHit)) *pOutPoint = query.vEnd;
    if (!bThisHit) break;
    bHit = true;
    if (pOutNormal) *pOutNormal = query.vNormal;
    if (pOutTriangle) *pOutTriangle = query.GetCollidePoly();
    if (!(dwOptions & kSCENE_Slide)) break;
    vDelta -= query.vEnd - vStart;
    vStart = query.vEnd;
    vDelta -= query.vNormal * vDelta.Dot(query.vNormal);
    const float fLen = vDelta.Length();
    if (fLen < 0.00001f || (vDelta * (1.0f / fLen)).Dot(vFirstDir) < 0.15f) break;
  }
  return bHit;
}

bool ECamera::TestSphereInScene(const EVec3& vPoint, float fRadius) {
  if (ECollisionTree::sm_iGlobalCameraPolyCount == 0) return true;
  for (const EVec3& v : sm_pvOutsidePointHistory)
    if ((v - vPoint).LengthSquared() <= 1e-10f) return false;
  bool bInside = false, bContained = false;
  for (const ESphere& s : sm_pInsideSphereHistory) {
    const float d2 = (s.centre - vPoint).LengthSquared();
    if (d2 < s.radius * s.radius) bInside = true;
    if (s.radius >= fRadius && d2 <= (s.radius - fRadius) * (s.radius - fRadius)) bContained = true;
    if (bInside && (fRadius == 0.0f || bContained)) break;
  }
  if (!bInside) {
    EVec3 n(0.0f, 0.0f, 0.0f);
    if (!TestSceneCollision(vPoint, vPoint + EVec3(0.0f, -100000.0f, 0.0f), 0.0f, kSCENE_NoBackfaceCull, nullptr,
                            &n) ||
        n.y < 0.0f) {
      sm_pvOutsidePointHistory[sm_iOutsidePointIndex] = vPoint;
      sm_iOutsidePointIndex = (sm_iOutsidePointIndex + 1) % kCOLLISION_HISTORY;
      return false;
    }
  }
  if (fRadius == 0.0f || bContained) return true;
  if (TestSceneCollision(vPoint, vPoint, fRadius, kSCENE_NoBackfaceCull)) return false;
  sm_pInsideSphereHistory[sm_iInsideSphereIndex] = ESphere(vPoint, fRadius);
  sm_iInsideSphereIndex = (sm_iInsideSphereIndex + 1) % kCOLLISION_HISTORY;
  return true;
}

EVec3 ECamera::calculateRaytraceBoundedPosition(const EVec3& vFrom, const EVec3& vTo, float fRadius,
                                                uint32_t dwOptions) {
  EVec3 p;
  return TestSceneCollision(vFrom, vTo, fRadius, dwOptions, &p) ? p : CameraScene::Unset();
}

EVec3 ECamera::findValidPositionAlongSegment(const EVec3& vFrom, const EVec3& vTo, float fRadius, uint32_t dwOptions) {
  for (int i = 0; i <= 5; ++i) {
    const EVec3 p = vFrom + (vTo - vFrom) * ((float)i / 5.0f);
    if (!TestSphereInScene(p, fRadius)) continue;
    EVec3 hit;
    return TestSceneCollision(p, vFrom, fRadius, dwOptions, &hit) ? hit : p;
  }
  return CameraScene::Unset();
}

EVec3 ECamera::findGroundPosition(const EVec3& vPoint, uint32_t dwOptions, EVec3* pOutNormal) {
  const EVec3 top = vPoint + RelativeCartesianToCartesian(EVec3(0.0f, 5000.0f, 0.0f));
  const EVec3 p = findValidPositionAlongSegment(vPoint, top, 0.0f, 0);
  if (!CameraScene::IsSet(p)) return p;
  EVec3 hit, n;
  if (!TestSceneCollision(p, p + RelativeCartesianToCartesian(EVec3(0.0f, -100000.0f, 0.0f)), 0.0f, dwOptions, &hit,
                          &n))
    return CameraScene::Unset();
  if (pOutNormal) *pOutNormal = n;
  return hit;
}

// ---- Ground reference ----

void ECamera::updateGroundPosition(const EVec3& vTargetPos, bool bAerial, float fStepMs) {
  if (!m_pPrimaryTarget) return;
  const float dt = fStepMs * 0.06f;
  const float hT = CartesianToRelativeCartesian(vTargetPos).y;
  const float hG = CartesianToRelativeCartesian(m_vGroundPosition).y;
  const float hR = CartesianToRelativeCartesian(m_vTargetGround).y;
  const float hA = CartesianToRelativeCartesian(m_vAerialGround).y;
  const bool bFollow = hR >= hT || (m_byTargetFlags & kTARGET_UpwardTracking);
  if (bAerial && !bFollow) {
    if (hA > hR) m_vTargetGround = m_vAerialGround;
  } else {
    m_vTargetGround = vTargetPos;
  }
  EVec3 vGoal = m_vTargetGround;
  if (m_byTargetFlags & kTARGET_Floating) {
    EVec3 rel = CartesianToRelativeCartesian(vGoal);
    rel.y = CartesianToRelativeCartesian(m_vFloatingTarget).y;
    vGoal = RelativeCartesianToCartesian(rel);
  }
  if (m_eType == kCAMERA_CHASE) vGoal += RelativeCartesianToCartesian(EVec3(0.0f, m_fGroundOffset, 0.0f));
  if (!CameraScene::Hooks().CameraGroundSpring) {
    m_vGroundPosition = vGoal;
    m_vGroundVelocity = EVec3(0.0f, 0.0f, 0.0f);
    return;
  }
  float k = hG - 0.00001f > hR ? 0.2f : 0.03f;
  if (m_byTargetFlags & kTARGET_UpwardTrackingFast) k = 0.4f;
  m_vGroundVelocity += GetDampedSpringAccel<EVec3>(m_vGroundPosition - vGoal, m_vGroundVelocity, dt, k, 1.0f);
  m_vGroundPosition += m_vGroundVelocity * dt;
  const EVec3 d = m_vGroundPosition - vGoal;
  const float fLen = d.Length();
  if (fLen > 800.0f) m_vGroundPosition = vGoal + d * (800.0f / fLen);
}

// ---- Up vector ----

EVec3 ECamera::getDesiredUpVector() const {
  const EVec3 kUP(0.0f, 1.0f, 0.0f);
  const EEntity* pEntity = m_pPrimaryTarget;
  if (!pEntity || !pEntity->GetPhysics()) pEntity = gGameApp ? gGameApp->GetPlayer() : nullptr;
  if (!pEntity || !pEntity->GetPhysics()) return kUP;
  EVec3 up = pEntity->GetPhysics()->GetGravityDir();
  if (up == EVec3(0.0f, 0.0f, 0.0f)) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Camera's target has a zero up vector");
    up = kUP;
  }
  if (gGameApp && pEntity == gGameApp->GetPlayer() && gGameApp->GetControlHandlerType() == kCONTROL_LADDER) {
    const EControlHandler* pLadder = gGameApp->GetControlHandler(kCONTROL_LADDER);
    if (pLadder) up = static_cast<const ELadderControlHandler*>(pLadder)->GetOldDesiredUp();
  }
  if (m_pAttachEntity && m_pAttachEntity->GetPhysics() && m_eType != kCAMERA_FLY) {
    const bool bBubbleCurrent = (m_byBubbleFlags & kBUBBLE_Mode) && m_eType == kCAMERA_CHASE && isCurrentCamera();
    if (!bBubbleCurrent) up = m_pAttachEntity->GetPhysics()->GetGravityDir();
  }
  return up;
}

void ECamera::setTargetUpVector(const EVec3& vUp, const EVec3& vReference) {
  if (vUp == GetTargetUpVector()) return;
  EVec3 right, back;
  if (fabsf(vReference.Dot(EVec3(1.0f, 0.0f, 0.0f))) < 0.5f) {
    back = EVec3(1.0f, 0.0f, 0.0f).Cross(vUp);
    back.Normalize();
    right = vUp.Cross(back);
    right.Normalize();
  } else {
    right = vUp.Cross(EVec3(0.0f, 0.0f, 1.0f));
    right.Normalize();
    back = right.Cross(vUp);
    back.Normalize();
  }
  m_mTargetFrame = EMat4(right, vUp, back, EVec3(0.0f, 0.0f, 0.0f));
  m_mWorldToTargetFrame = m_mTargetFrame.Transpose();
  SetTargetFrameRotationFlag(m_mWorldToTargetFrame != EMat4());
}

bool ECamera::interpolateTargetUpVector(const EVec3& vDesired, float fStepMs) {
  const float dt = fStepMs * 0.06f;
  const EVec3 cur = GetTargetUpVector();
  const EVec4 axisAngle = ShortestArcQuaternion(cur, vDesired).ToAxisAngle();
  const float fAngle = axisAngle.w;
  EVec3 vNew;
  if (fabsf(fAngle) > 0.1f) {
    m_fTargetUpAngularVelocity +=
        GetDampedSpringAccel<float>(-fabsf(fAngle), m_fTargetUpAngularVelocity, dt, 0.04f, 1.0f);
    const float fStep = (fAngle < 0.0f ? -1.0f : 1.0f) * m_fTargetUpAngularVelocity * dt;
    vNew = EQuat(EVec4(axisAngle.x, axisAngle.y, axisAngle.z, fStep)).Transform(cur);
  } else {
    vNew = vDesired;
    m_fTargetUpAngularVelocity = 0.0f;
  }
  const EVec3 d = vNew - GetTargetUpVector();
  if (fabsf(d.x) <= 0.0005f && fabsf(d.y) <= 0.0005f && fabsf(d.z) <= 0.0005f) return false;
  EVec3 sph = GetSphericalPosition();
  setTargetUpVector(vNew, vDesired);
  if (m_eType == kCAMERA_CHASE) {
    sph.y = GetSphericalPosition().y;
    SetPosition(GetTargetPosition(true) + RelativeSphericalToCartesian(sph));
    m_fHeldAzimuth = sph.y;
    m_fAltitudeInputTimer = 120.0f;
  }
  return true;
}

// ---- Surface gradient ----

EVec2 ECamera::calculateSurfaceGradient() {
  const EDebugHooks& hooks = CameraScene::Hooks();
  const EVec2 kZERO(0.0f, 0.0f);
  if (!hooks.AutoSurfaceGradient && !(hooks.CameraSurfaceGradient && ECollisionTree::sm_iGlobalTerrainPolyCount))
    return kZERO;
  const EVec3 up = GetTargetUpVector();
  if (fabsf(up.x) > 0.00001f || fabsf(up.y - 1.0f) > 0.00001f || fabsf(up.z) > 0.00001f) return kZERO;

  // Slots never filled must not match a grid point: zero would pass for
  // flat ground at the origin.
  static bool s_bCacheCleared = false;
  if (!s_bCacheCleared) {
    for (EVec3& g : sm_pvSurfaceGradientGroundHistory) g = CameraScene::Unset();
    s_bCacheCleared = true;
  }

  const EVec3 t = GetTargetPosition(true);
  const float fFirstX = ceilf(CameraScene::RoundAway(t.x - 768.0f) / 128.0f) * 128.0f - 128.0f;
  const float fFirstZ = ceilf(CameraScene::RoundAway(t.z - 768.0f) / 128.0f) * 128.0f - 128.0f;
  EVec2 vSum(0.0f, 0.0f);
  float fWeights = 0.0f;
  for (int i = 0; i <= 12; ++i) {
    for (int j = 0; j <= 12; ++j) {
      const EVec3 sample(fFirstX + 128.0f * (float)i, t.y, fFirstZ + 128.0f * (float)j);
      const float dx = sample.x - t.x, dz = sample.z - t.z;
      float w = expf(-sqrtf(dx * dx + dz * dz) / 300.0f);
      w = w < 0.0f ? 0.0f : (w > 1.0f ? 1.0f : w);
      EVec3 ground;
      EVec2 gradient;
      bool bFound = false;
      if (!hooks.DebugSurfaceGradient) {
        for (int k = 1; k < kGRADIENT_HISTORY && !bFound; ++k) {
          const int slot = (sm_iSurfaceGradientIndex - k + kGRADIENT_HISTORY) % kGRADIENT_HISTORY;
          const EVec3& g = sm_pvSurfaceGradientGroundHistory[slot];
          if (g.x == sample.x && g.z == sample.z) {
            ground = g;
            gradient = sm_pvSurfaceGradientResultHistory[slot];
            bFound = true;
          }
        }
      }
      if (!bFound) {
        EVec3 n(0.0f, 1.0f, 0.0f);
        ground = findGroundPosition(sample, hooks.AutoSurfaceGradient ? 0u : (uint32_t)kSCENE_Terrain, &n);
        if (CameraScene::IsSet(ground)) {
          gradient.x = n.x == 0.0f ? 0.0f : SafeDivide(-n.x, n.y);
          gradient.y = n.z == 0.0f ? 0.0f : SafeDivide(-n.z, n.y);
          gradient.x = gradient.x < -2.0f ? -2.0f : (gradient.x > 2.0f ? 2.0f : gradient.x);
          gradient.y = gradient.y < -2.0f ? -2.0f : (gradient.y > 2.0f ? 2.0f : gradient.y);
        } else {
          ground = EVec3(sample.x, CameraScene::kUNSET, sample.z);
          gradient = EVec2(CameraScene::kUNSET, CameraScene::kUNSET);
        }
        if (!hooks.DebugSurfaceGradient) {
          sm_pvSurfaceGradientGroundHistory[sm_iSurfaceGradientIndex] = ground;
          sm_pvSurfaceGradientResultHistory[sm_iSurfaceGradientIndex] = gradient;
          sm_iSurfaceGradientIndex = (sm_iSurfaceGradientIndex + 1) % kGRADIENT_HISTORY;
        }
      }
      if (gradient.x == CameraScene::kUNSET) continue;
      const float h = fabsf(ground.y - t.y);
      if (h > 1200.0f) continue;
      if (h > 600.0f) w = w * (h - 600.0f) / 600.0f;
      vSum += gradient * w;
      fWeights += w;
    }
  }
  return vSum * (1.0f / (fWeights > 16.0f ? fWeights : 16.0f));
}
