// Calls from engine code into scripts: format letters, methods, Lua text,
// the caller's name, hard breaks and the call-stack dump.
#include "ScriptDebugScope.h"
#include "ScriptVMTestUtil.h"
#include "VERirezo/Entity.h"
#include "VERirezo/MeshEntity.h"

namespace {
std::string s_CallersName;
int WhoCalls(lua_State* L) {
  s_CallersName = EScriptVM::GetCallersName(L);
  return 0;
}
EScriptObject* s_pRunningObject = nullptr;
EScriptThread* s_pRunningThread = reinterpret_cast<EScriptThread*>(1);
int RecordRunning(lua_State* L) {
  s_pRunningObject = L->scriptObject;
  s_pRunningThread = L->scriptThread;
  return 0;
}
int Dump(lua_State* L) {
  Lua_DoCallStackDump(L, (int)lua_tonumber(L, 1), (int)lua_tonumber(L, 2));
  return 0;
}
}  // namespace

class ScriptCallTest : public ScriptVMTest {
protected:
  void SetUp() override {
    ScriptVMTest::SetUp();
    lua_register(L, "WhoCalls", WhoCalls);
    lua_register(L, "RecordRunning", RecordRunning);
    lua_register(L, "Dump", Dump);
    s_CallersName.clear();
  }
  EScriptObject* Make(const char* szClass, const char* szName) {
    return vm.CreateScriptObject(szClass, szName, nullptr, nullptr, false, false, true, false);
  }

  ScopedConsole m_Console;
};

TEST_F(ScriptCallTest, ArgumentLettersPushTheirValues) {
  WriteClass("test.Thing", "");
  EScriptObject* pObject = Make("test.Thing", "thing");
  ASSERT_NE(pObject, nullptr);
  EMeshEntity withScript(nullptr, "withScript");
  ASSERT_TRUE(pObject->AttachToEntity(&withScript));
  EMeshEntity withoutScript(nullptr, "withoutScript");
  Run("someGlobal = 'global value'");
  Run("function Take(...) got = arg end");

  int iTop = lua_gettop(L);
  ASSERT_TRUE(vm.CallFunctionf("Take", "Ibdfeeinosvsee", 0xC0FFEE42u, 5, 2.5, 3.25, &withScript, &withoutScript, -42,
                               12345, pObject, "text", "someGlobal", (const char*)nullptr, (EEntity*)nullptr,
                               &withScript));
  EXPECT_EQ(lua_gettop(L), iTop);
  EXPECT_EQ(Num("got.n"), 14.0f);
  lua_getglobal(L, "got");
  lua_rawgeti(L, -1, 1);
  EXPECT_EQ(lua_toid(L, -1), 0xC0FFEE42u);
  lua_settop(L, iTop);
  EXPECT_EQ(Num("got[2]"), 1.0f);  // b: any non-zero int is 1
  EXPECT_EQ(Num("got[3]"), 2.5f);
  EXPECT_EQ(Num("got[4]"), 3.25f);
  EXPECT_EQ(Num("got[5] == gLSO.thing and 1 or 0"), 1.0f);
  EXPECT_EQ(Num("got[6] == nil and 1 or 0"), 1.0f);  // entity without a script object
  EXPECT_EQ(Num("got[7]"), -42.0f);
  // n takes one value and pushes nil; the letters after it still read
  // their own arguments.
  EXPECT_EQ(Num("got[8] == nil and 1 or 0"), 1.0f);
  EXPECT_EQ(Num("got[9] == gLSO.thing and 1 or 0"), 1.0f);
  EXPECT_EQ(Num("got[10] == 'text' and 1 or 0"), 1.0f);
  EXPECT_EQ(Num("got[11] == 'global value' and 1 or 0"), 1.0f);
  EXPECT_EQ(Num("got[12] == nil and 1 or 0"), 1.0f);  // null string
  EXPECT_EQ(Num("got[13] == nil and 1 or 0"), 1.0f);  // null entity
  EXPECT_EQ(Num("got[14] == gLSO.thing and 1 or 0"), 1.0f);

  // A null object and a null global name push nil.
  ASSERT_TRUE(vm.CallFunctionf("Take", "ovb", (EScriptObject*)nullptr, (const char*)nullptr, 0));
  EXPECT_EQ(Num("got.n"), 3.0f);
  EXPECT_EQ(Num("got[1] == nil and got[2] == nil and got[3] == 0 and 1 or 0"), 1.0f);
  // A null format calls without arguments.
  ASSERT_TRUE(vm.CallFunctionf("Take", nullptr));
  EXPECT_EQ(Num("got.n"), 0.0f);
  pObject->DetachFromEntity();
}

TEST_F(ScriptCallTest, ResultLettersStoreInOrder) {
  WriteClass("test.Thing", "");
  EScriptObject* pObject = Make("test.Thing", "thing");
  EMeshEntity entity(nullptr, "thingEntity");
  ASSERT_TRUE(pObject->AttachToEntity(&entity));

  Run("function Pair() return 3, 4 end");
  int a = 0, b = 0;
  ASSERT_TRUE(vm.CallFunctionf("Pair", "/ii", &a, &b));
  EXPECT_EQ(a, 3);
  EXPECT_EQ(b, 4);

  // The id comes back from its raw bits; i truncates toward zero.
  int iTop = lua_gettop(L);
  Run("function Echo(x) return x end");
  int iId = 0;
  ASSERT_TRUE(vm.CallFunctionf("Echo", "I/I", 0x89ABCDEFu, &iId));
  EXPECT_EQ((uint32_t)iId, 0x89ABCDEFu);

  Run("function Many() return 2, 0, 1.5, gLSO.thing, 0.25, -7.9, 'thing', 'nobody', nil end");
  bool b1 = false, b2 = true;
  double d = 0;
  EEntity* pEntity = nullptr;
  float f = 0;
  int i = 0;
  EScriptObject* pByName = nullptr;
  EScriptObject* pUnknown = reinterpret_cast<EScriptObject*>(1);
  EEntity* pNone = reinterpret_cast<EEntity*>(1);
  ASSERT_TRUE(vm.CallFunctionf("Many", "/bbdefioOe", &b1, &b2, &d, &pEntity, &f, &i, &pByName, &pUnknown, &pNone) ==
              false);  // O is no result letter: the results before it stay stored
  EXPECT_TRUE(b1);
  EXPECT_FALSE(b2);
  EXPECT_EQ(d, 1.5);
  EXPECT_EQ(pEntity, &entity);
  EXPECT_EQ(f, 0.25f);
  EXPECT_EQ(i, -7);
  EXPECT_EQ(pByName, pObject);
  EXPECT_EQ(CountLines("Unknown return format char in CallFunction: 'O'"), 1);
  EXPECT_EQ(pNone, reinterpret_cast<EEntity*>(1));  // after the bad letter: untouched

  ASSERT_TRUE(vm.CallFunctionf("Many", "/bbdefioo", &b1, &b2, &d, &pEntity, &f, &i, &pByName, &pUnknown));
  EXPECT_EQ(pUnknown, nullptr);  // an unknown name gives null without a trace
  EXPECT_EQ(CountLines("Could not find"), 0);
  EXPECT_EQ(lua_gettop(L), iTop);
  pObject->DetachFromEntity();
}

TEST_F(ScriptCallTest, FailuresLeaveTheStackAndReportAsTheyShould) {
  Run("calls = 0 function Count() calls = calls + 1 return 1 end "
      "function Fails() error('broken') end notAFunction = 5");
  int iTop = lua_gettop(L);
  struct Case {
    const char* szName;
    const char* szFormat;
    const char* szTrace;  // expected line, or null for no line at all
    int iCalls;           // how often Count ran
  } cases[] = {
      {"missingFunction", "", nullptr, 0},
      {"notAFunction", "i", nullptr, 0},
      {"Count", "ix", "Unknown arg format char in CallFunction: 'x'", 0},
      {"Fails", "", "-- Lua ERROR", 0},
      {"Count", "i/iz", "Unknown return format char in CallFunction: 'z'", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.szName) + " '" + c.szFormat + "'");
    m_Lines.clear();
    Run("calls = 0");
    int iResult = -1, iSecond = -1;  // every format reads at most one argument first
    EXPECT_FALSE(vm.CallFunctionf(c.szName, c.szFormat, 1, &iResult, &iSecond));
    EXPECT_EQ(lua_gettop(L), iTop);
    EXPECT_EQ(Num("calls"), (float)c.iCalls);
    if (c.szTrace)
      EXPECT_EQ(CountLines(c.szTrace), 1) << AllLines();
    else
      EXPECT_TRUE(m_Lines.empty()) << AllLines();
  }
}

TEST_F(ScriptCallTest, FormatLongerThanTheStackIsRefusedUntouched) {
  Run("calls = 0 function Count() calls = calls + 1 end");
  int iTop = lua_gettop(L);
  std::string format(5000, 'n');
  EXPECT_FALSE(vm.CallFunctionf("Count", format.c_str()));
  EXPECT_EQ(lua_gettop(L), iTop);
  EXPECT_EQ(Num("calls"), 0.0f);
  EXPECT_EQ(CountLines("CallFunction: no stack space for 5000 format letters"), 1);
  // The host is still usable.
  EXPECT_TRUE(vm.CallFunctionf("Count", ""));
  EXPECT_EQ(Num("calls"), 1.0f);
}

TEST_F(ScriptCallTest, MethodsAreFoundThroughTheClassAndGetTheTable) {
  WriteClass("test.Animal", "  o.Speak = function(self, n) self.spoken = n return n * 2 end");
  WriteClass("test.Dog", "  o.kind = 'dog'", "test.Animal");
  EScriptObject* pDog = Make("test.Dog", "rex");
  ASSERT_NE(pDog, nullptr);
  EXPECT_EQ(Num("rawget(gLSO.rex, 'Speak') == nil and 1 or 0"), 1.0f);

  int iTop = lua_gettop(L);
  int iDoubled = 0;
  EXPECT_TRUE(pDog->CallMethodf("Speak", "i/i", 21, &iDoubled));
  EXPECT_EQ(iDoubled, 42);
  EXPECT_EQ(Num("gLSO.rex.spoken"), 21.0f);

  m_Lines.clear();
  EXPECT_FALSE(pDog->CallMethodf("Bark", ""));
  EXPECT_TRUE(m_Lines.empty()) << AllLines();
  EXPECT_EQ(lua_gettop(L), iTop);

  // A removed object's table is gone: the call fails quietly.
  vm.RemoveScript(pDog, false);
  EXPECT_FALSE(pDog->CallMethodf("Speak", "i", 1));
  EXPECT_EQ(lua_gettop(L), iTop);
  vm.DestroyDeletedScriptObjects();
}

TEST_F(ScriptCallTest, RunLuaCommandsSetsSelfAndReadsANumberResult) {
  WriteClass("test.Thing", "");
  EScriptObject* pObject = Make("test.Thing", "runner");
  int iTop = lua_gettop(L);
  lua_pushstring(L, "outer self");
  lua_setglobal(L, "self");
  // A run that assigns self itself does not change it for the caller.
  EXPECT_TRUE(Run("self = 'inner self'"));

  // The number result is 0 for anything but a returned number, failures included.
  const struct {
    const char* szCode;
    bool bOk;
    float fResult;
  } kCases[] = {
      {"return 5", true, 5.0f},
      {"x = 1", true, 0.0f},
      {"return 'five'", true, 0.0f},
      {"return 5 +", false, 0.0f},
      {"error('no') return 3", false, 0.0f},
  };
  float f = -1;
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.szCode);
    f = -1;
    EXPECT_EQ(vm.RunLuaCommands(c.szCode, nullptr, &f, 0), c.bOk);
    EXPECT_EQ(f, c.fResult);
  }
  // A buffer with a length runs only that many bytes.
  const char szBuffer[] = {'r', 'e', 't', 'u', 'r', 'n', ' ', '7', '+', '+'};
  f = -1;
  EXPECT_TRUE(vm.RunLuaCommands(szBuffer, nullptr, &f, 8));
  EXPECT_EQ(f, 7.0f);

  // self is the object's table during the run and nil without an object;
  // the running object is the given one and there is no running thread.
  s_pRunningObject = nullptr;
  EXPECT_TRUE(vm.RunLuaCommands("RecordRunning() seen = self.Name", pObject, nullptr, 0));
  EXPECT_EQ(Num("seen == 'runner' and 1 or 0"), 1.0f);
  EXPECT_EQ(s_pRunningObject, pObject);
  EXPECT_EQ(s_pRunningThread, nullptr);
  EXPECT_TRUE(vm.RunLuaCommands("sawNil = (self == nil) and 1 or 0", nullptr, nullptr, 0));
  EXPECT_EQ(Num("sawNil"), 1.0f);
  EXPECT_EQ(L->scriptObject, nullptr);

  // (Read from here: every run of text has its own self.)
  lua_getglobal(L, "self");
  EXPECT_STREQ(lua_tostring(L, -1), "outer self");
  lua_pop(L, 1);
  EXPECT_EQ(lua_gettop(L), iTop);
}

TEST_F(ScriptCallTest, CallersNameIsTheNearestSelfWithAValue) {
  WriteClass("test.Thing",
             "  o.Direct = function(self) WhoCalls() end\n"
             "  o.ViaGlobal = function(self) Helper() end\n"
             "  o.NilSelfInside = function(self) NilSelf() end");
  ASSERT_NE(Make("test.Thing", "Caller"), nullptr);
  Run("function Helper() WhoCalls() end "
      "function NilSelf() local self = nil WhoCalls() end "
      "function NumberSelf() local self = 3 WhoCalls() end "
      "function NamelessSelf() local self = {} WhoCalls() end "
      "function NumberName() local self = { Name = 12 } WhoCalls() end");
  struct Case {
    const char* szCode;
    const char* szExpected;
    bool bError;
  } cases[] = {
      {"gLSO.Caller:Direct()", "Caller", false},
      {"gLSO.Caller:ViaGlobal()", "Caller", false},     // found one level further out
      {"gLSO.Caller:NilSelfInside()", "Caller", false},  // a nil self is passed over
      {"Helper()", "Engine", false},
      {"NamelessSelf()", "Engine", false},
      {"NumberName()", "Engine", false},
      {"NumberSelf()", "Engine", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.szCode);
    m_Lines.clear();
    s_CallersName = "unset";
    int iTop = lua_gettop(L);
    ASSERT_TRUE(Run(c.szCode));
    EXPECT_EQ(s_CallersName, c.szExpected);
    EXPECT_EQ(lua_gettop(L), iTop);
    EXPECT_EQ(CountLines("Error getting value of 'self' in GetCallersName"), c.bError ? 1 : 0);
    EXPECT_EQ(CountLines("* Stack Trace"), c.bError ? 1 : 0);
  }
  EXPECT_STREQ(EScriptVM::GetCallersName(L), "Engine");  // no script running
}

TEST_F(ScriptCallTest, HardBreakReportsOnlyWithADebugManager) {
  int iTop = lua_gettop(L);
  m_Lines.clear();
  vm.HardBreak("nobody listens", nullptr);
  EXPECT_TRUE(m_Lines.empty()) << AllLines();

  ScopedDebugManager debugManager;
  vm.HardBreak("broken level", nullptr);
  EXPECT_EQ(CountLines("HardBreak: broken level"), 1);
  // Nobody takes it (no debugger attached): the call stack goes to the
  // console.
  EXPECT_EQ(CountLines("** No Stack Trace Available"), 1);

  // Without a message the string on top of the host's stack is taken; a
  // number there is not a message and stays a number.
  m_Lines.clear();
  lua_pushstring(L, "from the stack");
  vm.HardBreak(nullptr, nullptr);
  lua_pushnumber(L, 12);
  vm.HardBreak(nullptr, nullptr);
  EXPECT_EQ(lua_type(L, -1), LUA_TNUMBER);
  lua_settop(L, iTop);
  vm.HardBreak(nullptr, nullptr);  // an empty stack has no top to read
  EXPECT_EQ(CountLines("HardBreak: from the stack"), 1);
  EXPECT_EQ(CountLines("HardBreak: "), 3);
  EXPECT_EQ(lua_gettop(L), iTop);

  // From a script: the read-only tag method reports with its own state.
  m_Lines.clear();
  WriteClass("test.Shared", "  o.settings = { speed = 5 }");
  ASSERT_NE(Make("test.Shared", "shared"), nullptr);
  Run("function Poke() gLSO.shared.settings.speed = 1 end");
  EXPECT_TRUE(vm.CallFunctionf("Poke", ""));
  EXPECT_EQ(CountLines("HardBreak: Tried to set value in shared base class table"), 1);
  EXPECT_EQ(CountLines("Poke"), 1) << AllLines();
}

TEST_F(ScriptCallTest, CallStackDumpNamesFunctionsLinesAndFiles) {
  WriteFile("scripts/stack.lua",
            "function Inner(first, count) Dump(first, count) end\n"
            "function Outer(first, count)\n"
            "  Inner(first, count)\n"
            "end\n");
  vm.DoFile("scripts/stack.lua", false);
  ASSERT_EQ(Num("Outer ~= nil and 1 or 0"), 1.0f);

  m_Lines.clear();
  ASSERT_TRUE(vm.CallFunctionf("Outer", "ii", 0, 0));
  ASSERT_GE(m_Lines.size(), 3u) << AllLines();
  EXPECT_EQ(m_Lines[0], "* Stack Trace");
  EXPECT_EQ(m_Lines[1], "1: Inner                     (line    1, file 'stack.lua') (global)");
  EXPECT_EQ(m_Lines[2], "2: Outer                     (line    3, file 'stack.lua') (global)");

  // A count stops the dump; a later first level skips the inner frames.
  m_Lines.clear();
  ASSERT_TRUE(vm.CallFunctionf("Outer", "ii", 0, 1));
  EXPECT_EQ(AllLines(), "* Stack Trace\n1: Inner                     (line    1, file 'stack.lua') (global)\n");
  m_Lines.clear();
  ASSERT_TRUE(vm.CallFunctionf("Outer", "ii", 1, 1));
  EXPECT_EQ(AllLines(), "* Stack Trace\n2: Outer                     (line    3, file 'stack.lua') (global)\n");
  // Nothing beyond the stack: only the level-1 dump says so.
  m_Lines.clear();
  ASSERT_TRUE(vm.CallFunctionf("Outer", "ii", 50, 0));
  EXPECT_EQ(AllLines(), "* Stack Trace\n");
  m_Lines.clear();
  Lua_DoCallStackDump(L, 0, 0);
  EXPECT_EQ(AllLines(), "* Stack Trace\n** No Stack Trace Available\n");

  // Without a console there is nowhere to write.
  SingletonTWConsole::ShutdownConsole();
  m_Lines.clear();
  ASSERT_TRUE(vm.CallFunctionf("Outer", "ii", 0, 0));
  EXPECT_TRUE(m_Lines.empty()) << AllLines();
}
