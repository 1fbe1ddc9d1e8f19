// Script objects: creation, names, states, removal and soft references.
#include "ScriptVMTestUtil.h"
#include "VERirezo/Entity.h"
#include "VERirezo/MeshEntity.h"

class ScriptObjectTest : public ScriptVMTest {
protected:
  void SetUp() override {
    ScriptVMTest::SetUp();
    WriteClass("test.Door", "  o.kind = 'door'");
  }
  EScriptObject* Make(const char* name, const char* init = nullptr, bool bProtected = false) {
    return vm.CreateScriptObject("test.Door", name, nullptr, init, false, bProtected, true, false);
  }
};

TEST_F(ScriptObjectTest, DuplicateNamesAreRenamedUntilTheFirstIsRemoved) {
  EScriptObject* a = Make("Door");
  EScriptObject* b = Make("Door");
  EScriptObject* c = Make("Door");
  ASSERT_TRUE(a && b && c);
  EXPECT_STREQ(a->GetName(), "Door");
  EXPECT_STREQ(b->GetName(), "__Dupe_Door__1");
  EXPECT_STREQ(c->GetName(), "__Dupe_Door__2");
  EXPECT_EQ(CountLines("A Script called 'Door' has already been created. Renaming to '__Dupe_Door__2'"), 1);
  vm.DelayedRemoveScript(a);
  EXPECT_EQ(vm.FindScriptByName("Door"), nullptr);
  EScriptObject* d = Make("Door");
  EXPECT_STREQ(d->GetName(), "Door");
  EXPECT_EQ(vm.FindScriptByName("Door"), d);
}

TEST_F(ScriptObjectTest, CreationKeepsSelfAndRefusesFailedSetUp) {
  auto SelfIsOuter = [&]() {
    lua_getglobal(L, "self");
    bool b = lua_isstring(L, -1) && strcmp(lua_tostring(L, -1), "outer") == 0;
    lua_pop(L, 1);
    return b;
  };
  lua_pushstring(L, "outer");
  lua_setglobal(L, "self");
  EScriptObject* o = Make("ok", "self.extra = 4");
  ASSERT_NE(o, nullptr);
  EXPECT_EQ(Num("gLSO.ok.extra"), 4.0f);
  EXPECT_TRUE(SelfIsOuter());

  EXPECT_EQ(Make("broken", "self.x = nil + 1"), nullptr);
  EXPECT_EQ(CountLines("when initializing broken with:"), 1);
  EXPECT_EQ(vm.FindScriptByName("broken"), nullptr);
  EXPECT_TRUE(SelfIsOuter());

  WriteClass("test.BadSet", "  o.setState = function(self, s) error('no') end");
  EXPECT_EQ(vm.CreateScriptObject("test.BadSet", "badset", nullptr, nullptr, false, false, true, false), nullptr);
  EXPECT_EQ(CountLines("Error in test.BadSet setState"), 1);
  EXPECT_EQ(vm.GetScriptList().GetCount(), 1);
  EXPECT_EQ(vm.CreateScriptObject("no.Class", "x", nullptr, nullptr, false, false, true, false), nullptr);
}

TEST_F(ScriptObjectTest, TableCarriesNameParentAndIdentity) {
  EScriptObject* o = Make("d1");
  lua_getglobal(L, "gLSO");
  lua_pushstring(L, "d1");
  lua_rawget(L, -2);
  EXPECT_EQ(lua_tag(L, -1), gLuaInheritTag);
  EXPECT_EQ(lua_topointer(L, -1), o->GetLuaObj());
  EXPECT_EQ(Lua_LSOToScriptObject(L, LuaArg(-1), false, false), o);
  EXPECT_EQ(Lua_LSOToScriptObject(L, o->GetLuaObj(), false, false), o);
  lua_settop(L, 0);
  EXPECT_EQ(Num("gLSO.d1.kind == 'door' and 1 or 0"), 1.0f);
  EXPECT_TRUE(o->HasFunction("setState"));
  EXPECT_FALSE(o->CanHandleMessage("Open"));
  EString path;
  o->DebugAppendClassPath(path);
  EXPECT_STREQ(*path, ":Base:test.Door");
}

TEST_F(ScriptObjectTest, RemovedObjectIsGoneForScriptsAndDeletedAtFrameEnd) {
  EScriptObject* o = Make("gone");
  Run("keep = gLSO.gone");
  vm.DelayedRemoveScript(o);
  EXPECT_EQ(vm.FindScriptByName("gone"), nullptr);
  EXPECT_EQ(vm.GetScriptList().GetCount(), 1);
  Frames(1);  // its turn removes it, the end of the frame deletes it
  EXPECT_EQ(vm.GetScriptList().GetCount(), 0);
  EXPECT_EQ(vm.GetNumPendingDeletes(), 0);
  lua_getglobal(L, "keep");
  m_Lines.clear();
  EXPECT_EQ(Lua_LSOToScriptObject(L, LuaArg(-1), false, false), nullptr);
  EXPECT_TRUE(m_Lines.empty()) << AllLines();
  lua_pushstring(L, "m_pScriptObject");
  lua_rawget(L, -2);
  EXPECT_EQ(lua_toid(L, -1), 1u);
  lua_settop(L, 0);
}

TEST_F(ScriptObjectTest, EntityAttachmentGoesBothWays) {
  EMeshEntity e(nullptr, "DoorEntity");
  EScriptObject* o = vm.CreateScriptObject("test.Door", "withEntity", nullptr, nullptr, false, false, true, false);
  EXPECT_TRUE(o->GoesWithLevel());
  EXPECT_TRUE(o->AttachToEntity(&e));
  EXPECT_EQ(e.GetScriptObject(), o);
  EXPECT_FALSE(o->GoesWithLevel());
  EXPECT_FALSE(o->AttachToEntity(&e));
  EXPECT_EQ(CountLines("ERROR: Entity already has a script"), 1);
  EXPECT_TRUE(o->DetachFromEntity());
  EXPECT_EQ(e.GetScriptObject(), nullptr);
  EXPECT_FALSE(o->DetachFromEntity());
  EXPECT_EQ(CountLines("ERROR: Script does not have an entity to remove itself from"), 1);

  // A culled entity keeps its object idle.
  WriteClass("test.Tick", "  o.initialState = function(self) self.n = (self.n or 0) + 1 self:SetState(self.initialState) end");
  EMeshEntity e2(nullptr, "Ticker");
  EScriptObject* t = vm.CreateScriptObject("test.Tick", "tick", &e2, nullptr, false, false, true, false);
  e2.SetScriptObject(t);
  Frames(1);
  e2.SetTransientFlag(ENTITYTRANSIENT_SIMULATED, false);
  Frames(2);
  EXPECT_EQ(Num("gLSO.tick.n"), 1.0f);
  vm.RemoveScript(t, false);
  EXPECT_EQ(e2.GetScriptObject(), nullptr);
  vm.DestroyDeletedScriptObjects();
}

TEST_F(ScriptObjectTest, SoftReferenceFollowsTheObject) {
  EScriptObjectSoftReference ref;
  EScriptObject* o = Make("soft");
  EXPECT_EQ(ref.Find("soft"), o);
  EXPECT_NE(ref.GetRef(), -1);
  EXPECT_EQ(ref.Find("other-name-ignored"), o);
  vm.RemoveScript(o, false);
  vm.DestroyDeletedScriptObjects();
  EXPECT_EQ(ref.Find("soft"), nullptr);
  EScriptObject* again = Make("soft");
  EXPECT_EQ(ref.Find("soft"), again);
  ref.Release();
}

TEST_F(ScriptObjectTest, SetStateRefusesWrongArguments) {
  Make("st");
  EXPECT_FALSE(Run("APISetState('st', nil)"));
  EXPECT_EQ(CountLines("ScriptVM: Wrong args passed to SetState"), 1);
  EXPECT_FALSE(Run("APISetState(gLSO.st, 5)"));
  EXPECT_EQ(CountLines("ScriptVM: Wrong args passed to SetState"), 2);
  EXPECT_TRUE(Run("APISetState(gLSO.st, nil)"));
  EXPECT_TRUE(vm.FindScriptByName("st")->HasNoState());
  EXPECT_FALSE(g_bStackSwapped);
}

TEST_F(ScriptObjectTest, TableReferencesBeyondSixteenBits) {
  // Other holders keep the reference numbers below 32768 busy; an object
  // created then still keeps its table.
  for (int i = 0; i < 33000; ++i) {
    lua_pushnumber(L, (float)i);
    lua_ref(L, 1);
  }
  EScriptObject* o = Make("late");
  ASSERT_NE(o, nullptr);
  EXPECT_GT(o->GetTableRef(), 32767);
  EXPECT_STREQ(o->GetName(), "late");
  EXPECT_EQ(vm.FindScriptByName("late"), o);
  EXPECT_EQ(Num("gLSO.late.kind == 'door' and 1 or 0"), 1.0f);
}
