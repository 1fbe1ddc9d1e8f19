// Tables: chained scatter tables with Brent's variation. Colliding keys are
// chained inside the slot vector; a key that is not in its main slot moves
// away when the owner of that slot arrives. Chain links are slot numbers
// counted from 1 (0 ends a chain).
#include "ltable.h"

#include <string.h>

#include "ldo.h"
#include "lmem.h"
#include "lstate.h"
#include "lstring.h"

#define nextnode(t, n) ((n)->next ? &(t)->node[(n)->next - 1] : (Node*)NULL)
#define setnext(t, n, to) ((n)->next = (to) ? (short)((to) - (t)->node + 1) : (short)0)

// Whole numbers in the int32 range hash to their own value, so ordinary
// integer keys keep their slots and iteration order. Every other pattern
// (fractions, ids carried as numbers, NaNs, infinities, huge values) is
// spread by its bits: truncation would send them all to a handful of slots.
// Equal numbers still hash alike: distinct patterns that compare equal are
// only +0 and -0, and a zero pattern equals only itself.
static uint32_t numberhash(uint32_t bits) {
  Number n;
  memcpy(&n, &bits, sizeof(n));
  if (n >= -2147483648.0f && n < 2147483648.0f) {
    const int32_t i = (int32_t)n;
    if ((Number)i == n) return (uint32_t)i;
  }
  bits ^= bits >> 16;
  bits *= 0x7FEB352Du;
  bits ^= bits >> 15;
  bits *= 0x846CA68Bu;
  bits ^= bits >> 16;
  return bits;
}

uint32_t luaH_hash(int tag, const Value* value) {
  switch (tag) {
    case LUA_TNUMBER: return numberhash(value->id);
    case LUA_TSTRING: return value->ts->u.s.hash;
    default: return (uint32_t)((uintptr_t)value->p >> 3);
  }
}

int luaH_mainposition2(const Hash* t, int tag, const Value* value) {
  switch (tag) {
    case LUA_TUSERDATA:
    case LUA_TNUMBER:
    case LUA_TSTRING:
    case LUA_TTABLE:
    case LUA_TFUNCTION:
      return (int)(luaH_hash(tag, value) & (uint32_t)(t->size - 1)) + 1;
    default:
      return 0;
  }
}

Node* luaH_mainposition(const Hash* t, const TObject* key) {
  int mp = luaH_mainposition2(t, ttype(key), &key->value);
  return mp ? &t->node[mp - 1] : NULL;
}

const Node* luaH_getnumbits(const Hash* t, uint32_t bits) {
  const Node* n = &t->node[numberhash(bits) & (uint32_t)(t->size - 1)];
  do {
    if (n->key_tt == LUA_TNUMBER && luaO_equalnumber(bits, n->key.id)) return n;
    n = nextnode(t, n);
  } while (n);
  return &luaO_nilnode;
}

const Node* luaH_getnum(const Hash* t, Number key) {
  uint32_t bits;
  memcpy(&bits, &key, sizeof(bits));
  return luaH_getnumbits(t, bits);
}

const Node* luaH_getstr(const Hash* t, TString* key) {
  const Node* n = &t->node[key->u.s.hash & (uint32_t)(t->size - 1)];
  do {
    if (n->key_tt == LUA_TSTRING && n->key.ts == key) return n;
    n = nextnode(t, n);
  } while (n);
  return &luaO_nilnode;
}

static const Node* luaH_getany(const Hash* t, const TObject* key) {
  const Node* n = luaH_mainposition(t, key);
  if (n == NULL) return &luaO_nilnode;
  do {
    if (luaO_equalTypedValue(key, n->key_tt, &n->key)) return n;
    n = nextnode(t, n);
  } while (n);
  return &luaO_nilnode;
}

const Node* luaH_get(lua_State* L, const Hash* t, const TObject* key) {
  switch (ttype(key)) {
    case LUA_TNUMBER: return luaH_getnumbits(t, key->value.id);
    case LUA_TSTRING: return luaH_getstr(t, tsvalue(key));
    case LUA_TNIL: lua_error(L, "table index is nil");
    default: return luaH_getany(t, key);
  }
}

Node* luaH_next(lua_State* L, const Hash* t, const TObject* key) {
  int i;
  if (ttype(key) == LUA_TNIL) {
    i = 0;
  } else {
    const Node* n = luaH_get(L, t, key);
    if (n == &luaO_nilnode) lua_error(L, "invalid key for `next'");
    i = (int)(n - t->node) + 1;
  }
  for (; i < t->size; i++) {
    Node* n = node(t, i);
    if (n->val_tt != LUA_TNIL) return n;
  }
  return NULL;
}

void luaH_remove(Hash* t, Node* e) {
  if (e->key_tt == LUA_TNUMBER) return;
  if (e->key_tt == LUA_TSTRING && e->key.ts->len <= 30) return;
  int mp = luaH_mainposition2(t, e->key_tt, &e->key);
  if (mp == 0) return;
  int n = mp - 1;
  for (;;) {
    if (luaH_getnum(t, (Number)n) == &luaO_nilnode) {
      // a number key with the same main slot that the table does not hold
      Number f = (Number)n;
      e->key_tt = LUA_TNUMBER;
      e->key.p = NULL;
      e->key.n = f;
      return;
    }
    n += t->size;
    if (n >= MAX_TABLE_SLOTS - t->size) return;
  }
}

static void setnodevector(lua_State* L, Hash* t, lu_mem size) {
  if (size > MAX_TABLE_SLOTS) lua_error(L, "table overflow");
  t->node = luaM_newvector(L, size, Node);
  for (lu_mem i = 0; i < size; i++) {
    t->node[i].key.p = NULL;
    t->node[i].val.p = NULL;
    t->node[i].key_tt = LUA_TNIL;
    t->node[i].val_tt = LUA_TNIL;
    t->node[i].next = 0;
  }
  L->nblocks += sizetable(size) - sizetable(t->size);
  t->size = (int)size;
  t->firstfree = &t->node[size - 1];
}

Hash* luaH_new(lua_State* L, int size) {
  Hash* t = luaM_new(L, Hash);
  t->htag = LUA_TTABLE;
  t->next = L->roottable;
  L->roottable = t;
  t->mark = t;
  t->size = 0;
  t->node = NULL;
  L->nblocks += sizetable(0);
  setnodevector(L, t, luaO_power2((lu_mem)(size < 0 ? 0 : size)));
  return t;
}

void luaH_free(lua_State* L, Hash* t) {
  L->nblocks -= sizetable(t->size);
  luaM_free(L, t->node);
  luaM_free(L, t);
}

static int numuse(const Hash* t) {
  int realuse = 0;
  for (int i = 0; i < t->size; i++) {
    if (t->node[i].val_tt != LUA_TNIL) realuse++;
  }
  return realuse;
}

static void rehash(lua_State* L, Hash* t) {
  int oldsize = t->size;
  Node* nold = t->node;
  int nelems = numuse(t);
  lu_mem newsize;
  if (nelems >= oldsize - oldsize / 4)
    newsize = (lu_mem)oldsize * 2;
  else if (nelems <= oldsize / 4 && oldsize > MINPOWER2)
    newsize = (lu_mem)oldsize / 2;
  else
    newsize = (lu_mem)oldsize;
  setnodevector(L, t, newsize);
  for (int i = 0; i < oldsize; i++) {
    Node* old = nold + i;
    if (old->val_tt != LUA_TNIL) {
      TObject key;
      getnodekey(&key, old);
      Node* n = luaH_set(L, t, &key);
      n->val_tt = old->val_tt;
      n->val = old->val;
    }
  }
  luaM_free(L, nold);
}

Node* luaH_set(lua_State* L, Hash* t, const TObject* key) {
  int mpi = luaH_mainposition2(t, ttype(key), &key->value);
  if (mpi == 0) lua_error(L, "table index is nil");
  Node* mp = node(t, mpi - 1);
  for (Node* n = mp; n; n = nextnode(t, n)) {
    if (luaO_equalTypedValue(key, n->key_tt, &n->key)) return n;
  }
  if (mp->key_tt != LUA_TNIL) {
    Node* n = t->firstfree;
    Node* othern;
    if (mp > n &&
        (othern = node(t, luaH_mainposition2(t, mp->key_tt, &mp->key) - 1)) != mp) {
      // the occupant is out of its main slot: move it to the free slot
      while (nextnode(t, othern) != mp) othern = nextnode(t, othern);
      setnext(t, othern, n);
      *n = *mp;
      mp->next = 0;
      mp->val_tt = LUA_TNIL;
      mp->val.p = NULL;
    } else {
      // the new key takes the free slot
      n->next = mp->next;
      setnext(t, mp, n);
      mp = n;
    }
  }
  mp->key_tt = (signed char)ttype(key);
  mp->key = key->value;
  for (;;) {
    if (t->firstfree->key_tt == LUA_TNIL) return mp;
    if (t->firstfree == t->node) break;
    t->firstfree--;
  }
  rehash(L, t);
  return luaH_set(L, t, key);
}

Node* luaH_setint(lua_State* L, Hash* t, int key) {
  TObject index;
  setnvalue(&index, (Number)key);
  return luaH_set(L, t, &index);
}

void luaH_setstrnum(lua_State* L, Hash* t, TString* key, Number val) {
  TObject index;
  setsvalue(&index, key);
  Node* n = luaH_set(L, t, &index);
  n->val_tt = LUA_TNUMBER;
  n->val.p = NULL;
  n->val.n = val;
}

const Node* luaH_getglobal(lua_State* L, const char* name) {
  return luaH_getstr(L->gt, luaS_new(L, name));
}
