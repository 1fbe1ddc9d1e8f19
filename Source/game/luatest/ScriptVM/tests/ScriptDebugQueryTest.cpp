// The script debugger's queries: table entries of objects, paths and call
// levels, and the call stack.
#include <algorithm>
#include <cstdlib>

#include "ScriptDebugScope.h"
#include "ScriptVMTestUtil.h"

namespace {
EScriptVM* s_pVM = nullptr;
std::string s_Answer;
int s_iAnswerLength = -1;
bool s_bAnswered = false;

// Runs the query of argument 1 from inside a script, as the debugger does
// while a script is paused.
int Query(lua_State* L) {
  int iTop = lua_gettop(L);
  int iLength = -1;
  char* p = s_pVM->DebugGetLuaTableEntries(lua_tostring(L, 1), iLength);
  s_bAnswered = p != nullptr;
  s_Answer = p ? std::string(p) : std::string();
  s_iAnswerLength = p ? iLength : -1;
  free(p);
  EXPECT_EQ(lua_gettop(L), iTop);
  return 0;
}
int CallStack(lua_State* L) {
  char* p = s_pVM->GetCallStack((int)lua_tonumber(L, 1));
  s_bAnswered = p != nullptr;
  s_Answer = p ? std::string(p) : std::string();
  free(p);
  return 0;
}

std::vector<std::string> Split(const std::string& text, char c) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == c) {
      parts.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

// Entries end in the byte 1: the pieces before each of them.
std::vector<std::string> Entries(const std::string& text) {
  std::vector<std::string> parts = Split(text, '\x01');
  EXPECT_EQ(parts.back(), "") << "text must end with an entry end";
  parts.pop_back();
  return parts;
}

// Stops in the line hook at one line and queries the paused function.
class BreakAtLine : public EScriptVMCallbackHandler {
public:
  BreakAtLine(int iLine, const char* szQuery) : m_iLine(iLine), m_szQuery(szQuery) {}
  void StartScriptRun(const char*) override {}
  void EndScriptRun(const char*) override {}
  void StartRunningAllScripts() override {}
  void EndRunningAllScripts() override {}
  void LuaLineHook(lua_State*, lua_Debug* ar) override {
    if (ar->currentline != m_iLine || m_bDone) return;
    m_bDone = true;
    int iLength = 0;
    char* p = s_pVM->DebugGetLuaTableEntries(m_szQuery, iLength);
    m_Answer = p ? p : "(null)";
    free(p);
    char* pStack = s_pVM->GetCallStack(0);
    m_Stack = pStack ? pStack : "(null)";
    free(pStack);
  }
  void LuaCallHook(lua_State*, lua_Debug*) override {}

  int m_iLine;
  const char* m_szQuery;
  bool m_bDone = false;
  std::string m_Answer;
  std::string m_Stack;
};
}  // namespace

class ScriptDebugQueryTest : public ScriptVMTest {
protected:
  void SetUp() override {
    ScriptVMTest::SetUp();
    s_pVM = &vm;
    lua_register(L, "Query", Query);
    lua_register(L, "CallStack", CallStack);
    WriteClass("test.Person", "");
    m_pAnn = vm.CreateScriptObject("test.Person", "Ann", nullptr, nullptr, false, false, true, false);
    ASSERT_NE(m_pAnn, nullptr);
    m_Lines.clear();
  }
  void TearDown() override {
    s_pVM = nullptr;
    ScriptVMTest::TearDown();
  }
  // The answer to a query made by the engine, or "(null)".
  std::string Ask(const char* szQuery, int* pLength = nullptr) {
    int iLength = -1;
    char* p = vm.DebugGetLuaTableEntries(szQuery, iLength);
    if (pLength) *pLength = iLength;
    std::string answer = p ? std::string(p) : "(null)";
    if (p) {
      EXPECT_EQ(iLength, (int)answer.size() + 1) << szQuery;
    }
    free(p);
    return answer;
  }
  std::vector<std::string> KeysInTraversalOrder(const char* szExpr) {
    std::vector<std::string> keys;
    Run((std::string("keysInOrder = {} local k = next(") + szExpr +
         ", nil) while k do tinsert(keysInOrder, k) k = next(" + szExpr + ", k) end")
            .c_str());
    int n = (int)Num("getn(keysInOrder)");
    for (int i = 1; i <= n; ++i) {
      lua_getglobal(L, "keysInOrder");
      lua_rawgeti(L, -1, i);
      keys.push_back(lua_tostring(L, -1));
      lua_pop(L, 2);
    }
    return keys;
  }

  EScriptObject* m_pAnn = nullptr;
  ScopedConsole m_Console;
};

TEST_F(ScriptDebugQueryTest, EntriesOfAnObjectAndOfAPathInTraversalOrder) {
  Run("gLSO.Ann.Health = 3");
  std::vector<std::string> entries = Entries(Ask("Ann"));
  EXPECT_NE(std::find(entries.begin(), entries.end(), "Name='Ann'"), entries.end());
  EXPECT_NE(std::find(entries.begin(), entries.end(), "Health=3.000000"), entries.end());

  Run("gLSO.Ann.stats = { Name = 'Ann', Health = 3, inner = {}, act = function() end, label = 'a=b' }");
  entries = Entries(Ask("Ann.stats"));
  std::vector<std::string> keys = KeysInTraversalOrder("gLSO.Ann.stats");
  ASSERT_EQ(entries.size(), keys.size());
  for (size_t i = 0; i < keys.size(); ++i) {
    const std::string& key = keys[i];
    std::string expected = key == "Name"     ? "Name='Ann'"
                           : key == "Health" ? "Health=3.000000"
                           : key == "inner"  ? "inner={Table}"
                           : key == "act"    ? "act={Function}"
                                             : "label='a=b'";
    EXPECT_EQ(entries[i], expected);
  }
  // Deeper paths, with array steps.
  Run("gLSO.Ann.bag = { { colour = 'red' }, { colour = 'blue', size = 0.5 } }");
  EXPECT_EQ(Ask("Ann.bag.[1]"), "colour='red'\x01");
  entries = Entries(Ask("Ann.bag.[2]"));
  std::sort(entries.begin(), entries.end());
  EXPECT_EQ(entries, (std::vector<std::string>{"colour='blue'", "size=0.500000"}));

  int iLength = -1;
  Run("gLSO.Ann.empty = {}");
  EXPECT_EQ(Ask("Ann.empty", &iLength), "");
  EXPECT_EQ(iLength, 1);
}

TEST_F(ScriptDebugQueryTest, ArraysListTheirElementsAndSkipHoles) {
  Run("gLSO.Ann.list = {} gLSO.Ann.list[1] = 'first' gLSO.Ann.list[3] = 30");
  EXPECT_EQ(Ask("Ann.list"), "[1]='first'\x01[3]=30.000000\x01");
  Run("gLSO.Ann.zero = { 'one'; [0] = 'nought' }");
  EXPECT_EQ(Ask("Ann.zero"), "[0]='nought'\x01[1]='one'\x01");
}

TEST_F(ScriptDebugQueryTest, KeysOfEveryKindHaveAText) {
  int iTop = lua_gettop(L);
  char szOut[256];
  struct Case {
    const char* szSetUp;  // pushes key and value
    const char* szPrefix;
    const char* szSuffix;
  } cases[] = {
      {"return 2.5, 'x'", "2.5='x'", ""},
      {"return {}, 1", "0x", "=1.000000"},
      {"return print, 'p'", "0x", "='p'"},
      {"return 'k', print", "k={Function}", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.szSetUp);
    ASSERT_EQ(lua_dostring(L, c.szSetUp), 0);
    ASSERT_EQ(lua_gettop(L), iTop + 2);
    int iKeyType = lua_type(L, -2);
    int n = vm.DebugParseLuaTable(szOut, sizeof(szOut));
    std::string entry(szOut);
    EXPECT_EQ(n, (int)entry.size());
    EXPECT_EQ(entry.compare(0, strlen(c.szPrefix), c.szPrefix), 0) << entry;
    std::string suffix = std::string(c.szSuffix) + "\x01";
    ASSERT_GE(entry.size(), suffix.size());
    EXPECT_EQ(entry.substr(entry.size() - suffix.size()), suffix);
    EXPECT_EQ(lua_type(L, -2), iKeyType) << "the key keeps its type";
    EXPECT_EQ(lua_gettop(L), iTop + 2);
    lua_settop(L, iTop);
  }
  // A short buffer is cut and closed; the result is the full length.
  lua_pushstring(L, "key");
  lua_pushstring(L, "a longer value");
  EXPECT_EQ(vm.DebugParseLuaTable(szOut, 8), (int)strlen("key='a longer value'\x01"));
  EXPECT_STREQ(szOut, "key='a ");
  lua_settop(L, iTop);
}

TEST_F(ScriptDebugQueryTest, LongTablesAreCutAtTheBuffersEnd) {
  Run("gLSO.Ann.big = {} for i = 1, 300 do gLSO.Ann.big[i] = strrep('x', 1000) end");
  int iLength = 0;
  std::string answer = Ask("Ann.big", &iLength);
  EXPECT_EQ(iLength, 65536);
  EXPECT_EQ(answer.size(), 65535u);
  EXPECT_EQ(answer.compare(0, 8, "[1]='xxx"), 0);
}

TEST_F(ScriptDebugQueryTest, FailedQueriesAnswerNullAndLeaveTheStack) {
  Run("gLSO.Ann.Health = 3 gLSO.Ann.list = { {} }");
  int iTop = lua_gettop(L);
  struct Case {
    const char* szQuery;
    const char* szLine;
  } cases[] = {
      {"Nobody", "ScriptVM Error: Couldn't find script 'Nobody' for GetLuaTableEntries"},
      {"", "ScriptVM Error: Couldn't find script '' for GetLuaTableEntries"},
      {"Ann.Health", "Not Valid 'Ann.Health'"},
      {"Ann.Health.deeper", "Not Valid 'Ann.Health.deeper'"},
      {"Ann.missing", "Not Valid 'Ann.missing'"},
      {"Ann.list.[2]", "Not Valid 'Ann.list.[2]'"},
      {"Ann.list.[-1]", "Not Valid 'Ann.list.[-1]'"},
      {"local:0", "Error: Invalid local stack level '0'"},  // no script running
      {"local:1:2", "Error: Invalid local stack specifier 'local:1:2'"},
      {"local:-1", "Error: Invalid local stack specifier 'local:-1'"},
      {"local:x.y", "Error: Invalid local stack specifier 'local:x'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.szQuery);
    m_Lines.clear();
    int iLength = 99;
    char* p = vm.DebugGetLuaTableEntries(c.szQuery, iLength);
    EXPECT_EQ(p, nullptr);
    free(p);
    EXPECT_EQ(iLength, 0);
    EXPECT_EQ(lua_gettop(L), iTop);
    EXPECT_EQ(CountLines(c.szLine), 1) << AllLines();
  }
  // A long object name is no trouble.
  std::string longName(300, 'n');
  m_Lines.clear();
  EXPECT_EQ(Ask(longName.c_str()), "(null)");
  EXPECT_EQ(CountLines("Couldn't find script '" + longName + "'"), 1);
}

TEST_F(ScriptDebugQueryTest, LocalsOfACallLevelByName) {
  Run("function Inspect(query)\n"
      "  local count = 1\n"
      "  local name = 'two'\n"
      "  local count = 3\n"
      "  local nested = { deep = 'yes' }\n"
      "  Query(query)\n"
      "end");
  struct Case {
    const char* szQuery;
    std::vector<std::string> entries;  // sorted
  } cases[] = {
      // Level 0 is the native itself: it has no script locals.
      {"local:0", {}},
      {"local:1", {"count=3.000000", "name='two'", "nested={Table}", "query='local:1'"}},
      {"local:1.nested", {"deep='yes'"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.szQuery);
    s_bAnswered = false;
    ASSERT_TRUE(vm.CallFunctionf("Inspect", "s", c.szQuery));
    ASSERT_TRUE(s_bAnswered);
    std::vector<std::string> entries = Entries(s_Answer);
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, c.entries);
    EXPECT_EQ(s_iAnswerLength, (int)s_Answer.size() + 1);
  }
  m_Lines.clear();
  s_bAnswered = true;
  ASSERT_TRUE(vm.CallFunctionf("Inspect", "s", "local:9"));
  EXPECT_FALSE(s_bAnswered);
  EXPECT_EQ(CountLines("Error: Invalid local stack level '9'"), 1);
}

TEST_F(ScriptDebugQueryTest, CallStackNamesEachLevelWithSourceAndLine) {
  WriteFile("scripts/cs.lua",
            "function f()\n"
            "  CallStack(1)\n"
            "end\n"
            "f()\n");
  s_bAnswered = false;
  vm.DoFile("scripts/cs.lua", false);
  ASSERT_TRUE(s_bAnswered);
  // Head, then the entries separated by the byte 3.
  std::vector<std::string> head = Split(s_Answer, '\x02');
  ASSERT_EQ(head.size(), 2u) << s_Answer;
  EXPECT_EQ(head[0], "2");
  std::vector<std::string> levels = Split(head[1], '\x03');
  ASSERT_EQ(levels.size(), 2u);
  std::vector<std::string> first = Split(levels[0], '\x01');
  std::vector<std::string> second = Split(levels[1], '\x01');
  ASSERT_EQ(first.size(), 3u);
  ASSERT_EQ(second.size(), 3u);
  EXPECT_EQ(first[0], "f,global");
  EXPECT_EQ(first[2], "2");
  EXPECT_EQ(second[0], "Unknown,(unknown)");
  EXPECT_EQ(second[2], "4");
  for (const std::string& source : {first[1], second[1]}) {
    EXPECT_EQ(source.front(), '@') << source;
    EXPECT_NE(source.find("scripts/cs.lua"), std::string::npos) << source;
  }

  // No frame at the level: null.
  WriteFile("scripts/deep.lua", "CallStack(5)\n");
  s_bAnswered = true;
  vm.DoFile("scripts/deep.lua", false);
  EXPECT_FALSE(s_bAnswered);
  EXPECT_EQ(vm.GetCallStack(0), nullptr);  // nothing running
  EXPECT_EQ(vm.GetCallStack(-1), nullptr);
}

TEST_F(ScriptDebugQueryTest, PausedFunctionAnswersAtLevelZero) {
  BreakAtLine hook(4, "local:0");
  vm.SetScriptVMCallbackHandler(&hook);
  vm.DebugInstallLineHook(true);
  Run("function Paused()\n"
      "  local hits = 7\n"
      "  local who = 'me'\n"
      "  hits = hits + 1\n"
      "end\n"
      "Paused()\n");
  vm.DebugInstallLineHook(false);
  vm.SetScriptVMCallbackHandler(nullptr);
  ASSERT_TRUE(hook.m_bDone);
  std::vector<std::string> entries = Entries(hook.m_Answer);
  std::sort(entries.begin(), entries.end());
  EXPECT_EQ(entries, (std::vector<std::string>{"hits=7.000000", "who='me'"}));
  // The paused function, then the chunk that called it (a text run here,
  // whose source is the text itself).
  std::string expectedStart = "2\x02Paused,global\x01" "function Paused()";
  EXPECT_EQ(hook.m_Stack.compare(0, expectedStart.size(), expectedStart), 0) << hook.m_Stack;
  EXPECT_NE(hook.m_Stack.find("\x01" "4\x03Unknown,(unknown)\x01"), std::string::npos) << hook.m_Stack;
}
