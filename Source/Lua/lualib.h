// The standard libraries. A host opens them in the order base, I/O,
// string, math, debug.
#pragma once

#include "lua.h"

#define LUA_ALERT "_ALERT"

void lua_baselibopen(lua_State* L);
void lua_iolibopen(lua_State* L);
void lua_strlibopen(lua_State* L);
void lua_mathlibopen(lua_State* L);
void lua_dblibopen(lua_State* L);
