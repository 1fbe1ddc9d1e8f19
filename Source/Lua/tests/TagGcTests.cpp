#include <string>
#include <vector>

#include "LuaTestUtil.h"
#include "lgc.h"
#include "lmem.h"
#include "ltm.h"

namespace {

// Runs a native body in a protected call and returns the status.
int Protected(lua_State* L, lua_CFunction body) {
  lua_pushcfunction(L, body);
  return lua_call(L, 0, 0);
}

TEST_F(LuaTest, TagMethodMessages) {
  struct Case {
    lua_CFunction body;
    const char* message;
  } cases[] = {
    {[](lua_State* L) { lua_pushcfunction(L, [](lua_State*) { return 0; }); lua_settagmethod(L, LUA_TNUMBER, "index"); return 0; },
     "cannot change `index' tag method for type `number'"},
    {[](lua_State* L) { lua_pushcfunction(L, [](lua_State*) { return 0; }); lua_settagmethod(L, LUA_TTABLE, "gettable"); return 0; },
     "cannot change `gettable' tag method for type `table' with default tag"},
    {[](lua_State* L) { lua_pushnil(L); lua_settagmethod(L, LUA_TNIL, "le"); return 0; },
     "event `le' is deprecated"},
    {[](lua_State* L) { lua_pushnil(L); lua_settagmethod(L, LUA_TTABLE, "gc"); return 0; },
     "event `gc' for tables is deprecated"},
    {[](lua_State* L) { lua_pushnil(L); lua_settagmethod(L, LUA_TNIL, "bogus"); return 0; },
     "`bogus' is not a valid event name"},
    {[](lua_State* L) { lua_pushnil(L); lua_settagmethod(L, 77, "add"); return 0; },
     "77 is not a valid tag"},
    {[](lua_State* L) { lua_pushnumber(L, 1); lua_settagmethod(L, LUA_TNIL, "add"); return 0; },
     "tag method must be a function (or nil)"},
    {[](lua_State* L) { lua_gettagmethod(L, LUA_TNIL, "ge"); return 0; },
     "event `ge' is deprecated"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Protected(L, c.body), LUA_ERRRUN) << c.message;
    EXPECT_EQ(LastMessage(), c.message);
  }
}

TEST_F(LuaTest, TagMethodsOfNewTags) {
  int tag = lua_newtag(L);
  EXPECT_EQ(tag, 6);
  lua_pushcfunction(L, [](lua_State*) { return 0; });
  lua_settagmethod(L, tag, "gc");  // allowed for a new tag
  lua_gettagmethod(L, tag, "gc");
  EXPECT_EQ(lua_type(L, -1), LUA_TFUNCTION);
  lua_gettagmethod(L, LUA_TNUMBER, "index");
  EXPECT_EQ(lua_type(L, -1), LUA_TNIL);
  int copy = lua_copytagmethods(L, lua_newtag(L), tag);
  lua_gettagmethod(L, copy, "gc");
  EXPECT_EQ(lua_equal(L, -1, -3), 1);
}

TEST_F(LuaTest, IndexAndSettableMethodsOfATaggedTable) {
  ASSERT_EQ(Run("t = {}"), 0);
  int tag = lua_newtag(L);
  lua_getglobal(L, "t");
  lua_settag(L, tag);
  lua_pop(L, 1);
  lua_pushcfunction(L, [](lua_State* L) {
    lua_pushstring(L, "default");
    return 1;
  });
  lua_settagmethod(L, tag, "index");
  lua_pushcfunction(L, [](lua_State* L) {
    lua_error(L, "read-only table");
    return 0;
  });
  lua_settagmethod(L, tag, "settable");
  ASSERT_EQ(Run("x = t.missing"), 0);
  EXPECT_EQ(Str("x"), "default");
  EXPECT_EQ(Run("t.y = 1"), LUA_ERRRUN);
  EXPECT_EQ(LastMessage(), "read-only table");
}

TEST_F(LuaTest, ArithmeticFallsBackToTheGlobalMethod) {
  lua_pushcfunction(L, [](lua_State* L) {
    // (operand 1, operand 2, event name)
    lua_pushstring(L, lua_tostring(L, 3));
    return 1;
  });
  lua_settagmethod(L, LUA_TUSERDATA, "add");  // tag 0: the global fallback
  ASSERT_EQ(Run("t = {} x = t + 1 y = 2 + t"), 0);
  EXPECT_EQ(Str("x"), "add");
  EXPECT_EQ(Str("y"), "add");
}

// Collection callbacks ----------------------------------------------------

std::vector<std::string>* g_events;

TEST_F(LuaTest, CallbacksBracketEveryCollection) {
  std::vector<std::string> events;
  g_events = &events;
  lua_setgccallback([](GCCALLBACK_REASON r, lua_State* L) {
    g_events->push_back(r == GCCALLBACK_BEGIN ? "begin" : "end");
    if (r == GCCALLBACK_END) g_events->push_back(L->GCthreshold == 2 * L->nblocks ? "reset" : "?");
  });
  lua_pushcfunction(L, [](lua_State* L) {
    g_events->push_back(lua_isnil(L, 1) ? "gc nil" : "gc ?");
    return 0;
  });
  lua_settagmethod(L, LUA_TNIL, "gc");
  lua_setgcthreshold(L, 0);
  lua_setgcthreshold(L, 0);
  std::vector<std::string> expected = {"begin", "gc nil", "end", "reset",
                                       "begin", "gc nil", "end", "reset"};
  EXPECT_EQ(events, expected);
}

struct ThreadStack {
  lua_State block;
};
ThreadStack* g_thread;

TEST_F(LuaTest, ThreadCallbackKeepsSuspendedStacksAlive) {
  ThreadStack thread;
  memset((void*)&thread.block, 0, sizeof(thread.block));
  luaD_init(&thread.block, 64);
  g_thread = &thread;
  // a table reachable only from the suspended thread's stack
  lua_newtable(L);
  lua_pushnumber(L, 42);
  lua_rawseti(L, -2, 1);
  *thread.block.top++ = *(L->top - 1);
  lua_pushvalue(L, -1);
  int held = lua_ref(L, 0);
  lua_pop(L, 1);

  lua_setgcthreadcallback([](lua_MarkStackFn mark) { mark(&g_thread->block); });
  lua_setgcthreshold(L, 0);
  EXPECT_EQ(lua_getref(L, held), 1);
  EXPECT_EQ(lua_gettablesize(L, -1), 4);
  lua_pop(L, 1);

  lua_setgcthreadcallback(nullptr);
  lua_setgcthreshold(L, 0);
  EXPECT_EQ(lua_getref(L, held), 0);
  thread.block.top = thread.block.stack;
  luaM_realloc_sized(L, thread.block.stack, 0, (size_t)-1);
}

TEST_F(LuaTest, UserdataGcMethodRunsWithHooksOffWhenTheRecordIsUnreachable) {
  static int s_calls, s_allow;
  static void* s_seen;
  s_calls = 0;
  int tag = lua_newtag(L);
  lua_pushcfunction(L, [](lua_State* L) {
    s_calls++;
    s_allow = L->allowhooks;
    s_seen = lua_touserdata(L, 1);
    return 0;
  });
  lua_settagmethod(L, tag, "gc");
  static int object;
  lua_pushusertag(L, &object, tag);
  lua_setgcthreshold(L, 0);
  EXPECT_EQ(s_calls, 0);  // still on the stack
  lua_pop(L, 1);
  lua_setgcthreshold(L, 0);
  EXPECT_EQ(s_calls, 1);
  EXPECT_EQ(s_allow, 0);
  EXPECT_EQ(s_seen, &object);
  EXPECT_EQ(L->allowhooks, 1);
}

TEST_F(LuaTest, ErrorsInGcMethodsAndCallbacksDoNotStopTheCollection) {
  int tag = lua_newtag(L);
  lua_pushcfunction(L, [](lua_State* L) {
    lua_error(L, "gc method failed");
    return 0;
  });
  lua_settagmethod(L, tag, "gc");
  static int a, b;
  lua_pushusertag(L, &a, tag);
  lua_pushusertag(L, &b, tag);
  lua_pop(L, 2);
  lua_setgccallback([](GCCALLBACK_REASON, lua_State* L) { lua_error(L, "callback failed"); });
  ASSERT_EQ(Run("garbage = {} garbage = nil"), 0);
  int top = lua_gettop(L);
  lua_setgcthreshold(L, 0);
  EXPECT_EQ(lua_gettop(L), top);
  EXPECT_EQ(L->udt.nuse, 0u);
  // nothing is left marked: a second collection frees what became garbage
  lua_setgccallback(nullptr);
  ASSERT_EQ(Run("x = {}"), 0);
  lu_mem before = L->nblocks;
  ASSERT_EQ(Run("x = nil"), 0);
  lua_setgcthreshold(L, 0);
  EXPECT_LT(L->nblocks, before);
  EXPECT_EQ(L->GCthreshold, 2 * L->nblocks);
  EXPECT_EQ(Run("y = 1"), 0);
}

TEST_F(LuaTest, ObjectsMadeByGcMethodsSurvive) {
  int tag = lua_newtag(L);
  lua_pushcfunction(L, [](lua_State* L) {
    lua_newtable(L);
    lua_pushstring(L, "made while collecting");
    lua_rawseti(L, -2, 1);
    lua_setglobal(L, "made");
    return 0;
  });
  lua_settagmethod(L, tag, "gc");
  static int a;
  lua_pushusertag(L, &a, tag);
  lua_pop(L, 1);
  lua_setgcthreshold(L, 0);
  ASSERT_EQ(Run("s = made[1]"), 0);
  EXPECT_EQ(Str("s"), "made while collecting");
}

TEST_F(LuaTest, CloseRunsGcMethodsOfEveryUserdata) {
  static int s_calls;
  s_calls = 0;
  lua_State* S = lua_open(0);
  int tag = lua_newtag(S);
  lua_pushcfunction(S, [](lua_State*) {
    s_calls++;
    return 0;
  });
  lua_settagmethod(S, tag, "gc");
  static int a, b;
  lua_pushusertag(S, &a, tag);
  lua_pushusertag(S, &b, tag);
  lua_setglobal(S, "kept");
  lua_close(S);
  EXPECT_EQ(s_calls, 2);
}

TEST_F(LuaTest, ScratchBufferShrinksDuringCollection) {
  luaO_openspace(L, 4096);
  lu_mem before = L->nblocks;
  lua_setgcthreshold(L, 0);
  EXPECT_EQ(L->Mbuffsize, 2048u);
  EXPECT_LE(L->nblocks, before - 2048);
}

}  // namespace
