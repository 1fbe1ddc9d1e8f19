// Script messages: argument letters, immediate and queued delivery, state
// messages, reference clean-up and the message natives, on real script
// objects in the interpreter.
#include <cstdlib>
#include <cstring>

#include "Game/PCGameApp.h"
#include "ScriptVM/ScriptMessage.h"
#include "ScriptVMTestUtil.h"
#include "VERirezo/Entity.h"
#include "VERirezo/MeshEntity.h"

namespace {
// Handlers append "name(arg,arg,...)" to the global gLog.
const char* const kLogSource =
    "gLog = ''\n"
    "function Log(name, ...)\n"
    "  local s = name .. '('\n"
    "  for i = 1, arg.n do\n"
    "    local v = arg[i]\n"
    "    if type(v) == 'table' then v = v.Name or 'table' end\n"
    "    if i > 1 then s = s .. ',' end\n"
    "    s = s .. tostring(v)\n"
    "  end\n"
    "  gLog = gLog .. s .. ')'\n"
    "end\n";
}  // namespace

class ScriptMessageTest : public ScriptVMTest {
protected:
  void SetUp() override {
    ScriptVMTest::SetUp();
    ASSERT_TRUE(Run(kLogSource));
    WriteClass("test.Receiver",
               "  o.onHit = function(self, a, s, b, c, d, e) Log('Hit', self, a, s, b, c, d, e) end\n"
               "  o.onPing = function(self, a, s) Log('Ping', self, a, s) end\n"
               "  o.onId = function(self, a) Log('Id', a == self.m_pScriptObject) end\n"
               "  o.onBoom = function(self) Log('Boom', self); error('boom') end\n"
               "  o.onSpawn = function(self) Log('Spawn', self); self.pendingStateMessage = nil end\n"
               "  o.onPreBeginLevel = function(self) Log('Pre', self); self.pendingStateMessage = nil end\n"
               "  o.onEndLevel = function(self) Log('End', self) end\n"
               "  o.onDestroyed = function(self, a) Log('Destroyed', self, a); self.pendingStateMessage = nil end\n"
               "  o.initialState = function(self) while 1 do Log('State', self); Yield() end end");
  }
  EScriptObject* Make(const char* name, bool bGoesWithLevel = false, bool bSpawn = false) {
    return vm.CreateScriptObject("test.Receiver", name, nullptr, nullptr, false, true, bGoesWithLevel, bSpawn);
  }
};

TEST_F(ScriptMessageTest, ArgumentLettersReachTheHandlerWithTheSenderSecond) {
  EScriptObject* a = Make("a");
  EScriptObject* b = Make("b");
  ASSERT_TRUE(a && b);
  Log();

  b->SendMessagef("Hit", a, kMESSAGE_Immediate, nullptr);
  EXPECT_EQ(Log(), "Hit(b,nil,a,nil,nil,nil,nil)");
  b->SendMessagef("Hit", nullptr, kMESSAGE_Immediate, "is", 7, "text");
  EXPECT_EQ(Log(), "Hit(b,7,nil,text,nil,nil,nil)");
  b->SendMessagef("Hit", a, kMESSAGE_Immediate, "fLS", 2.5, a, "shared");
  EXPECT_EQ(Log(), "Hit(b,2.5,a,a,shared,nil,nil)");
  // Five letters take the extended form; all five arrive in order.
  b->SendMessagef("Hit", a, kMESSAGE_Immediate, "ifsL-", 1, 0.5, "x", b);
  EXPECT_EQ(Log(), "Hit(b,1,a,0.5,x,b,nil)");
  // Null pointers and unknown letters become nil; an unknown letter reads
  // no argument.
  b->SendMessagef("Hit", a, kMESSAGE_Immediate, "EqsL", (EEntity*)nullptr, (const char*)nullptr, (EScriptObject*)nullptr);
  EXPECT_EQ(Log(), "Hit(b,nil,a,nil,nil,nil,nil)");
  EXPECT_EQ(CountLines("Unknown type 'q' in SendMessage 'Hit'"), 1);

  // An id keeps its raw bits; a reference delivers its value and is
  // released with the message.
  b->SendMessagef("Id", a, kMESSAGE_Immediate, "H", b->GetScriptId());
  EXPECT_EQ(Log(), "Id(1)");
  Run("gRefValue = {Name='refd'}");
  lua_getglobal(L, "gRefValue");
  int iRef = lua_ref(L, 1);
  b->SendMessagef("Hit", a, kMESSAGE_Immediate, "t", iRef);
  EXPECT_EQ(Log(), "Hit(b,refd,a,nil,nil,nil,nil)");
  EXPECT_EQ(lua_getref(L, iRef), 0);
  EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(ScriptMessageTest, ImmediateMessagesRunAtOnceQueuedOnesAtTheNextTurnInOrder) {
  EScriptObject* a = Make("a");
  EScriptObject* b = Make("b");
  Frames(1);
  Log();

  b->SendMessagef("Ping", a, kMESSAGE_Queued, "i", 1);
  b->SendMessage("Ping", a, "two", 0);
  b->SendMessagef("Ping", a, 7, "i", 3);  // any priority other than 1 queues
  EXPECT_EQ(Log(), "");
  b->SendMessagef("Ping", a, kMESSAGE_Immediate, "i", 99);
  EXPECT_EQ(Log(), "Ping(b,99,a)");
  EXPECT_EQ(b->GetMessageQueue().GetCount(), 3);

  // At b's turn: its messages in the order sent, then its state function.
  Frames(1);
  EXPECT_EQ(Log(), "State(a)Ping(b,1,a)Ping(b,two,a)Ping(b,3,a)State(b)");
  EXPECT_EQ(b->GetMessageQueue().GetCount(), 0);

  // A paused object and an object without a state still get their messages.
  b->SetPaused(true);
  b->SendMessagef("Ping", a, kMESSAGE_Queued, "i", 4);
  Frames(1);
  EXPECT_EQ(Log(), "State(a)Ping(b,4,a)");
}

TEST_F(ScriptMessageTest, HandlersCanQueueOnTheirOwnObjectAndFailuresDoNotStopTheQueue) {
  WriteClass("test.Chain",
             "  o.onFirst = function(self) Log('First'); SendMessage(self, self, 'Second', 'x') end\n"
             "  o.onSecond = function(self, a) Log('Second', a) end\n"
             "  o.onBoom = function(self) error('boom') end");
  EScriptObject* c = vm.CreateScriptObject("test.Chain", "c", nullptr, nullptr, false, true, false, false);
  ASSERT_NE(c, nullptr);
  Log();
  c->SendMessagef("Boom", nullptr, kMESSAGE_Queued, nullptr);
  c->SendMessagef("First", nullptr, kMESSAGE_Queued, nullptr);
  c->SendMessagef("NoSuchHandler", nullptr, kMESSAGE_Queued, nullptr);
  Frames(1);
  EXPECT_EQ(Log(), "First()Second(x)");
  EXPECT_EQ(CountLines("Message 'onBoom' on script 'test.Chain c' had errors."), 1);
  EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(ScriptMessageTest, QueuedTextIsCopiedIntoTheMessage) {
  EScriptObject* b = Make("b");
  Log();
  char* szText = static_cast<char*>(malloc(16));
  strcpy(szText, "original");
  b->SendMessagef("Ping", nullptr, kMESSAGE_Queued, "S", szText);
  strcpy(szText, "changed");
  free(szText);  // the sender's text is gone before delivery
  Frames(1);
  EXPECT_EQ(Log(), "Ping(b,original,nil)State(b)");
}

TEST_F(ScriptMessageTest, DeletedReceiverGetsNothingOnEitherPath) {
  EScriptObject* a = Make("a");
  EScriptObject* b = Make("b");
  vm.RemoveScript(b, false);  // released now, destroyed at the end of the frame
  ASSERT_TRUE(b->IsDead());
  Log();

  b->SendMessagef("Ping", a, kMESSAGE_Immediate, "i", 1);
  vm.QueueScriptMessage("Ping", "text", b, a, kMESSAGE_Immediate);
  for (int iPriority : {kMESSAGE_Immediate, kMESSAGE_Queued}) {
    EScriptMessage* pMessage = new EScriptMessage();
    pMessage->SetMessageName("Ping");
    pMessage->SetReceiver(b);
    pMessage->SetSender(a);
    pMessage->SetArg(0, "text");
    vm.QueueScriptMessage(pMessage, iPriority);
  }
  EXPECT_EQ(Log(), "");
  EXPECT_EQ(CountLines("ScriptVM: script 'a' is trying to send a message to a deleted script 'b'"), 4);
  EXPECT_EQ(b->GetMessageQueue().GetCount(), 0);
  vm.DestroyDeletedScriptObjects();
}

TEST_F(ScriptMessageTest, QueuedMessagesOfARemovedObjectAreFreedUnsent) {
  EScriptObject* b = Make("b");
  Log();
  b->SendMessagef("Ping", nullptr, kMESSAGE_Queued, "s", "lost");
  b->SendMessagef("Hit", nullptr, kMESSAGE_Queued, "sssss", "1", "2", "3", "4", "5");
  vm.DelayedRemoveScript(b);
  long before = EScriptVM::GetHostBytesInUse();
  Frames(1);
  EXPECT_EQ(Log(), "Destroyed(b,nil)");
  EXPECT_LT(EScriptVM::GetHostBytesInUse(), before);
}

TEST_F(ScriptMessageTest, DeadReferencesInQueuedMessagesBecomeNil) {
  EScriptObject* a = Make("a");
  EScriptObject* b = Make("b");
  EScriptObject* c = Make("c");
  EEntity* pEntity = new EMeshEntity(nullptr, "thing");
  c->AttachToEntity(pEntity);
  Log();
  b->SendMessagef("Hit", a, kMESSAGE_Queued, "ELi", pEntity, c, 5);
  b->SendMessagef("Hit", a, kMESSAGE_Queued, "iiiE", 1, 2, 3, pEntity);
  // Before the clean-up the entity delivers its script object's table.
  b->SendMessagef("Hit", a, kMESSAGE_Immediate, "E", pEntity);
  EXPECT_EQ(Log(), "Hit(b,c,a,nil,nil,nil,nil)");

  pEntity->InternalDelayedDelete();  // removes c, its script object, too
  EXPECT_TRUE(c->IsDead());
  vm.RemoveScript(a, false);
  vm.DestroyDeletedScriptObjects();  // clean-up, then a and c are destroyed
  Log();
  Frames(1);
  EXPECT_EQ(Log(), "Hit(b,nil,nil,nil,5,nil,nil)Hit(b,1,nil,2,3,nil,nil)State(b)");
  delete pEntity;
}

TEST_F(ScriptMessageTest, LongNamesAreCutTo39Characters) {
  std::string name39(39, 'N');
  WriteClass("test.Long", "  o['on" + name39 + "'] = function(self) Log('Long') end");
  EScriptObject* o = vm.CreateScriptObject("test.Long", "l", nullptr, nullptr, false, true, false, false);
  Log();
  o->SendMessagef((name39 + "XXXXXX").c_str(), nullptr, kMESSAGE_Immediate, nullptr);
  EXPECT_EQ(Log(), "Long()");
  EXPECT_EQ(CountLines("is too long; truncating."), 1);
}

TEST_F(ScriptMessageTest, StateMessagesReachEachObjectOnce) {
  EScriptObject* a = Make("a", false, true);
  EXPECT_EQ(Log(), "Spawn(a)");
  a->SendStateMessage(kSSM_Spawn);
  EXPECT_EQ(Log(), "");
  EScriptObject* b = Make("b", false, false);
  b->SendUnsentStateMessages();  // no level loaded: Spawn only
  EXPECT_EQ(Log(), "Spawn(b)");

  vm.SendStateMessageToAllScripts(kSSM_PreBeginLevel);
  vm.SendStateMessageToAllScripts(kSSM_PreBeginLevel);
  EXPECT_EQ(Log(), "Pre(a)Pre(b)");
  EXPECT_EQ(CountLines("did not make it to base class"), 0);

  // A handler chain that never clears pendingStateMessage is reported, and
  // the message still counts as sent.
  vm.SendStateMessageToAllScripts(kSSM_EndLevel);
  vm.SendStateMessageToAllScripts(kSSM_EndLevel);
  EXPECT_EQ(Log(), "End(a)End(b)");
  EXPECT_EQ(CountLines("test.Receiver a: Message EndLevel did not make it to base class"), 1);
  EXPECT_EQ(CountLines("did not make it to base class"), 2);
  EXPECT_EQ(a->GetStateMessagesSent(), (1 << kSSM_Spawn) | (1 << kSSM_PreBeginLevel) | (1 << kSSM_EndLevel));

  // An object being removed gets no state message.
  vm.DelayedRemoveScript(b);
  b->SendStateMessage(kSSM_BeginLevel);
  EXPECT_EQ(Log(), "");
}

TEST_F(ScriptMessageTest, LevelUnloadRemovesLevelObjectsAndResetsTheOthers) {
  PCGameApp app;
  gGameApp = &app;
  app.m_bStartUpComplete = true;  // classes loaded from now on may be dropped
  WriteClass("test.LevelOnly", "", "test.Receiver");
  EScriptObject* keep = Make("keep", false, true);
  EScriptObject* level =
      vm.CreateScriptObject("test.LevelOnly", "level", nullptr, nullptr, false, false, true, true);
  ASSERT_TRUE(keep && level);
  EXPECT_EQ(vm.GetNumBaseClasses(), 3);
  vm.SendStateMessageToAllScripts(kSSM_PreBeginLevel);
  keep->SendMessagef("Ping", nullptr, kMESSAGE_Queued, "s", "stale");
  vm.RegisterCutscene(keep);
  Log();

  app.m_bLevelUnloading = true;
  vm.UnloadingLevel();
  app.m_bLevelUnloading = false;
  // The level object got Destroyed with the argument 1 and is gone.
  EXPECT_EQ(Log(), "Destroyed(level,1)");
  EXPECT_EQ(vm.FindScriptByName("level"), nullptr);
  EXPECT_EQ(vm.GetScriptList().GetCount(), 1);
  // The survivor keeps only Spawn, loses its queue and its cutscene entry.
  EXPECT_EQ(keep->GetStateMessagesSent(), 1);
  EXPECT_EQ(keep->GetMessageQueue().GetCount(), 0);
  EXPECT_FALSE(vm.UnregisterCutscene(keep));
  // Classes of the survivor's chain stay; the level object's class goes,
  // and comes back when it is asked for again.
  EXPECT_EQ(vm.GetNumBaseClasses(), 2);
  EXPECT_NE(vm.GetBaseClass("test.Receiver", "test", true), 0);
  EXPECT_EQ(vm.GetBaseClass("test.LevelOnly", "test", true), 0);
  vm.DestroyDeletedScriptObjects();
  EXPECT_NE(vm.CreateScriptObject("test.LevelOnly", "again", nullptr, nullptr, false, false, true, false), nullptr);
  EXPECT_EQ(vm.GetNumBaseClasses(), 3);

  vm.SendStateMessageToAllScripts(kSSM_PreBeginLevel);
  EXPECT_EQ(Log(), "Pre(keep)Pre(again)");
  // Removed in play, Destroyed carries no argument.
  vm.RemoveScript(keep, false);
  EXPECT_EQ(Log(), "Destroyed(keep,nil)");
  vm.DestroyDeletedScriptObjects();
  gGameApp = nullptr;
}

// ---------------------------------------------------------------------------
// The natives

TEST_F(ScriptMessageTest, SendMessageNativeQueuesTextOrDeliversAtOnce) {
  Make("a");
  Make("b");
  Frames(1);
  Log();
  ASSERT_TRUE(Run("SendMessage(gLSO.a, gLSO.b, 'Ping', 12)"));
  EXPECT_EQ(Log(), "");
  Frames(1);
  EXPECT_EQ(Log(), "State(a)Ping(b,12,a)State(b)");
  ASSERT_TRUE(Run("SendMessage(gLSO.a, 'b', 'Ping', nil, 1) Log('after')"));
  EXPECT_EQ(Log(), "Ping(b,,a)after()");
  Run("SendMessage(gLSO.a, gLSO.b, nil, 'x', 1)");
  EXPECT_EQ(CountLines(": null message name"), 1);
  Run("SendMessage(gLSO.a, 'nobody', 'Ping', 'x', 1)");
  EXPECT_EQ(CountLines("Could not find script object named 'nobody'"), 1);
  EXPECT_EQ(Log(), "");
}

TEST_F(ScriptMessageTest, SendMessageExNativeTypesItsArguments) {
  Make("a");
  Make("b");
  Log();
  struct Case {
    const char* call;
    const char* log;
  } cases[] = {
      {"SendMessageEx(gLSO.a, gLSO.b, 'Hit', 1, 'ifs', 2.7, 1.5, 'x')", "Hit(b,2,a,1.5,x,nil,nil)"},
      {"SendMessageEx(gLSO.a, gLSO.b, 'Hit', 1, 'ifsi', 2, 3, 'y')", "Hit(b,2,a,3,y,nil,nil)"},
      {"SendMessageEx(gLSO.a, gLSO.b, 'Hit', 1, nil, 5)", "Hit(b,nil,a,nil,nil,nil,nil)"},
      {"SendMessageEx(gLSO.a, gLSO.b, 'Hit', 1, 's', {})", "Hit(b,nil,a,nil,nil,nil,nil)"},
      {"SendMessageEx(gLSO.a, gLSO.b, 'Hit', 1, 'sif', 7)", "Hit(b,7,a,0,0,nil,nil)"},
      {"SendMessageEx(gLSO.a, gLSO.b, 'Hit', nil, 'i', 1)", ""},
      {"SendMessageEx(gLSO.a, gLSO.b, 'Hit', 1, 'iq', 1, 2)", ""},
  };
  for (const Case& c : cases) {
    testing::internal::CaptureStderr();
    EXPECT_TRUE(Run(c.call)) << c.call;
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(Log(), c.log) << c.call;
    if (strstr(c.call, "'iq'")) {
      EXPECT_NE(err.find("Unknown message data specifier 'q'"), std::string::npos);
    }
  }
  EXPECT_EQ(CountLines(": invalid argument 4"), 1);

  // Queued through the message form, delivered at the next turn.
  Frames(1);
  Log();
  Run("SendMessageEx(gLSO.a, gLSO.b, 'Ping', 0, 's', 'later')");
  EXPECT_EQ(Log(), "");
  Frames(1);
  EXPECT_EQ(Log(), "State(a)Ping(b,later,a)State(b)");
}

TEST_F(ScriptMessageTest, CanHandleMessageSeesInheritedHandlersAndDomainsAreLookedUp) {
  Make("a");
  EXPECT_EQ(Num("CanHandleMessage(gLSO.a, 'Ping')"), 1.0f);  // defined by the class
  EXPECT_EQ(Num("rawget(gLSO.a, 'onPing') == nil and 1 or 0"), 1.0f);
  EXPECT_EQ(Num("CanHandleMessage('a', 'Nothing')"), 0.0f);
  EXPECT_EQ(Num("CanHandleMessage('a', {})"), 0.0f);
  Run("SendMessageToDomain(gLSO.a, 'Rooms', 1, 'Ping', 'x')");
  EXPECT_EQ(CountLines(": Unknown Domain 'Rooms'"), 1);
  Run("SendMessageToDomain(gLSO.a, 'Rooms', 1, 'Ping', nil)");
  EXPECT_EQ(CountLines(": no string passed"), 1);
}
