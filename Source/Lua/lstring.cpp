// Interned strings and userdata records.
#include "lstring.h"

#include <string.h>

#include "ldo.h"
#include "lmem.h"

// Header size of a string record before its bytes.
#define STRHEADER offsetof(TString, str)

void luaS_init(lua_State* L) {
  L->strt.hash = luaM_newvector(L, 1, TString*);
  L->strt.hash[0] = NULL;
  L->strt.size = 1;
  L->strt.nuse = 0;
  L->nblocks += BUCKETSIZE;
  L->udt.hash = luaM_newvector(L, 1, TString*);
  L->udt.hash[0] = NULL;
  L->udt.size = 1;
  L->udt.nuse = 0;
  L->nblocks += BUCKETSIZE;
}

static uint32_t udhash(const void* p) {
  return (uint32_t)((uintptr_t)p >> 3);
}

uint32_t luaS_hash(const char* s, size_t l) {
  uint32_t h = (uint32_t)l;
  size_t step = (l >> 5) | 1;
  for (; l >= step; l -= step) h = h ^ ((h << 5) + (h >> 2) + (unsigned char)*(s++));
  return h;
}

void luaS_resize(lua_State* L, stringtable* tb, int newsize) {
  TString** newhash = luaM_newvector(L, newsize, TString*);
  for (int i = 0; i < newsize; i++) newhash[i] = NULL;
  int isstr = (tb == &L->strt);
  for (int i = 0; i < tb->size; i++) {
    TString* p = tb->hash[i];
    while (p) {
      TString* next = p->nexthash;
      uint32_t h = isstr ? p->u.s.hash : udhash(p->u.d.value);
      int h1 = (int)(h & (uint32_t)(newsize - 1));
      p->nexthash = newhash[h1];
      newhash[h1] = p;
      p = next;
    }
  }
  luaM_free(L, tb->hash);
  L->nblocks += (lu_mem)((newsize - tb->size) * (int)BUCKETSIZE);
  tb->size = newsize;
  tb->hash = newhash;
}

static void newentry(lua_State* L, stringtable* tb, TString* ts, int h) {
  ts->nexthash = tb->hash[h];
  tb->hash[h] = ts;
  tb->nuse++;
  if (tb->nuse > (lu_mem)tb->size && tb->size <= 0x3FFFFFFD) luaS_resize(L, tb, tb->size * 2);
}

TString* luaS_newlstr(lua_State* L, const char* str, size_t l) {
  uint32_t h = luaS_hash(str, l);
  int h1 = (int)(h & (uint32_t)(L->strt.size - 1));
  for (TString* ts = L->strt.hash[h1]; ts; ts = ts->nexthash) {
    if (ts->len == l && memcmp(str, ts->str, l) == 0) return ts;
  }
  if (l >= MEM_BLOCKTOOBIG - STRHEADER - 1) lua_error(L, "memory allocation error: block too big");
  TString* ts = (TString*)luaM_malloc(L, STRHEADER + l + 1);
  ts->marked = 0;
  ts->nexthash = NULL;
  ts->len = l;
  ts->u.s.hash = h;
  ts->u.s.constindex = 0;
  memcpy(ts->str, str, l);
  char* bytes = ts->str;  // the bytes run past the declared array
  bytes[l] = '\0';
  L->nblocks += sizestring(l);
  newentry(L, &L->strt, ts, h1);
  return ts;
}

static TString* newudata(lua_State* L, size_t s, void* udata, int ownblock) {
  if (s >= MEM_BLOCKTOOBIG - sizeof(TString)) lua_error(L, "memory allocation error: block too big");
  TString* ts = (TString*)luaM_malloc(L, ownblock ? sizeof(TString) + s : sizeof(TString));
  ts->marked = 0;
  ts->nexthash = NULL;
  ts->len = s;
  ts->u.d.tag = LUA_TUSERDATA;
  ts->u.d.value = ownblock ? (void*)(ts + 1) : udata;
  L->nblocks += sizestring(s);
  int h1 = (int)(udhash(ts->u.d.value) & (uint32_t)(L->udt.size - 1));
  newentry(L, &L->udt, ts, h1);
  return ts;
}

TString* luaS_newudata(lua_State* L, size_t s, void* udata) {
  return newudata(L, s, udata, udata == NULL);
}

TString* luaS_createudata(lua_State* L, void* udata, int tag) {
  int h1 = (int)(udhash(udata) & (uint32_t)(L->udt.size - 1));
  for (TString* ts = L->udt.hash[h1]; ts; ts = ts->nexthash) {
    if (udata == ts->u.d.value && (tag == ts->u.d.tag || tag == LUA_ANYTAG)) return ts;
  }
  TString* ts = newudata(L, 0, udata, 0);
  if (tag != LUA_ANYTAG) ts->u.d.tag = tag;
  return ts;
}

TString* luaS_new(lua_State* L, const char* str) {
  return luaS_newlstr(L, str, strlen(str));
}

TString* luaS_newfixed(lua_State* L, const char* str) {
  TString* ts = luaS_new(L, str);
  if (ts->marked == 0) ts->marked = FIXMARK;
  return ts;
}

static void freetable(lua_State* L, stringtable* tb) {
  if (tb->hash == NULL) return;
  for (int i = 0; i < tb->size; i++) {
    TString* p = tb->hash[i];
    while (p) {
      TString* next = p->nexthash;
      L->nblocks -= sizestring(p->len);
      luaM_free(L, p);
      p = next;
    }
  }
  L->nblocks -= (lu_mem)tb->size * BUCKETSIZE;
  luaM_free(L, tb->hash);
  tb->hash = NULL;
  tb->size = 0;
  tb->nuse = 0;
}

void luaS_freeall(lua_State* L) {
  freetable(L, &L->strt);
  freetable(L, &L->udt);
}
