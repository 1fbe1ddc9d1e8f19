// The virtual machine and the value operations it uses.
#pragma once

#include "ldo.h"
#include "lobject.h"

#define tonumber(o) ((ttype(o) != LUA_TNUMBER) && (luaV_tonumber(o) != 0))
#define tostring(L, o) ((ttype(o) != LUA_TSTRING) && (luaV_tostring(L, o) != 0))

int luaV_tonumber(TObject* obj);
int luaV_tostring(lua_State* L, TObject* obj);
// Replaces the key on top by t[key]; top is unchanged.
void luaV_gettable(lua_State* L, StkId t);
// t[key] = the value on top; top is unchanged.
void luaV_settable(lua_State* L, StkId t, StkId key);
// Pushes the global s.
void luaV_getglobal(lua_State* L, TString* s);
// Pops the value on top into the global s.
void luaV_setglobal(lua_State* L, TString* s);
StkId luaV_execute(lua_State* L, const Closure* cl, StkId base);
void luaV_Cclosure(lua_State* L, lua_CFunction c, int nelems);
void luaV_Lclosure(lua_State* L, Proto* l, int nelems);
int luaV_lessthan(lua_State* L, const TObject* l, const TObject* r, StkId top);
void luaV_strconc(lua_State* L, int total, StkId top);
