// Interned strings, userdata records and the scratch buffer.
#pragma once

#include "lobject.h"
#include "lstate.h"

// Marks of strings: collected mark 1, never collected 2, reserved word 3 + index.
#define FIXMARK 2
#define RESERVEDMARK 3

void luaS_init(lua_State* L);
void luaS_resize(lua_State* L, stringtable* tb, int newsize);
TString* luaS_newudata(lua_State* L, size_t s, void* udata);
TString* luaS_createudata(lua_State* L, void* udata, int tag);
void luaS_freeall(lua_State* L);
TString* luaS_newlstr(lua_State* L, const char* str, size_t l);
TString* luaS_new(lua_State* L, const char* str);
TString* luaS_newfixed(lua_State* L, const char* str);
uint32_t luaS_hash(const char* s, size_t l);
