// Debug interface: activation records, hooks and local variables.
#pragma once

#include "lua.h"

typedef struct lua_Debug lua_Debug;
typedef void (*lua_Hook)(lua_State* L, lua_Debug* ar);

#define LUA_IDSIZE 60

struct lua_Debug {
  const char* event;     // "call", "return" or "line"
  int currentline;       // (l)
  const char* name;      // (n)
  const char* namewhat;  // (n) "global", "tag-method", "local", "field" or ""
  int nups;              // (u) number of upvalues
  int linedefined;       // (S)
  const char* what;      // (S) "Lua", "C" or "main"
  const char* source;    // (S)
  char short_src[LUA_IDSIZE];  // (S)
  struct lua_TObject* _func;   // active function (private)
};

int lua_getstack(lua_State* L, int level, lua_Debug* ar);
int lua_getinfo(lua_State* L, const char* what, lua_Debug* ar);
const char* lua_getlocal(lua_State* L, const lua_Debug* ar, int n);
const char* lua_setlocal(lua_State* L, const lua_Debug* ar, int n);

lua_Hook lua_setcallhook(lua_State* L, lua_Hook func);
lua_Hook lua_setlinehook(lua_State* L, lua_Hook func);
