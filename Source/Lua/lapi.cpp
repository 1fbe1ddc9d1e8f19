// The native interface.
#include "lapi.h"

#include <string.h>

#include "ldebug.h"
#include "ldo.h"
#include "lfunc.h"
#include "lgc.h"
#include "lmem.h"
#include "lstate.h"
#include "lstring.h"
#include "ltable.h"
#include "ltm.h"
#include "lvm.h"

#define Index(L, i) ((i) >= 0 ? (L->Cbase + ((i) - 1)) : (L->top + (i)))

TObject* luaA_index(lua_State* L, int index) {
  return Index(L, index);
}

// The slot of an index, or null when a positive index names no value.
static TObject* luaA_indexAcceptable(lua_State* L, int index) {
  if (index >= 0) {
    TObject* o = L->Cbase + (index - 1);
    if (index == 0 || o >= L->top) return NULL;
    return o;
  }
  return L->top + index;
}

void luaA_pushobject(lua_State* L, const TObject* o) {
  *L->top = *o;
  incr_top;
}

void luaA_pushtypedvalue(lua_State* L, int tag, const void* value) {
  L->top->ttype = tag;
  L->top->value = *(const Value*)value;
  incr_top;
}

int lua_stackspace(lua_State* L) {
  return (int)(L->stack_last - L->top);
}

int lua_gettop(lua_State* L) {
  return (int)(L->top - L->Cbase);
}

void lua_settop(lua_State* L, int index) {
  if (index >= 0)
    luaD_adjusttop(L, L->Cbase, index);
  else
    L->top = L->top + index + 1;
}

void lua_remove(lua_State* L, int index) {
  StkId p = luaA_index(L, index);
  while (++p < L->top) *(p - 1) = *p;
  L->top--;
}

void lua_insert(lua_State* L, int index) {
  StkId p = luaA_index(L, index);
  for (StkId q = L->top; q > p; q--) *q = *(q - 1);
  *p = *L->top;
}

void lua_pushvalue(lua_State* L, int index) {
  *L->top = *luaA_index(L, index);
  incr_top;
}

int lua_type(lua_State* L, int index) {
  StkId o = luaA_indexAcceptable(L, index);
  if (o == NULL) return LUA_TNONE;
  return ttype(o) == LUA_TMARK ? LUA_TFUNCTION : ttype(o);
}

const char* lua_typename(lua_State*, int t) {
  if (t < 0 || t > LUA_TFUNCTION) return "no value";
  return luaO_typenames[t];
}

int lua_iscfunction(lua_State* L, int index) {
  StkId o = luaA_indexAcceptable(L, index);
  return o != NULL && ttype(o) == LUA_TFUNCTION && clvalue(o)->isC;
}

int lua_isnumber(lua_State* L, int index) {
  StkId o = luaA_indexAcceptable(L, index);
  if (o == NULL) return 0;
  if (ttype(o) == LUA_TNUMBER) return 1;
  Number n;
  return ttype(o) == LUA_TSTRING && luaO_str2d(svalue(o), &n);
}

int lua_isstring(lua_State* L, int index) {
  int t = lua_type(L, index);
  return t == LUA_TSTRING || t == LUA_TNUMBER;
}

int lua_isid(lua_State* L, int index) {
  return lua_type(L, index) == LUA_TNUMBER;
}

int lua_tag(lua_State* L, int index) {
  StkId o = luaA_indexAcceptable(L, index);
  return o == NULL ? LUA_NOTAG : luaT_tag(o);
}

int lua_equal(lua_State* L, int index1, int index2) {
  StkId o1 = luaA_indexAcceptable(L, index1);
  StkId o2 = luaA_indexAcceptable(L, index2);
  if (o1 == NULL || o2 == NULL) return 0;
  return luaO_equalObj(o1, o2);
}

int lua_lessthan(lua_State* L, int index1, int index2) {
  StkId o1 = luaA_indexAcceptable(L, index1);
  StkId o2 = luaA_indexAcceptable(L, index2);
  if (o1 == NULL || o2 == NULL) return 0;
  return luaV_lessthan(L, o1, o2, L->top);
}

lua_Number lua_tonumber(lua_State* L, int index) {
  StkId o = luaA_indexAcceptable(L, index);
  return (o == NULL || tonumber(o)) ? 0 : nvalue(o);
}

lua_Id lua_toid(lua_State* L, int index) {
  StkId o = luaA_indexAcceptable(L, index);
  return (o != NULL && ttype(o) == LUA_TNUMBER) ? idvalue(o) : 0;
}

const char* lua_tostring(lua_State* L, int index) {
  StkId o = luaA_indexAcceptable(L, index);
  return (o == NULL || tostring(L, o)) ? NULL : svalue(o);
}

size_t lua_strlen(lua_State* L, int index) {
  StkId o = luaA_indexAcceptable(L, index);
  return (o == NULL || tostring(L, o)) ? 0 : tsvalue(o)->len;
}

lua_CFunction lua_tocfunction(lua_State* L, int index) {
  StkId o = luaA_indexAcceptable(L, index);
  return (o == NULL || ttype(o) != LUA_TFUNCTION || !clvalue(o)->isC) ? NULL : clvalue(o)->f.c;
}

void* lua_touserdata(lua_State* L, int index) {
  StkId o = luaA_indexAcceptable(L, index);
  return (o == NULL || ttype(o) != LUA_TUSERDATA) ? NULL : tsvalue(o)->u.d.value;
}

const void* lua_topointer(lua_State* L, int index) {
  StkId o = luaA_indexAcceptable(L, index);
  if (o == NULL) return NULL;
  switch (ttype(o)) {
    case LUA_TTABLE: return hvalue(o);
    case LUA_TFUNCTION: return clvalue(o);
    case LUA_TMARK: return infovalue(o)->func;
    default: return NULL;
  }
}

int lua_gettablesize(lua_State* L, int index) {
  StkId o = luaA_index(L, index);
  return ttype(o) == LUA_TTABLE ? hvalue(o)->size : -1;
}

void lua_pushnil(lua_State* L) {
  setnilvalue(L->top);
  incr_top;
}

void lua_pushnumber(lua_State* L, lua_Number n) {
  setnvalue(L->top, n);
  incr_top;
}

void lua_pushint(lua_State* L, int n) {
  setnvalue(L->top, (Number)n);
  incr_top;
}

void lua_pushuint(lua_State* L, unsigned int n) {
  setnvalue(L->top, (Number)n);
  incr_top;
}

void lua_pushid(lua_State* L, lua_Id id) {
  setidvalue(L->top, id);
  incr_top;
}

void lua_pushlstring(lua_State* L, const char* s, size_t len) {
  setsvalue(L->top, luaS_newlstr(L, s, len));
  incr_top;
}

void lua_pushstring(lua_State* L, const char* s) {
  if (s == NULL)
    lua_pushnil(L);
  else
    lua_pushlstring(L, s, strlen(s));
}

void lua_pushcclosure(lua_State* L, lua_CFunction fn, int n) {
  luaV_Cclosure(L, fn, n);
}

void lua_pushusertag(lua_State* L, void* u, int tag) {
  if (tag != LUA_ANYTAG && tag != LUA_TUSERDATA && !validtag(tag))
    luaO_verror(L, "invalid tag for a userdata (%d)", tag);
  setuvalue(L->top, luaS_createudata(L, u, tag));
  incr_top;
}

void* lua_newuserdata(lua_State* L, size_t size) {
  TString* ts = luaS_newudata(L, size, NULL);
  setuvalue(L->top, ts);
  incr_top;
  return ts->u.d.value;
}

void lua_getglobal(lua_State* L, const char* name) {
  luaV_getglobal(L, luaS_new(L, name));
}

void lua_gettable(lua_State* L, int index) {
  luaV_gettable(L, luaA_index(L, index));
}

void lua_rawget(lua_State* L, int index) {
  StkId t = luaA_index(L, index);
  if (ttype(t) != LUA_TTABLE) luaG_typeerror(L, t, "index");
  const Node* n = luaH_get(L, hvalue(t), L->top - 1);
  getnodeval(L->top - 1, n);
}

void lua_rawgeti(lua_State* L, int index, int n) {
  StkId o = luaA_index(L, index);
  if (ttype(o) != LUA_TTABLE) luaG_typeerror(L, o, "index");
  const Node* nd = luaH_getnum(hvalue(o), (Number)n);
  luaA_pushtypedvalue(L, nd->val_tt, &nd->val);
}

void lua_getglobals(lua_State* L) {
  sethvalue(L->top, L->gt);
  incr_top;
}

int lua_getref(lua_State* L, int ref) {
  if (ref == LUA_REFNIL) {
    lua_pushnil(L);
    return 1;
  }
  if (0 <= ref && ref < L->refSize &&
      (L->refArray[ref].st == LOCK || L->refArray[ref].st == HOLD)) {
    luaA_pushobject(L, &L->refArray[ref].o);
    return 1;
  }
  return 0;
}

void lua_newtable(lua_State* L) {
  sethvalue(L->top, luaH_new(L, 0));
  incr_top;
}

void lua_setglobal(lua_State* L, const char* name) {
  luaV_setglobal(L, luaS_new(L, name));
}

void lua_settable(lua_State* L, int index) {
  StkId t = luaA_index(L, index);
  luaV_settable(L, t, L->top - 2);
  L->top -= 2;
}

void lua_rawset(lua_State* L, int index) {
  StkId t = luaA_index(L, index);
  if (ttype(t) != LUA_TTABLE) luaG_typeerror(L, t, "index");
  Node* n = luaH_set(L, hvalue(t), L->top - 2);
  setnodeval(n, L->top - 1);
  L->top -= 2;
}

void lua_rawseti(lua_State* L, int index, int n) {
  StkId o = luaA_index(L, index);
  if (ttype(o) != LUA_TTABLE) luaG_typeerror(L, o, "index");
  Node* nd = luaH_setint(L, hvalue(o), n);
  setnodeval(nd, L->top - 1);
  L->top--;
}

void lua_setglobals(lua_State* L) {
  StkId newtable = --L->top;
  if (ttype(newtable) != LUA_TTABLE) luaG_typeerror(L, newtable, "index");
  L->gt = hvalue(newtable);
}

int lua_ref(lua_State* L, int lock) {
  int ref;
  if (ttype(L->top - 1) == LUA_TNIL) {
    ref = LUA_REFNIL;
  } else {
    if (L->refFree != NONEXT) {
      ref = L->refFree;
      L->refFree = L->refArray[ref].st;
    } else {
      luaM_growvector(L, L->refArray, (size_t)L->refSize, 1, struct Ref,
                      "reference table overflow", MAX_INT);
      L->nblocks += REFSIZE;
      ref = L->refSize++;
    }
    L->refArray[ref].o = *(L->top - 1);
    L->refArray[ref].st = lock ? LOCK : HOLD;
  }
  L->top--;
  return ref;
}

void lua_unref(lua_State* L, int ref) {
  if (ref >= 0 && ref < L->refSize && L->refArray[ref].st < NONEXT) {
    L->refArray[ref].st = L->refFree;
    L->refFree = ref;
  }
}

int lua_getgcthreshold(lua_State* L) {
  return (int)(L->GCthreshold >> 10);
}

int lua_getgccount(lua_State* L) {
  return (int)(L->nblocks >> 10);
}

void lua_setgcthreshold(lua_State* L, int newthreshold) {
  if ((unsigned int)newthreshold < 0x400000u)
    L->GCthreshold = (lu_mem)newthreshold << 10;
  else
    L->GCthreshold = MAX_LUMEM;
  luaC_checkGC(L);
}

void lua_settag(lua_State* L, int tag) {
  luaT_realtag(L, tag);
  switch (ttype(L->top - 1)) {
    case LUA_TTABLE:
      hvalue(L->top - 1)->htag = tag;
      break;
    case LUA_TUSERDATA:
      tsvalue(L->top - 1)->u.d.tag = tag;
      break;
    default:
      luaO_verror(L, "cannot change the tag of a %.20s", luaO_typename(L->top - 1));
  }
}

int lua_next(lua_State* L, int index) {
  StkId t = luaA_index(L, index);
  if (ttype(t) != LUA_TTABLE) luaG_typeerror(L, t, "index");
  Node* n = luaH_next(L, hvalue(t), L->top - 1);
  if (n) {
    getnodekey(L->top - 1, n);
    getnodeval(L->top, n);
    incr_top;
    return 1;
  }
  L->top--;
  return 0;
}

int lua_getn(lua_State* L, int index) {
  StkId t = luaA_index(L, index);
  if (ttype(t) != LUA_TTABLE) return 0;
  Hash* h = hvalue(t);
  const Node* value = luaH_getstr(h, luaS_new(L, "n"));
  if (value->val_tt == LUA_TNUMBER) return luaO_float2int(value->val.n);
  Number max = 0;
  for (int i = 0; i < h->size; i++) {
    const Node* n = node(h, i);
    if (n->key_tt == LUA_TNUMBER && n->val_tt != LUA_TNIL && n->key.n > max) max = n->key.n;
  }
  return luaO_float2int(max);
}

void lua_concat(lua_State* L, int n) {
  if (n >= 2) {
    luaV_strconc(L, n, L->top);
    L->top -= n - 1;
    luaC_checkGC(L);
  } else if (n == 0) {
    lua_pushlstring(L, "", 0);
  }
}
