// The sound manager's life cycle and banks: start-up without a device or
// without voices, the sample-bank table, registration once per file, the
// rules that tie banks to levels, the purge, and full pools.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "SoundManagerTestSupport.h"

namespace {

using soundtest::SManagerRun;
using soundtest::Traced;

TEST(SoundManagerLife, NoOpenALDeviceEndsTheProgramWithFatalError102) {
  iaudtest::TempDir dir;
  const std::string conf = dir / "alsoft.conf", err = dir / "stderr.txt";
  std::ofstream(conf) << "[general]\ndrivers = wave\n[wave]\nfile =\n";
  fflush(stdout);
  fflush(stderr);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    setenv("ALSOFT_CONF", conf.c_str(), 1);
    if (!freopen(err.c_str(), "w", stderr)) _exit(3);
    EIAUDSoundManager manager(true, false);
    _exit(2);  // not reached: start-up ends first
  }
  int status = 0;
  ASSERT_EQ(pid, waitpid(pid, &status, 0));
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(1, WEXITSTATUS(status));
  std::stringstream text;
  text << std::ifstream(err).rdbuf();
  EXPECT_NE(std::string::npos, text.str().find("\n\n\nQuillomar Fatal Error #102\n\n\nAborting.\n\n")) << text.str();
}

// Without voices (OpenAL keeps its five sources back) or with sound off the
// manager stays inactive, and a failed start leaves nothing open.
TEST(SoundManagerLife, NoVoicesOrSoundOffLeaveAnInactiveManagerThatDoesNothing) {
  for (bool bEnable : {true, false}) {
    soundtest::InSoundFolder("null", bEnable ? "sources = 5" : "", [&](const AudioDrvTest::SRun&) {
      EIAUDSoundManager manager(bEnable, false);
      EXPECT_FALSE(manager.IsActive());
      EXPECT_EQ(0xFFFFFFFFu, manager.GetSoundCue("Jump"));
      EXPECT_EQ(0, manager.PlaySoundCue(0x80010000u, 0, false));
      EXPECT_EQ(0u, manager.LoadSoundBank("WorkResource\\Sounds\\commonfx.icb", true));
      EXPECT_EQ(nullptr, manager.m_pChannelArray);
      EXPECT_EQ(nullptr, manager.m_pALCDevice);
      EXPECT_EQ(nullptr, manager.m_pALCContext);
      EXPECT_EQ(nullptr, sg_pIAUD);
      EXPECT_EQ(nullptr, sg_pIAUDRender);
      EXPECT_EQ(nullptr, sg_pIAUDSoundManager);
      manager.DoWork(0.1f);
      manager.StopAll();
    });
  }
}

TEST(SoundManagerLife, AnActiveManagerHasItsChannelsAndTwo2DSourcesAndClosesEverything) {
  soundtest::InSoundFolder("null", "", [](const AudioDrvTest::SRun&) {
    EIAUDSoundManager* pManager = new EIAUDSoundManager(true, false);
    ASSERT_TRUE(pManager->IsActive());
    EXPECT_EQ(pManager, sg_pIAUDSoundManager);
    ASSERT_NE(nullptr, pManager->m_pChannelArray);
    EXPECT_EQ(64, pManager->m_pChannelArray->GetAllocCount());
    EXPECT_GT(pManager->GetNumOpenALDeviceStrings(), 0u);
    EXPECT_EQ(nullptr, pManager->GetOpenALDeviceString(pManager->GetNumOpenALDeviceStrings()));
    EXPECT_EQ(2, pManager->m_pSoundSourceArray->GetNumUsed());
    EXPECT_TRUE(pManager->m_pSoundSourceArray->ElementGet(pManager->m_dwDefault2DSource)->Is2d());
    EXPECT_TRUE(pManager->m_pSoundSourceArray->ElementGet(pManager->m_dwSecond2DSource)->Is2d());
    float fFactor = 0.0f;
    ASSERT_EQ(0, sg_pIAUD->GetDistanceFactor(&fFactor));
    EXPECT_FLOAT_EQ(0.002f, fFactor);
    delete pManager;
    EXPECT_EQ(nullptr, sg_pIAUD);
    EXPECT_EQ(nullptr, sg_pIAUDRender);
    EXPECT_EQ(nullptr, sg_pIAUDSoundManager);
  });
}

struct BelongsCase {
  const char* bank;
  const char* level;
  const char* variant;
  bool belongs;
};

TEST(SoundManagerBanks, BanksBelongToLevelsByPrefixKindAndVariant) {
  const BelongsCase cases[] = {
      {"cabuvoice.isb", "cabu", "_night", true},            // first four and "voice"
      {"ca_nightmusic.isb", "cabu_night", "_night", true},  // prefix, variant, night level
      {"ca_nightmusic.isb", "cabu", "_night", false},       // the level is not a night one
      {"bbfx.isb", "bbl1", "_night", true},                 // prefix and "fx"
      {"bbmusic.isb", "bbl1", "_night", true},
      {"bbcommon.isb", "bbl1", "_night", false},  // three letters agree, not four
      {"bbl1common.isb", "bbl1", "_night", true},
      {"cabh_nightfx.isb", "cabh", "_night", false},  // whole level, variant only in the bank
      {"cabh_nightfx.isb", "cabh_night", "_night", true},
      {"cabhfx.isb", "cabh", "", true},
      {"ca_nightmusic.isb", "cabu", "", true},  // empty variant: every prefixed bank
      {"llfx.isb", "bbl1", "_night", false},
      {"CommonFX.ISB", "COMMON", "men", true},
      {"anything.isb", nullptr, "_night", true},
  };
  soundtest::WithManager([&](SManagerRun& run) {
    for (const BelongsCase& c : cases)
      EXPECT_EQ(c.belongs, run.pManager->BankBelongsToLevel(c.bank, c.level, c.variant))
          << c.bank << " / " << (c.level ? c.level : "(null)") << " / " << c.variant;
  });
  EIAUDSoundManager inactive(false, false);
  EXPECT_FALSE(inactive.BankBelongsToLevel("cabuvoice.isb", nullptr, "_night"));
}

TEST(SoundManagerBanks, TheSampleBankTableGivesSlotsWhateverTheCaseAndFolders) {
  soundtest::WithManager([](SManagerRun& run) {
    EIAUDSoundManager& m = *run.pManager;
    ASSERT_NE(nullptr, m.iaudFindSampleBank("commonfx.ISB"));
    EXPECT_EQ(0u, m.iaudFindSampleBank("commonfx.ISB")->uSlot);
    EXPECT_EQ(101u, m.iaudFindSampleBank("a/b\\c/STFX.isb")->uSlot);
    EXPECT_EQ(46u, m.iaudFindSampleBank("x\\ca_nightmusic.isb")->uSlot);
    EXPECT_EQ(nullptr, m.iaudFindSampleBank("NotInTheTable.isb"));
    for (int i = 0; i < kNUM_SAMPLE_BANK_NAMES; ++i) EXPECT_EQ((uint32_t)i, QUILLOMAR_SAMPLE_BANK_NAMES[i].uSlot);

    // The common bank is in slot 0 already: the same file under other case
    // and slashes is the same bank, and nothing loads again.
    EXPECT_EQ(run.uWaveBank, m.RegisterMemoryWaveBank("workresource/sounds/COMMONFX.isb", false));
    EXPECT_EQ(run.uWaveBank, m.RegisterStreamedWaveBank("WORKRESOURCE\\SOUNDS\\commonfx.isb", 100, false));
    EXPECT_EQ(0u, run.pRecord->Count("LoadSampleBank") + run.pRecord->Count("LoadStreamingSampleBank"));

    EXPECT_EQ(0u, m.RegisterStreamedWaveBank("WorkResource\\Sounds\\Unlisted.isb", 100, false));
    EXPECT_TRUE(Traced("Couldn't load IAUD Sample Bank 'workresource/sounds/unlisted.isb'\n"));
    EXPECT_EQ(0u, m.RegisterMemoryWaveBank("WorkResource\\Sounds\\Unlisted.isb", false));
    EXPECT_TRUE(Traced("Couldn't load in-memory IAUD sample bank 'workresource/sounds/unlisted.isb'"));
    // A listed name whose file is missing fails in the runtime.
    EXPECT_EQ(0u, m.RegisterStreamedWaveBank("WorkResource\\Sounds\\BBFX.isb", 100, false));
    EXPECT_EQ(nullptr, m.m_apSampleBankSlots[10]);

    // Unregistering keeps the slot loaded; registering again reuses it.
    m.UnregisterWaveBank(run.uWaveBank);
    run.pRecord->m_aCalls.clear();
    EXPECT_NE(0u, m.RegisterMemoryWaveBank("WorkResource\\Sounds\\CommonFX.isb", true));
    EXPECT_EQ(0u, run.pRecord->Count("LoadSampleBank"));
  });
}

TEST(SoundManagerBanks, SoundBanksLoadOnceAndFindTheirGroups) {
  soundtest::WithManager([](SManagerRun& run) {
    EIAUDSoundManager& m = *run.pManager;
    EXPECT_EQ(run.uSoundBank, m.LoadSoundBank("workresource/sounds/COMMONFX.icb", false));
    EXPECT_EQ(0u, run.pRecord->Count("LoadContentBank"));
    ASSERT_NE(nullptr, m.GetSoundBank(run.uSoundBank));
    EXPECT_FALSE(m.GetSoundBank(run.uSoundBank)->m_bMusic);
    for (int i = 0; i < kNUM_SOUNDCATEGORIES; ++i) EXPECT_NE(nullptr, sg_aGroupHandles[i]) << i;
    uint32_t uCategory = 99;
    EXPECT_TRUE(m.iaudGetCategoryFromGroupHandle(sg_aGroupHandles[kSOUNDCAT_AMBFX], uCategory));
    EXPECT_EQ((uint32_t)kSOUNDCAT_AMBFX, uCategory);
    EXPECT_FALSE(m.iaudGetCategoryFromGroupHandle(nullptr, uCategory));

    EXPECT_EQ(0u, m.LoadSoundBank("WorkResource\\Sounds\\Missing.icb", false));
    EXPECT_TRUE(Traced("Couldn't load IAUD Content Bank 'WorkResource\\Sounds\\Missing.icb'\n"));
  });
}

// A level change drops what the next level does not need.
TEST(SoundManagerBanks, APurgeKeepsKeptBanksAndThoseOfTheComingLevel) {
  soundtest::WithManager([](SManagerRun& run) {
    EIAUDSoundManager& m = *run.pManager;
    const std::string root = ".";
    for (const char* name : {"cabh.icb", "bbfx.icb"})
      ASSERT_TRUE(soundtest::WriteBank(root, name, soundtest::ContentBankText(name, {{"Extra", "FX"}}, false)));
    ASSERT_TRUE(soundtest::WriteSampleBank(root, "BBFX.isb", 0.1));
    ASSERT_TRUE(soundtest::WriteSampleBank(root, "CABUFX.isb", 0.1));
    const uint32_t uCabh = m.LoadSoundBank("WorkResource\\Sounds\\cabh.icb", false);
    const uint32_t uBb = m.LoadSoundBank("WorkResource\\Sounds\\bbfx.icb", false);
    const uint32_t uBbWave = m.RegisterStreamedWaveBank("WorkResource\\Sounds\\BBFX.isb", 100, false);
    const uint32_t uCabuWave = m.RegisterStreamedWaveBank("WorkResource\\Sounds\\CABUFX.isb", 100, false);
    ASSERT_TRUE(uCabh && uBb && uBbWave && uCabuWave);
    const uint32_t uExtra = m.GetSoundCue("Extra");
    ASSERT_NE(0u, uExtra);

    m.PurgeBanks("cabu", "_night", false);
    EXPECT_NE(nullptr, m.GetSoundBank(uCabh));
    EXPECT_EQ(nullptr, m.GetSoundBank(uBb));
    EXPECT_NE(nullptr, m.GetSoundBank(run.uSoundBank));  // kept
    EXPECT_TRUE(Traced("Purging soundbank workresource/sounds/bbfx.icb\n"));
    EXPECT_NE(nullptr, m.m_pWaveBankArray->ElementTryToGet(uCabuWave));
    EXPECT_EQ(nullptr, m.m_pWaveBankArray->ElementTryToGet(uBbWave));
    EXPECT_EQ(nullptr, m.m_apSampleBankSlots[10]);
    EXPECT_TRUE(Traced("Purging wavebank workresource/sounds/bbfx.isb\n"));
    EXPECT_EQ(uExtra, m.GetSoundCue("Extra"));  // found in cabh, which stayed

    m.PurgeBanks(nullptr, "_night", true);
    EXPECT_EQ(0, m.m_pSoundBankArray->GetNumUsed());
    EXPECT_EQ(0, m.m_pWaveBankArray->GetNumUsed());
    EXPECT_EQ(nullptr, m.m_apSampleBankSlots[0]);
    EXPECT_EQ(0xFFFFFFFFu, EIAUDSoundManager(false, false).GetSoundCue("Jump"));
  });
}

TEST(SoundManagerBanks, FullPoolsAreRefusedAndWhatWasLoadedForThemIsUnloaded) {
  soundtest::WithManager([](SManagerRun& run) {
    EIAUDSoundManager& m = *run.pManager;
    // 128 records of the one sample bank under different folders.
    for (int i = 1; i < 128; ++i)
      ASSERT_NE(0u, m.RegisterStreamedWaveBank(("dir" + std::to_string(i) + "/CommonFX.isb").c_str(), 100, false)) << i;
    EXPECT_FALSE(Traced("Exceeded max number of registered wave banks"));
    EXPECT_EQ(0u, m.RegisterStreamedWaveBank("dir128/CommonFX.isb", 100, false));
    EXPECT_TRUE(Traced("Exceeded max number of registered wave banks\n"));
    ASSERT_EQ(1u, run.pRecord->Count("UnloadSampleBank"));
    EXPECT_EQ("0", run.pRecord->Calls("UnloadSampleBank")[0].args[0]);

    // 63 more content banks fill the pool; the 65th is unloaded again.
    const std::string text = soundtest::ContentBankText("Small", {{"Small", "FX"}}, false);
    for (int i = 0; i < 64; ++i) ASSERT_TRUE(soundtest::WriteBank(".", "b" + std::to_string(i) + ".icb", text));
    for (int i = 0; i < 63; ++i)
      ASSERT_NE(0u, m.LoadSoundBank(("WorkResource/Sounds/b" + std::to_string(i) + ".icb").c_str(), false)) << i;
    EXPECT_EQ(0u, m.LoadSoundBank("WorkResource/Sounds/b63.icb", false));
    EXPECT_TRUE(Traced("Exceeded max number of registered sound banks\n"));
    const std::vector<soundtest::SRecord> loads = run.pRecord->Calls("LoadContentBank");
    const std::vector<soundtest::SRecord> unloads = run.pRecord->Calls("UnloadContentBank");
    ASSERT_EQ(64u, loads.size());
    ASSERT_EQ(1u, unloads.size());
    EXPECT_EQ(0, unloads[0].result);
  });
}

}  // namespace
