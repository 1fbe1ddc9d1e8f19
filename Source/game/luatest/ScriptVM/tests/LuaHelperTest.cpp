// Native registration, argument checks and conversions.
#include <strings.h>

#include "ScriptVMTestUtil.h"
#include "TWMath/Vector.h"
#include "VERirezo/Entity.h"
#include "VERirezo/MeshEntity.h"

namespace {
int Nothing(lua_State*) { return 0; }
ELuaHelper s_Beta(Nothing, "zzOrderBeta");
ELuaHelper s_Alpha(Nothing, "zzOrderalpha");
ELuaHelper s_Gamma(Nothing, "zzOrderGamma");

int s_iArgsOk = -1;
LUA_NATIVE(TestCheckArgs) {
  s_iArgsOk = _lh_checkArgs(L, 1, 3) ? 1 : 0;
  return 0;
}
LUA_NATIVE(TestCheckTwo) {
  s_iArgsOk = _lh_checkArgs(L, 2, 2) ? 1 : 0;
  return 0;
}
bool s_bSwappedInside = false;
LUA_NATIVE(TestSwapped) {
  s_bSwappedInside = g_bStackSwapped;
  return 0;
}
EEntity* s_pGot = nullptr;
LUA_NATIVE(TestEntity) {
  s_pGot = Lua_LSOToEntity(L, LuaArg(1), lua_gettop(L) > 1);
  return 0;
}
}  // namespace

class LuaHelperTest : public ScriptVMTest {};

TEST_F(LuaHelperTest, RegistrationsAreSortedIgnoringCase) {
  std::vector<std::string> order;
  for (ELuaHelper* p = ELuaHelper::sm_Head; p; p = p->m_pNext) {
    if (strncmp(p->m_szName, "zzOrder", 7) == 0) order.push_back(p->m_szName);
  }
  ASSERT_EQ(order.size(), 3u);
  EXPECT_EQ(order[0], "zzOrderalpha");
  EXPECT_EQ(order[1], "zzOrderBeta");
  EXPECT_EQ(order[2], "zzOrderGamma");
  for (ELuaHelper* p = ELuaHelper::sm_Head; p && p->m_pNext; p = p->m_pNext)
    EXPECT_LE(strcasecmp(p->m_szName, p->m_pNext->m_szName), 0);
  EXPECT_EQ(Num("type(Yield) == 'function' and type(zzOrderBeta) == 'function' and 1 or 0"), 1.0f);
}

TEST_F(LuaHelperTest, ArgumentCountsAreChecked) {
  struct Case {
    const char* call;
    int ok;
    const char* message;
  } cases[] = {
      {"TestCheckArgs()", 0, "[dostring](1) TestCheckArgs (null): invalid # of arguments (need 1-3)"},
      {"TestCheckArgs(1, 2)", 1, nullptr},
      {"TestCheckArgs(1, 2, 3, 4)", 0, "invalid # of arguments (need 1-3)"},
      {"TestCheckTwo(1, 2, 3)", 0, "TestCheckTwo (null): invalid # of arguments (need 2)"},
  };
  for (const Case& c : cases) {
    m_Lines.clear();
    EXPECT_TRUE(Run(c.call));
    EXPECT_EQ(s_iArgsOk, c.ok) << c.call;
    if (c.message) EXPECT_EQ(CountLines(c.message), 1) << c.call << "\n" << AllLines();
    else EXPECT_TRUE(m_Lines.empty()) << AllLines();
  }
}

TEST_F(LuaHelperTest, WrapperMarksNativesRunInsideAThread) {
  WriteClass("test.Swap", "  o.initialState = function(self) TestSwapped() self:SetState(nil) end");
  Run("TestSwapped()");
  EXPECT_FALSE(s_bSwappedInside);
  vm.CreateScriptObject("test.Swap", "swap", nullptr, nullptr, false, false, true, false);
  Frames(1);
  EXPECT_TRUE(s_bSwappedInside);
  EXPECT_FALSE(g_bStackSwapped);
  EXPECT_EQ(g_pOriginalStack, nullptr);
}

TEST_F(LuaHelperTest, FrameInfoOutsideAnyScriptStaysInItsBuffer) {
  EXPECT_STREQ(Lua_GetFrameInfo(L), "0) (null) (null)");
}

TEST_F(LuaHelperTest, FrameInfoNamesTheFileBelowScripts) {
  WriteFile("scripts/levels/ca/cabin.lua", "\n\nTestCheckArgs()\n");
  vm.SuppressWarnings(false);
  vm.DoFile("scripts/levels/ca/cabin.lua", false);
  EXPECT_EQ(CountLines("levels/ca/cabin.lua(3) TestCheckArgs (null): invalid"), 1) << AllLines();
}

TEST_F(LuaHelperTest, NumbersStringsColoursAndVectors) {
  lua_settop(L, 0);
  m_Lines.clear();
  lua_pushstring(L, "abc");
  lua_pushnil(L);
  lua_newtable(L);
  EXPECT_EQ(Lua_ToNumberStrict(L, 1, false), 0.0f);
  EXPECT_TRUE(m_Lines.empty());
  EXPECT_EQ(Lua_ToNumberStrict(L, 2, true), 0.0f);
  EXPECT_TRUE(m_Lines.empty());
  Lua_ToNumberStrict(L, 2, false);
  EXPECT_EQ(CountLines("argument 2 is nil (not a number)"), 1);
  EXPECT_EQ(Lua_ToStringStrict(L, 3, false), nullptr);
  EXPECT_EQ(CountLines("argument 3: expected string, got table"), 1);
  lua_settop(L, 0);

  lua_pushnumber(L, 300);
  lua_pushnumber(L, -5);
  lua_pushnumber(L, 127.5f);
  lua_pushnumber(L, 255);
  EVec4 c = Lua_ToColor(L, 1, false);
  EXPECT_EQ(c.x, 1.0f);
  EXPECT_EQ(c.y, 0.0f);
  EXPECT_NEAR(c.z, 0.5f, 1e-6f);
  EXPECT_EQ(c.w, 1.0f);
  lua_settop(L, 0);

  Run("tv = { x = 2 }");
  lua_getglobal(L, "tv");
  m_Lines.clear();
  EVec3 v = Lua_TableToEVec3(L, -1);
  EXPECT_EQ(v.x, 2.0f);
  EXPECT_EQ(v.y, 0.0f);
  EXPECT_EQ(v.z, 0.0f);
  EXPECT_EQ(lua_gettop(L), 1);
  EXPECT_TRUE(m_Lines.empty());
  lua_settop(L, 0);

  Lua_PushTableVector(L, EVec3(1, 2, 3), "tv");
  EXPECT_TRUE(lua_istable(L, -1));
  lua_settop(L, 0);
  EXPECT_EQ(Num("tv.z"), 3.0f);
  Lua_PushTableVector(L, EVec3(1, 2, 3), "noSuchGlobal");
  EXPECT_TRUE(lua_isnil(L, -1));
  EXPECT_EQ(CountLines("global 'noSuchGlobal' is not a table"), 1);
  lua_settop(L, 0);
}

TEST_F(LuaHelperTest, CallMethodLeavesTheStackAsFound) {
  WriteClass("test.Pos", "  o.getPosition = function(self) return 1, 2, 3 end\n  o.fails = function(self) error('x') end");
  vm.CreateScriptObject("test.Pos", "pos", nullptr, nullptr, false, false, true, false);
  lua_settop(L, 0);
  Run("plain = { xpos = 4, ypos = 5, zpos = 6 } partial = { xpos = 1 }");
  lua_getglobal(L, "gLSO");
  lua_pushstring(L, "pos");
  lua_rawget(L, -2);
  EVec3 p;
  EXPECT_TRUE(Lua_GetLSOPosition(L, -1, p));
  EXPECT_EQ(p.z, 3.0f);
  float r;
  EXPECT_FALSE(Lua_CallMethod(L, -1, "fails", 0, nullptr, 1, &r));
  EXPECT_FALSE(Lua_CallMethod(L, -1, "missing", 0, nullptr, 1, &r));
  EXPECT_EQ(lua_gettop(L), 2);
  lua_getglobal(L, "plain");
  EXPECT_TRUE(Lua_GetLSOPosition(L, -1, p));
  EXPECT_EQ(p.y, 5.0f);
  lua_getglobal(L, "partial");
  EXPECT_FALSE(Lua_GetLSOPosition(L, -1, p));
  EXPECT_EQ(p.x, 0.0f);
  EXPECT_EQ(lua_gettop(L), 4);
  EEuler e;
  EXPECT_FALSE(Lua_GetLSOOrientation(L, -1, e));
  lua_settop(L, 0);
}

TEST_F(LuaHelperTest, EntitiesResolveOnlyThroughTheirOwnIds) {
  WriteClass("test.Body", "");
  EMeshEntity* pEntity = new EMeshEntity(nullptr, "Body01");
  EScriptObject* withEntity = vm.CreateScriptObject("test.Body", "body", pEntity, nullptr, false, false, true, false);
  pEntity->SetScriptObject(withEntity);
  EScriptObject* without = vm.CreateScriptObject("test.Body", "ghost", nullptr, nullptr, false, false, true, false);
  ASSERT_TRUE(withEntity && without);

  uint32_t id = pEntity->GetScriptId();
  lua_pushid(L, id);
  lua_setglobal(L, "bodyId");
  lua_pushid(L, without->GetScriptId());
  lua_setglobal(L, "objectId");

  struct Case {
    const char* args;
    EEntity* expected;
    const char* message;
  } cases[] = {
      {"gLSO.body", pEntity, nullptr},
      {"'body'", pEntity, nullptr},
      {"bodyId", pEntity, nullptr},
      {"12345", nullptr, "is not an entity id"},
      {"objectId", nullptr, "is not an entity id"},
      {"gLSO.ghost", nullptr, "Warn: LSO ghost does not have an entity"},
      {"'nobody'", nullptr, "Could not find script object named 'nobody'"},
      {"nil, 1", nullptr, nullptr},
      {"nil", nullptr, "NULL script object passed"},
      {"{}", nullptr, nullptr},
  };
  for (const Case& c : cases) {
    m_Lines.clear();
    s_pGot = reinterpret_cast<EEntity*>(1);
    EXPECT_TRUE(Run((std::string("TestEntity(") + c.args + ")").c_str()));
    EXPECT_EQ(s_pGot, c.expected) << c.args;
    if (c.message) EXPECT_EQ(CountLines(c.message), 1) << c.args << "\n" << AllLines();
    else EXPECT_TRUE(m_Lines.empty()) << c.args << "\n" << AllLines();
  }

  // A dead entity gives null quietly (its deletion request removed its
  // script object too); after its deletion the id names nothing.
  pEntity->InternalDelayedDelete();
  EXPECT_TRUE(withEntity->IsDead());
  m_Lines.clear();
  Run("TestEntity(bodyId)");
  EXPECT_EQ(s_pGot, nullptr);
  EXPECT_TRUE(m_Lines.empty());
  vm.DestroyDeletedScriptObjects();
  delete pEntity;
  Run("TestEntity(bodyId)");
  EXPECT_EQ(s_pGot, nullptr);
  EXPECT_EQ(CountLines("is not an entity id"), 1);
}

TEST_F(LuaHelperTest, PushEntityGivesTableIdOrNil) {
  lua_settop(L, 0);
  EXPECT_TRUE(Lua_PushEntity(L, nullptr, true));
  EXPECT_EQ(lua_toid(L, -1), 0u);
  EXPECT_FALSE(Lua_PushEntity(L, nullptr, false));
  EXPECT_TRUE(lua_isnil(L, -1));
  EMeshEntity e(nullptr, "Loose");
  EXPECT_TRUE(Lua_PushEntity(L, &e, true));
  EXPECT_EQ(EEntity::FromScriptId(lua_toid(L, -1)), &e);
  lua_settop(L, 0);
}
