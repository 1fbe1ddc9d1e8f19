#include "Game/PCGameApp.h"

#include <SDL/SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Game/SaveLoadGame.h"
#include "Game/UIMenu.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/String.h"
#include "TWUtil/tests/FileTestSupport.h"

namespace {

// The command line sets process-wide display and shader choices; tests that
// parse one put them back, so that later tests in the same program open
// their windows as usual.
struct CommandLineGlobals {
  unsigned width = g_dwDisplayWidth, height = g_dwDisplayHeight, refresh = g_dwRefreshRate;
  bool fullscreen = g_bFullScreen, antialias = g_bAntiAlias;
  const char* profile = GForceMojoShaderProfile;
  ~CommandLineGlobals() {
    g_dwDisplayWidth = width;
    g_dwDisplayHeight = height;
    g_dwRefreshRate = refresh;
    g_bFullScreen = fullscreen;
    g_bAntiAlias = antialias;
    GForceMojoShaderProfile = profile;
  }
};

TEST(CommandLine, Options) {
  CommandLineGlobals restore;
  struct Case {
    std::vector<const char*> args;
    unsigned width, height, refresh;
    bool fullscreen, antialias, sound;
  } cases[] = {
      {{"-WIDTH", "1024", "-Height", "768", "-FullScreen"}, 1024, 768, 60, true, false, true},
      {{"-width"}, 640, 480, 60, false, false, true},
      {{"-refresh", "abc", "-antialias"}, 640, 480, 60, false, true, true},
      {{"-refresh", "75", "-nosound"}, 640, 480, 75, false, false, false},
      {{"-width", "0", "-height", "-5", "-refresh", "60Hz"}, 640, 480, 60, false, false, true},
      {{"-width", "99999999999", "-height", "720"}, 640, 720, 60, false, false, true},
      {{"-width", "-fullscreen"}, 640, 480, 60, false, false, true},  // the option is taken as the value
      {{"width", "800", "-bogus"}, 640, 480, 60, false, false, true},
  };
  for (const Case& c : cases) {
    g_dwDisplayWidth = 640;
    g_dwDisplayHeight = 480;
    g_dwRefreshRate = 60;
    g_bFullScreen = g_bAntiAlias = false;
    PCGameApp app;
    std::vector<const char*> argv = {"quillomar"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    app.ParseCommandLine((int)argv.size(), const_cast<char**>(argv.data()));
    std::string what = c.args[0];
    EXPECT_EQ(c.width, g_dwDisplayWidth) << what;
    EXPECT_EQ(c.height, g_dwDisplayHeight) << what;
    EXPECT_EQ(c.refresh, g_dwRefreshRate) << what;
    EXPECT_EQ(c.fullscreen, g_bFullScreen) << what;
    EXPECT_EQ(c.antialias, g_bAntiAlias) << what;
    EXPECT_EQ(c.sound, app.GetPrefs().m_bSound) << what;
  }
  PCGameApp app;
  const char* argv[] = {"quillomar", "-MojoShaderProfile", "-width"};
  app.ParseCommandLine(3, const_cast<char**>(argv));
  EXPECT_EQ(argv[2], GForceMojoShaderProfile);
}

// A mouse that never moves: the menu tests read no pointer of a display.
const EMouseDevice kSTILL_MOUSE = {[](int* dx, int* dy) {
  *dx = *dy = 0;
  return 0u;
}};

// The menu input step with keys driven through SDL's key state.

class MenuInput : public ::testing::Test {
protected:
  void SetUp() override {
    m_app.InitInput(nullptr);
    ZARInput_SetMouseDevice(&kSTILL_MOUSE);
    SetMouseAcquire(false);
    m_app.m_pUIMenu = &m_menu;
    ZARInput_BindAction(kACTION_USE, (PHYSICAL_INPUT)33, kINPUTMAP_PRIMARY);    // F
    ZARInput_BindAction(kACTION_JUMP, (PHYSICAL_INPUT)57, kINPUTMAP_PRIMARY);   // Space
    ZARInput_BindAction(kACTION_CANCEL, (PHYSICAL_INPUT)45, kINPUTMAP_PRIMARY); // X
    ClearKeys();
  }
  void TearDown() override {
    ClearKeys();
    ZARInput_SetMouseDevice(nullptr);
    m_app.m_pUIMenu = nullptr;  // the fixture owns the menu
  }
  static void ClearKeys() {
    int n = 0;
    Uint8* keys = SDL_GetKeyState(&n);
    memset(keys, 0, (size_t)n);
  }
  void Frame(float ms) {
    m_app.m_fRealDeltaTime = ms / 1000.0f;
    m_app.UpdateInput(&m_app.m_Input, &m_app.m_DebugInput);
  }
  // Presses the key for one frame and releases it in the next.
  int Tap(SDLKey key, int slot, float msBefore) {
    SDL_GetKeyState(nullptr)[key] = 1;
    Frame(msBefore);
    int pressed = m_app.m_Input.m_aButtonPressed[slot];
    SDL_GetKeyState(nullptr)[key] = 0;
    Frame(0.0f);
    return pressed;
  }

  PCGameApp m_app;
  EUIMenu m_menu;
};

TEST_F(MenuInput, PressesCloseTogetherCountOnce) {
  EXPECT_EQ(1, Tap(SDLK_f, kBUTTON_Y, 16.0f));
  EXPECT_EQ(0, Tap(SDLK_f, kBUTTON_Y, 300.0f));
  EXPECT_EQ(1, Tap(SDLK_f, kBUTTON_Y, 600.0f));
  // In the game the menus do not debounce.
  m_app.m_bLevelLoaded = true;
  EXPECT_EQ(1, Tap(SDLK_f, kBUTTON_Y, 16.0f));
  EXPECT_EQ(1, Tap(SDLK_f, kBUTTON_Y, 16.0f));
}

TEST_F(MenuInput, AcceptAndBackBecomeSlotsAAndB) {
  SDL_GetKeyState(nullptr)[SDLK_RETURN] = 1;
  m_app.m_Input.m_nMoveX = 55;
  Frame(16.0f);
  EXPECT_EQ(1, m_app.m_Input.m_aButtonPressed[kBUTTON_A]);
  EXPECT_EQ(0, m_app.m_Input.m_nMoveX) << "the record was cleared";
  SDL_GetKeyState(nullptr)[SDLK_RETURN] = 0;
  Frame(1000.0f);
  SDL_GetKeyState(nullptr)[SDLK_x] = 1;
  Frame(1000.0f);
  EXPECT_EQ(1, m_app.m_Input.m_aButtonPressed[kBUTTON_B]);
  EXPECT_EQ(0, m_app.m_Input.m_aButtonPressed[kBUTTON_A]);
}

TEST_F(MenuInput, MousePointerStaysInTheMenuSpace) {
  EXPECT_EQ(320.0f, m_app.GetMousePoint()->x);
  EXPECT_EQ(240.0f, m_app.GetMousePoint()->y);
  m_app.SetMousePoint(EVec2(700.0f, -3.0f));
  EXPECT_EQ(700.0f, m_app.GetMousePoint()->x);
  Frame(16.0f);
  EXPECT_EQ(640.0f, m_app.GetMousePoint()->x);
  EXPECT_EQ(0.0f, m_app.GetMousePoint()->y);
  EXPECT_EQ(700.0f, m_app.m_vLastMousePoint.x);
}

TEST_F(MenuInput, WindowActivityGrabsAndLocksOutTheMenus) {
  m_app.SetWindowActive(false);
  EXPECT_FALSE(g_bMouseAcquired);
  EXPECT_EQ(400.0f, m_menu.GetAcceptLockout());
  m_menu.SetAcceptLockout(0.0f);
  m_app.SetWindowActive(true);
  EXPECT_TRUE(g_bMouseAcquired);
  EXPECT_EQ(400.0f, m_menu.GetAcceptLockout());
  SetMouseAcquire(false);
}

TEST(Rumble, KillRumbleRunsBothMotorsDown) {
  PCGameApp app;
  app.m_dSimElapsedTime = 10.0;
  app.KillRumble();
  for (const ERumbleMotor& m : app.m_Rumble.m_aMotors) {
    EXPECT_FLOAT_EQ(12.0f, m.m_fEndTime);
    EXPECT_EQ(1.0f, m.m_fTimeScale);
    EXPECT_EQ(0.01f, m.m_aCurve[3].x);
    EXPECT_EQ(0.0f, m.m_aCurve[3].y);
  }
  EXPECT_FALSE(app.IsJoystickPresent(0) && XInputControllerExists());
}

// The saved-games folder in a user data directory of the test's own.
class SavedGames : public ::testing::Test {
protected:
  SavedGames() : m_xdg("XDG_DATA_HOME", (m_dir / "xdg").c_str()) {}
  void SetUp() override {
    m_files = new EFileManager();
    m_old = gFile;
    gFile = m_files;
    m_user = m_files->GetUserDataDir();
    m_app.m_pSaveLoadInterface = &m_saves;
  }
  void TearDown() override {
    gFile = m_old;
    delete m_files;
    m_app.m_pSaveLoadInterface = nullptr;  // the fixture owns it
  }
  void Put(const std::string& rel) { filetest::WriteBytes(m_user + "/" + rel, {'s'}); }
  bool Has(const std::string& rel) { return access((m_user + "/" + rel).c_str(), F_OK) == 0; }
  std::vector<std::string> List() {
    EArray<EString> out;
    m_app.GetSavedGamesDirectory(out);
    std::vector<std::string> v;
    for (int i = 0; i < out.Num(); ++i) v.push_back(*out[i]);
    std::sort(v.begin(), v.end());
    return v;
  }

  filetest::TempDir m_dir;
  filetest::ScopedEnv m_xdg;
  EFileManager* m_files = nullptr;
  EFileManager* m_old = nullptr;
  std::string m_user;
  PCGameApp m_app;
  ELoadSaveGame m_saves;
};

TEST_F(SavedGames, ListsEveryFileRelativeToTheUserDataDirectory) {
  Put("Profiles/Profile 1/Profile 1- Zol");
  Put("Profiles/Profile 1/SavedGame0");
  Put("Profiles/Profile 1/Sub/deeper");
  Put("Other/not listed");
  EXPECT_EQ((std::vector<std::string>{"Profiles/Profile 1/Profile 1- Zol", "Profiles/Profile 1/SavedGame0",
                                      "Profiles/Profile 1/Sub/deeper"}),
            List());
}

TEST_F(SavedGames, DeletesOnlyInsideProfiles) {
  Put("Profiles/Profile 1/SavedGame0");
  Put("Profiles/Profile 1/Sub/deeper");
  Put("Profiles/Profile 2/SavedGame0");
  Put("Keep/me");
  for (const char* refused : {"..", "../xdg", "/etc", "Keep", "Profiles", "Profiles/", "Profiles/../Keep",
                              "Profiles/Profile 1/..", "C:\\Windows", ""}) {
    EXPECT_FALSE(m_app.DeleteSavedGamesDirectory(refused)) << refused;
  }
  EXPECT_TRUE(Has("Keep/me"));
  EXPECT_TRUE(Has("Profiles/Profile 1/SavedGame0"));

  EXPECT_TRUE(m_app.DeleteSavedGamesDirectory("Profiles\\Profile 1"));
  EXPECT_FALSE(Has("Profiles/Profile 1/SavedGame0"));
  EXPECT_FALSE(Has("Profiles/Profile 1/Sub/deeper"));
  EXPECT_TRUE(Has("Profiles/Profile 1/Sub")) << "folders stay";
  EXPECT_TRUE(Has("Profiles/Profile 2/SavedGame0"));

  // The profile's own folder, as a full path.
  EXPECT_TRUE(m_app.DeleteSavedGamesDirectory((m_user + "/Profiles/Profile 2").c_str()));
  EXPECT_FALSE(Has("Profiles/Profile 2/SavedGame0"));
}

TEST_F(SavedGames, CreateSaveGame) {
  char folder[512];
  EXPECT_TRUE(m_app.CreateSaveGame("Profile 1- A:B", 1, 0, folder, (int)sizeof(folder), true));
  EXPECT_EQ(m_user + "/Profiles/Profile 1/", folder);
  EXPECT_TRUE(Has("Profiles/Profile 1/Profile 1- A-B"));

  // Mode 1 never overwrites.
  FILE* f = fopen((m_user + "/Profiles/Profile 1/Profile 1- A-B").c_str(), "wb");
  fputs("content", f);
  fclose(f);
  EXPECT_FALSE(m_app.CreateSaveGame("Profile 1- A:B", 1, 0, folder, (int)sizeof(folder), true));
  f = fopen((m_user + "/Profiles/Profile 1/Profile 1- A-B").c_str(), "rb");
  char buf[16] = {};
  EXPECT_EQ(7u, fread(buf, 1, sizeof(buf), f));
  fclose(f);

  // Save slots go beside the current profile's record; mode 3 opens only an
  // existing file, other modes open nothing.
  m_saves.GetCurrentProfile()->SetProfileFilename("Profiles/Profile 1/Profile 1- A-B");
  EXPECT_FALSE(m_app.CreateSaveGame("SavedGame3", 3, 0, folder, (int)sizeof(folder), false));
  EXPECT_TRUE(m_app.CreateSaveGame("SavedGame3", 1, 0, folder, (int)sizeof(folder), false));
  EXPECT_TRUE(m_app.CreateSaveGame("SavedGame3", 3, 0, folder, (int)sizeof(folder), false));
  EXPECT_FALSE(m_app.CreateSaveGame("SavedGame3", 2, 0, folder, (int)sizeof(folder), false));
  EXPECT_TRUE(Has("Profiles/Profile 1/SavedGame3"));

  // Names cannot climb out of the folder.
  EXPECT_FALSE(m_app.CreateSaveGame("../escape", 1, 0, folder, (int)sizeof(folder), false));
  EXPECT_FALSE(Has("Profiles/escape"));

  // A folder that does not fit the caller's buffer is a fatal check.
  EXPECT_DEATH(m_app.CreateSaveGame("SavedGame4", 1, 0, folder, 4, false), "false");

  // Deleting one save removes that file only.
  EXPECT_TRUE(m_app.DeleteSaveGame("SavedGame3"));
  EXPECT_FALSE(Has("Profiles/Profile 1/SavedGame3"));
  EXPECT_TRUE(Has("Profiles/Profile 1/Profile 1- A-B"));
  EXPECT_FALSE(m_app.DeleteSaveGame("SavedGame3")) << "already gone";
  EXPECT_FALSE(m_app.DeleteSaveGame("../Profile 1/Profile 1- A-B"));
}

TEST(ScriptFunctions, WorkWithoutAndWithTheApplication) {
  EString out("stale");
  PCScript_GetSaveString(out);
  EXPECT_EQ(0, out.Length());
  PCScript_UnlockAchievement("Anything");
  PCScript_ResetStoreUserStats();
  PCGameApp app;
  app.m_pSaveLoadInterface = new ELoadSaveGame();  // the application deletes it
  gGameApp = &app;
  out = "stale";
  PCScript_GetSaveString(out);
  EXPECT_EQ(0, out.Length());
  PCScript_UnlockAchievement("Anything");
  gGameApp = nullptr;
}

}  // namespace
