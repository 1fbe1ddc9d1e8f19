// Tags and tag methods.
#include "ltm.h"

#include <string.h>

#include "ldo.h"
#include "lmem.h"

const char* const luaT_eventname[] = {
  "gettable", "settable", "index", "getglobal", "setglobal", "add", "sub",
  "mul", "div", "pow", "unm", "lt", "concat", "gc", "function",
  "le", "gt", "ge",  // refused
  NULL
};

// Events allowed for the basic tags, by tag and event.
static const char luaT_validevents[NUM_TAGS][TM_N] = {
  {1, 1, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 0, 1},  // LUA_TUSERDATA
  {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1},  // LUA_TNIL
  {1, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1},  // LUA_TNUMBER
  {1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1},  // LUA_TSTRING
  {0, 0, 1, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 0, 1},  // LUA_TTABLE
  {1, 1, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0},  // LUA_TFUNCTION
};

int luaT_validevent(int t, int e) {
  return (t >= NUM_TAGS) ? 1 : luaT_validevents[t][e];
}

static void init_entry(lua_State* L, int tag) {
  for (int e = 0; e < TM_N; e++) luaT_gettm(L, tag, e) = NULL;
  L->TMtable[tag].collected = NULL;
}

void luaT_init(lua_State* L) {
  // room for the basic tags as the vector growth rule expects
  L->TMtable = luaM_newvector(L, luaO_power2(NUM_TAGS - 1), struct TM);
  L->nblocks += NUM_TAGS * TMSIZE;
  L->last_tag = NUM_TAGS - 1;
  for (int t = 0; t <= L->last_tag; t++) init_entry(L, t);
}

int lua_newtag(lua_State* L) {
  luaM_growvector(L, L->TMtable, (size_t)L->last_tag + 1, 1, struct TM, "tag table overflow",
                  MAX_INT);
  L->nblocks += TMSIZE;
  L->last_tag++;
  init_entry(L, L->last_tag);
  return L->last_tag;
}

static void checktag(lua_State* L, int tag) {
  if (!(0 <= tag && tag <= L->last_tag)) luaO_verror(L, "%d is not a valid tag", tag);
}

void luaT_realtag(lua_State* L, int tag) {
  if (!validtag(tag)) luaO_verror(L, "tag %d was not created by `newtag'", tag);
}

int lua_copytagmethods(lua_State* L, int tagto, int tagfrom) {
  checktag(L, tagto);
  checktag(L, tagfrom);
  for (int e = 0; e < TM_N; e++) {
    if (luaT_validevent(tagto, e)) luaT_gettm(L, tagto, e) = luaT_gettm(L, tagfrom, e);
  }
  return tagto;
}

int luaT_tag(const TObject* o) {
  switch (ttype(o)) {
    case LUA_TUSERDATA: return tsvalue(o)->u.d.tag;
    case LUA_TTABLE: return hvalue(o)->htag;
    case LUA_TMARK: return LUA_TFUNCTION;
    default: return ttype(o);
  }
}

int luaT_tag2(int tag, const void* value) {
  const Value* v = (const Value*)value;
  switch (tag) {
    case LUA_TUSERDATA: return v->ts->u.d.tag;
    case LUA_TTABLE: return v->a->htag;
    default: return tag;
  }
}

// Finds the event of a name and checks it against the tag.
static int checkevent(lua_State* L, const char* event, int t) {
  int e = -1;
  for (int i = 0; luaT_eventname[i]; i++) {
    if (strcmp(event, luaT_eventname[i]) == 0) {
      e = i;
      break;
    }
  }
  if (e >= TM_N) luaO_verror(L, "event `%.50s' is deprecated", event);
  if (e == TM_GC && t == LUA_TTABLE) luaO_verror(L, "event `gc' for tables is deprecated");
  if (e == -1) luaO_verror(L, "`%.50s' is not a valid event name", event);
  return e;
}

void lua_gettagmethod(lua_State* L, int t, const char* event) {
  int e = checkevent(L, event, t);
  checktag(L, t);
  Closure* tm = luaT_validevent(t, e) ? luaT_gettm(L, t, e) : NULL;
  if (tm) {
    setclvalue(L->top, tm);
  } else {
    setnilvalue(L->top);
  }
  incr_top;
}

void lua_settagmethod(lua_State* L, int t, const char* event) {
  int e = checkevent(L, event, t);
  checktag(L, t);
  if (!luaT_validevent(t, e)) {
    luaO_verror(L, "cannot change `%.20s' tag method for type `%.20s'%.20s", luaT_eventname[e],
                luaO_typenames[t],
                (t == LUA_TTABLE || t == LUA_TUSERDATA) ? " with default tag" : "");
  }
  switch (ttype(L->top - 1)) {
    case LUA_TNIL:
      luaT_gettm(L, t, e) = NULL;
      break;
    case LUA_TFUNCTION:
      luaT_gettm(L, t, e) = clvalue(L->top - 1);
      break;
    default:
      lua_error(L, "tag method must be a function (or nil)");
  }
  L->top--;
}
