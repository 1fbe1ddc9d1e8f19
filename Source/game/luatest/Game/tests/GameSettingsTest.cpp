#include "Game/GameSettings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Game/SaveLoadGame.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/tests/FileTestSupport.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::string s;
  if (FILE* f = fopen(path.c_str(), "rb")) {
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), f)) > 0) s.append(buf, n);
    fclose(f);
  }
  return s;
}

void WriteFile(const std::string& path, const std::string& text) {
  FILE* f = fopen(path.c_str(), "wb");
  ASSERT_NE(nullptr, f);
  fwrite(text.data(), 1, text.size(), f);
  fclose(f);
}

class SettingsFile : public ::testing::Test {
protected:
  void SetUp() override { InitDirectInput(nullptr); }

  std::string Write(const EGameSettingsList& list) {
    std::string path = m_dir / "out.ini";
    FILE* f = fopen(path.c_str(), "w");
    list.WriteSettingsToFile(f);
    fclose(f);
    return ReadFile(path);
  }
  void Read(EGameSettingsList& list, const std::string& text) {
    std::string path = m_dir / "in.ini";
    WriteFile(path, text);
    FILE* f = fopen(path.c_str(), "r");
    list.ReadSettingsFromFile(f);
    fclose(f);
  }

  filetest::TempDir m_dir;
};

TEST_F(SettingsFile, WritesTheDefaultsByteForByte) {
  EGlobalSettings global;
  EXPECT_EQ(
      "[Global]\n"
      "InvertCamVert=false\nInvertCamHoriz=false\nInvertFPCam=false\nSmartCamera=true\n"
      "CameraAltitudeDampening=true\nEnableRumble=true\nShowGoalPopups=true\n"
      "MouseSensitivity=0.500000\nJoystickDeadzone=0.150000\n\n",
      Write(global));

  ESoundSettings sound;
  EXPECT_EQ(
      "[AudioSettings]\nMasterVolume=1.000000\nFXVolume=1.000000\nMusicVolume=1.000000\nVoiceVolume=1.000000\n"
      "ShowSubtitles=false\nHardwareAccel=true\nUseEAX=false\nPacketSize=250\nMusicPacketSize=375\n"
      "PreloadVoice=true\n\n",
      Write(sound));

  EGraphicsSettings display;
  EXPECT_EQ(
      "[DisplaySettings]\nScreenWidth=800\nScreenHeight=600\nFullScreen=false\nVSync=true\nFSAA=true\nFSFX=true\n"
      "AdvancedShading=true\nShadows=true\nGammaCorrection=1.000000\n\n",
      Write(display));
}

TEST_F(SettingsFile, BindingsWriteNamesWithoutSlashes) {
  EBindingsSettings bindings;
  bindings.SetSettingValue("Jump", (PHYSICAL_INPUT)43);               // backslash key
  bindings.SetSettingValue("Use", (PHYSICAL_INPUT)53);                // slash key
  bindings.SetSettingValue("Cancel", kINPUT_NONE);                    // unbound
  bindings.SetSettingValue("Attack", (PHYSICAL_INPUT)58);             // unnamed
  std::string text = Write(bindings);
  EXPECT_EQ(0u, text.find("[Input]\nMoveForward=W\nMoveBackward=S\nMoveLeft=A\nMoveRight=D\nJump=\\\n"
                          "Attack=\nUse=/\nCancel=\nLockOn/Float=LShift\n"));
  EXPECT_NE(std::string::npos, text.find("\nLookDown_Alt=JoyRotZ\nLookLeft_Alt=JoyZ\nLookRight_Alt=JoyZ\n\n"));
  EXPECT_NE(std::string::npos, text.find("\nMoveForward_Alt=Up\n"));
}

TEST_F(SettingsFile, RoundTripsChangedValues) {
  // Every named input, spread over the 42 bindings in turn.
  std::vector<PHYSICAL_INPUT> named;
  for (int i = 0; i < kINPUT_NUMINPUTS; ++i)
    if (ZARInput_GetInputName((PHYSICAL_INPUT)i)) named.push_back((PHYSICAL_INPUT)i);
  ASSERT_GT(named.size(), 100u);
  for (size_t start = 0; start < named.size(); start += 42) {
    EBindingsSettings out, in;
    for (int i = 0; i < out.GetNumSettings(); ++i) out.GetSetting(i)->SetValue(named[(start + i) % named.size()]);
    Read(in, Write(out));
    for (int i = 0; i < out.GetNumSettings(); ++i) {
      PHYSICAL_INPUT a, b;
      out.GetSetting(i)->GetValue(a);
      in.GetSetting(i)->GetValue(b);
      EXPECT_EQ(a, b) << ZARInput_GetInputName(a);
    }
  }

  EBindingsSettings out;
  out.SetSettingValue("Journal", (PHYSICAL_INPUT)53, false);  // "/" on disk
  out.SetSettingValue("Stats", (PHYSICAL_INPUT)13, true);     // "=" on disk
  EBindingsSettings in;
  Read(in, Write(out));
  for (int i = 0; i < out.GetNumSettings(); ++i) {
    PHYSICAL_INPUT a, b;
    out.GetSetting(i)->GetValue(a);
    in.GetSetting(i)->GetValue(b);
    EXPECT_EQ(a, b) << out.GetSetting(i)->GetName() << (out.GetSetting(i)->IsAlt() ? "_Alt" : "");
  }

  EGraphicsSettings display;
  display.SetSettingValue("ScreenWidth", 1920);
  display.SetSettingValue("FullScreen", true);
  display.SetSettingValue("GammaCorrection", 0.15f);
  EGraphicsSettings display2;
  Read(display2, Write(display));
  int w = 0;
  bool full = false;
  float gamma = 0;
  EXPECT_TRUE(display2.GetSettingValue("screenwidth", w));
  EXPECT_TRUE(display2.GetSettingValue("FullScreen", full));
  EXPECT_TRUE(display2.GetSettingValue("GammaCorrection", gamma));
  EXPECT_EQ(1920, w);
  EXPECT_TRUE(full);
  EXPECT_EQ(0.15f, gamma);
}

TEST_F(SettingsFile, ReadingLines) {
  struct Case {
    const char* text;
    const char* key;
    bool alt;
    int expected;
  } inputs[] = {
      {"MoveForward_Alt=Up\n", "MoveForward", true, 200},
      {"moveforward=w\n", "MoveForward", false, 17},  // lower-case w names no key
      {"MoveForward=/W/\n", "MoveForward", false, 17},
      {"MoveForward=/w/\n", "MoveForward", false, 17},
      {"Jump=Numpad8\n", "Jump", false, 72},
      {"Jump=numpad8\n", "Jump", false, 57},  // without slashes the case must match
      {"Jump=/NUMPAD8/\n", "Jump", false, 72},
      {"Jump=joyrotx\n", "Jump", false, 315},
      {"Jump=\n", "Jump", false, 0},
      {"Jump=NoSuchKey\n", "Jump", false, 57},
      {"Jump=\r\n", "Jump", false, 0},
      {"[Input]\r\n\r\nJump=E\r\n", "Jump", false, 18},
      {"Jump E\n", "Jump", false, 57},
  };
  for (const Case& c : inputs) {
    EBindingsSettings bindings;
    bindings.SetSettingValue("MoveForward", (PHYSICAL_INPUT)30, false);
    bindings.SetSettingValue("MoveForward", (PHYSICAL_INPUT)30, true);
    bindings.SetSettingValue("MoveForward", (PHYSICAL_INPUT)17, false);
    Read(bindings, c.text);
    PHYSICAL_INPUT v = kINPUT_NONE;
    ASSERT_TRUE(bindings.GetSettingValue(c.key, v, c.alt));
    EXPECT_EQ(c.expected, (int)v) << c.text;
  }

  EGraphicsSettings display;
  Read(display, "ScreenWidth=1024=x\nFullScreen=TRUE\nVSync=no\nShadows=\nScreenHeight=abc\nGammaCorrection=\n");
  int w = 0, h = -1;
  bool full = false, vsync = false, shadows = false;
  float gamma = 0;
  display.GetSettingValue("ScreenWidth", w);
  display.GetSettingValue("ScreenHeight", h);
  display.GetSettingValue("FullScreen", full);
  display.GetSettingValue("VSync", vsync);
  display.GetSettingValue("Shadows", shadows);
  display.GetSettingValue("GammaCorrection", gamma);
  EXPECT_EQ(1024, w);
  EXPECT_EQ(0, h);
  EXPECT_TRUE(full);
  EXPECT_TRUE(vsync) << "unparsable bool leaves the value";
  EXPECT_TRUE(shadows) << "an empty value leaves the value";
  EXPECT_EQ(1.0f, gamma);
}

TEST_F(SettingsFile, LongLinesAndDamagedFilesAreHarmless) {
  std::string junk(5000, 'x');
  junk += "=1\n";
  junk += std::string("\0\0\0=\n", 5);
  junk += "ScreenWidth=" + std::string(3000, '9') + "\n";
  EGraphicsSettings display;
  Read(display, junk);
  int w = 0;
  display.GetSettingValue("ScreenWidth", w);
  SUCCEED() << "read without harm; ScreenWidth=" << w;
}

TEST_F(SettingsFile, ProfileSectionsReadInAnyOrder) {
  filetest::ScopedEnv xdg("XDG_DATA_HOME", (m_dir / "xdg").c_str());
  EFileManager files;
  EFileManager* old = gFile;
  gFile = &files;
  filetest::MakeDirs(std::string(files.GetUserDataDir()) + "/Profiles/Profile 1");
  WriteFile(std::string(files.GetUserDataDir()) + "/Profiles/Profile 1/Profile 1- Ann.ini",
            "[Input]\nJump_Alt=Q\n\n[Global]\nSmartCamera=false\nMouseSensitivity=0.25\n\n");

  EGameProfile profile;
  profile.SetProfileFilename("Profiles/Profile 1/Profile 1- Ann");
  profile.ReadSettingsFromFile();
  bool smart = true;
  float sens = 0;
  PHYSICAL_INPUT jump = kINPUT_NONE;
  EXPECT_TRUE(profile.GetSetting("SmartCamera", smart));
  EXPECT_TRUE(profile.GetSetting("MouseSensitivity", sens));
  EXPECT_TRUE(profile.GetSetting("Jump", jump, true));
  EXPECT_FALSE(smart);
  EXPECT_EQ(0.25f, sens);
  EXPECT_EQ(16, (int)jump);

  // Written back, the file holds "Global" first and then "Input".
  profile.WriteSettingsToFile();
  std::string text = ReadFile(std::string(files.GetUserDataDir()) + "/Profiles/Profile 1/Profile 1- Ann.ini");
  EXPECT_EQ(0u, text.find("[Global]\n"));
  EXPECT_NE(std::string::npos, text.find("\n\n[Input]\n"));
  EXPECT_NE(std::string::npos, text.find("\nJump_Alt=Q\n"));

  FILE* f = OpenUserSettingsFile("DisplaySettings.ini", '\\', "w");
  ASSERT_NE(nullptr, f);
  fclose(f);
  EXPECT_EQ(0, access((std::string(files.GetUserDataDir()) + "/DisplaySettings.ini").c_str(), F_OK));
  gFile = old;
}

TEST(SettingsChecks, ProgrammingErrorsAreFatal) {
  EXPECT_DEATH(
      {
        EGameSettingsList list("L");
        list.AddSetting("A", true);
        list.AddSetting("a", 1);
      },
      "!FindSetting\\( szName, bAlt \\)");
  EXPECT_DEATH(
      {
        EGlobalSettings global;
        int i;
        global.GetSettingValue("SmartCamera", i);
      },
      "m_ValueType == kVALUETYPE_INT");
  EXPECT_DEATH(
      {
        EGlobalSettings global;
        global.SetSettingValue("SmartCamera", 1.0f);
      },
      "m_ValueType == kVALUETYPE_FLOAT \\|\\| m_ValueType == kVALUETYPE_UNINITIALIZED");
  EXPECT_DEATH(
      {
        EGlobalSettings global;
        global.ReadSettingsFromFile(nullptr);
      },
      "pFile != NULL");
  EGlobalSettings global;
  bool b = false;
  EXPECT_FALSE(global.GetSettingValue("NoSuchSetting", b));
  EXPECT_TRUE(global.GetSettingValue("SmartCamera", b, false));
  EXPECT_FALSE(global.GetSettingValue("SmartCamera", b, true)) << "no alternate SmartCamera";
}

}  // namespace
