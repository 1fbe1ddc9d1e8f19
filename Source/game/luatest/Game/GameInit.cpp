// Start-up of the application: the preferences file.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <unistd.h>

#include "DebugServer/DebugManager.h"
#include "DebugServer/TWConsole.h"
#include "Event/EEventAnimManager.h"
#include "Game/BubbleControlHandler.h"
#include "Game/Camera.h"
#include "Game/CameraPath.h"
#include "Game/DialogChoiceControlHandler.h"
#include "Game/FigmentControlHandler.h"
#include "Game/MenuControlHandler.h"
#include "Game/ProfileControlHandler.h"
#include "Game/SlideshowControlHandler.h"
#include "Game/TKControlHandler.h"
#include "Game/DialogueManager.h"
#include "Game/LoadingScreen.h"
#include "Game/RecordPlayback.h"
#include "Game/GameApp.h"
#include "Game/SaveLoadGame.h"
#include "Game/ScreenOverlays.h"
#include "Game/UIMenu.h"
#include "Path/PathManager.h"
#include "PathAI/PathAIManager.h"
#include "TWGraphics/Renderer.h"
#include "TWMath/MathUnitTest.h"
#include "TWUtil/EFile.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/EGameFile.h"
#include "TWUtil/EMemStack.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/Profiler.h"
#include "TWUtil/UnitTest.h"
#include "ScriptVM/ScriptObject.h"
#include "VERirezo/AnimManager.h"
#include "VERirezo/EBlendAnimManager.h"
#include "Entity/PlayerEntity.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Entity.h"
#include "VERirezo/EntityManager.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/Scene.h"
#include "VERirezo/SceneSettings.h"
#include "VERirezo/TextureManager.h"
#include "VERirezo/MeshManager.h"

EPrefs::EPrefs()
    : m_bSound(true),
      m_bDebugServer(true),
      m_bMainMenu(true),
      m_bInGameMenu(false),
      m_bDemoBuild(false),
      m_bOxmBuild(false),
      m_bStartLog(false),
      m_bScriptDebug(false),
      m_bTextureDebug(false),
      m_bAnimDebug(false),
      m_bRenderingCutscene(false),
      m_bWaitForConnect(false),
      m_bManageSounds(true),
      m_bGameplayLogging(true),
      m_bBreakOnRawString(false),
      m_bDvdEnvironment(false),
      m_bProductionLoading(true),
      m_bDebugSoundStreams(false),
      m_bSSE(false),
      m_bHardwareAudio(false) {}

EGameLanguage GetDefaultGameLanguage() {
  STUBBED("check LANG envr var");
  return kLANGUAGE_English;
}

namespace {

const int kMAX_PREFS_LINE = 300;

enum EPrefKind {
  kPREF_Switch,       // a bool of EPrefs
  kPREF_DebugSwitch,  // a bool of the debug switches
  kPREF_DebugScreen,  // selects a debug screen when true
  kPREF_CacheShaders,
  kPREF_Trace,        // a trace channel on or off
  kPREF_Language,
  kPREF_PrependResourceDir,
};

struct EPrefKey {
  const char* key;
  bool exact;  // compared with case
  EPrefKind kind;
  bool EPrefs::*prefsSwitch;
  bool EDebugHooks::*debugSwitch;
  int value;  // debug screen or trace channel
};

#define PREF(key, member) {key, false, kPREF_Switch, &EPrefs::member, nullptr, 0}
#define DEBUG_SWITCH(key, member) {key, false, kPREF_DebugSwitch, nullptr, &EDebugHooks::member, 0}
#define DEBUG_SCREEN(key, page) {key, false, kPREF_DebugScreen, nullptr, nullptr, page}
#define TRACE(key, channel) {key, false, kPREF_Trace, nullptr, nullptr, channel}

// In lookup order.
const EPrefKey kPREF_KEYS[] = {
    PREF("sound", m_bSound),
    PREF("debug_server", m_bDebugServer),
    PREF("main_menu", m_bMainMenu),
    PREF("ingame_menu", m_bInGameMenu),
    PREF("demo_build", m_bDemoBuild),
    PREF("start_log", m_bStartLog),
    PREF("wait_for_connect", m_bWaitForConnect),
    PREF("manage_sounds", m_bManageSounds),
    PREF("dvd_environment", m_bDvdEnvironment),
    PREF("production_loading", m_bProductionLoading),
    PREF("oxm_build", m_bOxmBuild),
    DEBUG_SWITCH("simple_debug_combo", SimpleDebugCombo),
    DEBUG_SWITCH("dead_lso_break", DeadLSOBreak),
    DEBUG_SWITCH("rumble_pack", Rumble),
    DEBUG_SWITCH("compress_bumpmaps", CompressBumpmaps),
    DEBUG_SWITCH("auto_reduce_textures", AutoReduceTextures),
    DEBUG_SWITCH("auto_reduce_break", AutoReduceBreak),
    DEBUG_SWITCH("showtargets", ShowTargets),
    DEBUG_SWITCH("buildtext", ShowBuildText),
    DEBUG_SWITCH("attractmode", AttractMode),
    DEBUG_SWITCH("no_hud", NoHUD),
    DEBUG_SWITCH("print_memdump", PrintMemDump),
    PREF("break_on_rawstring", m_bBreakOnRawString),
    PREF("debug_sound_streams", m_bDebugSoundStreams),
    DEBUG_SCREEN("showperformanceinfo", 1),
    DEBUG_SCREEN("showmemoryinfo", 3),
    DEBUG_SCREEN("showmemoryinfodeltas", 4),
    DEBUG_SCREEN("showplayerinfo", 7),
    DEBUG_SCREEN("showcamerainfo", 8),
    {"cacheshaders", false, kPREF_CacheShaders, nullptr, nullptr, 0},
    PREF("rendering_cutscene", m_bRenderingCutscene),
    DEBUG_SWITCH("subtitles", Subtitles),
    DEBUG_SWITCH("first_half_demo", FirstHalfDemo),
    TRACE("TT_Localization", TT_Localization),
    TRACE("TT_Physics", TT_Physics),
    TRACE("TT_Anim", TT_Anim),
    TRACE("TT_Render", TT_Render),
    TRACE("TT_Script", TT_Script),
    TRACE("TT_Action", TT_Action),
    TRACE("TT_Camera", TT_Camera),
    TRACE("TT_Sound", TT_Sound),
    TRACE("TT_Mesh", TT_Mesh),
    TRACE("TT_Developer1", TT_Developer1),
    TRACE("TT_Developer2", TT_Developer2),
    TRACE("TT_Developer3", TT_Developer3),
    TRACE("TT_Developer4", TT_Developer4),
    TRACE("TT_Developer5", TT_Developer5),
    PREF("script_debug", m_bScriptDebug),
    PREF("texture_debug", m_bTextureDebug),
    PREF("anim_debug", m_bAnimDebug),
    {"language", true, kPREF_Language, nullptr, nullptr, 0},
    {"prepend_resource_dir", true, kPREF_PrependResourceDir, nullptr, nullptr, 0},
    {"mesh_debug", true, kPREF_Trace, nullptr, nullptr, TT_Mesh},
};

#undef PREF
#undef DEBUG_SWITCH
#undef DEBUG_SCREEN
#undef TRACE

// One line of the file. Each key acts on its own setting only.
void ApplyPrefsLine(EPrefs& prefs, const char* line, EGameLanguage& language) {
  if (!isalpha((unsigned char)line[0])) return;

  // A key without a value gets an empty value, never the previous line's.
  char key[kMAX_PREFS_LINE + 1] = "";
  char value[kMAX_PREFS_LINE + 1] = "";
  sscanf(line, "%300s %300s", key, value);
  bool bValue = value[0] != '0';

  const EPrefKey* found = nullptr;
  for (const EPrefKey& k : kPREF_KEYS) {
    if (k.exact ? !strcmp(key, k.key) : !strcasecmp(key, k.key)) {
      found = &k;
      break;
    }
  }
  if (!found) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Unknown ini file command: '%s'", line);
    return;
  }

  switch (found->kind) {
    case kPREF_Switch: prefs.*(found->prefsSwitch) = bValue; break;
    case kPREF_DebugSwitch:
      if (gGameApp) gGameApp->m_DebugHooks.*(found->debugSwitch) = bValue;
      break;
    case kPREF_DebugScreen:
      if (bValue && gGameApp) gGameApp->m_DebugHooks.DebugDisplay = found->value;
      break;
    case kPREF_CacheShaders: g_bCacheShaders = bValue; break;
    case kPREF_Trace: g_ErrorManager.SetEnabled((TRACETYPE)found->value, bValue); break;
    case kPREF_Language:
      if (!strcasecmp(value, "french")) language = kLANGUAGE_French;
      else if (!strcasecmp(value, "german")) language = kLANGUAGE_German;
      else if (!strcasecmp(value, "english") || !strcasecmp(value, "nonsense")) language = kLANGUAGE_English;
      break;
    case kPREF_PrependResourceDir: {
      if (!value[0]) break;
      char dir[kMAX_PREFS_LINE + 8];
      snprintf(dir, sizeof(dir), "D:/%s", value);
      if (gFile->Exists(dir, kFILELOC_AsGiven)) gFile->AddReadPath(dir, true);
      break;
    }
  }
}

}  // namespace

void EPrefs::ReadPrefs() {
  EGameLanguage language = GetDefaultGameLanguage();

  EGameFile file;
  if (file.Open("../quillomar.ini", false)) {
    int size = file.GetFilesize();
    char* buffer = size > 0 ? static_cast<char*>(malloc((size_t)size)) : nullptr;
    int got = buffer ? file.Read(buffer, 1, size) : 0;
    file.Close();
    EMemFile mem;
    // An unreadable file counts as an empty one: the language and the
    // packed-data probe below still apply.
    if (buffer && got > 0 && mem.Open(buffer, (unsigned)got, false, true)) {
      char line[kMAX_PREFS_LINE + 1];
      while (mem.GetPos() < mem.GetSize()) {
        if (mem.ReadString(line, (int)sizeof(line)) == 0) {
          // A zero byte ends no line; step over it.
          uint8_t skipped;
          mem.ReadByte(&skipped);
          continue;
        }
        ApplyPrefsLine(*this, line, language);
      }
      mem.Close();
    } else {
      free(buffer);
    }
  }

  if (gGameApp) gGameApp->SetLanguage(language);

  if (!m_bDvdEnvironment) {
    // Without the loose level files the data must come packed.
    EFile* probe = gFile->Open("Levels/CAKC.plb", FILE_READ, kFILELOC_Default);
    if (!probe) m_bDvdEnvironment = true;
    else probe->Close();
  }
}

// Start-up and shut-down

namespace {

// The error manager's console callback: every trace line goes to the console.
void ConsoleCallback(const char* szText) { SingletonTWConsole::AddString(szText); }

// Free memory that the system could give us now, in megabytes; a negative
// value when the system does not say.
double GetAvailableMemoryMB() {
  if (FILE* file = fopen("/proc/meminfo", "r")) {
    char line[256];
    while (fgets(line, sizeof(line), file)) {
      unsigned long long kb = 0;
      if (sscanf(line, "MemAvailable: %llu kB", &kb) == 1) {
        fclose(file);
        return (double)kb / 1024.0;
      }
    }
    fclose(file);
  }
  long pages = sysconf(_SC_AVPHYS_PAGES);
  long pageSize = sysconf(_SC_PAGESIZE);
  if (pages < 0 || pageSize <= 0) return -1.0;
  return (double)pages * (double)pageSize / (1024.0 * 1024.0);
}

const unsigned kANIM_CACHE_SIZE = 16777216;

}  // namespace

bool GameApp::StartUp(void* data) {
  EProfileZone zone("Start Up", 0, false);
  gGameApp = this;

  BindThreadLocalStack(&g_PrimaryStack);

  g_ErrorManager.SetEnabled(TT_Action, false);
  g_ErrorManager.SetEnabled(TT_Sound, false);
  g_ErrorManager.SetEnabled(TT_Camera, false);
  g_ErrorManager.SetEnabled(TT_Mesh, false);
  g_ErrorManager.SetEnabled(TT_Anim, true);

  m_Prefs.ReadPrefs();
  g_ErrorManager.SetEnabled(TT_Store, true);

  SetPCLanguage(GetLanguage());

  if (m_Prefs.m_bMainMenu) m_DebugHooks.ShowBuildText = false;
  m_DebugHooks.HideContentWarnings = true;

  WriteBuildString(g_dwBuildVersionMajor, g_dwBuildVersionMinor);

  // Neither the scene manager nor the font exists yet; the console keeps
  // them and draws nothing.
  SingletonTWConsole::CreateConsole(m_pSceneManager, (unsigned)m_iTahomaFont);
  g_ErrorManager.SetConsoleCallback(ConsoleCallback);
  g_ErrorManager.SetNonfatalProblemCallback(OnNonfatalProblem);
  g_ErrorManager.AddContextCallback(DumpGameContext);

  if (m_Prefs.m_bStartLog) SingletonTWConsole::StartLogFile();

  g_ErrorManager.TraceMessagef("Save  path: %s", gFile->GetUserDataDir());
  g_ErrorManager.TraceMessagef("Write path: %s", gFile->GetWritePath() ? gFile->GetWritePath() : "");

  // The core self-test runs only when the math self-test passed; a failure
  // is traced and start-up goes on.
  if (!TWMath::UnitTest() || !TWUtil::UnitTest()) {
    g_ErrorManager.TraceMessagef("******** unit test failed ********");
  }

  if (m_Prefs.m_bDebugServer) {
    EASSERT(m_pDebugManager == NULL);
    m_pDebugManager = new EDebugManager();
    if (!m_pDebugManager->Init(m_Prefs.m_bWaitForConnect)) {
      delete m_pDebugManager;
      m_pDebugManager = nullptr;
    }
  }

  m_pBlendAnimManager = EBlendAnimManager::createBlendAnimManager();
  m_pEventAnimManager = EEventAnimManager::createEventAnimManager();
  m_pPathAIManager = EPathAIManager::createPathAIManager();
  m_pDialogueManager = EDialogueManager::createDialogueManager();
  m_pPathManager = EPathManager::createPathManager();
  EASSERT(m_pPathManager);

  InitInput(data);
  ValidateGraphics();
  if (!InitRender(data)) return false;

  m_pRecordPlayback = new ERecordPlayback();
  m_pRecordPlayback->StartUp();

  ECamera::ResetStaticGlobals();
  for (int i = 0; i < kNUM_CAMERAS; ++i) m_aCameras[i] = new ECamera();
  for (int i = 0; i < kNUM_CAMERA_CHANNELS; ++i) {
    m_aCameraChannels[i].Clear();
    if (i < 8) m_aCameraChannels[i].m_pCamera = m_aCameras[i];
  }

  m_pLanguageInfo = new ELanguageInfo();

  BuildDomainTree();

  static const Input s_NoInput = Input();
  m_aCameras[8]->SetPosition(EVec3(0.0f, 0.0f, 200.0f));
  m_aCameras[8]->SetRotation(EVec3(1.0f, 0.0f, 0.0f), EVec3(0.0f, 1.0f, 0.0f), EVec3(0.0f, 0.0f, 1.0f));
  m_aCameras[8]->Update(&s_NoInput, 0.0f);

  m_pMapCamera = new ECamera();
  m_pMapCamera->Init(kCAMERA_MAP);
  m_pMapCamera->SetVisibilityCheck(false);

  EMeshManager::Initialize();
  EAnimManager::Create(m_Prefs.m_bRenderingCutscene ? kANIM_CACHE_SIZE : 0);

  InitLua();
  if (!LoadPackFile("common", true)) LoadIndividualPackFiles("common", true);

  InitShaders();
  if (m_pRenderer) CreateScreenTargetTextures();
  InitSound(data);

  EProfileOneShot postInstall("GameApp::StartUp Post-Install total");
  {
    EProfileOneShot scope("GameApp::StartUp InitSoundFiles()");
    InitSoundFiles(data);
  }

  if (m_pSceneManager && m_pSceneManager->GetCurrentScene()) {
    EScene* pScene = m_pSceneManager->GetCurrentScene();
    if (m_pGameTextureManager) {
      const unsigned idSwirl =
          m_pGameTextureManager->AddTexture("WorkResource\\Textures\\FXTextures\\Distortion\\Swirl.dds", 0, nullptr);
      pScene->GetSettings().SetDefaultTextures(m_pGameTextureManager->GetTextureHandle(idSwirl),
                                               m_pGameTextureManager->GetTextureHandle(GetRopeTexture()));
    }
    pScene->Reset();
  }
  if (m_pDialogueManager) m_pDialogueManager->setSoundManager(m_pSoundManager);
  m_DialogManager.Init(m_pSceneManager);

  m_fRealDeltaTime = m_fSimDeltaTime = 1.0f / 60.0f;
  m_dRealElapsedTime = m_dSimElapsedTime = 1.0f / 60.0f;

  m_Timing.StartSubTimer("Main", 2);

  if (!m_pCameraPaths) m_pCameraPaths = CreateCameraPathPool();

  InitControlHandlers();

  {
    EProfileOneShot scope("GameApp::StartUp InitEntities()");
    InitEntities();
    ShutdownEntities();
    InitEntities();
  }

  m_pMessageBoxManager = new EMessageBoxManager();
  m_pTutorialBoxManager = new ETutorialBoxManager();
  if (!m_pSaveLoadInterface) m_pSaveLoadInterface = new ELoadSaveGame();
  {
    EProfileOneShot scope("GameApp::StartUp m_pSaveLoadInterface->Startup()");
    m_pSaveLoadInterface->Startup();
  }

  m_pScreenFade = new EScreenFade();
  m_pUIMenu = new EUIMenu();

  {
    EProfileOneShot scope("GameApp::StartUp m_UserInterface.Setup()");
    m_UserInterface.Setup();
  }

  initUIMenu();
  m_pSaveLoadInterface->InitDebugProfile();

  SetInitialized(kSUBSYSTEM_UIMenu, true);

  {
    EProfileOneShot scope("GameApp::StartUp InitLua2()");
    InitLua2();
  }
  {
    EProfileOneShot scope("GameApp::StartUp SetupLevelMenu()");
    m_ScriptVM.RunLuaCommands("SetupLevelMenu()", nullptr, nullptr, 0);
  }

  m_pSayLineDisplayManager = new ESayLineDisplayManager();
  m_pScriptSpriteManager = new EScriptSpriteManager();
  m_p2DLinesManager = new E2DLinesManager();
  m_p2DLinesManager->StartUp();
  m_pScriptTextManager = new EScriptTextManager();
  m_pScriptTextManager->Startup();

  ELoadingScreen::InitLoadingScreen();

  m_bStartUpComplete = true;

  if (m_pDebugManager && m_pDebugManager->Connected()) m_pDebugManager->SendEvent(9);

  if (!m_Prefs.m_bOxmBuild) {
    m_pRenderer->ClearRenderTarget(EVec4(0.0f, 0.0f, 0.0f, 0.0f), true, true, true, 1.0f);
    m_pRenderer->Present(true);
  }
  return true;
}

void GameApp::initUIMenu() {
  if (m_Prefs.m_bDvdEnvironment || m_Prefs.m_bDemoBuild) {
    m_pUIMenu->StartUp("MainMenu");
    m_pUIMenu->DisableLevelMenu();
    m_Prefs.m_bInGameMenu = true;
  } else if (m_Prefs.m_bMainMenu) {
    m_pUIMenu->StartUp("MainMenu");
    m_Prefs.m_bInGameMenu = true;
  } else {
    m_pUIMenu->StartUp("LevelMenu");
  }
}

void GameApp::InitLua() {
  m_ScriptVM.Initialise();
  if (m_pDebugManager) m_pDebugManager->onInitLua();
  m_ScriptVM.ReadPackFile("common", true);
  m_ScriptVM.DoFile("scripts/boot.lua", false);
  SetInitialized(kSUBSYSTEM_Lua, true);
}

void GameApp::InitLua2() {
  EASSERT(IsInitialized(kSUBSYSTEM_Lua));
  EASSERT(IsInitialized(kSUBSYSTEM_Entity));
  EASSERT(IsInitialized(kSUBSYSTEM_UIMenu));
  bool bRet = m_ScriptVM.CallFunctionf("run_hook", "s", "startup");
  EASSERT(bRet);
}

void GameApp::ShutdownLua() {
  bool bRet = m_ScriptVM.CallFunctionf("run_hook", "s", "shutdown");
  EASSERT(bRet);
  m_ScriptVM.Shutdown();
  if (m_pDebugManager) m_pDebugManager->onShutdownLua();
  SetInitialized(kSUBSYSTEM_Lua, false);

  // What the script host still holds once the interpreter is gone.
  if (EScriptVM::GetHostAllocsInUse() > 1) {
    g_ErrorManager.TraceMessagef(TT_Warning, "ScriptVM still using %d bytes in %d allocs",
                                 (int)EScriptVM::GetHostBytesInUse(), EScriptVM::GetHostAllocsInUse());
  }
}

void GameApp::InitControlHandlers() {
  for (int iType = 0; iType < kCONTROL_NUMTYPES; ++iType) {
    m_aControlHandlers[iType] = EControlHandlerFactory::Create(this, iType);
    EASSERT(m_aControlHandlers[iType]);
  }
  m_pControlHandler = nullptr;
  m_pUIControlHandler = nullptr;
  m_pBubbleControlHandler = static_cast<EBubbleControlHandler*>(m_aControlHandlers[kCONTROL_BUBBLE]);
  m_pBubbleControlHandler->InitializeInventory();
  m_pTKControlHandler = static_cast<ETKControlHandler*>(m_aControlHandlers[kCONTROL_TELEKINESIS]);
  m_pProfileControlHandler = static_cast<EProfileControlHandler*>(m_aControlHandlers[kCONTROL_PROFILE]);
  m_pProfileControlHandler->Startup();
  m_pMenuControlHandler = static_cast<EMenuControlHandler*>(m_aControlHandlers[kCONTROL_MENU]);
  m_pDialogChoiceControlHandler =
      static_cast<EDialogChoiceControlHandler*>(m_aControlHandlers[kCONTROL_DIALOGCHOICE]);
  m_pSlideshowControlHandler = static_cast<ESlideshowControlHandler*>(m_aControlHandlers[kCONTROL_SLIDESHOW]);
  m_pSlideshowControlHandler->Startup();
  m_pFigmentControlHandler = static_cast<EFigmentControlHandler*>(m_aControlHandlers[kCONTROL_FIGMENT]);
  SetInitialized(kSUBSYSTEM_ControlHandler, true);
}

void GameApp::InitEntities() {
  EASSERT(IsInitialized(kSUBSYSTEM_ControlHandler));
  EASSERT(IsInitialized(kSUBSYSTEM_Lua));
  if (!m_pMainDomain) BuildDomainTree();
  m_pPlayer = EPlayerEntity::Create(m_pMainDomain, "Ruzi");
  m_pGlobalEntity = EMeshEntity::Create(m_pMainDomain, "Global");
  m_pGlobalEntity->AttachScript("global.GlobalClass", m_pGlobalEntity->GetName(), nullptr, false, true, true);
  LoadLocalizedTextBank("GLOBAL");
  SetInitialized(kSUBSYSTEM_Entity, true);
}

void GameApp::ShutdownEntities() {
  EASSERT(IsInitialized(kSUBSYSTEM_ControlHandler));
  EASSERT(IsInitialized(kSUBSYSTEM_Lua));
  DelayedDelete(m_pPlayer);
  DelayedDelete(m_pGlobalEntity);
  m_pCurrentEntity = nullptr;
  m_pCurrentScriptObject = nullptr;
  m_ScriptVM.ProcessRemovals();
  CleanupDestroyedEntities(false);
  SetInitialized(kSUBSYSTEM_Entity, false);
  for (EEntityIter it(nullptr); it; ++it) g_ErrorManager.TraceMessagef(TT_Warning, "Entity not destroyed: %s", it->GetName());
}

void GameApp::BuildDomainTree() {
  if (!m_pSceneManager) m_pSceneManager = new ESceneManager();
  EDomain* pRoot = m_pSceneManager->GetDefaultSceneRootDomain();
  m_pMainDomain = pRoot->CreateChildDomain("MainGame", &ECollisionManager::sm_CM);
  m_pLevelDomain = m_pMainDomain->CreateChildDomain("Level");
  m_pSkyBoxDomain = pRoot->CreateChildDomain("SkyBox");
  m_pInventoryDomain = pRoot->CreateChildDomain("Inventory");
  m_pInvItemsDomain = m_pInventoryDomain->CreateChildDomain("InvItems");
  m_pSceneManager->SetActiveDomain(m_pMainDomain);
}

// Each step takes down only what start-up made, so that a start-up that
// ended early (the renderer did not start) shuts down cleanly too.
bool GameApp::Shutdown() {
  SetControlHandler(kCONTROL_NONE, nullptr);
  ELoadingScreen::DestroyLoadingScreen();

  // The entities of the game's domains go while the script host still runs.
  // The collision world lets go of the level before its domain goes.
  if (m_pLevelDomain && ECollisionManager::sm_CM.GetRootDomain() == m_pLevelDomain)
    ECollisionManager::sm_CM.Unregister(m_pLevelDomain);
  if (m_pMainDomain) m_pMainDomain->Clear();
  m_pLevelDomain = nullptr;  // it went with "MainGame"
  if (m_pInvItemsDomain) m_pInvItemsDomain->Clear();
  DelayedDelete(m_pPlayer);
  DelayedDelete(m_pGlobalEntity);
  CleanupDestroyedEntities(false);

  m_DialogManager.Shutdown();

  if (m_aControlHandlers[kCONTROL_SLIDESHOW]) m_aControlHandlers[kCONTROL_SLIDESHOW]->Shutdown();
  if (m_aControlHandlers[kCONTROL_FIGMENT]) m_aControlHandlers[kCONTROL_FIGMENT]->Shutdown();

  if (m_pScreenFade) {
    m_pScreenFade->Shutdown();
    delete m_pScreenFade;
    m_pScreenFade = nullptr;
  }

  delete m_pMapCamera;
  m_pMapCamera = nullptr;

  if (m_Prefs.m_bDebugServer && m_pDebugManager) {
    m_pDebugManager->Shutdown(true);
    delete m_pDebugManager;
    m_pDebugManager = nullptr;
  }

  m_UserInterface.Shutdown();
  if (m_pUIMenu) m_pUIMenu->Shutdown();
  if (m_pSayLineDisplayManager) m_pSayLineDisplayManager->Shutdown();
  if (m_pScriptSpriteManager) m_pScriptSpriteManager->Shutdown();
  if (m_pSaveLoadInterface) m_pSaveLoadInterface->Shutdown();
  if (m_p2DLinesManager) m_p2DLinesManager->Shutdown();
  if (m_pScriptTextManager) m_pScriptTextManager->Shutdown();

  for (EControlHandler* handler : m_aControlHandlers) {
    if (handler) handler->Shutdown();
  }

  EASSERT(GetControlHandlerType() == kCONTROL_NONE);
  if (IsInitialized(kSUBSYSTEM_Lua)) ShutdownLua();
  EASSERT(GetControlHandlerType() == kCONTROL_NONE);

  EMeshManager::Destroy();
  EAnimManager::Destroy();
  EBlendAnimManager::destroyBlendAnimManager();
  EEventAnimManager::destroyEventAnimManager();
  EDialogueManager::destroyDialogueManager();
  EPathAIManager::destroyPathAIManager();
  m_pBlendAnimManager = nullptr;
  m_pEventAnimManager = nullptr;
  m_pDialogueManager = nullptr;
  m_pPathAIManager = nullptr;

  ShutdownSound();

  if (m_Prefs.m_bStartLog) SingletonTWConsole::StopLogFile();
  SingletonTWConsole::ShutdownConsole();
  g_ErrorManager.SetConsoleCallback(nullptr);

  if (m_pRecordPlayback) m_pRecordPlayback->Close();

  ShutdownRender();
  return true;
}

void GameApp::DumpGameContext() {
  STUBBED("memory info");
  if (!gGameApp) return;
  g_ErrorManager.TraceMessagef("Build: %s", gGameApp->GetBuildString() ? gGameApp->GetBuildString() : "");
  if (gGameApp->m_pCurrentEntity) g_ErrorManager.TraceMessagef("Entity: %s", gGameApp->m_pCurrentEntity->GetName());
  if (gGameApp->m_pCurrentScriptObject) {
    const char* name = gGameApp->m_pCurrentScriptObject->GetName();
    g_ErrorManager.TraceMessagef("LSO: %s", name ? name : "");
  }
  double mb = GetAvailableMemoryMB();
  if (mb >= 0.0) g_ErrorManager.TraceMessagef("Avail Mem: %.1f MB", mb);
  else g_ErrorManager.TraceMessagef("Avail Mem: unknown");
}

void GameApp::OnNonfatalProblem(const char* szMessage) {
  if (!gGameApp) return;
  gGameApp->m_DebugHooks.ShowCheckMessageLogMessage();
  gGameApp->m_DebugHooks.SetLastImportantMessage(szMessage);
}
