#include "Game/GameApp.h"

#include <SDL/SDL.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "DebugServer/TWConsole.h"
#include "Game/Camera.h"
#include "Game/PCGameApp.h"
#include "Game/UIMenu.h"
#include "TWGraphics/Renderer.h"
#include "TWSound/SoundManager.h"
#include "ScriptVM/ScriptObject.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/Entity.h"
#include "VERirezo/MeshEntity.h"
#include "Entity/PlayerEntity.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/Domain.h"
#include "VERirezo/EntityManager.h"
#include "VERirezo/Scene.h"
#include "VERirezo/SceneSettings.h"
#include "TWUtil/Profiler.h"
#include "VERirezo/AnimManager.h"
#include "VERirezo/EBlendAnimManager.h"
#include "VERirezo/MeshManager.h"

namespace {

int64_t g_now = 0;
int64_t FakeClock() { return g_now; }
void AdvanceMs(double ms) { g_now += (int64_t)(ms * 1000.0); }

// An application whose platform operations only record that they ran.
class TestApp : public GameApp {
public:
  EVec2* GetMousePoint() override { return &m_vPoint; }
  void UnlockAchievement(const char*) override {}
  bool InitInput(void*) override {
    m_calls.push_back("InitInput");
    return false;
  }
  void ValidateGraphics() override { m_calls.push_back("ValidateGraphics"); }
  bool InitRender(void* data) override {
    m_calls.push_back("InitRender");
    return m_bRenderStarts ? GameApp::InitRender(data) : false;
  }
  void ShutdownRender() override {
    m_calls.push_back("ShutdownRender");
    GameApp::ShutdownRender();
  }
  void UpdateInput(Input*, Input*) override { ++m_iInputReads; }
  using GameApp::WriteBuildString;

  EVec2 m_vPoint;
  std::vector<std::string> m_calls;
  bool m_bRenderStarts = true;
  int m_iInputReads = 0;
};

// An active handler that counts its frames.
class TestHandler : public EControlHandler {
public:
  TestHandler(GameApp* pApp, CONTROL_HANDLER_TYPE eType) : EControlHandler(pApp), m_eOwnType(eType) {
    m_eType = eType;
    Activate(nullptr);
  }
  CONTROL_HANDLER_TYPE Type() override { return m_eOwnType; }
  void HandleControls_Internal(Input&) override { ++m_iHandled; }
  void PostHandleControls_Internal(Input&) override { ++m_iPostHandled; }
  CONTROL_HANDLER_TYPE m_eOwnType;
  int m_iHandled = 0;
  int m_iPostHandled = 0;
};

// Frames driven by a clock the test moves.
class FrameTiming : public ::testing::Test {
protected:
  void SetUp() override {
    g_now = 5000000000LL;
    Profile_SetClock(FakeClock);
    ASSERT_TRUE(m_app.m_Timing.StartSubTimer("Main", 2));
  }
  void TearDown() override {
    m_app.m_pControlHandler = nullptr;
    Profile_SetClock(nullptr);
  }
  void Frame(double ms) {
    AdvanceMs(ms);
    m_app.InitFrame();
    m_app.RenderFrame();
    m_app.EndFrame();
  }
  TestApp m_app;
};

TEST_F(FrameTiming, SimulatedStepIsTheRealStepBoundedAndScaled) {
  struct Case {
    double realMs;
    float speed, minMs, maxMs;
    float expected;
  } cases[] = {
      {200.0, 1.0f, 0.0f, 56.0f, 0.056f},   // above the maximum
      {200.0, 0.5f, 0.0f, 56.0f, 0.028f},   // bounded before scaling
      {20.0, 1.0f, 0.0f, 56.0f, 0.02f},     // inside the bounds
      {20.0, 2.0f, 0.0f, 56.0f, 0.04f},
      {5.0, 1.0f, 10.0f, 56.0f, 0.01f},     // below the minimum
      {0.0, 1.0f, 0.0f, 56.0f, 0.0f},
  };
  for (const Case& c : cases) {
    m_app.m_DebugHooks.m_fRelativeGameSpeed = c.speed;
    m_app.m_DebugHooks.m_fMinFrameTime = c.minMs;
    m_app.m_DebugHooks.m_fMaxFrameTime = c.maxMs;
    double realBefore = m_app.GetRealElapsedTime();
    double simBefore = m_app.GetSimElapsedTime();
    Frame(c.realMs);
    EXPECT_NEAR(c.realMs * 0.001, m_app.GetRealDeltaTime(), 1e-6) << c.realMs;
    EXPECT_NEAR(c.expected, m_app.GetSimDeltaTime(), 1e-6) << c.realMs << " x" << c.speed;
    EXPECT_NEAR(c.realMs * 0.001, m_app.GetRealElapsedTime() - realBefore, 1e-6);
    EXPECT_NEAR(c.expected, m_app.GetSimElapsedTime() - simBefore, 1e-6);
  }
  EXPECT_EQ(6, m_app.m_iFrameCount);
  EXPECT_EQ(6, m_app.m_iInputReads);
}

struct CameraStepRecord {
  ECamera* camera;
  const Input* input;
  float step;
};
std::vector<CameraStepRecord>* s_pCameraSteps = nullptr;
void RecordCameraStep(ECamera* pCamera, const Input* pInput, float fStepMs) {
  s_pCameraSteps->push_back({pCamera, pInput, fStepMs});
}

// Only the current camera reads the frame's input; a camera at full speed
// runs on the real step.
TEST_F(FrameTiming, CamerasTakeTheirInputAndStep) {
  std::vector<CameraStepRecord> steps;
  s_pCameraSteps = &steps;
  ECamera::sm_pfnModeUpdateHook = RecordCameraStep;
  m_app.m_aCameras[0] = new ECamera();
  m_app.m_aCameras[1] = new ECamera();
  m_app.m_aCameraChannels[0].m_pCamera = m_app.m_aCameras[0];
  m_app.m_aCameras[1]->SetFullSimSpeed(true);
  m_app.m_bLevelLoaded = true;
  m_app.m_DebugHooks.m_fRelativeGameSpeed = 0.5f;
  Frame(40.0);
  ECamera::sm_pfnModeUpdateHook = nullptr;
  s_pCameraSteps = nullptr;
  m_app.m_bLevelLoaded = false;

  std::vector<float> steps0, steps1;
  for (const CameraStepRecord& r : steps) {
    if (r.camera == m_app.m_aCameras[0]) {
      EXPECT_EQ(&m_app.m_Input, r.input);
      steps0.push_back(r.step);
    } else {
      ASSERT_EQ(m_app.m_aCameras[1], r.camera);
      EXPECT_NE(&m_app.m_Input, r.input);
      steps1.push_back(r.step);
    }
  }
  const std::vector<float> expected0 = {18.0f, 2.0f}, expected1 = {18.0f, 18.0f, 4.0f};
  ASSERT_EQ(expected0.size(), steps0.size());
  ASSERT_EQ(expected1.size(), steps1.size());
  for (size_t i = 0; i < expected0.size(); ++i) EXPECT_NEAR(expected0[i], steps0[i], 1e-3f);
  for (size_t i = 0; i < expected1.size(); ++i) EXPECT_NEAR(expected1[i], steps1[i], 1e-3f);
}

// Before the simulation the scene blends its motion blur on the real step
// and its psychedelic overlay on the simulated one; each camera takes the
// scene's clip distances.
TEST_F(FrameTiming, TheSceneBlendsItsSettingsAndClipsTheCamerasEachFrame) {
  m_app.BuildDomainTree();
  ESceneSettings& settings = m_app.GetSceneManager()->GetCurrentScene()->GetSettings();
  settings.SetMotionBlurState(kMOTIONBLURSTATE_FADE_TO_BLACK, 1000);
  settings.m_fPsychedelicAlphaTarget = 0.5f;
  settings.m_fPsychedelicBlendMs = 2000;
  settings.m_fNearClip = 20;
  settings.m_fFarClip = 900;
  m_app.m_aCameras[0] = new ECamera();
  m_app.m_bLevelLoaded = true;
  m_app.m_DebugHooks.m_fRelativeGameSpeed = 0.25f;
  Frame(40.0);
  m_app.m_bLevelLoaded = false;
  EXPECT_NEAR(settings.m_fMotionBlurCurrentOutput, 0.04f, 1e-5f);
  EXPECT_NEAR(settings.m_fPsychedelicAlpha, 0.5f * 10.0f / 2000.0f, 1e-6f);
  EXPECT_EQ(m_app.m_aCameras[0]->GetViewportNearZ(), 20.0f);
  EXPECT_EQ(m_app.m_aCameras[0]->GetViewportFarZ(), 900.0f);
}

TEST_F(FrameTiming, OneTickIsTakenOnceAsItIs) {
  m_app.m_DebugHooks.m_fOneTick = 0.1f;
  m_app.m_DebugHooks.m_fRelativeGameSpeed = 0.5f;
  Frame(200.0);
  EXPECT_FLOAT_EQ(0.1f, m_app.GetSimDeltaTime()) << "neither bounded nor scaled";
  EXPECT_EQ(0.0f, m_app.m_DebugHooks.m_fOneTick);
  Frame(200.0);
  EXPECT_FLOAT_EQ(0.028f, m_app.GetSimDeltaTime());
}

TEST_F(FrameTiming, MovieCaptureStepsAreExactlyOneThirtieth) {
  m_app.m_DebugHooks.m_bMovieCaptureMode = true;
  for (double ms : {1.0, 16.0, 500.0}) {
    Frame(ms);
    EXPECT_EQ(0.033333335f, m_app.GetSimDeltaTime());
    EXPECT_NEAR(ms * 0.001, m_app.GetRealDeltaTime(), 1e-6) << "real time still follows the clock";
  }
}

TEST_F(FrameTiming, MenuFramesFreezeSimulatedTime) {
  Frame(16.0);
  const double sim = m_app.GetSimElapsedTime();
  const float simStep = m_app.GetSimDeltaTime();
  const double real = m_app.GetRealElapsedTime();

  TestHandler slideshow(&m_app, kCONTROL_SLIDESHOW);
  m_app.m_pControlHandler = &slideshow;
  Frame(40.0);
  EXPECT_TRUE(m_app.m_bMenuFrame);
  Frame(40.0);
  EXPECT_EQ(sim, m_app.GetSimElapsedTime());
  EXPECT_EQ(simStep, m_app.GetSimDeltaTime());
  EXPECT_NEAR(real + 0.08, m_app.GetRealElapsedTime(), 1e-6);
  EXPECT_EQ(3, m_app.m_iFrameCount);
  EXPECT_EQ(3, m_app.m_iInputReads);
  EXPECT_EQ(0, slideshow.m_iHandled) << "the world's handler gets no controls in a menu frame";

  TestHandler figment(&m_app, kCONTROL_FIGMENT);
  m_app.m_pControlHandler = &figment;
  Frame(10.0);
  EXPECT_TRUE(m_app.m_bMenuFrame);
  EXPECT_EQ(sim, m_app.GetSimElapsedTime());

  TestHandler player(&m_app, kCONTROL_PLAYER);
  m_app.m_pControlHandler = &player;
  Frame(10.0);
  EXPECT_FALSE(m_app.m_bMenuFrame);
  EXPECT_NEAR(sim + 0.01, m_app.GetSimElapsedTime(), 1e-6);
  EXPECT_EQ(1, player.m_iHandled);
  EXPECT_EQ(1, player.m_iPostHandled);
}

TEST_F(FrameTiming, NoPostHandlingOnAFrameWithoutSimulatedTime) {
  TestHandler player(&m_app, kCONTROL_PLAYER);
  m_app.m_pControlHandler = &player;
  Frame(0.0);
  EXPECT_EQ(0, player.m_iHandled) << "the on-foot mode stands still with the world";
  EXPECT_EQ(0, player.m_iPostHandled);
}

TEST_F(FrameTiming, MenuIdleTimerRestartsEveryFrameWhileControllersAreNotIdle) {
  m_app.m_fMenuIdleTime = 5.0f;
  Frame(16.0);
  EXPECT_EQ(100000.0f, m_app.m_fMenuIdleTime);
  m_app.m_Prefs.m_bOxmBuild = true;
  Frame(16.0);
  EXPECT_EQ(20000.0f, m_app.m_fMenuIdleTime);
}

TEST(SubsystemFlags, SettingAFlagTwiceIsFatal) {
  TestApp app;
  app.SetInitialized(kSUBSYSTEM_Lua, true);
  EXPECT_TRUE(app.IsInitialized(kSUBSYSTEM_Lua));
  EXPECT_FALSE(app.IsInitialized(kSUBSYSTEM_Lua | kSUBSYSTEM_Entity));
  EXPECT_DEATH(app.SetInitialized(kSUBSYSTEM_Lua, true), "m_dwInitializedSubsystems & subsystem");
  app.SetInitialized(kSUBSYSTEM_Lua, false);
  EXPECT_DEATH(app.SetInitialized(kSUBSYSTEM_Lua, false), "m_dwInitializedSubsystems & subsystem");
  EXPECT_DEATH(app.InitEntities(), "IsInitialized\\(kSUBSYSTEM_ControlHandler\\)");
}

TEST(BuildString, MajorAndMinorNumbers) {
  TestApp app;
  app.WriteBuildString(602, 0);
  EXPECT_STREQ("P0602", app.GetBuildString());
  app.WriteBuildString(602, 3);
  EXPECT_STREQ("P0602.3", app.GetBuildString());
}

// Runs start-up with a preferences file of the test's own: the game looks
// for "../quillomar.ini" from the working directory.
class StartUpShutDown : public ::testing::Test {
protected:
  void SetUp() override {
    char tmpl[] = "/tmp/quillomar-app-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(tmpl));
    m_dir = tmpl;
    ASSERT_EQ(0, mkdir((m_dir + "/run").c_str(), 0755));
    ASSERT_NE(nullptr, getcwd(m_oldCwd, sizeof(m_oldCwd)));
    ASSERT_EQ(0, chdir((m_dir + "/run").c_str()));
    // The boot script gives the hooks that start-up and shut-down call; a
    // loose level file tells the game that it runs from loose files, so that
    // it reads the boot script from the folder.
    ASSERT_EQ(0, system("mkdir -p WorkResource/scripts WorkResource/Levels && touch WorkResource/Levels/CAKC.plb"));
    FILE* f = fopen("WorkResource/scripts/boot.lua", "w");
    ASSERT_NE(nullptr, f);
    fputs("hooks = \"\"\n"
          "function run_hook(name) hooks = hooks .. name .. \";\" end\n"
          "function SetupLevelMenu() hooks = hooks .. \"menu;\" end\n", f);
    fclose(f);
    m_pOldFiles = gFile;
    gFile = new EFileManager();
    gFile->AddReadPath("WorkResource", false);
    gFile->SetWritePath("WorkResource");
  }
  void TearDown() override {
    delete gFile;
    gFile = m_pOldFiles;
    EXPECT_EQ(0, chdir(m_oldCwd));
    EXPECT_EQ(0, system(("rm -rf '" + m_dir + "'").c_str()));
  }
  // The file is looked for through the read paths first, so it goes beside
  // the run folder and beside the resource folder.
  void WritePrefs(const char* text) {
    for (const std::string& path : {m_dir + "/quillomar.ini", m_dir + "/run/quillomar.ini"}) {
      FILE* f = fopen(path.c_str(), "w");
      ASSERT_NE(nullptr, f);
      fputs(text, f);
      fclose(f);
    }
  }
  static size_t Find(const std::string& text, const char* what) {
    size_t pos = text.find(what);
    EXPECT_NE(std::string::npos, pos) << "missing: " << what << "\n" << text;
    return pos;
  }

  std::string m_dir;
  char m_oldCwd[4096];
  EFileManager* m_pOldFiles = nullptr;
};

TEST_F(StartUpShutDown, RendererFailureEndsStartUpAndShutDownTouchesNothingMissing) {
  WritePrefs("debug_server 1\nstart_log 1\n");
  {
    TestApp app;
    app.m_bRenderStarts = false;
    EXPECT_FALSE(app.StartUp(nullptr));
    EXPECT_EQ((std::vector<std::string>{"InitInput", "ValidateGraphics", "InitRender"}), app.m_calls);
    EXPECT_EQ(nullptr, app.GetCamera(0));
    EXPECT_EQ(nullptr, app.GetControlHandler(kCONTROL_PLAYER));
    EXPECT_EQ(0u, app.m_dwInitializedSubsystems);
    EXPECT_FALSE(app.StartUpComplete());
    EXPECT_NE(nullptr, EBlendAnimManager::Get()) << "made before the renderer";
    EXPECT_TRUE(app.Shutdown());
    EXPECT_EQ("ShutdownRender", app.m_calls.back());
    EXPECT_EQ(nullptr, EBlendAnimManager::Get());
    EXPECT_EQ(nullptr, app.m_pRenderer);
  }
  EXPECT_EQ(nullptr, gGameApp);
}

TEST_F(StartUpShutDown, StartsEverythingInOrderAndTakesItDown) {
  if (!getenv("DISPLAY")) GTEST_SKIP() << "needs an X display (the test script provides one)";
  WritePrefs("debug_server 0\nmain_menu 1\nbuildtext 1\nrendering_cutscene 1\nsound 0\n");
  PCGameApp* app = new PCGameApp();
  testing::internal::CaptureStderr();
  bool started = app->StartUp(nullptr);
  SDL_WM_GrabInput(SDL_GRAB_OFF);
  std::string startLog = testing::internal::GetCapturedStderr();
  ASSERT_TRUE(started) << startLog;

  // Traces in start-up order.
  size_t save = Find(startLog, "Save  path: ");
  size_t write = Find(startLog, "Write path: ");
  // A failed self-test is traced between the paths and the renderer.
  size_t selfTest = startLog.find("******** unit test failed ********\n");
  size_t device = Find(startLog, "Created OpenGL Device");
  size_t entities = Find(startLog, "GameApp::StartUp InitEntities() completed in ");
  size_t hud = Find(startLog, "GameApp::StartUp m_UserInterface.Setup() completed in ");
  size_t lua2 = Find(startLog, "GameApp::StartUp InitLua2() completed in ");
  size_t post = Find(startLog, "GameApp::StartUp Post-Install total completed in ");
  EXPECT_LT(save, write);
  if (selfTest != std::string::npos) {
    EXPECT_LT(write, selfTest);
    EXPECT_LT(selfTest, device);
  }
  EXPECT_LT(device, entities);
  EXPECT_LT(entities, hud);
  EXPECT_LT(hud, lua2);
  EXPECT_LT(lua2, post);

  EXPECT_EQ(app, gGameApp);
  EXPECT_TRUE(app->StartUpComplete());
  ASSERT_NE(nullptr, app->m_pSoundManager) << "made with sound off";
  EXPECT_FALSE(app->m_pSoundManager->IsActive());
  EXPECT_TRUE(app->IsInitialized(kSUBSYSTEM_Lua | kSUBSYSTEM_Entity | kSUBSYSTEM_UIMenu | kSUBSYSTEM_ControlHandler));
  EXPECT_STREQ("P0602", app->GetBuildString());
  EXPECT_FALSE(app->m_DebugHooks.ShowBuildText) << "main_menu switches the build text off";
  EXPECT_TRUE(app->m_DebugHooks.HideContentWarnings);
  EXPECT_EQ(nullptr, app->GetDebugManager()) << "debug_server is off";
  ASSERT_NE(nullptr, app->m_pRenderer);
  EXPECT_EQ(app->m_pRenderer, g_pCurrentRenderer);
  ASSERT_TRUE(EAnimManager::IsCreated());
  EXPECT_EQ(16777216u, EAnimManager::Get()->GetCacheSize());
  EXPECT_NE(nullptr, EMeshManager::GetMeshManager());
  for (int i = 0; i < GameApp::kNUM_CAMERA_CHANNELS; ++i) {
    EXPECT_EQ(i < 8 ? app->GetCamera(i) : nullptr, app->GetCameraChannel(i).m_pCamera) << i;
  }
  EXPECT_EQ(200.0f, app->GetCamera(8)->GetPosition().z);
  ASSERT_NE(nullptr, app->m_pMapCamera);
  EXPECT_EQ(kCAMERA_MAP, app->m_pMapCamera->GetType());
  EXPECT_FALSE(app->m_pMapCamera->GetVisibilityCheck());
  for (int t = 0; t < kCONTROL_NUMTYPES; ++t) {
    ASSERT_NE(nullptr, app->GetControlHandler((CONTROL_HANDLER_TYPE)t));
    EXPECT_EQ(t, app->GetControlHandler((CONTROL_HANDLER_TYPE)t)->Type());
  }
  EXPECT_EQ(kCONTROL_NONE, app->GetControlHandlerType());
  ASSERT_NE(nullptr, app->GetUIMenu());
  EXPECT_STREQ("MainMenu", app->GetUIMenu()->GetStartPage());
  EXPECT_TRUE(app->m_Prefs.m_bInGameMenu);
  EXPECT_FLOAT_EQ(1.0f / 60.0f, app->GetRealDeltaTime());
  ASSERT_NE(nullptr, app->m_Timing.FindTimer("Main"));
  EXPECT_TRUE(app->m_Timing.FindTimer("Main")->IsRunning());

  // The boot script ran; its start-up hook and the level menu after it.
  float ok = 0.0f;
  EXPECT_TRUE(app->GetScriptVM()->RunLuaCommands("if hooks == \"startup;menu;\" then return 1 end return 0", nullptr,
                                                 &ok, 0));
  EXPECT_EQ(1.0f, ok);
  ASSERT_NE(nullptr, app->GetGlobalEntity());
  EXPECT_STREQ("Global", app->GetGlobalEntity()->GetName());

  // The domain tree, with the entities made through their class records in
  // "MainGame"; those of the first InitEntities are all gone.
  ESceneManager* scenes = app->GetSceneManager();
  ASSERT_NE(nullptr, scenes);
  EDomain* root = scenes->GetDefaultSceneRootDomain();
  ASSERT_NE(nullptr, root);
  EDomain* main = root->FindDomain("MainGame");
  ASSERT_NE(nullptr, main);
  EXPECT_EQ(main, scenes->GetActiveDomain());
  EXPECT_EQ(&ECollisionManager::sm_CM, main->GetCollisionManager());
  EXPECT_EQ(main, root->FindDomain("Level")->GetParent());
  EXPECT_EQ(root, root->FindDomain("SkyBox")->GetParent());
  EXPECT_EQ(root, root->FindDomain("Inventory")->GetParent());
  EXPECT_EQ(root->FindDomain("Inventory"), root->FindDomain("InvItems")->GetParent());
  ASSERT_NE(nullptr, app->GetPlayer());
  EXPECT_STREQ("Ruzi", app->GetPlayer()->GetName());
  EXPECT_TRUE(app->GetPlayer()->IsA(EPlayerEntity::StaticClass(), true));
  EXPECT_TRUE(app->GetGlobalEntity()->IsA(EMeshEntity::StaticClass(), true));
  EXPECT_EQ(main, app->GetPlayer()->GetOwnerDomain());
  EXPECT_EQ(main, app->GetGlobalEntity()->GetOwnerDomain());
  int live = 0;
  for (EEntityIter it(nullptr); it; ++it) ++live;
  EXPECT_EQ(2, live);
  EXPECT_EQ(std::string::npos, startLog.find("Entity not destroyed"));

  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(app->InitFrame());
    EXPECT_TRUE(app->RenderFrame());
    EXPECT_TRUE(app->EndFrame());
  }
  EXPECT_EQ(3, app->m_iFrameCount);

  testing::internal::CaptureStderr();
  EXPECT_TRUE(app->Shutdown());
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(nullptr, app->m_pSoundManager);
  EXPECT_EQ(nullptr, app->m_pRenderer);
  EXPECT_EQ(nullptr, g_pCurrentRenderer);
  EXPECT_FALSE(app->IsInitialized(kSUBSYSTEM_Lua));
  EXPECT_FALSE(EAnimManager::IsCreated());
  EXPECT_EQ(nullptr, EMeshManager::GetMeshManager());
  EXPECT_EQ(nullptr, EBlendAnimManager::Get());
  EXPECT_EQ(nullptr, app->m_pMapCamera);
  EXPECT_EQ(nullptr, app->GetGlobalEntity());
  EXPECT_EQ(nullptr, app->GetPlayer());
  EXPECT_EQ(0, gEntities.GetNumSlots()) << "the game's domains were cleared";
  EXPECT_FALSE(SingletonTWConsole::Exists());
  delete app;
  EXPECT_EQ(nullptr, gGameApp);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

TEST(DelayedDeletion, EntitiesStayUntilTheEndOfTheFrameAndLoseTheirReferences) {
  TestApp app;
  EEntity* player = new EMeshEntity(nullptr, "Ruzi");
  EEntity* other = new EMeshEntity(nullptr, "Other");
  EEntity* kept = new EMeshEntity(nullptr, "Kept");
  app.m_pPlayer = player;
  app.m_pCurrentEntity = other;
  app.m_pGlobalEntity = kept;
  const uint32_t playerId = player->GetScriptId();

  app.DelayedDelete(player);
  app.DelayedDelete(other);
  app.DelayedDelete(other);  // a second request for a dead entity is ignored
  app.DelayedDelete((EEntity*)nullptr);
  EXPECT_TRUE(player->IsDead());
  EXPECT_EQ(player, EEntity::FromScriptId(playerId)) << "still allocated until the frame ends";
  EXPECT_FALSE(kept->IsDead());
  EXPECT_EQ(2, app.m_aDelayedDeleteEntities.Num());

  app.EndFrame();
  EXPECT_EQ(nullptr, app.m_pPlayer);
  EXPECT_EQ(nullptr, app.m_pCurrentEntity);
  EXPECT_EQ(kept, app.m_pGlobalEntity);
  EXPECT_EQ(nullptr, EEntity::FromScriptId(playerId));
  EXPECT_EQ(0, app.m_aDelayedDeleteEntities.Num());
  app.EndFrame();  // nothing left to do
  delete kept;
}

TEST(DelayedDeletion, ReKillingADeadScriptObjectIsFatal) {
  TestApp app;
  EScriptObject* object = new EScriptObject();
  object->SetName("Doomed");
  app.m_pCurrentScriptObject = object;
  app.DelayedDelete(object);
  EXPECT_TRUE(object->IsDead());
  EXPECT_DEATH(app.DelayedDelete(object), "Re-killing a dead script: Doomed");
  app.EndFrame();
  EXPECT_EQ(nullptr, app.m_pCurrentScriptObject);
  EXPECT_EQ(0, app.m_aDelayedDeleteScriptObjects.Num());
}

TEST(NonfatalProblem, StartsTheNoticeAndKeepsTheMessage) {
  TestApp app;
  gGameApp = &app;
  GameApp::OnNonfatalProblem(std::string(300, 'x').c_str());
  EXPECT_EQ(500, app.m_DebugHooks.m_iImportantMessageFrames);
  EXPECT_EQ(std::string(127, 'x'), app.m_DebugHooks.GetLastImportantMessage());
  GameApp::OnNonfatalProblem("short");
  EXPECT_STREQ("short", app.m_DebugHooks.GetLastImportantMessage());
  gGameApp = nullptr;
  GameApp::OnNonfatalProblem("no application");  // nothing to record it in
}

TEST(GameContext, ReportsTheBuildAndTheMemoryTheSystemHasFree) {
  TestApp app;
  gGameApp = &app;
  app.WriteBuildString(602, 0);
  testing::internal::CaptureStderr();
  GameApp::DumpGameContext();
  std::string text = testing::internal::GetCapturedStderr();
  gGameApp = nullptr;
  EXPECT_NE(std::string::npos, text.find("Build: P0602\n")) << text;
  size_t pos = text.find("Avail Mem: ");
  ASSERT_NE(std::string::npos, pos) << text;
  double mb = -1.0;
  ASSERT_EQ(1, sscanf(text.c_str() + pos, "Avail Mem: %lf MB", &mb)) << text;
  EXPECT_GT(mb, 0.0);
  long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
  EXPECT_LE(mb, (double)pages * pageSize / (1024.0 * 1024.0)) << "no more than the machine has";
}

}  // namespace
