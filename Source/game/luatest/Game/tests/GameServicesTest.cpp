// Input-mode switching, the global and debug input step with the level
// requests it serves, the settings refresh and the hidden button codes.
#include "Game/GameApp.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "Game/Camera.h"
#include "Game/ScreenOverlays.h"
#include "Game/UIMenu.h"
#include "Lua/lua.h"
#include "ScriptVM/ScriptObject.h"
#include "TWSound/SoundManager.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/MeshEntity.h"

namespace {

class ServicesApp : public GameApp {
public:
  EVec2* GetMousePoint() override { return &m_vPoint; }
  void UnlockAchievement(const char*) override {}
  EVec2 m_vPoint;
};

// A handler that records its activations and may refuse them.
class SwitchHandler : public EControlHandler {
public:
  explicit SwitchHandler(CONTROL_HANDLER_TYPE eType) : EControlHandler(nullptr), m_eOwnType(eType) {}
  CONTROL_HANDLER_TYPE Type() override { return m_eOwnType; }
  bool Activate(void*) override {
    ++m_iActivated;
    return !m_bRefuse;
  }
  bool Deactivate() override {
    ++m_iDeactivated;
    return true;
  }
  void HandleControls_Internal(Input&) override { ++m_iHandled; }
  CONTROL_HANDLER_TYPE m_eOwnType;
  bool m_bRefuse = false;
  int m_iActivated = 0, m_iDeactivated = 0, m_iHandled = 0;
};

std::vector<std::string>* s_pServiceLines = nullptr;
void CaptureServiceLine(const char* text) {
  if (s_pServiceLines) s_pServiceLines->push_back(text ? text : "");
}

// An application with its twenty handlers and a running interpreter whose
// player script logs what reaches it in the global gLog.
class Services : public ::testing::Test {
protected:
  void SetUp() override {
    char tmpl[] = "/tmp/quillomar-services-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(tmpl));
    m_dir = tmpl;
    gFile->AddReadPath(m_dir.c_str(), true);
    mkdir((m_dir + "/scripts").c_str(), 0755);
    std::ofstream(m_dir + "/scripts/Base.lua") << "function Base()\n"
                                                  "  local o = CreateObject(nil)\n"
                                                  "  o.setState = function(self, s) APISetState(self, s) end\n"
                                                  "  return o\n"
                                                  "end\n";
    s_pServiceLines = &m_lines;
    g_ErrorManager.SetConsoleCallback(CaptureServiceLine);
    m_pPrevApp = gGameApp;
    gGameApp = &m_app;
    for (int i = 0; i < kCONTROL_NUMTYPES; ++i) {
      m_apHandlers[i] = new SwitchHandler((CONTROL_HANDLER_TYPE)i);
      m_app.m_aControlHandlers[i] = m_apHandlers[i];
    }
    for (int i = 0; i < GameApp::kNUM_CAMERAS; ++i) m_app.m_aCameras[i] = new ECamera();
    m_app.m_aCameraChannels[0].m_pCamera = m_app.m_aCameras[0];
    ASSERT_NE(nullptr, m_app.GetScriptVM()->Initialise());
    Run("gLog = ''\nfunction Log(s) gLog = gLog .. s .. ';' end");
    m_pPlayerScript = m_app.GetScriptVM()->CreateScriptObject(
        "Base", "Ruzi", nullptr,
        "self.onControlHandlerChanged = function(self, t) Log('changed ' .. tostring(t)) end\n"
        "self.onCutsceneOverride = function(self) Log('override') end\n"
        "self.stats = {}",
        false, true, false, false);
    ASSERT_NE(nullptr, m_pPlayerScript);
    m_app.m_pPlayer = new EMeshEntity(nullptr, "Ruzi");
    m_app.m_pPlayer->SetScriptObject(m_pPlayerScript);
  }
  void TearDown() override {
    m_app.m_pControlHandler = m_app.m_pUIControlHandler = nullptr;
    if (m_app.m_pPlayer) {
      m_app.m_pPlayer->SetScriptObject(nullptr);
      delete m_app.m_pPlayer;
      m_app.m_pPlayer = nullptr;
    }
    m_app.GetScriptVM()->Shutdown();
    gGameApp = m_pPrevApp;
    g_ErrorManager.SetConsoleCallback(nullptr);
    s_pServiceLines = nullptr;
    EXPECT_EQ(0, system(("rm -rf '" + m_dir + "'").c_str()));
  }
  void Run(const char* code) { ASSERT_TRUE(m_app.GetScriptVM()->RunLuaCommands(code, nullptr, nullptr, 0)) << code; }
  std::string Log() {
    lua_State* L = m_app.GetScriptVM()->GetGlobalState();
    lua_getglobal(L, "gLog");
    std::string s = lua_isstring(L, -1) ? lua_tostring(L, -1) : "?";
    lua_pop(L, 1);
    Run("gLog = ''");
    return s;
  }
  void Turn() {
    m_app.GetScriptVM()->RunAllScripts();
    m_app.CleanupDestroyedEntities(false);
  }
  int Count(const std::string& text) const {
    int n = 0;
    for (const std::string& s : m_lines) n += s.find(text) != std::string::npos;
    return n;
  }
  SwitchHandler& H(CONTROL_HANDLER_TYPE t) { return *m_apHandlers[t]; }

  ServicesApp m_app;
  GameApp* m_pPrevApp = nullptr;
  SwitchHandler* m_apHandlers[kCONTROL_NUMTYPES] = {};
  EScriptObject* m_pPlayerScript = nullptr;
  std::string m_dir;
  std::vector<std::string> m_lines;
};

TEST_F(Services, SwitchingHandlersFollowsTheRules) {
  struct Case {
    const char* what;
    CONTROL_HANDLER_TYPE from, to;
    bool refuse;
    bool result;
    CONTROL_HANDLER_TYPE active;
    int deactivated, activated;  // of the handler switched from, and to
    const char* log;
  };
  const Case cases[] = {
      {"the active type again", kCONTROL_BALL, kCONTROL_BALL, false, true, kCONTROL_BALL, 0, 0, ""},
      {"none", kCONTROL_BALL, kCONTROL_NONE, false, false, kCONTROL_NONE, 1, 0, ""},
      {"a refusal falls back to the player", kCONTROL_BALL, kCONTROL_CANOE, true, false, kCONTROL_PLAYER, 1, 1, "changed 0;"},
      {"success", kCONTROL_PLAYER, kCONTROL_RAIL, false, true, kCONTROL_RAIL, 1, 1, "changed 16;"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    m_app.m_pControlHandler = &H(c.from);
    for (SwitchHandler* h : m_apHandlers) h->m_iActivated = h->m_iDeactivated = 0, h->m_bRefuse = false;
    if (c.to != kCONTROL_NONE) H(c.to).m_bRefuse = c.refuse;
    EXPECT_EQ(c.result, m_app.SetControlHandler(c.to, nullptr));
    EXPECT_EQ(c.active, m_app.GetControlHandlerType());
    EXPECT_EQ(c.deactivated, H(c.from).m_iDeactivated);
    if (c.to != kCONTROL_NONE && c.to != c.from) {
      EXPECT_EQ(c.activated, H(c.to).m_iActivated);
    }
    EXPECT_EQ("", Log()) << "the message waits for the object's turn";
    Turn();
    EXPECT_EQ(c.log, Log());
  }
}

TEST_F(Services, AUIHandlerThatRefusesIsNotKeptAndTheMainHandlerGoesOff) {
  m_app.m_pControlHandler = &H(kCONTROL_PLAYER);
  m_app.SetUIControlHandler(kCONTROL_SLIDESHOW);
  EXPECT_EQ(&H(kCONTROL_SLIDESHOW), m_app.m_pUIControlHandler);
  EXPECT_TRUE(m_app.InControlHandler(kCONTROL_SLIDESHOW)) << "the UI handler counts";
  EXPECT_TRUE(m_app.InControlHandler(kCONTROL_PLAYER));
  m_app.SetUIControlHandler(kCONTROL_SLIDESHOW);
  EXPECT_EQ(1, H(kCONTROL_SLIDESHOW).m_iActivated) << "the same handler again changes nothing";

  H(kCONTROL_FIGMENT).m_bRefuse = true;
  m_app.SetUIControlHandler(kCONTROL_FIGMENT);
  EXPECT_EQ(1, H(kCONTROL_SLIDESHOW).m_iDeactivated);
  EXPECT_EQ(nullptr, m_app.m_pUIControlHandler);
  EXPECT_EQ(kCONTROL_NONE, m_app.GetControlHandlerType());
  EXPECT_FALSE(m_app.InControlHandler(kCONTROL_FIGMENT));
}

TEST_F(Services, TheCameraDecidesWhetherTheControlsRun) {
  struct Case {
    CAMERATYPE camera;
    CONTROL_HANDLER_TYPE handler;
    bool paused;
    CONTROL_HANDLER_TYPE after;
  };
  const Case cases[] = {
      {kCAMERA_CHASE, kCONTROL_NONE, false, kCONTROL_PLAYER}, {kCAMERA_RAIL, kCONTROL_BALL, false, kCONTROL_BALL},
      {kCAMERA_SPHERE, kCONTROL_NONE, false, kCONTROL_PLAYER}, {kCAMERA_FLY, kCONTROL_BALL, true, kCONTROL_BALL},
      {kCAMERA_SCRIPT, kCONTROL_PLAYER, true, kCONTROL_PLAYER}, {kCAMERA_MAP, kCONTROL_NONE, false, kCONTROL_NONE},
  };
  // The cameras aim at no player here.
  EEntity* pPlayer = m_app.m_pPlayer;
  m_app.m_pPlayer = nullptr;
  for (const Case& c : cases) {
    SCOPED_TRACE(ECamera::GetTypeName(c.camera));
    m_app.GetCurrentCamera()->Init(c.camera);
    m_app.m_pControlHandler = c.handler == kCONTROL_NONE ? nullptr : &H(c.handler);
    EControlHandler::PauseControls(false, false);
    m_app.SetControlsFromCurrentCamera();
    EXPECT_EQ(c.paused, EControlHandler::ControlsPaused());
    EXPECT_EQ(c.after, m_app.GetControlHandlerType());
  }
  // Nothing changes under the dialogue-choice handler.
  m_app.GetCurrentCamera()->Init(kCAMERA_FLY);
  m_app.m_pControlHandler = &H(kCONTROL_DIALOGCHOICE);
  m_app.SetControlsFromCurrentCamera();
  EXPECT_FALSE(EControlHandler::ControlsPaused());
  EControlHandler::PauseControls(false, false);
  m_app.m_pPlayer = pPlayer;
}

TEST_F(Services, LoadingOverrideRestoresTheStateOfTheFirstCall) {
  m_app.m_iLevelLoadedState = 3;
  m_app.OverrideIngameLoading(true);
  EXPECT_EQ(0, m_app.m_iLevelLoadedState);
  m_app.m_iLevelLoadedState = 2;
  m_app.OverrideIngameLoading(true);  // already on: nothing saved again
  m_app.OverrideIngameLoading(false);
  EXPECT_EQ(3, m_app.m_iLevelLoadedState);
}

TEST_F(Services, ClairvoyanceTintCoversTheDisplayWithSixVertices) {
  m_app.InitClairvoyanceCloud(EVec4(1.0f, 0.0f, 0.0f, 1.0f));
  EXPECT_TRUE(m_app.m_bClairvoyanceActive);
  const float uv[6][2] = {{0, 1}, {1, 1}, {0, 0}, {0, 0}, {1, 1}, {1, 0}};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(uv[i][0], m_app.m_aClairvoyanceTint[i].u) << i;
    EXPECT_EQ(uv[i][1], m_app.m_aClairvoyanceTint[i].v) << i;
    EXPECT_EQ(0.0f, m_app.m_aClairvoyanceTint[i].z);
    EXPECT_EQ(m_app.m_aClairvoyanceTint[0].diffuse, m_app.m_aClairvoyanceTint[i].diffuse);
  }
  m_app.ExitClairvoyanceCloud();
  EXPECT_FALSE(m_app.m_bClairvoyanceActive);
}

// The debug pad and the global controls.

TEST_F(Services, DebugButtonsCallTheScriptsOnceAtThePress) {
  Run("gAnswer = nil\n"
      "function DebugDigitalInput(slot, down) Log(slot .. (down == 1 and ' down' or ' up')) return gAnswer end");
  Input& pad = m_app.m_DebugInput;
  // Held fully for three frames: one call, at the press.
  for (int frame = 0; frame < 3; ++frame) {
    pad.m_aButtonPressed[kBUTTON_X] = frame == 0;
    pad.m_aAnalogButton[kBUTTON_X] = 255;
    pad.m_aButtonPrevDown[kBUTTON_X] = frame == 0 ? 0 : 255;
    m_app.ProcessDebugInput(pad);
  }
  EXPECT_EQ("3 down;", Log());

  // The hat pointing left is the number 15, never down.
  pad = Input();
  pad.m_aPOVChanged[0] = 27000;
  m_app.ProcessDebugInput(pad);
  EXPECT_EQ("15 up;", Log());
  EXPECT_EQ(27000, pad.m_aPOVChanged[0]) << "an answer of false leaves the hat";

  // An answer of true takes the press.
  Run("gAnswer = 1");
  pad = Input();
  pad.m_aButtonPressed[kBUTTON_Y] = 1;
  pad.m_aAnalogButton[kBUTTON_Y] = 255;
  m_app.ProcessDebugInput(pad);
  EXPECT_EQ("4 down;", Log());
  EXPECT_EQ(0, pad.m_aButtonPressed[kBUTTON_Y]);
  EXPECT_EQ(0, pad.m_aAnalogButton[kBUTTON_Y]);
  pad = Input();
  pad.m_aPOVChanged[0] = 0;
  m_app.ProcessDebugInput(pad);
  EXPECT_EQ(-1, pad.m_aPOVChanged[0]);
  Log();
}

TEST_F(Services, GlobalControlsLevelRequestsAndCutsceneSkips) {
  EUIMenu menu;
  EMessageBoxManager boxes;
  m_app.m_pUIMenu = &menu;
  m_app.m_pMessageBoxManager = &boxes;
  m_app.m_bLevelLoaded = true;

  // In "CABU" neither START nor LCLICK opens anything.
  snprintf(m_app.m_szCurrentLevelName, sizeof(m_app.m_szCurrentLevelName), "CABU");
  Input in;
  in.m_aButtonPressed[kBUTTON_START] = in.m_aButtonPressed[kBUTTON_LCLICK] = 1;
  m_app.ProcessGlobalInput(in);
  EXPECT_FALSE(menu.IsInGameMenuActive());
  EXPECT_EQ(0, m_app.m_UserInterface.GetNumInventoryShown());
  // Elsewhere START opens the journal.
  snprintf(m_app.m_szCurrentLevelName, sizeof(m_app.m_szCurrentLevelName), "CAKC");
  in.m_aButtonPressed[kBUTTON_LCLICK] = 0;
  m_app.ProcessGlobalInput(in);
  EXPECT_TRUE(menu.IsInGameMenuActive());
  EXPECT_TRUE(menu.GetInGameMenu()->GetForceJournal());
  menu.ToggleInGameMenu();

  // A request made while a box is open runs in the first frame after. (No
  // level runs here, so the load neither unloads nor reboots; it finds no
  // scene and puts the menus back.)
  m_app.m_bLevelLoaded = false;
  const int box = boxes.AddMessageBox("wait", 0, nullptr, false);
  m_app.RequestNewLevel("CAKC", false);
  Input none;
  m_app.ProcessGlobalInput(none);
  EXPECT_TRUE(m_app.m_bNewLevelRequested);
  boxes.AnswerMessageBox(box, 1);
  const bool bTraced = g_ErrorManager.IsEnabled(TT_Developer4);
  g_ErrorManager.SetEnabled(TT_Developer4, true);
  m_app.ProcessGlobalInput(none);
  g_ErrorManager.SetEnabled(TT_Developer4, bTraced);
  EXPECT_FALSE(m_app.m_bNewLevelRequested);
  EXPECT_EQ(1, Count("Level loaded in "));

  // B in a cutscene queues the override and takes the press, unless a
  // dialogue choice is on screen.
  m_app.GetScriptVM()->RegisterCutscene(m_pPlayerScript);
  for (CONTROL_HANDLER_TYPE handler : {kCONTROL_PLAYER, kCONTROL_DIALOGCHOICE}) {
    m_app.m_pControlHandler = &H(handler);
    Input b;
    b.m_aButtonPressed[kBUTTON_B] = 1;
    m_app.ProcessGlobalInput(b);
    EXPECT_EQ(handler == kCONTROL_DIALOGCHOICE ? 1 : 0, b.m_aButtonPressed[kBUTTON_B]);
    Turn();
    EXPECT_EQ("override;", Log());
  }
  m_app.GetScriptVM()->UnregisterCutscene(m_pPlayerScript);

  // Back to the start menu from a running level.
  m_app.m_bLevelLoaded = true;
  m_app.ReturnToStartMenu();
  m_app.ProcessGlobalInput(none);
  EXPECT_FALSE(m_app.m_bReturnToStartMenuRequested);
  EXPECT_STREQ("", m_app.m_szCurrentLevelName);
  EXPECT_EQ(2, menu.GetNumReInits()) << "the failed load and the start menu";
  m_app.m_pUIMenu = nullptr;
  m_app.m_pMessageBoxManager = nullptr;
}

// Sound settings reach the manager in order.
class RecordingSound : public ESoundManager {
public:
  void FreeSoundSource(uint32_t, EEntity*) override {}
  bool ProcessSoundSource(uint32_t, const EVec3&) override { return true; }
  void SetSoundSourceSleeping(EEntity*, bool) override {}
  void StopAll() override { m_calls += "stop;"; }
  void SetMasterVolume(float f, int a) override { Add("master", f, a); }
  void SetFXVolume(float f, int a) override { Add("fx", f, a); }
  void SetMusicVolume(float f, int a) override { Add("music", f, a); }
  void SetVoiceVolume(float f, int a) override { Add("voice", f, a); }
  void Add(const char* what, float f, int a) {
    char line[64];
    snprintf(line, sizeof(line), "%s %.2f %d;", what, f, a);
    m_calls += line;
  }
  std::string m_calls;
};

TEST_F(Services, SoundSettingsSetVolumesInOrderAndSubtitlesOffDeleteTheLines) {
  RecordingSound sound;
  ESayLineDisplayManager lines;
  m_app.m_pSoundManager = &sound;
  m_app.m_pSayLineDisplayManager = &lines;
  m_app.m_SoundSettings.SetSettingValue(ESoundSettings::s_szMasterVolume, 0.5f);
  m_app.m_SoundSettings.SetSettingValue(ESoundSettings::s_szVoiceVolume, 0.25f);
  m_app.m_SoundSettings.SetSettingValue(ESoundSettings::s_szShowSubtitles, false);
  lines.m_nShownLines = 2;
  m_app.RefreshSoundSettings();
  EXPECT_EQ(0, lines.m_nShownLines);
  EXPECT_FALSE(m_app.m_DebugHooks.Subtitles);
  const std::string calls = sound.m_calls;
  EXPECT_LT(calls.find("master 0.50 0;"), calls.find("voice 0.25 0;"));
  EXPECT_NE(std::string::npos, calls.find("fx "));
  EXPECT_LT(calls.find("fx "), calls.find("music "));

  // Without a save-game interface the global settings change nothing.
  m_app.m_DebugHooks.CameraInvertRotateX = true;
  m_app.RefreshGlobalSettings();
  EXPECT_TRUE(m_app.m_DebugHooks.CameraInvertRotateX);
  m_app.ReturnToStartMenu();
  EXPECT_NE(std::string::npos, sound.m_calls.find("stop;"));
  m_app.m_bReturnToStartMenuRequested = false;
  m_app.m_pSoundManager = nullptr;
  m_app.m_pSayLineDisplayManager = nullptr;
}

// Hidden codes, with the presses entered by hand and a set clock.

TEST_F(Services, PressesAreStoredOnlyWithBothFlippersHeld) {
  struct Case {
    const char* what;
    bool left, right;
    std::vector<int> pressed;
    int stored;  // the byte stored, 0 for none
  };
  const Case cases[] = {
      {"both flippers", true, true, {kBUTTON_X}, 0x83},
      {"one flipper", true, false, {kBUTTON_X}, 0},
      {"the lowest slot of the frame", true, true, {kBUTTON_START, kBUTTON_Y}, 0x84},
      {"never a flipper", true, true, {kBUTTON_LEFTFLIPPER}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    m_app.m_nCheatInputs = 0;
    memset(m_app.m_aCheatInput, 0, sizeof(m_app.m_aCheatInput));
    Input in;
    in.m_aAnalogButton[kBUTTON_LEFTFLIPPER] = c.left ? 255 : 0;
    in.m_aAnalogButton[kBUTTON_RIGHTFLIPPER] = c.right ? 255 : 0;
    for (int slot : c.pressed) in.m_aButtonPressed[slot] = 1;
    m_app.UpdateCheatCodes(&in);
    EXPECT_EQ(c.stored ? 1 : 0, m_app.m_nCheatInputs);
    EXPECT_EQ(c.stored, m_app.m_aCheatInput[0]);
  }
  // Over 500 ms after the last accepted press the presses are forgotten.
  m_app.m_dRealElapsedTime = 0.0;
  Input in;
  in.m_aAnalogButton[kBUTTON_LEFTFLIPPER] = in.m_aAnalogButton[kBUTTON_RIGHTFLIPPER] = 255;
  in.m_aButtonPressed[kBUTTON_A] = 1;
  m_app.m_nCheatInputs = 0;
  m_app.UpdateCheatCodes(&in);
  in.m_aButtonPressed[kBUTTON_A] = 0;
  m_app.m_dRealElapsedTime = 0.4;
  m_app.UpdateCheatCodes(&in);  // no press: the pause counts from the press
  m_app.m_dRealElapsedTime = 0.5;
  m_app.UpdateCheatCodes(&in);
  EXPECT_EQ(1, m_app.m_nCheatInputs) << "500 ms is not over 500 ms";
  m_app.m_dRealElapsedTime = 0.5006;
  m_app.UpdateCheatCodes(&in);
  EXPECT_EQ(0, m_app.m_nCheatInputs);
  // The demo build stores nothing.
  m_app.m_Prefs.m_bOxmBuild = true;
  in.m_aButtonPressed[kBUTTON_A] = 1;
  m_app.UpdateCheatCodes(&in);
  EXPECT_EQ(0, m_app.m_nCheatInputs);
  m_app.m_Prefs.m_bOxmBuild = false;
}

TEST_F(Services, CodesActOnTheSixthPressAndNonsenseToggles) {
  auto enter = [&](const std::vector<int>& slots) {
    m_app.m_nCheatInputs = 0;
    memset(m_app.m_aCheatInput, 0, sizeof(m_app.m_aCheatInput));
    for (int slot : slots) m_app.AddCheatInput((unsigned char)slot);
  };
  // Code 2: lives on the player's table.
  enter({15, 13, 14, 12, 10});
  int lives = 0;
  EXPECT_FALSE(m_pPlayerScript->GetTableValue("stats.maxLives", lives)) << "five presses do nothing";
  m_app.AddCheatInput(11);
  ASSERT_TRUE(m_pPlayerScript->GetTableValue("stats.maxLives", lives));
  EXPECT_EQ(9999, lives);
  EXPECT_EQ(1, m_app.m_nCheatNotifications);
  m_app.AddCheatInput(3);  // a seventh press matches nothing
  EXPECT_EQ(1, m_app.m_nCheatNotifications);

  // Code 8 twice: the text switch on and off, one cue.
  const std::vector<int> nonsense = {12, 13, 10, 14, 15, 11};
  enter(nonsense);
  EXPECT_TRUE(m_app.m_DebugHooks.m_bNonsenseText);
  enter(nonsense);
  EXPECT_FALSE(m_app.m_DebugHooks.m_bNonsenseText);
  EXPECT_EQ(2, m_app.m_nCheatNotifications);

  // Code 3 sets the invulnerable switch.
  enter({14, 12, 15, 10, 13, 11});
  EXPECT_TRUE(m_app.m_DebugHooks.invulnerable);
}

// Screen text and the edit-variable reader need no interpreter.

TEST(ScreenText, FontZeroIsFatalAndAnIdPastTheListDrawsNothing) {
  ServicesApp app;
  std::vector<std::string> lines;
  s_pServiceLines = &lines;
  g_ErrorManager.SetConsoleCallback(CaptureServiceLine);
  app.DisplayText(3, 10, 10, "%s", "past the list");
  g_ErrorManager.SetConsoleCallback(nullptr);
  s_pServiceLines = nullptr;
  ASSERT_EQ(1u, lines.size());
  EXPECT_NE(std::string::npos, lines[0].find("no font 3 (0 loaded)"));
  EXPECT_DEATH(app.DisplayText(0, 10, 10, "x"), "dwFont");
}

TEST(EditVariables, TheValueBetweenQuotesIsCutToTheBuffer) {
  struct Case {
    const char* vars;
    bool found;
    const char* value;
    bool traced;
  };
  const std::string longValue(40, 'v');
  const std::string longVars = "self.textureName = '" + longValue + "'";
  const Case cases[] = {
      {"self.a = 1\nself.textureName = 'fig_tex01'\nself.b = 'x'", true, "fig_tex01", false},
      {"self.other = 'x'", false, "", false},
      {"self.textureName = 'open", false, "", true},
      {"self.textureName = ''", false, "", true},
      {longVars.c_str(), true, "vvvvvvvvvvvvvvv", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.vars);
    std::vector<std::string> lines;
    s_pServiceLines = &lines;
    g_ErrorManager.SetConsoleCallback(CaptureServiceLine);
    char buffer[17];
    buffer[16] = '#';  // a guard after a 16-byte buffer
    EXPECT_EQ(c.found, GameApp::ReadEditVariable(c.vars, "self.textureName", buffer, 16));
    g_ErrorManager.SetConsoleCallback(nullptr);
    s_pServiceLines = nullptr;
    EXPECT_STREQ(c.value, buffer);
    EXPECT_EQ('#', buffer[16]) << "nothing is written past the buffer";
    EXPECT_EQ(c.traced ? 1u : 0u, lines.size());
  }
}

}  // namespace
