// The host's life cycle, tags and tag methods, and the error handler.
#include "ScriptDebugScope.h"
#include "ScriptVMTestUtil.h"

class ScriptVMLifecycleTest : public ScriptVMTest {};

TEST_F(ScriptVMLifecycleTest, ShutdownAndInitialiseAgainLeaveNothingBehind) {
  WriteClass("test.Sleeper", "  o.initialState = function(self) self.t = { 1, 2, 3 } Yield() end");
  for (int i = 0; i < 5; ++i)
    vm.CreateScriptObject("test.Sleeper", ("s" + std::to_string(i)).c_str(), nullptr, nullptr, false, false, true,
                          false);
  vm.QueueConsoleCommand("x = 1");
  Frames(1);
  vm.QueueConsoleCommand("never = 1");
  EXPECT_GT(EScriptVM::GetHostBytesInUse(), 0);
  EXPECT_EQ(vm.GetNumUsedThreads(), 5);

  vm.Shutdown();
  EXPECT_EQ(EScriptVM::GetHostBytesInUse(), 0);
  EXPECT_EQ(EScriptVM::GetHostAllocsInUse(), 0);
  EXPECT_EQ(CountLines("Script not removed yet: s0"), 1);

  vm.Initialise();
  L = vm.GetGlobalState();
  EXPECT_EQ(vm.GetScriptList().GetCount(), 0);
  EXPECT_EQ(vm.GetMemoryCap(), 60.0f);
  EXPECT_EQ(vm.GetNumBaseClasses(), 0);
  EXPECT_EQ(Num("next(gLSO) == nil and 1 or 0"), 1.0f);
  EXPECT_EQ(Num("type(ControlTable.button_pressed) == 'table' and type(ControlTable.button_released) == 'table'"
                " and type(ControlTable.button_state) == 'table' and 1 or 0"),
            1.0f);
  EXPECT_EQ(Num("x or 0"), 0.0f);
  // The classes load again in the new interpreter.
  EXPECT_NE(vm.CreateScriptObject("test.Sleeper", "again", nullptr, nullptr, false, false, true, false), nullptr);
}

TEST_F(ScriptVMLifecycleTest, InheritedKeysWalkTheParentChainWithoutCopying) {
  WriteClass("test.Grand", "  o.fromGrand = 7");
  WriteClass("test.Mid", "  o.fromMid = 8", "test.Grand");
  WriteClass("test.Leaf", "", "test.Mid");
  EScriptObject* o = vm.CreateScriptObject("test.Leaf", "leaf", nullptr, nullptr, false, false, true, false);
  ASSERT_NE(o, nullptr);
  EXPECT_EQ(Num("gLSO.leaf.fromGrand"), 7.0f);
  EXPECT_EQ(Num("gLSO.leaf.fromMid"), 8.0f);
  EXPECT_EQ(Num("rawget(gLSO.leaf, 'fromGrand') == nil and 1 or 0"), 1.0f);
  EXPECT_EQ(Num("gLSO.leaf.missing == nil and 1 or 0"), 1.0f);
  // The object's own value hides the inherited one.
  Run("gLSO.leaf.fromMid = 3");
  EXPECT_EQ(Num("gLSO.leaf.fromMid"), 3.0f);
  EXPECT_TRUE(o->IsA("test.Leaf") == false);  // no IsA method: false
}

TEST_F(ScriptVMLifecycleTest, TablesInsideABaseInstanceAreReadOnly) {
  ScopedDebugManager debugManager;  // the refusals are reported to the debugger
  WriteClass("test.Shared", "  o.settings = { speed = 5, nested = { depth = 1 } }");
  ASSERT_NE(vm.CreateScriptObject("test.Shared", "sh", nullptr, nullptr, false, false, true, false), nullptr);
  Run("gLSO.sh.settings.speed = 99");
  EXPECT_EQ(Num("gLSO.sh.settings.speed"), 5.0f);
  EXPECT_EQ(CountLines("HardBreak: Tried to set value in shared base class table"), 1);
  Run("gLSO.sh.settings.nested.depth = 2");
  EXPECT_EQ(Num("gLSO.sh.settings.nested.depth"), 1.0f);
  EXPECT_EQ(CountLines("Tried to set value in shared base class table"), 2);
  // The object's own tables stay writable.
  Run("gLSO.sh.mine = { a = 1 } gLSO.sh.mine.a = 2");
  EXPECT_EQ(Num("gLSO.sh.mine.a"), 2.0f);
}

TEST_F(ScriptVMLifecycleTest, ErrorHandlerSparesTheLevelScriptAndRuzi) {
  WriteClass("test.Plain", "");
  struct Case {
    const char* name;
    bool bProtected;
    bool removed;
    const char* line;
  } cases[] = {
      {"LevelScript", false, false, "Got Error in LevelScript script... Will not remove"},
      {"Ruzi", false, false, "Got Error in Ruzi's script... Will not remove"},
      {"Guarded", true, false, "Error in protected script Guarded"},
      {"Other", false, true, "-- Lua ERROR"},
  };
  for (const Case& c : cases) {
    EScriptObject* o = vm.CreateScriptObject("test.Plain", c.name, nullptr, nullptr, false, c.bProtected, true, false);
    ASSERT_NE(o, nullptr);
    EXPECT_FALSE(vm.RunLuaCommands("error('oops')", o, nullptr, 0));
    EXPECT_GE(CountLines(c.line), 1) << c.name << "\n" << AllLines();
    EXPECT_EQ(o->IsBeingRemoved(), c.removed) << c.name;
  }
  EXPECT_GE(CountLines("-- Lua ERROR: oops"), 4);
}

TEST_F(ScriptVMLifecycleTest, CleanUpCallsTheLevelEndHookAndTrimsThreads) {
  Run("function onEndLevel_static() return 3, 10 end");
  vm.CleanUp();
  EXPECT_EQ(CountLines("Removed 3/10 lso refs"), 1);
}

TEST_F(ScriptVMLifecycleTest, HeapAboveTheCapRaisesItOnceThenStops) {
  EXPECT_TRUE(Run("mb = 'x' for i = 1, 20 do mb = mb .. mb end big = {} for i = 1, 62 do big[i] = mb .. i end"));
  Frames(1);
  EXPECT_EQ(CountLines("Forcing in-level Lua garbage collection. mem exceeded 60 Megs"), 1);
  EXPECT_EQ(CountLines("Upping max to 90 Megs so game can still run"), 1);
  EXPECT_EQ(vm.GetMemoryCap(), 90.0f);
  // The free-memory estimate (30 MB) never drops below the watermark.
  EXPECT_EQ(vm.GetFreeMemoryWatermark(), 2097152u);
  EXPECT_EQ(CountLines("free memory dropped below"), 0);
  Frames(1);
  EXPECT_EQ(CountLines("Upping max"), 1);

  GTEST_FLAG_SET(death_test_style, "threadsafe");
  setenv("SCRIPTVM_TEST_ECHO", "1", 1);
  EXPECT_DEATH(
      {
        Run("for i = 63, 92 do big[i] = mb .. i end");
        Frames(1);
      },
      "mem exceeded 90 Megs(.|\n)*Ran out of lua memory");
  unsetenv("SCRIPTVM_TEST_ECHO");
  Run("big = nil mb = nil");
}
