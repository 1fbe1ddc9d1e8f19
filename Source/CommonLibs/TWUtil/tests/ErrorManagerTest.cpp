#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <unistd.h>
#include <vector>

#include "TWUtil/ErrorManager.h"

namespace {

std::vector<std::string> g_consoleLines;
std::vector<std::string> g_problemLines;

void ConsoleSink(const char* text) { g_consoleLines.push_back(text); }
void ProblemSink(const char* text) { g_problemLines.push_back(text); }

class ErrorManagerTest : public ::testing::Test {
protected:
  void SetUp() override {
    g_consoleLines.clear();
    g_problemLines.clear();
    g_ErrorManager.SetConsoleCallback(nullptr);
    g_ErrorManager.SetNonfatalProblemCallback(nullptr);
    for (int i = 0; i < TT_NumTraceTypes; ++i) g_ErrorManager.SetEnabled((TRACETYPE)i, true);
    EErrorManager::SetErrorStrings("Encountered Error", "assert %s, line %d\n%s", "error - %s in %s %c%u.%u");
  }
  void TearDown() override {
    g_ErrorManager.SetConsoleCallback(nullptr);
    g_ErrorManager.SetNonfatalProblemCallback(nullptr);
  }
  std::string TraceToStderr(TRACETYPE type, const char* text) {
    testing::internal::CaptureStderr();
    g_ErrorManager.TraceMessagef(type, "%s", text);
    return testing::internal::GetCapturedStderr();
  }
};

TEST_F(ErrorManagerTest, ChannelTagsPrefixTheLine) {
  struct Case { TRACETYPE type; const char* expected; } cases[] = {
    {TT_None, "x\n"},           {TT_General, "x\n"},       {TT_Game, "Game: x\n"},
    {TT_Warning, "WARN: x\n"},  {TT_Problem, "WARN: x\n"}, {TT_Error, "ERROR: x\n"},
    {TT_Localization, "LOC WARN: x\n"}, {TT_Physics, "Phys: x\n"}, {TT_Anim, "Anim: x\n"},
    {TT_Render, "Rend: x\n"},   {TT_Script, "VM  : x\n"},  {TT_Action, "Actn: x\n"},
    {TT_Camera, "Camera: x\n"}, {TT_Sound, "Sound: x\n"},  {TT_Mesh, "Mesh: x\n"},
    {TT_Store, "Store: x\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, TraceToStderr(c.type, "x")) << "channel " << c.type;
  for (int t = TT_Developer1; t <= TT_Developer5; ++t) {
    const char* tag = g_ErrorManager.GetTag((TRACETYPE)t);
    ASSERT_NE(nullptr, tag);
    size_t n = strlen(tag);
    EXPECT_TRUE(n == 4 || n == 5) << tag;
  }
}

TEST_F(ErrorManagerTest, TrailingLineBreaksAreTrimmedOnce) {
  EXPECT_EQ("a\n", TraceToStderr(TT_None, "a\r\n"));
  EXPECT_EQ("a\n\n", TraceToStderr(TT_None, "a\n\n"));
  EXPECT_EQ("a\r\n", TraceToStderr(TT_None, "a\r\r"));
  EXPECT_EQ("\n", TraceToStderr(TT_None, "\n"));
  EXPECT_EQ("100% sure %s\n", TraceToStderr(TT_None, "100% sure %s"));
}

TEST_F(ErrorManagerTest, LongLinesAreCutToFitTheLineBuffer) {
  // The message gets 1023 bytes minus the prefix, its terminator included.
  std::string longText(5000, 'z');
  std::string out = TraceToStderr(TT_Game, longText.c_str());
  ASSERT_EQ(1023u, out.size());  // 1022 characters and the line break
  EXPECT_EQ("Game: ", out.substr(0, 6));
  EXPECT_EQ(std::string(1022 - 6, 'z'), out.substr(6, 1022 - 6));
  out = TraceToStderr(TT_None, longText.c_str());
  EXPECT_EQ(1023u, out.size());
  // A newline that survives the cut is still trimmed.
  std::string edge(1022 - 6 - 1, 'q');
  edge += "\n";
  out = TraceToStderr(TT_Game, edge.c_str());
  EXPECT_EQ(1022u, out.size());
}

TEST_F(ErrorManagerTest, DisabledChannelIsSilentEvenForTheProblemCallback) {
  g_ErrorManager.SetNonfatalProblemCallback(ProblemSink);
  g_ErrorManager.SetEnabled(TT_Problem, false);
  EXPECT_FALSE(g_ErrorManager.IsEnabled(TT_Problem));
  EXPECT_EQ("", TraceToStderr(TT_Problem, "hidden"));
  EXPECT_TRUE(g_problemLines.empty());
}

TEST_F(ErrorManagerTest, ConsoleCallbackReplacesStandardError) {
  g_ErrorManager.SetConsoleCallback(ConsoleSink);
  EXPECT_EQ("", TraceToStderr(TT_Sound, "beep\n"));
  ASSERT_EQ(1u, g_consoleLines.size());
  EXPECT_EQ("Sound: beep", g_consoleLines[0]);
}

TEST_F(ErrorManagerTest, ProblemLinesReachTheCallbackWithTagThenTheOutput) {
  g_ErrorManager.SetNonfatalProblemCallback(ProblemSink);
  EXPECT_EQ("WARN: odd\n", TraceToStderr(TT_Problem, "odd"));
  ASSERT_EQ(1u, g_problemLines.size());
  EXPECT_EQ("WARN: odd", g_problemLines[0]);
  TraceToStderr(TT_Warning, "not a problem");
  EXPECT_EQ(1u, g_problemLines.size());
}

TEST_F(ErrorManagerTest, InhibitedOutputIsReleasedAtTheFirstRelease) {
  testing::internal::CaptureStderr();
  EErrorManager::InhibitDebugString(true);
  EErrorManager::InhibitDebugString(true);
  g_ErrorManager.TraceMessagef("held");
  std::string during = testing::internal::GetCapturedStderr();
  EXPECT_EQ("", during);

  testing::internal::CaptureStderr();
  EErrorManager::InhibitDebugString(false);
  EXPECT_EQ("held\n", testing::internal::GetCapturedStderr());

  // Still inhibited once: new output is held again until the next release.
  testing::internal::CaptureStderr();
  g_ErrorManager.TraceMessagef("again");
  EXPECT_EQ("", testing::internal::GetCapturedStderr());
  testing::internal::CaptureStderr();
  EErrorManager::InhibitDebugString(false);
  EXPECT_EQ("again\n", testing::internal::GetCapturedStderr());
  EXPECT_EQ(0, EErrorManager::sm_iInhibitDebugString);
}

TEST_F(ErrorManagerTest, ContextCallbacksAreKeptNotRun) {
  static int s_iCalls = 0;
  EErrorManager manager;
  manager.AddContextCallback([] { ++s_iCalls; });
  manager.AddContextCallback([] { ++s_iCalls; });
  EXPECT_EQ(2, manager.GetNumContextCallbacks());
  testing::internal::CaptureStderr();
  manager.ErrorMessage("a.cpp", 1, "warned", true);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(0, s_iCalls);
}

TEST_F(ErrorManagerTest, NonFatalReportTracesTwoLinesAndReturns) {
  testing::internal::CaptureStderr();
  g_ErrorManager.ErrorMessage("game.cpp", 42, "x > 100%", true);
  EXPECT_EQ("WARN: Assert in game.cpp, line 42\nx > 100%\n", testing::internal::GetCapturedStderr());

  testing::internal::CaptureStderr();
  g_ErrorManager.ErrorReportFileLine("other.cpp", 7, true);
  g_ErrorManager.ErrorMessagef("value %d", 12);
  EXPECT_EQ("WARN: Assert in other.cpp, line 7\nvalue 12\n", testing::internal::GetCapturedStderr());
}

void ReportInsideReport(const char*) { g_ErrorManager.ErrorMessage("inner.cpp", 1, "inner", false); }

TEST_F(ErrorManagerTest, ReportDuringReportIsAnsweredAndIgnored) {
  g_ErrorManager.SetConsoleCallback(ConsoleSink);
  g_ErrorManager.SetNonfatalProblemCallback(nullptr);
  // The console callback runs while the outer report is being handled; its
  // fatal report must not end the process.
  g_ErrorManager.SetConsoleCallback([](const char* text) {
    g_consoleLines.push_back(text);
    if (g_consoleLines.size() == 1) ReportInsideReport(text);
  });
  g_ErrorManager.ErrorMessage("outer.cpp", 3, "outer", true);
  ASSERT_EQ(3u, g_consoleLines.size());
  EXPECT_EQ("WARN: Assert in outer.cpp, line 3", g_consoleLines[0]);
  EXPECT_EQ("Encountered error during error handling!", g_consoleLines[1]);
  EXPECT_EQ("outer", g_consoleLines[2]);
}

TEST_F(ErrorManagerTest, FatalReportPrintsTheBlockAndExitsMinusOne) {
  EXPECT_EXIT(g_ErrorManager.ErrorMessage("mesh.cpp", 99, "pMesh != 0", false), ::testing::ExitedWithCode(255),
              "ERROR: Assert in mesh.cpp, line 99\npMesh != 0\n\nEncountered Error:\n  assert mesh.cpp, line 99\npMesh != 0\n\n");
  char cwd[4096];
  ASSERT_NE(nullptr, getcwd(cwd, sizeof(cwd)));
  std::string expected = std::string("error - boom in ") + cwd + " P602.0";
  EXPECT_EXIT(g_ErrorManager.ErrorMessage(nullptr, 0, "boom", false), ::testing::ExitedWithCode(255),
              ::testing::HasSubstr(expected));
}

TEST_F(ErrorManagerTest, FatalTextIsBoundedWhateverTheMessage) {
  std::string huge(4000, 'm');
  EErrorManager::SetErrorStrings("T", "%s %d %s", "%s %s %c%u.%u");
  // The process must end through the report, not through a smashed stack.
  EXPECT_EXIT(
      {
        g_ErrorManager.SetConsoleCallback([](const char*) {});
        g_ErrorManager.ErrorMessage(huge.c_str(), 1, huge.c_str(), false);
      },
      ::testing::ExitedWithCode(255), "\nT:\n  m+\n\n");
}

TEST(StubNoticeTest, PrintsOncePerSite) {
  testing::internal::CaptureStderr();
  for (int i = 0; i < 3; ++i) STUBBED("write me");
  std::string out = testing::internal::GetCapturedStderr();
  EXPECT_EQ(0u, out.find("STUBBED: write me at TestBody ("));
  EXPECT_EQ(out.find("STUBBED"), out.rfind("STUBBED"));
  EXPECT_NE(std::string::npos, out.find("ErrorManagerTest.cpp:"));
}

}  // namespace
