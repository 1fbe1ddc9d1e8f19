// Fixtures of the sound manager's tests. Each scenario runs in a child
// process of its own on OpenAL Soft's null or wave output (its own
// configuration file), in a folder of its own that holds
// "WorkResource/Sounds" with banks written by mkriff: a sample bank
// "CommonFX.isb" (slot 0) with one tone, and content banks whose sound
// events play that tone, one per named cue, each in its runtime group.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "NonTW/AudioDrv/tests/AudioTestSupport.h"
#include "NonTW/IAUDEng/tests/ContentTestSupport.h"
#include "NonTW/IAUDEng/tests/IAUDTestSupport.h"
#include "NonTW/IAUDEng/tests/SampleTestSupport.h"
#include "RecordingIAUD.h"
#include "TWSound/IAUDSoundManager/IAUDSoundManager.h"
#include "TWUtil/ErrorManager.h"

namespace soundtest {

struct SCue {
  std::string title;
  std::string group;
  bool looping = false;
};

// Every category's group, a cue in a group that is none of them, a looping
// cue, and a parameter controller for "Jump".
inline std::vector<SCue> CommonCues() {
  std::vector<SCue> cues = {{"Jump", "FX"}, {"Hum", "FX", true}, {"Theme", "Music"}, {"Odd", "Elsewhere"}};
  for (const char* group : sg_aszCategoryGroupNames) cues.push_back({std::string(group) + "Cue", group});
  return cues;
}

// A content bank description: one sound event per cue, playing sample 0 of
// slot 0, and the controller "<first cue>-rpc" when asked for.
inline std::string ContentBankText(const std::string& title, const std::vector<SCue>& cues, bool bRPC) {
  contenttest::TrackSpec track;
  std::string d = "RIFF icbf\n chunk titl text \"" + title + "\"\n chunk obdx u32 0\n";
  uint32_t index = 0;
  for (const SCue& cue : cues) {
    d += " LIST snde\n  chunk indx u32 " + std::to_string(index++) + "\n  chunk titl text \"" + cue.title +
         "\"\n  chunk isgn text \"" + cue.group + "\"\n";
    if (cue.looping) d += "  chunk loop u32 1\n";
    d += "  chunk info u32 1 50 0 0 1\n  chunk sndt " + contenttest::SoundTrackFields(track) + "\n end\n";
  }
  if (bRPC && !cues.empty())
    d += " LIST rpc \n  chunk indx u32 0\n  chunk titl text \"" + cues[0].title + "-rpc\"\n end\n";
  return d + "end\n";
}

// Writes "WorkResource/Sounds/<name>" from a description; false on failure.
inline bool WriteBank(const std::string& root, const std::string& name, const std::string& description) {
  iaudtest::TempDir scratch;
  std::string made = iaudtest::MakeRiff(scratch, "bank", description);
  if (made.empty()) return false;
  iaudtest::WriteFileBytes(root + "/WorkResource/Sounds/" + name, iaudtest::ReadBytes(made));
  return true;
}

// A sample bank held in memory with one tone of that many seconds.
inline bool WriteSampleBank(const std::string& root, const std::string& name, double seconds) {
  iaudtest::TempDir scratch;
  std::vector<uint8_t> pcm = iaudtest::PcmBytes(AudioDrvTest::MakeTone(440.0, 0.5, seconds, 48000));
  iaudtest::WriteFileBytes(scratch / "tone.bin", pcm);
  std::string made = iaudtest::MakeRiff(scratch, "samples",
                                        "RIFF isbf\n chunk titl text \"" + name + "\"\n chunk stri u32 0\n LIST samp\n"
                                        "  chunk indx u32 0\n  chunk titl text \"Tone\"\n  chunk sinf u32 0 " +
                                            std::to_string((int)(seconds * 1000)) + " 48000 " +
                                            std::to_string(pcm.size()) + " u16 16 0\n  chunk data file tone.bin\n end\nend\n");
  if (made.empty()) return false;
  iaudtest::WriteFileBytes(root + "/WorkResource/Sounds/" + name, iaudtest::ReadBytes(made));
  return true;
}

// The standard folder: CommonFX.isb and commonfx.icb with CommonCues().
inline bool MakeSoundFolder(const std::string& root) {
  if (system(("mkdir -p '" + root + "/WorkResource/Sounds'").c_str()) != 0) return false;
  return WriteSampleBank(root, "CommonFX.isb", 0.3) &&
         WriteBank(root, "commonfx.icb", ContentBankText("CommonFX", CommonCues(), true));
}

// Trace lines, caught while a scenario runs.
inline std::vector<std::string>& Traces() {
  static std::vector<std::string> s_aLines;
  return s_aLines;
}
inline void CatchTrace(const char* text) {
  Traces().push_back(text ? text : "");
  if (getenv("SOUNDTEST_ECHO")) fprintf(stderr, "%s\n", text ? text : "");
}
// The error manager hands lines on without their final newline.
inline bool Traced(std::string text) {
  while (!text.empty() && text.back() == '\n') text.pop_back();
  for (const std::string& line : Traces())
    if (line.find(text) != std::string::npos) return true;
  return false;
}

// Runs body in a child process in its own folder (the working folder) on
// the given OpenAL output, with traces caught.
inline void InSoundFolder(const char* szDriver, const std::string& extraGeneral,
                          const std::function<void(const AudioDrvTest::SRun&)>& body) {
  AudioDrvTest::RunWithOpenAL(szDriver, extraGeneral, [&](const AudioDrvTest::SRun& run) {
    ASSERT_EQ(0, chdir(run.dir.c_str()));
    ASSERT_TRUE(MakeSoundFolder(run.dir));
    g_ErrorManager.SetEnabled(TT_Sound, true);
    g_ErrorManager.SetConsoleCallback(&CatchTrace);
    body(run);
    g_ErrorManager.SetConsoleCallback(nullptr);
  });
}

// An active manager on the null output with the common banks registered and
// every runtime call recorded from then on.
struct SManagerRun {
  EIAUDSoundManager* pManager = nullptr;
  RecordingIAUD* pRecord = nullptr;
  uint32_t uWaveBank = 0;
  uint32_t uSoundBank = 0;
  void* Group(SOUNDCATEGORY e) const { return sg_aGroupHandles[e]; }
  // The gains set on the category's group, in order.
  std::vector<float> Gains(SOUNDCATEGORY e) const {
    std::vector<float> out;
    for (const SRecord& r : pRecord->Calls("SetGroupGain"))
      if (r.pointers[0] == Group(e)) out.push_back(r.floats[0]);
    return out;
  }
};

inline void WithManager(const std::function<void(SManagerRun&)>& body) {
  InSoundFolder("null", "", [&](const AudioDrvTest::SRun&) {
    SManagerRun run;
    run.pManager = new EIAUDSoundManager(true, false);
    ASSERT_TRUE(run.pManager->IsActive());
    RecordingIAUD record(sg_pIAUD);
    sg_pIAUD = &record;
    run.pRecord = &record;
    run.uWaveBank = run.pManager->RegisterMemoryWaveBank("WorkResource\\Sounds\\CommonFX.isb", true);
    run.uSoundBank = run.pManager->LoadSoundBank("WorkResource\\Sounds\\commonfx.icb", true);
    ASSERT_NE(0u, run.uWaveBank);
    ASSERT_NE(0u, run.uSoundBank);
    record.m_aCalls.clear();
    body(run);
    delete run.pManager;
    EXPECT_EQ(nullptr, sg_pIAUD);
  });
}

}  // namespace soundtest
