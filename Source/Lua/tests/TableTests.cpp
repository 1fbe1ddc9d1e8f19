#include <algorithm>
#include <string.h>

#include "LuaTestUtil.h"
#include "lgc.h"
#include "lstring.h"
#include "ltable.h"

namespace {

class TableTest : public LuaTest {
protected:
  Hash* NewTable() {
    lua_newtable(L);
    return hvalue(L->top - 1);
  }
  void SetNum(Hash* t, float key, float value) {
    TObject k, v;
    setnvalue(&k, key);
    setnvalue(&v, value);
    setnodeval(luaH_set(L, t, &k), &v);
  }
  void SetId(Hash* t, uint32_t key, float value) {
    TObject k, v;
    setidvalue(&k, key);
    setnvalue(&v, value);
    setnodeval(luaH_set(L, t, &k), &v);
  }
  int Count(Hash* t) {
    int n = 0;
    for (int i = 0; i < t->size; i++) {
      if (t->node[i].key_tt != LUA_TNIL) n++;
    }
    return n;
  }
};

TEST_F(TableTest, NewTableHasFourSlotsAndTheFourthIntegerKeyRehashesToEight) {
  Hash* t = NewTable();
  EXPECT_EQ(t->size, 4);
  lu_mem before = L->nblocks;
  SetNum(t, 1, 1);
  SetNum(t, 2, 2);
  SetNum(t, 3, 3);
  EXPECT_EQ(t->size, 4);
  SetNum(t, 4, 4);
  EXPECT_EQ(t->size, 8);
  EXPECT_EQ(L->nblocks - before, 12u * 4u);
  for (int k = 1; k <= 4; k++) EXPECT_EQ(luaH_getnum(t, (float)k)->val.n, (float)k);
}

TEST_F(TableTest, WholeNumbersHashToThemselvesAndOtherPatternsSpreadByBits) {
  // whole numbers in the int32 range keep the truncating hash
  const struct {
    float n;
    uint32_t hash;
  } whole[] = {{0.0f, 0u}, {1.0f, 1u}, {-3.0f, (uint32_t)-3}, {2147483520.0f, 2147483520u}, {-2147483648.0f, 0x80000000u}};
  for (const auto& c : whole) {
    TObject k;
    setnvalue(&k, c.n);
    EXPECT_EQ(luaH_hash(LUA_TNUMBER, &k.value), c.hash) << c.n;
  }
  // neighbouring fractions, NaNs, infinities and huge values no longer share
  // the slot of their truncation
  const uint32_t others[] = {0x3F000000u /*0.5*/,  0x3F666666u /*0.9*/, 0xC06CCCCDu /*-3.7*/,
                             0x7FC00000u /*NaN*/,  0xFFFFFFFFu /*NaN*/, 0x7F800000u /*inf*/,
                             0xFF800000u /*-inf*/, 0x60AD78ECu /*1e20*/, 0x80000001u /*tiny id*/};
  for (uint32_t a : others) {
    TObject k;
    setidvalue(&k, a);
    Number n;
    memcpy(&n, &a, sizeof(n));
    EXPECT_NE(luaH_hash(LUA_TNUMBER, &k.value), (uint32_t)luaO_float2int(n)) << std::hex << a;
  }
}

TEST_F(TableTest, IdKeysSpreadOverTheSlotsAndAreAllFound) {
  Hash* t = NewTable();
  const int kCount = 1000;
  auto id = [](int i) { return 0x80000000u | ((uint32_t)i << 16) | (uint32_t)i; };
  for (int i = 0; i < kCount; i++) SetId(t, id(i), (float)i);
  ASSERT_EQ(Count(t), kCount);
  // how many keys sit in their own main slot and how long the longest chain is
  int inMain = 0, longest = 0;
  for (int i = 0; i < kCount; i++) {
    TObject k;
    setidvalue(&k, id(i));
    const Node* mp = luaH_mainposition(t, &k);
    int len = 1;
    for (const Node* n = mp; n->next; n = &t->node[n->next - 1]) len++;
    longest = std::max(longest, len);
    if (mp->key_tt == LUA_TNUMBER && mp->key.id == id(i)) inMain++;
    ASSERT_EQ(luaH_getnumbits(t, id(i))->val.n, (float)i);
  }
  EXPECT_GT(inMain, kCount / 2);
  EXPECT_LT(longest, 16);
}

TEST_F(TableTest, IdKeysWhoseBitsFormANaNAreStoredAndFound) {
  Hash* t = NewTable();
  SetId(t, 0xFFFFFFFFu, 1);
  SetId(t, 0xFFFFFFFFu, 2);
  EXPECT_EQ(Count(t), 1);
  const Node* n = luaH_getnumbits(t, 0xFFFFFFFFu);
  ASSERT_NE(n, &luaO_nilnode);
  EXPECT_EQ(n->val.n, 2.0f);
  // a traversal lists the key once and then ends
  TObject key;
  setnilvalue(&key);
  Node* first = luaH_next(L, t, &key);
  ASSERT_NE(first, nullptr);
  getnodekey(&key, first);
  EXPECT_EQ(key.value.id, 0xFFFFFFFFu);
  EXPECT_EQ(luaH_next(L, t, &key), nullptr);
}

TEST_F(TableTest, ZeroAndMinusZeroAreDistinctKeysBothWays) {
  Hash* t = NewTable();
  SetId(t, 0u, 1);
  SetId(t, 0x80000000u, 2);
  EXPECT_EQ(luaH_getnumbits(t, 0u)->val.n, 1.0f);
  EXPECT_EQ(luaH_getnumbits(t, 0x80000000u)->val.n, 2.0f);
  Hash* u = NewTable();
  SetId(u, 0x80000000u, 1);
  SetId(u, 0u, 2);
  EXPECT_EQ(luaH_getnumbits(u, 0x80000000u)->val.n, 1.0f);
  EXPECT_EQ(luaH_getnumbits(u, 0u)->val.n, 2.0f);
}

TEST_F(TableTest, GrowingPast16384SlotsIsATableOverflow) {
  ASSERT_EQ(Run("t = {} for i = 1, 12287 do t[i] = i end"), 0);
  lua_getglobal(L, "t");
  EXPECT_EQ(lua_gettablesize(L, -1), 16384);
  EXPECT_EQ(Run("for i = 12288, 20000 do t[i] = i end"), LUA_ERRRUN);
  EXPECT_EQ(LastMessage(), "table overflow");
}

TEST_F(TableTest, NilIndexAndUnknownNextKeyAreErrors) {
  EXPECT_EQ(Run("local t = {} local x = t[nil]"), LUA_ERRRUN);
  EXPECT_EQ(LastMessage(), "table index is nil");
  EXPECT_EQ(Run("local t = {} t[nil] = 1"), LUA_ERRRUN);
  EXPECT_EQ(LastMessage(), "table index is nil");
  lua_newtable(L);
  lua_pushstring(L, "absent");
  lua_pushcfunction(L, [](lua_State* L) {
    lua_newtable(L);
    lua_pushstring(L, "absent");
    lua_next(L, -2);
    return 0;
  });
  EXPECT_EQ(lua_call(L, 0, 0), LUA_ERRRUN);
  EXPECT_EQ(LastMessage(), "invalid key for `next'");
}

TEST_F(TableTest, CollectorTurnsLongDeadKeysIntoAbsentNumbers) {
  ASSERT_EQ(Run("t = {} for i = 1, 9 do t['key number ' .. i .. ' that is longer than thirty'] = i "
                "t['s' .. i] = i end"),
            0);
  lua_getglobal(L, "t");
  Hash* t = hvalue(L->top - 1);
  ASSERT_EQ(t->size, 32);
  int mainslot[32];
  for (int i = 0; i < t->size; i++)
    mainslot[i] = luaH_mainposition2(t, t->node[i].key_tt, &t->node[i].key);
  ASSERT_EQ(Run("for k, v in t do t[k] = nil end"), 0);
  lua_setgcthreshold(L, 0);
  int longstrings = 0, shortstrings = 0, numbers = 0;
  for (int i = 0; i < t->size; i++) {
    const Node* n = &t->node[i];
    EXPECT_EQ(n->val_tt, LUA_TNIL);
    if (n->key_tt == LUA_TSTRING) (n->key.ts->len > 30 ? longstrings : shortstrings)++;
    if (n->key_tt == LUA_TNUMBER) {
      numbers++;
      EXPECT_EQ(luaH_mainposition2(t, LUA_TNUMBER, &n->key), mainslot[i]);
    }
  }
  EXPECT_EQ(longstrings, 0);
  EXPECT_EQ(shortstrings, 9);
  EXPECT_EQ(numbers, 9);
  lua_pushnil(L);
  EXPECT_EQ(lua_next(L, -2), 0);  // next skips them all
}

TEST_F(TableTest, TableLoopAndNextSeeEveryKeyOnce) {
  ASSERT_EQ(Run("t = {} for i = 1, 100 do t[i] = i t['k' .. i] = i end "
                "n = 0 s = 0 for k, v in t do n = n + 1 s = s + v t[k] = v * 2 end"),
            0);
  EXPECT_EQ(Num("n"), 200);
  EXPECT_EQ(Num("s"), 10100);
}

TEST(StringHash, HashesEveryByteUpTo63AndSamplesLongerStrings) {
  char a[100], b[100];
  memset(a, 'x', sizeof(a));
  memcpy(b, a, sizeof(b));
  b[99] = 'y';
  EXPECT_EQ(luaS_hash(a, 100), luaS_hash(b, 100));  // step 3: first 33 bytes
  b[32] = 'y';
  EXPECT_NE(luaS_hash(a, 100), luaS_hash(b, 100));
  EXPECT_NE(luaS_hash(a, 63), luaS_hash(b + 37, 63) + 1);
  // h = 1 ^ ((1 << 5) + (1 >> 2) + 'a')
  EXPECT_EQ(luaS_hash("a", 1), 1u ^ (32u + 0u + 97u));
}

TEST_F(LuaTest, StringsAreInterned) {
  TString* a = luaS_new(L, "text");
  EXPECT_EQ(luaS_newlstr(L, "text", 4), a);
  TString* one = luaS_newlstr(L, "a", 1);
  TString* two = luaS_newlstr(L, "a\0", 2);
  EXPECT_NE(one, two);
  EXPECT_EQ(two->len, 2u);
  char long1[100], long2[100];
  memset(long1, 'q', 100);
  memset(long2, 'q', 100);
  long2[99] = 'r';
  TString* l1 = luaS_newlstr(L, long1, 100);
  TString* l2 = luaS_newlstr(L, long2, 100);
  EXPECT_NE(l1, l2);
  EXPECT_EQ(l1->u.s.hash, l2->u.s.hash);
}

TEST_F(LuaTest, StringTableDoublesWhenItsCountExceedsItsSize) {
  stringtable* tb = &L->strt;
  char name[32];
  int i = 0;
  while (tb->nuse < (lu_mem)tb->size) {
    snprintf(name, sizeof(name), "fill%d", i++);
    luaS_new(L, name);
  }
  int size = tb->size;
  lu_mem before = L->nblocks;
  snprintf(name, sizeof(name), "fill%d", i++);
  luaS_new(L, name);  // the (size + 1)-th record
  EXPECT_EQ(tb->size, size * 2);
  EXPECT_EQ(L->nblocks - before, 21u + strlen(name) + 4u * (lu_mem)size);
}

TEST_F(LuaTest, FixedStringsSurviveCollections) {
  TString* fixed = luaS_newfixed(L, "never collected");
  luaS_new(L, "collected");
  lu_mem before = L->nblocks;
  lua_setgcthreshold(L, 0);
  EXPECT_EQ(before - L->nblocks >= 21u + 9u, true);
  lua_setgcthreshold(L, 0);
  EXPECT_EQ(fixed->marked, FIXMARK);
  EXPECT_EQ(luaS_new(L, "never collected"), fixed);
  // reserved words are fixed too
  EXPECT_GE(luaS_new(L, "while")->marked, FIXMARK);
}

TEST_F(LuaTest, UserdataRecordsByPointerAndTag) {
  int tag7 = lua_newtag(L);
  int tag8 = lua_newtag(L);
  static int object;
  lua_pushusertag(L, &object, tag7);
  lua_pushusertag(L, &object, tag7);
  EXPECT_EQ(lua_equal(L, -1, -2), 1);
  lua_pushusertag(L, &object, tag8);
  EXPECT_EQ(lua_equal(L, -1, -2), 0);
  EXPECT_EQ(lua_tag(L, -1), tag8);
  lua_pushusertag(L, &object, LUA_ANYTAG);
  EXPECT_EQ(lua_touserdata(L, -1), &object);
  EXPECT_TRUE(lua_tag(L, -1) == tag7 || lua_tag(L, -1) == tag8);
  lua_pushusertag(L, nullptr, 0);
  EXPECT_EQ(lua_touserdata(L, -1), nullptr);

  void* block = lua_newuserdata(L, 0);
  TString* rec = tsvalue(L->top - 1);
  EXPECT_EQ(block, (void*)(rec + 1));
  char* big = (char*)lua_newuserdata(L, 64);
  memset(big, 0xAB, 64);
  EXPECT_EQ(lua_tag(L, -1), LUA_TUSERDATA);
}

}  // namespace
