#include "Game/RecordPlayback.h"

#include <SDL/SDL.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Game/Camera.h"
#include "Game/GameApp.h"
#include "Game/PCGameApp.h"
#include "Game/SaveLoadGame.h"
#include "TWMath/Random.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/Profiler.h"
#include "VERirezo/Entity.h"
#include "VERirezo/MeshEntity.h"

namespace {

int64_t g_now = 0;
int64_t FakeClock() { return g_now; }

std::vector<std::string>* s_pLines = nullptr;
void Capture(const char* text) {
  if (s_pLines) s_pLines->push_back(text ? text : "");
}

// The live input of frame i: a pattern that the test can tell apart from a
// replay's live input (0), nothing held (1), or one button slot held (10 +
// the slot).
Input LiveInput(int i, int pattern) {
  Input in;
  if (pattern >= 10) in.m_aAnalogButton[pattern - 10] = 255;
  if (pattern == 0) {
    in.m_nMoveX = (i * 13) % 201 - 100;
    in.m_nMoveY = (i * 7) % 61 - 30;
    in.m_aButtonDown[kBUTTON_X] = (i / 10) % 2 ? 255 : 0;
    in.m_aAnalogButton[kBUTTON_X] = in.m_aButtonDown[kBUTTON_X];
    in.m_aPOV[0] = (i % 4) * 9000;
    in.m_bMouseMoved = (uint8_t)(i & 1);
  }
  return in;
}

bool SameInput(const Input& a, const Input& b) { return memcmp(&a, &b, sizeof(Input)) == 0; }

// An application whose input comes from the test, with a player entity and
// a main camera.
class RecApp : public GameApp {
public:
  RecApp() {
    m_aCameras[0] = new ECamera();
    m_aCameraChannels[0].m_pCamera = m_aCameras[0];
    BuildDomainTree();
    m_pPlayer = EMeshEntity::Create(m_pMainDomain, "Ruzi");
  }
  EVec2* GetMousePoint() override { return &m_vPoint; }
  void UnlockAchievement(const char*) override {}
  void UpdateInput(Input* input, Input*) override { *input = LiveInput(m_iLiveFrame++, m_iPattern); }
  // The frame serves the request at once; the test notes that it came.
  bool ProcessGlobalInput(Input& in) override {
    m_bStartMenuServed = m_bStartMenuServed || m_bReturnToStartMenuRequested;
    return GameApp::ProcessGlobalInput(in);
  }

  EVec2 m_vPoint;
  bool m_bStartMenuServed = false;
  int m_iLiveFrame = 0;
  int m_iPattern = 0;
};

// Moves the camera and the player from the frame's input, its simulated step
// and the simulation's random numbers, so a replay that misses any of the
// three ends elsewhere.
class MoverHandler : public EControlHandler {
public:
  MoverHandler() : EControlHandler(nullptr) {}
  CONTROL_HANDLER_TYPE Type() override { return kCONTROL_PLAYER; }
  void HandleControls_Internal(Input& in) override {
    const float dt = gGameApp->GetSimDeltaTime();
    ECamera* camera = gGameApp->GetCurrentCamera();
    camera->SetPosition(camera->GetPosition() +
                        EVec3((float)in.m_nMoveX * dt, (float)in.m_nMoveY * dt, g_SimRand.frand(-0.5f, 0.5f)));
    EEntity* player = gGameApp->GetPlayer();
    float push = in.m_aButtonDown[kBUTTON_X] ? 3.0f : -1.0f;
    player->SetPosition(player->GetPosition() + EVec3(push * dt * 10.0f, (float)in.m_aPOV[0] * 0.0001f,
                                                      g_SimRand.frand(-1.0f, 1.0f) + m_fDrift));
  }
  float m_fDrift = 0.0f;
};

class Recording : public ::testing::Test {
protected:
  void SetUp() override {
    char tmpl[] = "/tmp/quillomar-rec-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(tmpl));
    m_dir = tmpl;
    ASSERT_NE(nullptr, getcwd(m_oldCwd, sizeof(m_oldCwd)));
    ASSERT_EQ(0, chdir(m_dir.c_str()));
    const char* xdg = getenv("XDG_DATA_HOME");
    m_oldXdg = xdg ? xdg : "";
    m_hadXdg = xdg != nullptr;
    setenv("XDG_DATA_HOME", (m_dir + "/user").c_str(), 1);
    m_pOldFiles = gFile;
    gFile = new EFileManager();
    mkdir("WorkResource", 0755);
    gFile->AddReadPath("WorkResource", false);
    gFile->SetWritePath("WorkResource");
    s_pLines = &m_lines;
    g_ErrorManager.SetConsoleCallback(Capture);

    g_now = 5000000000LL;
    Profile_SetClock(FakeClock);
    ASSERT_TRUE(m_app.m_Timing.StartSubTimer("Main", 2));
    m_app.m_pRecordPlayback = new ERecordPlayback();
    m_handler.m_pGameApp = &m_app;
    m_handler.Activate(nullptr);
    m_app.m_pControlHandler = &m_handler;
    gGameApp = &m_app;
  }
  void TearDown() override {
    m_app.m_pRecordPlayback->Close();
    m_app.m_pControlHandler = nullptr;
    gGameApp = nullptr;
    Profile_SetClock(nullptr);
    g_ErrorManager.SetConsoleCallback(nullptr);
    s_pLines = nullptr;
    delete gFile;
    gFile = m_pOldFiles;
    if (m_hadXdg) setenv("XDG_DATA_HOME", m_oldXdg.c_str(), 1);
    else unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(0, chdir(m_oldCwd));
    EXPECT_EQ(0, system(("rm -rf '" + m_dir + "'").c_str()));
  }

  ERecordPlayback& Rec() { return *m_app.m_pRecordPlayback; }
  // One frame of the loop after ms of real time.
  void Frame(double ms) {
    g_now += (int64_t)(ms * 1000.0);
    m_app.InitFrame();
    m_app.RenderFrame();
    m_app.EndFrame();
  }
  void Place(const EVec3& camera, const EVec3& player) {
    m_app.GetCurrentCamera()->SetPosition(camera);
    m_app.GetPlayer()->SetPosition(player);
  }
  int Count(const std::string& text) const {
    int n = 0;
    for (const std::string& s : m_lines) n += s.find(text) != std::string::npos;
    return n;
  }
  static std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream ss;
    ss << f.rdbuf();
    return ss.str();
  }
  static void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary);
    f << bytes;
  }
  static std::string Header(const std::string& level, float time, int32_t frame) {
    std::string h(4, '\0');
    uint32_t n = (uint32_t)level.size();
    for (int i = 0; i < 4; ++i) h[i] = (char)(n >> (8 * i));
    h += level;
    uint32_t t;
    memcpy(&t, &time, 4);
    for (int i = 0; i < 4; ++i) h += (char)(t >> (8 * i));
    for (int i = 0; i < 4; ++i) h += (char)((uint32_t)frame >> (8 * i));
    return h;
  }
  // Records n frames of the loop under the name, with real steps that vary,
  // and keeps where the world was after them.
  void RecordFrames(const char* name, const char* level, int n) {
    Rec().InitRecord(name, level);
    ASSERT_TRUE(Rec().IsRecording());
    for (int i = 0; i < n; ++i) Frame(8.0 + (i * 7) % 45);
    m_camAfter = m_app.GetCurrentCamera()->GetPosition();
    m_playerAfter = m_app.GetPlayer()->GetPosition();
    m_simAfter = m_app.GetSimElapsedTime();
    Rec().StopRecording();
    Frame(16.0);  // honoured without writing this frame
    EXPECT_FALSE(Rec().IsRecording());
  }

  RecApp m_app;
  MoverHandler m_handler;
  EVec3 m_camAfter, m_playerAfter;
  double m_simAfter = 0.0;
  std::string m_dir;
  char m_oldCwd[4096];
  std::string m_oldXdg;
  bool m_hadXdg = false;
  EFileManager* m_pOldFiles = nullptr;
  std::vector<std::string> m_lines;
};

const char kDEMO_FILE[] = "d:/workresource/InputRecord/demo_Build_0602.paf";

TEST_F(Recording, FileLayout) {
  m_app.m_iFrameCount = 77;
  m_app.SetSimElapsedTime(2.5);
  Place(EVec3(3.0f, 4.0f, 0.0f), EVec3(0.0f, 0.0f, 2.0f));
  RecordFrames("demo", nullptr, 3);
  const std::string bytes = ReadFile(kDEMO_FILE);
  const std::string header = Header("NONE", 2.5f, 77);
  ASSERT_EQ(header.size() + 3 * 140, bytes.size());
  EXPECT_EQ(header, bytes.substr(0, header.size()));

  // The first frame: its time, the live input of frame 0 field by field, the
  // distances as they were before the frame moved anything.
  const unsigned char* f = reinterpret_cast<const unsigned char*>(bytes.data()) + header.size();
  auto u32 = [](const unsigned char* p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
  };
  auto f32 = [&](const unsigned char* p) {
    uint32_t v = u32(p);
    float x;
    memcpy(&x, &v, 4);
    return x;
  };
  EXPECT_FLOAT_EQ(0.008f, f32(f));
  const Input in = LiveInput(0, 0);
  EXPECT_EQ((uint32_t)in.m_nMoveY, u32(f + 4));
  EXPECT_EQ((uint32_t)in.m_nMoveX, u32(f + 4 + 12));
  EXPECT_EQ(0u, u32(f + 4 + 76)) << "hat 0 of frame 0";
  EXPECT_EQ(0xFFFFFFFFu, u32(f + 4 + 80)) << "hat 1 centred";
  EXPECT_EQ(0, f[4 + 124]) << "mouse not moved on frame 0";
  EXPECT_EQ(0, f[4 + 125] | f[4 + 126] | f[4 + 127]) << "padding";
  EXPECT_FLOAT_EQ(2.0f, f32(f + 132));
  EXPECT_FLOAT_EQ(5.0f, f32(f + 136));
  const unsigned char* f2 = f + 140;
  EXPECT_EQ((uint32_t)LiveInput(1, 0).m_nMoveX, u32(f2 + 4 + 12));
  EXPECT_EQ(1, f2[4 + 124]);
  EXPECT_EQ(9000u, u32(f2 + 4 + 76));

  // What the writer wrote, the reader reads back.
  ERecordedFrame frame;
  ERecordPlayback::ReadFrame(f2, frame);
  EXPECT_TRUE(SameInput(frame.m_Input, LiveInput(1, 0)));
  uint8_t again[ERecordPlayback::kFRAME_BYTES];
  ERecordPlayback::WriteFrame(again, frame);
  EXPECT_EQ(0, memcmp(again, f2, sizeof(again)));
}

TEST_F(Recording, AFewHundredFramesReplayExactly) {
  const EVec3 camStart(10.0f, -5.0f, 2.0f), playerStart(-3.0f, 7.0f, 1.0f);
  Place(camStart, playerStart);
  m_app.m_iFrameCount = 1000;
  RecordFrames("demo", nullptr, 300);
  EXPECT_GT((m_camAfter - camStart).Length(), 10.0f) << "the recording moved the world";

  // Back to the start with other live input, other clock steps and other
  // random numbers drawn meanwhile.
  Place(camStart, playerStart);
  m_app.SetSimElapsedTime(0.0);
  m_app.m_iPattern = 1;
  for (int i = 0; i < 17; ++i) g_SimRand.rand();
  m_lines.clear();
  Rec().InitPlayback("demo", false);
  ASSERT_TRUE(Rec().IsPlayBack());
  EXPECT_EQ(1000, m_app.m_iFrameCount) << "the recorded frame counter";
  EXPECT_FALSE(m_app.m_bNewLevelRequested) << "recorded without a level";
  for (int i = 0; i < 300; ++i) Frame(100.0);
  ASSERT_TRUE(Rec().IsPlayBack());
  EXPECT_EQ(0, Count("position mismatch"));
  EXPECT_EQ(m_camAfter, m_app.GetCurrentCamera()->GetPosition());
  EXPECT_EQ(m_playerAfter, m_app.GetPlayer()->GetPosition());
  EXPECT_NEAR(m_simAfter, m_app.GetSimElapsedTime(), 1e-6) << "frame times came from the file";
  Frame(100.0);
  EXPECT_FALSE(Rec().IsPlayBack()) << "the end of the file";
  EXPECT_EQ(1, Count("Playback stopped"));
  EXPECT_FALSE(m_app.m_bStartMenuServed);

  // A world that no longer does the same is reported, frame by frame.
  Place(camStart, playerStart);
  m_handler.m_fDrift = 0.5f;
  m_lines.clear();
  Rec().InitPlayback("demo", false);
  for (int i = 0; i < 20; ++i) Frame(10.0);
  EXPECT_EQ(0, Count("Camera position mismatch"));
  EXPECT_GT(Count("Zol position mismatch: "), 0);
}

TEST_F(Recording, AttractModeWritesMismatchesToTheLog) {
  Place(EVec3(1.0f, 1.0f, 1.0f), EVec3(2.0f, 2.0f, 2.0f));
  Rec().AttractModeRecord("levels\\CAKCLevel.plb");
  EXPECT_STREQ("levels\\CAKCLevel.plb", m_app.m_szRequestedLevel);
  ASSERT_TRUE(Rec().IsRecording());
  for (int i = 0; i < 40; ++i) Frame(20.0);
  Rec().StopRecording();
  Frame(20.0);
  EXPECT_FALSE(std::ifstream("WorkResource/RecLog.txt").good()) << "a recording writes no log";
  const std::string bytes = ReadFile("d:/workresource/InputRecord/CAKC_RlsBuild.paf");
  EXPECT_EQ(Header("CAKCLevel.plb", 0.0f, 0).size() + 40 * 140, bytes.size());
  EXPECT_EQ(std::string("\x0d\0\0\0CAKCLevel.plb", 17), bytes.substr(0, 17));

  Place(EVec3(1.0f, 1.0f, 1.0f), EVec3(2.0f, 2.0f, 2.0f));
  m_handler.m_fDrift = 0.5f;
  m_app.SetSimElapsedTime(99.0);
  Rec().AttractModePlayback("CAKC");
  ASSERT_TRUE(Rec().IsPlayBack());
  EXPECT_STREQ("CAKC", m_app.m_szRequestedLevel);
  EXPECT_NEAR(0.0, m_app.GetSimElapsedTime(), 1e-6) << "the recorded time is applied";
  while (Rec().IsPlayBack()) Frame(20.0);
  EXPECT_TRUE(m_app.m_bStartMenuServed);
  const std::string log = ReadFile("WorkResource/RecLog.txt");
  int lines = 0;
  for (char c : log) lines += c == '\n';
  EXPECT_EQ(Count("position mismatch"), lines);
  EXPECT_GT(lines, 0);
  EXPECT_NE(std::string::npos, log.find("Zol position mismatch: ")) << log;
}

TEST_F(Recording, AttractModeFromASavedGame) {
  m_app.m_pSaveLoadInterface = new ELoadSaveGame();
  Rec().AttractModeRecordUseSaveGame("saves/Profile 1/CAKCRuins.2.sav");
  ASSERT_TRUE(Rec().IsRecording());
  EXPECT_STREQ("CAKCRuins", m_app.m_szRequestedLevel) << "the save's base name";
  EXPECT_EQ(1, Count("Attractmode Load error")) << "the save is missing";
  Frame(10.0);
  Rec().StopRecording();
  Frame(10.0);
  const std::string bytes = ReadFile("d:/workresource/InputRecord/CAKC_RlsBuild.paf");
  const std::string header = Header("CAKCRuins", 0.0f, 0);
  EXPECT_EQ(header, bytes.substr(0, header.size()));
  EXPECT_EQ(header.size() + 140, bytes.size());

  Rec().AttractModePlaybackUseSavedGame("saves/CAKC.sav");
  EXPECT_TRUE(Rec().IsPlayBack());
  EXPECT_EQ(2, Count("Attractmode Load error"));
  Rec().AttractModePlaybackUseSavedGame(nullptr);
}

TEST_F(Recording, LevelsAndTheStartMenu) {
  RecordFrames("run", "levels\\CAKC.plb", 2);
  EXPECT_STREQ("levels\\CAKC.plb", m_app.m_szRequestedLevel) << "requested when recording starts";
  const std::string bytes = ReadFile("d:/workresource/InputRecord/run_Release.paf");
  ASSERT_EQ(Header("levels\\CAKC.plb", 0.0f, 0).size() + 2 * 140, bytes.size());

  m_app.m_bNewLevelRequested = false;
  m_app.m_szRequestedLevel[0] = '\0';
  Rec().InitPlayback("workresource\\InputRecord\\run_Release.paf", false);  // "d:\" + the path
  ASSERT_TRUE(Rec().IsPlayBack());
  EXPECT_TRUE(m_app.m_bNewLevelRequested);
  EXPECT_STREQ("levels\\CAKC.plb", m_app.m_szRequestedLevel);
  for (int i = 0; i < 3; ++i) Frame(10.0);
  EXPECT_FALSE(Rec().IsPlayBack());
  EXPECT_TRUE(m_app.m_bStartMenuServed);
}

TEST_F(Recording, LivePressOfAOrStartInterrupts) {
  RecordFrames("demo", nullptr, 20);
  for (int slot : {kBUTTON_X, kBUTTON_A, kBUTTON_START}) {
    m_app.m_bStartMenuServed = false;
    m_app.m_iPattern = 1;
    Rec().InitPlayback("demo", false);
    Frame(10.0);
    ASSERT_TRUE(Rec().IsPlayBack());
    m_app.m_iPattern = 10 + slot;
    Frame(10.0);
    const bool interrupts = slot != kBUTTON_X;
    EXPECT_EQ(!interrupts, Rec().IsPlayBack()) << slot;
    EXPECT_EQ(interrupts, m_app.m_bStartMenuServed) << slot;
    EXPECT_EQ(interrupts ? 255 : 0, m_app.m_Input.m_aAnalogButton[slot]) << "the live input stays when interrupted";
  }
}

TEST_F(Recording, LoopingStartsTheFileAgain) {
  RecordFrames("demo", nullptr, 3);
  Rec().InitPlayback("demo", true);
  EXPECT_EQ(1, Rec().GetPlaybackCount());
  for (int i = 0; i < 3; ++i) Frame(10.0);
  EXPECT_EQ(0, Count("Playback stopped"));
  Frame(10.0);  // the end of the file; later in the same frame the loop starts it again
  EXPECT_EQ(1, Count("Playback stopped"));
  EXPECT_TRUE(Rec().IsPlayBack());
  EXPECT_EQ(2, Rec().GetPlaybackCount());
  EXPECT_STREQ("demo", Rec().GetLoopFilename());
}

TEST_F(Recording, StartingResetsTheRandomGenerators) {
  ERand fresh;
  fresh.Seed(1234);
  const int first = fresh.rand();
  const int second = fresh.rand();
  for (int i = 0; i < 5; ++i) {
    g_SimRand.rand();
    g_ScriptRand.rand();
    g_RenderRand.rand();
  }
  Rec().InitRecord("demo", nullptr);
  for (ERand* r : {&g_SimRand, &g_ScriptRand, &g_RenderRand}) {
    EXPECT_EQ(first, r->rand());
    EXPECT_EQ(second, r->rand());
  }
  Rec().StopRecording();
  Frame(10.0);
  g_ScriptRand.rand();
  Rec().InitPlayback("demo", false);
  ASSERT_TRUE(Rec().IsPlayBack());
  for (ERand* r : {&g_SimRand, &g_ScriptRand, &g_RenderRand}) EXPECT_EQ(first, r->rand());
}

TEST_F(Recording, StartingOneModeEndsTheOther) {
  RecordFrames("demo", nullptr, 5);
  Rec().InitPlayback("demo", false);
  ASSERT_TRUE(Rec().IsPlayBack());
  Rec().InitRecord("other", nullptr);
  EXPECT_FALSE(Rec().IsPlayBack());
  EXPECT_TRUE(Rec().IsRecording());
  Rec().InitPlayback("demo", false);
  EXPECT_FALSE(Rec().IsRecording());
  EXPECT_TRUE(Rec().IsPlayBack());
  EXPECT_EQ(Header("NONE", 0.0f, 0).size(), ReadFile("d:/workresource/InputRecord/other_Build_0602.paf").size());
}

TEST_F(Recording, DamagedFiles) {
  mkdir("d:", 0755);
  mkdir("d:/workresource", 0755);
  mkdir("d:/workresource/InputRecord", 0755);
  const std::string frame(140, '\0');
  struct Case {
    const char* what;
    std::string bytes;
    bool starts;
    int frames;  // whole frames played before the end
  } cases[] = {
      {"name length far too large", std::string("\xff\xff\xff\xff", 4) + "NONE", false, 0},
      {"name of 255 bytes", Header(std::string(255, 'n'), 0.0f, 0) + frame, false, 0},
      {"name of 254 bytes", Header(std::string(254, 'n'), 0.0f, 0) + frame, true, 1},
      {"name longer than the file", Header("NONE", 0.0f, 0).substr(0, 4).replace(0, 1, "\x40") + "NO", false, 0},
      {"header cut in the frame counter", Header("NONE", 0.0f, 0).substr(0, 14), false, 0},
      {"empty file", "", false, 0},
      {"no frames", Header("NONE", 0.0f, 0), true, 0},
      {"a partial last frame", Header("NONE", 0.0f, 0) + frame + frame + frame.substr(0, 70), true, 2},
      {"only the time of the next frame", Header("NONE", 0.0f, 0) + frame + frame.substr(0, 4), true, 1},
  };
  for (const Case& c : cases) {
    m_lines.clear();
    WriteFile("d:/workresource/InputRecord/bad_Build_0602.paf", c.bytes);
    Rec().InitPlayback("bad", false);
    EXPECT_EQ(c.starts, Rec().IsPlayBack()) << c.what;
    if (!c.starts) {
      EXPECT_EQ(1, Count("Bad input record header: ")) << c.what;
      continue;
    }
    int played = 0;
    m_app.m_iPattern = 0;
    Input zero;
    memset(static_cast<void*>(&zero), 0, sizeof(zero));
    while (Rec().IsPlayBack()) {
      const int liveBefore = m_app.m_iLiveFrame;
      Frame(10.0);
      if (Rec().IsPlayBack()) {
        ++played;
        EXPECT_TRUE(SameInput(m_app.m_Input, zero)) << c.what << ": the recorded (zero) input";
      } else {
        // The live input of the frame stays when nothing whole was read.
        EXPECT_TRUE(SameInput(m_app.m_Input, LiveInput(liveBefore, 0))) << c.what;
      }
    }
    EXPECT_EQ(c.frames, played) << c.what;
    EXPECT_EQ(1, Count("Playback stopped")) << c.what;
  }
}

TEST_F(Recording, FilesThatCannotBeOpenedOrCreated) {
  Rec().InitPlayback("missing", false);
  EXPECT_FALSE(Rec().IsPlayBack());
  EXPECT_EQ(1, Count("Could not open file: missing"));
  Rec().AttractModePlayback("NOPE");
  EXPECT_FALSE(Rec().IsPlayBack());
  EXPECT_EQ(1, Count("Could not open file: d:\\workresource\\InputRecord\\NOPE_RlsBuild.paf"));

  WriteFile("d:", "a file where the folder should be");
  Rec().InitRecord("demo", nullptr);
  EXPECT_FALSE(Rec().IsRecording());
  EXPECT_EQ(1, Count("Could not create file: d:\\workresource\\InputRecord\\demo_Build_0602.paf"));
  Frame(10.0);  // nothing to record into

  Rec().InitRecord("long", std::string(300, 'L').c_str());
  EXPECT_FALSE(Rec().IsRecording());
  EXPECT_EQ(1, Count("Level name too long for an input record"));
}

TEST_F(Recording, MenuFramesAreRecordedToo) {
  struct Slideshow : EControlHandler {
    Slideshow() : EControlHandler(nullptr) {}
    CONTROL_HANDLER_TYPE Type() override { return kCONTROL_SLIDESHOW; }
    void HandleControls_Internal(Input&) override {}
  } slideshow;
  Rec().InitRecord("demo", nullptr);
  Frame(10.0);
  m_app.m_pControlHandler = &slideshow;
  const double sim = m_app.GetSimElapsedTime();
  Frame(25.0);
  EXPECT_TRUE(m_app.m_bMenuFrame);
  EXPECT_EQ(sim, m_app.GetSimElapsedTime());
  m_app.m_pControlHandler = &m_handler;
  Rec().StopRecording();
  Frame(10.0);
  const std::string bytes = ReadFile(kDEMO_FILE);
  ASSERT_EQ(Header("NONE", 0.0f, 0).size() + 2 * 140, bytes.size());
  float second;
  memcpy(&second, bytes.data() + Header("NONE", 0.0f, 0).size() + 140, 4);
  EXPECT_FLOAT_EQ(0.025f, second);
}

// The started game: its own frame loop, clock and recorder.
TEST(RecordingTheRunningGame, PlaysBackWithoutMismatch) {
  if (!getenv("DISPLAY")) GTEST_SKIP() << "needs an X display (the test script provides one)";
  char tmpl[] = "/tmp/quillomar-recgame-XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(tmpl));
  const std::string dir = tmpl;
  char oldCwd[4096];
  ASSERT_NE(nullptr, getcwd(oldCwd, sizeof(oldCwd)));
  ASSERT_EQ(0, system(("mkdir -p '" + dir + "/run/WorkResource/scripts' '" + dir + "/run/WorkResource/Levels'").c_str()));
  ASSERT_EQ(0, chdir((dir + "/run").c_str()));
  ASSERT_EQ(0, system("touch WorkResource/Levels/CAKC.plb"));
  {
    std::ofstream boot("WorkResource/scripts/boot.lua");
    boot << "function run_hook(name) end\nfunction SetupLevelMenu() end\n";
    std::ofstream prefs1(dir + "/quillomar.ini"), prefs2(dir + "/run/quillomar.ini");
    prefs1 << "debug_server 0\nsound 0\n";
    prefs2 << "debug_server 0\nsound 0\n";
  }
  const char* xdg = getenv("XDG_DATA_HOME");
  const std::string oldXdg = xdg ? xdg : "";
  setenv("XDG_DATA_HOME", (dir + "/user").c_str(), 1);
  EFileManager* oldFiles = gFile;
  gFile = new EFileManager();
  gFile->AddReadPath("WorkResource", false);
  gFile->SetWritePath("WorkResource");

  PCGameApp* app = new PCGameApp();
  testing::internal::CaptureStderr();
  const bool started = app->StartUp(nullptr);
  SDL_WM_GrabInput(SDL_GRAB_OFF);
  const std::string startLog = testing::internal::GetCapturedStderr();
  ASSERT_TRUE(started) << startLog;
  ERecordPlayback* rec = app->GetRecordPlayback();
  ASSERT_NE(nullptr, rec);

  // Something that moves with the frame time and the random numbers.
  MoverHandler mover;
  mover.m_pGameApp = app;
  mover.Activate(nullptr);
  app->m_pControlHandler = &mover;
  ASSERT_NE(nullptr, app->m_pPlayer) << "start-up creates the player";
  std::vector<std::string> lines;
  s_pLines = &lines;
  auto frames = [&](int n) {
    for (int i = 0; i < n && !app->m_bQuit; ++i) {
      app->InitFrame();
      app->RenderFrame();
      app->EndFrame();
    }
  };
  const EVec3 camStart(0.0f, 0.0f, 50.0f), playerStart(5.0f, 5.0f, 5.0f);
  app->GetCurrentCamera()->SetPosition(camStart);
  app->m_pPlayer->SetPosition(playerStart);
  rec->InitRecord("game", nullptr);
  ASSERT_TRUE(rec->IsRecording());
  frames(250);
  const EVec3 camAfter = app->GetCurrentCamera()->GetPosition();
  const EVec3 playerAfter = app->m_pPlayer->GetPosition();
  rec->StopRecording();
  frames(1);
  EXPECT_FALSE(rec->IsRecording());
  std::ifstream file("d:/workresource/InputRecord/game_Build_0602.paf", std::ios::binary | std::ios::ate);
  EXPECT_EQ(16 + 250 * 140, (int)file.tellg());

  g_ErrorManager.SetConsoleCallback(Capture);
  app->GetCurrentCamera()->SetPosition(camStart);
  app->m_pPlayer->SetPosition(playerStart);
  rec->InitPlayback("game", false);
  ASSERT_TRUE(rec->IsPlayBack());
  frames(250);
  EXPECT_TRUE(rec->IsPlayBack());
  EXPECT_EQ(camAfter, app->GetCurrentCamera()->GetPosition());
  EXPECT_EQ(playerAfter, app->m_pPlayer->GetPosition());
  frames(1);
  EXPECT_FALSE(rec->IsPlayBack());
  g_ErrorManager.SetConsoleCallback(nullptr);
  s_pLines = nullptr;
  int mismatches = 0;
  for (const std::string& l : lines) mismatches += l.find("position mismatch") != std::string::npos;
  EXPECT_EQ(0, mismatches);

  app->m_pControlHandler = nullptr;
  app->DelayedDelete(app->m_pPlayer);
  testing::internal::CaptureStderr();
  EXPECT_TRUE(app->Shutdown());
  testing::internal::GetCapturedStderr();
  delete app;
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  delete gFile;
  gFile = oldFiles;
  if (xdg) setenv("XDG_DATA_HOME", oldXdg.c_str(), 1);
  else unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(0, chdir(oldCwd));
  EXPECT_EQ(0, system(("rm -rf '" + dir + "'").c_str()));
}

}  // namespace
