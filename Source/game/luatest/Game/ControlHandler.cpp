#include "Game/ControlHandler.h"

#include <cstdarg>
#include <cstring>
#include <strings.h>

#include "DirectX/SDLInput.h"
#include "Entity/PlayerEntity.h"
#include "Game/Camera.h"
#include "Game/GameApp.h"
#include "ScriptVM/ScriptObject.h"
#include "TWMath/Quaternion.h"
#include "TWMath/Random.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/BlendAnimController.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/Physics.h"

int EControlHandler::sm_bControlsNotRunning = 0;
int EControlHandler::sm_bControlsPaused = 0;
float EControlHandler::m_dwControlResumeTick = 0.0f;
float EControlHandler::sm_dwEnglishResumeTick = 0.0f;
float EControlHandler::m_dwMeleePressTime = 0.0f;
bool EControlHandler::sm_bFilterLeftTrigger = false;
bool EControlHandler::sm_bCanActivate = false;
EEntity* EControlHandler::m_pPsiBlastTarget = nullptr;
float EControlHandler::sm_fBufferedPressTime[12] = {-10.0f, -10.0f, -10.0f, -10.0f, -10.0f, -10.0f,
                                                    -10.0f, -10.0f, -10.0f, -10.0f, -10.0f, -10.0f};
float EControlHandler::sm_fBufferedPOVPressTime[2] = {-10.0f, -10.0f};
const char* const EControlHandler::kBlinkAnim = "anims/divuroz/generalfacial/blink.pba";

namespace ControlHandlerDetail {

// The stick reaches full magnitude this fraction before its edge (more on
// the diagonals).
const float kStickDeadEdge = 0.12f;
// A paused record's movement stick waits for the live one with this mark.
const int32_t kStickUnset = 0x7fff;

Input s_FrozenInput;

double SimTime() { return gGameApp ? gGameApp->GetSimElapsedTime() : 0.0; }

}  // namespace ControlHandlerDetail

Input& EControlHandler::GetFrozenInput() { return ControlHandlerDetail::s_FrozenInput; }

EControlHandler::EControlHandler(GameApp* pGameApp)
    : m_eType(kCONTROL_NONE),
      m_pszName(nullptr),
      m_pGameApp(pGameApp),
      m_bActivated(false),
      m_bRunWhenTimeStopped(false),
      m_eHandsState(0),
      m_iLastAction(-1),
      m_iLedgeCandidateFrame(0),
      m_eReturnType(kCONTROL_NONE),
      m_bInputTransformLocked(false),
      m_bLockZeroesInput(false),
      m_vLockedInputDir(0.0f, 0.0f, 0.0f),
      m_fBlinkTimer(0.0f),
      m_fBlinkMin(0.25f),
      m_fBlinkMax(3.0f),
      m_fBlinkChance(0.5f),
      m_fActivateTime(0.0f) {
  m_szLastAction[0] = '\0';
  EControlHandler::LevelInit();
}

EControlHandler::~EControlHandler() {}

void EControlHandler::CleanupReferences() {
  if (m_pPsiBlastTarget && m_pPsiBlastTarget->IsDead()) m_pPsiBlastTarget = nullptr;
}

void EControlHandler::LevelInit() {
  m_eHandsState = 0;
  m_fBlinkTimer = 0.0f;
  m_fBlinkMin = 0.25f;
  m_fBlinkMax = 3.0f;
  m_fBlinkChance = 0.5f;
  m_bActivated = false;
  m_fActivateTime = 0.0f;
  m_iLastAction = -1;
}

bool EControlHandler::Activate(void*) {
  if (!m_pGameApp || m_pGameApp->GetUIControlHandler() != this) {
    sm_bControlsNotRunning = 0;
    sm_bControlsPaused = 0;
  }
  m_fBlinkTimer = 2.0f;
  m_bActivated = true;
  m_iLedgeCandidateFrame = 0;
  m_mLedgeCandidate.LoadIdentity();
  m_fActivateTime = m_pGameApp ? (float)m_pGameApp->GetSimElapsedTime() : 0.0f;
  m_bInputTransformLocked = false;
  m_vLockedInputDir = EVec3(0.0f, 0.0f, 0.0f);
  return true;
}

bool EControlHandler::Deactivate() {
  m_bActivated = false;
  return true;
}

// ---- The frame ----

void EControlHandler::HandleControls(Input& in) {
  EASSERT(m_bActivated);
  if (!m_pGameApp) return;
  if (m_pGameApp->GetSimDeltaTime() == 0.0f && !m_bRunWhenTimeStopped) return;
  sm_bCanActivate = false;

  const float now = (float)m_pGameApp->GetSimElapsedTime();
  for (int i = 0; i < NUM_JOY_BUTTONS; ++i) {
    if (in.m_aButtonPressed[i]) sm_fBufferedPressTime[i] = now;
  }
  if (in.m_aPrevPOV[0] == -1) {
    if (in.m_aPOV[0] == 27000) sm_fBufferedPOVPressTime[0] = now;
    if (in.m_aPOV[0] == 9000) sm_fBufferedPOVPressTime[1] = now;
  }

  if (ECamera* pCamera = m_pGameApp->GetCurrentCamera()) pCamera->SetZLock(false);

  EPlayerEntity* pPlayer = GetOwner();
  if (sm_bControlsNotRunning) {
    if (pPlayer) pPlayer->EnableDust(false);
    return;
  }

  MaybeApplyConfusion(in);

  if (in.m_aButtonPressed[kBUTTON_B]) {
    EScriptObject* pScript = m_pGameApp->GetPlayer() ? m_pGameApp->GetPlayer()->GetScriptObject() : nullptr;
    bool bTaken = false;
    if (pScript && pScript->CallMethodf("onButtonCancel", "/b", &bTaken) && bTaken) in.m_aButtonPressed[kBUTTON_B] = 0;
  }

  if (sm_bFilterLeftTrigger) {
    if (in.m_aButtonPressed[kBUTTON_LEFTFLIPPER] || in.m_aAnalogButton[kBUTTON_LEFTFLIPPER] == 0)
      sm_bFilterLeftTrigger = false;
    if (sm_bFilterLeftTrigger) {
      in.m_aButtonPressed[kBUTTON_LEFTFLIPPER] = 0;
      in.m_aAnalogButton[kBUTTON_LEFTFLIPPER] = 0;
    }
  }

  UpdateHeadAnims();

  if (sm_bControlsPaused && m_eType != kCONTROL_SCRIPT) {
    Input& frozen = GetFrozenInput();
    if (frozen.m_nMoveX == ControlHandlerDetail::kStickUnset) {
      frozen.m_nMoveX = in.m_nMoveX;
      frozen.m_nMoveY = in.m_nMoveY;
    }
    HandleControls_Internal(frozen);
  } else {
    HandleControls_Internal(in);
  }
}

void EControlHandler::PostHandleControls(Input& in) {
  EASSERT(m_bActivated);
  if (sm_bControlsNotRunning) return;
  PostHandleControls_Internal(sm_bControlsPaused ? GetFrozenInput() : in);
}

void EControlHandler::UpdateHeadAnims() {
  if (!m_pGameApp) return;
  m_fBlinkTimer -= m_pGameApp->GetSimDeltaTime();
  EPlayerEntity* pPlayer = GetOwner();
  EMesh* pMesh = pPlayer ? pPlayer->GetMesh() : nullptr;
  if (!pMesh || m_fBlinkTimer >= 0.0f) return;

  // A level without a global script has no level type to read: no blink.
  EEntity* pGlobal = m_pGameApp->GetGlobalEntity();
  EScriptObject* pObject = pGlobal ? pGlobal->GetScriptObject() : nullptr;
  const char* szLevelType = nullptr;
  if (pObject && pObject->GetTableValue("levelScript.levelType", szLevelType) && szLevelType &&
      strcasecmp(szLevelType, "mental") != 0 && pPlayer->GetVisible()) {
    EBlendAnimController* pController = pMesh->GetBlendAnimController();
    if (pController && !pController->IsBlendAnimLoaded(kBlinkAnim))
      pMesh->loadBlendAnim(kBlinkAnim, false, false, nullptr, 0.0f, false, false);
  }
  m_fBlinkTimer = g_RenderRand.frand() < m_fBlinkChance ? g_RenderRand.frand(m_fBlinkMin, m_fBlinkMax) : m_fBlinkMax;
}

// ---- Controls shared by all modes ----

void EControlHandler::StaticInit() {
  sm_bControlsNotRunning = 0;
  sm_bControlsPaused = 0;
  m_dwControlResumeTick = 0.0f;
  sm_dwEnglishResumeTick = 0.0f;
  m_dwMeleePressTime = 0.0f;
  m_pPsiBlastTarget = nullptr;
  sm_bFilterLeftTrigger = false;
  sm_bCanActivate = false;
  ClearButtonBuffer();
}

void EControlHandler::ClearButtonBuffer() {
  for (float& t : sm_fBufferedPressTime) t = -10.0f;
  for (float& t : sm_fBufferedPOVPressTime) t = -10.0f;
}

bool EControlHandler::ButtonPressed(int iButton, float fWindow) {
  if (!(iButton >= 0 && iButton < NUM_JOY_BUTTONS)) {
    g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "iButton >= 0 && iButton < NUM_JOY_BUTTONS", false);
    return false;
  }
  if (sm_bControlsPaused) return false;
  return ControlHandlerDetail::SimTime() - sm_fBufferedPressTime[iButton] <= fWindow;
}

bool EControlHandler::POVPressed(int iPOV, float fWindow) {
  if (!(iPOV >= 0 && iPOV < 2)) {
    g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "iPOV >= 0 && iPOV < ARRAY_COUNT(sm_fBufferedPOVPressTime)",
                                false);
    return false;
  }
  if (sm_bControlsPaused) return false;
  return ControlHandlerDetail::SimTime() - sm_fBufferedPOVPressTime[iPOV] <= fWindow;
}

bool EControlHandler::PauseControls(bool bPause, bool bKeepStick) {
  sm_bControlsPaused = bPause;
  Input& frozen = GetFrozenInput();
  const int32_t stick = bPause && bKeepStick ? ControlHandlerDetail::kStickUnset : 0;
  frozen.m_nMoveY = stick;
  frozen.m_nMoveX = stick;
  return true;
}

bool EControlHandler::DontRunControls(bool bDontRun) {
  sm_bControlsNotRunning = bDontRun;
  return true;
}

bool EControlHandler::ControlsTemporarilyPaused() {
  return ControlHandlerDetail::SimTime() * 1000.0 < (double)m_dwControlResumeTick;
}

bool EControlHandler::IsPlayerOnFire() {
  EEntity* pPlayer = gGameApp ? gGameApp->GetPlayer() : nullptr;
  EScriptObject* pScript = pPlayer ? pPlayer->GetScriptObject() : nullptr;
  int iOnFire = 0;
  return pScript && pScript->GetTableValue("bOnFire", iOnFire) && iOnFire == 1;
}

// ---- The player ----

EPlayerEntity* EControlHandler::GetOwner() const {
  EEntity* pPlayer = m_pGameApp ? m_pGameApp->GetPlayer() : nullptr;
  return pPlayer && pPlayer->IsA(EPlayerEntity::StaticClass()) ? static_cast<EPlayerEntity*>(pPlayer) : nullptr;
}

bool EControlHandler::IsSet(int iPhysicsState) const {
  EPlayerEntity* pPlayer = GetOwner();
  return pPlayer && pPlayer->GetPhysics() && pPlayer->GetPhysicsStateFlag(iPhysicsState);
}

bool EControlHandler::InAction(int iAction) const {
  EPlayerEntity* pPlayer = GetOwner();
  return pPlayer && pPlayer->InAction(iAction);
}

bool EControlHandler::InActions(int iAction, ...) const {
  if (iAction == 0) return false;
  if (InAction(iAction)) return true;
  va_list args;
  va_start(args, iAction);
  bool bFound = false;
  for (;;) {
    const int iNext = va_arg(args, int);
    if (iNext == 0) break;
    if (iNext == -1) {
      g_ErrorManager.TraceMessagef(TT_Warning, "InActions: Querying for nonexistent state.  Do you need a new .asd?");
      break;
    }
    if (iNext < 0 || iNext > 150) {
      g_ErrorManager.TraceMessagef(TT_Warning, "Bogus value %d in EControlHandler::InActions", iNext);
      break;
    }
    if (InAction(iNext)) {
      bFound = true;
      break;
    }
  }
  va_end(args);
  return bFound;
}

void EControlHandler::MaybeApplyConfusion(Input& in) {
  EPlayerEntity* pPlayer = GetOwner();
  if (!pPlayer || !pPlayer->IsConfused()) return;
  if (m_eType != kCONTROL_PLAYER && m_eType != kCONTROL_BALL) return;
  in.m_nMoveX = -in.m_nMoveX;
  in.m_nMoveY = -in.m_nMoveY;
}

// ---- Sticks ----

float EControlHandler::GetPlayerControlInput(const Input& in, EVec3& vDir, bool bLookStick) {
  vDir = bLookStick ? EVec3((float)in.m_nLookX, 0.0f, (float)in.m_nLookY)
                    : EVec3((float)in.m_nMoveX, 0.0f, (float)in.m_nMoveY);
  vDir = vDir * 0.01f;
  if (!bLookStick && (vDir.x != 0.0f || vDir.z != 0.0f)) {
    if (EPlayerEntity* pPlayer = GetOwner()) pPlayer->ResetIdleAnimationTimer();
  }
  const float len = vDir.Normalize();
  const float diag = sqrtf(fabsf(2.0f * vDir.x * vDir.z));
  const float magnitude = len / (1.0f - ControlHandlerDetail::kStickDeadEdge * (0.7f * diag + 0.3f));
  return magnitude < 1.0f ? magnitude : 1.0f;
}

float EControlHandler::GetPlayerControlInputWorldSpace(const Input& in, EVec3& vDir, bool bLookStick, bool bLock) {
  float magnitude = GetPlayerControlInput(in, vDir, bLookStick);
  if (bLookStick && !(m_pGameApp && m_pGameApp->m_DebugHooks.CameraInvertRotateX)) vDir.x = -vDir.x;
  EPlayerEntity* pPlayer = GetOwner();
  const EVec3 up = pPlayer && pPlayer->GetPhysics() ? pPlayer->GetPhysics()->GetGravityDir() : EVec3(0.0f, 1.0f, 0.0f);
  ConvertControlInputToWorldSpace(vDir, magnitude, up, bLock);
  return magnitude;
}

float EControlHandler::GetPlayerControlInputWorldSpace(const Input& in, EVec3& vDir, bool bLookStick,
                                                       const EVec3& vUp) {
  float magnitude = GetPlayerControlInput(in, vDir, bLookStick);
  if (bLookStick && !(m_pGameApp && m_pGameApp->m_DebugHooks.CameraInvertRotateX)) vDir.x = -vDir.x;
  ConvertControlInputToWorldSpace(vDir, magnitude, vUp, false);
  return magnitude;
}

void EControlHandler::ConvertControlInputToWorldSpace(EVec3& vDir, float& fMagnitude, const EVec3& vUp, bool bLock) {
  ECamera* pCamera = m_pGameApp ? m_pGameApp->GetRenderCamera() : nullptr;
  if (!pCamera) return;
  const EVec3 zero(0.0f, 0.0f, 0.0f);
  EMat4 M = pCamera->GetViewToWorld();
  if (bLock && m_bInputTransformLocked) {
    if (m_vLockedInputDir == zero) {
      if (vDir == zero)
        m_bInputTransformLocked = false;
      else
        m_vLockedInputDir = vDir;
    } else if (vDir.Dot(m_vLockedInputDir) > 0.985f) {
      M = m_mLockedViewToWorld;
      if (m_bLockZeroesInput) {
        vDir = zero;
        fMagnitude = 0.0f;
      }
    } else {
      m_bInputTransformLocked = false;
      m_vLockedInputDir = zero;
    }
  }
  const EVec3 camUp = M.Mul3Vec3(EVec3(0.0f, 1.0f, 0.0f));
  vDir = M.Mul3Vec3(vDir);
  if (camUp.Dot(vUp) > 0.98f) {
    if (vDir != zero) {
      vDir = vDir - vUp * vDir.Dot(vUp);
      vDir.Normalize();
    }
    return;
  }
  if (vDir != zero) vDir = EQuat(GetAxisAngleBetween(camUp, vUp)) * vDir;
}

void EControlHandler::LockInputTransform(bool bZeroInput) {
  if (m_bInputTransformLocked) return;
  m_bInputTransformLocked = true;
  m_bLockZeroesInput = bZeroInput;
  ECamera* pCamera = m_pGameApp ? m_pGameApp->GetRenderCamera() : nullptr;
  if (pCamera)
    m_mLockedViewToWorld = pCamera->GetViewToWorld();
  else
    m_mLockedViewToWorld.LoadIdentity();
  m_vLockedInputDir = EVec3(0.0f, 0.0f, 0.0f);
}

bool EControlHandler::ShouldInterrupt(const Input& in) {
  EVec3 dir;
  return GetPlayerControlInput(in, dir, false) > 0.5f;
}
