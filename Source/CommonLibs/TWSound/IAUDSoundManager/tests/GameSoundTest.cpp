// The application's sound start-up: the manager made from the audio
// settings, the bank files of "WorkResource\Sounds" registered at start-up
// or per level, the start-up cues, the frames that service the manager, and
// shut-down. A cue played end to end is read back from the wave output.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>

#include "Game/GameApp.h"
#include "SoundManagerTestSupport.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/Profiler.h"

namespace {

using soundtest::Traced;

class SoundApp : public GameApp {
public:
  EVec2* GetMousePoint() override { return &m_vPoint; }
  void UnlockAchievement(const char*) override {}
  EVec2 m_vPoint;
};

// The application's files in the run folder, with the audio settings given.
struct SGameFiles {
  explicit SGameFiles(const std::string& dir, const std::string& settings) {
    setenv("XDG_DATA_HOME", (dir + "/user").c_str(), 1);
    pFiles = new EFileManager();
    pFiles->AddReadPath("WorkResource", false);
    gFile = pFiles;
    std::ofstream(std::string(pFiles->GetUserDataDir()) + "/AudioSettings.ini") << "[AudioSettings]\n" << settings;
  }
  ~SGameFiles() {
    gFile = nullptr;
    delete pFiles;
  }
  EFileManager* pFiles;
};

// Banks beside the common ones: a language bank of music, a music bank held
// in memory, another level's banks.
void AddLevelBanks(const std::string& dir) {
  // Listed in the folder, and found in the language folder first.
  ASSERT_TRUE(soundtest::WriteSampleBank(dir, "CommonMusic.isb", 0.1));
  ASSERT_EQ(0, system(("cd '" + dir + "/WorkResource/Sounds' && mkdir -p english && cp CommonMusic.isb english/").c_str()));
  ASSERT_TRUE(soundtest::WriteSampleBank(dir, "CommonMusicMem.isb", 0.1));
  ASSERT_TRUE(soundtest::WriteSampleBank(dir, "BBFX.isb", 0.1));
  ASSERT_TRUE(soundtest::WriteBank(dir, "bbfx.icb", soundtest::ContentBankText("BB", {{"Popup", "Menu"}}, false)));
}

struct StartCase {
  bool manageSounds;
  bool bbBanksRegistered;
};

TEST(GameSound, StartUpAppliesTheSettingsAndRegistersTheBanksItShould) {
  for (StartCase c : {StartCase{false, true}, StartCase{true, false}}) {
    soundtest::InSoundFolder("null", "", [&](const AudioDrvTest::SRun& run) {
      AddLevelBanks(run.dir);
      SGameFiles files(run.dir, "PacketSize=10\nMusicPacketSize=5000\nFXVolume=0.5\nShowSubtitles=false\nUseEAX=true\n");
      SoundApp app;
      snprintf(app.m_szLanguage, sizeof(app.m_szLanguage), "%s", "english");
      app.m_Prefs.m_bManageSounds = c.manageSounds;
      app.m_DebugHooks.Subtitles = true;
      app.InitSound(nullptr);
      ASSERT_NE(nullptr, app.m_pSoundManager);
      ASSERT_TRUE(app.m_pSoundManager->IsActive());
      EIAUDSoundManager* pManager = static_cast<EIAUDSoundManager*>(app.m_pSoundManager);
      EXPECT_FLOAT_EQ(0.5f, pManager->GetFXVolume());
      EXPECT_FALSE(app.m_DebugHooks.Subtitles);
      EXPECT_TRUE(pManager->GetEAXEnabled());
      EXPECT_TRUE(pManager->GetPreloadVoiceEnabled());  // absent: on

      soundtest::RecordingIAUD record(sg_pIAUD);
      sg_pIAUD = &record;
      app.InitSoundFiles(nullptr);
      EXPECT_EQ(4, app.m_aWaveBankFiles.Num());
      EXPECT_EQ(2, app.m_aSoundBankFiles.Num());

      // Packet sizes clamped to 25..1000; the language copy of a bank first;
      // "music" with "mem" is a memory bank.
      std::string sCommonPacket, sMusicPacket;
      for (const soundtest::SRecord& r : record.Calls("LoadStreamingSampleBank")) {
        if (r.args[1] == "workresource/sounds/commonfx.isb") sCommonPacket = r.args[2];
        if (r.args[1] == "workresource/sounds/english/commonmusic.isb") sMusicPacket = r.args[2];
      }
      EXPECT_EQ("25", sCommonPacket);
      EXPECT_EQ("1000", sMusicPacket);
      EXPECT_TRUE(Traced("Couldn't load in-memory IAUD sample bank 'workresource/sounds/commonmusicmem.isb'"));
      EXPECT_EQ(c.bbBanksRegistered, Traced("Registered streaming wavebank 'workresource/sounds/bbfx.isb'"));
      EXPECT_EQ(c.bbBanksRegistered, Traced("Registered sound bank 'workresource/sounds/bbfx.icb'"));
      EXPECT_TRUE(Traced("Registered sound bank 'workresource/sounds/commonfx.icb'"));

      // The start-up cues, entry 35 looked up right after entry 31.
      EXPECT_EQ(c.bbBanksRegistered, app.m_auStartupSoundCues[39] != 0);  // "Popup" is in bbfx.icb
      EXPECT_EQ(0u, app.m_auStartupSoundCues[0]);
      std::vector<std::string> asked;
      const std::string kNotFound = "Sound cue not found matching name ";
      for (const std::string& line : soundtest::Traces()) {
        const size_t pos = line.find(kNotFound);
        if (pos == std::string::npos) continue;
        const size_t from = pos + kNotFound.size();
        asked.push_back(line.substr(from, line.find(' ', from) - from));
      }
      const auto at = [&](const char* name) { return std::find(asked.begin(), asked.end(), name) - asked.begin(); };
      EXPECT_LT(at("zol_melee_swipe"), at("MenuLetterToggle"));
      EXPECT_LT(at("MenuLetterToggle"), at("ZTarget_On"));
      EXPECT_LT(at("ZTarget_Switch"), at("Negative"));

      app.ShutdownSound();
      EXPECT_EQ(nullptr, app.m_pSoundManager);
      EXPECT_EQ(nullptr, sg_pIAUD);
    });
  }
}

TEST(GameSound, LevelBanksFollowThePrefixOrTheSubstring) {
  soundtest::InSoundFolder("null", "", [&](const AudioDrvTest::SRun& run) {
    AddLevelBanks(run.dir);
    SGameFiles files(run.dir, "");
    SoundApp app;
    snprintf(app.m_szLanguage, sizeof(app.m_szLanguage), "%s", "english");
    app.InitSound(nullptr);
    app.InitSoundFiles(nullptr);
    ASSERT_FALSE(Traced("Registered sound bank 'workresource/sounds/bbfx.icb'"));
    soundtest::Traces().clear();
    app.m_pSoundManager->PurgeBanks("bbl1", "_night", false);
    app.LoadSoundData("bbl1", false, false);
    EXPECT_TRUE(Traced("Loading wavebank BBFX.isb"));
    EXPECT_TRUE(Traced("Registered sound bank 'workresource/sounds/bbfx.icb'"));
    EXPECT_FALSE(Traced("Loading wavebank CommonFX.isb"));
    soundtest::Traces().clear();
    app.LoadSoundData("music", false, true);
    EXPECT_TRUE(Traced("Loading wavebank CommonMusic.isb"));
    EXPECT_TRUE(Traced("Loading wavebank CommonMusicMem.isb"));
    EXPECT_FALSE(Traced("Loading wavebank BBFX.isb"));
    app.ShutdownSound();
  });
}

// A fake manager that says every bank belongs: the application alone decides
// where the file is.
class BelongingSound : public ESoundManager {
public:
  bool BankBelongsToLevel(const char*, const char*, const char*) override { return true; }
  uint32_t RegisterStreamedWaveBank(const char* szFile, uint32_t, bool) override {
    m_sLast = szFile;
    return 1;
  }
  std::string m_sLast;
};

TEST(GameSound, AListedWaveBankFoundNowhereIsFatal) {
  iaudtest::TempDir dir;
  filetest::ScopedChdir cwd(dir.path());
  EFileManager files;
  files.AddReadPath("WorkResource", false);
  EFileManager* pOld = gFile;
  gFile = &files;
  ASSERT_EQ(0, system("mkdir -p WorkResource/Sounds && touch WorkResource/Sounds/Here.isb"));
  SoundApp app;
  BelongingSound sound;
  app.m_pSoundManager = &sound;
  app.m_aWaveBankFiles.AddData(EString("Here.isb"));
  app.LoadSoundData(nullptr, true, false);
  EXPECT_EQ("WorkResource\\Sounds\\Here.isb", sound.m_sLast);
  app.m_aWaveBankFiles.AddData(EString("Gone.isb"));
  EXPECT_EXIT(app.LoadSoundData(nullptr, true, false), ::testing::ExitedWithCode(255),
              "gFile.Exists\\(\\*fullFilename, kLocRead\\)");
  app.m_pSoundManager = nullptr;
  gFile = pOld;
}

// Game frames commit the listener and then service the manager with the real
// step; menu frames only service it.
class FrameSound : public ESoundManager {
public:
  void CommitListenerSettings() override { m_sCalls += "commit;"; }
  void DoWork(float fSeconds) override { m_sCalls += "work " + std::to_string((int)(fSeconds * 1000.0f + 0.5f)) + ";"; }
  std::string m_sCalls;
};

int64_t s_llNow = 0;
int64_t FrameClock() { return s_llNow; }

TEST(GameSound, GameAndMenuFramesServiceTheManager) {
  Profile_SetClock(FrameClock);
  for (bool bMenu : {false, true}) {
    SoundApp app;
    FrameSound sound;
    app.m_pSoundManager = &sound;
    s_llNow = 5000000000LL;
    ASSERT_TRUE(app.m_Timing.StartSubTimer("Main", 2));
    s_llNow += 20000;  // 20 ms
    if (bMenu)
      app.InGameMenuInitFrame();
    else
      app.InitFrame();
    const std::string work = "work " + std::to_string((int)(app.GetRealDeltaTime() * 1000.0f + 0.5f)) + ";";
    EXPECT_EQ(bMenu ? work : "commit;" + work, sound.m_sCalls) << bMenu;
    EXPECT_EQ("work 20;", work);
    app.m_pSoundManager = nullptr;
  }
  Profile_SetClock(nullptr);
}

// The whole road: banks registered by the application, a cue looked up and
// played without a source, started by the next frame and heard.
TEST(GameSound, APlayedCueIsHeardOnTheWaveOutput) {
  soundtest::InSoundFolder("wave", "", [&](const AudioDrvTest::SRun& run) {
    SGameFiles files(run.dir, "");
    SoundApp app;
    app.m_Prefs.m_bManageSounds = false;
    app.InitSound(nullptr);
    app.InitSoundFiles(nullptr);
    ESoundManager* pSound = app.m_pSoundManager;
    ASSERT_TRUE(pSound->IsActive());
    const uint32_t uJump = pSound->GetSoundCue("Jump");
    ASSERT_NE(0u, uJump);
    pSound->SetFXVolume(1.0f, 0);
    ASSERT_NE(0, pSound->PlaySoundCue(uJump, 0, false));
    EXPECT_TRUE(AudioDrvTest::WaitFor(
        [&] {
          pSound->DoWork(0.01f);
          return !pSound->SoundCueIsPlaying(uJump);
        },
        10.0));
    app.ShutdownSound();

    AudioDrvTest::SWave wave;
    ASSERT_TRUE(AudioDrvTest::ReadWave(run.wave, &wave));
    std::vector<AudioDrvTest::SBurst> bursts = AudioDrvTest::FindBursts(wave, 100.0);
    ASSERT_EQ(1u, bursts.size());
    EXPECT_NEAR((double)bursts[0].count, 0.3 * wave.rate, 0.05 * wave.rate);
  });
}

}  // namespace
