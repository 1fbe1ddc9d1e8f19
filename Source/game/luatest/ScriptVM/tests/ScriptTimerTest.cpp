// Script timers on the simulated clock: firing order with ties, periods,
// handler names and arguments, identities, removal; and the natives that
// hand script requests to the host.
#include <cstring>

#include "Game/PCGameApp.h"
#include "ScriptVM/ScriptTimer.h"
#include "ScriptVMTestUtil.h"

class ScriptTimerTest : public ScriptVMTest {
protected:
  void SetUp() override {
    ScriptVMTest::SetUp();
    gGameApp = &app;
    app.SetSimElapsedTime(100.0);
    ASSERT_TRUE(Run("gLog = ''\n"
                    "function Log(s) gLog = gLog .. s .. ';' end\n"));
    WriteClass("test.Ticker",
               "  o.onTimer = function(self, id, obj) Log(self.Name .. ':' .. type(id) .. ' ' .. id .. "
               "(obj == self and '' or ' other')) end\n"
               "  o.onTimerTick = function(self, id, obj) Log(self.Name .. ':Tick ' .. type(id) .. ' ' .. id) end\n"
               "  o.onTimerBad = function(self, id) error('bad') end\n"
               "  o.onTimerSelfKill = function(self, id)\n"
               "    Log(self.Name .. ':SelfKill'); KillTimer(self, id, 0, 'SelfKill')\n"
               "    CreateNamedTimer(self, 5, 'SelfKill', id, 1)\n"
               "  end");
  }
  void TearDown() override {
    if (vm.IsInitialised()) vm.Shutdown();
    gGameApp = nullptr;
    ScriptVMTest::TearDown();
  }
  EScriptObject* Make(const char* name) {
    return vm.CreateScriptObject("test.Ticker", name, nullptr, nullptr, false, true, false, false);
  }
  // Advances the simulated clock and runs one script pass.
  void Pass(double dSeconds) {
    app.SetSimElapsedTime(app.GetSimElapsedTime() + dSeconds);
    Frames(1);
  }
  float TimeLeft(EScriptObject* o, int id, const char* name) {
    EScriptTimer* t = vm.FindTimer(o, (uint16_t)id, name, nullptr);
    return t ? (float)t->GetTimeLeftSecs() : -1.0f;
  }

  PCGameApp app;
};

TEST_F(ScriptTimerTest, EqualFireTimesFollowTheHeapRules) {
  EScriptObject* o = Make("o");
  // Three periodic timers due at the same moment, made in the order 1, 2, 3.
  for (int id = 1; id <= 3; ++id) vm.CreateTimer(o, 1.0f, (uint16_t)id, 0, nullptr);
  Log();
  // The newest rises to the top; rescheduling the top moves it down to the
  // left on a tie, which brings the oldest up next.
  Pass(1.0);
  EXPECT_EQ(Log(), "o:string 3;o:string 1;o:string 2;");
  Pass(1.0);
  EXPECT_EQ(Log(), "o:string 2;o:string 3;o:string 1;");

  // One-shot timers with one fire time fire newest first.
  vm.KillAllTimers(o);
  EScriptObject* p = Make("p");
  for (int id = 1; id <= 3; ++id) vm.CreateTimer(p, 0.5f, (uint16_t)id, EScriptTimer::kFLAG_FireOnce, nullptr);
  Pass(0.5);
  EXPECT_EQ(Log(), "p:string 3;p:string 2;p:string 1;");
  EXPECT_EQ(vm.GetNumTimers(), 0);
}

TEST_F(ScriptTimerTest, TimersFireEarliestFirstOnSimulatedTimeOnly) {
  EScriptObject* o = Make("o");
  vm.CreateTimer(o, 3.0f, 3, 0, nullptr);
  vm.CreateTimer(o, 1.0f, 1, 0, nullptr);
  vm.CreateTimer(o, 2.0f, 2, 0, "Tick");
  Log();
  // The clock stands still: nothing fires however many passes run.
  Frames(5);
  EXPECT_EQ(Log(), "");
  Pass(0.5);
  EXPECT_EQ(Log(), "");
  Pass(2.5);  // t = 103: all three due; each fires once
  EXPECT_EQ(Log(), "o:string 1;o:Tick number 2;o:string 3;");
  EXPECT_NEAR(TimeLeft(o, 1, nullptr), 1.0f, 1e-4);
  EXPECT_NEAR(TimeLeft(o, 2, "Tick"), 1.0f, 1e-4);
  EXPECT_NEAR(TimeLeft(o, 3, nullptr), 3.0f, 1e-4);
}

TEST_F(ScriptTimerTest, LatePassFiresOnceAndKeepsThePhase) {
  EScriptObject* o = Make("o");
  vm.CreateTimer(o, 1.0f, 1, 0, nullptr);
  vm.CreateTimer(o, 0.75f, 2, 0, "Tick");
  Log();
  Pass(3.5);  // 2.5 s after the first timer's fire time
  EXPECT_EQ(Log(), "o:Tick number 2;o:string 1;");
  EXPECT_NEAR(TimeLeft(o, 1, nullptr), 0.5f, 1e-4);
  // First fire at 100.75: the next multiple of 0.75 after that is 103.75.
  EXPECT_NEAR(TimeLeft(o, 2, "Tick"), 0.25f, 1e-4);
}

TEST_F(ScriptTimerTest, NamesIdsAndTheTooShortTime) {
  EScriptObject* o = Make("o");
  Log();
  ASSERT_TRUE(Run("CreateNamedTimer(gLSO.o, 2, nil, 12)\n"
                  "CreateNamedTimer(gLSO.o, 2, 'Tick', 12)\n"
                  "CreateNamedTimer(gLSO.o, 0.001, 'Tick', 13, 1)\n"
                  "CreateNamedTimer(gLSO.o, 0, 'Tick', 14)\n"
                  "CreateNamedTimer(gLSO.o, 1, 'Tick', 65536)\n"));
  EXPECT_EQ(CountLines(": bad args"), 2);
  EXPECT_EQ(CountLines("Timer repeat too short: 0.001000, timer o 13 Tick"), 1);
  EXPECT_EQ(vm.GetNumTimers(), 3);
  EXPECT_NEAR(TimeLeft(o, 13, "Tick"), 0.01f, 1e-4);
  Pass(0.01);
  EXPECT_EQ(Log(), "o:Tick number 13;");
  EXPECT_EQ(Num("GetTimerSecs(gLSO.o, 13, 'Tick')"), -1.0f);  // one-shot: gone
  Pass(2.0);
  EXPECT_EQ(Log(), "o:Tick number 12;o:string 12;");
}

TEST_F(ScriptTimerTest, IdentityIsObjectIdAndNameAndAnEmptyNameIsNone) {
  EScriptObject* o = Make("o");
  EScriptObject* p = Make("p");
  ASSERT_TRUE(Run("CreateNamedTimer(gLSO.o, 2, '', 7)\n"
                  "CreateNamedTimer(gLSO.o, 5, nil, 7)\n"));
  EXPECT_EQ(CountLines("CreateTimer: o timer None/7 already exists"), 1);
  EXPECT_EQ(vm.GetNumTimers(), 1);
  Pass(0.5);
  // The empty name is the same "none" when the timer is looked for or
  // killed as when it was made.
  EXPECT_NEAR(Num("GetTimerSecs(gLSO.o, 7)"), 1.5f, 1e-4);
  EXPECT_NEAR(Num("GetTimerSecs(gLSO.o, 7, '')"), 1.5f, 1e-4);
  EXPECT_EQ(Num("GetTimerSecs(gLSO.o, 7, 'Tick')"), -1.0f);
  EXPECT_EQ(Num("GetTimerSecs(gLSO.p, 7)"), -1.0f);

  ASSERT_TRUE(Run("CreateNamedTimer(gLSO.o, 3, 'Tick', 7)\n"
                  "CreateNamedTimer(gLSO.p, 3, 'Tick', 7)\n"
                  "CreateNamedTimer(gLSO.p, 3, 'Tick', 8)\n"));
  EXPECT_EQ(vm.GetNumTimers(), 4);
  ASSERT_TRUE(Run("KillTimer(gLSO.o, 7, 0, '')"));
  EXPECT_EQ(Num("GetTimerSecs(gLSO.o, 7)"), -1.0f);
  EXPECT_NEAR(Num("GetTimerSecs(gLSO.o, 7, 'Tick')"), 3.0f, 1e-4);
  EXPECT_EQ(CountLines("Could not find"), 0);
  ASSERT_TRUE(Run("KillTimer(gLSO.o, 7, 1)"));  // quiet
  EXPECT_EQ(CountLines("Could not find"), 0);
  ASSERT_TRUE(Run("KillTimer(gLSO.o, 7)"));
  EXPECT_EQ(CountLines(": Could not find o timer 7"), 1);
  ASSERT_TRUE(Run("KillTimer(gLSO.o, 0)"));
  EXPECT_EQ(CountLines(": bad args"), 1);

  ASSERT_TRUE(Run("KillAllTimers(gLSO.p)"));
  EXPECT_EQ(vm.GetNumTimers(), 1);
  EXPECT_NE(vm.FindTimer(o, 7, "Tick", nullptr), nullptr);
  (void)p;
}

TEST_F(ScriptTimerTest, KillAllTimersRemovesEveryTimerOfTheObjectWhereverItSits) {
  EScriptObject* o = Make("o");
  EScriptObject* p = Make("p");
  for (int i = 1; i <= 20; ++i) vm.CreateTimer((i % 3) ? o : p, (float)(i % 7) + 0.5f, (uint16_t)i, 0, nullptr);
  vm.KillAllTimers(o);
  ASSERT_EQ(vm.GetNumTimers(), 6);
  for (int i = 0; i < vm.GetNumTimers(); ++i) EXPECT_EQ(vm.GetTimerAt(i)->GetScript(), p);
  // The heap still fires in time order.
  Log();
  Pass(7.0);
  EXPECT_EQ(Log(), "p:string 15;p:string 9;p:string 3;p:string 18;p:string 12;p:string 6;");
}

TEST_F(ScriptTimerTest, HandlersMayKillAndRemakeTheirOwnTimerAndFailuresAreTraced) {
  EScriptObject* o = Make("o");
  vm.CreateTimer(o, 1.0f, 4, 0, "SelfKill");
  vm.CreateTimer(o, 1.0f, 5, 0, "Bad");
  vm.CreateTimer(o, 1.0f, 6, 0, "Missing");
  Log();
  Pass(1.0);
  EXPECT_EQ(Log(), "o:SelfKill;");
  EXPECT_NEAR(TimeLeft(o, 4, "SelfKill"), 5.0f, 1e-4);  // remade as a one-shot
  EXPECT_EQ(CountLines("Error running timer o:onTimerBad/5."), 1);
  EXPECT_EQ(CountLines("Error running timer o:onTimerMissing/6."), 1);
  Pass(1.0);  // periodic timers go on firing after a failure
  EXPECT_EQ(CountLines("Error running timer o:onTimerBad/5."), 2);
  EXPECT_EQ(CountLines("Error running timer o:onTimerMissing/6."), 2);
}

TEST_F(ScriptTimerTest, TimersOfRemovedObjectsAreDroppedWithoutFiring) {
  EScriptObject* o = Make("o");
  EScriptObject* p = Make("p");
  EScriptObject* q = Make("q");
  vm.CreateTimer(o, 1.0f, 1, 0, nullptr);
  vm.CreateTimer(p, 1.0f, 1, 0, nullptr);
  vm.CreateTimer(q, 5.0f, 1, 0, nullptr);
  vm.DelayedRemoveScript(o);
  // q is removed and destroyed long before its timer reaches the top.
  vm.RemoveScript(q, false);
  vm.DestroyDeletedScriptObjects();
  EXPECT_EQ(vm.GetNumTimers(), 3);
  Log();
  Pass(1.0);
  EXPECT_EQ(Log(), "p:string 1;");
  EXPECT_EQ(vm.GetNumTimers(), 2);
  Pass(5.0);
  EXPECT_EQ(Log(), "p:string 1;");
  EXPECT_EQ(vm.GetNumTimers(), 1);
}

TEST_F(ScriptTimerTest, HostRequests) {
  Make("o");
  WriteFile("scripts/extra.lua", "gExtra = 5\n");
  WriteClass("test.Pre", "  o.onPreLoad = function(self) gPreloaded = (gPreloaded or 0) + 1 end");
  ASSERT_TRUE(Run("DoFile('scripts/extra.lua')\n"
                  "DoFile('scripts/none.lua', 1)\n"
                  "PreloadLuaClass('test.Pre')\n"
                  "PreloadLuaClass('test.Pre')\n"));
  EXPECT_EQ(Num("gExtra"), 5.0f);
  EXPECT_EQ(CountLines("does not exist"), 0);
  ASSERT_TRUE(Run("DoFile('scripts/none.lua')"));
  EXPECT_EQ(CountLines("DoFile Script 'scripts/none.lua' does not exist"), 1);
  EXPECT_EQ(Num("gPreloaded"), 2.0f);

  // An object registered twice and unregistered once is still in a cutscene.
  EScriptObject* o = vm.FindScriptByName("o");
  EXPECT_FALSE(vm.InCutscene());
  ASSERT_TRUE(Run("RegisterCutscene(gLSO.o) RegisterCutscene('o') UnregisterCutscene(gLSO.o)"));
  EXPECT_TRUE(vm.InCutscene());
  EXPECT_TRUE(vm.UnregisterCutscene(o));
  EXPECT_FALSE(vm.InCutscene());
  EXPECT_FALSE(vm.UnregisterCutscene(o));
  EXPECT_TRUE(Run("UnregisterCutscene(gLSO.o) HardBreak({})"));
}
