// Tags and tag methods.
#pragma once

#include "lobject.h"
#include "lstate.h"

// Events, in index order.
typedef enum {
  TM_GETTABLE = 0,
  TM_SETTABLE,
  TM_INDEX,
  TM_GETGLOBAL,
  TM_SETGLOBAL,
  TM_ADD,
  TM_SUB,
  TM_MUL,
  TM_DIV,
  TM_POW,
  TM_UNM,
  TM_LT,
  TM_CONCAT,
  TM_GC,
  TM_FUNCTION,
  TM_N  // number of events
} TMS;

// Tag-method entry of one tag.
struct TM {
  Closure* method[TM_N];
  TString* collected;  // collected userdata waiting for the "gc" method
};

// Bytes counted for one entry.
#define TMSIZE ((lu_mem)64)

#define luaT_gettm(L, tag, event) (L->TMtable[tag].method[event])
#define luaT_gettmbyObj(L, o, e) (luaT_gettm((L), luaT_tag(o), (e)))

#define validtag(t) (NUM_TAGS <= (t) && (t) <= L->last_tag)

extern const char* const luaT_eventname[];

void luaT_init(lua_State* L);
void luaT_realtag(lua_State* L, int tag);
int luaT_tag(const TObject* o);
int luaT_tag2(int tag, const void* value);
int luaT_validevent(int t, int e);
