// Levels: names from requests, refused requests, the camera channels, the
// entity dump, and whole levels loaded and unloaded by the running game
// from loose files and from a level pack.
#include "Game/GameApp.h"

#include <SDL/SDL.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "Game/Camera.h"
#include "Game/CameraPath.h"
#include "Game/GameLevelNames.h"
#include "Game/GameShaders.h"
#include "Game/LoadingScreen.h"
#include "Game/PCGameApp.h"
#include "Game/SaveLoadGame.h"
#include "Game/UIMenu.h"
#include "Lua/lua.h"
#include "PlbWriter.h"
#include "PpfWriter.h"
#include "ScriptVM/ScriptObject.h"
#include "TWSound/SoundManager.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/Domain.h"
#include "VERirezo/LineParticleEntity.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/Scene.h"
#include "VERirezo/SceneSettings.h"
#include "Game/ShaderConstants.h"
#include "VERirezo/Sprite.h"
#include "VERirezo/FontWriter.h"

namespace {

TEST(LevelNames, FromTheRequestedPath) {
  struct Case {
    const char* path;
    const char* full;
    const char* code;
    const char* script;
    const char* cls;
  } cases[] = {
      {"workresource\\levels\\cakc.plb", "CAKC", "CAKC", "scripts/CA/CAKC.lua", "ca.CAKC"},
      {"workresource\\levels\\bbl1_night.plb", "BBL1_NIGHT", "BBL1", "scripts/BB/BBL1_NIGHT.lua", "bb.BBL1_NIGHT"},
      {"levels/mcbb.plb", "MCBB", "MCBB", "scripts/MC/MCBB.lua", "mc.MCBB"},
      {"cabu", "CABU", "CABU", "scripts/CA/CABU.lua", "ca.CABU"},
      {"\\stmu.plb", "\\STMU", "\\STM", "scripts/\\S/\\STMU.lua", "\\s.\\STMU"},  // a lone leading separator
      {"ab.x.plb", "AB", "AB", "scripts/AB/AB.lua", "ab.AB"},
  };
  for (const Case& c : cases) {
    char full[300], code[5], script[300], cls[300];
    levelnames::FullLevelName(c.path, full, sizeof(full));
    levelnames::LevelCode(full, code);
    levelnames::LevelScriptPath(full, script, sizeof(script));
    levelnames::LevelScriptClass(full, cls, sizeof(cls));
    EXPECT_STREQ(c.full, full) << c.path;
    EXPECT_STREQ(c.code, code) << c.path;
    EXPECT_STREQ(c.script, script) << c.path;
    EXPECT_STREQ(c.cls, cls) << c.path;
  }
}

TEST(LevelNames, LevelsThatAreNeverAutosaved) {
  struct Case {
    const char* code;
    bool allowed;
  } cases[] = {{"MCBB", false}, {"cabu", false}, {"StMu", false}, {"CAKC", true}, {"MCB", true}, {"", true}};
  for (const Case& c : cases) EXPECT_EQ(c.allowed, levelnames::AutosaveAllowedForCode(c.code)) << c.code;
}

class LevelApp : public GameApp {
public:
  EVec2* GetMousePoint() override { return &m_vPoint; }
  void UnlockAchievement(const char*) override {}
  EVec2 m_vPoint;
};

class NoteHandler : public EControlHandler {
public:
  explicit NoteHandler(CONTROL_HANDLER_TYPE eType) : EControlHandler(nullptr) { m_eType = eType; }
  CONTROL_HANDLER_TYPE Type() override { return m_eType; }
  void HandleControls_Internal(Input&) override {}
};

std::vector<std::string>* s_pLevelLines = nullptr;
void CaptureLevelLine(const char* text) {
  if (s_pLevelLines) s_pLevelLines->push_back(text ? text : "");
}

// An application with its cameras, channels and handlers, its traces
// captured.
class LevelServices : public ::testing::Test {
protected:
  void SetUp() override {
    s_pLevelLines = &m_lines;
    g_ErrorManager.SetConsoleCallback(CaptureLevelLine);
    m_pPrevApp = gGameApp;
    gGameApp = &m_app;
    for (int i = 0; i < GameApp::kNUM_CAMERAS; ++i) {
      m_app.m_aCameras[i] = new ECamera();
      m_app.m_aCameras[i]->Init(kCAMERA_CHASE);
    }
    for (int i = 0; i < 8; ++i) m_app.m_aCameraChannels[i].m_pCamera = m_app.m_aCameras[i];
    for (int i = 0; i < kCONTROL_NUMTYPES; ++i) {
      m_apHandlers[i] = new NoteHandler((CONTROL_HANDLER_TYPE)i);
      m_app.m_aControlHandlers[i] = m_apHandlers[i];
    }
    m_app.m_pControlHandler = m_apHandlers[kCONTROL_PLAYER];
  }
  void TearDown() override {
    m_app.m_pControlHandler = nullptr;
    EControlHandler::PauseControls(false, false);
    gGameApp = m_pPrevApp;
    g_ErrorManager.SetConsoleCallback(nullptr);
    s_pLevelLines = nullptr;
  }
  int Count(const std::string& text) const {
    int n = 0;
    for (const std::string& s : m_lines) n += s.find(text) != std::string::npos;
    return n;
  }
  // Whether the camera's next update was marked discontinuous: an update
  // takes the mark.
  static bool TakeDiscontinuity(ECamera* pCamera) {
    static const Input s_NoInput = Input();
    pCamera->Update(&s_NoInput, 0.0f);
    return pCamera->GetLastUpdateDiscontinuous();
  }

  LevelApp m_app;
  GameApp* m_pPrevApp = nullptr;
  NoteHandler* m_apHandlers[kCONTROL_NUMTYPES];
  std::vector<std::string> m_lines;
};

TEST_F(LevelServices, RequestsThatCannotNameALevelAreRefused) {
  m_app.RequestNewLevel("workresource\\levels\\cakc.plb", false);
  EXPECT_TRUE(m_app.m_bNewLevelRequested);
  EXPECT_STREQ("workresource\\levels\\cakc.plb", m_app.m_szRequestedLevel);
  m_app.m_bNewLevelRequested = false;

  const std::string tooLong = "workresource\\levels\\" + std::string(300, 'a') + ".plb";
  for (const std::string& path : {tooLong, std::string("workresource\\levels\\x.plb"), std::string("levels\\.plb")}) {
    m_app.RequestNewLevel(path.c_str(), false);
    EXPECT_FALSE(m_app.m_bNewLevelRequested) << path;
    EXPECT_STREQ("workresource\\levels\\cakc.plb", m_app.m_szRequestedLevel) << path;
  }
  EXPECT_EQ(1, Count("RequestNewLevel: level path too long"));
  EXPECT_EQ(2, Count("RequestNewLevel: no level name in"));
  // A request without a path asks for the level requested before.
  m_app.RequestNewLevel(nullptr, false);
  EXPECT_TRUE(m_app.m_bNewLevelRequested);
}

TEST_F(LevelServices, AssigningCamerasToChannels) {
  ECamera** cams = m_app.m_aCameras;
  for (int i = 0; i < GameApp::kNUM_CAMERAS; ++i) TakeDiscontinuity(cams[i]);
  // Each row starts from the controls paused, so that a re-derivation under
  // a chase camera shows as running controls.
  struct Case {
    const char* what;
    int cameraType;  // the camera's type before the assignment
    int camera, channel;
    bool byIndex;
    bool marked;      // the assigned camera is marked discontinuous
    bool rederived;   // the control mode was derived again
  } cases[] = {
      {"chase for chase on the main channel", kCAMERA_CHASE, 3, 0, true, true, false},
      {"the same camera by index does nothing", kCAMERA_CHASE, 3, 0, true, false, false},
      {"the same camera by object marks again", kCAMERA_CHASE, 3, 0, false, true, false},
      {"a fly camera onto the main channel", kCAMERA_FLY, 4, 0, true, true, true},
      {"replacing the fly camera", kCAMERA_CHASE, 2, 0, true, true, true},
      {"another channel never touches the controls", kCAMERA_FLY, 6, 5, true, false, false},
  };
  for (const Case& c : cases) {
    cams[c.camera]->Init((CAMERATYPE)c.cameraType);
    TakeDiscontinuity(cams[c.camera]);
    EControlHandler::PauseControls(true, false);
    if (c.byIndex)
      m_app.AssignCameraToChannel(c.camera, c.channel);
    else
      m_app.AssignCameraToChannel(cams[c.camera], c.channel);
    EXPECT_EQ(cams[c.camera], m_app.GetCameraChannel(c.channel).m_pCamera) << c.what;
    EXPECT_EQ(c.marked, TakeDiscontinuity(cams[c.camera])) << c.what;
    // Derived under a chase camera the controls run; under a fly camera
    // they stay paused; untouched they stay paused.
    const bool bRunning = !EControlHandler::ControlsPaused();
    EXPECT_EQ(c.rederived && m_app.GetCurrentCamera()->GetType() != kCAMERA_FLY, bRunning) << c.what;
  }
  // Changing a camera to or from fly derives the mode again wherever it is.
  EControlHandler::PauseControls(true, false);
  m_app.SetCameraType(7, kCAMERA_FLY);
  EXPECT_EQ(kCAMERA_FLY, m_app.GetCamera(7)->GetType());
  EXPECT_FALSE(EControlHandler::ControlsPaused()) << "the main channel shows a chase camera";
  EControlHandler::PauseControls(true, false);
  m_app.SetCameraType(7, kCAMERA_RAIL);
  EXPECT_FALSE(EControlHandler::ControlsPaused());
  EControlHandler::PauseControls(true, false);
  m_app.SetCameraType(m_app.GetCamera(5), kCAMERA_SCRIPT);
  EXPECT_TRUE(EControlHandler::ControlsPaused()) << "neither type is fly";

  // The main channel keeps its camera.
  ECamera* pMain = m_app.GetCurrentCamera();
  m_app.AssignCameraToChannel(nullptr, 0);
  EXPECT_EQ(pMain, m_app.GetCurrentCamera());
  EXPECT_EQ(1, Count("AssignCameraToChannel: the main channel needs a camera"));
  m_app.AssignCameraToChannel(nullptr, 9);
  EXPECT_EQ(nullptr, m_app.GetCameraChannel(9).m_pCamera);
}

TEST_F(LevelServices, IndicesOutOfRangeAreFatal) {
  g_ErrorManager.SetConsoleCallback(nullptr);  // the report goes to standard error
  EXPECT_DEATH(m_app.GetCameraChannel(12), "dwChannelIndex < kNUM_CAMERA_CHANNELS");
  EXPECT_DEATH(m_app.AssignCameraToChannel(0, 12), "dwChannelIndex < kNUM_CAMERA_CHANNELS");
  EXPECT_DEATH(m_app.AssignCameraToChannel(9, 0), "dwCameraIndex < kNUM_CAMERAS");
  EXPECT_DEATH(m_app.GetCamera(9), "dwCameraIndex < kNUM_CAMERAS");
  EXPECT_DEATH(m_app.GetCamera(-1), "dwCameraIndex < kNUM_CAMERAS");
}

TEST_F(LevelServices, EntityDumpListsTheActiveDomainsInThreeSections) {
  ESceneManager scenes;
  m_app.m_pSceneManager = &scenes;
  EDomain* pRoot = scenes.GetDefaultSceneRootDomain();
  EDomain* pAwake = pRoot->CreateChildDomain("Awake");
  EDomain* pAsleep = pRoot->CreateChildDomain("Asleep");
  pAsleep->SetSleepFlag(true);

  m_app.DumpEntityInfo();
  EXPECT_EQ(3, Count("Total entities in category: 0"));

  m_lines.clear();
  EMeshEntity* pRunning = EMeshEntity::Create(pAwake, "runner");
  pRunning->SetPosition(EVec3(-1.7f, 2.9f, 0.5f));
  pRunning->SetTransientFlag(ENTITYTRANSIENT_SIMULATED, true);
  EMeshEntity* pIdle = EMeshEntity::Create(pRoot, "idle");
  EEntity* pPlain = ELineParticleEntity::Create(pAwake, "plain");
  EMeshEntity* pSleeper = EMeshEntity::Create(pAsleep, "sleeper");
  ASSERT_TRUE(pRunning && pIdle && pPlain && pSleeper);
  pIdle->SetTransientFlag(ENTITYTRANSIENT_SIMULATED, false);
  m_app.DumpEntityInfo();
  const std::vector<std::string> expected = {
      "----------------------------------------------", "Simulating mesh entities in active domains",
      "----------------------------------------------", "Entity 'runner', position (-1, 2, 0)",
      "----------------------------------------------", "Total entities in category: 1",
      "----------------------------------------------", "----------------------------------------------",
      "Non-simulating mesh entities in active domains", "----------------------------------------------",
      "Entity 'idle', position (0, 0, 0)",              "----------------------------------------------",
      "Total entities in category: 1",                  "----------------------------------------------",
      "----------------------------------------------", "Non-mesh entities in active domains",
      "----------------------------------------------", "Entity 'plain'",
      "----------------------------------------------", "Total entities in category: 1",
      "----------------------------------------------"};
  std::vector<std::string> got;
  for (const std::string& line : m_lines) {
    std::string s = line;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    got.push_back(s);
  }
  EXPECT_EQ(expected, got);
  for (EEntity* e : {(EEntity*)pRunning, (EEntity*)pIdle, pPlain, (EEntity*)pSleeper}) {
    e->InternalDelayedDelete();
    delete e;
  }
  m_app.m_pSceneManager = nullptr;
}

TEST_F(LevelServices, MemoryStateIsWhatTheRendererHoldsOutOf960MiB) {
  float used = -1.0f, total = 0.0f;
  m_app.GetRetailMemState(used, total);
  EXPECT_EQ(0.0f, used) << "no renderer, nothing held";
  EXPECT_EQ(960.0f * 1048576.0f, total);
}

TEST_F(LevelServices, SkyBoxSlots) {
  char tmpl[] = "/tmp/quillomar-skybox-XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(tmpl));
  const std::string dir = tmpl;
  PlbSceneDesc sky;
  sky.root.name = "Sky";
  std::vector<uint8_t> bytes;
  WritePlbScene(bytes, sky);
  ASSERT_TRUE(SaveBytes(dir + "/sky.plb", bytes));
  ESceneManager scenes;
  m_app.m_pSceneManager = &scenes;
  m_app.m_pSkyBoxDomain = scenes.GetDefaultSceneRootDomain()->CreateChildDomain("SkyBox");
  const std::string path = dir + "/sky.plb";

  EXPECT_TRUE(m_app.SetSkyBox(path.c_str(), 1));
  EXPECT_TRUE(m_app.SetSkyBox(path.c_str(), 2));
  EXPECT_TRUE(m_app.m_bSkyBoxSet);
  EDomain* one = m_app.m_pSkyBoxDomain->FindDomain("SkyBox1");
  EDomain* two = m_app.m_pSkyBoxDomain->FindDomain("SkyBox2");
  ASSERT_TRUE(one && two);
  EXPECT_TRUE(one->IsSleeping());
  EXPECT_FALSE(two->IsSleeping()) << "the box loaded last is the active one";

  EXPECT_FALSE(m_app.SetSkyBox(path.c_str(), 1));
  EXPECT_EQ(1, Count("SetSkyBox: Skybox is already loaded in slot 1"));
  m_app.SetActiveSkyBox(1);
  EXPECT_FALSE(one->IsSleeping());
  EXPECT_TRUE(two->IsSleeping());
  m_app.SetActiveSkyBox(7);
  EXPECT_EQ(1, Count("SetActiveSkyBox: Did not find skybox in slot 7"));
  EXPECT_FALSE(m_app.SetSkyBox((dir + "/missing.plb").c_str(), 3));
  EXPECT_EQ(0, system(("rm -rf '" + dir + "'").c_str()));
  m_app.m_pSkyBoxDomain = nullptr;
  m_app.m_pSceneManager = nullptr;
}

// ---------------------------------------------------------------------------
// Whole levels in the running game

std::vector<std::string>* s_pGameLines = nullptr;
void CaptureGameLine(const char* text) {
  if (s_pGameLines) s_pGameLines->push_back(text ? text : "");
}

// Starts the game in a folder of the test's own: a boot script, the
// default level script, two levels with their scenes and level scripts.
// The level scripts record the load state each state message sees
// through the test's native "NoteState".
class RunningLevels : public ::testing::Test {
protected:
  void SetUp() override {
    if (!getenv("DISPLAY")) GTEST_SKIP() << "needs an X display (the test script provides one)";
    char tmpl[] = "/tmp/quillomar-levels-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(tmpl));
    m_dir = tmpl;
    ASSERT_NE(nullptr, getcwd(m_oldCwd, sizeof(m_oldCwd)));
    ASSERT_EQ(0, system(("mkdir -p '" + m_dir + "/run/WorkResource/scripts/ca' '" + m_dir +
                         "/run/WorkResource/scripts/global' '" + m_dir + "/run/WorkResource/Levels' '" + m_dir +
                         "/run/WorkResource/PCLevelPackFiles'")
                            .c_str()));
    ASSERT_EQ(0, chdir((m_dir + "/run").c_str()));
    Write("WorkResource/scripts/boot.lua",
          "function run_hook(name) end\n"
          "function SetupLevelMenu() end\n");
    // A level class: records its state messages and keeps a saved table.
    const char* kLevelClass =
        "function %s()\n"
        "  local o = CreateObject(nil)\n"
        "  o.setState = function(self, s) APISetState(self, s) end\n"
        "  o.onPreBeginLevel = function(self) NoteState('pre') self.pendingStateMessage = nil end\n"
        "  o.onBeginLevel = function(self) NoteState('begin') self.pendingStateMessage = nil end\n"
        "  o.onPostBeginLevel = function(self) NoteState('post') self.pendingStateMessage = nil end\n"
        "  o.onEndLevel = function(self) NoteState('end') end\n"
        "  return o\n"
        "end\n";
    char text[1024];
    snprintf(text, sizeof(text), kLevelClass, "CAKC");
    Write("WorkResource/scripts/ca/CAKC.lua", text);
    snprintf(text, sizeof(text), kLevelClass, "DefaultLevelScript");
    Write("WorkResource/scripts/global/DefaultLevelScript.lua", text);
    Write("WorkResource/scripts/global/GlobalClass.lua",
          "function GlobalClass()\n"
          "  local o = CreateObject(nil)\n"
          "  o.setState = function(self, s) APISetState(self, s) end\n"
          "  o.saved = {}\n"
          "  return o\n"
          "end\n");
    PlbSceneDesc scene;
    scene.root.name = "Room";
    PlbMeshDesc floor;
    floor.name = "Floor";
    scene.root.meshes.push_back(floor);
    std::vector<uint8_t> bytes;
    WritePlbScene(bytes, scene);
    m_scene = bytes;
    ASSERT_TRUE(SaveBytes("WorkResource/Levels/CAKC.plb", bytes));
    ASSERT_TRUE(SaveBytes("WorkResource/Levels/CAGP.plb", bytes));
    m_pOldFiles = gFile;
    gFile = new EFileManager();
    gFile->AddReadPath("WorkResource", false);
    gFile->SetWritePath("WorkResource");
    s_pGameLines = &m_lines;
  }
  void TearDown() override {
    if (m_dir.empty()) return;
    s_pGameLines = nullptr;
    delete gFile;
    gFile = m_pOldFiles;
    EXPECT_EQ(0, chdir(m_oldCwd));
    EXPECT_EQ(0, system(("rm -rf '" + m_dir + "'").c_str()));
  }
  void Write(const char* path, const char* text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
  }
  void WritePrefs(const char* text) {
    for (const std::string& path : {m_dir + "/quillomar.ini", m_dir + "/run/quillomar.ini"}) Write(path.c_str(), text);
  }
  PCGameApp* Start() {
    PCGameApp* app = new PCGameApp();
    testing::internal::CaptureStderr();
    const bool started = app->StartUp(nullptr);
    SDL_WM_GrabInput(SDL_GRAB_OFF);
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(started);
    g_ErrorManager.SetConsoleCallback(CaptureGameLine);
    RegisterNative(app);
    return app;
  }
  void Stop(PCGameApp* app) {
    g_ErrorManager.SetConsoleCallback(nullptr);
    testing::internal::CaptureStderr();
    app->Shutdown();
    testing::internal::GetCapturedStderr();
    delete app;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
  static int NoteState(lua_State* L) {
    const char* what = lua_isstring(L, 1) ? lua_tostring(L, 1) : "?";
    s_notes += std::string(what) + std::to_string(gGameApp->GetLevelLoadedState()) + ";";
    return 0;
  }
  static void RegisterNative(PCGameApp* app) { lua_register(app->GetScriptVM()->GetGlobalState(), "NoteState", NoteState); }
  // One global-input step serves the request.
  void Request(PCGameApp* app, const char* path) {
    app->RequestNewLevel(path, false);
    Input none;
    app->ProcessGlobalInput(none);
    ASSERT_FALSE(app->m_bNewLevelRequested);
  }
  int Count(const std::string& text) const {
    int n = 0;
    for (const std::string& s : m_lines) n += s.find(text) != std::string::npos;
    return n;
  }
  bool Global(PCGameApp* app, const char* code) {
    float ok = 0.0f;
    return app->GetScriptVM()->RunLuaCommands(code, nullptr, &ok, 0) && ok == 1.0f;
  }

  std::string m_dir;
  char m_oldCwd[4096];
  EFileManager* m_pOldFiles = nullptr;
  std::vector<std::string> m_lines;
  std::vector<uint8_t> m_scene;
  static std::string s_notes;
};
std::string RunningLevels::s_notes;

TEST_F(RunningLevels, LoadsFromLooseFilesAndRebootsBetweenLevels) {
  WritePrefs("debug_server 0\nsound 0\n");
  PCGameApp* app = Start();
  s_notes.clear();
  Request(app, "workresource\\levels\\cakc.plb");
  EXPECT_TRUE(app->LevelLoaded());
  EXPECT_EQ(3, app->GetLevelLoadedState());
  EXPECT_STREQ("CAKC", app->GetFullCurrentLevelName());
  EXPECT_STREQ("CAKC", app->m_szCurrentLevelName);
  EXPECT_EQ("pre0;begin1;post2;", s_notes) << "each message sees the state set after the one before";
  EXPECT_EQ(0, Count("Level script not found"));
  ASSERT_NE(nullptr, app->GetScriptVM()->FindScriptByName("LevelScript"));
  ASSERT_NE(nullptr, app->m_pLevelDomain->FindMesh("Floor")) << "the scene was read into \"Level\"";
  EXPECT_EQ(0, Count("Removing Level Script")) << "the first load neither unloads nor reboots";

  // The first level's globals go with the interpreter; of its camera
  // paths only the kept one stays.
  ASSERT_TRUE(app->GetScriptVM()->RunLuaCommands("gFirstLevel = 1", nullptr, nullptr, 0));
  ASSERT_NE(nullptr, app->m_pCameraPaths);
  app->m_pCameraPaths->ElementNew();
  app->m_pCameraPaths->ElementGet(app->m_pCameraPaths->ElementNew())->SetKeep(true);
  ASSERT_EQ(2, app->m_pCameraPaths->GetNumUsed());
  s_notes.clear();
  Request(app, "workresource\\levels\\cagp.plb");
  EXPECT_EQ(1, Count("Removing Level Script"));
  EXPECT_EQ("end3;", s_notes) << "EndLevel in the old interpreter; the new one lacks the test's native";
  EXPECT_STREQ("CAGP", app->GetFullCurrentLevelName());
  EXPECT_EQ(1, Count("Level script not found. Using Global.DefaultLevelScript instead"));
  EXPECT_FALSE(Global(app, "if gFirstLevel == 1 then return 1 end return 0"));
  EXPECT_EQ(1, app->m_pCameraPaths->GetNumUsed());
  EXPECT_EQ(3, app->GetLevelLoadedState());

  // A level whose scene is missing ends with no level loaded and the menus back.
  const int reinits = app->GetUIMenu()->GetNumReInits();
  Request(app, "workresource\\levels\\none.plb");
  EXPECT_FALSE(app->LevelLoaded());
  EXPECT_EQ(reinits + 1, app->GetUIMenu()->GetNumReInits());
  EXPECT_EQ(1, Count("Level 'NONE' did not load"));
  EXPECT_EQ(nullptr, app->GetScriptVM()->FindScriptByName("LevelScript"));
  Stop(app);
}

TEST_F(RunningLevels, SavedTablesOutliveTheInterpreterBetweenLevels) {
  WritePrefs("debug_server 0\nsound 0\n");
  PCGameApp* app = Start();
  Request(app, "workresource\\levels\\cakc.plb");
  ASSERT_TRUE(app->LevelLoaded());
  ASSERT_TRUE(app->GetScriptVM()->RunLuaCommands(
      "gLSO.Global.saved = { CAKC = { visits = 3, name = 'kitchen' } }  gLSO.Global.unsaved = 7", nullptr, nullptr, 0));
  Request(app, "workresource\\levels\\cagp.plb");
  ASSERT_EQ(1, Count("Removing Level Script")) << "the interpreter was rebooted";
  EXPECT_TRUE(Global(app, "if gLSO.Global.saved.CAKC.visits == 3 then return 1 end return 0"));
  EXPECT_TRUE(Global(app, "if gLSO.Global.saved.CAKC.name == 'kitchen' then return 1 end return 0"));
  EXPECT_TRUE(Global(app, "if gLSO.Global.unsaved == nil then return 1 end return 0")) << "only the saved tables come back";
  Stop(app);
}

TEST_F(RunningLevels, LoadsFromALevelPack) {
  WritePrefs("debug_server 0\nsound 0\n");
  // The pack holds the scene; no loose scene exists for this level.
  ASSERT_TRUE(SaveBytes("WorkResource/PCLevelPackFiles/CAPK.ppf",
                        MakeLevelPack(EmptyTextureSection(), EmptyMeshSection(), EmptyScriptSection(), m_scene)));
  // A pack that does not start with "PPAK" is passed over.
  std::vector<uint8_t> bad = MakeLevelPack(EmptyTextureSection(), EmptyMeshSection(), EmptyScriptSection(), m_scene);
  bad[0] = 'X';
  ASSERT_TRUE(SaveBytes("WorkResource/PCLevelPackFiles/CAKC.ppf", bad));
  // Started from loose files (the boot script is one), then reading packs.
  PCGameApp* app = Start();
  app->m_Prefs.m_bDvdEnvironment = true;
  bool bScene = false;
  EXPECT_TRUE(app->LoadPackFile("CAPK", false, &bScene));
  EXPECT_TRUE(bScene);
  EXPECT_FALSE(app->LoadPackFile("CAKC", false, &bScene));
  EXPECT_FALSE(app->LoadPackFile("NONE", false, &bScene));
  app->m_pLevelDomain->Clear();

  Request(app, "workresource\\levels\\capk.plb");
  EXPECT_TRUE(app->LevelLoaded());
  ASSERT_NE(nullptr, app->m_pLevelDomain->FindMesh("Floor"));
  // The switches that keep the packs shut.
  app->m_DebugHooks.MakingPackfiles = true;
  EXPECT_FALSE(app->LoadPackFile("CAPK", false, &bScene));
  EXPECT_FALSE(app->LoadIndividualPackFiles("CAPK", false));
  app->m_DebugHooks.MakingPackfiles = false;
  app->m_Prefs.m_bDvdEnvironment = false;
  EXPECT_FALSE(app->LoadPackFile("CAPK", false, &bScene));
  Stop(app);
}

// Records what the level sequence asks of the sound manager.
class SoundRecorder : public ESoundManager {
 public:
  std::string calls;
  int works = 0;
  bool menuMusicPlaying = false;
  uint32_t GetSoundCue(const char* szName) override { return std::string(szName) == "Janitor'sSacredHall" ? 29 : 0; }
  bool SoundCueIsPlaying(uint32_t uCue) override { return uCue == 29 && menuMusicPlaying; }
  void StopSoundCue(uint32_t uCue, uint32_t uSource, uint32_t uInstance) override {
    calls += "stop" + std::to_string(uCue) + "," + std::to_string(uSource) + "," + std::to_string(uInstance) + ";";
  }
  void MuteCategory(SOUNDCATEGORY eCategory, float fFade) override {
    calls += "mute" + std::to_string((int)eCategory) + "," + std::to_string(fFade).substr(0, 4) + ";";
  }
  void DoWork(float fSeconds) override {
    if (fSeconds == 0.01f) ++works;
  }
  void StopAll() override { calls += "stopall;"; }
  void PurgeBanks(const char* szLevel, const char* szVariant, bool bAll) override {
    calls += std::string("purge ") + (szLevel ? szLevel : "null") + "," + szVariant + "," + (bAll ? "1" : "0") + ";";
  }
  void PauseAll() override { calls += "pause;"; }
  void ResumeAll() override { calls += "resume;"; }
  void UnmuteCategory(SOUNDCATEGORY eCategory) override { calls += "unmute" + std::to_string((int)eCategory) + ";"; }
};

int g_levelFadeSleeps = 0;
void CountLevelFadeSleep(unsigned ms) { g_levelFadeSleeps += ms == 10; }

TEST_F(RunningLevels, TheUnloadFadesTheSoundAndPurgesAllButTheComingLevelsBanks) {
  WritePrefs("debug_server 0\nsound 0\n");
  PCGameApp* app = Start();
  Request(app, "workresource\\levels\\cakc.plb");
  ASSERT_TRUE(app->LevelLoaded());

  SoundRecorder recorder;
  ESoundManager* pOwn = app->m_pSoundManager;
  app->m_pSoundManager = &recorder;
  void (*pfnSleep)(unsigned) = GameApp::sm_pfnLevelFadeSleep;
  GameApp::sm_pfnLevelFadeSleep = CountLevelFadeSleep;
  g_levelFadeSleeps = 0;
  const bool bManage = app->m_Prefs.m_bManageSounds;
  app->m_Prefs.m_bManageSounds = true;
  recorder.menuMusicPlaying = true;

  Request(app, "workresource\\levels\\cagp.plb");
  EXPECT_EQ("mute11,0.49;stopall;purge cagp,_night,0;pause;resume;unmute11;stop29,0,0;", recorder.calls)
      << "fade, then purge keeping the coming level's banks, then the menu music stops at the load";
  EXPECT_EQ(50, recorder.works);
  EXPECT_EQ(50, g_levelFadeSleeps);

  // Without manage_sounds no bank is purged; the rest of the sequence stays.
  recorder.calls.clear();
  recorder.menuMusicPlaying = false;
  app->m_Prefs.m_bManageSounds = false;
  Request(app, "workresource\\levels\\cakc.plb");
  EXPECT_EQ("mute11,0.49;stopall;pause;resume;unmute11;", recorder.calls);

  app->m_Prefs.m_bManageSounds = bManage;
  GameApp::sm_pfnLevelFadeSleep = pfnSleep;
  app->m_pSoundManager = pOwn;
  Stop(app);
}

TEST_F(RunningLevels, TheLoadingScreenLivesFromStartUpToShutDown) {
  WritePrefs("debug_server 0\nsound 0\n");
  PCGameApp* app = Start();
  ASSERT_NE(nullptr, ELoadingScreen::m_pLoadingScreen);
  EXPECT_FALSE(ELoadingScreen::IsRunning());
  EDomain* root = app->GetSceneManager()->GetDefaultSceneRootDomain();
  EXPECT_NE(nullptr, root->FindDomain("LoadingScreenDomain"));
  ELoadingScreen* pFirst = ELoadingScreen::m_pLoadingScreen;
  EXPECT_TRUE(ELoadingScreen::InitLoadingScreen());
  EXPECT_EQ(pFirst, ELoadingScreen::m_pLoadingScreen) << "a second start keeps the instance";
  // The one-shot frame draws and presents without a font.
  ELoadingScreen::DisplayLoadingTextOneshot();

  // With a font of one opaque white glyph, the text of one letter is drawn
  // 42 times: once on layer 6 in white, five shadows on layer 5 and 36
  // outline copies on layer 4, all in opaque black, each at its place.
  std::vector<uint32_t> pixels(8 * 8, 0xFFFFFFFFu);
  ASSERT_TRUE(SaveBytes("WorkResource/loadfont_lin.twf", TwfFromGrid(pixels.data(), 8, 8, 8, 8, 'A', 6, 0)));
  app->m_iMainFont = (int)app->LoadFont("loadfont.twf");
  ASSERT_NE(0, app->m_iMainFont);
  snprintf(ELoadingScreen::m_pLoadingScreen->m_szText, sizeof(ELoadingScreen::m_pLoadingScreen->m_szText), "A");
  ELoadingScreen::DisplayLoadingTextOneshot();
  ESpriteManager* sprites = app->m_pSpriteManager;
  ASSERT_EQ(42, sprites->GetSortedCount());
  int perLayer[8] = {};
  for (int i = 0; i < sprites->GetSortedCount(); ++i) {
    const ESprite* sprite = sprites->GetSpriteArray()->ElementGet(sprites->GetSortList()[i]);
    ASSERT_NE(nullptr, sprite);
    ASSERT_LT(sprite->m_dwLayer, 8u);
    ++perLayer[sprite->m_dwLayer];
    const uint32_t expected = sprite->m_dwLayer == 6 ? 0xFFFFFFFFu : 0xFF000000u;
    EXPECT_EQ(expected, sprite->m_dwColor) << "layer " << sprite->m_dwLayer;
  }
  EXPECT_EQ(1, perLayer[6]);
  EXPECT_EQ(5, perLayer[5]);
  EXPECT_EQ(36, perLayer[4]);
  Stop(app);
  EXPECT_EQ(nullptr, ELoadingScreen::m_pLoadingScreen);
  EXPECT_TRUE(ELoadingScreen::DestroyLoadingScreen());
}

// The current scene's distance and height fog reach the shader setters as
// fog layers 1 and 2, and pick the layered fog module.
TEST_F(RunningLevels, SceneFogReachesTheShaderLayers) {
  WritePrefs("debug_server 0\nsound 0\n");
  PCGameApp* app = Start();
  ASSERT_NE(nullptr, app->m_pSceneShading);
  ESceneSettings& settings = app->GetSceneManager()->GetCurrentScene()->GetSettings();
  const struct {
    bool distance, height;
    int fragment;
  } cases[] = {{false, false, 0}, {true, false, 1}, {false, true, 1}, {true, true, 1}};
  for (const auto& c : cases) {
    settings.m_bDistanceFog = c.distance;
    settings.m_bHeightFog = c.height;
    settings.m_fDistanceFogStart = 2000;
    settings.m_fDistanceFogEnd = 20000;
    settings.m_fHeightFogStart = 300;
    settings.m_fHeightFogEnd = -3000;
    app->SyncShaderDrawState();
    const ESceneShading& shading = *app->m_pSceneShading;
    EXPECT_EQ(c.fragment, shading.GetFogShaderFragment());
    EXPECT_EQ(c.distance, shading.m_aFogLayers[0].m_bOn);
    EXPECT_EQ(c.height, shading.m_aFogLayers[1].m_bOn);
    EXPECT_EQ(2000.0f, shading.m_aFogLayers[0].m_fStart);
    EXPECT_EQ(20000.0f, shading.m_aFogLayers[0].m_fEnd);
    EXPECT_EQ(300.0f, shading.m_aFogLayers[1].m_fStart);
    EXPECT_EQ(-3000.0f, shading.m_aFogLayers[1].m_fEnd);
  }
  Stop(app);
}

// A script's refresh request waits for the next frame's drawing, which
// serves it and leaves the other table's request alone.
TEST_F(RunningLevels, ScriptShaderRefreshIsServedByTheNextFrame) {
  WritePrefs("debug_server 0\nsound 0\n");
  PCGameApp* app = Start();
  EGameShaders* shaders = app->GetGameShaders();
  ASSERT_NE(nullptr, shaders);
  ASSERT_TRUE(app->GetScriptVM()->RunLuaCommands("RefreshVertexShaders()", nullptr, nullptr, 0));
  EXPECT_TRUE(shaders->IsVertexShaderRefreshRequested());
  EXPECT_FALSE(shaders->IsPixelShaderRefreshRequested());
  m_lines.clear();
  app->RenderFrame();
  EXPECT_FALSE(shaders->IsVertexShaderRefreshRequested());
  // The vertex shaders were looked for again, the pixel shaders were not.
  EXPECT_GT(Count("Couldn't load shader source: Workresource\\VertexShaders\\XRay.vsh"), 0);
  EXPECT_EQ(0, Count("Couldn't load shader source: Workresource\\PixelShaders"));
  Stop(app);
}

// A long shader build shows "Assembling Shaders..." in the first font from
// (50, 435) over a black frame: each of its 20 letters and its shadow.
TEST_F(RunningLevels, ShaderBuildProgressFrameShowsItsText) {
  WritePrefs("debug_server 0\nsound 0\n");
  PCGameApp* app = Start();
  EGameShaders* shaders = app->GetGameShaders();
  ASSERT_NE(nullptr, shaders);
  std::vector<uint32_t> pixels(8 * 8, 0xFFFFFFFFu);
  ASSERT_TRUE(SaveBytes("WorkResource/progressfont_lin.twf", TwfFromGrid(pixels.data(), 8, 8, 8, 8, 'A', 6, 0)));
  const unsigned font = app->LoadFont("progressfont.twf");
  ASSERT_EQ(nullptr, app->GetFont(font - 1));  // the only font, so the first
  ASSERT_NE(nullptr, app->GetFont(font));
  shaders->m_pfnProgressFrame(shaders, true);
  ESpriteManager* sprites = app->m_pSpriteManager;
  const int kSprites = 2 * 20;
  ASSERT_EQ(kSprites, sprites->GetSortedCount());
  float left = 1e9f, top = 1e9f;
  for (int i = 0; i < sprites->GetSortedCount(); ++i) {
    const ESprite* sprite = sprites->GetSpriteArray()->ElementGet(sprites->GetSortList()[i]);
    ASSERT_NE(nullptr, sprite);
    for (const EVec2& corner : sprite->m_avCorners) {
      left = std::min(left, corner.x);
      top = std::min(top, corner.y);
    }
  }
  EXPECT_NEAR(50.0f, left, 0.5f);
  EXPECT_NEAR(435.0f, top, 8.0f);
  // A second text frame starts from no sprites.
  shaders->m_pfnProgressFrame(shaders, true);
  EXPECT_EQ(kSprites, sprites->GetSortedCount());
  Stop(app);
}

}  // namespace
