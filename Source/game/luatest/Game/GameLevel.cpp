// Levels: requests, loading and unloading, the level pack, sky boxes and
// the reboot of the script interpreter between levels.
#include <SDL/SDL.h>

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "DebugServer/DebugManager.h"
#include "Game/CameraPath.h"
#include "Game/GameApp.h"
#include "Game/GameLevelNames.h"
#include "Game/GameplayLogger.h"
#include "Game/LoadingScreen.h"
#include "Game/SaveLoadGame.h"
#include "Game/ScreenOverlays.h"
#include "Game/UIMenu.h"
#include "PathAI/PathAIManager.h"
#include "ScriptVM/ScriptMessage.h"
#include "ScriptVM/ScriptObject.h"
#include "TWGraphics/Renderer.h"
#include "TWSound/SoundManager.h"
#include "TWMath/Matrix.h"
#include "TWUtil/EFile.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/String.h"
#include "VERirezo/AnimManager.h"
#include "VERirezo/BucketAlloc.h"
#include "VERirezo/Decal.h"
#include "VERirezo/Water.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/DebugLine.h"
#include "VERirezo/Domain.h"
#include "VERirezo/EBlendAnimManager.h"
#include "VERirezo/Entity.h"
#include "VERirezo/FreezeManager.h"
#include "VERirezo/LightManager.h"
#include "VERirezo/MeshFrag.h"
#include "VERirezo/MeshManager.h"
#include "VERirezo/Physics.h"
#include "VERirezo/Scene.h"
#include "VERirezo/SceneSettings.h"
#include "VERirezo/Sprite.h"
#include "VERirezo/Text3D.h"
#include "VERirezo/TextureManager.h"
#include "VERirezo/Trigger.h"

bool gbLevelJustLoaded = false;

namespace {
void LevelFadeSleep(unsigned ms) { SDL_Delay(ms); }
}  // namespace

void (*GameApp::sm_pfnLevelFadeSleep)(unsigned ms) = LevelFadeSleep;

namespace {
// A message without arguments, delivered at once.
void LevelSendImmediate(EScriptVM& vm, const char* szName, EScriptObject* pReceiver, ...) {
  va_list args;
  va_start(args, pReceiver);
  vm.QueueScriptMessagev(szName, pReceiver, nullptr, kMESSAGE_Immediate, "", args);
  va_end(args);
}
}  // namespace

namespace levelnames {

void FullLevelName(const char* szPath, char* szOut, size_t size) {
  if (!size) return;
  szOut[0] = '\0';
  if (!szPath) return;
  // The text after the last folder separator; a separator in front alone
  // leaves the whole text.
  const char* pBase = szPath;
  for (const char* p = szPath; *p; ++p)
    if ((*p == '\\' || *p == '/') && p != szPath) pBase = p + 1;
  size_t n = 0;
  while (pBase[n] && pBase[n] != '.' && n + 1 < size) {
    const char c = pBase[n];
    szOut[n] = (c >= 'a' && c <= 'z') ? (char)(c - 'a' + 'A') : c;
    ++n;
  }
  szOut[n] = '\0';
}

void LevelCode(const char* szFullName, char szCode[5]) {
  size_t n = 0;
  for (; szFullName && n < 4 && szFullName[n]; ++n) szCode[n] = szFullName[n];
  szCode[n] = '\0';
}

void LevelScriptPath(const char* szFullName, char* szOut, size_t size) {
  snprintf(szOut, size, "scripts/%.2s/%s.lua", szFullName, szFullName);
}

void LevelScriptClass(const char* szFullName, char* szOut, size_t size) {
  char lower[3] = {0, 0, 0};
  for (int i = 0; i < 2 && szFullName[i]; ++i) lower[i] = (char)tolower((unsigned char)szFullName[i]);
  snprintf(szOut, size, "%s.%s", lower, szFullName);
}

bool AutosaveAllowedForCode(const char* szCode) {
  static const char* const kNoAutosave[] = {"MCBB", "CABU", "STMU"};
  for (const char* szNo : kNoAutosave)
    if (!strcasecmp(szCode, szNo)) return false;
  return true;
}

}  // namespace levelnames

void GameApp::RequestNewLevel(const char* szPath, bool) {
  if (szPath) {
    // A path the request buffer cannot hold, or one without a level name,
    // would load the wrong level (or none) after the running one is gone:
    // refuse it here, while nothing has changed.
    const size_t length = strlen(szPath);
    if (length >= sizeof(m_szRequestedLevel) - 1) {
      g_ErrorManager.TraceMessagef(TT_Warning, "RequestNewLevel: level path too long (%d characters)", (int)length);
      return;
    }
    char szFull[sizeof(m_szFullCurrentLevelName)];
    levelnames::FullLevelName(szPath, szFull, sizeof(szFull));
    if (strlen(szFull) < 2) {
      g_ErrorManager.TraceMessagef(TT_Warning, "RequestNewLevel: no level name in '%s'", szPath);
      return;
    }
    memcpy(m_szRequestedLevel, szPath, length + 1);
  }
  m_bNewLevelRequested = true;
  m_bCopyFrameBuffer = true;
}

// ---------------------------------------------------------------------------
// Memory reports around loading

void GameApp::ShowDebugMemory() {}
void GameApp::ShowMemoryDumpInfo() {}

void GameApp::levelMemoryReport(const char* szWhen, const char* szRule) {
  if (m_DebugHooks.PrintMemDump) {
    g_ErrorManager.TraceMessagef("Memdump %s", szWhen);
    ShowMemoryDumpInfo();
    g_ErrorManager.TraceMessagef("Memdump end");
  } else if (!m_DebugHooks.SparseDebug) {
    g_ErrorManager.TraceMessagef("%s", szRule);
    g_ErrorManager.TraceMessagef("Memory %s", szWhen);
    ShowDebugMemory();
    g_ErrorManager.TraceMessagef("%s", szRule);
  }
}

void GameApp::sampleLoadStatistics(int iPair) {
  if (!m_pRenderer || iPair < 0 || iPair > 2) return;
  m_afLoadVertexBytes[iPair] =
      (float)m_pRenderer->StatsGetAllocatedVertexMemory() + (float)m_pRenderer->StatsGetAllocatedIndexMemory();
  m_afLoadTextureBytes[iPair] = (float)m_pRenderer->StatsGetTotalTextureMemory();
}

// ---------------------------------------------------------------------------
// Loading

void GameApp::loadLevel() {
  static const char kRule25[] = "=========================";
  static const char kRule22[] = "======================";
  const bool bWasLoaded = m_bLevelLoaded;
  if (bWasLoaded) {
    ELoadingScreen::DisplayLoadingTextOneshot();
    unloadLevel();
    RebootLuaAndEntities();
  }

  // A loaded saved game brings its tables and is never autosaved over.
  bool bAutosave = true;
  if (m_pSaveLoadInterface && m_pSaveLoadInterface->IsLoadPending()) {
    m_pSaveLoadInterface->LoadTableToGame(true);
    m_pSaveLoadInterface->ClearPendingLoad();
    bAutosave = false;
    if (m_pPlayer && m_pPlayer->GetScriptObject())
      LevelSendImmediate(m_ScriptVM, "Loading", m_pPlayer->GetScriptObject());
  }

  ResetFrame();
  if (m_pRenderer) m_pRenderer->RestoreSize();
  if (m_pSpriteManager) m_pSpriteManager->RestoreSize();
  if (m_pText3DManager) m_pText3DManager->RestoreSize();
  EffectStoresLevelLoaded();
  if (m_pDebugLineManager) m_pDebugLineManager->RestoreSize();
  if (m_pDebugTriManager) m_pDebugTriManager->RestoreSize();
  if (m_pMeshFragManager) m_pMeshFragManager->CompactArrays(false);
  FreeUnusedBlocksInBuckets();

  levelnames::FullLevelName(m_szRequestedLevel, m_szFullCurrentLevelName, sizeof(m_szFullCurrentLevelName));
  levelnames::LevelCode(m_szFullCurrentLevelName, m_szCurrentLevelName);
  if (g_pGameplayLogger) {
    g_pGameplayLogger->LogStart(0x4C4F4144u);  // 'LOAD'
    g_pGameplayLogger->LogWrite(m_szFullCurrentLevelName, false);
    g_pGameplayLogger->LogEnd();
  }
  stopMenuMusic();
  if (EPathAIManager* pPathAI = EPathAIManager::Get()) pPathAI->Reset();
  ResetCameras();
  g_ErrorManager.TraceMessagef("Loading new level '%s'", m_szFullCurrentLevelName);

  if (m_pPlayer && m_pPlayer->GetScriptObject()) {
    char szSaved[301];
    snprintf(szSaved, sizeof(szSaved), "saved.%.294s", m_szCurrentLevelName);
    m_ScriptVM.CheckOrCreateTable(m_pPlayer->GetScriptObject(), szSaved);
  }
  if (m_pGameTextureManager) m_pGameTextureManager->PurgeTextures(true);
  m_fClairvoyanceMaskValue = 0.0f;
  ELoadingScreen::DisplayLoadingScreen();
  levelMemoryReport("post unload level", kRule25);
  sampleLoadStatistics(0);

  char szGroup[3] = {m_szFullCurrentLevelName[0], m_szFullCurrentLevelName[1], 0};
  LoadLocalizedTextBank(szGroup);

  bool bSceneLoaded = false;
  if (!LoadPackFile(m_szFullCurrentLevelName, false, &bSceneLoaded)) {
    LoadIndividualPackFiles(m_szFullCurrentLevelName, false);
    bSceneLoaded = m_pLevelDomain && m_pLevelDomain->LoadDomain(m_szRequestedLevel, 2);
  }
  if (!bSceneLoaded) {
    // Without its scene there is no level to run: the menus come back and
    // the load ends with no level loaded.
    if (m_pUIMenu) m_pUIMenu->ReInit();
    g_ErrorManager.TraceMessagef(TT_Warning, "Level '%s' did not load", m_szFullCurrentLevelName);
    m_bNewLevelRequested = false;
    return;
  }
  processLevelFigments();
  m_fDelayedStartTime = 1.0f;
  SetDelayedStartMusic();
  SetDelayedStartAmbFx();
  m_bLevelLoaded = false;
  m_bNewLevelRequested = false;

  if (m_pLevelDomain) ECollisionManager::sm_CM.Register(m_pLevelDomain);
  if (m_pPlayer && m_pPlayer->GetPhysics()) {
    EMat4 identity;
    identity.LoadIdentity();
    m_pPlayer->GetPhysics()->SetAbsTrans(identity, 11);
    m_pPlayer->GetPhysics()->SetGravityDir(EVec3(0.0f, 1.0f, 0.0f));
  }
  SetControlHandler(kCONTROL_NONE, nullptr);
  EControlHandler::StaticInit();
  for (EControlHandler* pHandler : m_aControlHandlers)
    if (pHandler) pHandler->LevelInit();

  g_ErrorManager.TraceMessagef("Initializing level script (if there is one)");
  EASSERT(strlen(m_szFullCurrentLevelName) >= 2);
  char szPath[300], szClass[300];
  levelnames::LevelScriptPath(m_szFullCurrentLevelName, szPath, sizeof(szPath));
  levelnames::LevelScriptClass(m_szFullCurrentLevelName, szClass, sizeof(szClass));
  if (!m_ScriptVM.GetBaseClass(szClass, nullptr, true) && !gFile->Exists(szPath, kFILELOC_ReadPaths)) {
    snprintf(szClass, sizeof(szClass), "%s", "global.DefaultLevelScript");
    g_ErrorManager.TraceMessagef("Level script not found. Using Global.DefaultLevelScript instead");
  }
  m_ScriptVM.CreateScriptObject(szClass, "LevelScript", nullptr, nullptr, false, true, false, true);

  if (m_Prefs.m_bManageSounds) {
    char szLower[51];
    snprintf(szLower, sizeof(szLower), "%s", m_szFullCurrentLevelName);
    for (char* p = szLower; *p; ++p) *p = (char)tolower((unsigned char)*p);
    LoadSoundData(szLower, false, false);
  }

  SetControlHandler(kCONTROL_PLAYER, nullptr);
  m_bLevelLoaded = true;
  m_fDelayedStartTime = 0.5f;
  SetDelayedStartMusic();
  SetDelayedStartAmbFx();
  sampleLoadStatistics(1);

  if (bAutosave && m_pSaveLoadInterface && !m_Prefs.m_bOxmBuild &&
      levelnames::AutosaveAllowedForCode(m_szCurrentLevelName)) {
    EGameProfile* pProfile = m_pSaveLoadInterface->GetCurrentProfile();
    if (pProfile && pProfile->IsProfileCreated() && !pProfile->GetNoSave() &&
        m_pSaveLoadInterface->CanSaveGameInSlot(0, "Autosave", false))
      m_pSaveLoadInterface->Save("Autosave", 0, true);
  }

  m_ScriptVM.SendStateMessageToAllScripts(kSSM_PreBeginLevel);
  m_iLevelLoadedState = 1;
  m_ScriptVM.SendStateMessageToAllScripts(kSSM_BeginLevel);
  m_iLevelLoadedState = 2;
  ELoadingScreen::HideLoadingScreen();
  m_ScriptVM.ForceGarbageCollection();
  m_ScriptVM.SendStateMessageToAllScripts(kSSM_PostBeginLevel);
  sampleLoadStatistics(2);
  gbLevelJustLoaded = true;
  FreeUnusedBlocksInBuckets();

  if (EScene* pScene = m_pSceneManager ? m_pSceneManager->GetCurrentScene() : nullptr) {
    ESceneSettings& settings = pScene->GetSettings();
    if (!settings.m_hEnvironmentMap && m_pGameTextureManager)
      settings.m_hEnvironmentMap = m_pGameTextureManager->GetTextureHandle(m_pGameTextureManager->AddTexture(
          "Workresource\\Textures\\Cubemaps\\default_reflection.dds", 0, nullptr));
  }
  m_Timing.LatchSubTimer("Main");
  if (m_pRenderer) {
    m_pRenderer->RestoreRenderTarget();
    m_pRenderer->ClearRenderTarget(EVec4(0.0f, 0.0f, 0.0f, 0.0f), true, false, false, 1.0f);
  }

  g_ErrorManager.TraceMessagef("%s", kRule22);
  g_ErrorManager.TraceMessagef("Asset load progression");
  g_ErrorManager.TraceMessagef("%s", kRule22);
  static const char* const kPairs[3] = {"Initial: %.3f MB Vertex, %.3f MB Texture",
                                        "Level  : %.3f MB Vertex, %.3f MB Texture",
                                        "Scripts: %.3f MB Vertex, %.3f MB Texture"};
  for (int i = 0; i < 3; ++i)
    g_ErrorManager.TraceMessagef(kPairs[i], m_afLoadVertexBytes[i] / 1048576.0f, m_afLoadTextureBytes[i] / 1048576.0f);
  g_ErrorManager.TraceMessagef("%s", kRule22);
  levelMemoryReport("post level load", kRule22);

  if (m_pDebugManager && m_pDebugManager->Connected()) m_pDebugManager->SendEvent(3);
  m_iLevelLoadedState = 3;
  m_ScriptVM.ForceGarbageCollection();
  m_fMenuIdleTime = m_Prefs.m_bOxmBuild ? 20000.0f : 100000.0f;
  if (m_Prefs.m_bOxmBuild) m_fDemoTimer = GetDemoTimeout();
}

// ---------------------------------------------------------------------------
// Unloading

void GameApp::unloadLevel() {
  static const char kRule[] = "======================";
  fadeOutLevelSound();
  if (g_pGameplayLogger) {
    g_pGameplayLogger->LogStart(0x554E4C44u);  // 'UNLD'
    g_pGameplayLogger->LogWrite(m_szFullCurrentLevelName, false);
    g_pGameplayLogger->LogEnd();
  }
  levelMemoryReport("pre level unload", kRule);

  if (m_pRenderer) m_pRenderer->BlockOnFence();
  if (m_pFreezeManager) m_pFreezeManager->LevelReset();
  if (m_pLevelDomain) ECollisionManager::sm_CM.Unregister(m_pLevelDomain);
  SetControlHandler(kCONTROL_NONE, nullptr);
  if (m_pGameTextureManager) m_pGameTextureManager->PurgeTextures(true);
  if (EPathAIManager* pPathAI = EPathAIManager::Get()) pPathAI->Reset();
  UnloadLocalizedLevelTextBank();

  if (m_bLevelLoaded) {
    m_bLevelUnloading = true;
    m_ScriptVM.SendStateMessageToAllScripts(kSSM_EndLevel);
    if (m_pWaterManager) m_pWaterManager->EndLevel();
    if (m_pBlendAnimManager) m_pBlendAnimManager->FinishAsyncRequests();
    if (EAnimManager::IsCreated()) EAnimManager::Get()->onEndLevel();
    if (m_pLevelDomain) m_pLevelDomain->Clear();
    if (m_pInvItemsDomain) m_pInvItemsDomain->Clear();
    m_bLevelLoaded = false;
    for (EControlHandler* pHandler : m_aControlHandlers) {
      EASSERT(pHandler);
      if (pHandler) pHandler->LevelCleanup();
    }
    if (EScriptObject* pLevelScript = m_ScriptVM.FindScriptByName("LevelScript")) {
      g_ErrorManager.TraceMessagef("Removing Level Script");
      m_ScriptVM.RemoveScript(pLevelScript, true);
    }
    if (m_bSkyBoxSet) {
      if (m_pSkyBoxDomain) m_pSkyBoxDomain->Clear();
      m_bSkyBoxSet = false;
    }
    if (m_pPlayer && m_pPlayer->GetScriptObject())
      m_ScriptVM.SetScriptTableValueToBlankTable(m_pPlayer->GetScriptObject(), "notSaved");
    m_ScriptVM.UnloadingLevel();
    m_iLevelLoadedState = 0;
    m_bLevelUnloading = false;
    CleanupDestroyedEntities(false);
    purgeLevelSound();
    // Mesh triggers let go of their meshes before the purge; every other trigger goes after it.
    ETriggerBase::onUnloadLevel1();
    EMeshManager* pMeshes = EMeshManager::GetMeshManager();
    if (pMeshes) pMeshes->PurgeCache(false);
    ETriggerBase::onUnloadLevel2();
    if (pMeshes && g_ErrorManager.IsEnabled(TT_Developer4) && !m_DebugHooks.SparseDebug) pMeshes->DumpDebugInfo();
  }

  if (m_pUIMenu && InControlHandler(kCONTROL_MENU)) SetControlHandler(kCONTROL_PLAYER, nullptr);
  if (m_pDebugManager && m_pDebugManager->Connected()) m_pDebugManager->SendEvent(2);
  if (m_pDecalManager) m_pDecalManager->Clear();
  if (m_pCameraPaths) DeleteUnkeptCameraPaths(*m_pCameraPaths);
  if (m_pRenderer) {
    m_pRenderer->ReleaseUnusedVertexPools();
    m_pRenderer->FlushVideoMem();
  }
  m_szCurrentLevelName[0] = '\0';
  if (EScene* pScene = m_pSceneManager ? m_pSceneManager->GetCurrentScene() : nullptr) {
    pScene->Reset();
    if (m_pLightManager) m_pLightManager->SetPsiLightColor(pScene->GetSettings().m_vPsiLightColor);
  }
  if (m_pMeshFragManager) m_pMeshFragManager->CreateDummyBlendVBs();
}

void GameApp::RebootLuaAndEntities() {
  EString state;
  if (m_pSaveLoadInterface) m_pSaveLoadInterface->SaveLuaSaveableStateToString(state);
  ShutdownEntities();
  ShutdownLua();
  InitLua();
  InitEntities();
  if (m_pSaveLoadInterface) m_pSaveLoadInterface->LoadLuaSaveableStateFromString(state);
  InitLua2();
}

// ---------------------------------------------------------------------------
// Pack files

bool GameApp::LoadPackFile(const char* szName, bool bCommon, bool* pbSceneLoaded) {
  if (pbSceneLoaded) *pbSceneLoaded = false;
  if (m_DebugHooks.MakingPackfiles || !m_Prefs.m_bDvdEnvironment) return false;
  char szPath[4096];
  snprintf(szPath, sizeof(szPath), "PCLevelPackFiles/%s.ppf", bCommon ? "common" : (szName ? szName : ""));
  bool bResult = false;
  if (EFile* pFile = gFile->Open(szPath, FILE_READ, kFILELOC_ReadPaths)) {
    EFileReader reader(pFile, kAUTOCLOSE_Yes);
    bResult = ReadLevelPack(reader, bCommon, pbSceneLoaded);
    if (!bResult) return false;
  }
  // The animation pack beside it: "ppf" becomes "apf".
  const size_t length = strlen(szPath);
  memcpy(szPath + length - 3, "apf", 3);
  if (EFile* pFile = gFile->Open(szPath, FILE_READ, kFILELOC_ReadPaths)) {
    EFileReader reader(pFile, kAUTOCLOSE_Yes);
    if (EAnimManager::IsCreated()) EAnimManager::Get()->ReadPackFile(reader, bCommon);
  }
  return bResult;
}

bool GameApp::ReadLevelPack(EFileReader& reader, bool bCommon, bool* pbSceneLoaded) {
  uint32_t magic = 0;
  reader << magic;
  if (reader.Err() || magic != kLEVEL_PACK_MAGIC) return false;
  // The sections have no lengths: each reader must take exactly its own
  // bytes, and a damaged one leaves nothing to read the rest from.
  if (m_pGameTextureManager && !m_pGameTextureManager->ReadPackFile(reader, bCommon)) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Level pack '%s': damaged texture section", reader.GetName());
    return true;
  }
  if (EMeshManager* pMeshes = EMeshManager::GetMeshManager()) pMeshes->ReadPackFile(reader);
  if (reader.Err() || !m_ScriptVM.ReadPackFile(reader)) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Level pack '%s': damaged mesh or script section", reader.GetName());
    return true;
  }
  if (!bCommon && m_pLevelDomain) {
    EScene* pScene = m_pSceneManager ? m_pSceneManager->GetCurrentScene() : nullptr;
    if (pScene) pScene->SetLoadingFromPackfile(true);
    const bool bScene = m_pLevelDomain->LoadDomain(reader, 2);
    if (pScene) pScene->SetLoadingFromPackfile(false);
    if (pbSceneLoaded) *pbSceneLoaded = bScene;
  }
  return true;
}

bool GameApp::LoadIndividualPackFiles(const char* szName, bool bCommon) {
  if (m_DebugHooks.MakingPackfiles || !m_Prefs.m_bDvdEnvironment) return false;
  if (m_pGameTextureManager) m_pGameTextureManager->ReadPackFile(szName, bCommon);
  if (EMeshManager* pMeshes = EMeshManager::GetMeshManager()) pMeshes->ReadPackFile(szName);
  return m_ScriptVM.ReadPackFile(szName, false);
}

// ---------------------------------------------------------------------------
// Sky boxes

bool GameApp::SetSkyBox(const char* szScenePath, unsigned slot) {
  char szName[50];
  snprintf(szName, sizeof(szName), "SkyBox%i", (int)slot);
  if (!m_pSkyBoxDomain) return false;
  const EList<EDomain*>& children = m_pSkyBoxDomain->GetChildDomains();
  for (POSITION pos = children.GetHeadPosition(); pos;) {
    if (!strcmp(children.GetNext(pos)->GetName(), szName)) {
      g_ErrorManager.TraceMessagef(TT_Warning, "SetSkyBox: Skybox is already loaded in slot %i", (int)slot);
      return false;
    }
  }
  EDomain* pNewDomain = m_pSkyBoxDomain->CreateChildDomain(szName);
  EASSERT(pNewDomain);
  const bool bLoaded = pNewDomain->LoadDomain(szScenePath, 2);
  if (bLoaded) {
    SetActiveSkyBox(slot);
    m_bSkyBoxSet = true;
  }
  return bLoaded;
}

void GameApp::SetActiveSkyBox(unsigned slot) {
  char szName[50];
  snprintf(szName, sizeof(szName), "SkyBox%i", (int)slot);
  if (!m_pSkyBoxDomain) return;
  bool bFound = false;
  const EList<EDomain*>& children = m_pSkyBoxDomain->GetChildDomains();
  for (POSITION pos = children.GetTailPosition(); pos;) {
    EDomain* pChild = children.GetPrev(pos);
    const bool bThis = !strcmp(pChild->GetName(), szName);
    bFound |= bThis;
    if (pChild->IsSleeping() == bThis) pChild->SetSleepFlag(!bThis);
  }
  if (!bFound) g_ErrorManager.TraceMessagef(TT_Warning, "SetActiveSkyBox: Did not find skybox in slot %i", (int)slot);
}

// ---------------------------------------------------------------------------
// Neighbours of the level sequence

void GameApp::processLevelFigments() {}

void GameApp::SetDelayedStartMusic() { m_bDelayedMusicStart = true; }

void GameApp::SetDelayedStartAmbFx() { m_bDelayedAmbienceStart = true; }

void GameApp::stopMenuMusic() {
  if (!m_pSoundManager) return;
  const uint32_t uCue = m_pSoundManager->GetSoundCue("Janitor'sSacredHall");
  if (m_pSoundManager->SoundCueIsPlaying(uCue)) m_pSoundManager->StopSoundCue(uCue, 0, 0);
}

void GameApp::fadeOutLevelSound() {
  if (!m_pSoundManager) return;
  m_pSoundManager->MuteCategory(kSOUNDCAT_ALL, 0.49f);
  for (int i = 0; i < 50; ++i) {
    sm_pfnLevelFadeSleep(10);
    m_pSoundManager->DoWork(0.01f);
  }
  m_pSoundManager->StopAll();
}

void GameApp::purgeLevelSound() {
  if (!m_pSoundManager) return;
  m_pSoundManager->DumpConcurrency();
  if (m_Prefs.m_bManageSounds) {
    // The coming level's banks stay; with no level coming every unkept bank goes.
    char szLevel[301] = "";
    if (m_bNewLevelRequested) {
      levelnames::FullLevelName(m_szRequestedLevel, szLevel, sizeof(szLevel));
      for (char* p = szLevel; *p; ++p) *p = (char)tolower((unsigned char)*p);
    }
    m_pSoundManager->PurgeBanks(szLevel[0] ? szLevel : nullptr, "_night", false);
  }
  m_pSoundManager->PauseAll();
  m_pSoundManager->ResumeAll();
  m_pSoundManager->UnmuteCategory(kSOUNDCAT_ALL);
  m_pSoundManager->ClearConcurrency();
}
