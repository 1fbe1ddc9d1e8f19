#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "Game/PCGameApp.h"
#include "TWGraphics/Renderer.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/tests/FileTestSupport.h"

namespace {

// A game folder with "WorkResource" and, beside it, the preferences file;
// the file manager reads through "WorkResource" as the game's does.
class Prefs : public ::testing::Test {
protected:
  Prefs() : m_xdg("XDG_DATA_HOME", (m_dir / "xdg").c_str()), m_cwd(m_dir.path()) {}

  void SetUp() override {
    filetest::MakeDirs(m_dir / "WorkResource/Levels");
    m_files = new EFileManager();
    m_files->AddReadPath("WorkResource", false);
    m_oldFiles = gFile;
    gFile = m_files;
    gGameApp = &m_app;
  }
  void TearDown() override {
    gGameApp = nullptr;
    gFile = m_oldFiles;
    delete m_files;
  }

  void WriteIni(const std::string& text) {
    FILE* f = fopen((m_dir / "quillomar.ini").c_str(), "wb");
    ASSERT_NE(nullptr, f);
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
  }
  void WithLooseLevels() { filetest::WriteBytes(m_dir / "WorkResource/Levels/CAKC.plb", {1, 2, 3}); }

  // Reads the file; returns what the trace printed.
  std::string Read() {
    testing::internal::CaptureStderr();
    m_app.GetPrefs().ReadPrefs();
    return testing::internal::GetCapturedStderr();
  }

  filetest::TempDir m_dir;
  filetest::ScopedEnv m_xdg;
  filetest::ScopedChdir m_cwd;
  EFileManager* m_files = nullptr;
  EFileManager* m_oldFiles = nullptr;
  PCGameApp m_app;
};

TEST_F(Prefs, Defaults) {
  EPrefs p;
  EXPECT_TRUE(p.m_bSound && p.m_bDebugServer && p.m_bMainMenu && p.m_bManageSounds && p.m_bGameplayLogging &&
              p.m_bProductionLoading);
  EXPECT_FALSE(p.m_bInGameMenu || p.m_bDemoBuild || p.m_bOxmBuild || p.m_bStartLog || p.m_bScriptDebug ||
               p.m_bTextureDebug || p.m_bAnimDebug || p.m_bRenderingCutscene || p.m_bWaitForConnect ||
               p.m_bBreakOnRawString || p.m_bDvdEnvironment || p.m_bDebugSoundStreams || p.m_bSSE ||
               p.m_bHardwareAudio);
}

TEST_F(Prefs, KeysAndValues) {
  WithLooseLevels();
  struct Case {
    const char* line;
    bool EPrefs::*member;
    bool expected;
  } cases[] = {
      {"Sound 0", &EPrefs::m_bSound, false},
      {"SOUND 0", &EPrefs::m_bSound, false},
      {"sound 1", &EPrefs::m_bSound, true},
      {"debug_server off", &EPrefs::m_bDebugServer, true},  // false only for a leading 0
      {"debug_server 00", &EPrefs::m_bDebugServer, false},
      {" sound 0", &EPrefs::m_bSound, true},
      {"#sound 0", &EPrefs::m_bSound, true},
      {"\tsound 0", &EPrefs::m_bSound, true},
      {"Demo_Build 1", &EPrefs::m_bDemoBuild, true},
      {"oxm_build 1", &EPrefs::m_bOxmBuild, true},
      {"rendering_cutscene 1", &EPrefs::m_bRenderingCutscene, true},
      {"break_on_rawstring yes", &EPrefs::m_bBreakOnRawString, true},
      {"anim_debug 1", &EPrefs::m_bAnimDebug, true},
      {"production_loading 0", &EPrefs::m_bProductionLoading, false},
  };
  for (const Case& c : cases) {
    m_app.m_Prefs = EPrefs();
    WriteIni(std::string(c.line) + "\n");
    Read();
    EXPECT_EQ(c.expected, m_app.GetPrefs().*(c.member)) << c.line;
  }
}

TEST_F(Prefs, KeyWithoutValueDoesNotReuseThePreviousValue) {
  WithLooseLevels();
  WriteIni("sound 0\nmain_menu\r\ningame_menu\n");
  Read();
  EXPECT_FALSE(m_app.GetPrefs().m_bSound);
  EXPECT_TRUE(m_app.GetPrefs().m_bMainMenu);
  EXPECT_TRUE(m_app.GetPrefs().m_bInGameMenu);
}

TEST_F(Prefs, Language) {
  WithLooseLevels();
  struct Case {
    const char* file;
    EGameLanguage expected;
    bool traced;
  } cases[] = {
      {"language FRENCH\n", kLANGUAGE_French, false},
      {"language german\n", kLANGUAGE_German, false},
      {"language german\nlanguage nonsense\n", kLANGUAGE_English, false},
      {"language german\nlanguage klingon\n", kLANGUAGE_German, false},
      {"Language french\n", kLANGUAGE_English, true},  // the key is exact
  };
  for (const Case& c : cases) {
    m_app.SetLanguage(kLANGUAGE_Nonsense);
    WriteIni(c.file);
    std::string err = Read();
    EXPECT_EQ(c.expected, m_app.GetLanguage()) << c.file;
    EXPECT_EQ(c.traced, err.find("Unknown ini file command: 'Language french'") != std::string::npos) << err;
  }
  EXPECT_STREQ("English", m_app.GetLanguageString());
}

TEST_F(Prefs, EachKeyActsOnItsOwnSwitch) {
  WithLooseLevels();
  m_app.m_DebugHooks.RumbleSaved = true;
  WriteIni("rumble_pack 0\ncacheshaders 1\nno_hud 1\n");
  Read();
  EXPECT_FALSE(m_app.m_DebugHooks.Rumble);
  EXPECT_TRUE(m_app.m_DebugHooks.RumbleSaved) << "rumble enabled is the profile's, not the file's";
  EXPECT_TRUE(g_bCacheShaders);
  EXPECT_TRUE(m_app.m_DebugHooks.NoHUD);
}

TEST_F(Prefs, DebugScreensOnlyWhenTrue) {
  WithLooseLevels();
  WriteIni("showmemoryinfo 1\n");
  Read();
  EXPECT_EQ(3, m_app.m_DebugHooks.DebugDisplay);
  WriteIni("showplayerinfo 0\n");
  std::string err = Read();
  EXPECT_EQ(3, m_app.m_DebugHooks.DebugDisplay);
  EXPECT_EQ(std::string::npos, err.find("Unknown")) << err;
}

TEST_F(Prefs, TraceChannels) {
  WithLooseLevels();
  WriteIni("TT_Physics 0\ntt_developer3 0\nmesh_debug 0\nMESH_DEBUG 1\n");
  std::string err = Read();
  EXPECT_FALSE(g_ErrorManager.IsEnabled(TT_Physics));
  EXPECT_FALSE(g_ErrorManager.IsEnabled(TT_Developer3));
  EXPECT_FALSE(g_ErrorManager.IsEnabled(TT_Mesh));
  EXPECT_NE(std::string::npos, err.find("Unknown ini file command: 'MESH_DEBUG 1'"));
  g_ErrorManager.SetEnabled(TT_Physics, true);
  g_ErrorManager.SetEnabled(TT_Developer3, true);
  g_ErrorManager.SetEnabled(TT_Mesh, true);
}

TEST_F(Prefs, PackedDataProbe) {
  WriteIni("dvd_environment 0\n");
  Read();
  EXPECT_TRUE(m_app.GetPrefs().m_bDvdEnvironment) << "no loose level files";
  m_app.m_Prefs = EPrefs();
  WithLooseLevels();
  Read();
  EXPECT_FALSE(m_app.GetPrefs().m_bDvdEnvironment);
}

TEST_F(Prefs, MissingOrUnreadableFileStillSetsLanguageAndProbes) {
  m_app.SetLanguage(kLANGUAGE_German);
  Read();  // no file
  EXPECT_EQ(kLANGUAGE_English, m_app.GetLanguage());
  EXPECT_TRUE(m_app.GetPrefs().m_bDvdEnvironment);

  m_app.m_Prefs = EPrefs();
  m_app.SetLanguage(kLANGUAGE_German);
  filetest::MakeDirs(m_dir / "quillomar.ini");  // opens, but reads nothing
  Read();
  EXPECT_EQ(kLANGUAGE_English, m_app.GetLanguage());
  EXPECT_TRUE(m_app.GetPrefs().m_bDvdEnvironment);
}

TEST_F(Prefs, DamagedFileIsHarmless) {
  WithLooseLevels();
  std::string text("sound 0\n", 8);
  text += std::string("\0\0garbage\0", 10);
  text += std::string(1000, 'k') + " 0\n";
  text += "main_menu 0";  // no line end
  WriteIni(text);
  Read();
  EXPECT_FALSE(m_app.GetPrefs().m_bSound);
  EXPECT_FALSE(m_app.GetPrefs().m_bMainMenu);
}

TEST_F(Prefs, CommandLineSoundUntilTheFileDecides) {
  WithLooseLevels();
  const char* argv[] = {"quillomar", "-NoSound"};
  m_app.ParseCommandLine(2, const_cast<char**>(argv));
  WriteIni("main_menu 1\n");
  Read();
  EXPECT_FALSE(m_app.GetPrefs().m_bSound);
  WriteIni("sound 1\n");
  Read();
  EXPECT_TRUE(m_app.GetPrefs().m_bSound);
}

TEST_F(Prefs, PrependResourceDirWhenItExists) {
  WithLooseLevels();
  filetest::MakeDirs(m_dir / "D:/extra");
  WriteIni("prepend_resource_dir missing\nprepend_resource_dir extra\n");
  Read();
  ASSERT_EQ(2, gFile->GetNumReadPaths());
  EXPECT_STREQ("D:/extra", gFile->GetReadPath(0));
}

}  // namespace
