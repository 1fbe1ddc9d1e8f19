// Script threads and the script pass: state functions as coroutines.
#include "ScriptVMTestUtil.h"

std::vector<std::string>* ScriptVMTest::s_pLines = nullptr;

namespace {
// Recurses on the machine stack without end: only the guard page stops it.
int s_iDepth = 0;
__attribute__((noinline)) int RunAway(volatile char* p) {
  volatile char buf[512];
  buf[0] = (char)s_iDepth++;
  buf[511] = p ? p[0] : 0;
  if (s_iDepth < 0) return 0;
  return RunAway(buf) + buf[1];
}
int TestRunAway(lua_State*) { return RunAway(nullptr); }
ELuaHelper s_RunAwayHelper(TestRunAway, "TestRunAwayRecursion");
}  // namespace

class ScriptThreadTest : public ScriptVMTest {};

TEST_F(ScriptThreadTest, StateFunctionYieldsAndResumesOverFrames) {
  WriteClass("test.Counter",
             "  o.initialState = function(self)\n"
             "    self.a = (self.a or 0) + 1\n"
             "    Yield()\n"
             "    self.b = (self.b or 0) + 1\n"
             "    Yield()\n"
             "    self.c = (self.c or 0) + 1\n"
             "    Yield()\n"
             "    self.d = (self.d or 0) + 1\n"
             "  end");
  EScriptObject* o = vm.CreateScriptObject("test.Counter", "c1", nullptr, nullptr, false, false, true, false);
  ASSERT_NE(o, nullptr);
  const char* expected[] = {"1 0 0 0", "1 1 0 0", "1 1 1 0", "1 1 1 1", "2 1 1 1"};
  for (int frame = 0; frame < 5; ++frame) {
    Frames(1);
    char got[64];
    snprintf(got, sizeof(got), "%g %g %g %g", Num("gLSO.c1.a or 0"), Num("gLSO.c1.b or 0"), Num("gLSO.c1.c or 0"),
             Num("gLSO.c1.d or 0"));
    EXPECT_EQ(std::string(got), expected[frame]) << "frame " << frame;
    // The slot is held while the function is suspended, returned once it ends.
    int expectedUsed = (frame == 3) ? 0 : 1;
    EXPECT_EQ(vm.GetNumUsedThreads(), expectedUsed) << "frame " << frame;
  }
}

TEST_F(ScriptThreadTest, ManyObjectsInterleaveAndAFailingOneIsRemoved) {
  WriteClass("test.Walker",
             "  o.initialState = function(self)\n"
             "    local local_count = 0\n"
             "    while 1 do\n"
             "      local_count = local_count + 1\n"
             "      self.seen = local_count\n"
             "      if self.fail and local_count == 2 then error('boom') end\n"
             "      Yield()\n"
             "    end\n"
             "  end");
  const int kObjects = 40;
  for (int i = 0; i < kObjects; ++i) {
    char name[32];
    snprintf(name, sizeof(name), "w%d", i);
    ASSERT_NE(vm.CreateScriptObject("test.Walker", name, nullptr, i == 7 ? "self.fail = 1" : nullptr, false, false,
                                    true, false),
              nullptr);
  }
  Frames(5);
  for (int i = 0; i < kObjects; ++i) {
    if (i == 7) continue;
    EXPECT_EQ(Num("gLSO.w" + std::to_string(i) + ".seen"), 5.0f) << i;
  }
  EXPECT_EQ(vm.FindScriptByName("w7"), nullptr);
  EXPECT_EQ(vm.GetScriptList().GetCount(), kObjects - 1);
  EXPECT_EQ(CountLines("Error running state for w7... removing"), 1);
  EXPECT_EQ(CountLines("Double DelayedRemoveScript of w7"), 1);
  EXPECT_EQ(vm.GetNumUsedThreads(), kObjects - 1);
}

TEST_F(ScriptThreadTest, SixtyFifthSuspendedFunctionWaitsForAFreeThread) {
  WriteClass("test.Pauser",
             "  o.initialState = function(self)\n"
             "    self.started = (self.started or 0) + 1\n"
             "    Yield()\n"
             "    self.done = (self.done or 0) + 1\n"
             "    self:SetState(nil)\n"
             "  end");
  for (int i = 0; i < 65; ++i) {
    ASSERT_NE(vm.CreateScriptObject("test.Pauser", ("p" + std::to_string(i)).c_str(), nullptr, nullptr, false, false,
                                    true, false),
              nullptr);
  }
  Frames(1);
  EXPECT_EQ(vm.GetNumUsedThreads(), 64);
  EXPECT_EQ(Num("gLSO.p64.started or 0"), 0.0f);
  EXPECT_EQ(CountLines("No free script thread for p64"), 1);
  Frames(1);
  EXPECT_EQ(Num("gLSO.p0.done"), 1.0f);
  EXPECT_EQ(Num("gLSO.p64.started"), 1.0f);
  Frames(1);
  EXPECT_EQ(Num("gLSO.p64.done"), 1.0f);
  EXPECT_EQ(vm.GetNumUsedThreads(), 0);
  EXPECT_EQ(vm.GetNumAllocatedThreads(), 1);
}

TEST_F(ScriptThreadTest, YieldOutsideAThreadReturnsAtOnce) {
  EXPECT_TRUE(Run("Yield() reached = 1"));
  EXPECT_EQ(Num("reached"), 1.0f);
  EXPECT_EQ(CountLines("Yield not allowed without a thread"), 1);
  EXPECT_EQ(CountLines("[dostring](1) Yield"), 1) << AllLines();
}

TEST_F(ScriptThreadTest, IdleThreadsAreTrimmedToOneAfterAPass) {
  WriteClass("test.Once", "  o.initialState = function(self) Yield() self:SetState(nil) end");
  for (int i = 0; i < 3; ++i)
    vm.CreateScriptObject("test.Once", ("o" + std::to_string(i)).c_str(), nullptr, nullptr, false, false, true, false);
  Frames(1);
  EXPECT_EQ(vm.GetNumAllocatedThreads(), 3);
  Frames(1);
  EXPECT_EQ(vm.GetNumUsedThreads(), 0);
  EXPECT_EQ(vm.GetNumAllocatedThreads(), 1);
  EXPECT_EQ(vm.GetPeakAllocatedThreads(), 3);
}

TEST_F(ScriptThreadTest, ObjectCreatedDuringThePassRunsInTheSamePass) {
  WriteClass("test.Child", "  o.initialState = function(self) ran_child = (ran_child or 0) + 1 end");
  // The engine side of a spawning native: create while the pass runs.
  struct Spawn {
    static int Fn(lua_State*) {
      EScriptVM::m_spScriptVM->CreateScriptObject("test.Child", "child", nullptr, nullptr, false, false, true, false);
      return 0;
    }
  };
  lua_register(L, "TestSpawnChild", Spawn::Fn);
  WriteClass("test.Spawner2", "  o.initialState = function(self) TestSpawnChild() self:SetState(nil) end");
  vm.CreateScriptObject("test.Spawner2", "s2", nullptr, nullptr, false, false, true, false);
  Frames(1);
  EXPECT_EQ(Num("ran_child"), 1.0f);
}

TEST_F(ScriptThreadTest, ProtectedObjectLosesItsStateButStays) {
  WriteClass("test.Bad", "  o.initialState = function(self) runs = (runs or 0) + 1 error('bad') end");
  EScriptObject* o = vm.CreateScriptObject("test.Bad", "prot", nullptr, nullptr, false, true, true, false);
  ASSERT_NE(o, nullptr);
  Frames(3);
  EXPECT_EQ(Num("runs"), 1.0f);
  EXPECT_EQ(vm.FindScriptByName("prot"), o);
  EXPECT_TRUE(o->HasNoState());
  EXPECT_EQ(CountLines("Error running state for protected script prot"), 1);
  EXPECT_EQ(CountLines("Error in protected script prot"), 1);
}

TEST_F(ScriptThreadTest, SetStateWhilePausedDropsTheCoroutine) {
  WriteClass("test.Switch",
             "  o.initialState = function(self) self.phase = 'first' Yield() self.phase = 'never' end\n"
             "  o.Second = function(self) self.phase = 'second' end");
  EScriptObject* o = vm.CreateScriptObject("test.Switch", "sw", nullptr, nullptr, false, false, true, false);
  Frames(1);
  EXPECT_EQ(vm.GetNumUsedThreads(), 1);
  EXPECT_TRUE(Run("gLSO.sw:SetState(gLSO.sw.Second)"));
  EXPECT_EQ(vm.GetNumUsedThreads(), 0);
  EXPECT_EQ(o->GetThreadIndex(), 0);
  Frames(1);
  EXPECT_EQ(vm.RunLuaCommands("return gLSO.sw.phase == 'second'", nullptr, nullptr, 0), true);
  float f = 0;
  vm.RunLuaCommands("if gLSO.sw.phase == 'second' then return 1 end return 0", nullptr, &f, 0);
  EXPECT_EQ(f, 1.0f);
  // nil: the state function is not run any more.
  EXPECT_TRUE(Run("gLSO.sw:SetState(nil) gLSO.sw.phase = 'stopped'"));
  Frames(2);
  vm.RunLuaCommands("if gLSO.sw.phase == 'stopped' then return 1 end return 0", nullptr, &f, 0);
  EXPECT_EQ(f, 1.0f);
}

TEST_F(ScriptThreadTest, ValuesOnlyOnAPausedThreadSurviveACollection) {
  WriteClass("test.Keeper",
             "  o.initialState = function(self)\n"
             "    local t = { value = 42 }\n"
             "    local s = strrep('x', 100) .. 'y'\n"
             "    Yield()\n"
             "    self.value = t.value\n"
             "    self.len = strlen(s)\n"
             "  end");
  vm.CreateScriptObject("test.Keeper", "k", nullptr, nullptr, false, false, true, false);
  Frames(1);
  Run("garbage = {} for i = 1, 2000 do garbage[i] = { i } end garbage = nil");
  vm.ForceGarbageCollection();
  Frames(1);
  EXPECT_EQ(Num("gLSO.k.value"), 42.0f);
  EXPECT_EQ(Num("gLSO.k.len"), 101.0f);
}

TEST_F(ScriptThreadTest, DeepRecursionRunsOnTheThreadStack) {
  WriteClass("test.Deep",
             "  o.initialState = function(self)\n"
             "    function down(n) if n == 0 then return 0 end return 1 + down(n - 1) end\n"
             "    self.depth = down(200)\n"
             "    self:SetState(nil)\n"
             "  end");
  vm.CreateScriptObject("test.Deep", "deep", nullptr, nullptr, false, false, true, false);
  Frames(1);
  EXPECT_EQ(Num("gLSO.deep.depth"), 200.0f) << AllLines();
  EXPECT_GT(EScriptThread::sm_dwHighwater, 0u);
}

TEST_F(ScriptThreadTest, MachineStackOverflowStopsAtTheGuardPage) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  WriteClass("test.Runaway", "  o.initialState = function(self) TestRunAwayRecursion() end");
  vm.CreateScriptObject("test.Runaway", "runaway", nullptr, nullptr, false, false, true, false);
  EXPECT_DEATH(vm.RunAllScripts(), "");
}

TEST_F(ScriptThreadTest, ConsoleCommandsRunAtTheStartOfThePass) {
  vm.QueueConsoleCommand("order = (order or '') .. 'a'");
  vm.QueueConsoleCommand("order = order .. 'b'");
  WriteClass("test.Late", "  o.initialState = function(self) order = order .. 'c' self:SetState(nil) end");
  vm.CreateScriptObject("test.Late", "late", nullptr, nullptr, false, false, true, false);
  Frames(1);
  float f = 0;
  vm.RunLuaCommands("if order == 'abc' then return 1 end return 0", nullptr, &f, 0);
  EXPECT_EQ(f, 1.0f);
}

namespace {
struct RecordingHandler : public EScriptVMCallbackHandler {
  std::string log;
  void StartScriptRun(const char* n) override { log += std::string("S(") + (n ? n : "") + ")"; }
  void EndScriptRun(const char* n) override { log += std::string("E(") + (n ? n : "") + ")"; }
  void StartRunningAllScripts() override { log += "A"; }
  void EndRunningAllScripts() override { log += "Z"; }
  void LuaLineHook(lua_State*, lua_Debug*) override {}
  void LuaCallHook(lua_State*, lua_Debug*) override {}
};
RecordingHandler* s_pHandler = nullptr;
int InstallHandler(lua_State*) {
  EScriptVM::m_spScriptVM->SetScriptVMCallbackHandler(s_pHandler);
  return 0;
}
}  // namespace

TEST_F(ScriptThreadTest, HandlerInstalledMidTurnSeesMatchedPairs) {
  RecordingHandler h;
  s_pHandler = &h;
  lua_register(L, "TestInstallHandler", InstallHandler);
  WriteClass("test.Install", "  o.initialState = function(self) TestInstallHandler() self:SetState(nil) end");
  vm.CreateScriptObject("test.Install", "inst", nullptr, nullptr, false, false, true, false);
  Frames(1);
  EXPECT_EQ(h.log, "AS(inst)E(inst)Z");
  vm.SetScriptVMCallbackHandler(nullptr);
  s_pHandler = nullptr;
}
