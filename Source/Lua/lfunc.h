// Prototypes and closures.
#pragma once

#include "lobject.h"

// Bytes counted for a finished prototype.
lu_mem luaF_protosize(const Proto* f);

Proto* luaF_newproto(lua_State* L);
// Marks the prototype as complete with pc instructions and counts it.
void luaF_protook(lua_State* L, Proto* f, int pc);
Closure* luaF_newclosure(lua_State* L, int nelems);
void luaF_freeproto(lua_State* L, Proto* f);
void luaF_freeclosure(lua_State* L, Closure* c);
// Name of local number local_number (from 1) active at instruction pc, or null.
const char* luaF_getlocalname(const Proto* func, int local_number, int pc);
