// The camera's mode switch, its per-frame update in fixed slices, and the
// class-wide camera state.
#include <cstring>
#include <initializer_list>

#include "Game/Camera.h"
#include "Game/CameraSpring.h"
#include "Game/GameApp.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/Scene.h"
#include "VERirezo/Visibility.h"
#include "TWMath/Octree.h"

namespace CameraUpdate {
const float kUNSET = 1e9f;
const char* const kTYPE_NAMES[] = {"Fly", "Script", "Chase", "Rail", "Map", "Sphere"};
const int kPHYSICSSTATE_MOUNTINGBALL = 7;
const int kPHYSICSSTATE_RIDINGBALL = 8;
const int kPHYSICSSTATE_PSIFLOAT = 14;
}  // namespace CameraUpdate

bool ECamera::sm_bCameraShakeEnable = true;
float ECamera::sm_pfPhysicsStateRadius[ECamera::kNUM_PHYSICS_STATES];
float ECamera::sm_pfPhysicsStateAltitude[ECamera::kNUM_PHYSICS_STATES];
ESphere ECamera::sm_pInsideSphereHistory[ECamera::kCOLLISION_HISTORY];
int ECamera::sm_iInsideSphereIndex = 0;
EVec3 ECamera::sm_pvOutsidePointHistory[ECamera::kCOLLISION_HISTORY];
int ECamera::sm_iOutsidePointIndex = 0;
EVec3 ECamera::sm_pvSurfaceGradientGroundHistory[ECamera::kGRADIENT_HISTORY];
EVec2 ECamera::sm_pvSurfaceGradientResultHistory[ECamera::kGRADIENT_HISTORY];
int ECamera::sm_iSurfaceGradientIndex = 0;
ECamera* ECamera::sm_pLockedVisCamera = nullptr;
ECamera::ModeUpdateHook ECamera::sm_pfnModeUpdateHook = nullptr;

void ECamera::initTrackingState() {
  using CameraUpdate::kUNSET;
  const EVec3 zero(0.0f, 0.0f, 0.0f);
  const EVec3 unset(kUNSET, kUNSET, kUNSET);
  m_iPreviousType = -1;
  m_vPreviousPosition = unset;
  m_vVelocity = zero;
  m_vRenderPosition = GetPosition();
  m_pAttachEntity = nullptr;
  m_vAttachOffset = zero;
  m_qAttachRotation = EQuat();
  m_byAttachFlags = 1;
  m_byFrameFlags = 0;
  m_mWorldToTargetFrame = EMat4();
  m_mTargetFrame = EMat4();
  m_fTargetUpAngularVelocity = 0.0f;
  m_ShakeRandom = FShake{0.0f, 0.0f, 0.0f, 0.0f, zero, 0.0f};
  m_ShakePeriodic = m_ShakeRandom;
  m_vShakeSpringOffsetA = m_vShakeSpringVelocityA = zero;
  m_vShakeSpringOffsetB = m_vShakeSpringVelocityB = zero;
  m_fPrimaryTargetAlpha = 1.0f;
  m_BlendCurve = EInterpolator();
  m_fInterpFrames = m_fInterpFrame = 0.0f;
  m_vBlendStartPosition = zero;
  m_qBlendStartRotation = EQuat();
  m_pPrimaryTarget = m_pSecondaryTarget = m_pTertiaryTarget = nullptr;
  m_szPrimaryTargetJoint[0] = '\0';
  m_byTargetFlags = 0;
  m_vFloatingTarget = m_vGroundPosition = m_vGroundVelocity = zero;
  m_vAerialGround = m_vTargetGround = m_vTargetPosition = zero;
  m_qTargetRotation = EQuat();
  m_vTargetVelocity = zero;
  m_iCollisionTests = 0;
  m_hVisibilityLeaf = -1;
  m_VisibilityLeafCube = ESSECube(zero, 0.0f);
  m_byCameraFlags = kCAMFLAG_DiscontinuousUpdate | kCAMFLAG_LastUpdateDiscontinuous;
  m_bInScene = false;
  m_dwScriptPathId = 0;
  m_vSphericalVelocity = zero;
  m_vBoundedTarget = unset;
  m_qDesiredRotation = EQuat();
  m_iPositionMode = 0;
  m_dwSecondaryFlags = 2;
  m_fDistanceAdjustParam = 0.5f;
  m_bySphericalFlags = 0;
  m_fTargetHeight = 150.0f;
  m_vSphericalDrift = m_vTargetOffsetDrift = zero;
  m_fVisibilityAltitudeDelta = 0.0f;
  m_byBubbleFlags = kBUBBLE_RightStick;
  m_fGroundOffset = 0.0f;
  m_vSurfaceGradient = EVec2(0.0f, 0.0f);
  m_vEuler = zero;
  m_fFieldOfView = 104.0f;
  m_fFovBlendDuration = m_fFovBlendElapsed = m_fFovBlendStart = m_fFovBlendEnd = 0.0f;
  m_FovBlendCurve = EInterpolator();
  m_fHeldAzimuth = 0.0f;
  m_fAltitudeInputTimer = 0.0f;
  m_fScriptPathElapsed = 0.0f;
  m_bScriptPathFirstStep = true;
  m_iScriptPathSegment = 0;
  m_bScriptPathTransformed = false;
  m_mScriptPathTransform = EMat4();
  m_dwRailPositionPath = m_dwRailLookPath = 0;
  m_fRailLookHeight = 150.0f;
  m_vRailSpherical = unset;
  m_fRailT = 0.0f;
  m_bFreeRotation = false;
  m_vLastSpherical = zero;
}

const char* ECamera::GetTypeName(int eType) {
  if (eType < 0 || eType > kCAMERA_SPHERE) return "";
  return CameraUpdate::kTYPE_NAMES[eType];
}

EQuat ECamera::GetRotationQuat() const { return EQuat(EMat4(m_vRight, m_vUp, -m_vView, EVec3(0.0f, 0.0f, 0.0f))); }

void ECamera::SetRotationQuat(const EQuat& q) {
  const EMat4 m(q);
  SetRotation(EVec3(m.m[0], m.m[1], m.m[2]), EVec3(m.m[4], m.m[5], m.m[6]), -EVec3(m.m[8], m.m[9], m.m[10]));
}

bool ECamera::isCurrentCamera() const { return gGameApp && gGameApp->GetCurrentCamera() == this; }

void ECamera::Init(CAMERATYPE eType) {
  m_iPreviousType = m_eType;
  m_fInterpFrames = m_fInterpFrame = 0.0f;
  switch (eType) {
    case kCAMERA_FLY: InitFlyCamera(); break;
    case kCAMERA_SCRIPT: InitScriptCamera(); break;
    case kCAMERA_CHASE: InitChaseCamera(); break;
    case kCAMERA_RAIL: InitRailCamera(); break;
    case kCAMERA_MAP: InitMapCamera(); break;
    case kCAMERA_SPHERE: InitSphereCamera(); break;
    default:
      g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "Unknown camera type in Init", false);
      return;
  }
  const EVec3 zero(0.0f, 0.0f, 0.0f);
  m_iPositionMode = 0;
  m_vVelocity = m_vSphericalVelocity = m_vSphericalDrift = zero;
  m_fVisibilityAltitudeDelta = 0.0f;
  m_dwScriptPathId = 0;
  setTargetFlag(kTARGET_Fixed | kTARGET_RotateToTarget, false);
}

// The mode initialisers and updates; the fly, script, rail and sphere
// modes live in their own files. Until a mode is filled in, a camera in it
// stays where it is put.
void ECamera::InitMapCamera() { m_eType = kCAMERA_MAP; }
void ECamera::InitChaseCamera() {
  m_eType = kCAMERA_CHASE;
  if (m_iPreviousType == kCAMERA_RAIL) {
    m_BlendCurve.Init(0.25f, 0.25f);
    m_fInterpFrames = 50.0f;
    m_fInterpFrame = 0.0f;
    m_vBlendStartPosition = GetPosition();
    m_qBlendStartRotation = GetRotationQuat();
  }
  EEntity* pPlayer = gGameApp ? gGameApp->GetPlayer() : nullptr;
  SetPrimaryTarget(pPlayer && pPlayer->IsMeshEntity() ? static_cast<EMeshEntity*>(pPlayer) : nullptr, false);
}
void ECamera::UpdateChaseCamera(const Input*, float) {}
void ECamera::UpdateMapCamera(const Input*, float) {}

void ECamera::Update(const Input* pInput, float fDeltaMs) {
  using CameraUpdate::kUNSET;
  static const EDebugHooks s_DefaultHooks;
  const EDebugHooks& hooks = gGameApp ? gGameApp->m_DebugHooks : s_DefaultHooks;
  EEntity* pPlayer = gGameApp ? gGameApp->GetPlayer() : nullptr;

  m_iCollisionTests = 0;
  if (m_eType == kCAMERA_FLY && gGameApp) fDeltaMs = gGameApp->GetRealDeltaTimeMS();

  EVec3 vTargetPos = getEntityPosition(m_pPrimaryTarget, false);
  EQuat qTargetRot = getEntityRotation(m_pPrimaryTarget);
  const bool bAerial = m_pPrimaryTarget && m_pPrimaryTarget == pPlayer && GetTargetAerial();
  if (m_pPrimaryTarget && bAerial) {
    const EVec3 g = findGroundPosition(vTargetPos, kSCENE_Always, nullptr);
    if (g.x != kUNSET) m_vAerialGround = g;
  }
  const EVec3 vStartPosition = m_vPreviousPosition;

  if (fDeltaMs > 0.00001f && m_vBoundedTarget.x != kUNSET) {
    m_vTargetVelocity = (vTargetPos - m_vTargetPosition) * (1000.0f / fDeltaMs);
    const float len = m_vTargetVelocity.Length();
    if (len > 200.0f) m_vTargetVelocity *= 200.0f / len;
  }
  const EVec3 vEntityVelocity = m_pPrimaryTarget ? m_pPrimaryTarget->GetVelocity() : EVec3(0.0f, 0.0f, 0.0f);

  if ((m_byTargetFlags & kTARGET_UpwardTracking) && !bAerial)
    setTargetFlag(kTARGET_UpwardTracking | kTARGET_UpwardTrackingFast, false);
  if ((m_byTargetFlags & kTARGET_UpwardTracking) && CartesianToRelativeCartesian(m_vTargetVelocity).y < -0.00001f &&
      CartesianToRelativeCartesian(vEntityVelocity).y < -0.00001f)
    setTargetFlag(kTARGET_UpwardTracking | kTARGET_UpwardTrackingFast, false);

  if (m_byTargetFlags & kTARGET_Floating) {
    const bool bPsiFloat = m_pPrimaryTarget && m_pPrimaryTarget->GetPhysics() &&
                           m_pPrimaryTarget->GetPhysicsStateFlag(CameraUpdate::kPHYSICSSTATE_PSIFLOAT);
    const EVec3 d = GetTargetPosition(true) - GetTargetPosition(false);
    if (!bAerial || bPsiFloat || d.LengthSquared() > 1000.0f * 1000.0f) {
      setTargetFlag(kTARGET_Floating, false);
      setTargetFlag(kTARGET_UpwardTracking, true);
    }
  }

  if (m_eType == kCAMERA_CHASE && fDeltaMs != 0.0f) m_vSurfaceGradient = calculateSurfaceGradient();

  float fRemaining = fDeltaMs < 1000.0f ? fDeltaMs : 1000.0f;
  m_byCameraFlags |= kCAMFLAG_FirstSubStep;
  const float fStepMax = hooks.CameraHighResSim ? 1.0f : 18.0f;
  while (fRemaining > 0.0f) {
    const float fStep = fRemaining < fStepMax ? fRemaining : fStepMax;
    fRemaining -= fStepMax;

    vTargetPos = getEntityPosition(m_pPrimaryTarget, false);
    qTargetRot = getEntityRotation(m_pPrimaryTarget);
    updateGroundPosition(vTargetPos, bAerial, fStep);
    m_vPreviousPosition = GetPosition();
    const bool bUpMoving = interpolateTargetUpVector(getDesiredUpVector(), fStep);
    m_byFrameFlags = bUpMoving ? (m_byFrameFlags | kFRAME_UpMoving) : (m_byFrameFlags & ~kFRAME_UpMoving);

    const bool bRide = m_pAttachEntity && m_pAttachEntity->GetPhysics() && m_eType != kCAMERA_FLY &&
                       !((m_byBubbleFlags & kBUBBLE_Mode) && m_eType == kCAMERA_CHASE && isCurrentCamera());
    if (bRide) {
      const EQuat m = getEntityRotation(m_pAttachEntity);
      SetPosition(m_pAttachEntity->GetPosition() + m.Transform(m_vAttachOffset));
      EQuat q = m * m_qAttachRotation;
      if (m_byAttachFlags & 1) q = q.InterpretAsForward(GetTargetUpVector());
      SetRotationQuat(q);
    } else if (sm_pfnModeUpdateHook) {
      sm_pfnModeUpdateHook(this, pInput, fStep);
    } else {
      switch (m_eType) {
        case kCAMERA_FLY: UpdateFlyCamera(pInput, fStep); break;
        case kCAMERA_SCRIPT: UpdateScriptCamera(pInput, fStep); break;
        case kCAMERA_CHASE: UpdateChaseCamera(pInput, fStep); break;
        case kCAMERA_RAIL: UpdateRailCamera(pInput, fStep); break;
        case kCAMERA_MAP: UpdateMapCamera(pInput, fStep); break;
        case kCAMERA_SPHERE: UpdateSphereCamera(pInput, fStep); break;
        default: g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "Unknown camera type in Update", false); break;
      }
    }
    advanceShakeSprings(fStep);
    m_byCameraFlags &= ~kCAMFLAG_FirstSubStep;
  }
  m_byCameraFlags &= ~kCAMFLAG_FirstSubStep;

  if (!(m_byTargetFlags & kTARGET_Fixed)) {
    m_vTargetPosition = vTargetPos;
    m_qTargetRotation = qTargetRot;
  }

  const float fFrames = fDeltaMs * 0.06f;
  if (m_fInterpFrames != 0.0f && fFrames != 0.0f) {
    m_fInterpFrame += fFrames;
    if (m_fInterpFrame >= m_fInterpFrames) {
      m_fInterpFrame = m_fInterpFrames = 0.0f;
    } else {
      float t = m_BlendCurve.GetPosition(m_fInterpFrame / m_fInterpFrames);
      t = t < 0.0f ? 0.0f : (t > 1.0f ? 1.0f : t);
      SetPosition(m_vBlendStartPosition + (GetPosition() - m_vBlendStartPosition) * t);
      SetRotationQuat(m_qBlendStartRotation.Slerp(GetRotationQuat(), t, true).InterpretAsForward(GetTargetUpVector()));
    }
  }

  if (m_fFovBlendDuration != 0.0f && fDeltaMs != 0.0f) {
    m_fFovBlendElapsed += fDeltaMs;
    if (m_fFovBlendElapsed > m_fFovBlendDuration) m_fFovBlendElapsed = m_fFovBlendDuration;
    m_fFieldOfView = LerpFieldOfView(m_fFovBlendStart, m_fFovBlendEnd,
                                     m_FovBlendCurve.GetPosition(m_fFovBlendElapsed / m_fFovBlendDuration));
    if (m_fFovBlendElapsed == m_fFovBlendDuration) m_fFovBlendDuration = 0.0f;
  }

  if (m_eType != kCAMERA_FLY && (m_byTargetFlags & kTARGET_RotateToTarget)) CameraLookAt(GetTargetPosition(true));

  m_vRenderPosition = GetPosition();
  if (sm_bCameraShakeEnable && m_eType != kCAMERA_FLY) m_vRenderPosition += advanceTimedShakes(fDeltaMs);
  BuildMatrices();

  m_vEuler = QuaternionToRelativeEuler(GetRotationQuat());
  setCameraFlag(kCAMFLAG_LastUpdateDiscontinuous, (m_byCameraFlags & kCAMFLAG_DiscontinuousUpdate) != 0);
  m_byCameraFlags &= ~kCAMFLAG_DiscontinuousUpdate;

  if (m_pPrimaryTarget) {
    const float fOld = m_fPrimaryTargetAlpha;
    m_fPrimaryTargetAlpha = 1.0f;
    if (m_eType == kCAMERA_CHASE) {
      const float r = GetSphericalPosition().x;
      if (m_iPositionMode == 2 || (fOld != 0.0f && r < 70.0f) || (fOld == 0.0f && r < 110.0f))
        m_fPrimaryTargetAlpha = 0.0f;
    }
  }

  if (fDeltaMs != 0.0f && (vStartPosition - GetPosition()).LengthSquared() > 0.00001f)
    m_bInScene = TestSphereInScene(GetPosition(), 0.0f);
  updateVisibilityLeaf();
}

void ECamera::updateVisibilityLeaf() {
  ESceneManager* pScenes = gGameApp ? gGameApp->GetSceneManager() : nullptr;
  EScene* pScene = pScenes ? pScenes->GetCurrentScene() : nullptr;
  EVisibilityTree* pTree = pScene ? pScene->GetVisibilityTree() : nullptr;
  if (!pTree || !pTree->GetOctree()) return;
  const EVec3 position = GetPosition();
  if (m_hVisibilityLeaf != -1 && m_VisibilityLeafCube.ContainsPoint(position)) return;
  ESSECube cube(position, 0.0f);
  const unsigned hLeaf = pTree->GetOctree()->FindNode(position, &cube);
  // An empty leaf under the camera is a fault of the level's data: it is
  // reported and the camera then sees without the tree.
  if (hLeaf == 0x7FFFFFu)
    g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "m_hVisibilityLeaf != kOCTREE_EMPTY_LEAF", true);
  SetVisibilityLeaf(hLeaf, cube);
}

void ECamera::SetFieldOfView(float fFov, float fSeconds, float fAccelSeconds, float fDecelSeconds) {
  if (fSeconds > 0.0f) {
    m_fFovBlendDuration = fSeconds * 1000.0f;
    m_fFovBlendElapsed = 0.0f;
    m_fFovBlendStart = m_fFieldOfView;
    m_fFovBlendEnd = fFov;
    m_FovBlendCurve.Init(fAccelSeconds / fSeconds, fDecelSeconds / fSeconds);
  } else {
    m_fFieldOfView = fFov;
    m_fFovBlendDuration = 0.0f;
  }
}

void ECamera::SetVisibilityLeaf(unsigned hLeaf, const ESSECube& cube) {
  // An empty leaf under the camera is possible in level geometry: it sees
  // nothing through the tree, as outside it.
  m_hVisibilityLeaf = (hLeaf == 0x7FFFFFu || hLeaf == 0xFFFFFFFFu) ? -1 : (int)hLeaf;
  m_VisibilityLeafCube = cube;
}

void ECamera::MoveToIdeal() {
  settleGround();
  if (m_eType == kCAMERA_SCRIPT) MoveScriptCameraToIdeal();
  else if (m_eType == kCAMERA_CHASE) MoveChaseCameraToIdeal();
  if (m_fInterpFrames != 0.0f) {
    float t = m_BlendCurve.GetPosition(m_fInterpFrame / m_fInterpFrames);
    t = t < 0.0f ? 0.0f : (t > 1.0f ? 1.0f : t);
    SetPosition(m_vBlendStartPosition + (GetPosition() - m_vBlendStartPosition) * t);
    SetRotationQuat(m_qBlendStartRotation.Slerp(GetRotationQuat(), t, true).InterpretAsForward(GetTargetUpVector()));
  }
}

void ECamera::settleGround() {
  updateGroundPosition(getEntityPosition(m_pPrimaryTarget, false), false, 0.0f);
  m_vAerialGround = m_vGroundPosition = m_vTargetGround;
  m_vGroundVelocity = EVec3(0.0f, 0.0f, 0.0f);
}

void ECamera::ResetMode() {
  if (m_iPositionMode == 2) {
    m_bySphericalFlags &= ~0x02;
    if (gGameApp && gGameApp->GetControlHandlerType() != kCONTROL_NONE) EControlHandler::PauseControls(false, false);
  }
  m_iPositionMode = 0;
  MoveToIdeal();
  ClearInterpFrames();
}

void ECamera::CleanupReferences() {
  EMeshEntity** const apRefs[] = {&m_pAttachEntity, &m_pPrimaryTarget, &m_pSecondaryTarget, &m_pTertiaryTarget};
  for (EMeshEntity** pp : apRefs)
    if (*pp && (*pp)->IsDead()) *pp = nullptr;
}

void ECamera::ResetStaticGlobals() {
  sm_bCameraShakeEnable = true;
  for (int i = 0; i < kNUM_PHYSICS_STATES; ++i) sm_pfPhysicsStateRadius[i] = sm_pfPhysicsStateAltitude[i] = 0.0f;
  for (int s : {CameraUpdate::kPHYSICSSTATE_MOUNTINGBALL, CameraUpdate::kPHYSICSSTATE_RIDINGBALL}) {
    sm_pfPhysicsStateRadius[s] = 855.0f;
    sm_pfPhysicsStateAltitude[s] = 22.0f;
  }
  ClearCollisionHistory();
  sm_pLockedVisCamera = nullptr;
}

void ECamera::SetPhysicsStateRadius(int eState, float fValue) {
  if (!(eState >= 0 && eState < kNUM_PHYSICS_STATES)) {
    g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "eState >= 0 && eState < PHYSICSSTATE_NUMSTATES", false);
    return;
  }
  sm_pfPhysicsStateRadius[eState] = fValue;
}

void ECamera::SetPhysicsStateAltitude(int eState, float fValue) {
  if (!(eState >= 0 && eState < kNUM_PHYSICS_STATES)) {
    g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "eState >= 0 && eState < PHYSICSSTATE_NUMSTATES", false);
    return;
  }
  sm_pfPhysicsStateAltitude[eState] = fValue;
}
