// Services of the application to the control handlers, menus, scripts and
// the frame: switching the input mode, camera resets, the clairvoyance
// tint, the loading override and the input read between movie frames.
#include "Game/GameApp.h"

#include <cstring>

#include "Game/Camera.h"
#include "ScriptVM/ScriptMessage.h"
#include "ScriptVM/ScriptObject.h"
#include "TWGraphics/Color.h"
#include "TWGraphics/Renderer.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/Entity.h"

EControlHandler* GameApp::GetControlHandlerByType(CONTROL_HANDLER_TYPE eType) {
  if (eType == kCONTROL_NONE) return nullptr;
  for (int i = 0; i < kCONTROL_NUMTYPES; ++i) {
    if (!m_aControlHandlers[i]) g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "m_aControlHandlers[i]", false);
    if (m_aControlHandlers[i]->Type() == eType) return m_aControlHandlers[i];
  }
  g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "0", false);
  return nullptr;
}

CONTROL_HANDLER_TYPE GameApp::GetControlHandlerType() {
  return m_pControlHandler ? m_pControlHandler->Type() : kCONTROL_NONE;
}

bool GameApp::InControlHandler(CONTROL_HANDLER_TYPE eType) {
  if (GetControlHandlerType() == eType) return true;
  return m_pUIControlHandler && m_pUIControlHandler->Type() == eType;
}

bool GameApp::SetControlHandler(CONTROL_HANDLER_TYPE eType, void* pData) {
  if (eType == GetControlHandlerType()) return true;
  if (m_pControlHandler) m_pControlHandler->Deactivate();
  m_pControlHandler = GetControlHandlerByType(eType);
  if (!m_pControlHandler) return false;
  if (!m_pControlHandler->Activate(pData)) {
    SetControlHandler(kCONTROL_PLAYER, nullptr);
    return false;
  }
  EScriptObject* pPlayer = m_pPlayer ? m_pPlayer->GetScriptObject() : nullptr;
  if (pPlayer) pPlayer->SendMessagef("ControlHandlerChanged", nullptr, kMESSAGE_Queued, "i", (int)eType);
  return true;
}

void GameApp::SetUIControlHandler(CONTROL_HANDLER_TYPE eType) {
  EControlHandler* pHandler = GetControlHandlerByType(eType);
  if (pHandler == m_pUIControlHandler) return;
  if (m_pUIControlHandler) m_pUIControlHandler->Deactivate();
  m_pUIControlHandler = pHandler;
  if (pHandler && !pHandler->Activate(nullptr)) {
    // A handler that refused is not kept: the frame would feed it the
    // controls. The main handler goes off all the same.
    m_pUIControlHandler = nullptr;
    SetControlHandler(kCONTROL_NONE, nullptr);
  }
}

void GameApp::SetControlsFromCurrentCamera() {
  if (GetControlHandlerType() == kCONTROL_DIALOGCHOICE) return;
  ECamera* pCamera = GetCurrentCamera();
  const CAMERATYPE eType = pCamera ? pCamera->GetType() : kCAMERA_FLY;
  if (eType == kCAMERA_CHASE || eType == kCAMERA_RAIL || eType == kCAMERA_SPHERE) {
    if (!m_pControlHandler) SetControlHandler(kCONTROL_PLAYER, nullptr);
    EControlHandler::PauseControls(false, false);
  } else if (m_pControlHandler) {
    EControlHandler::PauseControls(true, false);
  }
}

bool GameApp::AllowCameraScriptMods() {
  ECamera* pCamera = GetCurrentCamera();
  return m_DebugHooks.CameraScriptMods && !(pCamera && pCamera->GetType() == kCAMERA_FLY);
}

void GameApp::ResetCameras() {
  ECamera::ResetStaticGlobals();
  for (int i = 0; i < kNUM_CAMERAS; ++i) {
    delete m_aCameras[i];
    m_aCameras[i] = new ECamera();
  }
  for (ECamera* camera : m_aCameras) camera->Init(kCAMERA_SCRIPT);
  for (int i = 0; i < kNUM_CAMERA_CHANNELS; ++i) {
    ECameraChannel& channel = m_aCameraChannels[i];
    channel.Clear();  // the channels keep no render target yet
    if (i < 8) channel.m_pCamera = m_aCameras[i];
  }
  SetRenderCamera(GetCurrentCamera());
}

void GameApp::OverrideIngameLoading(bool bOn) {
  static bool s_bOverride = false;
  static int s_iSavedState = 0;
  if (bOn == s_bOverride) return;
  s_bOverride = bOn;
  if (bOn) {
    s_iSavedState = m_iLevelLoadedState;
    m_iLevelLoadedState = 0;
  } else {
    m_iLevelLoadedState = s_iSavedState;
  }
}

bool GameApp::RendererInputCallback() {
  UpdateInput(&m_Input, &m_DebugInput);
  if (m_Input.m_aButtonPressed[kBUTTON_B] || ZARInput_WasInputPressed(kINPUT_KEY_ESCAPE) ||
      ZARInput_WasActionPressed(kACTION_CANCEL)) {
    m_Input.m_aButtonPressed[kBUTTON_B] = 0;
    m_bSkipRequested = true;
    return true;
  }
  return false;
}

void GameApp::InitClairvoyanceCloud(EVec4 colour) {
  m_bClairvoyanceActive = true;
  const float w = m_pRenderer ? (float)m_pRenderer->GetDisplayWidth() : 0.0f;
  const float h = m_pRenderer ? (float)m_pRenderer->GetDisplayHeight() : 0.0f;
  const uint32_t rgba = ColorVectorToRGBA(colour);
  const float corners[6][4] = {{0, h, 0, 1}, {w, h, 1, 1}, {0, 0, 0, 0}, {0, 0, 0, 0}, {w, h, 1, 1}, {w, 0, 1, 0}};
  for (int i = 0; i < 6; ++i) {
    ETintVertex& v = m_aClairvoyanceTint[i];
    v.x = corners[i][0];
    v.y = corners[i][1];
    v.z = 0.0f;
    v.diffuse = rgba;
    v.u = corners[i][2];
    v.v = corners[i][3];
  }
  if (m_pRenderer && m_hClairvoyanceTintVB) {
    if (void* pData = m_pRenderer->LockVertexBuffer(m_hClairvoyanceTintVB, 6, 0, 0)) {
      memcpy(pData, m_aClairvoyanceTint, sizeof(m_aClairvoyanceTint));
      m_pRenderer->UnlockVertexBuffer(m_hClairvoyanceTintVB);
    }
  }
}

void GameApp::ExitClairvoyanceCloud() {
  if (!m_bClairvoyanceActive) return;
  m_bClairvoyanceActive = false;
  STUBBED("the clairvoyance cloud emitter");
}
