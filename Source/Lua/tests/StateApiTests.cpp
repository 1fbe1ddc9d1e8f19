#include <math.h>
#include <string.h>

#include "LuaTestUtil.h"
#include "lmem.h"
#include "lstring.h"
#include "ltable.h"

namespace {

TEST_F(LuaTest, IdsTravelUnchangedThroughNumberSlots) {
  lua_pushid(L, 0xFFFFFFFFu);
  EXPECT_EQ(lua_toid(L, -1), 0xFFFFFFFFu);
  EXPECT_EQ(lua_isid(L, -1), 1);
  EXPECT_EQ(lua_type(L, -1), LUA_TNUMBER);
  EXPECT_EQ(lua_equal(L, -1, -1), 1);  // a NaN pattern equals itself
  lua_pushstring(L, "12");
  EXPECT_EQ(lua_isid(L, -1), 0);
  EXPECT_EQ(lua_isnumber(L, -1), 1);
  // a string is not an id: no address bits leak out
  EXPECT_EQ(lua_toid(L, -1), 0u);
  EXPECT_EQ(lua_toid(L, lua_gettop(L) + 1), 0u);
  EXPECT_EQ(lua_isid(L, lua_gettop(L) + 1), 0);
}

TEST_F(LuaTest, IntegerPushesRoundToNearestFloat) {
  lua_pushuint(L, 0xFFFFFFFFu);
  EXPECT_EQ(lua_tonumber(L, -1), 4294967296.0f);
  lua_pushint(L, -16777217);
  EXPECT_EQ(lua_tonumber(L, -1), -16777216.0f);
  lua_pushint(L, 7);
  EXPECT_EQ(lua_toid(L, -1), 0x40E00000u);
}

// Equality is symmetric: a zero pattern equals only itself, identical bits
// are equal, anything else compares as floats.
TEST_F(LuaTest, NumberEqualityIsSymmetric) {
  struct Case {
    uint32_t a, b;
    int equal;
  } cases[] = {
    {0x80000000u, 0u, 0},           // -0 and +0
    {0u, 0x80000000u, 0},
    {0u, 0u, 1},
    {0x7FC00001u, 0x7FC00001u, 1},  // identical NaN patterns
    {0x7FC00001u, 0x7FC00002u, 0},
    {0x3F800000u, 0x3F800000u, 1},
    {0x3F800000u, 0x40000000u, 0},
  };
  for (const Case& c : cases) {
    lua_pushid(L, c.a);
    lua_pushid(L, c.b);
    EXPECT_EQ(lua_equal(L, -2, -1), c.equal) << std::hex << c.a << " " << c.b;
    EXPECT_EQ(lua_equal(L, -1, -2), c.equal) << std::hex << c.b << " " << c.a;
    lua_pop(L, 2);
  }
}

TEST_F(LuaTest, QueriesTreatIndexesAboveTopAsNoValue) {
  lua_pushnumber(L, 1);
  int above = lua_gettop(L) + 1;
  EXPECT_EQ(lua_type(L, above), LUA_TNONE);
  EXPECT_STREQ(lua_typename(L, LUA_TNONE), "no value");
  EXPECT_EQ(lua_tag(L, above), LUA_NOTAG);
  EXPECT_EQ(lua_equal(L, 1, above), 0);
  EXPECT_EQ(lua_lessthan(L, 1, above), 0);
  EXPECT_EQ(lua_tonumber(L, above), 0.0f);
  EXPECT_EQ(lua_tostring(L, above), nullptr);
  EXPECT_EQ(lua_strlen(L, above), 0u);
}

TEST_F(LuaTest, ConversionsHappenInTheirSlots) {
  lua_pushnumber(L, 0.1f);
  EXPECT_STREQ(lua_tostring(L, -1), "0.1000000014901161");
  EXPECT_EQ(lua_type(L, -1), LUA_TSTRING);
  lua_pushstring(L, " 0x10 ");
  EXPECT_EQ(lua_tonumber(L, -1), 16.0f);
  EXPECT_EQ(lua_type(L, -1), LUA_TNUMBER);
  lua_pushstring(L, "10x");
  EXPECT_EQ(lua_tonumber(L, -1), 0.0f);
  EXPECT_EQ(lua_isnumber(L, -1), 0);
}

TEST_F(LuaTest, StackManipulation) {
  for (int i = 1; i <= 4; i++) lua_pushint(L, i);
  lua_insert(L, 1);  // 4 1 2 3
  lua_remove(L, 2);  // 4 2 3
  lua_pushvalue(L, 1);
  ASSERT_EQ(lua_gettop(L), 4);
  EXPECT_EQ(lua_tonumber(L, 1), 4);
  EXPECT_EQ(lua_tonumber(L, 2), 2);
  EXPECT_EQ(lua_tonumber(L, 3), 3);
  EXPECT_EQ(lua_tonumber(L, 4), 4);
  lua_settop(L, 6);
  EXPECT_EQ(lua_type(L, 6), LUA_TNIL);
  lua_settop(L, -3);
  EXPECT_EQ(lua_gettop(L), 4);
  EXPECT_EQ(lua_stackspace(L), (int)(L->stack_last - L->top));
}

TEST_F(LuaTest, StateAndStackAreCountedAsSpecified) {
  EXPECT_EQ(L->stacksize, 1024);
  lua_State* fresh = lua_open(0);
  EXPECT_EQ(fresh->GCthreshold, 2 * fresh->nblocks);
  lua_close(fresh);
  lu_mem before = L->nblocks;
  lua_newtable(L);
  EXPECT_EQ(L->nblocks - before, 24u + 12u * 4u);
  EXPECT_EQ(lua_gettablesize(L, -1), 4);
  before = L->nblocks;
  lua_pushstring(L, "a fresh string of 30 bytes....");
  EXPECT_EQ(L->nblocks - before, 21u + 30u);
  before = L->nblocks;
  lua_pushint(L, 1);
  lua_pushint(L, 2);
  lua_pushcclosure(L, [](lua_State*) { return 0; }, 2);
  EXPECT_EQ(L->nblocks - before, 16u + 8u * 2u);
  before = L->nblocks;
  lua_newtag(L);
  EXPECT_EQ(L->nblocks - before, 64u);
  before = L->nblocks;
  lua_pushint(L, 5);
  lua_ref(L, 1);
  EXPECT_EQ(L->nblocks - before, 12u);
  before = L->nblocks;
  lua_newuserdata(L, 10);
  EXPECT_EQ(L->nblocks - before, 21u + 10u);

  lua_State* small = lua_open(100);
  ASSERT_NE(small, nullptr);
  EXPECT_EQ(small->stacksize, 120);
  lua_close(small);
}

TEST_F(LuaTest, ThreadStackBlocksAreCountedAndFreedByTheHost) {
  lua_State thread;
  memset((void*)&thread, 0, sizeof(thread));
  lu_mem before = thread.nblocks;
  luaD_init(&thread, 1024);
  EXPECT_EQ(thread.nblocks - before, 8u * 1024u);
  EXPECT_EQ(thread.top, thread.stack);
  EXPECT_EQ(thread.Cbase, thread.stack);
  EXPECT_EQ(thread.stack_last, thread.stack + 1023);
  luaM_realloc_sized(L, thread.stack, 0, (size_t)-1);
}

TEST_F(LuaTest, SettingTheThresholdToOneCollectsAtOnce) {
  static int s_calls;
  s_calls = 0;
  lua_setgccallback([](GCCALLBACK_REASON, lua_State*) { s_calls++; });
  lua_setgcthreshold(L, 1);
  EXPECT_EQ(s_calls, 2);
  EXPECT_EQ(L->GCthreshold, 2 * L->nblocks);
  EXPECT_EQ(lua_getgccount(L), (int)(L->nblocks >> 10));
  lua_setgcthreshold(L, 0x400000);
  EXPECT_EQ(L->GCthreshold, 0xFFFFFFFFu);
}

TEST_F(LuaTest, AllocatorRefusesHugeBlocks) {
  EXPECT_EQ(luaM_realloc_sized(nullptr, nullptr, 0xFFFFFFFDu, 0), nullptr);
  lua_pushcfunction(L, [](lua_State* L) {
    luaM_realloc_sized(L, nullptr, 0xFFFFFFFDu, 0);
    return 0;
  });
  EXPECT_EQ(lua_call(L, 0, 0), LUA_ERRRUN);
  EXPECT_EQ(LastMessage(), "memory allocation error: block too big");
}

TEST_F(LuaTest, GrowthKeepsPowerOfTwoCapacity) {
  int* v = nullptr;
  v = (int*)luaM_growaux_sized(L, v, 0, 1, sizeof(int), "overflow", 100, 0);
  ASSERT_NE(v, nullptr);
  int* same = (int*)luaM_growaux_sized(L, v, 1, 1, sizeof(int), "overflow", 100, 0);
  EXPECT_EQ(same, v);  // still within the first 4
  v = (int*)luaM_growaux_sized(L, same, 3, 1, sizeof(int), "overflow", 100, 0);
  for (int i = 0; i < 8; i++) v[i] = i;  // room for 8
  luaM_free(L, v);
  lua_pushcfunction(L, [](lua_State* L) {
    luaM_growaux_sized(L, nullptr, 99, 1, 1, "reference table overflow", 100, 0);
    return 0;
  });
  EXPECT_EQ(lua_call(L, 0, 0), LUA_ERRRUN);
  EXPECT_EQ(LastMessage(), "reference table overflow");
  EXPECT_EQ(luaO_power2(0), 4u);
  EXPECT_EQ(luaO_power2(4), 8u);
  EXPECT_EQ(luaO_power2(9), 16u);
}

TEST_F(LuaTest, References) {
  lua_pushnil(L);
  int top = lua_gettop(L);
  EXPECT_EQ(lua_ref(L, 1), LUA_REFNIL);
  EXPECT_EQ(lua_gettop(L), top - 1);
  EXPECT_EQ(lua_getref(L, LUA_REFNIL), 1);
  EXPECT_EQ(lua_type(L, -1), LUA_TNIL);
  lua_pop(L, 1);

  // the registry is reference 0
  EXPECT_EQ(lua_getref(L, 0), 1);
  EXPECT_EQ(lua_type(L, -1), LUA_TTABLE);
  lua_pop(L, 1);

  lua_pushint(L, 1);
  int a = lua_ref(L, 1);
  lua_pushint(L, 2);
  int b = lua_ref(L, 1);
  lua_unref(L, a);
  lua_unref(L, b);
  lua_pushint(L, 3);
  EXPECT_EQ(lua_ref(L, 1), b);  // last freed first
  lua_pushint(L, 4);
  EXPECT_EQ(lua_ref(L, 1), a);
  top = lua_gettop(L);
  EXPECT_EQ(lua_getref(L, 9999), 0);
  EXPECT_EQ(lua_gettop(L), top);

  // a held reference does not keep its value alive
  lua_newtable(L);
  int held = lua_ref(L, 0);
  lua_setgcthreshold(L, 0);
  EXPECT_EQ(lua_getref(L, held), 0);
  EXPECT_EQ(lua_gettop(L), top);
}

TEST_F(LuaTest, TagsOfTablesAndUserdata) {
  int tag = lua_newtag(L);
  EXPECT_EQ(tag, 6);
  lua_newtable(L);
  lua_settag(L, tag);
  EXPECT_EQ(lua_gettop(L), 1);  // stays on the stack
  EXPECT_EQ(lua_tag(L, -1), tag);
  lua_pushnumber(L, 1);
  lua_pushcfunction(L, [](lua_State* L) {
    lua_pushnumber(L, 1);
    lua_settag(L, 6);
    return 0;
  });
  EXPECT_EQ(lua_call(L, 0, 0), LUA_ERRRUN);
  EXPECT_EQ(LastMessage(), "cannot change the tag of a number");
  lua_pushcfunction(L, [](lua_State* L) {
    lua_newtable(L);
    lua_settag(L, 99);
    return 0;
  });
  EXPECT_EQ(lua_call(L, 0, 0), LUA_ERRRUN);
  EXPECT_EQ(LastMessage(), "tag 99 was not created by `newtag'");
  lua_pushcfunction(L, [](lua_State* L) {
    lua_pushusertag(L, nullptr, 42);
    return 0;
  });
  EXPECT_EQ(lua_call(L, 0, 0), LUA_ERRRUN);
  EXPECT_EQ(LastMessage(), "invalid tag for a userdata (42)");
}

TEST_F(LuaTest, ErrorMessageDefaultHandlerWritesToStandardError) {
  lua_State* plain = lua_open(0);
  testing::internal::CaptureStderr();
  EXPECT_EQ(lua_dostring(plain, "error_here()"), LUA_ERRRUN);
  lua_getglobal(plain, "_ERRORMESSAGE");
  lua_pushnil(plain);
  lua_call(plain, 1, 0);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("error: attempt to call global `error_here' (a nil value)\n"),
            std::string::npos);
  EXPECT_NE(err.find("error: (no message)\n"), std::string::npos);
  lua_close(plain);
}

TEST_F(LuaTest, GetnAndNext) {
  ASSERT_EQ(Run("t = {10, 20, 30; x = 1} u = {n = 7.9} v = {} v[5] = 1 v[2] = 1"), 0);
  lua_getglobal(L, "t");
  EXPECT_EQ(lua_getn(L, -1), 3);
  lua_getglobal(L, "u");
  EXPECT_EQ(lua_getn(L, -1), 7);
  lua_getglobal(L, "v");
  EXPECT_EQ(lua_getn(L, -1), 5);
  lua_settop(L, 0);
  lua_getglobal(L, "t");
  int count = 0;
  lua_pushnil(L);
  while (lua_next(L, 1)) {
    count++;
    lua_pop(L, 1);
  }
  EXPECT_EQ(count, 4);
  EXPECT_EQ(lua_gettop(L), 1);
}

TEST_F(LuaTest, ConcatOfStackValues) {
  lua_pushstring(L, "a");
  lua_pushnumber(L, 3);
  lua_pushstring(L, "");
  lua_pushstring(L, "b");
  lua_concat(L, 4);
  EXPECT_EQ(lua_gettop(L), 1);
  EXPECT_STREQ(lua_tostring(L, -1), "a3b");
  lua_concat(L, 0);
  EXPECT_STREQ(lua_tostring(L, -1), "");
}

}  // namespace
