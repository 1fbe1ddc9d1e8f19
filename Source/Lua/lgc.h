// Mark-and-sweep garbage collector.
#pragma once

#include "lobject.h"

extern lua_GCCallback g_pGCCallback;
extern lua_GCThreadCallback g_pGCThreadCallback;

void luaC_collect(lua_State* L, int all);
void luaC_collectgarbage(lua_State* L);
void luaC_checkGC(lua_State* L);
