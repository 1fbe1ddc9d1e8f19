// Debug support: line numbers and type errors naming variables.
#pragma once

#include "lobject.h"
#include "luadebug.h"

[[noreturn]] void luaG_typeerror(lua_State* L, StkId o, const char* op);
[[noreturn]] void luaG_binerror(lua_State* L, StkId p1, int t, const char* op);
[[noreturn]] void luaG_ordererror(lua_State* L, StkId top);
int luaG_getline(int* lineinfo, int pc, int refline, int* refi);
// Same bounded to the line table's n entries.
int luaG_getline_sized(const int* lineinfo, int nlineinfo, int pc, int refline, int* refi);
