#include "Game/LocalizedText.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Game/GameApp.h"
#include "ScriptVM/ScriptObject.h"
#include "ScriptVM/ScriptVM.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/Entity.h"
#include "VERirezo/MeshEntity.h"

#ifndef QUILLOMAR_MKLUB
#error "the string-table compiler mklub is needed (tools/CMakeLists.txt)"
#endif

namespace {

class TextApp : public GameApp {
public:
  EVec2* GetMousePoint() override { return &m_vPoint; }
  void UnlockAchievement(const char*) override {}
  EVec2 m_vPoint;
};

std::vector<std::string>* s_pLines = nullptr;
void Capture(const char* text) {
  if (s_pLines) s_pLines->push_back(text ? text : "");
}

// A joystick that is present and reads nothing.
const EJoystickDevice kIDLE_JOYSTICK = {[] { return 0; }, [](int) { return 0; }, [] { return 0; },
                                        [](int) { return 0; }, [] { return 0; }, [](int) { return 0; },
                                        [] {}};

const PHYSICAL_INPUT kSPACEBAR = (PHYSICAL_INPUT)57;
const PHYSICAL_INPUT kJOY2 = (PHYSICAL_INPUT)(kINPUT_JOY_BUTTON0 + 1);

// Game data in a temporary folder with string tables compiled by mklub, and
// an interpreter whose "Global" script object belongs to the global entity.
class LocalizedText : public ::testing::Test {
protected:
  void SetUp() override {
    char tmpl[] = "/tmp/quillomar-text-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(tmpl));
    m_dir = tmpl;
    m_pOldFiles = gFile;
    gFile = new EFileManager();
    gFile->AddReadPath(m_dir.c_str(), false);
    s_pLines = &m_lines;
    g_ErrorManager.SetConsoleCallback(Capture);

    WriteFile("scripts/Base.lua",
              "function Base()\n"
              "  local o = CreateObject(nil)\n"
              "  o.setState = function(self, s) APISetState(self, s) end\n"
              "  return o\n"
              "end\n");
    // Removed scripts wait on the application's deletion queue.
    m_pPrevApp = gGameApp;
    gGameApp = &m_app;
    m_app.GetScriptVM()->Initialise();
    m_pGlobalObject = m_app.GetScriptVM()->CreateScriptObject(
        "Base", "Global", nullptr, "Global = self\nself.StringTable = { Global = {}, Level = {} }", false, true, false,
        false);
    ASSERT_NE(nullptr, m_pGlobalObject);
    m_app.m_pGlobalEntity = new EMeshEntity(nullptr, "Global");
    m_app.m_pGlobalEntity->SetScriptObject(m_pGlobalObject);

    InitDirectInput(nullptr);
    for (int m = 0; m < kINPUTMAP_NUMMAPS; ++m)
      for (int a = 0; a < kACTION_NUMACTIONS; ++a) ZARInput_UnbindAction((GAME_ACTION)a, (INPUT_MAP)m);
    ZARInput_SetJoystickDevice(nullptr, nullptr);
  }
  void TearDown() override {
    ZARInput_SetJoystickDevice(nullptr, nullptr);
    m_app.m_pGlobalEntity->SetScriptObject(nullptr);
    delete m_app.m_pGlobalEntity;
    m_app.m_pGlobalEntity = nullptr;
    m_app.GetScriptVM()->Shutdown();
    gGameApp = m_pPrevApp;
    g_ErrorManager.SetConsoleCallback(nullptr);
    s_pLines = nullptr;
    delete gFile;
    gFile = m_pOldFiles;
    EXPECT_EQ(0, system(("rm -rf '" + m_dir + "'").c_str()));
  }

  void WriteFile(const std::string& rel, const std::string& text) {
    std::string path = m_dir + "/" + rel;
    for (size_t i = m_dir.size() + 1; i < path.size(); ++i) {
      if (path[i] == '/') mkdir(path.substr(0, i).c_str(), 0755);
    }
    std::ofstream f(path, std::ios::binary);
    f << text;
  }
  // Compiles the source into Localization/<language>/<file> with mklub.
  void WriteTable(const std::string& language, const std::string& file, const std::string& source) {
    WriteFile("src.lua", source);
    WriteFile("Localization/" + language + "/" + file, "");
    std::string cmd = std::string(QUILLOMAR_MKLUB) + " '" + m_dir + "/src.lua' '" + m_dir + "/Localization/" +
                      language + "/" + file + "'";
    ASSERT_EQ(0, system(cmd.c_str())) << cmd;
  }
  int Count(const std::string& text) const {
    int n = 0;
    for (const std::string& s : m_lines) n += s.find(text) != std::string::npos;
    return n;
  }
  std::string Lookup(const char* text) { return m_app.LookupLocalizedString(text); }

  TextApp m_app;
  GameApp* m_pPrevApp = nullptr;
  EScriptObject* m_pGlobalObject = nullptr;
  std::string m_dir;
  EFileManager* m_pOldFiles = nullptr;
  std::vector<std::string> m_lines;
};

TEST_F(LocalizedText, LevelTableFirstThenGlobal) {
  WriteTable("English", "GLOBAL_StringTable.lub",
             "local t = Global.StringTable.Global\n"
             "t.GLZD507TO = 'global text'\n"
             "t.GLZD508TO = 'only global'\n");
  WriteTable("English", "CA_StringTable.lub", "Global.StringTable.Level.GLZD507TO = 'level text'\n");
  m_app.LoadLocalizedTextBank("GLOBAL");
  EXPECT_EQ("global text", Lookup("/GLZD507TO/"));
  m_app.LoadLocalizedTextBank("CA");
  EXPECT_EQ(1, Count("Could not open Localization file 'Localization/English/CA_StringTablePC.lub'"));
  EXPECT_EQ("level text", Lookup("/GLZD507TO/"));
  EXPECT_EQ("only global", Lookup("/glzd508to/")) << "codes are looked up in upper case";
  m_app.UnloadLocalizedLevelTextBank();
  EXPECT_EQ("global text", Lookup("/GLZD507TO/"));
  EXPECT_EQ(0, Count("Raw string"));
  EXPECT_EQ(0, Count("Could not find string table tag"));
}

TEST_F(LocalizedText, PCTableRunsAfterTheTableAndWithoutItNothingLoads) {
  WriteTable("English", "GLOBAL_StringTable.lub", "Global.StringTable.Global.A = 'plain'\nGlobal.StringTable.Global.B = 'b'\n");
  WriteTable("English", "GLOBAL_StringTablePC.lub", "Global.StringTable.Global.A = 'for PC'\n");
  WriteTable("English", "XX_StringTablePC.lub", "Global.StringTable.Level.XX = 'must not load'\n");
  m_app.LoadLocalizedTextBank("GLOBAL");
  EXPECT_EQ("for PC b", Lookup("/A/ /B/"));

  m_app.LoadLocalizedTextBank("XX");
  EXPECT_EQ(1, Count("Could not open Localization file 'Localization/English/XX_StringTable.lub'"));
  EXPECT_EQ(0, Count("XX_StringTablePC.lub"));
  EXPECT_EQ("Unknown Text String '/XX/'", Lookup("/XX/"));
}

TEST_F(LocalizedText, DamagedOrEmptyTablesAreHarmless) {
  WriteFile("Localization/English/GLOBAL_StringTable.lub", "");
  WriteTable("English", "GLOBAL_StringTablePC.lub", "Global.StringTable.Global.PC = 'pc'\n");
  m_app.LoadLocalizedTextBank("GLOBAL");
  EXPECT_EQ(1, Count("Localization file 'Localization/English/GLOBAL_StringTable.lub' is empty or too large (0 bytes)"));
  EXPECT_EQ("pc", Lookup("/PC/")) << "the PC table still runs";

  WriteTable("English", "CA_StringTable.lub", "Global.StringTable.Level.CA = 'level'\n");
  const std::string path = m_dir + "/Localization/English/CA_StringTable.lub";
  std::string chunk;
  {
    std::ifstream f(path, std::ios::binary);
    chunk.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  }
  for (size_t cut : {chunk.size() / 2, (size_t)5}) {
    WriteFile("Localization/English/CA_StringTable.lub", chunk.substr(0, cut));
    m_app.LoadLocalizedTextBank("CA");
    EXPECT_EQ("Unknown Text String '/CA/'", Lookup("/CA/")) << cut;
  }
}

TEST_F(LocalizedText, LanguageAndNonsenseChooseTheFolder) {
  WriteTable("French", "GLOBAL_StringTable.lub", "Global.StringTable.Global.HI = 'bonjour'\n");
  WriteTable("Nonsense", "GLOBAL_StringTable.lub", "Global.StringTable.Global.HI = 'blorp'\n");
  m_app.SetLanguage(kLANGUAGE_French);
  EXPECT_STREQ("French", m_app.GetLanguageString());
  m_app.LoadLocalizedTextBank("GLOBAL");
  EXPECT_EQ("bonjour", Lookup("/HI/"));
  m_app.m_DebugHooks.m_bNonsenseText = true;
  m_app.LoadLocalizedTextBank("GLOBAL");
  EXPECT_EQ("blorp", Lookup("/HI/"));
}

TEST_F(LocalizedText, UnknownCodesAndValuesThatAreNotStrings) {
  WriteTable("English", "GLOBAL_StringTable.lub",
             "local t = Global.StringTable.Global\n"
             "t.NUM = 12\n"
             "t.TAB = {}\n"
             "Global.StringTable.Level.NUM = nil\n");
  m_app.LoadLocalizedTextBank("GLOBAL");
  EXPECT_EQ("Say Unknown Text String '/NOSUCH/'!", Lookup("Say /nosuch/!"));
  EXPECT_EQ(1, Count("Could not find string table tag 'NOSUCH' in either level or global string tables"));
  EXPECT_EQ(0, Count("Raw string")) << "an unknown code still counts as a code";
  // Values that are not strings are unknown codes, not fatal.
  EXPECT_EQ("Unknown Text String '/NUM/'", Lookup("/NUM/"));
  EXPECT_EQ("Unknown Text String '/TAB/'", Lookup("/TAB/"));

  // Without string tables at all.
  m_app.m_pGlobalEntity->SetScriptObject(nullptr);
  EXPECT_EQ("Unknown Text String '/HI/'", Lookup("/HI/"));
}

TEST_F(LocalizedText, WalkingTheText) {
  WriteTable("English", "GLOBAL_StringTable.lub", "Global.StringTable.Global.X = 'ex'\n");
  m_app.LoadLocalizedTextBank("GLOBAL");
  struct Case {
    const char* text;
    const char* expected;
    bool raw;
  } cases[] = {
      {"plain words", "plain words", true},
      {"a/b", "a/b", true},           // a single slash is no code
      {"x//y", "xy", false},          // an empty code disappears and counts
      {"/x/ and /X/", "ex and ex", false},
      {"1/x/2/x", "1ex2/x", false},   // the trailing slash has no partner
  };
  for (const Case& c : cases) {
    m_lines.clear();
    EXPECT_EQ(c.expected, Lookup(c.text)) << c.text;
    EXPECT_EQ(c.raw ? 1 : 0, Count("Raw string passed instead of Line Code\nOriginal String '" + std::string(c.text) + "'"))
        << c.text;
  }
  // With break_on_rawstring the script debugger (when one is attached) stops on it.
  m_lines.clear();
  m_app.m_Prefs.m_bBreakOnRawString = true;
  EXPECT_EQ("raw", Lookup("raw"));
  EXPECT_EQ(1, Count("Raw string passed instead of Line Code\nOriginal String 'raw'"));
  EXPECT_EQ(nullptr, m_app.LookupLocalizedString(nullptr));
  const char* empty = "";
  EXPECT_EQ(empty, m_app.LookupLocalizedString(empty));
}

TEST_F(LocalizedText, TextsThatWouldNotFitAreReturnedUnchanged) {
  WriteTable("English", "GLOBAL_StringTable.lub", "Global.StringTable.Global.LONG = strrep('w', 600)\n");
  m_app.LoadLocalizedTextBank("GLOBAL");

  const std::string longCode = "/" + std::string(257, 'C') + "/";
  EXPECT_EQ(longCode.c_str(), m_app.LookupLocalizedString(longCode.c_str()));
  EXPECT_EQ(1, Count("Linecode will not fit in the buffer."));
  const std::string code256 = "/" + std::string(256, 'C') + "/";
  EXPECT_EQ("Unknown Text String '" + code256 + "'", Lookup(code256.c_str()));

  const std::string twice = "/LONG//LONG/";
  EXPECT_EQ(twice.c_str(), m_app.LookupLocalizedString(twice.c_str()));
  EXPECT_EQ(1, Count("Linecode will not fit in dest buffer."));
  EXPECT_EQ(std::string(600, 'w'), Lookup("/LONG/"));

  // Plain characters are bounded too.
  const std::string plain = std::string(3000, 'p') + "//";
  EXPECT_EQ(plain.c_str(), m_app.LookupLocalizedString(plain.c_str()));
  EXPECT_EQ(1, Count("Text will not fit in dest buffer."));
  const std::string fits = std::string(1023, 'p');
  EXPECT_EQ(fits, Lookup(fits.c_str()));
  const std::string over = std::string(1024, 'p');
  EXPECT_EQ(over.c_str(), m_app.LookupLocalizedString(over.c_str()));
}

TEST_F(LocalizedText, ButtonTokensNameTheBoundInput) {
  // Tokens come in the tables' texts.
  WriteTable("English", "GLOBAL_StringTable.lub",
             "local t = Global.StringTable.Global\n"
             "t.GLPC004TO = 'Jump'\n"
             "t.PRESS = 'Press /AButton/ now'\n"
             "t.TWO = '/AButton/, /ABUTTON/ and /abutton/'\n"
             "t.BANG = '/AButton/!'\n");
  m_app.LoadLocalizedTextBank("GLOBAL");
  struct Case {
    PHYSICAL_INPUT primary, alternate;
    bool joystick, primaryOnly;
    const char* expected;
  } cases[] = {
      {kSPACEBAR, kJOY2, true, true, "Press /Spacebar/ now"},
      {kSPACEBAR, kJOY2, false, true, "Press /Spacebar/ now"},
      {kINPUT_NONE, kJOY2, true, true, "Press /Joy2/ now"},
      {kJOY2, kSPACEBAR, true, true, "Press /Spacebar/ now"},
      {kJOY2, kINPUT_NONE, false, true, "Press /Joy2/ now"},
      {kINPUT_NONE, kINPUT_NONE, true, true, "Press Jump now"},
      {kSPACEBAR, kJOY2, true, false, "Press /Spacebar/ or /Joy2/ now"},
      {kSPACEBAR, kJOY2, false, false, "Press /Spacebar/ now"},
      {kJOY2, kINPUT_NONE, false, false, "Press Jump now"},
  };
  for (const Case& c : cases) {
    ZARInput_UnbindAction(kACTION_JUMP, kINPUTMAP_PRIMARY);
    ZARInput_UnbindAction(kACTION_JUMP, kINPUTMAP_ALTERNATE);
    if (c.primary) ZARInput_BindAction(kACTION_JUMP, c.primary, kINPUTMAP_PRIMARY);
    if (c.alternate) ZARInput_BindAction(kACTION_JUMP, c.alternate, kINPUTMAP_ALTERNATE);
    ZARInput_SetJoystickDevice(c.joystick ? &kIDLE_JOYSTICK : nullptr, "pad");
    m_app.m_DebugHooks.m_bShowPrimaryBindingOnly = c.primaryOnly;
    EXPECT_EQ(c.expected, Lookup("/PRESS/")) << c.primary << " " << c.alternate << " " << c.joystick;
  }

  ZARInput_BindAction(kACTION_JUMP, kSPACEBAR, kINPUTMAP_PRIMARY);
  m_app.m_DebugHooks.m_bShowPrimaryBindingOnly = true;
  EXPECT_EQ("/Spacebar/, /Spacebar/ and /abutton/", Lookup("/TWO/"));
  m_app.m_DebugHooks.m_bReplaceButtonWithAction = true;
  EXPECT_EQ("Jump!", Lookup("/BANG/"));
}

TEST_F(LocalizedText, GroupTokensUseTheTemplateWithAJoystick) {
  WriteTable("English", "GLOBAL_StringTable.lub",
             "local t = Global.StringTable.Global\n"
             "t.GLPC080TO = 'left stick'\n"
             "t.GLPC081TO = 'right stick'\n"
             "t.BOTH = 'Move: /MovementControls/. Look: /LookControls/.'\n"
             "t.MOVE = '/MovementControls/'\n"
             "t.LOOK = '/LookControls/'\n");
  m_app.LoadLocalizedTextBank("GLOBAL");
  EXPECT_EQ("Move: /MovementKeys/. Look: /FullMouse/.", Lookup("/BOTH/"));

  ZARInput_SetJoystickDevice(&kIDLE_JOYSTICK, "pad");
  // Without a template in the tables the unknown-code text has no markers.
  EXPECT_EQ("Move: /MovementKeys/", Lookup("Move: /MOVE/"));
  WriteTable("English", "GLOBAL_StringTablePC.lub", "Global.StringTable.Global.GLPC082TO = '/FirstKey/ or /SecondKey/'\n");
  m_app.LoadLocalizedTextBank("GLOBAL");
  EXPECT_EQ("Move: /MovementKeys/ or left stick", Lookup("Move: /MOVE/"));
  WriteTable("English", "GLOBAL_StringTablePC.lub",
             "Global.StringTable.Global.GLPC082TO = 'use /SecondKey/ (or /FirstKey/) %s'\n");
  m_app.LoadLocalizedTextBank("GLOBAL");
  EXPECT_EQ("Look: use right stick (or /FullMouse/) %s", Lookup("Look: /LOOK/"));
  WriteTable("English", "GLOBAL_StringTablePC.lub", "Global.StringTable.Global.GLPC082TO = 'only /FirstKey/'\n");
  m_app.LoadLocalizedTextBank("GLOBAL");
  EXPECT_EQ("Look: /FullMouse/", Lookup("Look: /LOOK/"));
}

TEST_F(LocalizedText, ReplacementsThatWouldNotFitLeaveTheToken) {
  ZARInput_BindAction(kACTION_JUMP, kSPACEBAR, kINPUTMAP_PRIMARY);
  // "/AButton/" (9) becomes "/Spacebar/" (10): one byte more each time.
  std::vector<char> text(GameApp::kLOCALIZED_TEXT_SIZE, '\0');
  std::string start = std::string(1013, 'x') + "/AButton/";  // 1022 characters
  memcpy(text.data(), start.c_str(), start.size() + 1);
  m_app.ReplaceButtonTokens(text.data());
  EXPECT_EQ(std::string(1013, 'x') + "/Spacebar/", text.data()) << "1023 characters still fit";

  start = std::string(1014, 'x') + "/AButton/";  // would become 1024 characters
  memcpy(text.data(), start.c_str(), start.size() + 1);
  m_app.ReplaceButtonTokens(text.data());
  EXPECT_EQ(start, text.data());
  EXPECT_EQ(1, Count("Button text will not fit in dest buffer."));

  // A long action name in place of the binding.
  ZARInput_UnbindAction(kACTION_JUMP, kINPUTMAP_PRIMARY);
  WriteTable("English", "GLOBAL_StringTable.lub",
             "Global.StringTable.Global.GLPC004TO = strrep('J', 1000)\n"
             "Global.StringTable.Global.TWICE = '/AButton/ /AButton/'\n");
  m_app.LoadLocalizedTextBank("GLOBAL");
  EXPECT_EQ(std::string(10, 'y') + std::string(1000, 'J') + " /AButton/", Lookup("yyyyyyyyyy/TWICE/"));
}

TEST(SprintfSafe, TerminatesInsideTheBufferAndReportsCutting) {
  char buffer[8];
  EXPECT_EQ(5, sprintf_safe(buffer, (int)sizeof(buffer), "%s-%d", "ab", 42));
  EXPECT_STREQ("ab-42", buffer);
  memset(buffer, 'z', sizeof(buffer));
  EXPECT_EQ(-1, sprintf_safe(buffer, (int)sizeof(buffer), "%s", "0123456789"));
  EXPECT_STREQ("0123456", buffer);
  EXPECT_EQ(-1, sprintf_safe(buffer, (int)sizeof(buffer), "%s", "01234567"));
  EXPECT_EQ(7, sprintf_safe(buffer, (int)sizeof(buffer), "%s", "0123456"));
}

TEST(GameLanguage, NamesAndRange) {
  EXPECT_STREQ("English", GameApp::GetLanguageString(kLANGUAGE_English));
  EXPECT_STREQ("Nonsense", GameApp::GetLanguageString(kLANGUAGE_Nonsense));
  EXPECT_DEATH(GameApp::GetLanguageString((EGameLanguage)4), "");
}

}  // namespace
