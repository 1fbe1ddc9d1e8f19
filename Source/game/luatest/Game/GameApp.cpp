#include "Game/GameApp.h"
#include "Game/GameLevelNames.h"
#include "Game/GameShaders.h"

#include <SDL/SDL.h>
#include <cstdio>
#include <cstring>

#include "DebugServer/DebugManager.h"
#include "Game/Camera.h"
#include "Game/CameraPath.h"
#include "Game/DialogueManager.h"
#include "Game/GameShaderPasses.h"
#include "Game/RecordPlayback.h"
#include "Game/SaveLoadGame.h"
#include "Game/ScreenOverlays.h"
#include "Game/UIMenu.h"
#include "PathAI/PathAIManager.h"
#include "ScriptVM/ScriptObject.h"
#include "TWGraphics/Renderer.h"
#include "TWSound/SoundManager.h"
#include "TWUtil/Array.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/EMemStack.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/TextureManager.h"
#include "TWUtil/Profiler.h"
#include "TWUtil/String.h"
#include "VERirezo/AnimManager.h"
#include "VERirezo/CollisionQuery.h"
#include "VERirezo/DebugLine.h"
#include "VERirezo/Domain.h"
#include "VERirezo/EBlendAnimManager.h"
#include "VERirezo/Entity.h"
#include "VERirezo/EntityManager.h"
#include "VERirezo/FreezeManager.h"
#include "VERirezo/MeshFrag.h"
#include "VERirezo/ParticleManager.h"
#include "VERirezo/Trigger.h"
#include "VERirezo/Physics.h"
#include "VERirezo/Scene.h"
#include "VERirezo/SceneSettings.h"
#include "VERirezo/Sprite.h"
#include "VERirezo/Text3D.h"

GameApp* gGameApp = nullptr;
EMemMark* g_pAffectorMark = nullptr;

namespace {
// The frame-rate of movie capture.
const float kMOVIE_CAPTURE_STEP = 1.0f / 30.0f;
// The menu idle timer restarts at these values (ms).
const float kMENU_IDLE_TIME = 100000.0f;
const float kMENU_IDLE_TIME_OXM = 20000.0f;
}  // namespace

GameApp::GameApp()
    : m_bQuit(false),
      m_iLastKeyPress(0),
      m_iFrameCount(0),
      m_GraphicsSettings("DisplaySettings"),
      m_SoundSettings("AudioSettings"),
      m_fSimDeltaTime(0.0f),
      m_fRealDeltaTime(0.0f),
      m_dSimElapsedTime(0.0),
      m_dRealElapsedTime(0.0),
      m_pUIMenu(nullptr),
      m_pMessageBoxManager(nullptr),
      m_pTutorialBoxManager(nullptr),
      m_pSaveLoadInterface(nullptr),
      m_pControlHandler(nullptr),
      m_bLevelLoaded(false),
      m_eLanguage(kLANGUAGE_English),
      m_pBlendAnimManager(nullptr),
      m_pEventAnimManager(nullptr),
      m_pDialogueManager(nullptr),
      m_pPathManager(nullptr),
      m_pPathAIManager(nullptr),
      m_iVideoVolume(32768),
      m_pfnVideoCallback(nullptr),
      m_dPlayTimeBase(0.0),
      m_pRenderer(nullptr),
      m_pSoundManager(nullptr),
      m_pSceneManager(nullptr),
      m_pFreezeManager(new EFreezeManager()),
      m_pLanguageInfo(nullptr),
      m_hCursorTexture(0),
      m_pProfilerStats(new EProfilerStats()),
      m_pScreenFade(nullptr),
      m_pSayLineDisplayManager(nullptr),
      m_pScriptSpriteManager(nullptr),
      m_p2DLinesManager(nullptr),
      m_pScriptTextManager(nullptr),
      m_pDebugManager(nullptr),
      m_pCurrentEntity(nullptr),
      m_pCurrentScriptObject(nullptr),
      m_pPlayer(nullptr),
      m_pGlobalEntity(nullptr),
      m_pMainDomain(nullptr),
      m_pLevelDomain(nullptr),
      m_pSkyBoxDomain(nullptr),
      m_pInventoryDomain(nullptr),
      m_pInvItemsDomain(nullptr),
      m_bLockSimulationPosition(false),
      m_vLockedSimulationPosition(0.0f, 0.0f, 0.0f),
      m_pUIControlHandler(nullptr),
      m_pRenderCamera(nullptr),
      m_pRenderChannel(nullptr),
      m_pMapCamera(nullptr),
      m_sLevelFilter("*.plb"),
      m_iMainFont(0),
      m_iArialFont(0),
      m_iTahomaFont(0),
      m_iZolFont(0),
      m_bLevelUnloading(false),
      m_bStartUpComplete(false),
      m_bSkipSwap(false),
      m_bSoundPositionCameraRelative(true),
      m_bSoundOrientationCameraRelative(true),
      m_bMenuFrame(false),
      m_fMenuIdleTime(kMENU_IDLE_TIME),
      m_bCopyFrameBuffer(false),
      m_bShowInGameMenuRequest(false),
      m_bDialogSkipped(false),
      m_bThoughtBubbleOpen(false),
      m_fDelayedStartTime(0.0f),
      m_bDelayedMusicStart(false),
      m_bDelayedAmbienceStart(false),
      m_aDelayedDeleteEntities(kMEMTYPE_Entity),
      m_aDelayedDeleteScriptObjects(kMEMTYPE_ScriptVM),
      m_dwInitializedSubsystems(0) {
  m_szLanguage[0] = '\0';
  m_szLocalizedText[0] = '\0';
  m_pRecordPlayback = nullptr;
  m_szRequestedLevel[0] = '\0';
  m_bNewLevelRequested = false;
  m_bReturnToStartMenuRequested = false;
  m_pGameTextureManager = nullptr;
  m_pGameShaders = nullptr;
  m_iLevelLoadedState = 0;
  m_szFullCurrentLevelName[0] = '\0';
  m_idExponentTexture = 0;
  m_idErrorTexture = 0;
  m_hBumpmapPalette = 0;
  m_dwTextureReductions = 0;
  m_dwPlayerModelTextureBytes = 0;
  for (ERumbleMotor& motor : m_Rumble.m_aMotors) {
    motor.m_fStartTime = motor.m_fEndTime = motor.m_fTimeScale = motor.m_fOutput = 0.0f;
    for (EVec2& point : motor.m_aCurve) point.Zero();
  }
  for (EControlHandler*& handler : m_aControlHandlers) handler = nullptr;
  for (ECamera*& camera : m_aCameras) camera = nullptr;
  m_Input = Input();
  m_DebugInput = Input();
  SetLanguage(kLANGUAGE_English);
}

GameApp::~GameApp() {
  // Entities still in the domains go with the application.
  if (m_pSceneManager) {
    EArray<EEntity*> remaining(kMEMTYPE_Entity);
    for (EEntityIter it(m_pSceneManager->GetDefaultSceneRootDomain(), true); it; ++it) remaining.AddData(*it);
    for (int i = 0; i < remaining.Num(); ++i) DelayedDelete(remaining[i]);
    delete m_pSceneManager;
    m_pSceneManager = nullptr;
    m_pMainDomain = m_pLevelDomain = m_pSkyBoxDomain = m_pInventoryDomain = m_pInvItemsDomain = nullptr;
  }
  for (int i = 0; i < m_aDelayedDeleteEntities.Num(); ++i) delete m_aDelayedDeleteEntities[i];
  m_aDelayedDeleteEntities.Empty();
  for (int i = kNUM_CAMERAS - 1; i >= 0; --i) {
    delete m_aCameras[i];
    m_aCameras[i] = nullptr;
  }
  delete m_pCameraPaths;
  m_pCameraPaths = nullptr;
  m_pControlHandler = nullptr;
  m_pUIControlHandler = nullptr;
  for (EControlHandler*& handler : m_aControlHandlers) {
    delete handler;
    handler = nullptr;
  }
  delete m_pLanguageInfo;
  delete m_pTutorialBoxManager;
  delete m_pMessageBoxManager;
  delete m_pFreezeManager;
  delete m_pSayLineDisplayManager;
  delete m_pUIMenu;
  delete m_pScriptSpriteManager;
  delete m_pSaveLoadInterface;
  delete m_p2DLinesManager;
  delete m_pScriptTextManager;
  delete m_pProfilerStats;
  delete m_pRecordPlayback;
  if (gGameApp == this) gGameApp = nullptr;
}

void GameApp::SetInitialized(EGameSubsystem eSubsystem, bool bValue) {
  if (((m_dwInitializedSubsystems & eSubsystem) != 0) == bValue) {
    g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "!(m_dwInitializedSubsystems & subsystem) == bValue", false);
  }
  if (bValue) m_dwInitializedSubsystems |= eSubsystem;
  else m_dwInitializedSubsystems &= ~(unsigned)eSubsystem;
}

void GameApp::WriteBuildString(unsigned dwMajor, unsigned dwMinor) {
  if (dwMinor) m_sBuildString.Printf("%c%04i.%d", 'P', (int)dwMajor, (int)dwMinor);
  else m_sBuildString.Printf("%c%04i", 'P', (int)dwMajor);
}

// Frame

bool GameApp::InitFrame() {
  EProfileZone zone("Init Frame", 0, false);
  m_bMenuFrame = false;

  // The thought bubble is never opening or closing while there is no player.
  const bool bBubbleMoving = false;
  bool bMenuFrame = false;
  if (m_pUIMenu && m_pUIMenu->IsInGameMenuActive() && !m_pUIMenu->GetInGameMenu()->IsDebugMenuActive()) {
    bMenuFrame = true;
  } else if (m_pMessageBoxManager && m_pMessageBoxManager->IsMessageBoxActive() && !bBubbleMoving) {
    bMenuFrame = true;
  } else if (m_pTutorialBoxManager && m_pTutorialBoxManager->IsActive() && !bBubbleMoving) {
    bMenuFrame = true;
  } else if (InControlHandler(kCONTROL_SLIDESHOW) || InControlHandler(kCONTROL_FIGMENT)) {
    bMenuFrame = true;
  }
  if (bMenuFrame) {
    m_bMenuFrame = true;
    KillRumble();
    UpdateRumble(1.0f);
    return InGameMenuInitFrame();
  }

  InitDbgCollideStats();
  UpdateInput(&m_Input, &m_DebugInput);
  if (m_DebugHooks.Rumble && m_DebugHooks.RumbleSaved) UpdateRumble(m_fSimDeltaTime);

  ResetFrame();

  if (m_bLevelLoaded && !InControlHandler(kCONTROL_MENU)) {
    if (!IsJoystickPresent((unsigned short)(GetCurrentControllerPort() - 1))) displayMissingControllerError();
    HandleApplicationSwitchMessageBox();
  }

  // Real time.
  LatchRealFrameTime();

  // Simulated time: the real step bounded, then scaled; one tick overrides.
  float step = m_DebugHooks.m_bMovieCaptureMode ? kMOVIE_CAPTURE_STEP : m_fRealDeltaTime;
  const float fMin = m_DebugHooks.m_fMinFrameTime * 0.001f;
  const float fMax = m_DebugHooks.m_fMaxFrameTime * 0.001f;
  if (step > fMax) step = fMax;
  else if (step < fMin) step = fMin;
  step *= m_DebugHooks.m_fRelativeGameSpeed;
  if (m_DebugHooks.m_fOneTick > 0.0f) {
    step = m_DebugHooks.m_fOneTick;
    m_DebugHooks.m_fOneTick = 0.0f;
  }
  m_fSimDeltaTime = step;
  m_dSimElapsedTime += step;
  ++m_iFrameCount;
  if (m_pGameTextureManager) m_pGameTextureManager->AnimateTextures();

  // Menu idle timer.
  if (areControllersIdle() && InControlHandler(kCONTROL_MENU)) {
    m_fMenuIdleTime -= GetRealDeltaTimeMS();
    if (m_fMenuIdleTime < 0.0f) m_fMenuIdleTime = 0.0f;
  } else {
    m_fMenuIdleTime = m_Prefs.m_bOxmBuild ? kMENU_IDLE_TIME_OXM : kMENU_IDLE_TIME;
  }

  ProcessGlobalInput(m_Input);

  if (m_pPathAIManager) m_pPathAIManager->doIt();
  if (m_Prefs.m_bDebugServer && m_pDebugManager) m_pDebugManager->Update();

  if (!m_bLevelLoaded && m_DebugHooks.AttractMode && m_pUIMenu) m_pUIMenu->TickAttractMode();
  if (!m_bLevelLoaded && m_pRecordPlayback && m_pRecordPlayback->IsPlaybackLooping() &&
      !m_pRecordPlayback->IsPlayBack()) {
    m_pRecordPlayback->InitPlayback(m_pRecordPlayback->GetLoopFilename(), true);
  }

  // Controls.
  if (m_pUIControlHandler) m_pUIControlHandler->HandleControls_Internal(m_Input);
  EControlHandler* pHandler = m_pControlHandler;
  if (m_pMessageBoxManager && m_pMessageBoxManager->IsMessageBoxActive()) {
    m_pMessageBoxManager->Handle_controls(&m_Input);
    if (!m_bCopyFrameBuffer) m_pMessageBoxManager->RenderAll();
    if (m_pUIMenu) m_pUIMenu->DrawMouseCursor(m_hCursorTexture);
  } else if (m_pTutorialBoxManager && m_pTutorialBoxManager->IsActive()) {
    m_pTutorialBoxManager->Handle_Controls(&m_Input);
    m_pTutorialBoxManager->RenderAll();
    if (m_pUIMenu) m_pUIMenu->DrawMouseCursor(m_hCursorTexture);
  } else if (pHandler) {
    pHandler->HandleControls(m_Input);
  }

  if (m_pSaveLoadInterface) m_pSaveLoadInterface->Frame();
  if (EScene* pScene = m_pSceneManager ? m_pSceneManager->GetCurrentScene() : nullptr)
    pScene->Update(GetRealDeltaTimeMS(), GetSimDeltaTimeMS());

  EDomain* pActive = m_pSceneManager ? m_pSceneManager->GetActiveDomain() : nullptr;
  if (m_bLevelLoaded && pActive) SimulateFrame(pActive);

  if (pHandler && pHandler == m_pControlHandler && m_fSimDeltaTime != 0.0f) pHandler->PostHandleControls(m_Input);

  if (m_ScriptVM.IsInitialised()) {
    EProfileZone scripts("Run Scripts", 0, false);
    m_ScriptVM.RunAllScripts();
  }

  if (m_bLevelLoaded) {
    for (ECamera* camera : m_aCameras) {
      if (!camera) continue;
      if (EScene* pScene = m_pSceneManager ? m_pSceneManager->GetCurrentScene() : nullptr) {
        camera->SetViewportNearZ(pScene->GetSettings().m_fNearClip);
        camera->SetViewportFarZ(pScene->GetSettings().m_fFarClip);
      }
      static const Input s_NoInput = Input();
      const bool bFly = camera->GetType() == kCAMERA_FLY;
      const Input* input = camera == GetCurrentCamera() ? &m_Input : &s_NoInput;
      if (camera->GetFullSimSpeed()) {
        if (m_bThoughtBubbleOpen && !bFly) input = &s_NoInput;
        camera->Update(input, GetRealDeltaTimeMS());
      } else {
        if (bFly && !EControlHandler::ControlsPaused()) input = &s_NoInput;
        camera->Update(input, GetSimDeltaTimeMS());
      }
    }
  }

  if (gbLevelJustLoaded) {
    gbLevelJustLoaded = false;
    if (m_pLevelDomain) m_pLevelDomain->UpdateBoundingBox();
    m_UserInterface.InitLevel();
  }

  if (m_pUIMenu && !(m_pUIMenu->IsInGameMenuActive() && !m_pUIMenu->GetInGameMenu()->IsDebugMenuActive())) {
    m_pUIMenu->DrawMenus();
  }

  if (m_pFreezeManager) m_pFreezeManager->ProcessFrame(m_fSimDeltaTime);

  if (m_bLevelLoaded) {
    m_UserInterface.Render();
    if (m_pDialogueManager) m_pDialogueManager->update();
    m_DialogManager.RenderDialog(GetRealDeltaTimeMS());
    if (m_pScriptTextManager) m_pScriptTextManager->Render();
    if (m_pScriptSpriteManager) m_pScriptSpriteManager->RequestRenderAll();
    if (m_p2DLinesManager) m_p2DLinesManager->RequestRender();
  }

  m_Timing.RemoveStoppedTimers();
  ResetRenderStatistics();

  if (m_pScreenFade) m_pScreenFade->PreProcess();

  if (m_pSoundManager) {
    m_pSoundManager->CommitListenerSettings();
    m_pSoundManager->DoWork(m_fRealDeltaTime);
  }

  if (m_fDelayedStartTime > 0.0f) {
    m_fDelayedStartTime -= m_fRealDeltaTime;
    if (m_fDelayedStartTime <= 0.0f) {
      m_fDelayedStartTime = 0.0f;
      if (m_pSoundManager && m_bDelayedMusicStart) m_pSoundManager->ResumeCategory(kSOUNDCAT_MUSIC);
      if (m_pSoundManager && m_bDelayedAmbienceStart) m_pSoundManager->ResumeCategory(kSOUNDCAT_AMBFX);
    }
  }

  if (m_pBlendAnimManager) m_pBlendAnimManager->DoWork(m_fRealDeltaTime);
  UpdateCheatCodes(&m_Input);
  PreprocessRenderManagers();
  return true;
}

// What the frame queued for the 2D and 3D text passes is sorted and written
// into the managers' buffers once the frame's producers have run.
void GameApp::PreprocessRenderManagers() {
  if (m_pParticleManager && m_DebugHooks.m_bScene) m_pParticleManager->PreprocessAll();
  PreprocessEffectStores();
  if (m_pSpriteManager) m_pSpriteManager->PreprocessAll();
  if (m_pText3DManager) m_pText3DManager->PreprocessAll();
}

bool GameApp::InGameMenuInitFrame() {
  UpdateInput(&m_Input, &m_DebugInput);
  ResetFrame();
  ResetRenderStatistics();

  if (m_bLevelLoaded) {
    if (!IsJoystickPresent((unsigned short)(GetCurrentControllerPort() - 1))) displayMissingControllerError();
    HandleApplicationSwitchMessageBox();
  }

  // Real time only: the world stands still.
  LatchRealFrameTime();
  ++m_iFrameCount;

  if (m_Prefs.m_bDebugServer && m_pDebugManager) m_pDebugManager->Update();

  if (m_pRenderer) m_pRenderer->BeginRender();
  if (m_pUIMenu) m_pUIMenu->OffScreenRender(&m_Input);
  if (m_pRenderer) m_pRenderer->EndRender();

  if (m_pUIMenu) m_pUIMenu->DrawMouseCursor(m_hCursorTexture);
  m_UserInterface.PauseModeFrame();

  bool bTaken = false;
  if (m_pMessageBoxManager && m_pMessageBoxManager->IsMessageBoxActive()) {
    m_pMessageBoxManager->Handle_controls(&m_Input);
    m_pMessageBoxManager->RenderAll();
    bTaken = true;
  } else if (m_pTutorialBoxManager && m_pTutorialBoxManager->IsActive()) {
    m_pTutorialBoxManager->Handle_Controls(&m_Input);
    m_pTutorialBoxManager->RenderAll();
    bTaken = true;
  }
  if (m_pUIControlHandler) {
    m_pUIControlHandler->HandleControls_Internal(m_Input);
    bTaken = true;
  }
  if (!bTaken && m_pUIMenu) m_pUIMenu->Handle_Controls(&m_Input);

  if (m_pUIMenu) {
    if (m_pUIMenu->IsInGameMenuActive() && !InControlHandler(kCONTROL_SLIDESHOW) && !InControlHandler(kCONTROL_FIGMENT)) {
      m_pUIMenu->DrawMenus();
    } else {
      m_pUIMenu->GetInGameMenu()->Frame();
    }
  }

  if (m_pScreenFade) m_pScreenFade->PreProcess();
  if (m_p2DLinesManager) m_p2DLinesManager->RequestRender();
  if (m_pSaveLoadInterface) m_pSaveLoadInterface->Frame();
  if (m_pSoundManager) m_pSoundManager->DoWork(m_fRealDeltaTime);
  PreprocessRenderManagers();
  return true;
}

bool GameApp::RenderFrame() {
  EThreadProtectD3D lock;
  if (m_bMenuFrame) return InGameMenuRenderFrame();

  m_pRenderCamera = m_aCameras[0];
  if (m_pRenderer) {
    if (m_pGameShaders) m_pGameShaders->ServiceRefresh();
    SyncShaderDrawState();  // the camera and the scene's fog of this frame
    if (m_pShaderPasses) m_pShaderPasses->m_dSimElapsedTime = m_dSimElapsedTime;
    m_pRenderer->RestoreRenderTarget();
    m_pRenderer->BeginRender();
    if (m_pParticleManager) m_pParticleManager->StartRender();
    // Without a level the target is cleared to black unless oxm_build is on.
    if (!m_bLevelLoaded && !m_Prefs.m_bOxmBuild) {
      m_pRenderer->ClearRenderTarget(EVec4(0.0f, 0.0f, 0.0f, 0.0f), true, true, true, 1.0f);
    }
    if (m_pText3DManager) m_pText3DManager->DrawAll();
    if (m_pDebugTriManager) m_pDebugTriManager->DrawAll();
    if (m_pDebugLineManager) m_pDebugLineManager->DrawAll();
    if (!m_DebugHooks.m_bDirectOverlays) {
      RenderSceneOverlays();
      RenderSpriteOverlays();
    }
    if (!m_bSkipSwap) m_pRenderer->BeginSwap();
    if (m_DebugHooks.m_bDirectOverlays) {
      RenderSceneOverlays();
      RenderSpriteOverlays();
    }
    m_pRenderer->EndRender();
    if (!m_bSkipSwap) m_pRenderer->EndSwap(true);
  }
  if (m_bShowInGameMenuRequest && m_pUIMenu) m_pUIMenu->ShowInGame(0);

  m_DebugHooks.m_bCaptureScreenShot = false;
  m_DebugHooks.m_bScreenShotWithoutOverlays = false;
  m_DebugHooks.m_bScreenShotHighRes = false;
  m_bShowInGameMenuRequest = false;
  m_bDialogSkipped = false;
  m_bSkipSwap = false;
  return true;
}

bool GameApp::InGameMenuRenderFrame() {
  m_pRenderCamera = m_aCameras[0];
  if (m_pRenderer) {
    m_pRenderer->RestoreRenderTarget();
    m_pRenderer->BeginRender();
    m_pRenderer->BeginSwap();
    m_pRenderer->EndRender();
    m_pRenderer->EndSwap(true);
  }
  return true;
}

bool GameApp::EndFrame() {
  if (m_pGameTextureManager) m_pGameTextureManager->ValidateTextures();
  UpdateMemoryTracking();
  CleanupDestroyedEntities(false);
  m_iLastKeyPress = 0;
  return true;
}

void GameApp::DelayedDelete(EEntity* pEntity) {
  if (!pEntity || pEntity->IsDead()) return;
  m_aDelayedDeleteEntities.AddData(pEntity);
  pEntity->InternalDelayedDelete();
}

void GameApp::DelayedDelete(EScriptObject* pObject) {
  if (pObject->IsDead()) EERRORF("Re-killing a dead script: %s", pObject->DebugGetName() ? pObject->DebugGetName() : "");
  m_aDelayedDeleteScriptObjects.AddData(pObject);
  pObject->DelayedDelete();
}

void GameApp::CleanupDestroyedEntities(bool) {
  if (m_aDelayedDeleteEntities.Num() == 0 && m_aDelayedDeleteScriptObjects.Num() == 0) return;

  // Deletions requested while cleaning up wait for the next frame.
  EArray<EEntity*> entities(kMEMTYPE_Entity);
  EArray<EScriptObject*> scripts(kMEMTYPE_ScriptVM);
  EArrayBase::Swap(entities, m_aDelayedDeleteEntities);
  EArrayBase::Swap(scripts, m_aDelayedDeleteScriptObjects);

  // Nothing may point at a dead object once it is freed.
  EPhysics::StaticCleanupReferences();
  ETriggerBase::StaticCleanupReferences();
  CleanupReferences();
  for (EEntityIter it(nullptr); it; ++it) it->CleanupReferences();
  // The running script host (the application's own in the game).
  if (EScriptVM* pHost = EScriptVM::m_spScriptVM) {
    if (pHost->IsInitialised()) pHost->CleanupReferences();
  }
  if (m_pSayLineDisplayManager) m_pSayLineDisplayManager->CleanupReferences();
  if (m_pFreezeManager) m_pFreezeManager->CleanupReferences();
  if (m_pPathAIManager) m_pPathAIManager->CleanupReferences();
  m_UserInterface.CleanupReferences();
  for (ECamera* camera : m_aCameras) {
    if (camera) camera->CleanupReferences();
  }
  for (EControlHandler* handler : m_aControlHandlers) {
    if (handler) handler->CleanupReferences();
  }

  for (int i = 0; i < entities.Num(); ++i) delete entities[i];
  for (int i = 0; i < scripts.Num(); ++i) delete scripts[i];
}

void GameApp::CleanupReferences() {
  if (m_pPlayer && m_pPlayer->IsDead()) m_pPlayer = nullptr;
  if (m_pGlobalEntity && m_pGlobalEntity->IsDead()) m_pGlobalEntity = nullptr;
  if (m_pCurrentEntity && m_pCurrentEntity->IsDead()) m_pCurrentEntity = nullptr;
  if (m_pCurrentScriptObject && m_pCurrentScriptObject->IsDead()) m_pCurrentScriptObject = nullptr;
  CleanupEffectReferences();
}

void GameApp::SimulateFrame(EDomain* pDomain) {
  EProfileZone zone("Simulate Frame", 0, false);
  const float fSimMS = GetSimDeltaTimeMS();
  const float fRealMS = GetRealDeltaTimeMS();
  ETempArray<EEntity*> simulated(*GetThreadLocalStack());

  EVec3 vCamera(0.0f, 0.0f, 0.0f), vPlayer(0.0f, 0.0f, 0.0f);
  if (m_bLockSimulationPosition) {
    vCamera = vPlayer = m_vLockedSimulationPosition;
  } else {
    if (ECamera* pCamera = GetCurrentCamera()) vCamera = pCamera->GetPosition();
    if (m_pPlayer) vPlayer = m_pPlayer->GetPosition();
  }

  {
    EEntityIter it(pDomain, true, true);
    for (; it; ++it) {
      EEntity* pEntity = *it;
      const bool bWasSimulated = !pEntity->IsSimulationCulled();
      pEntity->ClearTransientFlags();
      const bool bSimulate = it.GetInfo().domain && it.GetInfo().domain->IsMarked() &&
                             !pEntity->ShouldBeSimulationCulled(vCamera, vPlayer);
      if (bSimulate) {
        pEntity->SetTransientFlag(ENTITYTRANSIENT_SIMULATED, true);
        simulated.AddData(pEntity);
      }
      pEntity->Debug_CheckPhysics();
      if (bSimulate != bWasSimulated && pEntity->GetScriptObject())
        pEntity->GetScriptObject()->CallMethodf("onSimulationCulled", "b", !bSimulate);
      if (!bSimulate && pEntity->GetSoundSource()) pEntity->ProcessSoundSource();
    }
  }

  pDomain->RunAffectors(fSimMS);
  for (unsigned i = 0; i < simulated.Num(); ++i) {
    m_pCurrentEntity = simulated[i];
    simulated[i]->RunAffectors();
  }
  m_pCurrentEntity = nullptr;

  {
    // The frame's temporary allocations go above the array.
    EMemMark frameMark(*GetThreadLocalStack());
    g_pAffectorMark = &frameMark;
    for (unsigned i = 0; i < simulated.Num(); ++i) {
      EEntity* pEntity = simulated[i];
      if (pEntity->GetFrameCount() == (uint32_t)m_iFrameCount) continue;
      pEntity->ProcessFrame(pEntity->GetEntityFlag(ENTITY_FULL_SIM_SPEED) ? fRealMS : fSimMS);
    }
    m_pCurrentEntity = nullptr;
    EPhysics::StaticPostProcess();
    g_pAffectorMark = nullptr;
  }
  m_DebugHooks.DumpActiveColliders = false;

  if (EAnimManager::IsCreated()) EAnimManager::Get()->ProcessFrame(m_fSimDeltaTime);

  // Option fades and the camera fade of every mesh entity, before drawing.
  {
    EEntityIter it(pDomain, true, true);
    for (; it; ++it) {
      EEntity* pEntity = *it;
      if (!pEntity->IsMeshEntity()) continue;
      static_cast<EMeshEntity*>(pEntity)->UpdateVisuals(pEntity->GetEntityFlag(ENTITY_FULL_SIM_SPEED) ? fRealMS : fSimMS);
    }
  }
}

void GameApp::ResetFrame() {
  ResetFrameEntityLists();
  if (m_pSpriteManager) m_pSpriteManager->ResetFrame();
  if (m_pText3DManager) m_pText3DManager->ResetFrame();
  if (m_pDebugLineManager) m_pDebugLineManager->ResetFrame();
  if (m_pDebugTriManager) m_pDebugTriManager->ResetFrame();
  if (m_pMeshFragManager) m_pMeshFragManager->ResetFrame();
  if (m_pParticleManager) m_pParticleManager->ResetFrame();
  ResetEffectStores();
}

void GameApp::ResetRenderStatistics() {}

void GameApp::InitDbgCollideStats() {
  memset(&g_CollideStats, 0, sizeof(g_CollideStats));
  gProcessFrameNumColliders = 0;
  gProcessFrameNumCollidees = 0;
}

void GameApp::HandleApplicationSwitchMessageBox() {}

bool GameApp::InitInput(void*) { return false; }

bool GameApp::IsJoystickPresent(unsigned short) { return false; }

void GameApp::UpdateInput(Input*, Input*) {}

void GameApp::UpdateRumble(float) {}

int GameApp::GetCurrentControllerPort() { return 0; }

void GameApp::SetMousePoint(EVec2) {}

void GameApp::ValidateGraphics() {}

bool GameApp::CreateSaveGame(const char*, unsigned, unsigned, char*, int, bool) { return false; }

bool GameApp::DeleteSaveGame(const char*) { return true; }

void GameApp::GetSavedGamesDirectory(EArray<EString>& out) {
  gFile->GetDirectory(out, "Workresource\\SavedGames", "*.csv", kFILELOC_ReadPaths);
}

void GameApp::SetWindowActive(bool) {}

void GameApp::DoInstallation() {}

void GameApp::displayMissingControllerError() {}

void GameApp::checkControllerAcknowledge() {}

bool GameApp::areControllersIdle() { return false; }

float GameApp::GetPlayedTimeSecs() {
  float fStat = 0.0f;
  EScriptObject* pPlayer = m_pPlayer ? m_pPlayer->GetScriptObject() : nullptr;
  if (pPlayer) pPlayer->GetTableValue("stats.fTimePlayed", fStat);
  return (float)(fStat + GetSimElapsedTime() - m_dPlayTimeBase);
}

static const char* const szLanguages[] = {"English", "French", "German", "Nonsense"};

const char* GameApp::GetLanguageString(EGameLanguage language) {
  EASSERT((unsigned)language < sizeof(szLanguages) / sizeof(szLanguages[0]));
  return szLanguages[language];
}

void GameApp::SetLanguage(EGameLanguage language) {
  const char* name = GetLanguageString(language);
  m_eLanguage = language;
  snprintf(m_szLanguage, sizeof(m_szLanguage), "%s", name);
}



void GameApp::KillRumble() {
  float now = (float)GetSimElapsedTime();
  for (ERumbleMotor& motor : m_Rumble.m_aMotors) {
    motor.m_fEndTime = now + 2.0f;
    motor.m_fTimeScale = 1.0f;
    motor.m_aCurve[0] = EVec2(0.0f, 0.0f);
    motor.m_aCurve[1] = EVec2(0.0f, 0.0f);
    motor.m_aCurve[2] = EVec2(0.0f, 0.0f);
    motor.m_aCurve[3] = EVec2(0.01f, 0.0f);
  }
  UpdateRumble(1.0f);
}

